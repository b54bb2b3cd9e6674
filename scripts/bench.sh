#!/usr/bin/env bash
# The benchmark, in one command: builds Reelstart.exe and phase_bench.exe
# (win32 preset, or win64 where Wine needs the test twin: tools/winearch.py) and sort_bench and
# walk_bench (host preset), runs the host micro-benchmarks of the sort and of the walk below
# links, then bench/run.py: the real Reelstart.exe under Wine on a large
# synthetic tree of films, against a bare walker as the floor (on one film, against
# the walker that also does what every start must). A few minutes;
# the figures are printed and kept in build/bench/. Options are passed on to
# bench/run.py (e.g. --runs 9; --one-film times the start alone, and then neither
# phase_bench nor the host micro-benchmarks are built or run). Never part of the tests:
# nothing is asserted.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh

# GNU time (peak memory of a Wine process) and Google Benchmark.
need=()
for p in time libbenchmark-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ "${#need[@]}" -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

# Two jobs at most: the machine is shared. Wine runs the shipped 32-bit build, or
# the 64-bit test twin where this machine cannot run 32-bit code: the tests run the
# real exe in an emulated machine there, but timings under emulation would mean nothing.
if [ "$(python3 tools/winearch.py --how)" = vm ]; then
  echo "Note: $(python3 tools/winearch.py): the benchmark times the 64-bit test twin instead."
  export REELSTART_WINE_ARCH=win64
fi
one_film=false
for a in "$@"; do if [ "$a" = --one-film ]; then one_film=true; fi; done
arch=$(python3 tools/winearch.py --arch)
cmake --preset "$arch" >/dev/null
cmake --build --preset "$arch" -j 2
[ "$arch" = win32 ] || { cmake --preset win32 >/dev/null; cmake --build --preset win32 -j 2; }
if $one_film; then
  echo "== The start alone: Reelstart.exe under Wine on one film (bench/run.py --one-film)"
  exec python3 bench/run.py "$@"
fi
cmake --build --preset "$arch" -j 2 --target phase_bench
cmake --preset host >/dev/null
cmake --build --preset host -j 2 --target sort_bench walk_bench

mkdir -p build/bench
echo "== Sort on the host (Google Benchmark; build/bench/sort_bench.json)"
build/host/sort_bench --benchmark_min_time=0.2 \
  --benchmark_out=build/bench/sort_bench.json --benchmark_out_format=json
echo
echo "== The walk below links on the host (Google Benchmark; build/bench/walk_bench.json)"
build/host/walk_bench --benchmark_min_time=0.2 \
  --benchmark_out=build/bench/walk_bench.json --benchmark_out_format=json
echo
echo "== Reelstart.exe under Wine (bench/run.py)"
python3 bench/run.py "$@"
