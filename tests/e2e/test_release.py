"""The release zip of scripts/release.sh, no Wine needed: what a disc author unpacks from
it, and that a second build, from a copy of the tree at another path, run from another
folder, later, in another time zone and with another umask, gives the same bytes."""
import os
import pathlib
import re
import shutil
import subprocess
import tempfile
import time
import unittest
import zipfile

ROOT = pathlib.Path(__file__).resolve().parents[2]
EXE = ROOT / "build" / "win32" / "Reelstart.exe"   # what the release ships as start.exe
SWITCHES = ("name", "size", "no", "asc", "desc", "?", "help")
NAMES = ["start.exe", "autorun.inf", "README.txt", "SHA256SUMS.txt"]


def release(tree: pathlib.Path, *args, **how) -> pathlib.Path:
    """Run the tree's release.sh with `args` (`how`: subprocess.run's cwd, env, umask);
    the one zip it leaves in its output folder (OUTDIR, else the tree's dist/)."""
    run = subprocess.run(["bash", str(tree / "scripts" / "release.sh"), *map(str, args)],
                         capture_output=True, text=True, timeout=600, **how)
    if run.returncode:
        raise AssertionError(f"release.sh failed ({run.returncode}):\n{run.stdout}{run.stderr}")
    outdir = pathlib.Path(args[0]) if args else tree / "dist"
    (made,) = outdir.glob("reelstart-*.zip")
    return made


def git(*args) -> str:
    return subprocess.run(["git", *args], cwd=ROOT, capture_output=True, text=True,
                          check=True).stdout


class Release(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="reelstart-release-"))
        cls.zip = release(ROOT, cls.work / "first", cwd=ROOT)
        cls.made = time.monotonic()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_what_a_disc_author_unpacks(self):
        version = re.fullmatch(r"reelstart-(\d+(?:\.\d+)*)\.zip", self.zip.name)
        self.assertTrue(version, self.zip.name)
        unpacked = self.work / "unpacked"
        with zipfile.ZipFile(self.zip) as archive:
            self.assertEqual(archive.namelist(), NAMES)
            archive.extractall(unpacked)
        self.assertEqual((unpacked / "start.exe").read_bytes(), EXE.read_bytes())
        self.assertEqual((unpacked / "autorun.inf").read_bytes(),
                         (ROOT / "disc" / "autorun.inf").read_bytes())

        sums = (unpacked / "SHA256SUMS.txt").read_bytes()
        self.assertNotIn(b"\r", sums, "shasum takes a CR for part of the file's name")
        check = subprocess.run(["sha256sum", "--strict", "-c", "SHA256SUMS.txt"], cwd=unpacked,
                               capture_output=True, text=True)
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
        self.assertEqual(sorted(check.stdout.splitlines()),
                         sorted(f"{name}: OK" for name in NAMES[:3]))

        guide = (unpacked / "README.txt").read_bytes()
        self.assertTrue(guide.startswith(b"\xef\xbb\xbf"), "README.txt: no UTF-8 byte order mark")
        text = guide[3:].decode("utf-8")
        self.assertFalse(re.search(r"\r(?!\n)|(?<!\r)\n", text), "a line end other than CR LF")
        self.assertIn("ПАРАМЕТРЫ ЗАПУСКА", text)
        for switch in SWITCHES:
            self.assertTrue(re.search(rf"(?<![\w/-])/{re.escape(switch)}(?!\w)", text),
                            f"README.txt does not name /{switch}")
        self.assertIn(rf"Software\Velkor Programs\Reelstart\{version[1]}", text)

    def test_a_second_build_elsewhere_gives_the_same_bytes(self):
        copy = self.work / "elsewhere" / "tree"
        for name in git("ls-files", "-z", "-co", "--exclude-standard").split("\0"):
            if name and (ROOT / name).is_file():   # a file deleted but not yet committed is not
                (copy / name).parent.mkdir(parents=True, exist_ok=True)
                shutil.copy(ROOT / name, copy / name)   # new times
        # The copy has no git: its zip is dated as the first one.
        epoch = os.environ.get("SOURCE_DATE_EPOCH") or git("log", "-1", "--format=%ct").strip()
        time.sleep(max(0.0, self.made + 2.5 - time.monotonic()))  # a clock would tick in a zip
        second = release(copy, cwd=copy.parent, umask=0o077,
                         env=dict(os.environ, SOURCE_DATE_EPOCH=epoch, TZ="Asia/Vladivostok"))
        self.assertEqual(second.name, self.zip.name)
        self.assertTrue(second.read_bytes() == self.zip.read_bytes(),
                        f"{second} differs from {self.zip}")


if __name__ == "__main__":
    unittest.main()
