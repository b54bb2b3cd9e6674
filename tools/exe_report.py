#!/usr/bin/env python3
"""Prints the size of Reelstart.exe and what it imports; with --check, fails
when it needs a DLL that is not part of Windows itself or a function that is
not on the list of imports known to exist on Windows XP (tools/xp_imports.txt).

A new import is added to that list only after checking that Windows XP
exports it; that keeps the program running from a disc on any Windows from
XP on.
"""
import argparse
import pathlib
import re
import subprocess
import sys

SYSTEM_DLLS = {"KERNEL32.dll", "USER32.dll", "ADVAPI32.dll", "SHELL32.dll", "VERSION.dll", "msvcrt.dll"}


def imports(exe):
    dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", str(exe)], check=True,
                          capture_output=True, text=True).stdout
    result, dll = {}, None
    for line in dump.splitlines():
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            dll = m.group(1)
            result.setdefault(dll, [])
            continue
        m = re.match(r"\t[0-9a-f]+\t\s*\d+\s+(\S+)", line)
        if m and dll:
            result[dll].append(m.group(1))
    return result


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe", type=pathlib.Path)
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    table = imports(args.exe)
    size = args.exe.stat().st_size
    print(f"{args.exe.name}: {size} bytes ({size / 1024:.1f} KiB)")
    for dll, names in sorted(table.items()):
        print(f"  {dll}: {len(names)} functions: {' '.join(sorted(names))}")
    if not args.check:
        return 0
    listed = pathlib.Path(__file__).with_name("xp_imports.txt").read_text().splitlines()
    known = {tuple(line.split("!")) for line in listed if line and not line.startswith("#")}
    problems = [f"not a system DLL: {dll}" for dll in table if dll not in SYSTEM_DLLS]
    problems += [f"import not known on Windows XP: {dll}!{name}"
                 for dll, names in table.items() for name in names
                 if (dll.upper(), name) not in known]
    for problem in problems:
        print("FAIL:", problem)
    print(f"{len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
