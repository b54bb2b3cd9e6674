#!/usr/bin/env bash
# Builds everything and runs all tests: the host unit tests and the
# end-to-end tests that run the real Reelstart.exe under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
ctest --preset host "$@"
