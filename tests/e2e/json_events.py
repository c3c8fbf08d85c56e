#!/usr/bin/python3
"""The JSON events of whole unattended loads into the virtual receiver, checked against the
documented schema, with their stages and outcome: a load by each method that works (firmware
before and after, confirmed), one whose receiver does not say its version after the load
(unconfirmed, exit 3), one whose receiver runs another version than expected (failed while
confirming), one that cannot start (no such port: refused) and an unattended command line that
is refused before anything is opened.

  json_events.py VESTREL SIM MKFW SCHEMA
"""
import json
import os
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor

import jsonschema

VESTREL, SIM, MKFW, SCHEMA = sys.argv[1:5]
validator = jsonschema.Draft202012Validator(json.load(open(SCHEMA)))
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)


def run(work, port, *extra, method="soft", source="/fw/named.zip"):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env["XDG_STATE_HOME"] = work + "/state"
    proc = subprocess.run([VESTREL, "--json", "/port", port, "/source", work + source, "/capture", method,
                           "/exit", "/run", *extra], env=env, capture_output=True, text=True, timeout=500)
    events = []
    for number, line in enumerate(proc.stdout.splitlines(), 1):
        try:
            event = json.loads(line)
        except ValueError:
            check(False, "line %d is not JSON: %r" % (number, line))
            continue
        errors = list(validator.iter_errors(event))
        check(not errors, "line %d breaks the schema: %s: %s" % (number, line, errors[:1]))
        events.append(event)
    check(proc.stdout.endswith("\n"), "the output ends with a line feed")
    check(bool(events) and events[0]["event"] == "start" and events[0]["port"] == port, "the first event is the start")
    check(bool(events) and events[-1]["event"] == "result", "the last event is the result")
    check([e["event"] for e in events].count("result") == 1, "one result")
    return proc.returncode, events


def load_into_receiver(work, *sim_args, extra=(), **options):
    """One unattended load into a fresh virtual receiver started with sim_args."""
    path_file = tempfile.mkdtemp(dir=work) + "/pty"  # one a receiver: the loads run side by side
    sim = subprocess.Popen([SIM, "--path-file", path_file, *sim_args], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
    try:
        for _ in range(100):
            if os.path.exists(path_file) and os.path.getsize(path_file) > 0:
                break
            time.sleep(0.05)
        return run(work, open(path_file).read().strip(), *extra, **options)
    finally:
        sim.terminate()
        sim.wait()


def main():
    work = tempfile.mkdtemp(prefix="vestrel-json-")
    subprocess.run([MKFW, work + "/fw"], check=True, stdout=subprocess.DEVNULL)

    # Every load against a receiver of its own, side by side; then each is checked in turn.
    with ThreadPoolExecutor(max_workers=6) as pool:
        confirmed = pool.submit(load_into_receiver, work, "--main-version", "4.2 Dec,01,2026", "--version-after",
                                "4.3 Dec,08,2026")
        power = pool.submit(load_into_receiver, work, "--power-on-after", "500", method="power")
        upload = pool.submit(load_into_receiver, work, method="fldp", source="/fw/named/main.ldp")
        quiet = pool.submit(load_into_receiver, work, "--silent-after-flash")
        other = pool.submit(load_into_receiver, work, "--version-after", "4.2 Dec,01,2026",
                            extra=("--expect-version", "4.3"))
        refused = pool.submit(run, work, work + "/no-such-port")

    status, events = confirmed.result()
    result = events[-1] if events else {}
    check(status == 0 and result.get("success") is True and result.get("exit_status") == 0, "the load succeeded")
    check(result.get("reason") == "Successfully loaded!", "the reason of success")
    check(result.get("firmware") == {"before": "4.2 Dec,01,2026", "after": "4.3 Dec,08,2026", "confirmed": True},
          "firmware before and after: %s" % result.get("firmware"))
    texts = [e.get("text", "") for e in events]
    check(any(e["event"] == "status" and e["text"] == "Successfully loaded!" for e in events), "the wizard's text")
    check(any("Main firmware: 4.2 Dec,01,2026 -> 4.3 Dec,08,2026" in t for t in texts), "the before/after line")
    check(any(e["event"] == "progress" and e["bytes"] > 0 and e["total"] >= e["bytes"] for e in events),
          "progress with bytes")
    progress = [e for e in events if e["event"] == "progress"]
    check(progress and all(e["run_bytes"] <= e["run_total"] for e in progress if e["run_total"]) and
          max(e["run_total"] for e in progress) > 262144, "the whole load's bytes, RAM loader and main firmware")
    check(any(e["eta_s"] is not None for e in progress), "the time left becomes known")
    check(not any("\r" in t for t in texts), "no carriage returns")

    check(result.get("outcome") == "confirmed" and result.get("stage") == "done", "confirmed: %s" % result)
    check(result.get("receiver", {}).get("model") == "VR-100", "the receiver's model: %s" % result.get("receiver"))
    check(result.get("receiver", {}).get("firmware_after") == "4.3 Dec,08,2026", "the firmware after")
    check([i["title"] for i in result.get("images", [])] == ["RAM loader", "Main firmware"] or
          "Main firmware" in [i["title"] for i in result.get("images", [])], "the images: %s" % result.get("images"))
    stages = [e["stage"] for e in events if e["event"] == "stage"]
    check(stages[:2] == ["connecting", "testing"] and "capturing" in stages and "loading" in stages and
          stages[-3:] == ["rebooting", "confirming", "done"], "the stages of Soft Break Capture: %s" % stages)
    check(any(e["event"] == "stage" and e["stage"] == "loading" and e["image"] == "Main firmware" for e in events),
          "the image being loaded")

    # The other methods end to end: Power On Capture (switched on half a second in) and the file upload.
    status, events = power.result()
    result = events[-1] if events else {}
    check(status == 0 and result.get("outcome") == "confirmed", "Power On Capture confirmed: %s" % result)
    stages = [e["stage"] for e in events if e["event"] == "stage"]
    check("capturing" in stages and stages[-1] == "done", "the stages of Power On Capture: %s" % stages)
    status, events = upload.result()
    result = events[-1] if events else {}
    check(status == 0 and result.get("outcome") == "confirmed", "the file upload confirmed: %s" % result)
    check(result.get("receiver", {}).get("id") == "VR100-0001234", "the receiver's identity: %s" % result.get("receiver"))
    stages = [e["stage"] for e in events if e["event"] == "stage"]
    check("loading" in stages and stages[-3:] == ["rebooting", "confirming", "done"],
          "the stages of the file upload: %s" % stages)

    status, events = quiet.result()
    result = events[-1] if events else {}
    check(status == 3 and result.get("success") is False and result.get("exit_status") == 3,
          "a load whose version is not told is unconfirmed: exit %d" % status)
    check(result.get("outcome") == "unconfirmed" and result.get("stage") == "confirming", "unconfirmed: %s" % result)
    check(result.get("firmware", {}).get("confirmed") is False and result["firmware"]["after"] is None,
          "not confirmed: %s" % result.get("firmware"))
    check(any("not confirmed" in e.get("text", "") for e in events), "'not confirmed' said plainly")

    status, events = other.result()
    result = events[-1] if events else {}
    check(status == 1 and result.get("outcome") == "failed" and result.get("stage") == "confirming",
          "another version than expected fails: %s" % result)
    check("4.2 Dec,01,2026" in result.get("reason", "") and "4.3" in result.get("reason", ""),
          "what runs and what was expected: %r" % result.get("reason"))

    status, events = refused.result()
    result = events[-1] if events else {}
    check(status == 1 and result.get("success") is False and result.get("exit_status") == 1, "a failed run")
    check(bool(result.get("reason")) and result.get("firmware") is None, "its reason: %r" % result.get("reason"))
    check(result.get("outcome") == "refused" and result.get("stage") == "connecting", "refused: %s" % result)

    # Unattended, an option without its value is refused before any port is opened.
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    proc = subprocess.run([VESTREL, "--json", "/speed", "/port", work + "/no-such-port", "/run"], env=env,
                          capture_output=True, text=True, timeout=60)
    check(proc.returncode == 2 and proc.stdout == "" and "/speed needs a value" in proc.stderr,
          "a swallowed option is bad usage: %d %r" % (proc.returncode, proc.stderr))

    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
