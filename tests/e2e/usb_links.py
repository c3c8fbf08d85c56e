#!/usr/bin/python3
"""Receivers on native USB end to end through the real USB library, without hardware: vestrel-usbsim
presents virtual receivers as USB devices through umockdev. --list-ports shows them; a firmware load
("fldp") goes through the receiver's restarts (the device goes away and comes back) and is flashed
byte-identical; a data file loads; a cable pulled mid-transfer, a stalled endpoint, an endpoint
that takes nothing more, a configuration without bulk endpoints and an interface another driver
holds each fail cleanly with their texts, never reported loaded; a stop at random moments aborts
the run; a fleet of three USB receivers loads each. Exit 77 (skipped) without umockdev.

  usb_links.py VESTREL FLEET USBSIM MKFW
"""
import glob
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

VESTREL, FLEET, USBSIM, MKFW = sys.argv[1:5]
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def environment(work):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "VESTREL_HISTORY_DB")}
    env["XDG_STATE_HOME"] = work + "/state"
    return env


def usb_run(work, command, usbsim_options=(), stop_after=None):
    """Runs command under vestrel-usbsim; stop_after: seconds after which the run is stopped."""
    proc = subprocess.Popen([USBSIM, *usbsim_options, "--", *command], env=environment(work), cwd=work,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if stop_after is not None:
        time.sleep(stop_after)
        proc.send_signal(signal.SIGTERM)
    out, err = proc.communicate(timeout=300)
    return proc.returncode, out, err


def load(work, method, source, usbsim_options=(), port="usb:1-1", stop_after=None):
    status, out, err = usb_run(work, [VESTREL, "--json", "/port", port, "/source", source, "/capture", method, "/exit",
                                      "/run"], usbsim_options, stop_after)
    events = [json.loads(line) for line in out.splitlines() if line.startswith("{")]
    result = events[-1] if events and events[-1].get("event") == "result" else {}
    texts = "\n".join(e.get("text", "") for e in events)
    return status, result, texts, err


def listing(work):
    status, out, err = usb_run(work, [VESTREL, "--list-ports", "--json"], ("--receivers", "2"))
    ports = json.loads(out) if status == 0 else []
    usb = sorted(p.get("port") for p in ports if p.get("kind") == "usb")
    check(status == 0 and usb == ["usb:1-1", "usb:1-2"], "--list-ports shows both USB receivers: %r %s" % (usb, err))


def firmware_load(work, fw):
    flashed = work + "/flashed1"
    os.makedirs(flashed, exist_ok=True)
    status, result, texts, err = load(work, "fldp", fw + "/named.zip",
                                      ("--sim-arg", "--flashed-dir", "--sim-arg", work + "/flashed{n}"))
    check(status == 0 and result.get("outcome") == "confirmed" and result.get("port") == "usb:1-1",
          "a firmware load over usb:1-1 is confirmed: %s %r %s" % (status, result, err[-300:]))
    check("Reconnected!" in texts, "it reconnects to the receiver after each restart")
    images = {open(path, "rb").read() for path in glob.glob(fw + "/named/*")}
    written = [open(path, "rb").read() for path in sorted(glob.glob(flashed + "/*-fld*.bin"))]
    check(written and all(image in images for image in written),
          "what the receiver flashed is byte-identical to the images: %d flashed" % len(written))


def data_load(work, fw):
    status, result, _, err = load(work, "data", fw + "/data/settings.cfg")
    check(status == 0 and result.get("outcome") == "confirmed", "a data file over usb:1-1: %s %r %s" % (status, result, err))


def faults(work, fw):
    cases = [  # usbsim options, the text the run must say
        (("--unplug-after", "1000"), "Final send file error."),
        (("--stall-after", "1000"), "Final send file error."),
        (("--hold-after", "1000"), "Final send file error."),
        (("--no-bulk-endpoints",), "2 endpoints were not found."),
        (("--claim-busy",), "Resource busy"),
    ]
    for options, text in cases:
        status, result, texts, err = load(work, "data", fw + "/data/settings.cfg", options)
        said = text in texts or text in (result.get("reason") or "")
        check(status == 1 and result.get("outcome") in ("failed", "refused") and said,
              "%s fails cleanly saying %r: %s %r" % (" ".join(options), text, status, result.get("reason")))


def stops(work, fw, moments=6):
    rng = random.Random(33)
    for _ in range(moments):
        at = rng.uniform(0.2, 3.0)
        status, result, _, err = load(work, "data", fw + "/data/settings.cfg", stop_after=at)
        check(status == 128 + signal.SIGTERM and result.get("outcome") == "aborted",
              "a stop %.1f s into a USB load aborts it: %s %r %s" % (at, status, result.get("outcome"), err[-200:]))


def fleet(work, fw):
    status, out, err = usb_run(work, [FLEET, "--json", "--port", "usb:1-1", "--port", "usb:1-2", "--port", "usb:1-3",
                                      "--", "/source", fw + "/data/settings.cfg", "/capture", "data"],
                               ("--receivers", "3"))
    summary = json.loads(out) if out.startswith("{") else {}
    receivers = summary.get("receivers", []) if isinstance(summary, dict) else summary
    loaded = sorted(r.get("port") for r in receivers if r.get("loaded"))
    check(status == 0 and loaded == ["usb:1-1", "usb:1-2", "usb:1-3"],
          "a fleet of three USB receivers loads each: %s %r %s %s" %
          (status, loaded, [(r.get("port"), r.get("outcome"), r.get("reason")) for r in receivers], err[-300:]))


def main():
    if not shutil.which("umockdev-wrapper") or not os.path.exists(USBSIM):
        print("skipped: umockdev is not installed (scripts/setup installs it)")
        return 77
    work = tempfile.mkdtemp(prefix="vestrel-usb-")
    try:
        subprocess.run([MKFW, work + "/fw"], check=True, stdout=subprocess.DEVNULL)
        fw = work + "/fw"
        listing(work)
        firmware_load(work, fw)
        data_load(work, fw)
        faults(work, fw)
        stops(work, fw)
        fleet(work, fw)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
