#!/usr/bin/env bash
# Installs what is missing, builds Ombrel and opens its window.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DOMBREL_BUILD_TESTS=OFF >/dev/null
cmake --build build/release --target ombrel
exec build/release/console/qt/ombrel
