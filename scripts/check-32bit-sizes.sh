#!/usr/bin/env bash
# Compiles every source of the shipped 32-bit Reelstart.exe with clang for
# i686-w64-windows-gnu, compile only, and fails on any implicit narrowing of a
# 64-bit value to 32 bits (-Wshorten-64-to-32): the kind of fault (a file size
# or offset held in a 32-bit type) that only the 32-bit build has, which the
# 64-bit twin under Wine cannot show. Headers are the installed cross compiler's.
# The source list is the win32 preset's compile database (configure it first).
set -euo pipefail
cd "$(dirname "$0")/.."
db=build/win32/compile_commands.json
[ -f "$db" ] || cmake --preset win32 >/dev/null
mapfile -t includes < <(echo | i686-w64-mingw32-g++-win32 -x c++ -E -v - 2>&1 |
  sed -n '/#include <...> search starts/,/End of search/{/^ /s/^ //p}')
mapfile -t sources < <(python3 -c '
import json, os, sys
root = os.path.realpath("src")
files = {os.path.realpath(e["file"]) for e in json.load(open(sys.argv[1]))}
print("\n".join(sorted(f for f in files if f.startswith(root + os.sep) and f.endswith(".cpp"))))' "$db")
[ "${#sources[@]}" -gt 0 ] || { echo "no program sources in $db" >&2; exit 1; }
flags=(--target=i686-w64-windows-gnu -std=c++20 -fsyntax-only -nostdinc -Isrc
       -Wall -Wextra -Wshorten-64-to-32 -Werror=shorten-64-to-32)
for dir in "${includes[@]}"; do flags+=(-isystem "$dir"); done
for f in "${sources[@]}"; do clang++ "${flags[@]}" "$f"; done
echo "${#sources[@]} sources of the 32-bit build: no 64-to-32-bit narrowing"
