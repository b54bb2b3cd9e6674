"""Hostile trees: the real Reelstart.exe under Wine on folder trees, files and
temporary folders made to trip it up. Every run must end, with the right exit code
and no hang, and either write the playlist of what can be reached or give the
"Cannot create file" report and stop there: nothing opened, no statistics.

Wine's server makes every file open on the programs' behalf. Run by root it would
read and write whatever the permission bits say, so here it runs without root's
power to ignore them (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH), as an ordinary
user's server would: a folder of mode 000 cannot be listed, one of mode 555 not
written into.

hold/hold.cpp, built by scripts/build.sh (winerun.HELPERS), is another Windows program
that holds a file open while Reelstart runs.

Links (a loop to an ancestor, two links to one folder, a dangling link) and names
the code page cannot show, reached by their 8.3 names, are tested in test_scan; here
a tree whose links multiply the walk.
"""
import contextlib
import os
import pathlib
import re
import shutil
import subprocess
import tempfile
import time
import unittest

import winerun as w
from reelstart import ReelstartTest, playlist_text
# The longest path the ANSI file calls take: MAX_PATH less the terminating zero.
# (Wine takes one character more; no path below is exactly that long.)
LONGEST_PATH = 259
DAC_CAPS = ("dac_override", "dac_read_search")
CAP_DAC_OVERRIDE = 1
ERROR_ACCESS_DENIED = 5
ERROR_SHARING_VIOLATION = 32


class UserPrefix(w.WinePrefix):
    """A prefix whose wineserver cannot override permission bits, even when root
    starts it."""

    def _wineserver(self, *args):
        if args[:1] == ("-p",) and os.geteuid() == 0:
            drop = ",".join("-" + cap for cap in DAC_CAPS)
            subprocess.run(["setpriv", "--inh-caps=" + drop, "--bounding-set=" + drop,
                            w.TARGET.wineserver, *args], env=self.env(), stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=w.scaled(60),
                           check=True)
        else:
            super()._wineserver(*args)

    def server_overrides_permissions(self) -> bool:
        """Whether this prefix's running wineserver holds CAP_DAC_OVERRIDE."""
        needle = f"\0WINEPREFIX={self.path}\0".encode()
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open(f"/proc/{pid}/comm") as comm:
                    if not comm.read().startswith("wineserver"):  # wineserver32 on Debian
                        continue
                with open(f"/proc/{pid}/environ", "rb") as environ:
                    if needle not in b"\0" + environ.read():
                        continue
                with open(f"/proc/{pid}/status") as status:
                    caps = int(re.search(r"^CapEff:\s*([0-9a-f]+)$", status.read(), re.M)[1], 16)
                return bool(caps >> CAP_DAC_OVERRIDE & 1)
            except OSError:
                continue
        raise AssertionError(f"no wineserver runs for {self.path}")


class HostileTest(ReelstartTest):
    prefix_type = UserPrefix

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if cls.prefix.server_overrides_permissions():
            raise AssertionError("the wineserver still overrides permission bits")

    def chmod(self, path, mode):
        """Set a Unix mode for the test; the old one comes back after it."""
        self.addCleanup(os.chmod, path, os.stat(path).st_mode & 0o7777)
        os.chmod(path, mode)

    def windows(self, *args) -> bytes:
        """Run a Windows command of the prefix (cmd.exe ...); its output."""
        return self.prefix.wine(*args).stdout

    def short_name(self, folder, name: str) -> str:
        """The 8.3 name Windows lists for `name` in `folder` ('' when it has none)."""
        listing = self.prefix.list_ansi(self.win(folder))
        self.assertIn(name, listing)
        return listing[name][0]

    def expected_playlist(self, films) -> bytes:
        """The playlist of (Windows path, size) pairs in the default order: largest
        first, equal sizes by path (ASCII letters folded), descending."""
        ordered = sorted(films, key=lambda f: (f[1], f[0].encode("cp1251").upper()), reverse=True)
        return playlist_text(*((path, re.sub(r"\.[^.\\]*$", "", path.rsplit("\\", 1)[1]))
                               for path, _ in ordered))

    def refs(self, name: str = "start.asx") -> list[str]:
        return re.findall(r'<Ref href="([^"]*)"/>', w.decode_ansi(self.playlist(name)))

    def contents(self, paths) -> list[bytes]:
        """What each Windows path opens, read by Windows itself."""
        return self.prefix.read_files(*paths)

    @contextlib.contextmanager
    def held(self, path, mode: str = "write"):
        """`path` (a Unix path, or a str: a Windows one) held open by another Windows
        program for the block (see hold.cpp)."""
        ready, stop = self.root / "hold.ready", self.root / "hold.stop"
        for f in (ready, stop):
            f.unlink(missing_ok=True)
        path = path if isinstance(path, str) else self.win(path)
        holder = subprocess.Popen([w.TARGET.wine, w.helper("hold"), mode, path, self.win(ready),
                                   self.win(stop)], env=self.prefix.env(),
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + w.scaled(30)
            while not (ready.exists() and ready.read_text()):
                self.assertIsNone(holder.poll(), "the holder ended before it held the file")
                self.assertLess(time.monotonic(), deadline, "the holder did not start")
                time.sleep(0.02)
            self.assertEqual(ready.read_text(), "ready")
            yield
        finally:
            stop.touch()
            try:
                holder.wait(30)
            except subprocess.TimeoutExpired:
                holder.kill()
                holder.wait()
        self.assertEqual(holder.returncode, 0)


class DepthAndBreadth(HostileTest):

    def test_nesting_past_the_path_limit(self):
        # A chain of folders 9 characters apart (a name of 8 and its '\'), from
        # well below the path limit to far beyond it, a film in each. Their
        # lengths are 2 more than a multiple of 9, so no mask (+4, "\*.*") and
        # no film (+8, "\f00.avi") is 260 long, where Wine and Windows differ.
        base = len(self.win(self.films))
        first = base + 9 + (2 - (base + 9)) % 9
        if first > 200:
            self.skipTest(f"{self.films} is too deep to start below the limit")
        folder, length, level, chain = self.films / ("p" * (first - base - 1)), first, 0, []
        while length < 450:
            chain.append((folder, length))
            self.film(str((folder / f"f{level:02d}.avi").relative_to(self.films)), 10 * (level + 1))
            folder, length, level = folder / f"deep{level:04d}", length + 9, level + 1
        # Two folders with long names where the chain nears the limit: one whose
        # path fits but not its mask, one whose path itself is too long. Both
        # are reached by their 8.3 names (8 characters).
        near, near_length = max((c for c in chain if c[1] + 1 + 16 <= 258), key=lambda c: c[1])
        fits = near / ("Long folder " + "x" * (258 - near_length - 1 - 12))
        beyond = near / ("Longer folder, well past the limit " + "y" * 20)
        self.film(str((fits / "in.avi").relative_to(self.films)), 5)
        self.film(str((beyond / "in.avi").relative_to(self.films)), 3)
        self.assertEqual(len(self.win(fits)), 258)
        self.assertGreater(len(self.win(beyond)), LONGEST_PATH + 4)

        result = self.run_exe(relay=["user32.MessageBoxA"])

        self.assertEqual((result.code, result.calls), (0, []))
        expected = []
        for level, (folder, length) in enumerate(chain):
            if length + 4 > LONGEST_PATH:
                break  # not listed, nor anything below it
            film = self.win(folder / f"f{level:02d}.avi")
            # Listed; opened only when its own path fits.
            expected.append((film, 10 * (level + 1) if len(film) <= LONGEST_PATH else 0))
        near_win = self.win(near)
        for folder, size in ((fits, 5), (beyond, 3)):
            expected.append((rf"{near_win}\{self.short_name(near, folder.name)}\in.avi", size))
        # The deepest folder listed holds the one film whose path is too long to open.
        self.assertEqual([size for _, size in expected].count(0), 1)
        self.assertEqual(self.playlist(), self.expected_playlist(expected))

    def test_twenty_thousand_files_in_one_folder(self):
        # 20,000 entries beside the program, every fifth a film of its own size.
        exts = (".avi", ".txt", ".mkv", ".srt", ".jpg", ".Mpeg", ".nfo", ".mp4", ".sub", ".idx")
        films = []
        for i in range(20_000):
            name = f"{i:05d}{exts[i % 10]}"
            fd = os.open(self.films / name, os.O_WRONLY | os.O_CREAT, 0o644)
            if i % 5 == 0:
                os.ftruncate(fd, i + 1)
                films.append((self.win(self.films / name), i + 1))
            os.close(fd)
        self.assertEqual(len(os.listdir(self.films)), 20_000)
        self.assertEqual(len(films), 4_000)

        # About 2 s under Wine; the timeout stands for a hang.
        result = self.prefix.run(str(self.install()), relay=["user32.MessageBoxA"], timeout=120,
                                 cwd=str(self.root))

        self.assertEqual((result.code, result.calls), (0, []))
        self.assertEqual(self.playlist(), self.expected_playlist(films))

    def test_two_links_on_each_level(self):
        # Levels 01 to 25 side by side, each with a film and two folder links, a and
        # b, to the next level: walked link by link, level n would be listed 2^n - 1
        # times. Level 01 is reached by its own path alone: its film is listed once.
        # Every other film twice: by its level's own path, and once through links
        # (from whichever level the listing gives first, through a or b: the second
        # link to a folder already listed through links is not entered).
        levels = 25
        for level in range(1, levels + 1):
            self.film(f"{level:02d}/f{level:02d}.avi", level)
            if level < levels:
                for link in "ab":
                    os.symlink(self.films / f"{level + 1:02d}", self.films / f"{level:02d}" / link)

        # About a second under Wine; the timeout stands for the old walk's 2^25 listings.
        result = self.prefix.run(str(self.install()), relay=["user32.MessageBoxA"], timeout=30,
                                 cwd=str(self.root))

        self.assertEqual((result.code, result.calls), (0, []))
        root = re.escape(self.win(self.films))
        found = {}
        for ref in self.refs():
            m = re.fullmatch(root + r"\\(\d\d)((?:\\[ab])*)\\f(\d\d)\.avi", ref)
            self.assertIsNotNone(m, ref)
            start, links, level = int(m[1]), len(m[2]) // 2, int(m[3])
            self.assertEqual(start + links, level, ref)
            found.setdefault(level, []).append(links)
        # For each level: (listed by its own path, listed through links).
        self.assertEqual({level: (links.count(0), len(links) - links.count(0))
                          for level, links in found.items()},
                         {level: (1, int(level > 1)) for level in range(1, levels + 1)})


class Names(HostileTest):

    def test_ampersands_quotes_leading_dots_and_trailing_spaces(self):
        sizes = {}

        def film(relative, size):
            sizes[relative] = size
            self.film(relative, size)
        film("Tom & Jerry.avi", 900)
        film("A &amp; B.wmv", 890)                # stays as it is, not unescaped either
        film("It's mine.mpg", 880)
        film("it's & co/x&y.avi", 870)
        film(".avi", 860)                         # title empty
        film("..avi", 850)                        # title "."
        film("...avi", 840)                       # title ".."
        film(" lead.avi", 830)
        film("..x/in dots.avi", 820)
        film("Season 1 /spaced.avi", 810)         # beside "Season 1", which is another
        film("Season 1/plain.avi", 800)
        film(" /space.avi", 790)
        film(". /dot space.avi", 780)             # not the folder itself
        film(".. /dots space.avi", 770)           # not the parent
        self.film("film.avi ", 999)               # extension ".avi ": not a film
        self.film(".../in three dots.avi").write_bytes(b"3" * 760)  # read as "..": reached
        self.film("<Windows forbids>.avi").write_bytes(b"<" * 750)  # by their 8.3 names

        result = self.run_exe(relay=["user32.MessageBoxA"])

        self.assertEqual((result.code, result.calls), (0, []))
        root = self.win(self.films)
        expected = [(root + "\\" + rel.replace("/", "\\"), size) for rel, size in sizes.items()]
        expected.append((rf"{root}\{self.short_name(self.films, '...')}\in three dots.avi", 760))
        expected.append((rf"{root}\{self.short_name(self.films, '<Windows forbids>.avi')}", 750))
        self.assertEqual(self.playlist(), self.expected_playlist(expected))
        self.assertIn(b"<Title>Tom & Jerry</Title>", self.playlist())
        self.assertEqual(self.contents(self.refs()[-2:]), [b"3" * 760, b"<" * 750])

    def test_program_and_tmp_folder_named_with_ampersands_and_quotes(self):
        folder = self.films / "Tom & Jerry's"
        self.film("Tom & Jerry's/cartoon.avi", 70)
        exe = self.install("Tom & Jerry's/it's & co.exe")
        tmp = self.root / "tmp & 'quotes'"
        tmp.mkdir()
        self.prefix.set_tmp(tmp)
        self.clear_statistics()
        records = self.opens()

        result = self.prefix.run(str(exe), relay=["shell32.ShellExecuteA", "user32.MessageBoxA"],
                                 cwd=str(self.root))

        self.assertEqual(result.code, 0)
        playlist = self.win(tmp / "it's & co.asx")
        self.assertEqual([c.args for c in result.called("ShellExecuteA")],
                         [[0, "open", playlist, 0, 0, 1]])
        self.assertEqual(result.called("MessageBoxA"), [])
        written = (tmp / "it's & co.asx").read_bytes()
        self.assertEqual(written, self.expected_playlist([(self.win(folder / "cartoon.avi"), 70)]))
        self.read_opens()
        self.assertEqual([(r["argv"], bytes.fromhex(r["data"])) for r in records],
                         [([playlist], written)])
        for values in self.statistics().values():
            self.assertEqual(values["Start Directory"], ("REG_SZ", self.win(folder)))

    def test_look_alike_names_reach_their_own_films(self):
        # Listed in Windows-1251 as "Cafe", "Amelie.avi" and (read) "Trail":
        # each the name of a neighbour. Names differing in case alone (the folder
        # is case-sensitive) share one 8.3 name under Wine, which opens one of them.
        for relative, letter, size in (("Café/in café.avi", b"1", 100), ("Cafe/in cafe.avi", b"2", 200),
                                       ("Amélie.avi", b"3", 300), ("Amelie.avi", b"4", 400),
                                       ("Trail./dotted.avi", b"5", 500), ("Trail/plain.avi", b"6", 600),
                                       ("Twin Peaks.avi", b"7", 70), ("twin peaks.avi", b"8", 80)):
            self.film(relative).write_bytes(letter * size)

        result = self.run_exe(relay=["user32.MessageBoxA"])

        self.assertEqual((result.code, result.calls), (0, []))
        refs = self.refs()
        root = self.win(self.films)
        self.assertEqual([refs[0], refs[2], refs[4]],
                         [rf"{root}\Trail\plain.avi", rf"{root}\Amelie.avi", rf"{root}\Cafe\in cafe.avi"])
        self.assertEqual(self.contents(refs), [n * s for n, s in ((b"6", 600), (b"5", 500), (b"4", 400),
                                                                   (b"3", 300), (b"2", 200), (b"1", 100),
                                                                   (b"8", 80), (b"7", 70))])


class Permissions(HostileTest):

    def test_folder_and_files_without_read_permission(self):
        self.film("open/a.avi", 100)
        self.film("locked/b.avi", 200)
        self.film("locked/inner/c.avi", 300)
        self.film("traverse only/d.avi", 400)
        private = self.film("private.avi", 500)
        self.chmod(private, 0)                         # listed, size 0
        self.chmod(self.films / "locked", 0)           # nothing from it, nor from below
        self.chmod(self.films / "traverse only", 0o111)

        result = self.run_exe(relay=["user32.MessageBoxA"])

        self.assertEqual((result.code, result.calls), (0, []))
        root = self.win(self.films)
        self.assertEqual(self.playlist(), self.expected_playlist(
            [(rf"{root}\open\a.avi", 100), (rf"{root}\private.avi", 0)]))

    def test_files_held_open_for_writing_are_listed_with_size_0(self):
        self.film("a.avi", 10)
        busy = self.film("busy.avi", 5000)
        self.film("c.avi", 30)
        self.film("Mixé busy.wmv", 6000)              # listed as "Mixe busy.wmv"
        root = self.win(self.films)
        short = rf"{root}\{self.short_name(self.films, 'Mixe busy.wmv')}"

        with self.held(busy):
            held = self.run_exe(relay=["user32.MessageBoxA"])
        self.assertEqual((held.code, held.calls), (0, []))
        self.assertEqual(self.playlist(), self.expected_playlist(
            [(short, 6000), (rf"{root}\c.avi", 30), (rf"{root}\a.avi", 10), (rf"{root}\busy.avi", 0)]))

        with self.held(short):  # the holder, too, is an ANSI program
            self.assertEqual(self.run_exe().code, 0)
        # A name that opens nothing: reached by its 8.3 name, busy or not.
        self.assertEqual(self.playlist(), self.expected_playlist(
            [(rf"{root}\busy.avi", 5000), (rf"{root}\c.avi", 30), (rf"{root}\a.avi", 10), (short, 0)]))


class PlaylistCannotBeWritten(HostileTest):
    OLD = b"the playlist of an earlier run"
    fresh_statistics = True

    def make_tmp(self):
        # A short TMP: the relay trace cuts strings of some 300 characters, and
        # the report holds the playlist's path and the system's Russian text.
        tmp = pathlib.Path(tempfile.mkdtemp(prefix="rs-"))
        self.addCleanup(shutil.rmtree, tmp, ignore_errors=True)
        return tmp

    def setUp(self):
        super().setUp()
        self.film("a.avi", 10)

    def old_playlist(self) -> pathlib.Path:
        path = self.tmp / "start.asx"
        path.write_bytes(self.OLD)
        return path

    def run_failing(self, error: int) -> w.RunResult:
        """Run, expecting the "Cannot create file" report for the Windows error `error`."""
        result = self.run_exe(relay=self.RELAY)
        self.assert_cannot_create(result, error)
        return result

    RELAY = ["user32.MessageBoxA", "shell32.ShellExecuteA", "FormatMessageA", "CreateFileA"]

    def assert_cannot_create(self, result: w.RunResult, error: int):
        """The report for the Windows error `error`, and nothing after it: exit code 1,
        nothing opened, no statistics."""
        self.assertEqual(result.code, 1)
        self.assertEqual(result.called("ShellExecuteA"), [])
        [box] = result.called("MessageBoxA")
        owner, text, caption, flags = box.args
        self.assertEqual((owner, caption, flags, box.truncated), (0, "Application Error", 0x2010, ()))
        self.assertRegex(text, r"^Exception EFCreateError in module start\.exe at [0-9A-F]{8}\.\r\n"
                               r'Cannot create file "' + re.escape(self.win(self.tmp / "start.asx"))
                               + r'"\. [^\r\n]*[^.\r\n ]\.\r\n$')
        self.assertEqual([c.args[2] for c in result.called("FormatMessageA")], [error])
        self.assertEqual(self.statistics(), {"HKLM": None, "HKCU": None})

    def test_tmp_folder_without_write_permission(self):
        self.chmod(self.tmp, 0o555)
        self.run_failing(ERROR_ACCESS_DENIED)
        self.assertEqual(os.listdir(self.tmp), [])

    def test_read_only_playlist(self):
        old = self.old_playlist()
        self.windows("cmd.exe", "/c", "attrib", "+r", self.win(old))
        self.assertEqual(os.stat(old).st_mode & 0o222, 0)
        self.run_failing(ERROR_ACCESS_DENIED)
        self.assertEqual(old.read_bytes(), self.OLD)

    def test_playlist_open_in_another_program(self):
        old = self.old_playlist()
        with self.held(old, "share-all"):
            self.run_failing(ERROR_SHARING_VIOLATION)
        self.assertEqual(old.read_bytes(), self.OLD)
        # Closed again, it is replaced.
        self.assertEqual(self.run_exe().code, 0)
        self.assertEqual(self.playlist(), self.expected_playlist([(self.win(self.films / "a.avi"), 10)]))
        self.assertEqual(self.statistics()["HKCU"]["Starts Count"], ("REG_DWORD", 1))

    def test_hidden_or_system_playlist(self):
        # Windows refuses CREATE_ALWAYS with FILE_ATTRIBUTE_NORMAL on a hidden or
        # system file (ERROR_ACCESS_DENIED), and that is what the program asks
        # for. Wine 8 does not refuse; whichever the answer, the run follows it.
        for attribute in ("H", "S"):
            with self.subTest(attribute=attribute):
                self.clear_statistics()
                old = self.old_playlist()
                self.windows("cmd.exe", "/c", "attrib", "+" + attribute, self.win(old))
                shown = self.windows("cmd.exe", "/c", "attrib", self.win(old)).decode("cp1251")
                self.assertIn(attribute, shown[:shown.index(self.win(old))])

                result = self.run_exe(relay=self.RELAY)

                [create] = [c for c in result.called("CreateFileA") if c.args[0] == self.win(old)]
                self.assertEqual(create.args[1:], [0xC0000000, 0, 0, 2, 0x80, 0])
                if create.retval == 0xFFFFFFFF:
                    self.assert_cannot_create(result, ERROR_ACCESS_DENIED)
                    self.assertEqual(old.read_bytes(), self.OLD)
                else:
                    self.assertEqual((result.code, result.called("MessageBoxA")), (0, []))
                    self.assertEqual(old.read_bytes(),
                                     self.expected_playlist([(self.win(self.films / "a.avi"), 10)]))
                    self.assertEqual(self.statistics()["HKCU"]["Starts Count"], ("REG_DWORD", 1))
                old.unlink()

if __name__ == "__main__":
    unittest.main()
