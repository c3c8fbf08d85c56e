#!/usr/bin/python3
"""Replays as tests: each recording in tests/replays/ was made with vestrel --record against the
virtual receiver (make-recordings); here vestrel-sim --replay plays the receiver's side of it and
the same load, with the recorded settings, must end as the recorded one did, the loader never
leaving the recording. Also: one changed byte makes the replay stop at that place; a truncated, a
damaged (a line too long, a time stamp out of order or range) and a newer-format recording are
refused naming the line or both versions; a device or a pipe is refused at once; a loader that
sends more than a whole recording holds is told.

  replay.py VESTREL SIM MKFW
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor

VESTREL, SIM, MKFW = sys.argv[1:4]
HERE = os.path.dirname(os.path.abspath(__file__))
# recording, the load's source (in the sample distribution), method, exit status, outcome
CASES = [
    ("soft-break.rec", "small/named.zip", "soft", 0, "confirmed"),
    ("fld-refused.rec", "small/named.zip", "fldp", 1, "failed"),
    ("link-dropped.rec", "small/named.zip", "soft", 1, "failed"),
    ("tcp-data.rec", "small/data/settings.cfg", "data", 0, "confirmed"),
]
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def header(path):
    values = {}
    with open(path) as f:
        for line in f:
            if line[:1].isdigit():
                break
            parts = line.split()
            if parts[0] == "link":
                values["link"] = parts[1]
            elif parts[0] == "setting":
                values[parts[1]] = parts[2]
    return values


def replay(work, recording, source, method, stop_on_report=False):
    """Plays recording and runs the load against it; returns (exit, result, the replay's report).
    stop_on_report: the load is stopped once the replay has said where the loader left it."""
    settings = header(recording)
    own = tempfile.mkdtemp(dir=work)  # each replay its own files: they run side by side
    where, report = own + "/where", own + "/report"
    tcp = ["--tcp", "0"] if settings.get("link") == "tcpip" else []
    sim = subprocess.Popen([SIM, "--replay", recording, *tcp, "--path-file", where, "--report", report],
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    try:
        for _ in range(100):
            if os.path.exists(where) and os.path.getsize(where) > 0:
                break
            if sim.poll() is not None:
                return None, {}, sim.stderr.read().strip()
            time.sleep(0.05)
        port = open(where).read().strip() + (":anything" if tcp else "")
        env = dict(os.environ, XDG_STATE_HOME=own + "/state")
        proc = subprocess.Popen([VESTREL, "--json", "--no-history", "/port", port, "/speed", settings.get("speed", "115200"),
                                 "/source", work + "/" + source, "/capture", method, "/exit", "/run"],
                                env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        while stop_on_report and proc.poll() is None and not os.path.exists(report):
            time.sleep(0.05)
        if stop_on_report:
            proc.terminate()
        out, _ = proc.communicate(timeout=600)
        events = [json.loads(line) for line in out.splitlines() if line.startswith("{")]
        result = events[-1] if events and events[-1].get("event") == "result" else {}
        time.sleep(0.3)
        return proc.returncode, result, open(report).read().strip() if os.path.exists(report) else ""
    finally:
        sim.terminate()
        sim.wait()


def changed_byte(work):
    """A byte of the loader's first command changed in the recording: the replay stops right there."""
    source = os.path.join(HERE, "fld-refused.rec")
    lines = open(source).read().split("\n")
    index = next(i for i, line in enumerate(lines) if " write " in line and len(line.split()[2]) > 8)
    stamp, word, data = lines[index].split(" ", 2)
    lines[index] = "%s %s %s%s%s" % (stamp, word, data[:6], "ff" if data[6:8] != "ff" else "00", data[8:])
    changed = work + "/changed.rec"
    open(changed, "w").write("\n".join(lines))
    status, result, report = replay(work, changed, "small/named.zip", "fldp", stop_on_report=True)
    where = "line %d, byte 3 of that write" % (index + 1)
    check(where in report and result.get("outcome") != "confirmed",
          "one changed byte stops the replay at %s: %r" % (where, report))


def refusals(work):
    source = open(os.path.join(HERE, "fld-refused.rec")).read()
    lines = source.split("\n")
    first_write = next(i for i, line in enumerate(lines) if " write " in line)
    ends_after_write = "\n".join(lines[:first_write + 1]) + "\n"
    cut = "\n".join(lines[:first_write + 3]) + "\n" + lines[first_write + 3][:7]  # a line cut in its time stamp
    stamp = lines[first_write].split(" ", 1)
    far_future = "\n".join(lines[:first_write] + ["1e300 " + stamp[1]] + lines[first_write + 1:])
    backwards = "\n".join(lines[:first_write + 1] + ["0.000001 " + lines[first_write + 1].split(" ", 1)[1]]
                          + lines[first_write + 2:])
    cases = {
        "cut line": (cut, "truncated at line %d" % (first_write + 4)),
        "cut after a line": (ends_after_write, "truncated after line %d" % (first_write + 1)),
        "damaged": (source.replace(" write ", " write zz", 1), "damaged at line %d" % (first_write + 1)),
        "newer format": (source.replace("vestrel-recording 1", "vestrel-recording 7", 1),
                         "format 7; this vestrel-sim reads format 1"),
        "far future": (far_future, "damaged at line %d: its time stamp" % (first_write + 1)),
        "backwards": (backwards, "damaged at line %d: its time stamp" % (first_write + 2)),
        "endless line": (source.replace(" write ", " write " + "00" * (1 << 20), 1),
                         "damaged at line %d: the line is too long" % (first_write + 1)),
        "complete but short": (ends_after_write + stamp[0] + " close\n",
                               "the loader sent more than the recording holds"),
    }
    for name, (text, said) in cases.items():
        path = work + "/" + name.replace(" ", "-") + ".rec"
        open(path, "w").write(text)
        status, result, report = replay(work, path, "small/named.zip", "fldp", stop_on_report=True)
        check(said in report and result.get("outcome") != "confirmed",
              "a %s recording is refused saying %r: %r" % (name, said, report))


def special_files(work):
    fifo = work + "/fifo.rec"
    os.mkfifo(fifo)
    for path in ("/dev/zero", "/dev/urandom", fifo):
        try:
            done = subprocess.run([SIM, "--replay", path], capture_output=True, text=True, timeout=20)
            said = done.stderr + done.stdout
            check(done.returncode != 0 and ("is a device" in said or "is a pipe" in said),
                  "a recording of %s is refused at once: %r" % (path, said))
        except subprocess.TimeoutExpired:
            check(False, "a recording of %s is refused at once, not read" % path)


def no_password(recording):
    text = open(os.path.join(HERE, recording)).read()
    secret = "vestrel".encode().hex()  # the virtual receiver's password
    check(" password" in text and secret not in text and "vestrel\n" not in text.split("program vestrel")[1],
          "%s keeps the password as a placeholder only" % recording)


def main():
    work = tempfile.mkdtemp(prefix="vestrel-replay-")
    try:
        subprocess.run([MKFW, work + "/small", "--main-size", "16384"], check=True, stdout=subprocess.DEVNULL)
        with ThreadPoolExecutor(max_workers=len(CASES) + 2) as pool:
            runs = [pool.submit(replay, work, os.path.join(HERE, c[0]), c[1], c[2]) for c in CASES]
            others = [pool.submit(changed_byte, work), pool.submit(refusals, work), pool.submit(special_files, work)]
            for (recording, _, _, status, outcome), run in zip(CASES, runs):
                got, result, report = run.result()
                check(got == status and result.get("outcome") == outcome and report == "",
                      "%s ends as recorded (exit %s, %s): exit %s, %s, %r" % (recording, status, outcome, got,
                                                                              result.get("outcome"), report))
            for other in others:
                other.result()
        no_password("tcp-data.rec")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
