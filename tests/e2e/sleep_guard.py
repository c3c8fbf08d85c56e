#!/usr/bin/python3
"""The computer is kept from sleeping and shutting down while a load writes to a receiver:
logind's inhibitor lock, asked of a stand-in for logind on a private bus that a dbus-daemon of
this test runs, taken before the load's first byte and released at its end, on success, on
failure and on a stop; "delay" where "block" is not permitted; a warning and the load all the
same without a bus.

  sleep_guard.py VESTREL SIM MKFW STANDIN
"""
import json
import os
import signal
import subprocess
import sys
import tempfile
import time

import virtual_receiver

VESTREL, SIM, _MKFW, STANDIN = sys.argv[1:5]
failures = []

BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>custom</type>
  <listen>unix:path={path}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
  </policy>
</busconfig>
"""


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)


def lines(path):
    return [l.rstrip("\n") for l in open(path)] if os.path.exists(path) else []


class Bus:
    """A dbus-daemon of this test and the logind stand-in on it."""

    def __init__(self, work, *standin_args):
        self.log = tempfile.mkdtemp(dir=work) + "/locks"
        socket = os.path.dirname(self.log) + "/bus"
        config = os.path.dirname(self.log) + "/bus.conf"
        open(config, "w").write(BUS_CONFIG.format(path=socket))
        self.daemon = subprocess.Popen(["dbus-daemon", "--nofork", "--config-file=" + config, "--print-address"],
                                       stdout=subprocess.PIPE, text=True)
        self.address = self.daemon.stdout.readline().strip()
        env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=self.address)
        self.standin = subprocess.Popen([STANDIN, "--log", self.log, *standin_args], env=env, stdout=subprocess.PIPE,
                                        text=True)
        check(self.standin.stdout.readline().strip() == "ready", "the stand-in owns logind's name")

    def stop(self):
        for p in (self.standin, self.daemon):
            p.terminate()
            p.wait()


def run_load(work, address, *sim_args, stop_at_progress=None):
    """A --json load; returns (exit status, events, the lock log's lines seen at the first progress
    event). With stop_at_progress, SIGINT is sent at the first progress event of that percentage."""
    receiver = virtual_receiver.Receiver(SIM, work, *sim_args)
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env["XDG_STATE_HOME"] = work + "/state"
    env["DBUS_SYSTEM_BUS_ADDRESS"] = address
    proc = subprocess.Popen([VESTREL, "--json", "/port", receiver.port, "/source", work + "/settings.bin",
                             "/capture", "data", "/exit", "/run"], env=env, stdout=subprocess.PIPE, text=True)
    events, seen = [], None
    for line in proc.stdout:
        if not line.startswith("{"):
            continue
        event = json.loads(line)
        events.append(event)
        if event["event"] == "progress" and seen is None:
            seen = bus_log_now()
            if stop_at_progress is not None:
                proc.send_signal(signal.SIGINT)
    status = proc.wait(timeout=300)
    receiver.stop()
    return status, events, seen


bus_log_now = lambda: []  # set per bus below


def result_of(events):
    return events[-1] if events and events[-1]["event"] == "result" else {}


def main():
    global bus_log_now
    work = tempfile.mkdtemp()
    with open(work + "/settings.bin", "wb") as f:  # a plain data file: a short load with progress
        f.write(bytes(range(256)) * 512)

    bus = Bus(work)
    bus_log_now = lambda: lines(bus.log)
    try:
        cases = [("success", (), None, 0), ("failure", ("--drop-link-after", "5"), None, 1),
                 ("stop", (), 1, 130)]
        for name, sim_args, stop, expected in cases:
            before = len(lines(bus.log))
            status, events, seen = run_load(work, bus.address, *sim_args, stop_at_progress=stop)
            check(status == expected, f"{name}: exit status {status}, not {expected}")
            during = (seen or [])[before:]
            check(len(during) == 1 and during[0].startswith("taken block sleep:shutdown Vestrel Writing firmware to "
                                                            "VR-100 at "), f"{name}: the lock held during the load: {during}")
            check(any("settings.bin" in l for l in during), f"{name}: the lock names the file: {during}")
            time.sleep(0.5)  # the stand-in sees the hang-up
            after = lines(bus.log)[before:]
            check(after[-1:] == ["released block Vestrel"], f"{name}: the lock released at the end: {after}")
            check(not any("nothing keeps the computer" in e.get("text", "") for e in events),
                  f"{name}: no warning when the lock was given")
    finally:
        bus.stop()

    # Without the permission to block, a delay lock.
    bus = Bus(work, "--refuse-block")
    bus_log_now = lambda: lines(bus.log)
    try:
        status, _, seen = run_load(work, bus.address)
        check(status == 0, f"delay: exit status {status}")
        check([l.split(" ")[0:2] for l in (seen or [])] == [["refused", "block"], ["taken", "delay"]],
              f"delay: a delay lock where block is refused: {seen}")
    finally:
        bus.stop()

    # No bus at all: the load goes on and says the computer is not held.
    bus_log_now = lambda: []
    status, events, _ = run_load(work, "unix:path=" + work + "/no-bus")
    check(status == 0, f"no bus: exit status {status}")
    texts = " ".join(e.get("text", "") for e in events)
    check("nothing keeps the computer from sleeping or shutting down during the load" in texts,
          "no bus: the warning is said")

    print("sleep guard:", "FAILED" if failures else "ok", flush=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
