#!/usr/bin/python3
"""Traceability at the station, end to end against virtual receivers:
- --receiver-id: the unit the order names loads; another is refused after the port test, before
  the first capture, nothing flashed (the receiver's own report says so);
- the order's fields (--work-order, --operator, --lot) through the history's row, the listing and
  its filters, the CSV and the activity log's first lines (each line with its time); a value with a
  control character or too long is bad usage;
- signed distributions (minisign's format, signed by Debian's minisign itself): a trusted key's
  signature loads and the history names the key; an untrusted key, an altered file, no signature
  under --require-signature and a garbage signature are each refused with their own message
  before any port is opened; a folder signed through its digest list;
- a history made by the previous version is migrated with every row; --since today, --until;
- the fleet with --receivers: the listed units loaded, an unlisted one refused, a listed unit found
  on the port it moved to; the summary names each receiver.

  traceability.py VESTREL SIM MKFW FLEET
"""
import csv
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

from concurrent.futures import ThreadPoolExecutor

from virtual_receiver import Receiver

VESTREL, SIM, MKFW, FLEET = sys.argv[1:5]
HERE = os.path.dirname(os.path.abspath(__file__))
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)


def environment(work, **extra):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env.update(XDG_STATE_HOME=work + "/state", XDG_CONFIG_HOME=work + "/config", **extra)
    return env


def vestrel(work, *args, env=None):
    proc = subprocess.run([VESTREL, *args], env=env or environment(work), capture_output=True, text=True, timeout=300,
                          cwd=work)
    return proc.returncode, proc.stdout, proc.stderr


def json_run(work, port, source, *extra, sim_report=None):
    status, out, err = vestrel(work, "--json", "/port", port, "/source", source, "/capture", "soft", "/run", *extra)
    events = [json.loads(line) for line in out.splitlines() if line.startswith("{")]
    result = next((e for e in events if e.get("event") == "result"), {})
    return status, events, result, err


def history(work, *args):
    status, out, err = vestrel(work, "--list-history", "--json", *args)
    return json.loads(out) if status == 0 else None


def the_ordered_receiver(work):
    receiver = Receiver(SIM, work, "--identity", "VR100-0007777", "--report", work + "/report-right")
    try:
        status, _, result, _ = json_run(work, receiver.port, work + "/fw/named.zip", "--receiver-id", "vr100-0007777")
        check(status == 0 and result.get("outcome") == "confirmed", "the ordered receiver loads: %s %r" % (status, result))
    finally:
        receiver.stop()
    report = work + "/report-wrong"
    receiver = Receiver(SIM, work, "--identity", "VR100-0008888", "--report", report)
    try:
        status, events, result, _ = json_run(work, receiver.port, work + "/fw/named.zip", "--receiver-id", "VR100-0007777")
    finally:
        receiver.stop()
    stages = [e.get("stage") for e in events if e.get("event") == "stage"]
    text = json.dumps(result)
    check(status == 1 and result.get("outcome") == "refused" and (result.get("failure") or {}).get("kind") == "wrong_receiver"
          and "VR100-0008888" in text and "VR100-0007777" in text,
          "another receiver is refused, both identities named: %s %r" % (status, result))
    check("capturing" not in stages and "loading" not in stages, "refused before the first capture: %r" % stages)
    said = open(report).read() if os.path.exists(report) else "no report"
    check(said.split() == ["resets", "0", "captures", "0", "flashed", "0"], "the receiver saw no capture: %r" % said)
    status, _, err = vestrel(work, "/port", "/dev/null", "/source", work + "/fw/named.zip", "/capture", "power", "/run",
                             "--receiver-id", "X1")
    check(status == 2 and "Power On Capture" in err, "--receiver-id with Power On Capture is bad usage: %r" % err)


def order_fields(work):
    log = work + "/order.log"
    receiver = Receiver(SIM, work)
    try:
        status, _, result, _ = json_run(work, receiver.port, work + "/fw/named.zip", "--work-order", "WO-2026-117",
                                        "--operator", "Zoë Ramírez", "--lot", "L7, batch \"b\"", "/log", "order.log")
    finally:
        receiver.stop()
    check(status == 0, "a load with its order's fields: %s" % status)
    rows = history(work, "--work-order", "WO-2026-117") or []
    row = rows[0] if len(rows) == 1 else {}
    check(row.get("operator") == "Zoë Ramírez" and row.get("lot") == 'L7, batch "b"' and row.get("id") == result.get("history_id"),
          "the row keeps the order's fields: %r" % row)
    check(row.get("log_path") == os.path.realpath(log) or row.get("log_path") == log,
          "the log is recorded by its absolute path: %r" % row.get("log_path"))
    check(history(work, "--work-order", "WO-other") == [], "--work-order filters")
    check(len(history(work, "--receiver", "VR100-0001234", "--work-order", "WO-2026-117") or []) == 1, "--receiver and --work-order")
    vestrel(work, "--export-history", work + "/loads.csv")
    with open(work + "/loads.csv", newline="") as f:
        exported = [r for r in csv.DictReader(f) if r["work_order"] == "WO-2026-117"]
    check(len(exported) == 1 and exported[0]["operator"] == "Zoë Ramírez" and exported[0]["lot"] == 'L7, batch "b"',
          "the CSV keeps the fields: %r" % exported)
    status, table, _ = vestrel(work, "--list-history", env=environment(work, TZ="Asia/Kolkata"))
    check(status == 0 and "WO-2026-117" in table and "+05:30" in table, "the table in the station's zone: %r" % table[:400])
    text = open(log).read()
    lines = text.splitlines()
    check("Work order: WO-2026-117" in text and "Operator: Zoë Ramírez" in text and 'Lot: L7, batch "b"' in text,
          "the log's first lines name the order: %r" % text[:600])
    check(all(line.startswith("[") for line in lines[1:6]) and "T" in lines[1][:12],
          "each line of an unattended run's log carries its time: %r" % lines[:3])
    for bad in ["WO\x1b[2J", "WO\n2", "x" * 65, "\xa0\x85"]:
        status, _, err = vestrel(work, "/port", "/dev/null", "/source", work + "/fw/named.zip", "/run", "--work-order", bad)
        check(status == 2 and "--work-order" in err, "%r is bad usage: %s %r" % (bad, status, err))
    status, _, err = vestrel(work, "--list-history", "--since", "the day before")
    check(status == 2 and "today" in err, "--since names what it takes: %r" % err)


def signed_sources(work):
    fw = work + "/signed"
    subprocess.run([MKFW, fw, "--sign", "Sample release 4.3 for VR-100"], check=True, capture_output=True)
    keys = work + "/keys"
    os.makedirs(keys)
    subprocess.run(["minisign", "-G", "-W", "-p", keys + "/maker.pub", "-s", keys + "/maker.key"], check=True,
                   capture_output=True)
    subprocess.run(["minisign", "-G", "-W", "-p", keys + "/other.pub", "-s", keys + "/other.key"], check=True,
                   capture_output=True)
    key_id = open(keys + "/maker.pub").readline().split()[-1]
    shutil.copy(fw + "/named.zip", work + "/good.zip")
    subprocess.run(["minisign", "-S", "-s", keys + "/maker.key", "-m", work + "/good.zip", "-t", "VR-100 4.3 release"],
                   check=True, capture_output=True)
    receiver = Receiver(SIM, work)
    try:
        status, _, result, _ = json_run(work, receiver.port, work + "/good.zip", "--trusted-key", keys + "/maker.pub",
                                        "--require-signature")
        row = next((r for r in history(work) or [] if r["id"] == result.get("history_id")), {})
        check(status == 0 and row.get("signer_key") == key_id and row.get("signer_comment") == "VR-100 4.3 release",
              "a source signed by minisign with a trusted key loads, the history names the key: %s %r" % (status, row))
        # vestrel-mkfw's own signatures, a folder through its signed digest list.
        status, _, _, err = json_run(work, receiver.port, fw + "/named", "--sha256-file", fw + "/named.sha256",
                                     "--trusted-key", fw + "/maker.pub", "--require-signature")
        check(status == 0, "a folder signed through its digest list loads: %s %r" % (status, err[-300:]))
    finally:
        receiver.stop()
    shutil.copy(fw + "/named.zip", work + "/other.zip")
    subprocess.run(["minisign", "-S", "-s", keys + "/other.key", "-m", work + "/other.zip"], check=True, capture_output=True)
    shutil.copy(work + "/good.zip", work + "/altered.zip")
    shutil.copy(work + "/good.zip.minisig", work + "/altered.zip.minisig")
    with open(work + "/altered.zip", "r+b") as f:
        f.seek(100)
        byte = f.read(1)
        f.seek(100)
        f.write(bytes([byte[0] ^ 1]))
    shutil.copy(fw + "/named.zip", work + "/unsigned.zip")
    shutil.copy(fw + "/named.zip", work + "/garbage.zip")
    with open(work + "/garbage.zip.minisig", "w") as f:
        f.write("untrusted comment: x\nnot base64 at all\ntrusted comment: y\nAAAA\n")
    # The port named does not exist: a refusal that came after opening it would name the port.
    cases = [("other.zip", "not a trusted key"), ("altered.zip", "changed after it was signed"),
             ("unsigned.zip", "is not signed"), ("garbage.zip", "not a minisign signature")]
    for name, words in cases:
        status, _, result, err = json_run(work, "/dev/ttyVESTREL-NONE", work + "/" + name, "--trusted-key",
                                          keys + "/maker.pub", "--require-signature")
        reason = result.get("reason", "") + err
        check(status == 1 and words in reason and "ttyVESTREL-NONE" not in reason and
              (result.get("failure") or {}).get("kind") == "source_refused",
              "%s is refused before any port opens (%s): %s %r" % (name, words, status, reason[-300:]))
    status, _, err = vestrel(work, "/port", "/dev/null", "/source", work + "/good.zip", "/run", "--trusted-key",
                             work + "/good.zip.minisig")
    check(status == 2 and "no minisign public key" in err, "a trusted key that is none is bad usage: %r" % err)


def migrated_history(work):
    old = work + "/old-history.sqlite"
    shutil.copy(os.path.join(HERE, "..", "data", "history-main-v3.sqlite"), old)
    rows = history(work, "--history-db", old)
    check(rows is not None and len(rows) == 2 and {r["outcome"] for r in rows} == {"confirmed", "refused"}
          and all("work_order" in r for r in rows), "the previous version's history keeps its rows: %r" % rows)
    receiver = Receiver(SIM, work)
    try:
        json_run(work, receiver.port, work + "/fw/named.zip", "--history-db", old, "--work-order", "WO-9")
    finally:
        receiver.stop()
    rows = history(work, "--history-db", old) or []
    check(len(rows) == 3 and rows[0].get("work_order") == "WO-9", "a load after the migration: %r" % rows[:1])
    for zone in ("Pacific/Kiritimati", "Pacific/Pago_Pago"):  # +14:00 and -11:00: the day differs from UTC's
        env = environment(work, TZ=zone)
        status, out, _ = vestrel(work, "--list-history", "--json", "--history-db", old, "--since", "today", env=env)
        today = json.loads(out) if status == 0 else []
        check([r["work_order"] for r in today] == ["WO-9"], "--since today in %s: %r" % (zone, today))
        status, out, _ = vestrel(work, "--list-history", "--json", "--history-db", old, "--since", "yesterday",
                                 "--until", "today", env=env)
        check(status == 0, "--since yesterday --until today in %s" % zone)


FLEET_STAND_IN = """#!/bin/sh
# vestrel, except that --list-ports lists the test's virtual receivers.
if [ "$1" = "--list-ports" ]; then cat "%s"; exit 0; fi
exec "%s" "$@"
"""


def fleet_with_a_list(work):
    receivers = [Receiver(SIM, work, "--identity", ident) for ident in ("VR100-A1", "VR100-B2", "VR100-C3")]
    ports = [r.port for r in receivers]
    listing = work + "/ports.json"
    with open(listing, "w") as f:
        json.dump([{"name": os.path.basename(p), "description": "virtual " + p, "kind": "serial", "port": p} for p in ports], f)
    stand_in = work + "/vestrel-with-ports"
    with open(stand_in, "w") as f:
        f.write(FLEET_STAND_IN % (listing, VESTREL))
    os.chmod(stand_in, 0o755)
    # A1 where it is listed; B2 listed at C3's port, where it is not; C3 not listed.
    with open(work + "/receivers.csv", "w") as f:
        f.write("port,receiver_id,work_order,operator\n%s,VR100-A1,WO-1,Ann\n%s,vr100-b2,WO-2,Ann\n" % (ports[0], ports[2]))
    try:
        proc = subprocess.run([FLEET, "--vestrel", stand_in, "--log-dir", work + "/fleet-logs", "--json", "--all",
                               "--receivers", work + "/receivers.csv", "--", "/source", work + "/fw/named.zip",
                               "/capture", "soft"], capture_output=True, text=True, timeout=600, env=environment(work), cwd=work)
        summary = json.loads(proc.stdout) if proc.stdout.startswith("{") else {"receivers": []}
        by_id = {r.get("receiver_id"): r for r in summary["receivers"]}
        check(proc.returncode == 1 and by_id.get("VR100-A1", {}).get("loaded") and by_id.get("VR100-B2", {}).get("loaded")
              and by_id.get("VR100-B2", {}).get("port") == ports[1] and by_id.get("VR100-B2", {}).get("work_order") == "WO-2",
              "the listed units are loaded, B2 on the port it moved to: %s %r %r" % (proc.returncode, summary, proc.stderr[-400:]))
        third = by_id.get("VR100-C3", {})
        check(third.get("outcome") == "refused" and not third.get("loaded") and "not in the list" in third.get("reason", ""),
              "an unlisted receiver is refused: %r" % third)
        rows = history(work, "--work-order", "WO-2") or []
        check(len(rows) == 1 and rows[0]["receiver_id"] == "VR100-B2" and rows[0]["operator"] == "Ann",
              "the child's row carries the list's order: %r" % rows)
        # Without --all the list's ports are loaded, each checked: the receiver at C3's port is not B2.
        proc = subprocess.run([FLEET, "--vestrel", VESTREL, "--log-dir", work + "/fleet-logs2", "--json", "--receivers",
                               work + "/receivers.csv", "--", "/source", work + "/fw/named.zip", "/capture", "soft"],
                              capture_output=True, text=True, timeout=600, env=environment(work), cwd=work)
        summary = json.loads(proc.stdout) if proc.stdout.startswith("{") else {"receivers": []}
        listed = {r["port"]: r for r in summary["receivers"]}
        wrong = listed.get(ports[2], {})
        check(proc.returncode == 1 and listed.get(ports[0], {}).get("loaded") and (wrong.get("failure") or {}).get("kind") ==
              "wrong_receiver" and wrong.get("serial") == "VR100-C3",
              "each listed port's receiver is checked before it is loaded: %r" % summary)
        status = subprocess.run([FLEET, "--receivers", work + "/receivers.csv", "--port", ports[0], "--", "/source", "x"],
                                capture_output=True, text=True, timeout=60, cwd=work).returncode
        check(status == 2, "--receivers with --port is bad usage")
        with open(work + "/bad.csv", "w") as f:
            f.write("port,receiver_id\n%s,\n" % ports[0])
        proc = subprocess.run([FLEET, "--receivers", work + "/bad.csv", "--", "/source", "x"], capture_output=True,
                              text=True, timeout=60)
        check(proc.returncode == 2 and "line 2" in proc.stderr, "a list line without an id: %r" % proc.stderr)
    finally:
        for r in receivers:
            r.stop()


def main():
    if not shutil.which("minisign"):
        print("minisign is not installed (scripts/setup installs it)")
        return 77
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([MKFW, work + "/fw"], check=True, capture_output=True)

        def run_case(case):
            case_dir = os.path.join(work, case.__name__)
            os.makedirs(case_dir)
            os.symlink(work + "/fw", case_dir + "/fw")
            started = time.time()
            try:
                case(case_dir)
            except Exception as error:  # a case that breaks is a failure of its own, the others go on
                check(False, "%s: %r" % (case.__name__, error))
            print("%s: %.1f s" % (case.__name__, time.time() - started), flush=True)

        # The cases wait on virtual receivers, not on the processor: they run side by side.
        cases = (the_ordered_receiver, order_fields, signed_sources, migrated_history, fleet_with_a_list)
        with ThreadPoolExecutor(len(cases)) as pool:
            list(pool.map(run_case, cases))
    if failures:
        print("%d failed" % len(failures))
        return 1
    print("all passed")
    return 0


sys.exit(main())
