#!/usr/bin/env python3
"""The names a film disc can carry so that Windows shows and opens every entry: the
rules scripts/make-disc.sh refuses a folder by, in one table (RULES), which its
tests read too.

    python3 scripts/disc_names.py FOLDER [CATALOGUE]

prints one line for each entry of FOLDER that breaks a rule, "'path': why", the
path relative to FOLDER; nothing when all can go on the disc. A start.exe or
autorun.inf at FOLDER's root is not checked: the disc gets its own. Symbolic links
are checked by their names, not followed. CATALOGUE, when given, gets what the
disc shows of FOLDER, from the same walk (see catalogue()): make-disc.sh makes the
image's volume set id from it.
"""
import collections
import os
import re
import stat
import sys
from typing import NamedTuple

MAX_NAME = 103     # the longest Joliet name genisoimage writes (-joliet-long); UDF's come from them
MAX_PATH = 259     # what Windows' paths take: MAX_PATH less the terminating zero
DISC_ROOT = "D:\\"  # the root of a disc in its drive, for the path limit
LEFT_OUT = {"START.EXE", "AUTORUN.INF"}   # at the root, in any case
# Windows also reserves COM and LPT with a superscript 1, 2 or 3 (U+00B9 U+00B2 U+00B3 of
# Latin-1): names arrive decoded from UTF-8, so each is one character here.
DEVICE = re.compile("CON|PRN|AUX|NUL|COM[1-9\u00b9\u00b2\u00b3]|LPT[1-9\u00b9\u00b2\u00b3]", re.I)
FORBIDDEN = re.compile(r'[\\:*?"<>|\x00-\x1f\x7f]')


class Entry(NamedTuple):
    name: str
    path: str    # on the disc, below its root, with '\'
    twins: int   # names of its folder, itself included, that Windows reads as the same
    info: os.stat_result   # its own (lstat), a symbolic link's and not its target's


def windows_upper(name: str) -> str:
    """The name as Windows compares names: each character to its one upper-case
    character, where it has one ('ß' stays)."""
    return "".join(c.upper() if len(c.upper()) == 1 else c for c in name)


def utf16_length(text: str) -> int:
    return len(text.encode("utf-16-le", "surrogatepass")) // 2


# rule: (why an entry that breaks it cannot go on the disc, the test of an Entry)
RULES = {
    "long name": (f"longer than {MAX_NAME} characters: genisoimage would cut it, extension and all",
                  lambda e: len(e.name) > MAX_NAME),
    "forbidden character": ('holds \\ : * ? " < > | or a control character, which Windows does not '
                            "allow in a name", lambda e: FORBIDDEN.search(e.name)),
    "device name": ("a device name to Windows (CON PRN AUX NUL COM1-9 LPT1-9, also COM¹-³ LPT¹-³; "
                    "with any extension): it opens the device, not the file",
                    lambda e: DEVICE.fullmatch(e.name.split(".")[0].rstrip(" "))),
    "trailing dot or space": ("ends in a dot or a space, which Windows drops: the name opens "
                              "another entry or none", lambda e: e.name.endswith((".", " "))),
    "case twin": ("differs from another name of its folder in case alone: Windows shows only one "
                  "of them", lambda e: e.twins > 1),
    "path too long": (f"its path on the disc, {DISC_ROOT} included, is longer than {MAX_PATH} "
                      "characters, the longest Windows opens",
                      lambda e: utf16_length(DISC_ROOT + e.path) > MAX_PATH),
}


def entries(folder: str):
    """Every entry below `folder` that goes on the disc, folder by folder, in name order."""
    for top, dirs, files in os.walk(folder):
        dirs.sort()
        names = sorted(dirs + files)
        relative = os.path.relpath(top, folder)
        if relative == ".":
            names = [n for n in names if windows_upper(n) not in LEFT_OUT]
            dirs[:] = [d for d in dirs if d in names]
        counts = collections.Counter(windows_upper(n) for n in names)
        for name in names:
            path = name if relative == "." else os.path.join(relative, name)
            yield path, Entry(name, path.replace("/", "\\"), counts[windows_upper(name)],
                              os.lstat(os.path.join(top, name)))


def catalogue(listing) -> bytes:
    """What the disc shows of `listing` (entries()' pairs), in its order: each folder's
    path and date, each file's path, size and date, dates in seconds as the image keeps
    them. Nothing the image leaves out: not a symbolic link (genisoimage without Rock
    Ridge drops them), not a folder's own size, which is its file system's (ext4 keeps
    the most a folder ever held, tmpfs counts its entries), so that a copy on any file
    system has the same catalogue."""
    out = bytearray()
    for path, entry in listing:
        mode, date = entry.info.st_mode, entry.info.st_mtime_ns // 10**9
        if stat.S_ISDIR(mode):
            out += b"d\0%s\0%d\0" % (os.fsencode(path), date)
        elif not stat.S_ISLNK(mode):   # a file (a fifo, of size 0, goes on as an empty one)
            out += b"f\0%s\0%d\0%d\0" % (os.fsencode(path), entry.info.st_size, date)
    return bytes(out)


def shown(path: str) -> str:
    """A path fit for one line: control characters written out."""
    return FORBIDDEN.sub(lambda m: m[0] if m[0] in '\\:*?"<>|' else f"\\x{ord(m[0]):02x}", path)


def main() -> int:
    if len(sys.argv) not in (2, 3) or not os.path.isdir(sys.argv[1]):
        print("usage: disc_names.py FOLDER [CATALOGUE]", file=sys.stderr)
        return 2
    sys.stdout.reconfigure(errors="backslashreplace")
    listing = list(entries(sys.argv[1]))   # one walk, for the rules and the catalogue alike
    if len(sys.argv) == 3:
        with open(sys.argv[2], "wb") as f:
            f.write(catalogue(listing))
    for path, entry in listing:
        for why, breaks in RULES.values():
            if breaks(entry):
                print(f"'{shown(path)}': {why}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
