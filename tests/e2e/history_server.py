#!/usr/bin/python3
"""The load history on the line's PostgreSQL server, which this test starts itself (initdb and
pg_ctl as an unprivileged user, a data folder in its temporary folder, 127.0.0.1 on a free port,
password authentication through a password file): three stations loading at once each leave their
row; a run whose server stops while it loads keeps its row pending on its station, and the next
run and a --sync-history at once send it exactly once; a server frozen mid-run (its processes
stopped) holds nobody past the deadlines, and a stop signal during that write is honoured at once,
the rows waiting on the station until it thaws; a password in the URL is refused, however spelt;
--history-required refuses a load whose row can be written nowhere before the receiver hears
anything. Exit 77 (skipped) when the server's programs are not installed.

  history_server.py VESTREL SIM MKFW FLEET
"""
import hashlib
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor

from pg_server import Server, server_programs
from virtual_receiver import Receiver

VESTREL, SIM, MKFW, FLEET = sys.argv[1:5]
PASSWORD = "line-secret-7"
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)


class Line:
    def __init__(self, work, server):
        self.work = work
        self.url = "postgresql://line@127.0.0.1:%d/history" % server.port
        self.pgpass = work + "/pgpass"
        with open(self.pgpass, "w") as f:
            f.write("127.0.0.1:%d:*:line:%s\n" % (server.port, PASSWORD))
        os.chmod(self.pgpass, 0o600)
        self.psql("postgres", "CREATE DATABASE history")

    def environment(self, station, state=None):
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY") and not k.startswith("PG")}
        env.update({"PGPASSFILE": self.pgpass, "VESTREL_HISTORY_DB": self.url, "VESTREL_STATION": station,
                    "XDG_STATE_HOME": state or "%s/%s/state" % (self.work, station)})
        return env

    def psql(self, database, sql):
        url = self.url.rsplit("/", 1)[0] + "/" + database
        proc = subprocess.run(["psql", "-X", "-q", "-t", "-A", "-v", "ON_ERROR_STOP=1", url, "-c", sql],
                              env={"PGPASSFILE": self.pgpass, "PATH": os.environ["PATH"]}, capture_output=True,
                              text=True, timeout=60, check=True)
        return proc.stdout.strip()

    def load(self, station, extra=(), state=None, on_first_stage=None):
        """One unattended load of the data file into a fresh virtual receiver, as JSON events."""
        receiver = Receiver(SIM, self.work)
        try:
            proc = subprocess.Popen([VESTREL, "--json", "/port", receiver.port, "/source", self.work + "/fw/data/settings.cfg",
                                     "/capture", "data", "/exit", "/run", *extra], env=self.environment(station, state),
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            events = []
            for line in proc.stdout:
                events.append(json.loads(line))
                if on_first_stage and events[-1].get("event") == "stage":
                    on_first_stage()
                    on_first_stage = None
            proc.wait(timeout=300)
            return proc.returncode, events, proc.stderr.read()
        finally:
            receiver.stop()

    def vestrel(self, station, *args, env=None):
        proc = subprocess.run([VESTREL, *args], env=env or self.environment(station), capture_output=True, text=True,
                              timeout=120)
        return proc.returncode, proc.stdout, proc.stderr

    def rows(self, station, *options):
        status, out, err = self.vestrel(station, "--list-history", "--json", *options)
        check(status == 0, "--list-history %s: %s %s" % (options, status, err))
        return json.loads(out) if status == 0 else []


def warnings(events):
    """The history's warnings (a machine without a system bus also warns that nothing keeps it awake)."""
    return [e.get("text", "") for e in events
            if "Warning:" in e.get("text", "") and "nothing keeps the computer" not in e.get("text", "")]


def passwords_refused(line):
    secret_url = line.url.replace("line@", "line:%s@" % PASSWORD)
    status, _, err = line.vestrel("st-1", "--history-db", secret_url, "--list-history")
    check(status == 2 and "password" in err and PASSWORD not in err, "a password in --history-db: %s %r" % (status, err))
    env = line.environment("st-1")
    env["VESTREL_HISTORY_DB"] = line.url + "?password=" + PASSWORD
    status, _, err = line.vestrel("st-1", "--list-history", env=env)
    check(status == 2 and "VESTREL_HISTORY_DB" in err and PASSWORD not in err,
          "a password in VESTREL_HISTORY_DB: %s %r" % (status, err))
    status, _, err = line.vestrel("st-1", "--history-db", line.url + "?%70assword=" + PASSWORD, "--list-history")
    check(status == 2 and "password" in err and PASSWORD not in err, "a password spelt %%70assword: %s %r" % (status, err))


def three_stations_at_once(line, data_digest):
    with ThreadPoolExecutor(max_workers=3) as pool:
        runs = [pool.submit(line.load, "st-%d" % n) for n in (1, 2, 3)]
        done = [run.result() for run in runs]
    ids = set()
    for n, (status, events, err) in enumerate(done, 1):
        result = events[-1] if events else {}
        check(status == 0 and result.get("outcome") == "confirmed" and not warnings(events),
              "station st-%d loads: %s %r %r" % (n, status, result, err))
        ids.add(result.get("history_id"))
    rows = {row["id"]: row for row in line.rows("st-1")}
    check(set(rows) == ids and len(ids) == 3, "the server has the three rows: %r against %r" % (sorted(rows), ids))
    check(sorted(row["station"] for row in rows.values()) == ["st-1", "st-2", "st-3"], "each station its row")
    for row in rows.values():
        check(row["outcome"] == "confirmed" and row["exit_status"] == 0 and row["pending"] == 0
              and [i["sha256"] for i in row["images"]] == [data_digest], "a whole row on the server: %r" % row)
    only = line.rows("st-1", "--station", "st-2")
    check(len(only) == 1 and only[0]["station"] == "st-2", "--station st-2 shows its row alone: %r" % only)
    return len(rows)


def server_stops_during_a_run(line, server, rows_before):
    """The row waits on its station, then goes to the server once: the next run and a sync at once."""
    status, events, err = line.load("st-4", on_first_stage=server.stop)
    result = events[-1] if events else {}
    check(status == 0 and result.get("outcome") == "confirmed", "the load goes on without the server: %s %r" % (status, err))
    check(any("pending" in text for text in warnings(events)), "a warning says the row waits: %r" % warnings(events))
    local = line.work + "/st-4/state/vestrel/history.sqlite3"
    waiting = line.rows("st-4", "--history-db", local)
    check(len(waiting) == 1 and waiting[0]["pending"] == 1 and waiting[0]["id"] == result.get("history_id")
          and waiting[0]["outcome"] == "confirmed", "the station keeps the row pending: %r" % waiting)
    server.start()
    with ThreadPoolExecutor(max_workers=3) as pool:
        next_run = pool.submit(line.load, "st-4")
        syncs = [pool.submit(line.vestrel, "st-4", "--sync-history") for _ in range(2)]
        status, events, err = next_run.result()
        synced = [s.result() for s in syncs]
    check(status == 0 and not warnings(events), "the next run reaches the server: %s %r" % (status, err))
    for sync_status, out, sync_err in synced:
        check(sync_status == 0 and "sent to the history server" in out, "--sync-history: %s %r %r" % (sync_status, out, sync_err))
    row_id = waiting[0]["id"] if waiting else ""
    count = line.psql("history", "SELECT COUNT(*) FROM loads WHERE id = '%s'" % row_id)
    images = line.psql("history", "SELECT COUNT(*) FROM load_images WHERE load_id = '%s'" % row_id)
    total = line.psql("history", "SELECT COUNT(*) FROM loads")
    check(count == "1" and images == "1" and total == str(rows_before + 2),
          "the pending row reached the server once: %s rows, %s images, %s in all" % (count, images, total))
    sent = [row for row in line.rows("st-4") if row["id"] == row_id]
    check(len(sent) == 1 and sent[0]["outcome"] == "confirmed" and sent[0]["finished_at"],
          "the server's row is the finished one: %r" % sent)
    waiting = line.rows("st-4", "--history-db", local)
    check(all(row["pending"] == 0 for row in waiting), "nothing waits on the station any more: %r" % waiting)


def server_frozen_during_a_run(line, server):
    """A server that stops answering (its processes stopped) never holds a run: the run ends within the
    deadlines, exit 0, its row pending on the station; sent once the server answers again."""
    pids = []

    def freeze():
        postmaster = open(server.dir + "/data/postmaster.pid").readline().strip()
        children = subprocess.run(["pgrep", "-P", postmaster], capture_output=True, text=True).stdout.split()
        pids.extend([postmaster, *children])
        for pid in pids:
            os.kill(int(pid), signal.SIGSTOP)

    started = time.time()
    try:
        status, events, err = line.load("st-7", on_first_stage=freeze)
    finally:
        for pid in pids:
            os.kill(int(pid), signal.SIGCONT)
    took = time.time() - started
    print("a run against a frozen server ended after %.1f s" % took, flush=True)
    result = events[-1] if events else {}
    check(status == 0 and result.get("outcome") == "confirmed" and took < 120,
          "a frozen server holds nobody: exit %s after %.0f s, %r" % (status, took, err))
    local = line.work + "/st-7/state/vestrel/history.sqlite3"
    waiting = line.rows("st-7", "--history-db", local)
    check(len(waiting) == 1 and waiting[0]["pending"] == 1 and waiting[0]["outcome"] == "confirmed",
          "the row waits on the station: %r" % waiting)
    # A stop signal while the row is written to a frozen server is honoured at once.
    pids.clear()
    receiver = Receiver(SIM, line.work)
    try:
        proc = subprocess.Popen([VESTREL, "--json", "/port", receiver.port, "/source", line.work + "/fw/data/settings.cfg",
                                 "/capture", "data", "/exit", "/run"], env=line.environment("st-7"),
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        frozen = False
        for text in proc.stdout:
            if not frozen and '"stage":"loading"' in text.replace(" ", ""):
                freeze()
                frozen = True
            if '"text":"Successfullyloaded!"' in text.replace(" ", ""):
                break
        time.sleep(3)  # the run's end is behind it: the final write waits on the frozen server now
        stopped = time.time()
        proc.terminate()
        proc.communicate(timeout=60)
        took = time.time() - stopped
    finally:
        for pid in pids:
            os.kill(int(pid), signal.SIGCONT)
        receiver.stop()
    print("a stop signal during the write to a frozen server ended the run after %.2f s" % took, flush=True)
    check(took < 3 and proc.returncode == 0, "a stop during the history write is honoured at once: %.1f s, exit %s"
          % (took, proc.returncode))
    # The first row went to the server as the second run began; the second waits now.
    waiting = [row for row in line.rows("st-7", "--history-db", local) if row["pid"] == proc.pid]
    check(len(waiting) == 1 and waiting[0]["pending"] == 1 and waiting[0]["outcome"] == "confirmed",
          "the stopped write's row waits on the station: %r" % waiting)
    sync_status, out, sync_err = line.vestrel("st-7", "--sync-history")
    station_rows = line.rows("st-7", "--station", "st-7")
    check(sync_status == 0 and len(station_rows) == 2 and all(row["outcome"] == "confirmed" for row in station_rows),
          "both rows on the server once it thaws: %s %r %r" % (sync_status, sync_err, station_rows))


def a_fleet_writes_on_the_server(line):
    """The fleet's children find the server through the environment they inherit."""
    receivers = [Receiver(SIM, line.work) for _ in range(2)]
    try:
        ports = [arg for r in receivers for arg in ("--port", r.port)]
        proc = subprocess.run([FLEET, "--json", *ports, "--", "/source", line.work + "/fw/data/settings.cfg",
                               "/capture", "data"], env=line.environment("st-6"), capture_output=True, text=True,
                              timeout=300, cwd=line.work)  # its logs go into the test's folder
    finally:
        for r in receivers:
            r.stop()
    summary = json.loads(proc.stdout) if proc.returncode == 0 else {}
    children = summary.get("receivers", []) if isinstance(summary, dict) else summary
    ids = sorted(child.get("history_id") or "" for child in children)
    rows = sorted(row["id"] for row in line.rows("st-1", "--station", "st-6"))
    check(proc.returncode == 0 and len(ids) == 2 and ids == rows,
          "a fleet's children write their rows on the server: %s %r %r %s" % (proc.returncode, ids, rows, proc.stderr[-300:]))


def required_history_written_nowhere(line, server):
    server.stop()
    blocker = line.work + "/not-a-folder"
    open(blocker, "w").close()
    status, events, err = line.load("st-5", ("--history-required",), state=blocker + "/state")
    result = events[-1] if events else {}
    stages = [e for e in events if e.get("event") == "stage"]
    check(status == 1 and result.get("outcome") == "refused" and "history" in (result.get("reason") or "")
          and not stages, "--history-required with the row nowhere: %s %r %r" % (status, result, err))


# The line's history as the previous version left it: schema 3, times as text.
PREVIOUS_SCHEMA = """
CREATE TABLE schema_version (version INTEGER NOT NULL); INSERT INTO schema_version VALUES (3);
CREATE TABLE loads (id TEXT PRIMARY KEY, started_at TEXT NOT NULL, finished_at TEXT, station TEXT, pid BIGINT,
 tool_version TEXT, command_line TEXT, port TEXT, link TEXT, method TEXT, source TEXT, source_sha256 TEXT,
 receiver_model TEXT, receiver_id TEXT, receiver_hardware TEXT, firmware_before TEXT, firmware_after TEXT,
 outcome TEXT, stage TEXT, exit_status INTEGER, reason TEXT, log_path TEXT, pending INTEGER NOT NULL DEFAULT 0,
 failure_kind TEXT);
CREATE TABLE load_images (load_id TEXT NOT NULL REFERENCES loads (id) ON DELETE CASCADE, file TEXT, title TEXT,
 size BIGINT, sha256 TEXT, position INTEGER NOT NULL DEFAULT 0, result TEXT);
INSERT INTO loads (id, started_at, finished_at, station, pid, outcome, exit_status, receiver_id) VALUES
 ('old-1', '2026-12-01T10:00:00.123Z', '2026-12-01T10:01:00.456Z', 'old', 1, 'confirmed', 0, 'VR100-OLD'),
 ('old-2', '2026-12-02T23:30:00.000Z', NULL, 'old', 2, 'interrupted', NULL, NULL);
INSERT INTO load_images VALUES ('old-1', 'main.ldp', 'Main firmware', 100, 'ab', 0, 'flashed');
"""


def migrated_and_ordered(line):
    """A history of the previous version is migrated with its rows, its times now the server's time
    type; a load's order fields round-trip; --since today lists today's loads."""
    line.psql("postgres", "CREATE DATABASE previous")
    line.psql("previous", PREVIOUS_SCHEMA)
    url = line.url.rsplit("/", 1)[0] + "/previous"
    rows = line.rows("st-1", "--history-db", url)
    by_id = {row["id"]: row for row in rows}
    check(set(by_id) == {"old-1", "old-2"} and by_id["old-1"]["started_at"] == "2026-12-01T10:00:00.123Z"
          and by_id["old-1"]["finished_at"] == "2026-12-01T10:01:00.456Z" and len(by_id["old-1"]["images"]) == 1
          and by_id["old-2"]["finished_at"] is None, "the previous version's rows are kept: %r" % rows)
    kind = line.psql("previous", "SELECT data_type FROM information_schema.columns WHERE table_name = 'loads' AND "
                                 "column_name = 'started_at'")
    check(kind == "timestamp with time zone", "the times are the server's time type: %r" % kind)
    status, events, err = line.load("st-1", ("--history-db", url, "--work-order", "WO-PG-1", "--operator", "Łukasz",
                                             "--lot", "L-9"))
    check(status == 0, "a load with its order on the server: %s %r" % (status, err[-300:]))
    rows = line.rows("st-1", "--history-db", url, "--work-order", "WO-PG-1")
    check(len(rows) == 1 and rows[0]["operator"] == "Łukasz" and rows[0]["lot"] == "L-9", "the order's fields: %r" % rows)
    today = line.rows("st-1", "--history-db", url, "--since", "today")
    check([row["work_order"] for row in today] == ["WO-PG-1"], "--since today on the server: %r" % today)
    between = line.rows("st-1", "--history-db", url, "--since", "2026-12-01T09:00Z", "--until", "2026-12-02")
    check([row["id"] for row in between] == ["old-1"], "--since and --until with zones: %r" % between)


def main():
    bin_dir = server_programs()
    if not bin_dir:
        print("skipped: PostgreSQL's server programs are not installed (scripts/setup installs them)")
        return 77
    work = tempfile.mkdtemp(prefix="vestrel-line-")
    os.chmod(work, 0o755)  # the server's user reaches its folder in it
    subprocess.run([MKFW, work + "/fw"], check=True, stdout=subprocess.DEVNULL)
    data_digest = hashlib.sha256(open(work + "/fw/data/settings.cfg", "rb").read()).hexdigest()
    server = Server(work, bin_dir, PASSWORD)
    try:
        line = Line(work, server)
        passwords_refused(line)
        migrated_and_ordered(line)
        rows = three_stations_at_once(line, data_digest)
        server_stops_during_a_run(line, server, rows)
        server_frozen_during_a_run(line, server)
        a_fleet_writes_on_the_server(line)
        required_history_written_nowhere(line, server)
    finally:
        try:
            server.stop("immediate")
        except subprocess.CalledProcessError:
            pass  # already stopped
        shutil.rmtree(work, ignore_errors=True)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
