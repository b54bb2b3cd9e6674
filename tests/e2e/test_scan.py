"""Scan and play: the real Reelstart.exe under Wine walks real folder trees, writes
the playlist into TMP byte for byte, has the shell open it, and reports errors."""
import os
import re
import unittest

import winerun as w
from reelstart import STATS, ReelstartTest, playlist_text

GIB = 1 << 30


class ScanAndPlay(ReelstartTest):

    def test_playlist_of_a_nested_tree_byte_for_byte(self):
        self.film("Film 1.avi", 1_500_000_000)           # sparse; more than 1 GiB
        self.film("Extra/Clip.wmv", 20_000_000)
        self.film(".hidden/Trailer.MPEG", 5_000_000)     # hidden dot folder, upper case
        self.film("clips.avi/inner.mpg", 1_000)          # a folder named like a film
        self.film("Сериал/Серия 1.mpg", 350_000_000)
        # More than 4 GiB, sparse: its size read modulo 4 GiB (1 GiB) would put
        # it after Film 1.avi.
        self.film("Big.wmv", 5 * GIB)
        for other in ("readme.txt", "film.avi.tmp", "film.mkv", "film"):
            self.film(other, 900_000_000)
        records = self.opens()

        result = self.run_exe(relay=["shell32.ShellExecuteA", "user32.MessageBoxA",
                                     "CoInitializeEx", "CoUninitialize"])  # combase's, under Wine

        self.assertEqual(result.code, 0)
        root = self.win(self.films)
        self.assertEqual(self.playlist(), playlist_text(
            (rf"{root}\Big.wmv", "Big"),
            (rf"{root}\Film 1.avi", "Film 1"),
            (rf"{root}\Сериал\Серия 1.mpg", "Серия 1"),
            (rf"{root}\Extra\Clip.wmv", "Clip"),
            (rf"{root}\.hidden\Trailer.MPEG", "Trailer"),
            (rf"{root}\clips.avi\inner.mpg", "inner")))
        playlist = self.win(self.tmp / "start.asx")
        self.assertEqual([c.args for c in result.called("ShellExecuteA")],
                         [[0, "open", playlist, 0, 0, 1]])
        # COM up for the shell request, single-threaded without OLE1 DDE, and down after it
        # (what the shell itself does with COM lies between).
        names = [c.name.split(".")[1] for c in result.calls]
        self.assertEqual((result.calls[0].args, names[0], names[-1]),
                         ([0, 6], "CoInitializeEx", "CoUninitialize"))
        self.assertLess(names.index("CoInitializeEx"), names.index("ShellExecuteA"))
        self.assertEqual(result.called("MessageBoxA"), [])
        # The associated player got the playlist, already complete.
        self.assertEqual(len(self.read_opens()), 1)
        self.assertEqual(records[0]["argv"], [playlist])
        self.assertEqual(bytes.fromhex(records[0]["data"]), self.playlist())

    def test_second_run_overwrites_the_playlist(self):
        self.film("a.avi", 10)
        self.assertEqual(self.run_exe().code, 0)
        self.film("b.avi", 20)
        self.assertEqual(self.run_exe().code, 0)
        self.assertEqual(self.titles(), ["b", "a"])

    def test_playlist_is_named_after_the_executable(self):
        self.film("a.avi")
        self.install("film.cd.exe")
        self.assertEqual(self.run_exe(exe=self.films / "film.cd.exe").code, 0)
        self.assertIsNotNone(self.playlist("film.cd.asx"))

    def test_searches_the_executables_folder_not_the_current_one(self):
        self.film("mine.avi")
        elsewhere = self.root / "elsewhere"
        elsewhere.mkdir()
        (elsewhere / "theirs.avi").write_bytes(b"x")
        self.assertEqual(self.run_exe(cwd=elsewhere).code, 0)
        self.assertEqual(self.titles(), ["mine"])

    def test_no_video_files_no_playlist_no_message(self):
        self.film("readme.txt", 100)
        result = self.run_exe(relay=["shell32.ShellExecuteA", "user32.MessageBoxA"])
        self.assertEqual(result.code, 0)
        self.assertIsNone(self.playlist())
        self.assertEqual(result.calls, [])

    def test_folder_links(self):
        self.film("a.avi", 1)
        self.film("Sub/b.avi", 2)
        outside = self.root / "outside"
        (outside).mkdir()
        (outside / "c.avi").write_bytes(b"ccc")
        os.symlink(self.films, self.films / "Sub" / "loop")      # back to an ancestor
        os.symlink(self.films / "Sub", self.films / "Sub" / "self")
        os.symlink(outside, self.films / "Link1")                 # one folder, two links
        os.symlink(outside, self.films / "Link2")
        os.symlink(self.root / "gone", self.films / "dangling")   # leads nowhere
        result = self.run_exe()
        self.assertEqual(result.code, 0)
        self.assertEqual(sorted(self.titles()), ["a", "b", "c"])  # c through two links: once

    def test_names_the_code_page_cannot_show_are_reached_by_their_short_names(self):
        # Listed as "??/??.avi" and "Mixe.wmv": neither name opens; the 8.3 ones do.
        for name, letter, size in (("日本/映画.avi", b"J", 3000), ("Mixé.wmv", b"M", 2000),
                                   ("Фильм.avi", b"F", 1000)):
            self.film(name).write_bytes(letter * size)
        self.assertEqual(self.run_exe().code, 0)
        text = w.decode_ansi(self.playlist())
        refs = re.findall(r'<Ref href="([^"]*)"/>', text)
        self.assertNotIn("?", text)
        self.assertEqual(refs[2], self.win(self.films / "Фильм.avi"))
        # Each path opens, in Windows, the film it stands for (largest first).
        self.assertEqual(self.prefix.read_files(*refs), [b"J" * 3000, b"M" * 2000, b"F" * 1000])

    def test_runs_from_a_folder_named_outside_the_code_page(self):
        # "映画" reads as "??" in the module's ANSI path, which leads nowhere: the run
        # takes the 8.3 path, for the walk, the version record and the statistics.
        # (Not named start.exe: Wine answers a version query of a start.exe by a path
        # other than the loaded module's from its own built-in start.exe.)
        folder = self.films / "映画"
        folder.mkdir()
        exe = self.install("film.exe").rename(folder / "film.exe")
        (folder / "a.avi").write_bytes(b"x" * 10)
        result = self.run_exe(exe=exe, relay=["user32.MessageBoxA"])
        self.assertEqual((result.code, result.called("MessageBoxA")), (0, []))
        refs = re.findall(r'<Ref href="([^"]*)"/>', w.decode_ansi(self.playlist("film.asx")))
        self.assertEqual(len(refs), 1)
        self.assertNotIn("?", refs[0])
        self.assertEqual(self.prefix.read_files(refs[0]), [b"x" * 10])
        self.assertIn("Издатель: Velkor Programs".encode("cp1251"),  # the version record read
                      self.playlist("film.asx"))
        self.assertEqual(self.prefix.read_key(STATS["HKCU"])["Start Directory"],
                         ("REG_SZ", refs[0].rsplit("\\", 1)[0]))

    def test_a_drives_recycle_bin_is_not_walked(self):
        # Deleted films keep their extension, beside a record named like a film.
        self.film("Film.avi", 100)
        deleted = "$RECYCLE.BIN/S-1-5-21-1004336348-1177238915-682003330-1000/"
        self.film(deleted + "$RAB12CD.avi", 900)
        self.film(deleted + "$IAB12CD.avi", 544)
        self.film("RECYCLER/own.avi", 50)  # a folder of that name, but the user's own
        bin_ = self.win(self.films / "$RECYCLE.BIN")
        for attribute in ("+h", "+s"):
            self.prefix.wine("cmd.exe", "/c", "attrib", attribute, bin_)
        self.assertEqual(self.prefix.list_ansi(self.win(self.films))["$RECYCLE.BIN"][1] & 0x16, 0x16)
        self.assertEqual(self.run_exe().code, 0)
        self.assertEqual(self.titles(), ["Film", "own"])

    def test_tmp_named_outside_the_code_page(self):
        # A profile named "Café Łódź": in the ANSI code page TMP reads as a look-alike
        # that leads nowhere. The playlist goes into the real folder by its 8.3 path.
        self.film("a.avi", 10)
        folder = self.root / "Café Łódź"
        folder.mkdir()
        self.prefix.set_tmp(folder)
        result = self.run_exe(relay=["shell32.ShellExecuteA", "user32.MessageBoxA"])
        self.assertEqual((result.code, result.called("MessageBoxA")), (0, []))
        [opened] = [c.args[2] for c in result.called("ShellExecuteA")]
        self.assertNotIn("?", opened)
        self.assertEqual(self.prefix.read_files(opened), [(folder / "start.asx").read_bytes()])
        self.assertTrue((folder / "start.asx").read_bytes().startswith(b'<ASX Version="3.0">'))

    def test_tmp_with_trailing_backslash_is_used_as_set(self):
        self.film("a.avi")
        self.prefix.set_tmp(windows=self.win(self.tmp) + "\\")
        result = self.run_exe(relay=["shell32.ShellExecuteA"])
        self.assertEqual(result.code, 0)
        self.assertIsNotNone(self.playlist())
        self.assertEqual(result.called("ShellExecuteA")[0].args[2],
                         self.win(self.tmp) + "\\\\start.asx")

    def test_unset_tmp_uses_the_systems_temporary_folder(self):
        self.film("a.avi")
        self.prefix.set_tmp()
        result = self.run_exe(relay=["shell32.ShellExecuteA"])
        self.assertEqual(result.code, 0)
        path = result.called("ShellExecuteA")[0].args[2]
        self.assertRegex(path, r"^C:\\users\\[^\\]+\\Temp\\start\.asx$")
        self.assertTrue(os.path.isfile(w.unix_path(path, self.prefix.path)))

    def test_missing_tmp_folder_is_reported(self):
        self.film("a.avi")
        missing = self.win(self.root / "no such folder")
        self.prefix.import_reg(w.tmp_lines(windows=missing) + [w.deletion(key) for key in STATS.values()])
        result = self.run_exe(relay=["user32.MessageBoxA", "shell32.ShellExecuteA"])
        self.assertEqual(result.code, 1)
        self.assertEqual(result.called("ShellExecuteA"), [])
        [box] = result.called("MessageBoxA")
        owner, text, caption, flags = box.args
        self.assertEqual((owner, caption, flags), (0, "Application Error", 0x2010))
        self.assertRegex(text, r"^Exception EFCreateError in module start\.exe at [0-9A-F]{8}\.\r\n"
                               r'Cannot create file "' + re.escape(missing + r"\start.asx")
                               + r'"\. [^\r\n]*[^.\r\n ]\.\r\n$')
        # Nothing after the failed step ran: no statistics either.
        self.assertEqual(self.statistics(), {"HKLM": None, "HKCU": None})


if __name__ == "__main__":
    unittest.main()
