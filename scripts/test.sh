#!/usr/bin/env bash
# Builds everything and runs all tests: the host unit tests, the checks of the
# shipped exe, and the end-to-end tests that run the real program under Wine: the
# shipped 32-bit Reelstart.exe, natively or, on a machine that cannot run 32-bit code,
# in an emulated machine (tools/vmrun.py); the 64-bit test twin only when asked for
# with REELSTART_WINE_ARCH=win64. The first lines printed say which road, why, and
# about how long it takes. Arguments go to ctest (e.g. -L unit).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
python3 tools/winearch.py
if [ "$(python3 tools/winearch.py --how)" = vm ]; then
  echo "The end-to-end level runs in an emulated machine: about 9 minutes on 2 cores,"
  echo "and about 2 more the first time on a machine (its Wine prefix is made and kept)."
fi
ctest --preset host -j "$(nproc)" "$@"
