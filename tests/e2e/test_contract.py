"""The platform contract (tests/support/PlatformContract.h) under Wine: the cases the
host unit tests run against the in-memory stand-in, here against Win32Platform, the
program's own layer over the real calls (contract/contract.cpp), built by
scripts/build.sh for the prefix's architecture (winerun.HELPERS). A case that fails here and passes on the host is
a stand-in that believes what Windows does not do.

The read-only volume is a drive of type cdrom whose Unix folder and files have no write
bits for their owner, in a prefix whose wineserver cannot override them (as
test_hostile's); one file keeps write bits for others, so that Wine shows it writable.
Folder links and a folder named of dots alone are made on the Unix side, where Windows
calls cannot make them. The program runs as "contract program.exe" in a folder named
"Reelstart contract", so that its path and its 8.3 form differ.
"""
import os
import re
import shutil
import sys
import unittest

import winerun as w
from reelstart import WORK
from test_hostile import UserPrefix

HERE = WORK / __name__


class Contract(unittest.TestCase):

    def test_every_case_holds_on_wine(self):
        HERE.mkdir(parents=True, exist_ok=True)
        exe = HERE / "Reelstart contract" / "contract program.exe"
        exe.parent.mkdir(exist_ok=True)
        shutil.copyfile(w.helper("contract"), exe)
        disc = HERE / "disc"
        if disc.exists():
            os.chmod(disc, 0o755)
            shutil.rmtree(disc)
        disc.mkdir()
        for name, mode in (("film.avi", 0o444), ("writable.avi", 0o466)):
            (disc / name).write_bytes(b"0123456789")
            os.chmod(disc / name, mode)
        os.chmod(disc, 0o555)
        linked = HERE / "linked"
        shutil.rmtree(linked, ignore_errors=True)
        (linked / "Target").mkdir(parents=True)
        (linked / "Target" / "film.avi").write_bytes(b"0123456789")
        (linked / "Link").symlink_to("Target")
        (linked / "Target" / "Back").symlink_to("..")
        (linked / "...").mkdir()
        (linked / "..." / "film.avi").write_bytes(b"0123456789")
        with UserPrefix(str(HERE / "prefix")) as prefix:
            self.assertFalse(prefix.server_overrides_permissions())
            drive = prefix.add_drive("r", disc, "cdrom")
            runs = [prefix.run(str(exe), [drive, w.win_path(linked)], timeout=120),
                    prefix.run(str(exe), [drive, w.win_path(linked), "english-formats"],
                               env=w.ENGLISH_FORMATS, timeout=60)]
        for r in runs:
            out = r.stdout if isinstance(r.stdout, str) else w.decode_ansi(r.stdout)
            print(out, file=sys.stderr)
            summary = re.search(r"^(\d+) cases ran, (\d+) failed", out, re.M)
            self.assertIsNotNone(summary, out)
            self.assertGreater(int(summary[1]), 0)
            self.assertEqual(re.findall(r"^FAIL .*(?:\n  .*)*", out, re.M), [])
            self.assertEqual((int(summary[2]), r.code), (0, 0))


if __name__ == "__main__":
    unittest.main()
