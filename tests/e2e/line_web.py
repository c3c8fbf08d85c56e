#!/usr/bin/python3
"""vestrel-line against a PostgreSQL server the test starts itself, read through the documented
read-only role, with stations loading virtual receivers into that server.

  line_web.py browser VESTREL SIM MKFW LINE STATIC SQL [PICTURES]
    Headless Chromium (Debian's chromium, chromium-driver and python3-selenium): the Now page
    follows three loads as they advance and end (one failing with its kind) without a reload; the
    History page filters by station and by receiver id; a load's page shows its images and its
    log; the CSV holds what the page shows; a receiver id with <script> in it is shown as text.
    The service serves HTTPS with a test CA's certificate and its station API: one of the three
    stations writes its row and live load through it (its token, --history-ca) rather than to the
    database. With PICTURES, a picture of each page is written there (the README's).
  line_web.py security VESTREL SIM MKFW LINE STATIC SQL
    Plain HTTP requests: a page without a session goes to the sign-in; a wrong password is
    refused and logged without the password; cross-site and token-less forms are refused and
    change nothing; a viewer cannot keep accounts; bad requests get clear errors; cookies and
    headers; HTTPS with --tls-cert; the read-only role cannot change the history.

Exit 77 (skipped) when PostgreSQL's programs, or for the browser Chromium and Selenium, are missing.
"""
import csv
import http.client
import io
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

from line_setup import ADMIN, ADMIN_PASSWORD, STATIONS_PASSWORD, VIEWER, VIEWER_PASSWORD, Ca, Client, Line
from pg_server import Server, server_programs

MODE = sys.argv[1]
VESTREL, SIM, MKFW, LINE, STATIC, SQL = sys.argv[2:8]
PICTURES = sys.argv[8] if len(sys.argv) > 8 else None
SCRIPTED_ID = "<script>alert(1)</script>"
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)
    return condition


# --- security -----------------------------------------------------------------------------------

def security(line, fw):
    status, _ = line.load("st-s", ["--identity", "VR100-S1"], fw + "/data/settings.cfg", "data")
    check(status == 0, "a station's load for the service to show: %s" % status)
    service, port, log = line.serve()
    try:
        anonymous = Client(port)
        status, headers, _ = anonymous.request("GET", "/history")
        check(status == 303 and headers.get("Location") == "/sign-in", "no session: to the sign-in (%s)" % status)
        status, _, _ = anonymous.request("GET", "/api/live")
        check(status == 401, "no session: the live view's JSON refused (%s)" % status)
        status, _, _ = anonymous.request("GET", "/history.csv")
        check(status == 303, "no session: no CSV (%s)" % status)
        status, headers, _ = anonymous.request("GET", "/sign-in")
        check("script-src 'self'" in headers.get("Content-Security-Policy", "") and
              headers.get("X-Content-Type-Options") == "nosniff" and headers.get("X-Frame-Options") == "DENY",
              "the pages' security headers: %r" % dict(headers))

        wrong = "not-her-password-%d" % os.getpid()
        status, _, page = Client(port).sign_in(ADMIN, wrong)
        check(status == 403 and "wrong" in page, "a wrong password is refused (%s)" % status)
        status, _, _ = Client(port).sign_in("nobody", wrong)
        check(status == 403, "an unknown account is refused (%s)" % status)
        time.sleep(0.2)
        logged = open(log).read()
        check('sign-in refused for account "ann"' in logged and wrong not in logged,
              "the refusal is logged, the password is not: %r" % logged)

        admin = Client(port)
        status, headers, _ = admin.sign_in(ADMIN, ADMIN_PASSWORD)
        check(status == 303 and "vl_session" in admin.cookies, "the admin signs in (%s)" % status)
        cookie = headers.get("Set-Cookie", "")
        check("HttpOnly" in cookie and "SameSite=Strict" in cookie and "Secure" not in cookie,
              "the session cookie over HTTP: %r" % cookie)
        token = admin.form_token("/accounts")
        evil = {"Origin": "http://evil.example", "Sec-Fetch-Site": "cross-site"}
        status, _, _ = admin.request("POST", "/accounts/put", {"form_token": token, "account": "mallory",
                                                                "password": "mallory-pass", "role": "admin"}, evil)
        check(status == 403, "a cross-site form is refused (%s)" % status)
        status, _, _ = admin.request("POST", "/accounts/put", {"account": "mallory", "password": "mallory-pass",
                                                                "role": "admin"})
        check(status == 403, "a form without the session's token is refused (%s)" % status)
        status, _, _ = admin.request("POST", "/accounts/put", {"form_token": "0" * 64, "account": "mallory",
                                                                "password": "mallory-pass", "role": "admin"})
        check(status == 403, "a form with another token is refused (%s)" % status)
        status, _, page = admin.request("GET", "/accounts")
        check(status == 200 and "mallory" not in page, "the refused forms changed nothing")
        status, _, page = Client(port).sign_in("mallory", "mallory-pass")
        check(status == 403, "no account was made by the refused forms (%s)" % status)
        status, _, _ = anonymous.sign_in(ADMIN, ADMIN_PASSWORD, evil)
        check(status == 403, "a cross-site sign-in is refused (%s)" % status)
        status, _, page = admin.request("POST", "/accounts/put", {"form_token": token, "account": "bad name!",
                                                                   "password": "long-enough", "role": "viewer"},
                                        {"Origin": "http://127.0.0.1:%d" % port})
        check(status == 400 and "Nothing was changed" in page, "a bad account name: a clear error (%s)" % status)

        viewer = Client(port)
        viewer.sign_in(VIEWER, VIEWER_PASSWORD)
        every_page(viewer, port)
        status, _, _ = viewer.request("GET", "/accounts")
        check(status == 403, "a viewer does not see the accounts (%s)" % status)
        status, _, _ = viewer.request("POST", "/accounts/remove", {"form_token": viewer.form_token(), "account": ADMIN})
        check(status == 403, "a viewer cannot remove an account (%s)" % status)

        for path, expected in (("/history?from=2026-13-40", 400), ("/history?outcome=%3Cb%3E", 400),
                               ("/load?id=no-such-load", 404), ("/load", 400), ("/receiver", 400),
                               ("/nowhere", 404), ("/static/..%2Faccounts", 404)):
            status, _, page = viewer.request("GET", path)
            check(status == expected and "<b>" not in page, "%s: %s, not %s" % (path, expected, status))
        status, _, _ = viewer.request("POST", "/sign-out", {"form_token": viewer.form_token(), "x": "y" * 70000})
        check(status == 413, "a request larger than the service takes (%s)" % status)

        status, _, _ = admin.request("POST", "/sign-out", {"form_token": token})
        check(status == 303, "signed out (%s)" % status)
        status, _, _ = admin.request("GET", "/now")
        check(status == 303, "the old session is gone (%s)" % status)

        # Wrong passwords from one address: after five, even the right one waits.
        for _ in range(5):
            Client(port).sign_in(VIEWER, wrong)
        status, _, page = Client(port).sign_in(VIEWER, VIEWER_PASSWORD)
        check(status == 429 and "Too many wrong passwords" in page, "the sixth try waits (%s)" % status)
    finally:
        service.terminate()
        service.wait(timeout=30)
    check(service.returncode == 0, "the service ends at a termination request: %s" % service.returncode)

    # The read-only role: every change refused by the server itself.
    for sql in ("UPDATE loads SET outcome = 'confirmed'", "DELETE FROM run_logs",
                "INSERT INTO live_runs (id, started_at, updated_at) VALUES ('x', now(), now())",
                "SET default_transaction_read_only = off; DELETE FROM loads", "DROP TABLE loads",
                "CREATE TABLE mine (a int)"):
        status, _, err = line.psql(line.reader_url, sql)
        check(status != 0 and ("permission denied" in err or "read-only" in err),
              "the read-only role cannot: %s (%s %r)" % (sql, status, err))
    _, count, _ = line.psql(line.url, "SELECT count(*) FROM loads WHERE outcome = 'confirmed'")
    check(count == "1", "the history is as the station left it: %r" % count)
    tls(line)


def every_page(client, port):
    """Each page and its CSV answer a signed-in viewer; the live view's stream says it is alive."""
    status, _, text = client.request("GET", "/api/live")
    runs = json.loads(text)["runs"] if status == 200 else []
    check(len(runs) == 1 and runs[0]["outcome"] == "confirmed" and runs[0]["receiver_id"] == "VR100-S1",
          "the live view's JSON: %s %r" % (status, runs))
    load_id = runs[0]["id"] if runs else ""
    for path, needle in (("/now", "VR100-S1"), ("/history", "VR100-S1"), ("/history.csv", "VR100-S1"),
                         ("/load?id=" + load_id, "Successfully loaded"), ("/receiver?id=VR100-S1", "st-s"),
                         ("/receiver.csv?id=VR100-S1", "st-s"), ("/figures", "100.0 %"),
                         ("/figures.csv", "first-pass yield"), ("/static/line.css", "body")):
        status, _, text = client.request("GET", path)
        check(status == 200 and needle in text, "%s shows %r (%s)" % (path, needle, status))
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
    conn.request("GET", "/api/live/stream", headers={"Cookie": "vl_session=" + client.cookies["vl_session"]})
    answer = conn.getresponse()
    check(answer.status == 200 and answer.headers.get("Content-Type", "").startswith("text/event-stream"),
          "the live view's stream opens (%s)" % answer.status)
    conn.close()


def tls(line):
    cert, key = line.work + "/cert.pem", line.work + "/key.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1",
                    "-keyout", key, "-out", cert], check=True, capture_output=True, timeout=60)
    service, port, log = line.serve("--tls-cert", cert, "--tls-key", key)
    try:
        client = Client(port, tls=True)
        status, headers, _ = client.sign_in(ADMIN, ADMIN_PASSWORD)
        check(status == 303 and "Secure" in headers.get("Set-Cookie", ""), "HTTPS: a Secure cookie (%s)" % status)
        status, headers, page = client.request("GET", "/history")
        check(status == 200 and "Strict-Transport-Security" in headers and "st-s" in page,
              "HTTPS: the pages with HSTS (%s)" % status)
    finally:
        service.terminate()
        service.wait(timeout=30)
    status = subprocess.run([LINE, "--history-db", line.reader_url, "--tls-cert", cert, "--tls-key", cert,
                             "--accounts", line.accounts, "--static", STATIC], capture_output=True, text=True,
                            timeout=30)
    check(status.returncode == 1 and "--tls" not in status.stderr and "key" in status.stderr,
          "a key that is none: a clear refusal (%s %r)" % (status.returncode, status.stderr))


# --- browser ------------------------------------------------------------------------------------

def browser():
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service as DriverService
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium")
    for flag in ("--headless=new", "--no-sandbox", "--ignore-certificate-errors", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--window-size=1360,900", "--disable-dev-shm-usage"):
        options.add_argument(flag)
    options.add_argument("--user-data-dir=" + tempfile.mkdtemp(prefix="vestrel-chromium-"))
    return webdriver.Chrome(service=DriverService(shutil.which("chromedriver")), options=options)


def rows_of(driver, table):
    return driver.execute_script(
        "return Array.from(document.querySelectorAll(arguments[0] + ' tbody tr'))"
        ".map(r => Array.from(r.cells).map(c => c.textContent.trim()));", "#" + table)


def wait_for_url(driver, needle):
    """Waits until the browser has gone to a page whose address holds needle (after a click)."""
    for _ in range(200):
        if needle in driver.current_url and driver.execute_script("return document.readyState") == "complete":
            return True
        time.sleep(0.05)
    return False


def picture(driver, name):
    if PICTURES:
        os.makedirs(PICTURES, exist_ok=True)
        driver.save_screenshot(os.path.join(PICTURES, "line-%s.png" % name))


def watch_now_page(driver, loads_done):
    """The Now page's rows, read every half second until every load ended; no reload between."""
    driver.execute_script("window.vestrelMarker = 'same page';")
    seen = {}  # station -> [percent, ...]
    outcomes = {}
    pictured = False
    deadline = time.time() + 240
    while time.time() < deadline:
        for cells in rows_of(driver, "live"):
            station, progress, outcome = cells[0], cells[5], cells[7]
            if station not in ("st-a", "st-b", "st-c"):
                continue
            percent = int(progress.split()[0]) if progress.split() else 0
            if not seen.get(station) or seen[station][-1] != percent:
                seen.setdefault(station, []).append(percent)
            outcomes[station] = outcome
        if not pictured and len(seen) == 3 and all(5 <= p[-1] < 100 for p in seen.values()):
            picture(driver, "now")
            pictured = True
        if loads_done.is_set() and all(o != "loading" for o in outcomes.values()) and len(outcomes) == 3:
            break
        time.sleep(0.5)
    check(driver.execute_script("return window.vestrelMarker;") == "same page", "the Now page was never reloaded")
    for station in ("st-a", "st-b", "st-c"):
        steps = seen.get(station, [])
        check(len(steps) >= 3 and steps == sorted(steps), "%s advanced on the Now page: %r" % (station, steps))
    check(outcomes.get("st-a") == "confirmed" and outcomes.get("st-c") == "confirmed",
          "two loads end confirmed on the Now page: %r" % outcomes)
    check(outcomes.get("st-b") == "failed (link_lost)", "the failing one shows its kind: %r" % outcomes)
    if not pictured:
        picture(driver, "now")


def run_browser(line, fw):
    driver = browser()
    # HTTPS with the line's own CA, and the station API for the station that writes through it.
    ca = Ca(line.work)
    tokens = line.work + "/station-tokens"
    token = subprocess.run([LINE, "--station-tokens", tokens, "--issue-token", "st-c"], capture_output=True, text=True,
                           check=True, timeout=60).stdout.strip()
    token_file = line.work + "/st-c.token"
    with open(token_file, "w") as f:
        f.write(token + "\n")
    os.chmod(token_file, 0o600)
    service, port, _ = line.serve("--tls-cert", ca.cert, "--tls-key", ca.key, "--station-tokens", tokens,
                                  "--writer-db", line.add_writer(os.path.join(os.path.dirname(SQL), "writer-role.sql")))
    base = "https://localhost:%d" % port
    through_service = ("--history-db", "https://localhost:%d/" % port, "--history-token-file", token_file,
                       "--history-ca", ca.pem)
    try:
        driver.get(base + "/history")
        check(driver.current_url.endswith("/sign-in"), "the browser is sent to the sign-in: " + driver.current_url)
        picture(driver, "sign-in")
        driver.find_element("name", "account").send_keys(ADMIN)
        driver.find_element("name", "password").send_keys(ADMIN_PASSWORD)
        driver.find_element("css selector", "form.signin button").click()
        wait_for_url(driver, "/now")
        check(driver.current_url.endswith("/now"), "signed in, on the Now page: " + driver.current_url)
        time.sleep(1)  # the page reads the view and opens its stream

        results = {}
        loads_done = threading.Event()

        def station(name, receiver_args, source, method, extra=()):
            results[name] = line.load(name, receiver_args, source, method, extra)

        paced = ["--pace"]
        threads = [threading.Thread(target=station, args=("st-a", paced + ["--identity", "VR100-A1"], fw + "/named.zip",
                                                          "soft", ("--work-order", "WO-7"))),
                   threading.Thread(target=station, args=("st-b", paced + ["--identity", "VR100-B2",
                                                                           "--drop-link-after", "40"],
                                                          fw + "/named.zip", "soft")),
                   threading.Thread(target=station, args=("st-c", paced + ["--identity", SCRIPTED_ID],
                                                          fw + "/named.zip", "soft"))]
        for thread in threads:
            thread.start()

        def wait():
            for thread in threads:
                thread.join()
            loads_done.set()
        threading.Thread(target=wait, daemon=True).start()
        watch_now_page(driver, loads_done)
        loads_done.wait(300)
        check(results.get("st-a", (None,))[0] == 0 and results.get("st-b", (None,))[0] == 1,
              "the stations' exit statuses: %r" % {k: v[0] for k, v in results.items()})

        history_pages(driver, base, line)
        stations_page(driver, base)
    finally:
        driver.quit()
        service.terminate()
        service.wait(timeout=30)


def stations_page(driver, base):
    """The admin's Stations page: the station that wrote through the service is listed; a token
    issued on the page is shown once and names its station."""
    driver.get(base + "/stations")
    check([r[0] for r in rows_of(driver, "stations")] == ["st-c"], "the Stations page lists st-c")
    driver.find_element("css selector", "form[action='/stations/issue'] input[name='station']").send_keys("st-d")
    driver.find_element("css selector", "form[action='/stations/issue'] button").click()
    wait_for_url(driver, "/stations/issue")
    token = driver.execute_script("const t = document.getElementById('token'); return t ? t.textContent : '';")
    check(token.startswith("vls1_") and len(token) > 40, "the page shows the new token once: %r" % token)
    check(sorted(r[0] for r in rows_of(driver, "stations")) == ["st-c", "st-d"], "st-d has a token now")
    picture(driver, "stations")


def history_pages(driver, base, line):
    driver.get(base + "/history")
    rows = rows_of(driver, "loads")
    stations = sorted(r[1] for r in rows)
    check(stations == ["st-a", "st-b", "st-c"], "today's History holds the three loads: %r" % stations)
    picture(driver, "history")
    scripted = [r for r in rows if r[1] == "st-c"]
    check(scripted and scripted[0][3] == SCRIPTED_ID, "a receiver id with <script> is shown as text: %r" % scripted)
    check(driver.execute_script("return document.querySelectorAll('main script').length") == 0,
          "no script of the receiver's in the page")

    # The CSV holds what the page shows, cell for cell.
    cookie = driver.get_cookie("vl_session")["value"]
    client = Client(int(base.rsplit(":", 1)[1]), tls=True)
    client.cookies = {"vl_session": cookie, "vl_tz": driver.get_cookie("vl_tz")["value"]}
    csv_path = driver.find_element("id", "csv").get_attribute("href").replace(base, "")
    status, _, text = client.request("GET", csv_path)
    table = list(csv.reader(io.StringIO(text)))
    shown = [[cell.lstrip("'") for cell in r] for r in table[1:]]
    check(status == 200 and shown == rows, "the CSV matches the page: %r against %r" % (table, rows))

    # Filters: by station, then by receiver id.
    driver.find_element("name", "station").send_keys("st-a")
    driver.find_element("css selector", "form.filter button").click()
    wait_for_url(driver, "station=st-a")
    only = rows_of(driver, "loads")
    check([r[1] for r in only] == ["st-a"] and "station=st-a" in driver.current_url,
          "filtered by station: %r" % only)
    driver.get(base + "/history?receiver=" + urllib.parse.quote(SCRIPTED_ID))
    only = rows_of(driver, "loads")
    check([r[3] for r in only] == [SCRIPTED_ID], "filtered by receiver id: %r" % only)
    driver.get(base + "/history?outcome=failed")
    failed = rows_of(driver, "loads")
    check([(r[1], r[7]) for r in failed] == [("st-b", "failed (link_lost)")], "filtered by outcome: %r" % failed)

    # A load's page: its images with their digests and its activity log.
    driver.get(base + "/history?station=st-a")
    driver.find_element("css selector", "#loads tbody tr td a").click()
    wait_for_url(driver, "/load?id=")
    images = rows_of(driver, "images")
    check(len(images) == 4 and all(re.fullmatch(r"[0-9a-f]{64}", r[3]) for r in images)
          and all(r[4] == "flashed" for r in images), "the load's images, digests and results: %r" % images)
    log = driver.find_element("id", "log").text
    check("Successfully loaded" in log and "WO-7" in log, "the load's activity log is shown: %r" % log[-300:])
    facts = dict((r[0], r[1]) for r in rows_of(driver, "facts"))
    check(facts.get("Firmware after", "").startswith("4.3") and facts.get("Station") == "st-a",
          "the receiver after the load and the station: %r" % facts)
    picture(driver, "load")

    driver.get(base + "/receiver?id=VR100-A1")
    check([r[1] for r in rows_of(driver, "loads")] == ["st-a"], "the receiver's page")
    picture(driver, "receiver")
    driver.get(base + "/figures")
    check(driver.find_element("id", "yield").text == "66.7 %", "the first-pass yield: two of three")
    failures_by_kind = rows_of(driver, "failures")
    check(failures_by_kind and failures_by_kind[0][:2] == ["link_lost", "1"], "failures by kind: %r" % failures_by_kind)
    picture(driver, "figures")


def main():
    bin_dir = server_programs()
    if not bin_dir:
        print("skipped: PostgreSQL's server programs are not installed (scripts/setup installs them)")
        return 77
    if MODE == "browser":
        try:
            import selenium  # noqa: F401
        except ImportError:
            print("skipped: python3-selenium is not installed (scripts/setup installs it)")
            return 77
        if not shutil.which("chromium") or not shutil.which("chromedriver"):
            print("skipped: chromium and chromium-driver are not installed (scripts/setup installs them)")
            return 77
    work = tempfile.mkdtemp(prefix="vestrel-line-web-")
    os.chmod(work, 0o755)
    subprocess.run([MKFW, work + "/fw"], check=True, stdout=subprocess.DEVNULL)
    server = Server(work, bin_dir, STATIONS_PASSWORD)
    try:
        line = Line(work, server, VESTREL, SIM, LINE, STATIC, SQL)
        if MODE == "browser":
            run_browser(line, work + "/fw")
        else:
            security(line, work + "/fw")
    finally:
        try:
            server.stop("immediate")
        except subprocess.CalledProcessError:
            pass
        shutil.rmtree(work, ignore_errors=True)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
