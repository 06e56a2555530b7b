#!/usr/bin/env python3
"""Zips a folder with sorted entries, a fixed time stamp and fixed permissions, so the same
files always give the same archive bytes. Usage: reproducible_zip.py FOLDER ARCHIVE"""
import os
import sys
import zipfile

FIXED_TIME = (2020, 1, 1, 0, 0, 0)


def main(folder, archive):
    names = []
    for top, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(top, name)
            names.append(os.path.relpath(path, folder).replace(os.sep, "/"))
    temporary = archive + ".part"
    with zipfile.ZipFile(temporary, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as out:
        for name in sorted(names):
            entry = zipfile.ZipInfo(name, FIXED_TIME)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.external_attr = 0o644 << 16
            entry.create_system = 0
            with open(os.path.join(folder, name), "rb") as source:
                out.writestr(entry, source.read())
    os.replace(temporary, archive)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
