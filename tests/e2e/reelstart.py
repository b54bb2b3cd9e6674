"""What the end-to-end tests of Reelstart.exe share: a fresh Wine prefix for each
test module, real folder trees of films made by the test, runs of the real exe, and
the playlist bytes read back.

Environment: REELSTART_EXE (default: the exe tools/winearch.py picks: the shipped
build/win32/Reelstart.exe, or the 64-bit test twin in build/win64 when asked for), E2E_WORK (default build/e2e), the folder the trees, prefixes and
playlists are made in, and E2E_KEEP (default E2E_WORK), where what a person may want to
look at afterwards is kept (the help box's screenshot).  In tools/vmrun.py's emulated
machine E2E_WORK is on the machine's own disk, which is fast and thrown away; E2E_KEEP
is a folder it shares with its host.
"""
from __future__ import annotations

import json
import os
import pathlib
import shutil
import sys
import unittest

import winerun as w

ROOT = pathlib.Path(__file__).resolve().parents[2]
EXE = pathlib.Path(os.environ.get("REELSTART_EXE") or w.TARGET.exe)
WORK = pathlib.Path(os.environ.get("E2E_WORK") or ROOT / "build" / "e2e")
KEEP = pathlib.Path(os.environ.get("E2E_KEEP") or WORK)
print(w.winearch.describe(w.TARGET) if EXE == w.TARGET.exe else f"Wine runs {EXE} ({w.TARGET.arch} prefix)",
      file=sys.stderr, flush=True)

# The statistics key as the exe sees it: its HKLM view depends on its architecture and
# the prefix's (WOW6432Node for a 32-bit program on 64-bit Windows).
_KEY = r"\Velkor Programs\Reelstart\2.2.0"
STATS = {"HKLM": w.TARGET.hklm_software() + _KEY, "HKCU": r"HKCU\Software" + _KEY}
HEADER = ('<ASX Version="3.0">\r\n'
          "<Author>Автор программы:  Издатель: Velkor Programs</Author>\r\n"
          "<Copyright>Авторские права: Copyright © 2007 Velkor Programs</Copyright>\r\n"
          "<Title>Фильмы</Title>\r\n")
FOOTER = "</ASX>\r\n"


def entry(path: str, title: str) -> str:
    """The four playlist lines of one film."""
    return f'\t<Entry>\r\n\t\t<Ref href="{path}"/>\r\n\t\t<Title>{title}</Title>\r\n\t</Entry>\r\n'


def playlist_text(*entries: tuple[str, str]) -> bytes:
    """The whole playlist for (path, title) pairs, as the bytes the program writes."""
    text = HEADER + "".join(entry(p, t) for p, t in entries) + FOOTER
    return text.encode("cp1251")


_PREFIXES: dict = {}


def module_prefix(prefix_type, path: pathlib.Path) -> w.WinePrefix:
    """The started prefix at `path` of the test module's classes of this prefix type: made
    fresh by the first of them (a prefix's start is some ten Wine processes), closed and
    deleted after the module's last test."""
    key = (prefix_type, str(path))
    if key not in _PREFIXES:
        prefix = _PREFIXES[key] = prefix_type(str(path))
        unittest.addModuleCleanup(lambda: _PREFIXES.pop(key).close(remove=True))
        prefix.start()
    return _PREFIXES[key]


class ReelstartTest(unittest.TestCase):
    """One fresh prefix per module (and prefix type), shared by its classes; each test
    gets its own folder with films/ and tmp/, and TMP pointing at tmp/ (and,
    fresh_statistics, no statistics key), set in one regedit, which also lets runs trace
    the calls of `relay`."""

    prefix_type = w.WinePrefix  # a subclass may run its prefix's server otherwise
    fresh_statistics = False    # True: each test starts without statistics keys
    relay = ("user32.MessageBoxA", "shell32.ShellExecuteA")  # what the runs trace most

    @classmethod
    def setUpClass(cls):
        if not EXE.is_file():
            raise AssertionError(f"{EXE} is not built: cmake --build --preset win32")
        cls.work = WORK / cls.__module__ / cls.__name__
        shutil.rmtree(cls.work, ignore_errors=True)
        cls.work.mkdir(parents=True)
        cls.prefix = module_prefix(cls.prefix_type, WORK / cls.__module__ / "prefix")

    def setUp(self):
        self.root = self.work / self._testMethodName
        self.films = self.root / "films"
        self.tmp = self.root / "tmp"
        self.films.mkdir(parents=True)
        self.tmp = self.make_tmp()
        self.prefix.import_reg(w.tmp_lines(self.tmp) + self.prefix.relay_lines(self.relay)
                               + [w.deletion(key) for key in STATS.values() if self.fresh_statistics])

    def make_tmp(self) -> pathlib.Path:
        """The folder TMP names for the test: tmp/ of its own folder."""
        self.tmp.mkdir()
        return self.tmp

    # -- the statistics keys (the tests of a module share one prefix)
    def clear_statistics(self):
        """No statistics key under either root."""
        self.prefix.delete_keys(*STATS.values())

    def statistics(self) -> dict:
        """{"HKLM": values or None, "HKCU": ...} of the statistics keys, the exact stored
        bytes (winerun's read_key with exact=True), both read by one Wine process."""
        return dict(zip(STATS, self.prefix.read_keys(*STATS.values())))

    # -- the tree
    def film(self, relative: str, size: int = 1) -> pathlib.Path:
        """A file of `size` bytes under films/ (sparse: large sizes cost no disk)."""
        path = self.films / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        with open(path, "wb") as f:
            f.truncate(size)
        return path

    def install(self, name: str = "start.exe") -> pathlib.Path:
        """The program, copied to the root of films/ under `name`."""
        exe = self.films / name
        shutil.copyfile(EXE, exe)
        return exe

    def win(self, path) -> str:
        return w.win_path(path)

    # -- a run
    def run_exe(self, args=(), *, exe=None, relay=(), cwd=None) -> w.RunResult:
        exe = exe or self.films / "start.exe"
        if not exe.exists():
            self.install(exe.name)
        return self.prefix.run(str(exe), args, relay=relay, cwd=str(cwd or self.root))

    def playlist(self, name: str = "start.asx") -> bytes | None:
        path = self.tmp / name
        return path.read_bytes() if path.exists() else None

    def titles(self, name: str = "start.asx") -> list[str]:
        """The entry titles of the playlist, in order."""
        text = w.decode_ansi(self.playlist(name))
        return [line[len("\t\t<Title>"):-len("</Title>")]
                for line in text.split("\r\n") if line.startswith("\t\t<Title>")]

    def opens(self) -> list[dict]:
        """Make the shell's "open" of .asx files record what it was given; returns the
        list the records of the next runs land in (read it after the run)."""
        log = self.root / "opens.jsonl"
        self.prefix.record_opens(".asx", str(log))
        records: list[dict] = []

        def read():
            records.clear()
            if log.exists():
                records.extend(json.loads(line) for line in log.read_text().splitlines())
            return records
        self.read_opens = read
        return records
