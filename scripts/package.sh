#!/usr/bin/env bash
# Builds Ombrel's packages from clean Release builds into dist/:
#   dist/ombrel_<version>-1_<arch>.deb   the Linux build, made by CPack from the install rules
#   dist/Ombrel-<version>-win32.zip      the stripped 32-bit Ombrel.exe and a README.txt
#   package.sh [--linux]     --linux: the Debian package only (no mingw-w64 needed)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${OMBREL_JOBS:-2}
windows=true
[[ "${1:-}" == "--linux" ]] && windows=false
version=$(sed -n 's/^#define OMBREL_VERSION_TEXT "\(.*\)"$/\1/p' resources/OmbrelVersion.h)
mkdir -p dist

# Debian's hardening flags, as a package built by Debian's own tools gets them.
build=build/package-linux
rm -rf "$build"
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  cmake --preset package-linux >/dev/null
cmake --build --preset package-linux -j "$jobs"
(cd "$build" && cpack -G DEB -B "$root/dist" >/dev/null)
rm -rf dist/_CPack_Packages
echo "Built dist/$(cd dist && ls ombrel_"$version"-1_*.deb)"

if $windows; then
  build=build/package-win32
  rm -rf "$build"
  cmake --preset package-win32 >/dev/null
  cmake --build --preset package-win32 -j "$jobs"
  staging=$build/zip
  mkdir -p "$staging"
  cp "$build/console/win32/Ombrel.exe" "$staging/"
  # CR LF, for Notepad.
  sed -e "s/@VERSION@/$version/" -e 's/$/\r/' resources/README-windows.txt >"$staging/README.txt"
  zip="dist/Ombrel-$version-win32.zip"
  rm -f "$zip"
  (cd "$staging" && cmake -E tar cf "$root/$zip" --format=zip Ombrel.exe README.txt)
  echo "Built $zip"
fi
