#!/usr/bin/env python3
"""Reads a shell link (.lnk) file from the published structure of the format, independently of
the shell, and writes what the tests compare to REPORT, one "field=value" line each. The report
appears in one step (written under another name, then renamed).

Usage: lnk_reader.py FILE.lnk REPORT
"""
import os
import struct
import sys

LINK_CLSID = bytes.fromhex("0114020000000000c000000000000046")
STRINGS = ((0x04, "description"), (0x08, "relative_path"), (0x10, "working_dir"), (0x20, "arguments"),
           (0x40, "icon_location"))


def read_link(data):
    if struct.unpack_from("<I", data)[0] != 0x4C or data[4:20] != LINK_CLSID:
        return "error=not a shell link\n"
    flags = struct.unpack_from("<I", data, 0x14)[0]
    icon_index, show_command, hotkey = struct.unpack_from("<iIH", data, 0x38)
    fields = {"target": "", "icon_index": icon_index, "show_command": show_command, "hotkey": "0x%04X" % hotkey}
    at = 0x4C
    if flags & 0x01:  # the item identifier list; the link information names the target
        at += 2 + struct.unpack_from("<H", data, at)[0]
    if flags & 0x02:
        size, _, info_flags, _, base_path = struct.unpack_from("<5I", data, at)
        if info_flags & 0x01:
            fields["target"] = data[at + base_path:data.index(b"\0", at + base_path)].decode("cp1252")
        at += size
    wide = flags & 0x80
    for flag, name in STRINGS:
        fields[name] = ""
        if flags & flag:
            count = struct.unpack_from("<H", data, at)[0] * (2 if wide else 1)
            # Some writers count a closing NUL in; it is not part of the text.
            fields[name] = data[at + 2:at + 2 + count].decode("utf-16-le" if wide else "cp1252").rstrip("\0")
            at += 2 + count
    names = ("target", "description", "working_dir", "icon_location", "icon_index", "hotkey", "show_command")
    return "".join("%s=%s\n" % (name, fields[name]) for name in names)


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as link:
        text = read_link(link.read())
    with open(sys.argv[2] + ".partial", "w", encoding="utf-8") as out:
        out.write(text)
    os.replace(sys.argv[2] + ".partial", sys.argv[2])
