#!/usr/bin/env bash
# Builds the packages with package.sh and checks them as a packager would: lintian, the desktop entry, the
# AppStream file against the tree it lands in, the .deb's files and control fields, the unpacked program's
# window and banner (under Xvfb), and the Windows zip's contents.
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
-rw-r--r-- root/root ./usr/share/icons/hicolor/48x48/apps/ombrel.png
-rw-r--r-- root/root ./usr/share/man/man1/ombrel.1.gz
-rw-r--r-- root/root ./usr/share/metainfo/org.example.Ombrel.metainfo.xml
END
)
[ "$listed" = "$expected" ] || fail "the package holds:"$'\n'"$listed"
while read -r field pattern; do
  dpkg-deb -f "$deb" "$field" | grep -qE -- "$pattern" || fail "control field $field does not match $pattern"
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

# The unpacked program on a display of its own: its window opens, and the output box (which has the focus)
# holds the banner, naming the folder the program was started from.
echo "the unpacked program's banner"
start_xvfb "$work/xvfb.log" 1024x768
(cd "$work" && LANG=C.UTF-8 exec "$work/root/usr/bin/ombrel" >"$work/ombrel.log" 2>&1) &
app=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name "Quarn's Command Prompt" | head -n 1) ||
  fail "no window opened (see below)"$'\n'"$(cat "$work/ombrel.log")"
xdotool windowfocus --sync "$window"
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
fi
echo "packages checked"
