#!/usr/bin/env python3
"""Writes the demo firmware: examples/KV110.hex (Intel HEX, under 64 KiB, so
one 64 KiB piece is sent), examples/KV110.bin (raw, about 5000 bytes) and
examples/IDString.txt naming the HEX image and asking for confirmation. Both images carry the virtual
drive's model text followed by the new revision "1.10"."""
import os

MODEL = b"KAVORA  CD-ROM VIRTUAL  "
REVISION = b"1.10"
HEX_SIZE = 0x3000
BIN_SIZE = 5000
ID_AT = 0x100

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples")


def image(size):
    data = bytearray((i * 37 + (i >> 7)) & 0x7F for i in range(size))
    ident = MODEL + REVISION
    data[ID_AT:ID_AT + len(ident)] = ident
    return bytes(data)


def record(kind, address, payload=b""):
    body = bytes([len(payload), address >> 8, address & 0xFF, kind]) + payload
    return ":" + (body + bytes([(-sum(body)) & 0xFF])).hex().upper() + "\n"


def to_hex(data, per_record=32):
    lines = [record(0x00, at, data[at:at + per_record]) for at in range(0, len(data), per_record)]
    return "".join(lines) + record(0x01, 0)


def main():
    os.makedirs(here, exist_ok=True)
    with open(os.path.join(here, "KV110.hex"), "w", newline="\n") as f:
        f.write(to_hex(image(HEX_SIZE)))
    with open(os.path.join(here, "KV110.bin"), "wb") as f:
        f.write(image(BIN_SIZE))
    with open(os.path.join(here, "IDString.txt"), "w", newline="\r\n") as f:
        f.write('"KAVORA  CD-ROM VIRTUAL  " "KV110.hex" "Y"\n')


if __name__ == "__main__":
    main()
