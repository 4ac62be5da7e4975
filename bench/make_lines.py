#!/usr/bin/env python3
"""Writes MB megabytes of text lines of varied length, as a build log or a listing would give; with
`coloured`, the same lines with a colour change about every 12 characters, each line begun with the
`\r ESC [K` that a progress display clears its line with (about half the bytes are sequences), as a coloured
log or build tool prints them; with `one-line`, the same text with blanks for its line breaks: one line.

usage: make_lines.py PATH MB [coloured|one-line]
"""
import sys

path, size = sys.argv[1], int(sys.argv[2]) * 1000 * 1000
kind = sys.argv[3] if len(sys.argv) > 3 else ""
coloured = kind == "coloured"


def line(i):
    text = ("line %d " % i) + "text " * (i % 23)
    if not coloured:
        return text + (" " if kind == "one-line" else "\n")
    pieces = [text[k:k + 12] for k in range(0, len(text), 12)]
    return "\r\x1b[K" + "".join("\x1b[%d;3%dm%s" % (k % 2, (i + k) % 8, p) for k, p in enumerate(pieces)) + "\x1b[0m\n"


block = "".join(line(i) for i in range(4096)).encode()
with open(path, "wb") as out:
    written = 0
    while written < size:
        piece = block[: size - written]
        out.write(piece)
        written += len(piece)
