#!/usr/bin/env python3
"""Which Reelstart.exe this machine can run under Wine, with which Wine, and where.

Everything that runs Wine asks this one probe: the end-to-end tests (and which build
folder their helper programs come from), scripts/demo.sh, tools/vmrun.py and the
benchmark.

- The machine runs 32-bit code ("native"): the shipped 32-bit exe (build/win32) in a
  32-bit prefix, started by Debian's `wine` launcher.
- It does not (a kernel with 32-bit emulation off: every i386 ELF, wine32 among them,
  fails with "Exec format error", and neither Wine's WoW64 mode nor qemu's user-mode
  emulation gets past that) ("vm"): the same shipped exe and wine32, in an emulated
  x86-64 machine whose kernel does run 32-bit code (tools/vmrun.py).  Inside that
  machine this probe answers "native" again, and says where it runs (REELSTART_VM).
- "twin", only when asked for: the 64-bit test build of the same sources (build/win64,
  never shipped) in a 64-bit prefix, started by /usr/lib/wine/wine64 itself (Debian's
  launcher picks wine32 whenever it is installed, even where it cannot run).  A fast
  local loop on a machine without 32-bit code, and the benchmark's choice there, since
  timings under emulation would mean nothing.  Never in CI.

REELSTART_WINE_ARCH=win32 (native), vm or win64 (the twin) overrides the probe, so that
each path can be tried and timed on a machine that could take another.

As a command: `winearch.py` prints the choice and why; `--arch` the exe's architecture
(win32 or win64); `--how` native, vm or twin; `--shell` shell assignments (WINE_ARCH,
WINE_HOW, WINE, WINESERVER, WINE_EXE, WINE_CXX, WINE_WHY) and exports of the variables
every Wine command needs (WINEARCH...).
"""
from __future__ import annotations

import errno
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
    cxx: str          # the mingw-w64 compiler of the same architecture (the benchmark's floor)
    why: str
    how: str = "native"  # "native", "vm" (Wine runs in tools/vmrun.py's machine) or "twin"

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


def i386_exit_elf() -> bytes:
    """The smallest i386 Linux program: exit(0) by int 0x80 (tools/vmrun.py's guest runs it
    at boot too, as its proof)."""
    code = bytes.fromhex("b801000000" "31db" "cd80")  # mov eax,1; xor ebx,ebx; int 0x80
    base, start = 0x08048000, 52 + 32
    header = (b"\x7fELF\x01\x01\x01" + bytes(9)
              + struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, base + start, 52, 0, 0, 52, 32, 1, 0, 0, 0))
    segment = struct.pack("<IIIIIIII", 1, 0, base, base, start + len(code), start + len(code), 5, 0x1000)
    return header + segment + code


@functools.cache
def runs_32bit_code() -> tuple[bool, str]:
    """(whether this kernel starts 32-bit programs, what was seen).  Only the kernel's
    own refusal, ENOEXEC, means no: a folder mounted noexec (EACCES) is not the answer,
    so the probe tries the next folder, and with none left it says so and stops."""
    tried = []
    for folder in (None, ROOT / "build", pathlib.Path.home()):
        if folder is not None and not folder.is_dir():
            continue
        with tempfile.TemporaryDirectory(dir=folder, prefix="winearch-") as tmp:
            probe = pathlib.Path(tmp) / "exit32"
            probe.write_bytes(i386_exit_elf())
            probe.chmod(0o755)
            try:
                code = subprocess.run([str(probe)], timeout=30).returncode
            except OSError as e:
                if e.errno == errno.ENOEXEC:  # the kernel has no 32-bit emulation
                    return False, f"a 32-bit program does not start here ({e.strerror})"
                tried.append(f"{tmp}: {e.strerror}")
                continue
        if code:
            return False, f"a 32-bit program ends with status {code} here"
        return True, "this machine runs 32-bit programs"
    raise SystemExit("cannot tell whether this machine runs 32-bit code: no folder lets a "
                     "program start (" + "; ".join(tried) + ")")


def _pick(arch: str, why: str, how: str = "native") -> WineTarget:
    if arch == "win32":
        return WineTarget("win32", "wine", "wineserver", ROOT / "build" / "win32" / "Reelstart.exe",
                          "i686-w64-mingw32-g++", why, how)
    return WineTarget("win64", "/usr/lib/wine/wine64", "/usr/lib/wine/wineserver64",
                      ROOT / "build" / "win64" / "Reelstart.exe", "x86_64-w64-mingw32-g++", why, "twin")


@functools.cache
def target() -> WineTarget:
    inside = os.environ.get("REELSTART_VM", "")  # why the host sent us there
    if inside:  # tools/vmrun.py's machine, which runs 32-bit code whatever its host does
        return _pick("win32", inside)
    forced = os.environ.get(FORCE, "")
    if forced:
        if forced not in ("win32", "win64", "vm"):
            raise SystemExit(f"{FORCE}={forced!r}: give win32, vm or win64")
        if forced == "win64" and os.environ.get("CI") == "true":
            raise SystemExit(f"{FORCE}=win64 under CI: CI runs the shipped 32-bit exe, never the twin")
        return _pick(forced.replace("vm", "win32"), f"{FORCE}={forced} is set",
                     "vm" if forced == "vm" else "native")
    ok, seen = runs_32bit_code()
    if ok:
        return _pick("win32", seen)
    return _pick("win32", f"this kernel runs no 32-bit code ({seen})", "vm")


def describe(t: WineTarget) -> str:
    rel = t.exe.relative_to(ROOT) if t.exe.is_relative_to(ROOT) else t.exe
    if t.how == "vm":
        return f"{rel} ({t.bits}-bit) runs under wine32 in an emulated x86-64 machine (tools/vmrun.py): {t.why}"
    if os.environ.get("REELSTART_VM"):
        return f"Wine runs {rel} ({t.bits}-bit) with {t.wine} in an emulated x86-64 machine: {t.why}"
    return f"Wine runs {rel} ({t.bits}-bit) with {t.wine}: {t.why}"


def main(argv: list[str]) -> int:
    t = target()
    if argv[1:] == ["--shell"]:
        import shlex
        for name, value in (("WINE_ARCH", t.arch), ("WINE_HOW", t.how), ("WINE", t.wine), ("WINESERVER", t.wineserver),
                            ("WINE_EXE", t.exe), ("WINE_CXX", t.cxx), ("WINE_WHY", t.why)):
            print(f"{name}={shlex.quote(str(value))}")
        for name, value in t.env.items():
            print(f"export {name}={shlex.quote(value)}")
    elif argv[1:] == ["--arch"]:
        print(t.arch)
    elif argv[1:] == ["--how"]:
        print(t.how)
    elif not argv[1:]:
        print(describe(t))
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
