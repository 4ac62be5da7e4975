#!/bin/sh
# Makes the icon's pixel sizes from its one drawing, resources/Ombrel.svg (a console with a ">_" prompt):
#   resources/icons/Ombrel-N.png  N = 16, 24, 32, 48, 64, 128, 256: the Linux window's and menus' sizes
#   resources/Ombrel.ico          the Windows icon: 48, 16 and 32 pixels in 24-bit colour, the 48 first (the
#                                 program's own size), and 256 pixels stored as PNG
# They are kept in the tree, so neither build needs an SVG renderer; scripts/check-packages.sh checks that they
# are what this script makes.  Needs rsvg-convert (librsvg2-bin) and icotool (icoutils).
#   make_icon.sh [DIR]     writes into DIR (as icons/ and Ombrel.ico) instead of resources/
set -eu
resources=$(cd "$(dirname "$0")/../resources" && pwd)
out=${1:-$resources}
mkdir -p "$out/icons"
for size in 16 24 32 48 64 128 256; do
  rsvg-convert --width=$size --height=$size --output="$out/icons/Ombrel-$size.png" "$resources/Ombrel.svg"
done
icotool --create --output="$out/Ombrel.ico" --bit-depth=24 \
  "$out/icons/Ombrel-48.png" "$out/icons/Ombrel-16.png" "$out/icons/Ombrel-32.png" --raw="$out/icons/Ombrel-256.png"
