#!/usr/bin/python3
"""Nothing reaches a receiver the firmware does not fit, and every result says what happened to
each image: whole unattended loads into virtual receivers.

- a two-model archive loads the model built for each of two receivers; one whose headers do not
  tell the models apart is refused with nothing sent; a set for hardware 20 on a receiver of 22
  is refused before any capture;
- "/Port", "/port ''", "/speed 12345" and a missing source are bad usage that opens nothing;
- a cable pulled during the third of five images: link lost, two flashed and three not, in the
  JSON result, the load history and the fleet's summary, a remedy, and "aborted" nowhere;
- each unconfirmed case says which confirmation was missing, and none says "Success!";
- the whole load's progress never goes back and reaches 100 once, at the end.

  fit_and_results.py VESTREL SIM MKFW FLEET
"""
import json
import os
import subprocess
import sys
import tempfile
import zipfile
from concurrent.futures import ThreadPoolExecutor

import virtual_receiver

VESTREL, SIM, MKFW, FLEET = sys.argv[1:5]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)


def environment(state):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env["XDG_STATE_HOME"] = state  # the load history's place: one for each scenario
    return env


class Receiver(virtual_receiver.Receiver):
    """A vestrel-sim of its own; stop() returns what it counted: resets, captures, flashed."""

    def __init__(self, work, *sim_args):
        self.report = tempfile.mkdtemp(dir=work) + "/report"
        super().__init__(SIM, work, "--report", self.report, *sim_args)

    def stop(self):
        super().stop()
        return {name: int(value) for name, value in (line.split() for line in open(self.report))}


def vestrel(work, *args, state=None):
    proc = subprocess.run([VESTREL, *args], env=environment(state or work + "/state"), capture_output=True, text=True,
                          timeout=500)
    return proc.returncode, proc.stdout, proc.stderr


def load(work, source, *sim_args, method="soft", extra=(), state=None):
    """A --json load into a fresh receiver: (exit status, events, stdout, the receiver's counts)."""
    receiver = Receiver(work, *sim_args)
    try:
        status, out, _ = vestrel(work, "--json", *extra, "/port", receiver.port, "/source", source, "/capture", method,
                                 "/exit", "/run", state=state)
    finally:
        counts = receiver.stop()
    events = [json.loads(line) for line in out.splitlines() if line.startswith("{")]
    return status, events, out, counts


def result_of(events):
    return events[-1] if events and events[-1]["event"] == "result" else {}


def five_images(work):
    """ramimage.ldr and five flash images; the third is large enough to be cut mid-way."""
    named = work + "/fw/named/"
    boot, main = open(named + "boot.ldp", "rb").read(), open(named + "main.ldp", "rb").read()
    path = work + "/fw/five.zip"
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.write(named + "ramimage.ldr", "ramimage.ldr")
        z.writestr("boot.ldp", boot)
        z.writestr("gnss.ldp", boot)
        z.writestr("radio.ldp", main)
        z.writestr("ui.ldp", boot)
        z.writestr("main.ldp", main)
    return path


def two_models(work):
    with ThreadPoolExecutor(max_workers=2) as pool:
        loads = {hw: pool.submit(load, work, work + "/fw/two-models.zip", "--hardware", str(hw)) for hw in (20, 22)}
    for hardware, folder in ((20, "modelA/"), (22, "modelB/")):
        status, events, out, counts = loads[hardware].result()
        result = result_of(events)
        files = [i["file"] for i in result.get("images", [])]
        check(status == 0 and result.get("outcome") == "confirmed", "two models, hardware %d: %s" % (hardware, result))
        check(len(files) == 4 and all(f.startswith(folder) for f in files),
              "hardware %d loads %s only: %s" % (hardware, folder, files))
        check("For this receiver (hardware version %d): %sboot.ldp" % (hardware, folder) in out,
              "the choice is logged for hardware %d" % hardware)
        check(counts["flashed"] == 4, "hardware %d: the RAM loader is never run as an image: %s" % (hardware, counts))


def refusals(work):
    # Headers that do not tell the models apart: refused before any port opens.
    status, events, out, counts = load(work, work + "/fw/two-models-alike.zip")
    result = result_of(events)
    check(status == 1 and result.get("outcome") == "refused" and result.get("stage") is None,
          "alike models refused: %s" % result)
    check((result.get("failure") or {}).get("kind") == "source_refused", "alike: source refused: %s" % result)
    check("modelA/" in result.get("reason", "") and "modelB/" in result.get("reason", ""),
          "both entries named: %r" % result.get("reason"))
    check(counts == {"resets": 0, "captures": 0, "flashed": 0}, "alike: nothing reached the receiver: %s" % counts)

    # A set for hardware 20 on a receiver of 22: refused after the port test, before any capture.
    status, events, out, counts = load(work, work + "/fw/named.zip", "--hardware", "22")
    result = result_of(events)
    check(status == 1 and (result.get("failure") or {}).get("kind") == "wrong_hardware",
          "wrong hardware refused: %s" % result)
    check("built for hardware version 20, the receiver's is 22" in result.get("reason", ""),
          "both versions named: %r" % result.get("reason"))
    check(not any(e["event"] == "stage" and e["stage"] == "capturing" for e in events), "no capture for wrong hardware")
    check(counts == {"resets": 0, "captures": 0, "flashed": 0}, "wrong hardware: nothing flashed: %s" % counts)

    # Bad usage under /run opens nothing.
    receiver = Receiver(work)
    source = work + "/fw/named.zip"
    for words, said in ((["/Port", receiver.port, "/source", source], "/Port"),
                        (["/port", "", "/source", source], "empty"),
                        (["/port", receiver.port, "/speed", "12345", "/source", source], "12345"),
                        (["/port", receiver.port, "/source", work + "/fw/none.zip"], "none.zip")):
        status, out, err = vestrel(work, "--json", *words, "/run")
        check(status == 2 and out == "" and said in err, "bad usage %s: %d %r" % (words, status, err))
    counts = receiver.stop()
    check(counts == {"resets": 0, "captures": 0, "flashed": 0}, "bad usage opened nothing: %s" % counts)


def cable_pulled(work):
    # Each image's frames are counted on their own: the third (192 KiB) is cut after 20 blocks.
    state = tempfile.mkdtemp(dir=work)
    status, events, out, counts = load(work, five_images(work), "--drop-link-after", "20", state=state)
    result = result_of(events)
    results = [i["result"] for i in result.get("images", [])]
    check(status == 1 and (result.get("failure") or {}).get("kind") == "link_lost", "link lost: %s" % result)
    check(results == ["flashed", "flashed", "failed", "not_reached", "not_reached"], "each image's result: %s" % results)
    check("Power On Capture" in (result.get("failure") or {}).get("remedy", ""), "a remedy: %s" % result.get("failure"))
    check("abort" not in out.lower(), "'aborted' is said of a stop only")
    check("Images: 2 of 5 flashed" in out, "the log's closing lines count the images")
    # The history keeps each image's result and the failure's kind.
    status, listing, _ = vestrel(work, "--list-history", "--json", "--limit", "1", state=state)
    rows = json.loads(listing) if status == 0 else []
    row = rows[0] if rows else {}
    check(row.get("failure_kind") == "link_lost" and
          [i.get("result") for i in row.get("images", [])] == results, "the history's row: %s" % row)


def fleet_counts_images(work):
    receiver = Receiver(work, "--drop-link-after", "20")
    proc = subprocess.run([FLEET, "--vestrel", VESTREL, "--log-dir", work + "/logs", "--json", "--port", receiver.port,
                           "--", "/source", work + "/fw/five.zip", "/capture", "soft"],
                          env=environment(work + "/state"), capture_output=True, text=True, timeout=500)
    receiver.stop()
    rows = json.loads(proc.stdout)["receivers"] if proc.stdout.startswith("{") else [{}]
    check(rows[0].get("images") == "2 of 5 flashed" and (rows[0].get("failure") or {}).get("kind") == "link_lost",
          "the fleet's summary: %s" % rows[0])


def unconfirmed(work):
    cases = {
        "silent": (("--silent-after-flash",), (), "did not answer when asked for its version", 3),
        "never ready": (("--fs-never-ready",), (), "file system never reported ready", 3),
        "other version": (("--version-after", "4.2 Dec,01,2026"), ("--expect-version", "4.3"),
                          "runs main firmware 4.2 Dec,01,2026, but 4.3 was expected", 1),
    }
    with ThreadPoolExecutor(max_workers=3) as pool:
        runs = {name: pool.submit(load, work, work + "/fw/named/main.ldp", *sim, method="fldp", extra=extra)
                for name, (sim, extra, _, _) in cases.items()}
    for name, (_, _, words, exit_status) in cases.items():
        status, events, out, _ = runs[name].result()
        result = result_of(events)
        check(status == exit_status and (result.get("failure") or {}).get("kind") == "unconfirmed",
              "%s: unconfirmed: %s" % (name, result))
        check(words in result.get("reason", ""), "%s: the missing confirmation named: %r" % (name, result.get("reason")))
        load_part = out[out.find("Reading firmware images"):]  # the port test's own "Success!" is the test's
        check("Success!" not in load_part and "Successfully loaded!" not in out, "%s: no success said" % name)


def progress(work):
    status, events, _, _ = load(work, work + "/fw/named.zip")
    percents = [e["percent"] for e in events if e["event"] == "progress"]
    check(status == 0 and percents == sorted(percents), "the load's percentage never goes back: %s" % percents)
    check(percents.count(100) == 1 and percents[-1] == 100, "100 once, at the end")
    check(all(0 < e["image_index"] <= e["image_count"] == 4 for e in events
              if e["event"] == "progress" and e["image_index"]), "image k of 4")


def main():
    work = tempfile.mkdtemp(prefix="vestrel-fit-")
    subprocess.run([MKFW, work + "/fw"], check=True, stdout=subprocess.DEVNULL)
    five_images(work)
    with ThreadPoolExecutor(max_workers=4) as pool:
        done = [pool.submit(f, work) for f in (two_models, refusals, cable_pulled, unconfirmed)]
        for d in done:
            d.result()
    progress(work)
    fleet_counts_images(work)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
