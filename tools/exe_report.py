#!/usr/bin/env python3
"""Prints the size of Reelstart.exe, its kind of image and what it imports; with
--check, fails unless it is a 32-bit (PE32, i386) GUI program whose OS and
subsystem versions Windows XP (5.1) accepts, or when it needs a DLL that is not
part of Windows itself or a function that is not on the list of imports known to
exist on Windows XP (tools/xp_imports.txt), or when its header holds a link time
(the build fixes the time stamp to 0, so that one commit builds the same bytes).

A new import is added to that list only after checking that Windows XP
exports it; that keeps the program running from a disc on any Windows from
XP on.
"""
import argparse
import pathlib
import re
import struct
import subprocess
import sys

XP = (5, 1)
IMAGE_FILE_MACHINE_I386 = 0x14C
PE32_MAGIC = 0x10B
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2
BUILD_TIME_STAMP = 0  # what -Wl,--no-insert-timestamp (CMakeLists.txt) leaves in the header
SYSTEM_DLLS = {"KERNEL32.dll", "USER32.dll", "ADVAPI32.dll", "SHELL32.dll", "VERSION.dll", "ole32.dll", "msvcrt.dll"}


def imports(exe):
    run = subprocess.run(["i686-w64-mingw32-objdump", "-p", str(exe)], capture_output=True, text=True)
    if run.returncode:
        return None  # no 32-bit image: its header says why
    dump = run.stdout
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


def header(exe):
    """Machine, optional header magic, OS version, subsystem version, subsystem and
    the file header's time stamp of a PE image (None when it is not one)."""
    data = exe.read_bytes()[:4096]
    if data[:2] != b"MZ" or len(data) < 0x40:
        return None
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0" or len(data) < pe + 24 + 70:
        return None
    machine, _, time_stamp = struct.unpack_from("<HHI", data, pe + 4)
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    os_version = struct.unpack_from("<HH", data, opt + 40)
    subsystem_version = struct.unpack_from("<HH", data, opt + 48)
    subsystem = struct.unpack_from("<H", data, opt + 68)[0]
    return machine, magic, os_version, subsystem_version, subsystem, time_stamp


def header_problems(head):
    if head is None:
        return ["not a PE image"]
    machine, magic, os_version, subsystem_version, subsystem, time_stamp = head
    problems = []
    if time_stamp != BUILD_TIME_STAMP:
        problems.append(f"time stamp 0x{time_stamp:08x}, not 0x{BUILD_TIME_STAMP:08x}: linked "
                        "with its link time, so no second build matches it")
    if machine != IMAGE_FILE_MACHINE_I386:
        problems.append(f"machine 0x{machine:04x}, not i386")
    if magic != PE32_MAGIC:
        problems.append(f"optional header magic 0x{magic:x}, not PE32")
    if subsystem != IMAGE_SUBSYSTEM_WINDOWS_GUI:
        problems.append(f"subsystem {subsystem}, not the Windows GUI")
    for name, version in (("OS", os_version), ("subsystem", subsystem_version)):
        if tuple(version) > XP:
            problems.append(f"{name} version {version[0]}.{version[1]}: Windows XP (5.1) refuses it")
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe", type=pathlib.Path)
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    table = imports(args.exe) or {}
    size = args.exe.stat().st_size
    print(f"{args.exe.name}: {size} bytes ({size / 1024:.1f} KiB)")
    head = header(args.exe)
    if head:
        machine, magic, os_version, subsystem_version, subsystem, time_stamp = head
        print(f"  machine 0x{machine:04x}, magic 0x{magic:x}, OS {os_version[0]}.{os_version[1]}, "
              f"subsystem {subsystem} {subsystem_version[0]}.{subsystem_version[1]}, "
              f"time stamp 0x{time_stamp:08x}")
    for dll, names in sorted(table.items()):
        print(f"  {dll}: {len(names)} functions: {' '.join(sorted(names))}")
    if not args.check:
        return 0
    listed = pathlib.Path(__file__).with_name("xp_imports.txt").read_text().splitlines()
    known = {tuple(line.split("!")) for line in listed if line and not line.startswith("#")}
    problems = header_problems(head)
    problems += [f"not a system DLL: {dll}" for dll in table if dll not in SYSTEM_DLLS]
    problems += [f"import not known on Windows XP: {dll}!{name}"
                 for dll, names in table.items() for name in names
                 if (dll.upper(), name) not in known]
    for problem in problems:
        print("FAIL:", problem)
    print(f"{len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
