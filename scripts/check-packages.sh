#!/usr/bin/env bash
# Builds the packages with package.sh and checks them as a packager would: lintian, the desktop entry, the
# AppStream file against the tree it lands in, the .deb's files and control fields, the icon's sizes (and that
# resources/ holds what scripts/make_icon.sh makes), the unpacked program's options with no display, its window,
# icon and banner (under Xvfb), and the Windows zip's contents and icon.
#   check-packages.sh [--linux]     --linux: the Debian package only
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/package.sh "$@"
version=$(sed -n 's/^#define OMBREL_VERSION_TEXT "\(.*\)"$/\1/p' resources/OmbrelVersion.h)
deb=dist/ombrel_$version-1_$(dpkg --print-architecture).deb

fail() {
  echo "check-packages.sh: $*" >&2
  exit 1
}
work=$(mktemp -d)
. scripts/start-xvfb.sh
xvfb=
app=
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "lintian $deb (warnings and notes are listed, errors fail)"
lintian --fail-on error "$deb"

echo "files and control fields"
listed=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | sort)
expected=$(sort <<END
-rwxr-xr-x root/root ./usr/bin/ombrel
-rw-r--r-- root/root ./usr/share/applications/ombrel.desktop
-rw-r--r-- root/root ./usr/share/doc/ombrel/changelog.Debian.gz
-rw-r--r-- root/root ./usr/share/doc/ombrel/copyright
-rw-r--r-- root/root ./usr/share/icons/hicolor/16x16/apps/ombrel.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/24x24/apps/ombrel.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/32x32/apps/ombrel.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/48x48/apps/ombrel.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/64x64/apps/ombrel.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/128x128/apps/ombrel.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/256x256/apps/ombrel.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/ombrel.svg
-rw-r--r-- root/root ./usr/share/man/man1/ombrel.1.gz
-rw-r--r-- root/root ./usr/share/metainfo/org.example.Ombrel.metainfo.xml
END
)
[ "$listed" = "$expected" ] || fail "the package holds:"$'\n'"$listed"
while read -r field pattern; do
  # Read whole first: grep -q leaving early would fail the pipe (pipefail) now and then.
  value=$(dpkg-deb -f "$deb" "$field")
  grep -qE -- "$pattern" <<<"$value" || fail "control field $field does not match $pattern"
done <<END
Package ^ombrel$
Version ^$version-1$
Architecture ^$(dpkg --print-architecture)$
Section ^utils$
Depends (^|, )libqt6widgets6 \(>=
Depends (^|, )libc6 \(>=
Depends (^|, )qt6-qpa-plugins(,|$)
Description ^ [A-Z].{20,}
END

echo "desktop entry and AppStream file"
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/ombrel.desktop"
appstreamcli validate-tree --no-net "$work/root"

echo "icons"
icons=$work/root/usr/share/icons/hicolor
for png in "$icons"/*/apps/ombrel.png; do
  size=${png#"$icons/"}
  size=${size%%/*}
  [ "$(identify -format '%wx%h' "$png")" = "$size" ] || fail "$png is not $size pixels"
done
[ "$(identify -format '%wx%h' "$icons/scalable/apps/ombrel.svg")" = 48x48 ] || fail "the scalable icon is no 48 x 48 drawing"
scripts/make_icon.sh "$work/made"
for made in "$work"/made/icons/*.png "$work/made/Ombrel.ico"; do
  kept=resources/${made#"$work/made/"}
  cmp -s "$made" "$kept" || fail "$kept is not what scripts/make_icon.sh makes from resources/Ombrel.svg"
done

# Answered on the terminal: no display is needed, and no window opens.
echo "the unpacked program's options"
no_display=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
answer=$("${no_display[@]}" "$work/root/usr/bin/ombrel" --version 2>&1) && [ "$answer" = "Ombrel $version" ] ||
  fail "ombrel --version answers:"$'\n'"$answer"
answer=$("${no_display[@]}" "$work/root/usr/bin/ombrel" --help 2>&1) && grep -q -- '-v, --version' <<<"$answer" ||
  fail "ombrel --help answers:"$'\n'"$answer"

# The unpacked program on a display of its own: its window opens, and the output box (which has the focus)
# holds the banner, naming the folder the program was started from.
echo "the unpacked program's banner"
start_xvfb "$work/xvfb.log" 1024x768
(cd "$work" && LANG=C.UTF-8 exec "$work/root/usr/bin/ombrel" >"$work/ombrel.log" 2>&1) &
app=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name "Quarn's Command Prompt" | head -n 1) ||
  fail "no window opened (see below)"$'\n'"$(cat "$work/ombrel.log")"
xdotool windowfocus --sync "$window"
window_icons=$(xprop -len 1000000 -id "$window" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | sort -u | wc -l)
[ "$window_icons" = 7 ] || fail "the window offers its icon in $window_icons sizes"
banner=
for _ in $(seq 50); do
  xdotool key --clearmodifiers ctrl+a ctrl+c
  banner=$(timeout 2 xclip -o -selection clipboard 2>/dev/null) && [ -n "$banner" ] && break
  sleep 0.1
done
expected_banner="Quarn's Command Prompt
Developer: Halvesk
System Path: $work/root/usr/bin\\Ombrel.exe"
[ "$(head -n 3 <<<"$banner")" = "$expected_banner" ] || fail "the output box holds:"$'\n'"$banner"

if [[ "${1:-}" != "--linux" ]]; then
  zip=dist/Ombrel-$version-win32.zip
  echo "$zip"
  [ "$(cmake -E tar tf "$zip" | sort | tr '\n' ' ')" = "Ombrel.exe README.txt " ] || fail "$zip holds other files"
  (cd "$work" && cmake -E tar xf "$root/$zip" Ombrel.exe)
  sections=$(i686-w64-mingw32-objdump -h "$work/Ombrel.exe")
  grep -q 'file format pei-i386' <<<"$sections" || fail "Ombrel.exe is not a 32-bit Windows program"
  ! grep -q '\.debug' <<<"$sections" || fail "Ombrel.exe carries debug sections"
  # Its icon: the 48-pixel, 24-bit image first, then 16 and 32 pixels, and 256 as PNG.
  wrestool --extract --type=group_icon "$work/Ombrel.exe" >"$work/Ombrel.ico"
  images=$(icotool --list "$work/Ombrel.ico" | sed -E 's/.*--width=([0-9]+) --height=([0-9]+) --bit-depth=([0-9]+).*/\1x\2x\3/' |
    tr '\n' ' ')
  [ "$images" = "48x48x24 16x16x24 32x32x24 256x256x24 " ] || fail "Ombrel.exe's icon holds $images"
  [ "$(identify -format '%m ' "$work/Ombrel.ico")" = "ICO ICO ICO PNG " ] || fail "Ombrel.exe's 256-pixel icon is no PNG"
fi
echo "packages checked"
