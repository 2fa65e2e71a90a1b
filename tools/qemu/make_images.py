#!/usr/bin/env python3
"""Writes the images the QEMU lane flashes into scsi_debug: raw images whose
bytes never spell ASCII, with a drive's model text and revision at 0x100.
   make_images.py DIR"""
import sys
from pathlib import Path

DRIVE = b"Linux   scsi_debug      "  # vendor and product, as scsi_debug answers INQUIRY


def image(size, identity):
    data = bytearray(0x80 + (i * 13 + (i >> 8)) % 0x7F for i in range(size))
    data[0x100:0x100 + len(identity)] = identity
    return bytes(data)


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    (out / "fw.bin").write_bytes(image(0x100000, DRIVE + b"0191"))      # 1 MiB: 256 blocks
    (out / "small.bin").write_bytes(image(0x8000, DRIVE + b"0191"))     # 8 blocks, no 64 KiB wait
    (out / "other.bin").write_bytes(image(0x8000, b"OTHER   DRIVE           0191"))
    (out / "IDString.txt").write_bytes(b'"' + DRIVE + b'" "fw.bin" "N"\n')


if __name__ == "__main__":
    main()
