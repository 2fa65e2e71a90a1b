#!/usr/bin/env python3
"""Writes a zip whose bytes depend only on its inputs: the entries in the
order given, each with the same time (SOURCE_DATE_EPOCH), no owners or Unix
modes, deflated at level 9. Text files get Windows line ends.

    make_zip.py OUT.zip NAME=PATH [NAME=PATH ...]
"""
import os
import sys
import time
import zipfile


def main():
    out, pairs = sys.argv[1], sys.argv[2:]
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    # Zip times are local times from 1980 on, with two-second steps.
    stamp = time.gmtime(max(epoch, 315532800))[:6]
    with zipfile.ZipFile(out, "w") as archive:
        for pair in pairs:
            name, path = pair.split("=", 1)
            with open(path, "rb") as source:
                data = source.read()
            if name.endswith((".txt", ".example")):
                data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
            entry = zipfile.ZipInfo(name, date_time=stamp)
            entry.create_system = 0
            entry.external_attr = 0
            entry.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(entry, data, compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)


if __name__ == "__main__":
    main()
