"""Switches under Wine: the playlist order each kind of switch asks for, switches
typed as a user types them in cmd, and the help box instead of any work."""
import unittest

from reelstart import ReelstartTest

# name -> size: name order and size order differ, and one name is upper case.
FILMS = {"b.avi": 300, "Sub/a.avi": 100, "C.avi": 200, "Sub/Deep/d.avi": 400}


class Switches(ReelstartTest):

    def setUp(self):
        super().setUp()
        for name, size in FILMS.items():
            self.film(name, size)

    def order(self, args) -> list[str]:
        result = self.run_exe(args)
        self.assertEqual(result.code, 0, args)
        return self.titles()

    def test_each_kind_of_switch_orders_the_playlist(self):
        cases = {
            "": ["d", "b", "C", "a"],
            "/size": ["d", "b", "C", "a"],
            "/asc": ["a", "C", "b", "d"],
            "-size /ASC": ["a", "C", "b", "d"],
            "/name": ["a", "b", "C", "d"],
            "/name /desc": ["d", "C", "b", "a"],
            "-NAME -Desc": ["d", "C", "b", "a"],
            "/name /asc /desc": ["a", "b", "C", "d"],
            "/name /size /asc": ["a", "C", "b", "d"],
            "/name2 --name name": ["d", "b", "C", "a"],
        }
        # The walk's own order depends on the file system; it is the same for
        # every "/no" run, whatever else is given.
        walk = self.order("/no")
        self.assertEqual(sorted(walk), ["C", "a", "b", "d"])
        cases["/no /name /asc"] = walk
        for args, expected in cases.items():
            with self.subTest(args=args):
                self.assertEqual(self.order(args), expected)

    def test_switches_typed_with_quotes(self):
        for args in ('"/name"', '"" /name', '"-na"me /"desc"'):
            with self.subTest(args=args):
                expected = ["d", "C", "b", "a"] if "desc" in args else ["a", "b", "C", "d"]
                self.assertEqual(self.order(args), expected)

    def test_help_shows_the_box_and_does_nothing_else(self):
        self.clear_statistics()
        for args in ("/?", "-HELP", "/help /name"):
            with self.subTest(args=args):
                result = self.run_exe(args, relay=["user32.MessageBoxA", "shell32.ShellExecuteA"])
                self.assertEqual(result.code, 0)
                self.assertEqual(result.called("ShellExecuteA"), [])
                [box] = result.called("MessageBoxA")
                owner, text, caption, flags = box.args
                self.assertEqual((owner, caption, flags), (0, "Velkor Programs Reelstart", 0x40))
                # The trace shows only the first characters of a long Russian text.
                self.assertTrue(text.startswith("Программа запуска видео-файлов текущей папки.\r\n"),
                                text)
        self.assertIsNone(self.playlist())
        self.assertEqual(self.statistics(), {"HKLM": None, "HKCU": None})


if __name__ == "__main__":
    unittest.main()
