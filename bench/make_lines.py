#!/usr/bin/env python3
"""Writes MB megabytes of text lines of varied length, as a build log or a listing would give.

usage: make_lines.py PATH MB
"""
import sys

path, size = sys.argv[1], int(sys.argv[2]) * 1000 * 1000
block = "".join(("line %d " % i) + "text " * (i % 23) + "\n" for i in range(4096)).encode()
with open(path, "wb") as out:
    written = 0
    while written < size:
        piece = block[: size - written]
        out.write(piece)
        written += len(piece)
