#!/usr/bin/env python3
"""widl writes the time it ran into a type library twice: as the text "Created by WIDL version
V at <date>" and as the same moment in seconds. Both are set to one fixed moment here, so the
same IDL always gives the same bytes. Usage: fix_tlb_stamp.py TLB"""
import calendar
import re
import struct
import sys
import time

FIXED = 1577836800  # 2020-01-01 00:00:00 UTC


def main(path):
    data = bytearray(open(path, "rb").read())
    match = re.search(rb"Created by WIDL version [^\n]* at ([A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\d \d\d:\d\d:\d\d \d{4})",
                      data)
    if not match:
        return
    written = match.group(1)
    moment = calendar.timegm(time.strptime(written.decode(), "%a %b %d %H:%M:%S %Y"))
    fixed_text = time.strftime("%a %b %e %H:%M:%S %Y", time.gmtime(FIXED)).encode()
    data[match.start(1):match.end(1)] = fixed_text
    # The seconds follow the text; widl took them in the local time zone's view of the same
    # moment, so look for any value within a day of it.
    tail = match.end(1)
    for offset in range(tail, min(tail + 64, len(data) - 3)):
        (value,) = struct.unpack_from("<I", data, offset)
        if abs(value - moment) <= 86400:
            struct.pack_into("<I", data, offset, FIXED)
            break
    open(path, "wb").write(bytes(data))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
