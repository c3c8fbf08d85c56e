#!/usr/bin/env python3
"""Prints a Windows shortcut's (.lnk) target path and working folder, one a line, as the shell
link format stores them (the working folder exactly as written, unexpanded).
    shortcut_folder.py FILE.lnk"""
import struct
import sys

HAS_ID_LIST, HAS_LINK_INFO, HAS_NAME, HAS_RELATIVE_PATH, HAS_WORKING_DIR, IS_UNICODE = 0x1, 0x2, 0x4, 0x8, 0x10, 0x80


def read(path):
    data = open(path, "rb").read()
    if struct.unpack_from("<I", data, 0)[0] != 0x4C:
        raise SystemExit(f"{path}: not a shell link")
    flags = struct.unpack_from("<I", data, 0x14)[0]
    at = 0x4C
    if flags & HAS_ID_LIST:
        at += 2 + struct.unpack_from("<H", data, at)[0]
    target = ""
    if flags & HAS_LINK_INFO:
        size, _, _, _, base_offset = struct.unpack_from("<IIIII", data, at)
        base = data[at + base_offset:data.index(b"\0", at + base_offset)]
        target = base.decode("latin-1")
        at += size
    strings = {}
    for name, flag in (("name", HAS_NAME), ("relative", HAS_RELATIVE_PATH), ("working", HAS_WORKING_DIR)):
        if flags & flag:
            count = struct.unpack_from("<H", data, at)[0]
            at += 2
            width = 2 if flags & IS_UNICODE else 1
            raw = data[at:at + count * width]
            strings[name] = raw.decode("utf-16-le" if width == 2 else "latin-1").rstrip("\0")
            at += count * width
    return target, strings.get("working", "")


target, working = read(sys.argv[1])
print(target)
print(working)
