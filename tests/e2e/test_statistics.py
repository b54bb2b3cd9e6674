"""Start statistics: what a real run of Reelstart.exe under Wine leaves in the registry
under HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER, read back byte for byte."""
import datetime
import os
import re
import unittest

import winerun as w
from reelstart import STATS, ReelstartTest, playlist_text

ROOTS = ("HKLM", "HKCU")


def report(message: str) -> str:
    """A pattern of the whole error report text of a registry error with `message`."""
    return (r"^Exception ERegistryException in module start\.exe at [0-9A-F]{8}\.\r\n"
            + re.escape(message) + r"\r\n$")


def short_date(day: datetime.date) -> str:
    """The user's short date format of the ru_RU locale Wine runs under: dd.MM.yyyy."""
    return day.strftime("%d.%m.%Y")


class StartStatistics(ReelstartTest):
    fresh_statistics = True

    # -- helpers
    def run_dated(self, *args, **kw):
        """A run, and the dates it may have written as "Last Start" (two across midnight)."""
        before = datetime.date.today()
        result = self.run_exe(*args, **kw)
        after = datetime.date.today()
        return result, {short_date(before), short_date(after)}

    def expected(self, last_start: str, videos: int, starts: int, directory: str) -> dict:
        return {"Last Start": ("REG_SZ", last_start),
                "VideoFiles Count": ("REG_DWORD", videos),
                "Starts Count": ("REG_DWORD", starts),
                "Release Date": ("REG_SZ", "30.12.1899"),
                "Publisher Site": ("REG_SZ", ""),
                "Build": ("REG_SZ", "2.2.0.1020"),
                "Start Directory": ("REG_SZ", directory)}

    def assert_statistics(self, values, dates, videos, starts, directory):
        self.assertIsNotNone(values, "no statistics key")
        self.assertIn(values.get("Last Start", (None, None))[1], dates)
        last = values["Last Start"][1]
        self.assertEqual(values, self.expected(last, videos, starts, directory))

    # -- tests
    def test_first_run_writes_seven_values_under_both_roots_exact_bytes(self):
        self.film("Film 1.avi", 700)
        self.film("Extra/Clip.wmv", 20)
        self.film("readme.txt", 5)
        result, dates = self.run_dated()
        self.assertEqual(result.code, 0)
        statistics = self.statistics()
        for root in ROOTS:
            with self.subTest(root=root):
                # Exact bytes: a REG_SZ read back as text was stored with exactly
                # one terminating zero, a REG_DWORD as exactly 4 bytes.
                self.assert_statistics(statistics[root], dates, 2, 1, self.win(self.films))

    def test_second_run_counts_two_starts_in_both_roots(self):
        self.film("a.avi")
        self.film("b.mpg")
        self.assertEqual(self.run_exe().code, 0)
        result, dates = self.run_dated()
        self.assertEqual(result.code, 0)
        statistics = self.statistics()
        for root in ROOTS:
            with self.subTest(root=root):
                self.assert_statistics(statistics[root], dates, 2, 2, self.win(self.films))

    def test_roots_count_separately_and_a_stored_maximum_wraps_to_zero(self):
        self.film("a.avi")
        self.prefix.import_reg(w.value_lines(STATS["HKLM"], {"Starts Count": ("REG_DWORD", 0xFFFFFFFF)})
                               + w.value_lines(STATS["HKCU"], {"Starts Count": ("REG_DWORD", 41)}))
        result, dates = self.run_dated()
        self.assertEqual(result.code, 0)
        statistics = self.statistics()
        self.assert_statistics(statistics["HKLM"], dates, 1, 0, self.win(self.films))
        self.assert_statistics(statistics["HKCU"], dates, 1, 42, self.win(self.films))

    def test_bad_starts_count_is_reported_after_the_playlist_was_opened(self):
        self.film("a.avi", 10)
        playlist = self.win(self.tmp / "start.asx")
        log = self.root / "opens.jsonl"
        records = self.opens()
        invalid, failed = "Invalid data type for 'Starts Count'.", "Failed to get data for 'Starts Count'."
        # (type, value set, value read back, message): 4 bytes or fewer of another type
        # than REG_DWORD, then more than 4 bytes.
        cases = [("REG_SZ", "1", "1", invalid),
                 ("REG_BINARY", b"\x01\x00", b"\x01\x00", invalid),
                 ("REG_QWORD", 1, 1, failed),
                 ("REG_BINARY", bytes(8), bytes(8), failed)]
        for type_, value, stored, message in cases:
            with self.subTest(type=type_, value=value):
                self.prefix.import_reg([w.deletion(key) for key in STATS.values()]
                                       + w.value_lines(STATS["HKLM"], {"Starts Count": (type_, value)}))
                (self.tmp / "start.asx").unlink(missing_ok=True)
                log.unlink(missing_ok=True)
                result, dates = self.run_dated(
                    relay=["shell32.ShellExecuteA", "user32.MessageBoxA"])
                self.assertEqual(result.code, 1)
                # The shell was asked to open the playlist, then the error was reported.
                self.assertEqual([c.name.split(".")[1] for c in result.calls],
                                 ["ShellExecuteA", "MessageBoxA"])
                shell, box = result.calls
                self.assertEqual(shell.args, [0, "open", playlist, 0, 0, 1])
                owner, text, caption, flags = box.args
                self.assertEqual((owner, caption, flags), (0, "Application Error", 0x2010))
                self.assertRegex(text, report(message))
                # The playlist was complete when the shell opened it.
                self.assertEqual(self.playlist(),
                                 playlist_text((self.win(self.films / "a.avi"), "a")))
                self.assertEqual(len(self.read_opens()), 1)
                self.assertEqual(bytes.fromhex(records[0]["data"]), self.playlist())
                # HKLM got the two values written before "Starts Count" and kept the bad
                # one; the error ended the run before HKCU.
                statistics = self.statistics()
                hklm = statistics["HKLM"]
                self.assertIn(hklm.get("Last Start"), {("REG_SZ", d) for d in dates})
                self.assertEqual(hklm, {"Last Start": hklm["Last Start"],
                                        "VideoFiles Count": ("REG_DWORD", 1),
                                        "Starts Count": (type_, stored)})
                self.assertIsNone(statistics["HKCU"])

    def test_no_video_files_counts_zero_and_writes_no_playlist(self):
        self.film("readme.txt", 100)
        self.film("sub/film.mkv", 100)
        result, dates = self.run_dated()
        self.assertEqual(result.code, 0)
        self.assertIsNone(self.playlist())
        statistics = self.statistics()
        for root in ROOTS:
            with self.subTest(root=root):
                self.assert_statistics(statistics[root], dates, 0, 1, self.win(self.films))

    def test_help_run_leaves_the_registry_alone(self):
        self.film("a.avi")
        result = self.run_exe(["/?"], relay=["user32.MessageBoxA"])
        self.assertEqual(result.code, 0)
        [box] = result.called("MessageBoxA")
        self.assertEqual(box.args[3], 0x40)  # the help box, not an error report
        self.assertIsNone(self.playlist())
        for root, values in self.statistics().items():
            with self.subTest(root=root):
                self.assertIsNone(values)

    def test_drive_root_start_directory_keeps_its_backslash(self):
        self.film("a.avi")
        self.install()
        # A new drive R: whose root is the films folder.
        drive = os.path.join(self.prefix.path, "dosdevices", "r:")
        os.symlink(self.films, drive)
        self.addCleanup(os.unlink, drive)
        # Started as R:\start.exe by Wine's own cmd (the harness starts programs by their
        # Unix path, that is as Z:\...), which waits for it and passes on its exit code.
        # (Arguments Wine quotes: no second cmd to pass a raw command line.)
        cmd = os.path.join(self.prefix.path, "drive_c", "windows", "system32", "cmd.exe")
        before = datetime.date.today()
        result = self.prefix.run(cmd, ["/c", r"R:\start.exe"], cwd=str(self.root))
        dates = {short_date(before), short_date(datetime.date.today())}
        self.assertEqual(result.code, 0)
        self.assertEqual(self.playlist(), playlist_text(("R:\\a.avi", "a")))
        statistics = self.statistics()
        for root in ROOTS:
            with self.subTest(root=root):
                self.assert_statistics(statistics[root], dates, 1, 1, "R:\\")


if __name__ == "__main__":
    unittest.main()
