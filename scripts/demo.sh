#!/usr/bin/env bash
# The program's main job on a sample folder of films: builds Reelstart.exe (on a
# machine that cannot run 32-bit code it runs it in an emulated machine that can),
# makes a small folder tree of "films", runs the exe at its root under Wine
# with TMP pointing at a folder of its own, and prints the playlist it wrote.
# Any switches given are passed on, e.g.: bash scripts/demo.sh /name
set -euo pipefail
cd "$(dirname "$0")/.."
# Inside the emulated machine the host has built it already.
[ -n "${REELSTART_VM:-}" ] || bash scripts/build.sh --exe >/dev/null
eval "$(python3 tools/winearch.py --shell)"   # which exe and which Wine this machine runs
demo=build/demo
if [ "$WINE_HOW" = vm ]; then
  echo "Note: $WINE_WHY."
  echo "The demo runs the shipped 32-bit exe under wine32 in an emulated x86-64 machine"
  echo "(tools/vmrun.py): two minutes or so, and the first time on a machine a few more,"
  echo "to make the Wine prefix template it keeps."
  echo
  mkdir -p "$demo"
  machine=$PWD/build/demo-machine
  trap 'python3 tools/vmrun.py stop "$machine"' EXIT
  # Booted as the end-to-end tests boot theirs (tests/e2e/CMakeLists.txt, machine_start):
  # the same command and files, so the same prepared disk, with the Wine prefix template
  # on it that the demo's prefix is copied from.
  export WINERUN_CACHE=/run/reelstart-scratch/winerun
  (cd tests/e2e && python3 ../../tools/vmrun.py start "$machine" --share "../../$demo" \
     --prepare "python3 -c \"import winerun; winerun.WinePrefix('/run/reelstart-scratch/template').close(remove=True)\"" \
     --depends winerun.py --depends ../../tools/winearch.py)
  python3 tools/vmrun.py exec "$machine" -- bash scripts/demo.sh "$@"
  exit
elif [ "$WINE_HOW" = twin ]; then
  echo "Note: $WINE_WHY."
  echo "This demo shows the 64-bit test build of the same sources (build/win64); the"
  echo "program shipped is the 32-bit build/win32/Reelstart.exe."
  echo
fi

rm -rf "$demo/films" "$demo/tmp"
mkdir -p "$demo/films/Extra" "$demo/films/Сериал/Сезон 1" "$demo/films/.hidden" "$demo/tmp"
cp "$WINE_EXE" "$demo/films/start.exe"
truncate -s 700M "$demo/films/Film 1.avi"                     # sparse: no disk space used
truncate -s 20M "$demo/films/Extra/Clip.wmv"
truncate -s 350M "$demo/films/Сериал/Сезон 1/Серия 1.mpg"
truncate -s 340M "$demo/films/Сериал/Сезон 1/Серия 2.MPG"
truncate -s 5M "$demo/films/.hidden/Trailer.mpeg"
echo "not a film" > "$demo/films/readme.txt"

export WINEPREFIX="$PWD/$demo/wineprefix-$WINE_ARCH" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe="
unset DISPLAY
# Wine takes the ANSI code page (1251) from the locale.  Given to Wine alone, never set in
# this shell: one started before scripts/setup-debian.sh made the locale (build.sh above,
# on a fresh machine) would warn that it cannot set it.
wine=(env LC_ALL=ru_RU.UTF-8 "$WINE")
if [ -n "${REELSTART_VM:-}" ]; then
  # A copy (by reference: instant) of the template on the machine's prepared disk.
  WINEPREFIX=/run/reelstart-scratch/demo-prefix
  python3 -c 'import sys; sys.path[:0] = ["tests/e2e"]; import winerun; winerun.WinePrefix(sys.argv[1]).close()' \
    "$WINEPREFIX"
elif [ ! -d "$WINEPREFIX" ]; then
  echo "Making a Wine prefix (once)..."
  "${wine[@]}" wineboot -i >/dev/null 2>&1
fi
"${wine[@]}" reg add 'HKCU\Environment' /v TMP /d "Z:$(realpath "$demo/tmp" | tr / '\\')" /f >/dev/null 2>&1

set +e
"${wine[@]}" "$demo/films/start.exe" "$@"
code=$?
set -e
"$WINESERVER" -w
echo "Reelstart.exe exited with code $code; the playlist ($demo/tmp/start.asx, shown as UTF-8):"
echo
iconv -f CP1251 -t UTF-8 "$demo/tmp/start.asx" | tr -d '\r'
