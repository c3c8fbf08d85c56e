#!/usr/bin/env python3
"""Reads each program's PE header and checks its subsystem: a console program (shells wait for it
and see its exit status) or a window program (no console ever appears).
    pe_subsystem.py PROGRAM=console|window ..."""
import struct
import sys

SUBSYSTEMS = {2: "window", 3: "console"}  # IMAGE_SUBSYSTEM_WINDOWS_GUI, IMAGE_SUBSYSTEM_WINDOWS_CUI


def subsystem(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    if data[:2] != b"MZ":
        return "not a program"
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        return "not a PE program"
    optional = pe + 24  # the signature and the file header
    return SUBSYSTEMS.get(struct.unpack_from("<H", data, optional + 68)[0], "another subsystem")


failures = 0
for arg in sys.argv[1:]:
    path, wanted = arg.rsplit("=", 1)
    found = subsystem(path)
    ok = found == wanted
    failures += not ok
    print(("ok   " if ok else "FAIL ") + f"{path.rsplit('/', 1)[-1]}: {found} program" + ("" if ok else f", expected {wanted}"))
sys.exit(1 if failures else 0)
