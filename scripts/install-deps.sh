#!/usr/bin/env bash
# Installs what building, running and testing Ombrel needs from Debian 12's packages.
#   install-deps.sh           the Linux build and its tests
#   install-deps.sh --windows also the 32-bit Windows cross-build and Wine to test it
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config googletest clang-format clang-tidy
  qt6-base-dev libgl-dev libfontconfig-dev
  xvfb xauth x11-utils xdotool imagemagick fonts-wine
  fonts-noto-core fonts-noto-cjk fonts-noto-color-emoji
  lintian desktop-file-utils appstream xclip
  librsvg2-bin icoutils
  clang libclang-rt-14-dev
)
windows=false
[[ "${1:-}" == "--windows" ]] && windows=true
if $windows; then
  # The 64-bit compiler and Wine stand in for the 32-bit ones where this machine cannot execute 32-bit code;
  # locales provides the Japanese locale the double-byte code page tests run under.
  packages+=(mingw-w64 g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32 wine64 procps locales)
fi

sudo=()
[[ $(id -u) -ne 0 ]] && sudo=(sudo)

missing=()
for package in "${packages[@]}"; do
  [[ $package == wine32 ]] && package=wine32:i386
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
if $windows && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
