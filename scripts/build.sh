#!/usr/bin/env bash
# Builds Reelstart.exe (win32 preset), the 64-bit test twin (win64 preset) when
# it is asked for (REELSTART_WINE_ARCH=win64: tools/winearch.py), each with the
# end-to-end tests' helper programs, and unless --exe is given (the exe alone) the
# host logic with its tests. Installs the toolchain first when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
jobs=$(nproc)
if [ "${1:-}" = --exe ]; then
  cmake --preset win32 >/dev/null
  exec cmake --build --preset win32 -j "$jobs" --target Reelstart
fi
presets=(win32)
[ "$(python3 tools/winearch.py --arch)" = win64 ] && presets+=(win64)
for preset in "${presets[@]}" host; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
