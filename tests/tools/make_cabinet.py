#!/usr/bin/env python3
"""Writes a cabinet byte by byte, for the shell tests: names no cabinet tool
writes ("..\\x.inf"), a cabinet that says it is one of a set. One stored
(uncompressed) folder, block checksums as readers check them. The C++ tests
have the same in tests/cab_builder.h.

usage: make_cabinet.py OUT.cab [--next] NAME=TEXT...
"""

import struct
import sys

BLOCK = 32768


def checksum(data, seed):
    words = len(data) // 4
    for (word,) in struct.iter_unpack("<I", data[:4 * words]):
        seed ^= word
    tail = 0
    for byte in data[4 * words:]:
        tail = (tail << 8) | byte
    return seed ^ tail


def cabinet(files, flags=0):
    header_size = 36 + (14 if flags & 2 else 0)
    folder = b"".join(data for _, data in files)
    blocks = [folder[i:i + BLOCK] for i in range(0, len(folder), BLOCK)]
    entries = b""
    offset = 0
    for name, data in files:
        # 2021-01-15 12:00:00, archive attribute.
        entries += struct.pack("<IIHHHH", len(data), offset, 0, 0x522F, 0x6000, 0x20) + name + b"\0"
        offset += len(data)
    files_at = header_size + 8
    data_at = files_at + len(entries)
    body = b""
    for block in blocks:
        sizes = struct.pack("<HH", len(block), len(block))
        body += struct.pack("<I", checksum(sizes, checksum(block, 0))) + sizes + block
    total = data_at + len(body)
    header = b"MSCF" + struct.pack("<IIIIIBBHHHHH", 0, total, 0, files_at, 0, 3, 1, 1, len(files), flags, 0x1234, 0)
    if flags & 2:
        header += b"next.cab\0disk\0"
    return header + struct.pack("<IHH", data_at, len(blocks), 0) + entries + body


def main():
    out, *rest = sys.argv[1:]
    flags = 0
    if rest and rest[0] == "--next":
        flags, rest = 2, rest[1:]
    files = []
    for entry in rest:
        name, text = entry.split("=", 1)
        files.append((name.encode("utf-8"), text.encode("utf-8")))
    with open(out, "wb") as f:
        f.write(cabinet(files, flags))


if __name__ == "__main__":
    main()
