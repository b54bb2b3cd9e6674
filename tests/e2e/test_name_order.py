"""The order by name under Wine is exactly the order that CompareStringA gives.

Hundreds of real file names (Cyrillic and Latin in mixed case, digits, hyphens and
apostrophes, which CompareString weighs apart from other characters, other punctuation,
the same name in several folders) are laid out in a tree.  A probe program
(probe/collate.cpp) asks Wine's CompareStringA, with the user's locale and case
ignored, how every name compares with every other.  The program's list quicksort is
then replayed here over the walk's own order (the "/no" playlist) with those answers;
the "/name" and "/name /desc" playlists of the real Reelstart.exe must match it entry
for entry, ties between equal names included.
"""
import random
import unittest

from reelstart import ReelstartTest
import winerun as w

# Names chosen for what CompareString does with them: hyphens and apostrophes count
# less than letters, case and ё/е differ only at later levels, digits are not numbers.
CHOSEN = [
    "film", "Film", "FILM", "film2", "film10", "film 2", "Film-2", "film_2", "film.2", "films",
    "co-op", "coop", "co op", "Co-Op", "coo-p", "-coop", "coop-", "co--op", "co'op", "c-o-o-p",
    "o'brien", "OBrien", "o brien", "O'Brien's", "'quoted'", "it's", "its", "it-s", "Its'",
    "ёлка", "Елка", "елка", "Ёлка", "ЁЛКА", "еж", "ёж", "Ежик", "ЁЖИК", "жук", "Жук",
    "яблоко", "Яблоко", "а-я", "ая", "а я", "а'я", "Щука", "щи", "ъ", "ь", "Ь-знак", "ы",
    "1", "01", "001", "10", "2", "1a", "1-a", "1 a", "Серия 1", "Серия 01", "Серия 10",
    "Серия 2", "Серия-2", "серия 2", "СЕРИЯ 2", "Серия2",
    "!", "#1", "&", "(1)", "[1]", "{1}", "~x", "+x", "=x", "@x", "^x", "_x", "x_", "a,b",
    "a;b", "a b", "a  b", "«Кино»", "Кино", "—Кино", "–x", "№5", "§1", "±1", "µ", "Ђ", "ў",
    "і", "ї", "є", "ґ", "a\u00a0b", "ab\u00adc", "abc", "x'-y", "x-'y", "''", "--", "-", "'",
]
EXTS = [".avi", ".AVI", ".wmv", ".mpg", ".Mpeg"]
POOL = ("abcdeABCDEyzYZ" "абвгдеёжзэюяАБВГДЕЁЖЗЭЮЯ" "0123456789" "--''  _.,!()")


def quicksort(items: list, compare) -> list:
    """The program's list quicksort: middle pivot, the pivot index kept on its item."""
    items = list(items)

    def sort_range(left, right):
        while left < right:
            i, j, pivot = left, right, (left + right) // 2
            while True:
                while compare(items[i], items[pivot]) < 0:
                    i += 1
                while compare(items[j], items[pivot]) > 0:
                    j -= 1
                if i <= j:
                    items[i], items[j] = items[j], items[i]
                    if pivot == i:
                        pivot = j
                    elif pivot == j:
                        pivot = i
                    i, j = i + 1, j - 1
                if i > j:
                    break
            if left < j:
                sort_range(left, j)
            left = i

    if len(items) > 1:
        sort_range(0, len(items) - 1)
    return items


class NameOrder(ReelstartTest):

    @classmethod
    def setUpClass(cls):
        cls.collate = w.helper("collate")  # built by scripts/build.sh
        super().setUpClass()

    def names(self) -> list[str]:
        rng = random.Random(5)
        names = [n + rng.choice(EXTS) for n in CHOSEN]
        while len(names) < 400:
            name = "".join(rng.choice(POOL) for _ in range(rng.randint(1, 9))).strip(" .")
            if name:
                names.append(name + rng.choice(EXTS))
        # The same names again, some in other case, so that equal names meet.
        for name in rng.sample(names, 80):
            again = rng.choice([name, name.upper(), name.lower()])
            try:
                again.encode(w.ANSI)  # 'µ'.upper() is Greek, outside the code page
            except UnicodeEncodeError:
                again = name
            names.append(again)
        return names

    def lay_out(self, names: list[str]):
        """Each name in the first of four folders that has no name equal to it but for
        case (the folders' own names need not sort anywhere in particular)."""
        folders = ["", "Сезон 1/", "b/", "Extras/Ещё/"]
        taken = [set() for _ in folders]
        for name in names:
            k = next((k for k, t in enumerate(taken) if name.lower() not in t), None)
            if k is None:
                continue
            taken[k].add(name.lower())
            self.film(folders[k] + name)

    def playlist_paths(self) -> list[str]:
        text = w.decode_ansi(self.playlist())
        return [line[len('\t\t<Ref href="'):-len('"/>')] for line in text.split("\r\n")
                if line.startswith('\t\t<Ref href="')]

    def compare_strings(self, names: list[str]) -> dict:
        """{(a, b): -1, 0 or 1} from CompareStringA for every pair of names."""
        listing, out = self.root / "names.txt", self.root / "collation.txt"
        listing.write_bytes("".join(n + "\r\n" for n in names).encode(w.ANSI))
        result = self.prefix.run(self.collate, [w.win_path(listing), w.win_path(out)])
        self.assertEqual(result.code, 0)
        rows = out.read_text().splitlines()
        self.assertEqual(len(rows), len(names))
        sign = {"<": -1, "=": 0, ">": 1}
        self.assertNotIn("0", "".join(rows), "CompareStringA failed")
        return {(a, b): sign[c] for a, row in zip(names, rows) for b, c in zip(names, row)}

    def test_name_order_is_compare_strings_order(self):
        self.lay_out(self.names())
        self.assertEqual(self.run_exe("/no").code, 0)
        walk = self.playlist_paths()
        self.assertGreater(len(walk), 400)

        def file_name(path):
            return path.rsplit("\\", 1)[-1]
        distinct = sorted({file_name(p) for p in walk})
        table = self.compare_strings(distinct)
        # Names that differ but compare equal, and equal names in two folders: ties.
        self.assertTrue(any(v == 0 and a != b for (a, b), v in table.items()))
        self.assertLess(len(distinct), len(walk))

        def by_name(p1, p2):
            return table[(file_name(p1), file_name(p2))]
        expected = {"/name": quicksort(walk, by_name),
                    "/name /desc": quicksort(walk, lambda p1, p2: by_name(p2, p1))}
        for args, order in expected.items():
            with self.subTest(args=args):
                self.assertEqual(self.run_exe(args).code, 0)
                self.assertEqual(self.playlist_paths(), order)

    def test_english_formats_with_russian_for_programs_that_are_not_unicode(self):
        # The names are Windows-1251 bytes; read in the Formats locale's code page
        # (1252), "Ёж" would sort as "¨æ", first.
        for name in ("Щука", "Ёж", "арбуз", "Яма", "Бык"):
            self.film(name + ".avi")
        self.assertEqual(self.prefix.run(str(self.install()), ["/name"], env=w.ENGLISH_FORMATS).code, 0)
        self.assertEqual(self.titles(), ["арбуз", "Бык", "Ёж", "Щука", "Яма"])


if __name__ == "__main__":
    unittest.main()
