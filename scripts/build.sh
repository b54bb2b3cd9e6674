#!/usr/bin/env bash
# Builds both presets: the host logic with its tests, and Reelstart.exe.
# Installs the toolchain first when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
jobs=$(nproc)
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"
cmake --preset host >/dev/null
cmake --build --preset host -j "$jobs"
