#!/usr/bin/python3
"""Stations that write the line's history through vestrel-line's station API over HTTPS, with a
certificate authority of the test's own: a PostgreSQL server the test starts, the documented
read-only and writer roles, vestrel-line serving TLS with the station API on. In mode "linux" the
stations are vestrel and vestrel-fleet (libcurl); in mode "windows" vestrel.exe and
vestrel-fleet.exe under Wine (WinHTTP), the receivers on COM5 and COM6.

A load's row, its images and log arrive, and its live progress rises on the service's own API while
it loads; the fleet's children write theirs; the service stopped during a run: the run loads, its
row waits on the station and is sent once when the service is back (a second sync sends nothing);
a revoked token is refused, with the remedy; a station's token cannot write another station's row
(by its station, nor by another's run id); a service whose certificate the station cannot verify
is refused with the remedy, and an http:// URL is bad usage. Exit 77 (skipped) without the
server's programs.

  line_stations.py linux VESTREL FLEET SIM MKFW LINE STATIC SQL_DIR
  line_stations.py windows PROGRAMS_DIR SIM MKFW LINE STATIC SQL_DIR LINUX_VESTREL
"""
import http.client
import json
import os
import shutil
import signal
import ssl
import subprocess
import sys
import tempfile
import threading
import time

from line_setup import Ca, Client, Line, VIEWER, VIEWER_PASSWORD
from pg_server import Server, free_port, server_programs
from virtual_receiver import Receiver

MODE = sys.argv[1]
if MODE == "windows":
    PROGRAMS, SIM, MKFW, LINE, STATIC, SQL_DIR, LINUX_VESTREL = sys.argv[2:9]
    VESTREL = [os.path.join(PROGRAMS, "vestrel.exe")]
    FLEET = [os.path.join(PROGRAMS, "vestrel-fleet.exe")]
else:
    LINUX_VESTREL, FLEET_PATH, SIM, MKFW, LINE, STATIC, SQL_DIR = sys.argv[2:9]
    VESTREL, FLEET = [LINUX_VESTREL], [FLEET_PATH]
WINDOWS = MODE == "windows"
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)


def host_path(path):
    """A path as the station's program names it."""
    return "Z:" + path.replace("/", "\\") if WINDOWS else path


def command(program, *args):
    return (["wine"] if WINDOWS else []) + program + list(args)


class Service:
    """vestrel-line with TLS and the station API, on a port it keeps across restarts."""

    def __init__(self, line, ca, tokens, writer_url):
        self.line, self.ca, self.tokens, self.writer_url = line, ca, tokens, writer_url
        self.port = free_port()
        self.url = "https://localhost:%d/" % self.port
        self.proc = None

    def start(self):
        self.proc, port, self.log = self.line.serve_on(self.port, "--tls-cert", self.ca.cert, "--tls-key", self.ca.key,
                                                       "--writer-db", self.writer_url, "--station-tokens", self.tokens)

    def stop(self):
        self.proc.send_signal(signal.SIGTERM)
        self.proc.wait(30)

    def token_command(self, *args):
        return subprocess.run([LINE, "--station-tokens", self.tokens, *args], capture_output=True, text=True,
                              timeout=60)

    def issue(self, station, work):
        token = self.token_command("--issue-token", station).stdout.strip()
        path = "%s/%s.token" % (work, station)
        with open(path, "w") as f:
            f.write(token + "\n")
        os.chmod(path, 0o600)
        return token, path

    def post(self, path, token, body):
        """A station's request by hand: the answer's status and JSON."""
        context = ssl.create_default_context(cafile=self.ca.pem)
        conn = http.client.HTTPSConnection("localhost", self.port, timeout=30, context=context)
        conn.request("POST", path, body=json.dumps(body),
                     headers={"Authorization": "Bearer " + token, "Content-Type": "application/json"})
        answer = conn.getresponse()
        text = answer.read().decode()
        conn.close()
        return answer.status, json.loads(text) if text.startswith("{") else text


class Stations:
    """What the stations run: vestrel or vestrel.exe, each receiver its own."""

    def __init__(self, work, line, service):
        self.work, self.line, self.service = work, line, service
        self.com = 5

    def environment(self, station):
        env = self.line.environment(station)
        env.pop("VESTREL_HISTORY_DB", None)
        return env

    def port_of(self, receiver):
        if not WINDOWS:
            return receiver.port
        name = "com%d" % self.com
        self.com = 5 if self.com == 6 else 6
        link = os.path.join(os.environ["WINEPREFIX"], "dosdevices", name)
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(receiver.port, link)
        return name.upper()

    def history(self, token_file, ca=None, url=None):
        args = ["--history-db", url or self.service.url, "--history-token-file", host_path(token_file)]
        return args + (["--history-ca", host_path(ca)] if ca else [])

    def load(self, station, history, receiver_args=(), watch=None, firmware=False):
        """One load of the named firmware; exit status, JSON events, and what it said (standard error
    and the log's lines)."""
        receiver = Receiver(SIM, self.work, *receiver_args)
        try:
            proc = subprocess.Popen(command(VESTREL, "--json", "--log", host_path("%s/%s.log" % (self.work, station)), "/port", self.port_of(receiver), "/source",
                                            host_path(self.work + ("/fw/named.zip" if firmware else "/fw/data/settings.cfg")),
                                            "/capture", "soft" if firmware else "data", "/exit",
                                            "/run", *history),
                                    env=self.environment(station), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                    text=True, cwd=self.work)
            events = []
            for line in proc.stdout:
                if line.startswith("{"):
                    events.append(json.loads(line))
                    if watch:
                        watch(events[-1])
            proc.wait(timeout=300)
            said = proc.stderr.read() + "".join(e.get("text", "") for e in events if e.get("event") == "log")
            return proc.returncode, events, said
        finally:
            receiver.stop()

    def sync(self, station, history):
        proc = subprocess.run(command(VESTREL, "--sync-history", *history), env=self.environment(station),
                              capture_output=True, text=True, timeout=120, cwd=self.work)
        return proc.returncode, proc.stdout + proc.stderr


def run_id(events):
    ended = [e for e in events if e.get("event") == "result"]
    return (ended[-1].get("history_id") or "") if ended else ""


def rows_of(line, where):
    _, out, _ = line.psql(line.url, "SELECT id, station, outcome FROM loads WHERE %s ORDER BY started_at" % where)
    return [r.split("|") for r in out.splitlines() if r]


def live_progress(service, client, stop, seen, once=False):
    """The live view's percentages of every run, from the service's own API, while stop is not set."""
    while not stop.is_set():
        if once:
            stop.set()
        status, _, text = client.request("GET", "/api/live")
        if status == 200:
            for row in json.loads(text).get("runs", []):
                seen.setdefault(row.get("id"), []).append(row.get("percent"))
        time.sleep(0.3)


def first_load(line, service, stations, files):
    client = Client(service.port, tls=True)
    client.sign_in(VIEWER, VIEWER_PASSWORD)
    stop, seen = threading.Event(), {}
    watcher = threading.Thread(target=live_progress, args=(service, client, stop, seen))
    watcher.start()
    status, events, err = stations.load("st-a", stations.history(files["st-a"], service.ca.pem), ("--pace",),
                                        firmware=True)
    stop.set()
    watcher.join()
    stop.clear()
    live_progress(service, client, stop, seen, once=True)  # the end, which the run waited for
    rid = run_id(events)
    check(status == 0 and rid, "st-a loads through the service (exit %s): %s" % (status, err[-600:]))
    rows = rows_of(line, "id = '%s'" % rid)
    check(rows == [[rid, "st-a", "confirmed"]], "st-a's row on the line's server: %s" % rows)
    _, images, _ = line.psql(line.url, "SELECT count(*) FROM load_images WHERE load_id = '%s'" % rid)
    _, logs, _ = line.psql(line.url, "SELECT count(*) FROM run_logs WHERE load_id = '%s'" % rid)
    check(images == "4" and logs == "1", "its four images and its log came with it: %s, %s" % (images, logs))
    percents = [p for p in seen.get(rid, []) if p is not None]
    rising = sorted(set(percents))
    check(len(rising) >= 3 and percents == sorted(percents) and percents[-1] == 100,
          "its live progress rose on the service's API while it loaded: %s" % percents)
    status, _, page = client.request("GET", "/load?id=" + rid)
    check(status == 200 and "st-a" in page and "confirmed" in page, "its page on the service")
    check("history server" not in err and "line service" not in err, "no history warning: " + err[-400:])
    return rid


def fleet_loads(line, service, stations, files):
    receivers = [Receiver(SIM, stations.work, "--identity", "VR100-F%d" % n) for n in (1, 2)]
    try:
        ports = [stations.port_of(r) for r in receivers]
        args = ["--log-dir", host_path(stations.work + "/fleet-logs"), "--json"]
        for port in ports:
            args += ["--port", port]
        if not WINDOWS:
            args = ["--vestrel", LINUX_VESTREL] + args
        args += ["--", "/source", host_path(stations.work + "/fw/data/settings.cfg"), "/capture", "data",
                 *stations.history(files["st-f"], service.ca.pem)]
        proc = subprocess.run(command(FLEET, *args), env=stations.environment("st-f"), capture_output=True, text=True,
                              timeout=400, cwd=stations.work)
    finally:
        for r in receivers:
            r.stop()
    check(proc.returncode == 0, "the fleet loads both (exit %d): %s" % (proc.returncode, proc.stderr[-600:]))
    rows = rows_of(line, "station = 'st-f'")
    check(len(rows) == 2 and all(r[2] == "confirmed" for r in rows) and rows[0][0] != rows[1][0],
          "each fleet child's row reached the line: %s" % rows)


def service_stops_mid_run(line, service, stations, files):
    history = stations.history(files["st-b"], service.ca.pem)

    def on_event(event):
        if event.get("event") == "progress" and event.get("percent", 0) >= 10 and service.proc.poll() is None:
            service.stop()
    status, events, err = stations.load("st-b", history, ("--pace",), watch=on_event, firmware=True)
    rid = run_id(events)
    check(status == 0, "the run loads though the service went away (exit %s): %s" % (status, err[-400:]))
    check("waits in this station's history" in err, "the run said its row waits on the station: " + err[-600:])
    rows = rows_of(line, "id = '%s'" % rid)
    check(len(rows) == 1 and rows[0][2] == "", "only its start reached the server before it went: %s" % rows)
    service.start()
    status, said = stations.sync("st-b", history)
    check(status == 0 and "1 row was sent" in said, "--sync-history sent it once the service was back: " + said)
    status, said = stations.sync("st-b", history)
    check(status == 0 and "0 rows were sent" in said, "a second sync sends nothing: " + said)
    rows = rows_of(line, "id = '%s'" % rid)
    check(rows == [[rid, "st-b", "confirmed"]], "the row is there once, finished: %s" % rows)


def tokens_hold(line, service, stations, files, tokens, first_id):
    status, answer = service.post("/api/station/v1/begin", tokens["st-b"],
                                  {"id": "forged-1", "station": "st-a", "started_at": "2026-12-10T10:00:00.000Z"})
    check(status == 403 and "st-a" in answer.get("error", ""), "st-b's token cannot write st-a's row: %s %s" % (status, answer))
    status, answer = service.post("/api/station/v1/finish", tokens["st-b"],
                                  {"id": first_id, "station": "st-b", "outcome": "failed",
                                   "started_at": "2026-12-10T10:00:00.000Z"})
    check(status == 403, "nor take over st-a's run by its id: %s %s" % (status, answer))
    status, answer = service.post("/api/station/v1/live", tokens["st-b"], {"id": first_id, "station": "st-b", "percent": 5})
    check(status == 403, "nor its live row: %s %s" % (status, answer))
    check(rows_of(line, "id IN ('forged-1', '%s')" % first_id) == [[first_id, "st-a", "confirmed"]],
          "st-a's row is as it was, and no forged row exists")
    status, _ = service.post("/api/station/v1/begin", "vls1_not-a-token", {"id": "x", "station": "st-b"})
    check(status == 401, "an unknown token is refused: %s" % status)
    status, answer = service.post("/api/station/v1/begin", tokens["st-b"], {"id": "x" * 70, "station": "st-b"})
    check(status == 400, "a malformed row is refused: %s %s" % (status, answer))

    revoked = service.token_command("--revoke-token", "st-a")
    check(revoked.returncode == 0, "the token of st-a is revoked: " + revoked.stderr)
    status, events, err = stations.load("st-a", stations.history(files["st-a"], service.ca.pem))
    check(status == 0 and "does not take this station's token" in err and "Stations page" in err,
          "a revoked token is refused with the remedy, and the load goes on: " + err[-600:])
    check(rows_of(line, "id = '%s'" % run_id(events)) == [], "no row of the refused token's run")
    status, said = stations.sync("st-a", stations.history(files["st-a"], service.ca.pem))
    check(status == 1 and "does not take this station's token" in said, "--sync-history says so too: " + said)


def trust_holds(line, service, stations, files):
    for ca, what in ((None, "the system's certificates"), (service.ca.other, "another authority")):
        status, events, err = stations.load("st-c", stations.history(files["st-c"], ca))
        check(status == 0 and "could not be verified" in err and "--history-ca FILE" in err,
              "a service not signed by %s is refused, with the remedy: %s" % (what, err[-600:]))
        check(rows_of(line, "id = '%s'" % run_id(events)) == [], "nothing of it reached the service")
    proc = subprocess.run(command(VESTREL, "--sync-history", "--history-db", "http://localhost:%d/" % service.port,
                                  "--history-token-file", host_path(files["st-c"])),
                          env=stations.environment("st-c"), capture_output=True, text=True, timeout=120, cwd=stations.work)
    check(proc.returncode == 2 and "https:// only" in proc.stderr, "http:// is bad usage: " + proc.stderr)


def main():
    bin_dir = server_programs()
    if not bin_dir:
        print("SKIP: no PostgreSQL server programs installed")
        return 77
    work = tempfile.mkdtemp(prefix="vestrel-line-stations-")
    os.chmod(work, 0o755)  # the server runs as another user
    server = Server(work, bin_dir, "line-secret-7")
    try:
        subprocess.run([MKFW, work + "/fw", "--main-size", "49152"], check=True, capture_output=True, timeout=60)
        line = Line(work, server, LINUX_VESTREL, SIM, LINE, STATIC, SQL_DIR + "/read-only-role.sql")
        service = Service(line, Ca(work), work + "/station-tokens", line.add_writer(SQL_DIR + "/writer-role.sql"))
        files, tokens = {}, {}
        for station in ("st-a", "st-b", "st-c", "st-f"):
            tokens[station], files[station] = service.issue(station, work)
        service.start()
        stations = Stations(work, line, service)
        try:
            begun = time.time()
            first = first_load(line, service, stations, files)
            for step in (fleet_loads, service_stops_mid_run, lambda *a: tokens_hold(*a, tokens, first), trust_holds):
                print("%.0f s" % (time.time() - begun), flush=True)
                step(line, service, stations, files)
            print("%.0f s" % (time.time() - begun), flush=True)
        finally:
            if service.proc.poll() is None:
                service.stop()
    finally:
        server.stop()
        if failures:
            print("kept for a look:", work)
        else:
            shutil.rmtree(work, ignore_errors=True)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
