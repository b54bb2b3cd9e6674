#!/usr/bin/env python3
"""Which Reelstart.exe this machine can run under Wine, and with which Wine.

Everything that runs Wine asks this one probe: the end-to-end tests and the helper
programs they build, scripts/demo.sh and the benchmark.

- The machine runs 32-bit code: the shipped 32-bit exe (build/win32) in a 32-bit prefix,
  started by Debian's `wine` launcher.
- It does not (a kernel with 32-bit emulation off: every i386 ELF, wine32 among them,
  fails with "Exec format error", and Wine's WoW64 mode cannot enter 32-bit code either):
  the 64-bit test twin built from the same sources (build/win64, never shipped) in a
  64-bit prefix, started by /usr/lib/wine/wine64 itself, since Debian's launcher picks
  wine32 whenever it is installed, even where it cannot run.

REELSTART_WINE_ARCH=win64 (or win32) overrides the probe, so that either path can be
tried on a machine that could take both.

As a command: `winearch.py` prints the choice and why; `winearch.py --shell` prints it
as shell assignments (WINE_ARCH, WINE, WINESERVER, WINE_EXE, WINE_CXX, WINE_WHY) and
exports of the variables every Wine command needs (WINEARCH...).
"""
from __future__ import annotations

import functools
import os
import pathlib
import struct
import subprocess
import sys
import tempfile
from dataclasses import dataclass

ROOT = pathlib.Path(__file__).resolve().parents[1]
FORCE = "REELSTART_WINE_ARCH"


@dataclass(frozen=True)
class WineTarget:
    arch: str         # "win32" or "win64": WINEARCH of the prefix and the exe's architecture
    wine: str         # the loader to start Windows programs with
    wineserver: str
    exe: pathlib.Path  # the Reelstart.exe the tests and the demo run
    cxx: str          # the mingw-w64 compiler for helper programs of the same architecture
    why: str

    @property
    def env(self) -> dict:
        """Variables for every Wine command: the prefix's architecture, and for the 64-bit
        loader the loader and server its child processes and wineboot must use."""
        if self.arch == "win32":
            return {"WINEARCH": "win32"}
        return {"WINEARCH": "win64", "WINELOADER": self.wine, "WINESERVER": self.wineserver}

    @property
    def bits(self) -> int:
        return 32 if self.arch == "win32" else 64

    def hklm_software(self, exe_bits: int | None = None) -> str:
        """Where a program of `exe_bits` (default: the exe's own) reads and writes
        HKLM\\Software in this prefix: a 32-bit program in a 64-bit prefix (as on 64-bit
        Windows) is redirected to WOW6432Node; the pairs run here are not."""
        if (exe_bits or self.bits) == 32 and self.bits == 64:
            return r"HKLM\Software\WOW6432Node"
        return r"HKLM\Software"


def _i386_exit_elf() -> bytes:
    """The smallest i386 Linux program: exit(0) by int 0x80."""
    code = bytes.fromhex("b801000000" "31db" "cd80")  # mov eax,1; xor ebx,ebx; int 0x80
    base, start = 0x08048000, 52 + 32
    header = (b"\x7fELF\x01\x01\x01" + bytes(9)
              + struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, base + start, 52, 0, 0, 52, 32, 1, 0, 0, 0))
    segment = struct.pack("<IIIIIIII", 1, 0, base, base, start + len(code), start + len(code), 5, 0x1000)
    return header + segment + code


@functools.cache
def runs_32bit_code() -> tuple[bool, str]:
    """(whether this kernel starts 32-bit programs, what was seen)."""
    with tempfile.TemporaryDirectory() as tmp:
        probe = pathlib.Path(tmp) / "exit32"
        probe.write_bytes(_i386_exit_elf())
        probe.chmod(0o755)
        try:
            code = subprocess.run([str(probe)], timeout=30).returncode
        except OSError as e:  # ENOEXEC: the kernel has no 32-bit emulation
            return False, f"a 32-bit program does not start here ({e.strerror})"
    if code:
        return False, f"a 32-bit program ends with status {code} here"
    return True, "this machine runs 32-bit programs"


def _pick(arch: str, why: str) -> WineTarget:
    if arch == "win32":
        return WineTarget("win32", "wine", "wineserver", ROOT / "build" / "win32" / "Reelstart.exe",
                          "i686-w64-mingw32-g++", why)
    return WineTarget("win64", "/usr/lib/wine/wine64", "/usr/lib/wine/wineserver64",
                      ROOT / "build" / "win64" / "Reelstart.exe", "x86_64-w64-mingw32-g++", why)


@functools.cache
def target() -> WineTarget:
    forced = os.environ.get(FORCE, "")
    if forced:
        if forced not in ("win32", "win64"):
            raise SystemExit(f"{FORCE}={forced!r}: give win32 or win64")
        return _pick(forced, f"{FORCE}={forced} is set")
    ok, seen = runs_32bit_code()
    if ok:
        return _pick("win32", seen)
    return _pick("win64", seen + ": the 64-bit test build of the same sources runs instead")


def describe(t: WineTarget) -> str:
    rel = t.exe.relative_to(ROOT) if t.exe.is_relative_to(ROOT) else t.exe
    return f"Wine runs {rel} ({t.bits}-bit) with {t.wine}: {t.why}"


def main(argv: list[str]) -> int:
    t = target()
    if argv[1:] == ["--shell"]:
        import shlex
        for name, value in (("WINE_ARCH", t.arch), ("WINE", t.wine), ("WINESERVER", t.wineserver),
                            ("WINE_EXE", t.exe), ("WINE_CXX", t.cxx), ("WINE_WHY", t.why)):
            print(f"{name}={shlex.quote(str(value))}")
        for name, value in t.env.items():
            print(f"export {name}={shlex.quote(value)}")
    elif argv[1:] == ["--arch"]:
        print(t.arch)
    elif not argv[1:]:
        print(describe(t))
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
