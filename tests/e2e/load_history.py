#!/usr/bin/python3
"""The load history of whole unattended runs into the virtual receiver, each in a history of its
own (XDG_STATE_HOME): one row for each outcome (confirmed, unconfirmed, failed while loading,
failed while confirming, aborted by a signal, refused by a digest before the receiver is asked
anything) and a killed run's row shown as interrupted; the JSON result names its row; the
digests of the source and of every image; --list-history's filters and JSON; --export-history,
refused onto the history itself. A reader of the JSON that goes away mid-flash stops nothing; a
history held locked across a run's end still gets the run's outcome.

  load_history.py VESTREL SIM MKFW
"""
import csv
import hashlib
import json
import os
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor

from virtual_receiver import Receiver

VESTREL, SIM, MKFW = sys.argv[1:4]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)


def environment(work):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env["XDG_STATE_HOME"] = work + "/state"
    return env


def load(work, sim_args=(), extra=(), stop_with=None):
    """One unattended load into a fresh virtual receiver; stop_with: a signal sent once it loads."""
    receiver = Receiver(SIM, work, *sim_args)
    try:
        proc = subprocess.Popen([VESTREL, "--json", "/port", receiver.port, "/source", work + "/fw/named.zip",
                                 "/capture", "soft", "/exit", "/run", *extra], env=environment(work),
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        events = []
        for line in proc.stdout:
            events.append(json.loads(line))
            if stop_with and events[-1].get("event") == "stage" and events[-1]["stage"] == "loading":
                proc.send_signal(stop_with)
                stop_with = None
        proc.wait(timeout=500)
        return proc.returncode, events, proc.stderr.read()
    finally:
        receiver.stop()


def reader_goes_away(work):
    """The reader of --json closes its end mid-flash: the load goes on; exit 0, the log closed. The
    receiver's identity holds escape sequences, which reach the log escaped."""
    receiver = Receiver(SIM, work, "--identity", "VR\x1b]0;TITLE\x07-\x1b[2J1")
    log = tempfile.mkdtemp(dir=work) + "/activity.log"
    try:
        proc = subprocess.Popen([VESTREL, "--json", "/port", receiver.port, "/source", work + "/fw/named.zip",
                                 "/capture", "soft", "/log", log, "/exit", "/run"], env=environment(work),
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        for line in proc.stdout:
            if '"stage":"loading"' in line.replace(" ", ""):
                break
        proc.stdout.close()
        return proc.wait(timeout=500), proc.pid, open(log, errors="replace").read()
    finally:
        receiver.stop()


def locked_at_the_end(work):
    """Another process holds the history's file locked across the run's end: the row is written once
    the lock goes, its outcome not lost."""
    receiver = Receiver(SIM, work)
    try:
        proc = subprocess.Popen([VESTREL, "--json", "/port", receiver.port, "/source", work + "/fw/named.zip",
                                 "/capture", "soft", "/exit", "/run"], env=environment(work),
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        holder = None
        for line in proc.stdout:
            event = json.loads(line)
            if holder is None and event.get("event") == "stage" and event["stage"] == "loading":
                holder = sqlite3.connect(work + "/state/vestrel/history.sqlite3", timeout=60, isolation_level=None)
                holder.execute("BEGIN EXCLUSIVE")
            if event.get("event") == "stage" and event["stage"] in ("confirming", "done"):
                break
        time.sleep(14)  # past the writer's own wait for a lock
        holder.execute("COMMIT")
        holder.close()
        out, _ = proc.communicate(timeout=300)
        events = [json.loads(line) for line in out.splitlines() if line.startswith("{")]
        return proc.returncode, events
    finally:
        receiver.stop()


def history(work, *options):
    proc = subprocess.run([VESTREL, "--list-history", *options], env=environment(work), capture_output=True,
                          text=True, timeout=60)
    return proc.returncode, proc.stdout, proc.stderr


def main():
    work = tempfile.mkdtemp(prefix="vestrel-history-")
    subprocess.run([MKFW, work + "/fw"], check=True, stdout=subprocess.DEVNULL)
    archive = work + "/fw/named.zip"
    digest = hashlib.sha256(open(archive, "rb").read()).hexdigest()
    with open(work + "/SHA256SUMS", "w") as sums:
        sums.write("%s  named.zip\n" % digest)

    with ThreadPoolExecutor(max_workers=7) as pool:
        runs = {
            "confirmed": pool.submit(load, work, ("--version-after", "4.3 Dec,08,2026"),
                                     ("--sha256-file", work + "/SHA256SUMS")),
            "unconfirmed": pool.submit(load, work, ("--silent-after-flash",)),
            "failed-loading": pool.submit(load, work, ("--drop-link-after", "40")),
            "failed-confirming": pool.submit(load, work, ("--version-after", "4.2 Dec,01,2026"),
                                             ("--expect-version", "4.3")),
            "aborted": pool.submit(load, work, (), (), signal.SIGTERM),
            "killed": pool.submit(load, work, (), (), signal.SIGKILL),
            "refused": pool.submit(load, work, (), ("--sha256", "0" * 64)),
        }
        gone = pool.submit(reader_goes_away, work)
        done = {name: future.result() for name, future in runs.items()}
        gone_status, gone_pid, gone_log = gone.result()
    # Run alone: its lock would hold the others' rows too.
    locked_status, locked_events = locked_at_the_end(work)

    expected = {  # exit status, outcome, stage
        "confirmed": (0, "confirmed", "done"),
        "unconfirmed": (3, "unconfirmed", "confirming"),
        "failed-loading": (1, "failed", "loading"),
        "failed-confirming": (1, "failed", "confirming"),
        "aborted": (128 + signal.SIGTERM, "aborted", "loading"),
        "refused": (1, "refused", None),
    }
    status, out, err = history(work, "--json")
    rows = {row["id"]: row for row in json.loads(out)} if status == 0 else {}
    check(status == 0 and len(rows) == 9, "nine runs, nine rows: %s %r" % (status, err))
    gone_row = next((row for row in rows.values() if row["pid"] == gone_pid), {})
    check(gone_status == 0 and gone_row.get("outcome") == "confirmed" and gone_row.get("exit_status") == 0
          and "Log file closed" in gone_log, "a reader that goes away stops nothing: exit %s, %r" % (gone_status, gone_row))
    check("\x1b" not in gone_log and "VR\ufffd]0;TITLE\ufffd-\ufffd[2J1" in gone_log,
          "the receiver's escape sequences reach the log escaped")
    locked_row = rows.get(locked_events[-1].get("history_id") if locked_events else None, {})
    check(locked_status == 0 and locked_row.get("outcome") == "confirmed" and locked_row.get("exit_status") == 0,
          "a history locked across the run's end keeps its outcome: exit %s, %r" % (locked_status, locked_row))
    for name, (exit_status, outcome, stage) in expected.items():
        status, events, err = done[name]
        result = events[-1] if events else {}
        row = rows.get(result.get("history_id"), {})
        check(status == exit_status and result.get("outcome") == outcome, "%s: exit %s, %r" % (name, status, result))
        check(row.get("outcome") == outcome and row.get("stage") == stage and row.get("exit_status") == exit_status
              and row.get("finished_at"), "%s's row: %r" % (name, row))
        check(row.get("port") == result.get("port") and row.get("link") == "serial" and row.get("method") == "soft"
              and row.get("source") == archive and row.get("pid", 0) > 0, "%s's row names its run: %r" % (name, row))
    killed = [row for row in rows.values() if row["exit_status"] is None]
    check(len(killed) == 1 and killed[0]["outcome"] == "interrupted" and not killed[0]["finished_at"],
          "the killed run's row is interrupted: %r" % killed)

    # The confirmed load's digests: the archive's, each image's as its bytes in the archive.
    result = done["confirmed"][1][-1]
    row = rows.get(result.get("history_id"), {})
    check(result.get("source_sha256") == digest == row.get("source_sha256"), "the source's digest")
    check([i["sha256"] for i in row.get("images", [])] == [i["sha256"] for i in result["images"]] and
          len(row.get("images", [])) >= 2, "the images' digests: %r" % row.get("images"))
    main_ldp = hashlib.sha256(open(work + "/fw/named/main.ldp", "rb").read()).hexdigest()
    check(any(i["file"] == "main.ldp" and i["sha256"] == main_ldp for i in row.get("images", [])), "main.ldp's digest")
    check(row.get("receiver_id") == "VR100-0001234" and row.get("firmware_after") == "4.3 Dec,08,2026" and
          row.get("tool_version") and "--sha256-file" in row.get("command_line", ""), "the receiver and the program")

    # Refused by its digest before anything reached the receiver: both digests in the reason.
    status, events, err = done["refused"]
    reason = events[-1].get("reason", "") if events else ""
    check(digest in reason and "0" * 64 in reason, "both digests in the refusal: %r" % reason)
    check(not any(e["event"] == "stage" for e in events), "the refused run never connected: %r" % events)

    # The listing's filters, its table and the spreadsheet.
    status, out, _ = history(work, "--json", "--limit", "2")
    check(status == 0 and len(json.loads(out)) == 2, "--limit 2")
    status, out, _ = history(work, "--json", "--receiver", "VR100-0001234")
    check(status == 0 and 0 < len(json.loads(out)) < 9, "--receiver: %s" % out[:200])
    status, out, _ = history(work, "--json", "--since", "2999-01-01")
    check(status == 0 and json.loads(out) == [], "--since in the future")
    status, out, _ = history(work, "--json", "--port", result["port"])
    listed = json.loads(out) if status == 0 else []  # a later run may have had the same pseudo-terminal
    check(result["history_id"] in [r["id"] for r in listed] and all(r["port"] == result["port"] for r in listed), "--port")
    status, out, _ = history(work)
    check(status == 0 and out.startswith("STARTED ") and out.count("\n") == 10 and "interrupted" in out,
          "the table: %r" % out)
    proc = subprocess.run([VESTREL, "--export-history", work + "/loads.csv"], env=environment(work),
                          capture_output=True, text=True, timeout=60)
    table = list(csv.reader(open(work + "/loads.csv", newline=""))) if proc.returncode == 0 else []
    check(len(table) == 10 and table[0][:3] == ["id", "started_at", "finished_at"] and table[0][-1] == "images",
          "the spreadsheet: %d lines" % len(table))
    history_file = work + "/state/vestrel/history.sqlite3"
    proc = subprocess.run([VESTREL, "--export-history", history_file], env=environment(work), capture_output=True,
                          text=True, timeout=60)
    status, out, _ = history(work, "--json")
    check(proc.returncode == 1 and "history itself" in proc.stderr and status == 0 and len(json.loads(out)) == 9,
          "an export onto the history itself is refused and the history stays: %r" % proc.stderr)
    status, _, err = history(work, "--since", "last week")
    check(status == 2 and "--since" in err, "a bad --since is bad usage: %r" % err)

    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
