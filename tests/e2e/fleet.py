#!/usr/bin/python3
"""vestrel-fleet end to end against virtual receivers, each a process of its own: three at once with
one pulling its cable mid-flash, a healthy fleet one at a time (--jobs 1), a child killed mid-load,
Ctrl-C of the fleet, a receiver that does not confirm its load, the usage refusals, TCP/IP passwords
that never show in any process's arguments; and against a
stand-in for vestrel: every text changed, control characters, an endless line, another port
reported loaded.

  fleet.py FLEET VESTREL SIM MKFW
"""
import glob
import json
import os
import pty
import select
import signal
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor

FLEET, VESTREL, SIM, MKFW = sys.argv[1:5]
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


class Receivers:
    """Virtual receivers on pseudo-terminals; what each flashed is in its folder once stopped."""

    def __init__(self, work, *faults):
        self.sims, self.ports, self.flashed = [], [], []
        for n, fault in enumerate(faults):
            path_file, flashed = "%s/pty%d" % (work, n), "%s/flashed%d" % (work, n)
            os.makedirs(flashed)
            tcp = "--tcp" in fault  # reached as tcp:127.0.0.1:PORT:PASSWORD, its second line
            sim = subprocess.Popen([SIM, "--path-file", path_file, "--flashed-dir", flashed, *fault],
                                   stdout=subprocess.PIPE if tcp else subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   text=True)
            self.sims.append(sim)
            self.flashed.append(flashed)
            if tcp:
                sim.stdout.readline()
                self.ports.append(sim.stdout.readline().strip())
                continue
            for _ in range(100):
                if os.path.exists(path_file) and os.path.getsize(path_file) > 0:
                    break
                time.sleep(0.05)
            self.ports.append(open(path_file).read().strip())

    def stop(self):
        for sim in self.sims:
            sim.send_signal(signal.SIGINT)
        for sim in self.sims:
            sim.wait(10)

    def flashed_main(self, n):
        images = sorted(glob.glob(self.flashed[n] + "/*-flash.bin"))
        return open(images[-1], "rb").read() if images else None


def fleet(work, ports, *options, start_only=False):
    command = [FLEET, "--vestrel", VESTREL, "--log-dir", work + "/logs", "--json"]
    for port in ports:
        command += ["--port", port]
    command += [*options, "--", "/speed", "115200", "/source", work + "/fw/named/main.ldp", "/capture", "soft"]
    proc = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if start_only:
        return proc
    out, err = proc.communicate(timeout=300)
    return proc.returncode, out, err


def summary(out):
    try:
        return json.loads(out)
    except ValueError:
        check(False, "the summary is JSON: %r" % out)
        return {"receivers": []}


def by_port(result, port):
    return next(r for r in result["receivers"] if r["port"] == port)


def wait_for_stage(proc, text, seconds=240):
    """Reads the fleet's stage lines (standard error with --json) until one contains text."""
    deadline = time.time() + seconds
    while time.time() < deadline:
        line = proc.stderr.readline()
        if not line:
            return False
        if text in line:
            return True
    return False


def three_at_once_one_faulty(work):
    receivers = Receivers(work, [], [], ["--drop-link-after", "40"])
    status, out, _ = fleet(work, receivers.ports)
    receivers.stop()
    result = summary(out)
    main = open(work + "/fw/named/main.ldp", "rb").read()
    check(status == 1, "three receivers, one faulty: exit status 1 (%s)" % status)
    for n in (0, 1):
        check(receivers.flashed_main(n) == main, "healthy receiver %d flashed byte-identical" % n)
        check(by_port(result, receivers.ports[n])["loaded"], "healthy receiver %d reported loaded" % n)
    faulty = by_port(result, receivers.ports[2])
    check(not faulty["loaded"] and "Send file error" in faulty["reason"],
          "the faulty one failed with its reason: %r" % faulty["reason"])
    check(receivers.flashed_main(2) is None, "the faulty one flashed nothing")
    rows = result["receivers"]
    check(max(r["started"] for r in rows) < min(r["ended"] for r in rows), "the three loads overlapped in time")
    check(all(os.path.exists(r["log"]) for r in rows), "one activity log per receiver")


def healthy_one_at_a_time(work):
    receivers = Receivers(work, [], ["--tcp", "0"])  # a serial link and a TCP/IP one
    status, out, _ = fleet(work, receivers.ports, "--jobs", "1")
    receivers.stop()
    rows = summary(out)["receivers"]
    check(status == 0 and all(r["loaded"] for r in rows), "a healthy fleet exits 0 (%s)" % status)
    check(len(rows) == 2 and rows[0]["ended"] <= rows[1]["started"] + 0.01, "--jobs 1 ran them one after the other")
    check(all(r["firmware"]["before"] and r["firmware"]["after"] for r in rows), "firmware before and after")
    check(receivers.ports[1].startswith("tcp:") and ":vestrel" not in json.dumps(rows),
          "a TCP/IP receiver, its password nowhere in the summary")
    listed = subprocess.run([VESTREL, "--list-history", "--json"], capture_output=True, text=True, timeout=300)
    history = {row["id"]: row for row in json.loads(listed.stdout)} if listed.returncode == 0 else {}
    check(all(history.get(r.get("history_id"), {}).get("outcome") == "confirmed" for r in rows),
          "each receiver's row in the load history, named by the summary: %r" % [r.get("history_id") for r in rows])


def file_upload_shows_the_serial(work):
    receivers = Receivers(work, ["--identity", "VR100-0000042"])
    command = [FLEET, "--vestrel", VESTREL, "--log-dir", work + "/logs", "--json", "--port", receivers.ports[0], "--",
               "/source", work + "/fw/named/main.ldp", "/capture", "fldp"]
    proc = subprocess.run(command, capture_output=True, text=True, timeout=300)
    receivers.stop()
    row = summary(proc.stdout)["receivers"][0]
    check(proc.returncode == 0 and row["loaded"], "a file upload through the fleet (%s)" % proc.returncode)
    check(row["serial"] == "VR100-0000042" and row["model"] == "VR-100", "model and serial once known: %r %r" % (row["model"], row["serial"]))


def killed_child(work):
    receivers = Receivers(work, [], [])
    proc = fleet(work, receivers.ports, start_only=True)
    victim = receivers.ports[0]
    check(wait_for_stage(proc, victim + ": loading"), "the victim's load started")
    subprocess.run(["pkill", "-KILL", "-f", "/port %s " % victim])
    out, _ = proc.communicate(timeout=300)
    receivers.stop()
    result = summary(out)
    check(proc.returncode == 1, "a killed child: exit status 1 (%s)" % proc.returncode)
    check("killed by signal 9" in by_port(result, victim)["reason"], "the killed one says so: %r" % by_port(result, victim)["reason"])
    check(by_port(result, receivers.ports[1])["loaded"], "the other one went on to the end")


def interrupted(work):
    receivers = Receivers(work, [], [])
    proc = fleet(work, receivers.ports, start_only=True)
    check(wait_for_stage(proc, ": loading"), "a load started")
    proc.send_signal(signal.SIGINT)
    out, _ = proc.communicate(timeout=300)
    receivers.stop()
    check(proc.returncode == 130, "Ctrl-C: exit status 130 (%s)" % proc.returncode)
    rows = summary(out)["receivers"]
    check(rows and not any(r["loaded"] for r in rows), "nothing reported loaded after Ctrl-C")
    for r in rows:
        log = open(r["log"], errors="replace").read()
        check("Log file closed" in log, "the child's log was closed: " + r["log"])
        check(r["exit_status"] == 130, "the child stopped on the signal (%s)" % r["exit_status"])


def children_running(port):
    return subprocess.run(["pgrep", "-f", "/port %s " % port], capture_output=True).returncode == 0


def fleet_killed(work):
    """The fleet goes away mid-load: each child finishes the image it writes, then stops with its log
    closed and its row saying where it stopped; a reader that went away kills nobody."""
    receivers = Receivers(work, [], [])
    command = [FLEET, "--vestrel", VESTREL, "--log-dir", work + "/logs", "--json", "--port", receivers.ports[0],
               "--port", receivers.ports[1], "--", "/speed", "115200", "/source", work + "/fw/named.zip", "/capture", "soft"]
    proc = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    check(wait_for_stage(proc, ": loading"), "a load started")
    proc.kill()
    proc.wait()
    proc.stdout.close()
    proc.stderr.close()  # nobody reads the children's output any more
    deadline = time.time() + 240
    while time.time() < deadline and any(children_running(p) for p in receivers.ports):
        time.sleep(0.2)
    check(not any(children_running(p) for p in receivers.ports), "each child ended after the fleet went away")
    receivers.stop()
    listed = subprocess.run([VESTREL, "--list-history", "--json"], capture_output=True, text=True, timeout=300)
    rows = json.loads(listed.stdout) if listed.returncode == 0 else []
    for n, port in enumerate(receivers.ports):
        log_name = [name for name in os.listdir(work + "/logs")]
        mine = [r for r in rows if r["port"] == port and (r.get("log_path") or "").startswith(work)]
        row = mine[0] if mine else {}
        flashed = sorted(glob.glob(receivers.flashed[n] + "/*-flash.bin"))
        check(row.get("outcome") in ("aborted", "confirmed") and row.get("exit_status") is not None,
              "receiver %d's row is complete: %r" % (n, {k: row.get(k) for k in ("outcome", "stage", "reason", "exit_status")}))
        if row.get("outcome") == "aborted":
            check("Stopped as asked once" in (row.get("reason") or "") and row.get("stage") == "loading" and flashed,
                  "receiver %d stopped after a whole image, and its row says which: %r" % (n, row.get("reason")))
        check(log_name and all("Log file closed" in open(work + "/logs/" + name, errors="replace").read()
                               for name in log_name), "every child's log was closed")


def usage(work):
    status, _, err = fleet(work, ["/dev/null", "/dev/../dev/null"])
    check(status == 2 and "same receiver" in err, "the same port twice is refused: %r" % err.strip())
    proc = subprocess.run([FLEET, "--port", "a", "--", "/port", "b"], capture_output=True, text=True)
    check(proc.returncode == 2, "/port after -- is refused")
    proc = subprocess.run([FLEET, "--help"], capture_output=True, text=True)
    check(proc.returncode == 0 and "--jobs" in proc.stdout, "--help")
    proc = subprocess.run([FLEET, "--vestrel", VESTREL, "--log-dir", work + "/logs", "--port", "/dev/null", "--",
                           "/capture", "power", "/source", work + "/fw/named/main.ldp"],
                          capture_output=True, text=True, timeout=300)
    check("Power On Capture: switch on the receiver now" in proc.stdout, "a power-on capture prompts to switch the receivers on")
    check(proc.returncode == 1 and "FAILED" in proc.stdout, "a port that is no receiver fails: %r" % proc.stdout[-300:])


def unconfirmed(work):
    receivers = Receivers(work, [], ["--silent-after-flash"])
    status, out, _ = fleet(work, receivers.ports)
    result = summary(out)
    receivers.stop()
    quiet = by_port(result, receivers.ports[1])
    check(status == 1 and not quiet["loaded"] and quiet["outcome"] == "unconfirmed",
          "an unconfirmed load is not loaded: exit %s, %r" % (status, quiet))
    check(by_port(result, receivers.ports[0])["outcome"] == "confirmed", "the other one is confirmed")
    os.makedirs(work + "/again")
    receivers = Receivers(work + "/again", [], ["--silent-after-flash"])
    status, out, _ = fleet(work, receivers.ports, "--allow-unconfirmed")
    receivers.stop()
    check(status == 0 and all(r["loaded"] for r in summary(out)["receivers"]),
          "--allow-unconfirmed counts it as loaded (%s)" % status)


# A stand-in for vestrel: typed events only, texts nobody could match, control characters from a
# receiver, a line of 1 MB, and the port it names as given (or another one with OTHER_PORT set).
STAND_IN = r"""#!/usr/bin/python3
import json, os, sys
args = sys.argv[1:]
port = args[args.index("/port") + 1]
def event(**fields):
    print(json.dumps(fields), flush=True)
event(event="start", schema=2, version="x", port=port, method="soft", source="fw")
event(event="log", text="Ouvrir le port... Erreur fatale: impossible")
event(event="stage", stage="connecting", image=None)
event(event="receiver", identity="SN\u001b[31m1", model="VR-\u001b]52;c;aGk=\u0007100", hardware=None, firmware_before="4.2")
event(event="stage", stage="capturing", image=None)
event(event="status", text="Capturing...")
sys.stdout.write('{"event":"log","text":"' + "x" * 1000000 + '"}\n')
event(event="stage", stage="loading", image="Firmware \u009b31m principal")
event(event="stage", stage="confirming", image=None)
reported = os.environ.get("OTHER_PORT", port)
marker = os.environ.get("FAIL_UNTIL")  # fails while this file has fewer lines than its name's number says
if marker:
    tries = open(marker).read().count("x") if os.path.exists(marker) else 0
    open(marker, "a").write("x")
    if tries < int(os.environ["FAIL_TIMES"]):
        event(event="result", success=False, exit_status=1, reason="Send file error.", firmware=None, outcome="failed",
              stage="loading", port=port, receiver={}, images=[])
        sys.exit(1)
event(event="result", success=True, exit_status=0, reason="Fertig\u001b[2J", firmware=None, outcome="confirmed",
      stage="done", port=reported, receiver={"id": None, "model": None, "hardware": None, "firmware_before": None,
      "firmware_after": "4.3"}, images=[])
"""


def stand_in(work):
    path = work + "/vestrel-stand-in"
    with open(path, "w") as f:
        f.write(STAND_IN)
    os.chmod(path, 0o755)
    command = [FLEET, "--vestrel", path, "--log-dir", work + "/logs", "--port", "/dev/null", "--", "/source", "fw"]
    proc = subprocess.run(command, capture_output=True, timeout=300)
    shown = proc.stdout + proc.stderr
    check(proc.returncode == 0 and b"1 of 1 receivers loaded" in proc.stdout,
          "every text changed: the fleet still follows the load (%s) %r" % (proc.returncode, proc.stdout[-300:]))
    check(b"\x1b" not in shown and b"\x07" not in shown and b"\xc2\x9b" not in shown,
          "no control character from a receiver reaches the terminal")
    check(shown.count(b"was cut") == 1, "the endless line is cut and said so once")
    env = dict(os.environ, OTHER_PORT="/dev/ttyS0")
    proc = subprocess.run(command, capture_output=True, text=True, timeout=300, env=env)
    check(proc.returncode == 1 and "not of /dev/null" in proc.stdout,
          "a result naming another port is no load of this one: %r" % proc.stdout[-300:])
    # --retry: a load that fails once is loaded again after the pause; one that fails every time
    # reports its last attempt's reason.
    retry = [FLEET, "--vestrel", path, "--log-dir", work + "/retry-logs", "--port", "/dev/null", "--json", "--retry", "2",
             "--", "/source", "fw"]
    env = dict(os.environ, FAIL_UNTIL=work + "/tries-once", FAIL_TIMES="1")
    proc = subprocess.run(retry, capture_output=True, text=True, timeout=300, env=env)
    row = summary(proc.stdout)["receivers"][0] if proc.stdout.startswith("{") else {}
    check(proc.returncode == 0 and row.get("loaded") and row.get("attempts") == 2,
          "--retry: loaded at the second attempt (%s): %r" % (proc.returncode, row))
    log = open(work + "/retry-logs/dev_null.log").read() if os.path.exists(work + "/retry-logs/dev_null.log") else ""
    check("attempt 1 of 3 failed" in log and "Power On Capture" in log, "the log says which attempt: %r" % log[-300:])
    env = dict(os.environ, FAIL_UNTIL=work + "/tries-always", FAIL_TIMES="99")
    proc = subprocess.run(retry, capture_output=True, text=True, timeout=300, env=env)
    row = summary(proc.stdout)["receivers"][0] if proc.stdout.startswith("{") else {}
    check(proc.returncode == 1 and row.get("attempts") == 3 and "Send file error" in row.get("reason", ""),
          "--retry: a receiver that fails every time, three attempts: %r" % row)
    # A stop during the pause before a retry ends the fleet at once, the receiver failed.
    env = dict(os.environ, FAIL_UNTIL=work + "/tries-stop", FAIL_TIMES="99")
    proc = subprocess.Popen(retry, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
    check(wait_for_stage(proc, "failed"), "the first attempt failed")
    stopped = time.time()
    proc.send_signal(signal.SIGINT)
    out, _ = proc.communicate(timeout=30)
    row = summary(out)["receivers"][0] if out.startswith("{") else {}
    check(proc.returncode == 130 and time.time() - stopped < 4.5 and row.get("attempts") == 1,
          "a stop in the pause before a retry: exit %s after %.1f s, %r" % (proc.returncode, time.time() - stopped, row))
    proc = subprocess.run([FLEET, "--vestrel", path, "--port", "/dev/null", "--", "/source", "fw", "/speed"],
                          capture_output=True, text=True, timeout=300)
    check(proc.returncode == 2 and "/speed needs a value" in proc.stderr and not os.path.exists("vestrel-logs"),
          "a trailing option without its value is refused before any child starts: %r" % proc.stderr)


def inventory_and_skip_current(work):
    receivers = Receivers(work, [], ["--main-version", "4.3 Dec,08,2026"])
    proc = subprocess.run([FLEET, "--vestrel", VESTREL, "--identify", "--json", "--port", receivers.ports[0],
                           "--port", receivers.ports[1], "--port", work + "/no-such-port"],
                          capture_output=True, text=True, timeout=300)
    rows = json.loads(proc.stdout) if proc.stdout.startswith("[") else []
    check(proc.returncode == 1 and len(rows) == 3, "an inventory with one port that answers nothing: exit %s" % proc.returncode)
    check(rows and rows[0]["found"] and rows[0]["model"] == "VR-100" and rows[0]["id"] == "VR100-0001234"
          and rows[0]["firmware"] == "4.2 Dec,01,2026" and rows[0]["rate"] == 115200, "what the first one is: %r" % rows[:1])
    check(len(rows) == 3 and not rows[2]["found"] and rows[2]["reason"], "the missing one says why: %r" % rows[2:])
    check(not any(receivers.flashed_main(n) for n in range(2)), "an inventory flashes nothing")
    status, out, _ = fleet(work, receivers.ports[:2], "--skip-current", "--expect-version", "4.3")
    result = summary(out)
    current = by_port(result, receivers.ports[1])
    check(status == 0 and current["outcome"] == "current" and by_port(result, receivers.ports[0])["outcome"] == "confirmed",
          "--skip-current: one loaded, one current, exit 0 (%s): %r" % (status, result))
    check(receivers.flashed_main(1) is None, "the current one was not loaded")
    proc = subprocess.run([FLEET, "--port", "/dev/null", "--skip-current", "--", "/source", "x"], capture_output=True,
                          text=True)
    check(proc.returncode == 2 and "--expect-version" in proc.stderr, "--skip-current without --expect-version")
    receivers.stop()


def whole_version_field(work):
    """--expect-version 4.3 is neither 4.31 nor 4.3-rc1: both are loaded."""
    receivers = Receivers(work, ["--main-version", "4.31 Jan,01,2027"], ["--main-version", "4.3-rc1 Dec,01,2026"])
    status, out, _ = fleet(work, receivers.ports, "--skip-current", "--expect-version", "4.3")
    receivers.stop()
    rows = summary(out)["receivers"]
    check(len(rows) == 2 and all(r["outcome"] != "current" for r in rows) and all(receivers.flashed_main(n) for n in range(2)),
          "4.31 and 4.3-rc1 are not taken for 4.3: both loaded (%s): %r" % (status, [r.get("outcome") for r in rows]))


def all_current(work):
    """Two receivers that already run the version: nothing loaded, nothing failed, no log named."""
    receivers = Receivers(work, ["--main-version", "4.3 Dec,08,2026"], ["--main-version", "4.3 Dec,08,2026"])
    status, out, _ = fleet(work, receivers.ports, "--skip-current", "--expect-version", "4.3")
    receivers.stop()
    result = summary(out)
    counts = {k: result.get(k) for k in ("loaded", "current", "failed", "unconfirmed", "aborted")}
    check(status == 0 and counts == {"loaded": 0, "current": 2, "failed": 0, "unconfirmed": 0, "aborted": 0},
          "two receivers already current: exit %s, %r" % (status, counts))
    check(all(r["log"] is None and r["exit_status"] is None and r["started"] is None for r in result["receivers"]),
          "a receiver left alone names no log, exit status or time: %r" % result["receivers"])


def command_lines_holding(secrets, exclude):
    """Every process's arguments that hold one of the secrets (other users can read them all), but
    those of the processes excluded (the virtual receivers, told their passwords by the test)."""
    found = []
    for path in glob.glob("/proc/[0-9]*/cmdline"):
        if int(path.split("/")[2]) in exclude:
            continue
        try:
            text = open(path, "rb").read().replace(b"\0", b" ").decode(errors="replace")
        except OSError:
            continue
        found += [text for secret in secrets if secret in text]
    return found


def children_of(pid):
    """The processes whose parent is pid."""
    found = []
    for path in glob.glob("/proc/[0-9]*/stat"):
        fields = open_quietly(path).rsplit(b")", 1)[-1].split()
        if len(fields) > 1 and fields[1] == str(pid).encode():
            found.append(int(path.split("/")[2]))
    return found


def open_quietly(path):
    try:
        return open(path, "rb").read()
    except OSError:
        return b""


def start_fleet(work, name, ports, env, *vestrel_options):
    command = [FLEET, "--vestrel", VESTREL, "--log-dir", work + "/" + name, "--json"]
    for port in ports:
        command += ["--port", port]
    command += ["--", *vestrel_options, "/source", work + "/fw/named/main.ldp", "/capture", "soft"]
    return subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)


def watch_fleets(fleets, exclude):
    """Reads every process's arguments for the secrets until the fleets end; a fleet's own
    arguments count once it has started a child (until then they are the operator's, as with any
    program). Returns the command lines that held one, and each fleet's (loaded, output)."""
    leaks, started = [], set()
    while any(proc.poll() is None for proc in fleets):
        started |= {proc.pid for proc in fleets if children_of(proc.pid)}
        leaks += command_lines_holding(SECRETS, exclude | ({proc.pid for proc in fleets} - started))
        time.sleep(0.05)
    results = []
    for proc in fleets:
        out, err = proc.communicate(timeout=300)
        rows = summary(out)["receivers"]
        results.append((proc.returncode == 0 and rows and all(r["loaded"] for r in rows), out + err))
    return leaks, started, results


SECRETS = ["alpha-env", "bravo-arg", "charlie-stored", "delta-file"]


def passwords_off_the_command_line(work):
    # Each receiver has its own password: from the fleet's environment, written in --port (blanked
    # at once, warned about, passed on in the child's environment), stored, in a private file.
    receivers = Receivers(work, *[["--tcp", "0", "--password", secret] for secret in SECRETS])
    bare = [port.rsplit(":", 1)[0] for port in receivers.ports]
    config = work + "/config"
    os.makedirs(config + "/Telmora")
    with open(config + "/Telmora/Vestrel.conf", "w") as stored:
        stored.write("[hosts]\ncount=1\nhost0=%s:charlie-stored\nname0=Bench\n" % bare[2][len("tcp:"):])
    quiet = dict(os.environ, XDG_CONFIG_HOME=config)
    quiet.pop("VESTREL_TCP_PASSWORD", None)
    secret = work + "/secret"
    with open(secret, "w") as f:
        f.write("delta-file\n")
    os.chmod(secret, 0o600)

    first = start_fleet(work, "env-and-arg", [bare[0], bare[1] + ":bravo-arg"], dict(quiet, VESTREL_TCP_PASSWORD="alpha-env"))
    for _ in range(200):  # the others start once it has blanked its arguments
        if children_of(first.pid):
            break
        time.sleep(0.05)
    fleets = [first, start_fleet(work, "stored", [bare[2]], quiet),
              start_fleet(work, "file", [bare[3]], quiet, "--password-file", secret)]
    leaks, started, results = watch_fleets(fleets, {sim.pid for sim in receivers.sims})
    for (loaded, text), what in zip(results, ("the environment and --port", "the store", "a private file")):
        check(loaded, "passwords from %s log in: %s" % (what, text[-300:]))
    check(len(started) == 3 and not leaks, "no process's arguments held a password: %r" % leaks[:2])
    check("can be read by every user" in results[0][1] and not any(s in t for _, t in results for s in SECRETS),
          "the password in --port is warned about, and no password is printed")

    # At a terminal vestrel asks, without echo; without one it never waits for an answer.
    pid, terminal = pty.fork()
    if pid == 0:
        os.execve(VESTREL, [VESTREL, "--identify", "/port", bare[3]], quiet)
    seen, answered = b"", False
    deadline = time.time() + 60
    while time.time() < deadline:
        if select.select([terminal], [], [], 0.2)[0]:
            try:
                data = os.read(terminal, 4096)
            except OSError:
                break
            if not data:
                break
            seen += data
        if not answered and b"Password for " + bare[3].encode() in seen:
            os.write(terminal, b"delta-file\n")
            answered = True
    status = os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1])
    check(answered and status == 0 and b"VR-100" in seen and b"delta-file" not in seen,
          "a prompt at a terminal, the answer not echoed (%s): %r" % (status, seen[-200:]))
    proc = subprocess.run([VESTREL, "--identify", "/port", bare[3]], stdin=subprocess.DEVNULL, capture_output=True,
                          text=True, env=quiet, timeout=300)
    check(proc.returncode == 1 and "Password for" not in proc.stderr, "no prompt without a terminal")

    os.chmod(secret, 0o644)
    proc = subprocess.run([VESTREL, "--password-file", secret, "/port", bare[3], "/source", work + "/fw/named/main.ldp",
                           "/run"], capture_output=True, text=True, env=quiet, timeout=300)
    check(proc.returncode == 2 and "chmod 600" in proc.stderr, "a password file others may read is refused: %s"
          % proc.stderr.strip())
    receivers.stop()


def run_case(case):
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([MKFW, work + "/fw"], check=True, stdout=subprocess.DEVNULL)
        print("==", case.__name__, flush=True)
        case(work)


# Every child's row goes into one load history of the test's own.
os.environ["XDG_STATE_HOME"] = tempfile.mkdtemp(prefix="vestrel-fleet-state-")
# Each case has receivers and a folder of its own: they run side by side.
with ThreadPoolExecutor(max_workers=5) as pool:
    for future in [pool.submit(run_case, case) for case in (
            usage, stand_in, unconfirmed, inventory_and_skip_current, three_at_once_one_faulty,
            healthy_one_at_a_time, file_upload_shows_the_serial, killed_child, interrupted,
            passwords_off_the_command_line, fleet_killed, whole_version_field, all_current)]:
        future.result()
print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
