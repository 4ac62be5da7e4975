#!/usr/bin/env python3
"""Writes MB megabytes of text lines of varied length, as a build log or a listing would give; with
`coloured`, the same lines with a colour change about every 12 characters, as `ls --color` or a coloured
log prints them.

usage: make_lines.py PATH MB [coloured]
"""
import sys

path, size = sys.argv[1], int(sys.argv[2]) * 1000 * 1000
coloured = len(sys.argv) > 3 and sys.argv[3] == "coloured"


def line(i):
    text = ("line %d " % i) + "text " * (i % 23)
    if not coloured:
        return text + "\n"
    pieces = [text[k:k + 12] for k in range(0, len(text), 12)]
    return "".join("\x1b[%d;3%dm%s" % (k % 2, (i + k) % 8, p) for k, p in enumerate(pieces)) + "\x1b[0m\n"


block = "".join(line(i) for i in range(4096)).encode()
with open(path, "wb") as out:
    written = 0
    while written < size:
        piece = block[: size - written]
        out.write(piece)
        written += len(piece)
