#!/usr/bin/env bash
# Installs what is missing, builds Ombrel and opens its window.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
exec build/release/console/qt/ombrel
