#!/usr/bin/env bash
# Builds everything and runs all tests: the host unit tests, the checks of the
# shipped exe, and the end-to-end tests that run the real program under Wine
# (the 32-bit Reelstart.exe, or its 64-bit twin on a machine that cannot run
# 32-bit code: the first line printed says which, and why).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
python3 tools/winearch.py
ctest --preset host "$@"
