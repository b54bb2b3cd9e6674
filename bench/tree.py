"""A large synthetic folder tree of films for the benchmark, made once and reused.

The tree is fixed by its parameters and a seed: the same parameters give the same
names and sizes, so a tree whose stamp matches is used as it is.  Every file is
sparse (truncate): the 20,000 "films" of up to 12 GiB take no disk space.

What it holds, with the default parameters:
* 2,000 folders (the root included) up to 5 levels deep: collections, series,
  seasons, extras; hidden folders and folders named like video files ("clips.avi").
* 100,000 entries in all (folders and files), of which 20,000 video files with the
  program's extensions in mixed case, the rest subtitles, covers, notes and video
  formats the program does not take (.mkv, .mp4, .vob).
* Video sizes from 1 MiB clips to 12 GiB films, about 6 % of them over 4 GiB, and
  some sizes shared by many files, so that ties fall back to the full path.
* Names in Latin and Cyrillic (Windows-1251 only, so the ANSI listing returns them
  unchanged), mixed case, digits, hyphens, apostrophes and other punctuation, the
  same name in many folders, and long names up to the 260-character path limit.
"""
from __future__ import annotations

import hashlib
import json
import os
import random
import shutil
import time

GENERATOR = 1  # raise when the tree made from the same parameters changes

VIDEO_EXTS = [".avi", ".AVI", ".Avi", ".divx", ".dvr-ms", ".m1v", ".mp2", ".mpeg", ".MPG", ".mpa",
              ".mpe", ".mpg", ".mpv2", ".mp2v", ".wmv", ".WMV"]
OTHER_EXTS = [".srt", ".sub", ".idx", ".nfo", ".txt", ".jpg", ".JPG", ".png", ".mkv", ".mp4",
              ".vob", ".ifo", ".bup", ".asx", ".m3u", ".url", ".ini", ".db", ""]

LATIN = ["the", "night", "city", "last", "train", "blue", "river", "summer", "ghost", "story",
         "black", "sun", "winter", "road", "home", "red", "line", "lost", "world", "dark",
         "star", "man", "woman", "king", "island", "secret", "garden", "empire", "fire", "ice"]
CYRILLIC = ["ночь", "город", "последний", "поезд", "синий", "река", "лето", "призрак",
            "история", "чёрный", "солнце", "зима", "дорога", "дом", "красный", "линия",
            "потерянный", "мир", "тёмный", "звезда", "брат", "сестра", "война", "мир",
            "ёжик", "туман", "щука", "эхо", "юность", "ярмарка", "жизнь", "цирк", "шторм"]
PUNCT = [" - ", " ", " ", " ", "-", "'", "_", ". ", ", ", " & ", "!", " (", ") ", "[", "] ",
         " — ", " «", "» ", " №", "+", "=", "~", "#", "'s "]


def _word(rng: random.Random) -> str:
    w = rng.choice(CYRILLIC if rng.random() < 0.5 else LATIN)
    style = rng.random()
    if style < 0.3:
        return w.capitalize()
    if style < 0.4:
        return w.upper()
    if style < 0.45:
        return w[:1] + w[1:].upper()
    return w


def _title(rng: random.Random, words: int) -> str:
    parts = [_word(rng)]
    for _ in range(words - 1):
        parts.append(rng.choice(PUNCT))
        parts.append(_word(rng))
    if rng.random() < 0.3:
        parts.append(f" ({rng.randint(1950, 2012)})")
    if rng.random() < 0.2:
        parts.append(f" {rng.randint(1, 99):02d}")
    name = "".join(parts).strip(" .")
    return name or "x"


def _video_name(rng: random.Random) -> str:
    kind = rng.random()
    if kind < 0.25:  # episodes: the same names in many folders
        return rng.choice([f"Серия {rng.randint(1, 26):02d}", f"S{rng.randint(1, 9):02d}E{rng.randint(1, 24):02d}",
                           f"Episode {rng.randint(1, 26)}", f"серия-{rng.randint(1, 26)}"])
    if kind < 0.3:  # sample, trailer...
        return rng.choice(["sample", "Trailer", "трейлер", "Making-of", "VTS_01_1", "vts_01_2",
                           "intro", "Intro", "INTRO", "1", "01", "10", "2", "a", "A"])
    return _title(rng, rng.randint(1, 6))


def _size(rng: random.Random) -> int:
    kind = rng.random()
    MiB, GiB = 1 << 20, 1 << 30
    if kind < 0.06:
        return rng.randint(4 * GiB + 1, 12 * GiB)          # over 4 GiB
    if kind < 0.14:
        return rng.choice([734003200, 700 * MiB, 1466 * MiB, 4 * GiB, 350 * MiB, 0, 1])  # ties
    if kind < 0.40:
        return rng.randint(1 * MiB, 60 * MiB)              # clips
    if kind < 0.75:
        return rng.randint(150 * MiB, 450 * MiB)           # episodes
    return rng.randint(600 * MiB, 4 * GiB - 1)             # films


def _fit(name: str, ext: str, budget: int) -> str | None:
    """name + ext cut so that its Windows-1251 length fits `budget` and its UTF-8 form
    the 255 bytes a Linux name may have; None when no character of the name is left."""
    name = name[:max(0, budget - len(ext))]
    while len((name + ext).encode()) > 255:
        name = name[:-1]
    name = name.rstrip(" .")
    return name + ext if name else None


def plan(folders: int, entries: int, videos: int, seed: int, root_len: int) -> tuple[list, list]:
    """(folder paths, [(file path, size)]), paths relative, '/'-separated.  root_len: the
    length of the root's Windows path with its trailing backslash."""
    rng = random.Random(seed)
    limit = 259 - root_len  # MAX_PATH less the terminating zero
    tree = [("", 0)]  # (relative path, depth)
    taken = {""}
    while len(tree) < folders:
        parent, depth = rng.choice(tree) if rng.random() < 0.7 else tree[0]
        if depth >= 5:
            continue
        r = rng.random()
        if r < 0.03:
            base = "." + _word(rng).lower()                       # hidden on Wine
        elif r < 0.05:
            base = _word(rng) + rng.choice([".avi", ".wmv", ".MPG"])  # a folder, not a film
        elif r < 0.25:
            base = rng.choice(["Сезон ", "Season ", "season-", "Диск "]) + str(rng.randint(1, 12))
        elif r < 0.3:
            base = rng.choice(["Extras", "Доп. материалы", "VIDEO_TS", "sample", "Trailers"])
        else:
            base = _title(rng, rng.randint(1, 4 if rng.random() < 0.9 else 12))
        # folders keep room for a file of at least 60 characters below them
        room = limit - 60 - (len(parent) + 1 if parent else 0)
        name = _fit(base, "", min(room, 120))
        if not name:
            continue
        path = f"{parent}/{name}" if parent else name
        if path.lower() in taken:
            continue
        taken.add(path.lower())
        tree.append((path, depth + 1))

    files, names = [], set()
    total_files = entries - (folders - 1)  # the root is not an entry of any listing
    for i in range(total_files):
        video = i < videos
        folder = rng.choice(tree)[0]
        room = limit - (len(folder) + 1 if folder else 0)
        while True:
            if video:
                ext = rng.choice(VIDEO_EXTS)
                base = _video_name(rng)
                if rng.random() < 0.05:  # long names, up to the path limit
                    base = base + " - " + _title(rng, 30)
                size = _size(rng)
            else:
                ext = rng.choice(OTHER_EXTS)
                base = _video_name(rng) if rng.random() < 0.5 else _title(rng, rng.randint(1, 3))
                size = rng.randint(0, 200_000)
            name = _fit(base, ext, min(room, 200))
            if name is None:
                folder, room = "", limit
                continue
            path = f"{folder}/{name}" if folder else name
            if path.lower() not in names and path.lower() not in taken:
                break
            base = f"{base} {rng.randint(2, 999)}"
        names.add(path.lower())
        files.append((path, size))
    rng.shuffle(files)  # the listing order does not follow creation anyway
    return [p for p, _ in tree[1:]], files


def make(root: str, *, folders: int, entries: int, videos: int, seed: int, root_len: int,
         log=print) -> dict:
    """Make the tree at `root` unless a tree of the same parameters is there.  Returns
    its stamp: the parameters, the counts and the time it took to make."""
    params = dict(generator=GENERATOR, folders=folders, entries=entries, videos=videos, seed=seed,
                  root_len=root_len)
    stamp_path = root.rstrip("/") + ".json"
    try:
        with open(stamp_path) as f:
            stamp = json.load(f)
        if stamp.get("params") == params and os.path.isdir(root):
            return stamp
    except (OSError, ValueError):
        pass
    t0 = time.monotonic()
    log(f"making the benchmark tree at {root} ...")
    if os.path.lexists(stamp_path):
        os.unlink(stamp_path)
    shutil.rmtree(root, ignore_errors=True)
    dirs, files = plan(folders, entries, videos, seed, root_len)
    os.makedirs(root)
    for d in dirs:
        os.mkdir(os.path.join(root, d))
    over_4g = 0
    for path, size in files:
        fd = os.open(os.path.join(root, path), os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
        try:
            if size:
                os.ftruncate(fd, size)
        finally:
            os.close(fd)
        over_4g += size > 1 << 32
    digest = hashlib.sha1("\n".join(f"{p}\t{s}" for p, s in files).encode()).hexdigest()[:12]
    stamp = dict(params=params, folders=len(dirs) + 1, entries=len(dirs) + len(files), videos=videos,
                 over_4gib=over_4g, digest=digest, seconds=round(time.monotonic() - t0, 1))
    with open(stamp_path, "w") as f:
        json.dump(stamp, f, indent=1)
    log(f"  made in {stamp['seconds']} s: {stamp['folders']} folders, {stamp['entries']} entries, "
        f"{videos} video files ({over_4g} over 4 GiB)")
    return stamp
