"""Film discs made by scripts/make-disc.sh: an image mounted read-only (fuseiso) as Wine's
CD-ROM drive D: and started from there as AutoRun starts it; what the images hold, read
back with 7-Zip's UDF reader (the file system Windows reads on such a disc); and what the
script refuses."""
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import winerun as w
from reelstart import EXE, ROOT, WORK, ReelstartTest, playlist_text

sys.path.insert(0, str(ROOT / "scripts"))
import disc_names  # noqa: E402  (the names' rules make-disc.sh refuses a folder by)

SCRIPT = ROOT / "scripts" / "make-disc.sh"
GIB = 1 << 30
GENERIC_READ, OPEN_EXISTING = 0x80000000, 3


def make_disc(folder, output, *args, env=None) -> subprocess.CompletedProcess:
    """Run make-disc.sh, with the exe Wine runs here as the disc's start.exe; `env`:
    more of its environment."""
    env = dict(os.environ, REELSTART_DISC_EXE=str(EXE), **(env or {}))
    return subprocess.run(["bash", str(SCRIPT), str(folder), str(output), *map(str, args)],
                          capture_output=True, text=True, env=env, timeout=w.scaled(120))


def catalogue(image, kind: str = "udf") -> dict:
    """{path: size, None for a folder} of one file system of the image ("udf" or "iso":
    Joliet where there is one), as 7-Zip lists it; "" is 7-Zip's description of it."""
    out = subprocess.run(["7z", "l", "-slt", f"-t{kind}", str(image)], capture_output=True,
                         text=True, env=dict(os.environ, LC_ALL="C.UTF-8"), timeout=w.scaled(60))
    if out.returncode:
        raise AssertionError(f"7z cannot list {image} as {kind}: {out.stdout}{out.stderr}")
    head, _, body = out.stdout.partition("\n----------\n")
    entries = {"": dict(line.split(" = ", 1) for line in head.split("\n--\n", 1)[1].splitlines()
                        if " = " in line)}
    for block in body.split("\n\n"):
        fields = dict(line.split(" = ", 1) for line in block.splitlines() if " = " in line)
        if "Path" in fields:
            entries[fields["Path"]] = None if fields.get("Folder") == "+" else int(fields["Size"])
    return entries


def extract(image, path: str) -> bytes:
    """A file of the image, read through its UDF file system."""
    return subprocess.run(["7z", "e", "-so", "-tudf", str(image), path], capture_output=True,
                          check=True, timeout=w.scaled(60)).stdout


def autorun(switches: str, label: str) -> bytes:
    return (f"[autorun]\r\nopen=start.exe{switches}\r\nicon=start.exe,0\r\n"
            f"label={label}\r\n").encode("ascii")


class WorkFolder(unittest.TestCase):
    """A fresh folder per test under E2E_WORK, for the tests without Wine."""

    def setUp(self):
        self.root = WORK / type(self).__module__ / type(self).__name__ / self._testMethodName
        shutil.rmtree(self.root, ignore_errors=True)
        self.root.mkdir(parents=True)

    def file(self, relative: str, size: int = 1) -> pathlib.Path:
        path = self.root / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        with open(path, "wb") as f:
            f.truncate(size)  # sparse
        return path


class Refusals(WorkFolder):

    def test_refusals_leave_nothing_behind(self):
        self.file("films/Фильм.avi", 1000)
        self.file("no films/readme.txt", 10)
        self.file("no films/sub/film.mkv", 10)
        self.file("no films on the disc/autorun.ınf/a.avi")  # left out: Windows reads ı as I
        self.file("too big/Фильм.avi", 740_000_000)  # 361,329 sectors and more: over a CD's 360,000
        other = self.root / "out" / "other.iso"
        other.parent.mkdir()
        other.write_bytes(b"not an image")
        (self.root / "films" / "work").mkdir()
        # One folder for each of disc_names.RULES, named after it: a film, and one name
        # that breaks the rule.
        bad = {"long name": "x" * 100 + ".avi", "forbidden character": "What?.avi",
               "device name": "Sub/com1.Wmv", "trailing dot or space": "Extra./b.avi",
               "case twin": "Film.avi", "path too long": "x" * 100 + "/" + "y" * 100 + "/" + "z" * 60 + ".avi"}
        for rule, name in bad.items():
            self.file(f"{rule}/a.avi")
            self.file(f"{rule}/{name}")
        self.file("case twin/film.AVI")
        self.file("superscript device name/a.avi")  # the device name rule's, again
        self.file("superscript device name/COM¹.avi")
        for name in ("a.avi", "con.part1.avi", "LPT1.x.wmv"):  # the device: the part before the first dot
            self.file(f"device name before the first dot/{name}")
        for name in ("a.avi", "Straße.avi", "STRASSE.avi", "ё.avi", "Ё.avi"):  # one character to one
            self.file(f"case twin by character/{name}")
        cases = [  # (folder, output, options, message[, environment])
            ("missing", "out/a.iso", [], r"no folder"),
            ("no films", "out/a.iso", [], r"holds no film"),
            ("no films on the disc", "out/a.iso", [], r"holds no film"),
            ("films", "out/other.iso", [], r"other\.iso exists and is not an image made by make-disc\.sh"),
            ("too big", "out/a.iso", ["--size", "cd"], r"needs \d+ sectors .* more than a cd holds \(360000\)"),
            ("films", "films/a.iso", [], r"would hold itself"),
            ("/", "out/a.iso", [], r"FOLDER is / itself"),
            ("films", "out/a.iso", [], r"work folder would lie inside .*films",
             {"TMPDIR": str(self.root / "films" / "work")}),
            ("long name", "out/a.iso", [], r"'x{100}\.avi': longer than 103 characters"),
            ("forbidden character", "out/a.iso", [], r"'What\?\.avi': holds"),
            ("device name", "out/a.iso", [], r"'Sub/com1\.Wmv': a device name"),
            ("superscript device name", "out/a.iso", [], r"'COM¹\.avi': a device name"),
            ("device name before the first dot", "out/a.iso", [],
             r"'LPT1\.x\.wmv': a device name.*\nmake-disc\.sh: 'con\.part1\.avi': a device name"),
            ("trailing dot or space", "out/a.iso", [], r"'Extra\.': ends in a dot or a space"),
            ("case twin", "out/a.iso", [], r"'Film\.avi': differs from another name of its folder in case alone"),
            ("case twin by character", "out/a.iso", [],   # these two, and no more
             r"'Ё\.avi': differs from .*\nmake-disc\.sh: 'ё\.avi': differs from [^\n]*\n\Z"),
            ("path too long", "out/a.iso", [], r"'x{100}/y{100}/z{60}\.avi': its path on the disc, D:\\ included"),
        ]
        self.assertLessEqual(set(disc_names.RULES), {case[0] for case in cases})  # a row for each rule
        for folder, output, options, message, *env in cases:
            with self.subTest(folder=folder, output=output):
                before = {p: p.read_bytes() for p in self.root.rglob("*") if p.is_file() and p.stat().st_size < 100}
                listing = sorted(self.root.rglob("*"))
                r = make_disc(self.root / folder, self.root / output, *options, env=env[0] if env else None)
                self.assertEqual(r.returncode, 1, r.stderr)
                self.assertRegex(r.stderr, "^make-disc.sh: .*" + message)
                self.assertEqual(sorted(self.root.rglob("*")), listing)  # no image, no temporary
                self.assertEqual({p: p.read_bytes() for p in before}, before)

    def test_a_second_run_replaces_its_own_image(self):
        self.file("films/a.avi", 10)
        self.file("films/Extra/b.avi", 10)
        image = self.root / "film.iso"
        for label in ("First", "Second"):
            r = make_disc(self.root / "films", image, "--label", label)
            self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(extract(image, "autorun.inf"), autorun("", "Second"))
        # A second image of the same folder, a second later, elsewhere: the same bytes.
        time.sleep(1.1)
        again = self.root / "again.iso"
        r = make_disc(self.root / "films", again, "--label", "Second", env={"TZ": "Asia/Tokyo"})
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(again.read_bytes(), image.read_bytes())
        # The same films (dates and all) in another folder, at another path: the same bytes.
        moved = self.root / "elsewhere" / "other name"
        shutil.copytree(self.root / "films", moved)
        r = make_disc(moved, self.root / "moved.iso", "--label", "Second")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual((self.root / "moved.iso").read_bytes(), image.read_bytes())
        # Its cp -a copy on another file system, whose folders have sizes of their own
        # (tmpfs counts entries, ext4 keeps the most a folder held): the same bytes.
        shm = "/dev/shm" if os.access("/dev/shm", os.W_OK) else None
        if not shm:
            print(f"note: no /dev/shm to write to: the copy goes to {tempfile.gettempdir()}", file=sys.stderr)
        copy = pathlib.Path(tempfile.mkdtemp(dir=shm)) / "films"
        self.addCleanup(shutil.rmtree, copy.parent)
        subprocess.run(["cp", "-a", str(self.root / "films"), str(copy)], check=True, timeout=w.scaled(60))
        r = make_disc(copy, self.root / "copy.iso", "--label", "Second")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual((self.root / "copy.iso").read_bytes(), image.read_bytes())


class BigFilm(WorkFolder):

    def test_a_film_over_4_gib_keeps_its_size_in_udf_on_a_sparse_image(self):
        big = 4 * GIB + 512 * 2**20
        self.file("films/Большой фильм & титры.avi", big)
        self.file("films/1/2/3/4/5/6/7/8/9/deep.avi")  # deeper than ISO 9660's 8 levels
        image = self.root / "film.iso"
        r = make_disc(self.root / "films", image)
        self.assertEqual(r.returncode, 0, r.stderr)
        udf = catalogue(image)
        self.assertEqual((udf[""]["Type"], udf[""]["Version"]), ("Udf", "1.02"))  # XP reads 1.02 to 2.01
        self.assertEqual((udf["Большой фильм & титры.avi"], udf.get("1/2/3/4/5/6/7/8/9/deep.avi")), (big, 1))
        # The image is as large as the film, and costs little disk.
        self.assertGreater(image.stat().st_size, big)
        self.assertLess(image.stat().st_blocks * 512, 16 * 2**20)


class AutoRunFromDisc(ReelstartTest):
    """The image of a tree, mounted read-only as drive D: (a CD-ROM drive), and the
    open= line of its autorun.inf run with D:\\ as the current folder, as AutoRun does."""

    @classmethod
    def setUpClass(cls):
        for tool in ("fuseiso", "fusermount", "7z"):
            if not shutil.which(tool):
                w.missing(f"{tool} is missing: bash scripts/setup-debian.sh")
        if not os.path.exists("/dev/fuse"):
            w.missing("no /dev/fuse here: a disc image cannot be mounted without root")
        super().setUpClass()

    def mount(self, image) -> pathlib.Path:
        point = self.root / "disc"
        point.mkdir()
        r = subprocess.run(["fuseiso", "-n", str(image), str(point)], capture_output=True, text=True, timeout=w.scaled(30))
        if r.returncode:
            w.missing(f"fuseiso cannot mount here: {r.stderr.strip()}")
        self.addCleanup(subprocess.run, ["fusermount", "-u", str(point)], timeout=w.scaled(30))
        return point

    def test_started_from_a_read_only_disc(self):
        sizes = {"Фильм & титры.avi": 6000,
                 "Сериал & Co/Сезон 1/Серия 1 — название длиннее шестидесяти четырёх знаков, что Joliet позволяет.mpg": 5000,
                 ".hidden/Трейлер.WMV": 2000,
                 "Extra/clip.mpeg": 4000,
                 "readme.txt": 9000}          # not a film
        for name, size in sizes.items():
            self.film(name, size)
        image = self.root / "film.iso"
        r = make_disc(self.films, image, "--label", "Мои фильмы & co", "--", "/size", "/asc")
        self.assertEqual(r.returncode, 0, r.stderr)
        on_disc = {**sizes, "start.exe": EXE.stat().st_size,
                   "autorun.inf": len(autorun(" /size /asc", "Moi filmy co"))}
        folders = {"Сериал & Co", "Сериал & Co/Сезон 1", ".hidden", "Extra"}
        udf = catalogue(image)
        del udf[""]
        self.assertEqual(udf, {**on_disc, **dict.fromkeys(folders)})

        disc = self.mount(image)
        # fuseiso reads Joliet, whose names genisoimage also gives UDF: Wine sees the
        # names Windows sees.
        seen = {str(p.relative_to(disc)): p.stat().st_size for p in disc.rglob("*") if p.is_file()}
        self.assertEqual(seen, on_disc)
        inf = (disc / "autorun.inf").read_bytes()
        self.assertEqual(inf, autorun(" /size /asc", "Moi filmy co"))
        before = sorted((str(p), p.stat().st_size, p.stat().st_mtime_ns) for p in disc.rglob("*"))

        drive = self.prefix.add_drive("d", disc, "cdrom")
        self.addCleanup(self.prefix.remove_drive, "d")
        command = re.search(r"^open=(.*)\r$", inf.decode("ascii"), re.M)[1]
        cmd = os.path.join(self.prefix.path, "drive_c", "windows", "system32", "cmd.exe")
        opens = ["CreateFileA", "CreateFileW", "CreateDirectoryA", "CreateDirectoryW",
                 "DeleteFileA", "DeleteFileW", "MoveFileA", "MoveFileW"]
        result = self.prefix.run(cmd, "/c " + drive + command, cwd=str(disc), relay=opens)

        self.assertEqual(result.code, 0)
        self.assertEqual(self.playlist(), playlist_text(   # /size /asc: smallest first
            (r"D:\.hidden\Трейлер.WMV", "Трейлер"),
            (r"D:\Extra\clip.mpeg", "clip"),
            (r"D:\Сериал & Co\Сезон 1\Серия 1 — название длиннее шестидесяти четырёх знаков, что Joliet позволяет.mpg",
             "Серия 1 — название длиннее шестидесяти четырёх знаков, что Joliet позволяет"),
            (r"D:\Фильм & титры.avi", "Фильм & титры")))
        for root, values in self.statistics().items():
            with self.subTest(root=root):
                self.assertEqual((values["Start Directory"], values["VideoFiles Count"]),
                                 (("REG_SZ", "D:\\"), ("REG_DWORD", 4)))
        # On the disc, files were opened to read, and nothing else was tried.
        on_d = [c for c in result.calls if str(c.args[0]).upper().startswith("D:")]
        reads = [c for c in on_d if c.name.split(".")[1].startswith("CreateFile")
                 and c.args[1] == GENERIC_READ and c.args[4] == OPEN_EXISTING]
        self.assertGreaterEqual(len(reads), 4)
        self.assertEqual([c for c in on_d if c not in reads], [])
        self.assertEqual(sorted((str(p), p.stat().st_size, p.stat().st_mtime_ns) for p in disc.rglob("*")),
                         before)


if __name__ == "__main__":
    unittest.main()
