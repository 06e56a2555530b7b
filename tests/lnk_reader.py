#!/usr/bin/env python3
"""Reads a shell link (.lnk) file on its own, from the published structure of the format, and
prints what it holds, one "field=value" line each:

  target, description, working_dir, icon_location, icon_index, hotkey (hex), show_command

Usage: lnk_reader.py FILE.lnk [REPORT]
With REPORT the lines go to that file instead, which appears in one step (written under
another name, then renamed), so a caller that waits for it never reads half a report.
The target comes from the LinkInfo's local base path when the link has one, else from the last
names of the LinkTargetIDList's file system items.
"""
import os
import struct
import sys

HEADER_SIZE = 0x4C
LINK_CLSID = bytes.fromhex("0114020000000000c000000000000046")

HAS_ID_LIST = 0x01
HAS_LINK_INFO = 0x02
HAS_NAME = 0x04
HAS_RELATIVE_PATH = 0x08
HAS_WORKING_DIR = 0x10
HAS_ARGUMENTS = 0x20
HAS_ICON_LOCATION = 0x40
IS_UNICODE = 0x80


class LinkError(Exception):
    pass


def c_string(data, offset, wide):
    if wide:
        end = offset
        while data[end:end + 2] != b"\0\0":
            end += 2
        return data[offset:end].decode("utf-16-le")
    end = data.index(b"\0", offset)
    return data[offset:end].decode("cp1252")


def read_id_list(data, offset):
    """The names of the file system items of an item identifier list, outermost first."""
    size = struct.unpack_from("<H", data, offset)[0]
    end = offset + 2 + size
    names = []
    at = offset + 2
    while at < end:
        item_size = struct.unpack_from("<H", data, at)[0]
        if item_size == 0:
            break
        item = data[at:at + item_size]
        kind = item[2] & 0x70
        if kind == 0x20:  # a drive: "C:\"
            names.append(c_string(item, 3, False))
        elif kind == 0x30:  # a file or folder: its short name after size, type, pad, size, date, attributes
            names.append(c_string(item, 14, False))
        at += item_size
    return names, end


def read_link_info(data, offset):
    size, header_size, flags, _volume, base_path, _network, suffix = struct.unpack_from("<7I", data, offset)
    base = ""
    if flags & 1:
        base = c_string(data, offset + base_path, False)
        if header_size >= 0x24:
            unicode_base = struct.unpack_from("<I", data, offset + 0x1C)[0]
            if unicode_base:
                base = c_string(data, offset + unicode_base, True)
    suffix_text = c_string(data, offset + suffix, False) if suffix else ""
    return base + suffix_text, offset + size


def read_string_data(data, offset, wide):
    count = struct.unpack_from("<H", data, offset)[0]
    offset += 2
    # Some writers count a closing NUL in; it is not part of the text.
    if wide:
        return data[offset:offset + 2 * count].decode("utf-16-le").rstrip("\0"), offset + 2 * count
    return data[offset:offset + count].decode("cp1252").rstrip("\0"), offset + count


def read_link(data):
    if len(data) < HEADER_SIZE or struct.unpack_from("<I", data, 0)[0] != HEADER_SIZE:
        raise LinkError("not a shell link: wrong header size")
    if data[4:20] != LINK_CLSID:
        raise LinkError("not a shell link: wrong class identifier")
    flags = struct.unpack_from("<I", data, 0x14)[0]
    icon_index, show_command, hotkey = struct.unpack_from("<iIH", data, 0x38)
    fields = {"icon_index": icon_index, "show_command": show_command, "hotkey": "0x%04X" % hotkey}
    offset = HEADER_SIZE
    id_names = []
    if flags & HAS_ID_LIST:
        id_names, offset = read_id_list(data, offset)
    target = ""
    if flags & HAS_LINK_INFO:
        target, offset = read_link_info(data, offset)
    if not target and id_names:
        target = id_names[0] + "\\".join(id_names[1:])
    fields["target"] = target
    wide = bool(flags & IS_UNICODE)
    for flag, name in ((HAS_NAME, "description"), (HAS_RELATIVE_PATH, "relative_path"),
                       (HAS_WORKING_DIR, "working_dir"), (HAS_ARGUMENTS, "arguments"),
                       (HAS_ICON_LOCATION, "icon_location")):
        value = ""
        if flags & flag:
            value, offset = read_string_data(data, offset, wide)
        fields[name] = value
    return fields


def report(argv):
    try:
        with open(argv[1], "rb") as link:
            fields = read_link(link.read())
    except (OSError, LinkError, struct.error, ValueError, UnicodeDecodeError) as error:
        return "error=%s\n" % error, 1
    names = ("target", "description", "working_dir", "icon_location", "icon_index", "hotkey", "show_command")
    return "".join("%s=%s\n" % (name, fields[name]) for name in names), 0


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__, file=sys.stderr)
        return 2
    text, status = report(argv)
    if len(argv) == 2:
        sys.stdout.write(text)
        return status
    with open(argv[2] + ".partial", "w", encoding="utf-8") as out:
        out.write(text)
    os.replace(argv[2] + ".partial", argv[2])
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
