#!/usr/bin/env python3
"""The names a film disc can carry so that Windows shows and opens every entry: the
rules scripts/make-disc.sh refuses a folder by, in one table (RULES), which its
tests read too.

    python3 scripts/disc_names.py FOLDER [WORK]

prints one line for each entry of FOLDER that breaks a rule, "'path': why", the
path relative to FOLDER; nothing when all can go on the disc. A start.exe or
autorun.inf at FOLDER's root is not checked: the disc gets its own. Symbolic links
are checked by their names, not followed. WORK, a folder, gets what make-disc.sh
reads of FOLDER, from the same walk, so that what it checks, counts, dates, hashes
and puts on the disc are the same entries (see write_work()).
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
LEFT_OUT = {"START.EXE": "start.exe", "AUTORUN.INF": "autorun.inf"}   # at the root, in any case
# The films Reelstart plays: by extension, in any case of ASCII letters, as it compares them.
FILMS = tuple(b".avi .divx .dvr-ms .m1v .mp2 .mpeg .mpa .mpe .mpg .mpv2 .mp2v .wmv".split())
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
    """One walk of `folder`: (every entry below it, as (path, Entry) pairs, folder by
    folder, in name order, but the names at its root the disc has its own of (LEFT_OUT,
    in Windows' any case); those names)."""
    listing, left_out = [], []
    for top, dirs, files in os.walk(folder):
        dirs.sort()
        names = sorted(dirs + files)
        relative = os.path.relpath(top, folder)
        if relative == ".":
            left_out = [n for n in names if windows_upper(n) in LEFT_OUT]
            names = [n for n in names if n not in left_out]
            dirs[:] = [d for d in dirs if d in names]
        counts = collections.Counter(windows_upper(n) for n in names)
        for name in names:
            path = name if relative == "." else os.path.join(relative, name)
            listing.append((path, Entry(name, path.replace("/", "\\"), counts[windows_upper(name)],
                                        os.lstat(os.path.join(top, name)))))
    return listing, left_out


def on_disc(listing):
    """The entries of `listing` the image carries: all but symbolic links, which
    genisoimage without Rock Ridge drops (a fifo goes on as an empty file)."""
    return [(path, entry) for path, entry in listing if not stat.S_ISLNK(entry.info.st_mode)]


def catalogue(listing) -> bytes:
    """What the disc shows of `listing` (entries()' pairs), in its order: each folder's
    path and date, each file's path, size and date, dates in seconds as the image keeps
    them. Nothing the image leaves out, nor a folder's own size, which is its file
    system's (ext4 keeps the most a folder ever held, tmpfs counts its entries), so that
    a copy on any file system has the same catalogue."""
    out = bytearray()
    for path, entry in on_disc(listing):
        date = entry.info.st_mtime_ns // 10**9
        if stat.S_ISDIR(entry.info.st_mode):
            out += b"d\0%s\0%d\0" % (os.fsencode(path), date)
        else:
            out += b"f\0%s\0%d\0%d\0" % (os.fsencode(path), entry.info.st_size, date)
    return bytes(out)


def write_work(folder: str, listing, left_out, work: str) -> None:
    """What make-disc.sh reads of `folder`, into files of `work`:
    summary    the number of films on the disc and the date of its newest entry (in
               seconds; 0 when it has none), on one line
    root       the names of folder's root entries on the disc, each ended by a NUL
    notes      a line for each name left out at the root
    catalogue  catalogue(), the image's volume set id is made from it."""
    carried = on_disc(listing)
    films = sum(not stat.S_ISDIR(e.info.st_mode) and os.fsencode(e.name).lower().endswith(FILMS)
                for _, e in carried)
    newest = max((e.info.st_mtime_ns // 10**9 for _, e in carried), default=0)
    notes = "".join(f"{os.path.join(folder, name)} is left out; the disc gets its own "
                    f"{LEFT_OUT[windows_upper(name)]}\n" for name in left_out)
    files = {
        "summary": b"%d %d\n" % (films, newest),
        "root": b"".join(os.fsencode(e.name) + b"\0" for path, e in carried if path == e.name),
        "notes": os.fsencode(notes),
        "catalogue": catalogue(listing),
    }
    for name, data in files.items():
        with open(os.path.join(work, name), "wb") as f:
            f.write(data)

def shown(path: str) -> str:
    """A path fit for one line: control characters written out."""
    return FORBIDDEN.sub(lambda m: m[0] if m[0] in '\\:*?"<>|' else f"\\x{ord(m[0]):02x}", path)


def main() -> int:
    if len(sys.argv) not in (2, 3) or not all(map(os.path.isdir, sys.argv[1:])):
        print("usage: disc_names.py FOLDER [WORK]", file=sys.stderr)
        return 2
    sys.stdout.reconfigure(errors="backslashreplace")
    listing, left_out = entries(sys.argv[1])   # one walk, for the rules and make-disc.sh alike
    if len(sys.argv) == 3:
        write_work(sys.argv[1], listing, left_out, sys.argv[2])
    for path, entry in listing:
        for why, breaks in RULES.values():
            if breaks(entry):
                print(f"'{shown(path)}': {why}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
