#!/bin/sh
# Draws the window and executable icon (a console with a ">_" prompt) and writes resources/Ombrel.png and
# resources/Ombrel.ico: one 48 x 48 image in 24-bit colour. ImageMagick's ICO writer always stores 32 bits a
# pixel, so the .ico is packed here from the raw RGB pixels.
set -eu
cd "$(dirname "$0")/../resources"

convert -size 48x48 xc:'#c0c0c0' \
    -fill black -stroke '#404040' -strokewidth 1 -draw "rectangle 2,5 45,42" \
    -fill '#000080' -stroke none -draw "rectangle 3,6 44,11" \
    -fill white -draw "polygon 9,17 20,24 9,31 9,28 15,24 9,20" -draw "rectangle 22,31 33,34" \
    -type TrueColor -alpha off -depth 8 PNG24:Ombrel.png

convert Ombrel.png -depth 8 rgb:- | python3 -c '
import struct, sys
size = 48
rgb = sys.stdin.buffer.read()
assert len(rgb) == size * size * 3
rows = [rgb[y * size * 3:(y + 1) * size * 3] for y in range(size)]
# Bottom-up rows of BGR pixels (144 bytes, already a multiple of 4), then an all-opaque AND mask
# (48 bits padded to 8 bytes a row).
pixels = b"".join(bytes(b for i in range(0, len(r), 3) for b in (r[i + 2], r[i + 1], r[i])) for r in reversed(rows))
mask = bytes(8 * size)
header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0, len(pixels) + len(mask), 0, 0, 0, 0)
image = header + pixels + mask
sys.stdout.buffer.write(struct.pack("<HHH", 0, 1, 1))
sys.stdout.buffer.write(struct.pack("<BBBBHHII", size, size, 0, 0, 1, 24, len(image), 6 + 16))
sys.stdout.buffer.write(image)
' > Ombrel.ico
identify Ombrel.png Ombrel.ico
