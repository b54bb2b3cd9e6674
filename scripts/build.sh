#!/usr/bin/env bash
# Builds Reelstart.exe (win32 preset), the 64-bit test twin (win64 preset) when
# this machine's Wine needs it (tools/winearch.py), each with the end-to-end
# tests' helper programs, and unless --exe is given the host logic with its tests. Installs the toolchain first when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
jobs=$(nproc)
presets=(win32)
[ "$(python3 tools/winearch.py --arch)" = win64 ] && presets+=(win64)
[ "${1:-}" = --exe ] || presets+=(host)
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
