#!/usr/bin/env python3
"""Benchmark of Reelstart.exe under Wine on a large synthetic tree of films.

    python3 bench/run.py [--runs 7] [--exe build/win32/Reelstart.exe] [--one-film]

--one-film times the start alone: the runs on the tree of one film, without the large
tree (not even made) and without phase_bench.exe; a minute, where the whole takes many.

The exe, the floor's compiler and Wine are tools/winearch.py's choice: the shipped 32-bit
build where the machine runs 32-bit code, else the 64-bit test twin (scripts/bench.sh
asks for it there; the report says which ran).

What it does, all in one Wine prefix:
1. Makes the tree (bench/tree.py) under build/bench/tree, or reuses it when its
   parameters are unchanged.
2. Builds the floor (bench/floor.cpp) with mingw-w64 g++: a bare walker that
   lists the same tree with FindFirstFileA/FindNextFileA and opens each video file
   once, nothing else; asked, it adds the work every start must do.
3. Copies Reelstart.exe (as start.exe), the floor and, when built, phase_bench.exe to
   the root of the tree, and runs each once to warm the caches and to check that they
   all saw the same 20,000 video files.
4. Runs, round after round (the order rotating), the floor, the floor with the two
   kinds of system call the program makes beyond it (GetFileSize of each video file;
   the identity of each folder), Reelstart.exe without switches (largest first) and
   Reelstart.exe /name; and on a tree of one film (what a start costs) the floor, the
   floor with the work every start must do ("start": the version, shell and registry
   DLLs, the shell's "open" of a playlist, a registry value) and Reelstart.exe. Prints
   for each the median, fastest and slowest wall time, the ratio to the floor (of the
   medians, and paired within each round; on one film, to the floor with the start's
   work), the CPU time and the peak memory.
5. Runs phase_bench.exe (target phase_bench of the win32 preset; win64 for the twin) a
   few times: the program's own phases (walk, sort, playlist text, write) timed inside one process.
6. Prints the size and imports of the executable (tools/exe_report.py --check).

Wall time: from starting `wine X.exe` to its exit, as the user waits for it (Wine's
process start included, for the floor too); the wineserver of the prefix stays up
between runs, as it does on a desktop.  CPU time: the Wine process's user and system
time plus what its wineserver used meanwhile (the server does much of the file system
work); less disturbed than wall time by other work on the machine.  Peak memory: the
largest resident set of the Wine process, by GNU time (ru_maxrss): Wine's loader and
system DLLs plus the program's own heap; the floor's figure is that process with
almost no heap of its own.

No media player is associated with .asx files in the prefix: the program's request
to open the playlist is answered "no association" at once, so a player's start is
not counted; the floor's request gets the same answer (checked before the timed
rounds).  Nothing here is asserted: the figures are printed and kept in
build/bench/results.json and build/bench/results.md.
"""
from __future__ import annotations

import argparse
import json
import os
import pathlib
import shutil
import statistics
import subprocess
import sys
import time

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
sys.path.insert(0, str(HERE))
import tree as tree_maker  # noqa: E402
import winerun as w  # noqa: E402

CXX = w.TARGET.cxx  # the floor is of the architecture Wine runs here (tools/winearch.py)
TIME = "/usr/bin/time"  # GNU time: the peak memory of the process it starts
# (name, exe at the root of a tree, arguments, which tree: the large one or a tree
# of one film, whose runs show what a start costs); the floor's first argument,
# the file of its counts, is added when it runs.
MODES = [("floor", "floor.exe", [], "large"),
         ("floor+size", "floor.exe", ["size"], "large"),
         ("floor+size+identity", "floor.exe", ["size", "identity"], "large"),
         ("default", "start.exe", [], "large"),
         ("/name", "start.exe", ["/name"], "large"),
         ("floor, one film", "floor.exe", [], "small"),
         ("floor+start, one film", "floor.exe", ["start"], "small"),
         ("default, one film", "start.exe", [], "small")]
# The floor each run is compared with: the bare walker on the large tree, where the
# walk is the work; on one film, the floor that does what every start must do.
FLOOR = {"large": "floor", "small": "floor+start, one film"}


def log(*a):
    print(*a, flush=True)


def machine() -> dict:
    cpu = "?"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    mem = "?"
    with open("/proc/meminfo") as f:
        for line in f:
            if line.startswith("MemTotal"):
                mem = f"{int(line.split()[1]) / 2**20:.1f} GiB"
    wine = subprocess.run([w.TARGET.wine, "--version"], capture_output=True, text=True).stdout.strip()
    return dict(cpu=cpu, cores=os.cpu_count(), memory=mem, wine=wine, kernel=os.uname().release,
                python=sys.version.split()[0], exe=w.winearch.describe(w.TARGET))


def loadavg() -> str:
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def build_floor(out: pathlib.Path) -> pathlib.Path:
    src = HERE / "floor.cpp"
    if not out.exists() or out.stat().st_mtime < src.stat().st_mtime:
        out.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run([CXX, "-std=c++20", "-O2", "-Wall", "-Wextra", "-static", "-s", "-mwindows",
                        "-o", str(out), str(src)], check=True)
    return out


def server_cpu(wp: w.WinePrefix) -> float:
    """CPU seconds used so far by the wineserver of the prefix, which does the file
    system work that Wine's processes ask of it (opening files, handles)."""
    tick = os.sysconf("SC_CLK_TCK")
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/comm") as f:
                if not f.read().startswith("wineserver"):
                    continue
            with open(f"/proc/{pid}/environ", "rb") as f:
                if f"\0WINEPREFIX={wp.path}\0".encode() not in b"\0" + f.read():
                    continue
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            return (int(fields[11]) + int(fields[12])) / tick
        except OSError:
            continue
    return 0.0


def timed(wp: w.WinePrefix, exe: pathlib.Path, args: list, cwd: pathlib.Path) -> dict:
    """One `wine exe args...`: wall seconds, CPU seconds of the process and of the
    wineserver, peak resident KiB, exit code.

    GNU time starts the process and reports its peak resident set (ru_maxrss); it is
    small, so what it reports is the Wine process's own, not inherited from Python."""
    out = pathlib.Path(wp.scratch) / "time.txt"
    server0 = server_cpu(wp)
    t0 = time.perf_counter()
    p = subprocess.Popen([TIME, "-f", "%M %x", "-o", str(out), w.TARGET.wine, str(exe), *args], cwd=str(cwd),
                         env=wp.env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(p.pid, 0)
    wall = time.perf_counter() - t0
    p.returncode = os.waitstatus_to_exitcode(status)
    peak, code = (int(x) for x in out.read_text().split()[-2:])
    return dict(wall=wall, cpu=usage.ru_utime + usage.ru_stime, server=server_cpu(wp) - server0,
                peak=peak, code=code)


def same_walk(wp: w.WinePrefix, root: pathlib.Path, tmp: pathlib.Path, counts: pathlib.Path) -> bool:
    """Whether the floor and the program saw the same video files of the large tree: one
    run of each, which also warms the caches (the tree's metadata, the DLLs)."""
    floor_args = [w.win_path(counts)]
    timed(wp, root / "floor.exe", floor_args, root)
    floor_counts = dict(kv.split("=") for kv in counts.read_text().split())
    log(f"floor saw: {counts.read_text().strip()}")
    found = {}
    for name, exe, extra, tree in MODES:
        if exe != "start.exe" or tree != "large":
            continue
        playlist = tmp / "start.asx"
        if playlist.exists():
            playlist.unlink()
        code = timed(wp, root / exe, extra, root)["code"]
        found[name] = playlist_entries(playlist) if playlist.exists() else []
        log(f"Reelstart.exe {name}: exit code {code}, {len(found[name])} playlist entries")
    if any(len(e) != int(floor_counts["videos"]) for e in found.values()) or int(floor_counts["unopened"]):
        log("the program and the floor did not see the same video files")
        return False
    return True


def same_start(wp: w.WinePrefix, small: pathlib.Path, counts: pathlib.Path) -> bool:
    """Whether the floor's start and the program's ask the shell the same and start
    nothing: one run of each on the tree of one film (also their warm-up), the
    program's ShellExecuteA answer read from Wine's relay trace."""
    timed(wp, small / "floor.exe", [w.win_path(counts), "start"], small)
    floor = dict(kv.split("=") for kv in counts.read_text().split())
    log(f"floor with the start's work saw: {counts.read_text().strip()}")
    run = wp.run(small / "start.exe", [], cwd=small, relay=["shell32.ShellExecuteA"])
    wp.delete_value(r"HKCU\Software\Wine\Debug", "RelayInclude")  # the timed runs trace nothing
    answers = [c.retval for c in run.called("ShellExecuteA")]
    log(f"Reelstart.exe on one film: exit code {run.code}, ShellExecuteA answered {answers}")
    if (answers != [int(floor["shell"])] or not 0 <= answers[0] <= 32 or run.leftovers
            or int(floor["registry"])):
        log("the floor's start and the program's did not do the same (the same shell answer, "
            "no player started, the registry written)")
        return False
    return True


def playlist_entries(path: pathlib.Path) -> list[str]:
    text = path.read_bytes().decode("cp1251")
    return [line.strip()[len('<Ref href="'):-len('"/>')] for line in text.split("\r\n")
            if line.strip().startswith("<Ref href=")]


def read_pairs(path: pathlib.Path) -> dict:
    result = {}
    for line in path.read_text().splitlines():
        key, _, value = line.partition(" ")
        result[key] = float(value)
    return result


def median(values):
    return statistics.median(values) if values else float("nan")


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--runs", type=int, default=7, help="timed rounds (default 7)")
    ap.add_argument("--phase-runs", type=int, default=3, help="runs of phase_bench.exe (default 3)")
    ap.add_argument("--exe", type=pathlib.Path, default=w.TARGET.exe)
    ap.add_argument("--phase-exe", type=pathlib.Path,
                    default=w.TARGET.exe.with_name("phase_bench.exe"))
    ap.add_argument("--work", type=pathlib.Path, default=ROOT / "build" / "bench")
    ap.add_argument("--folders", type=int, default=2000)
    ap.add_argument("--entries", type=int, default=100_000)
    ap.add_argument("--videos", type=int, default=20_000)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--one-film", action="store_true",
                    help="the start alone: only the runs on the tree of one film")
    args = ap.parse_args()
    if w.TARGET.how == "vm":
        sys.exit("this kernel runs no 32-bit code, and timings in an emulated machine would mean "
                 "nothing: run scripts/bench.sh, or REELSTART_WINE_ARCH=win64 for the test twin")

    work = args.work.resolve()
    root = work / "tree"
    small = work / "one-film"
    tmp = work / "tmp"
    info = machine()
    log(f"machine: {info['cpu']}, {info['cores']} cores, {info['memory']}; {info['wine']}; "
        f"load average {loadavg()}")
    log(w.winearch.describe(w.TARGET))

    stamp = None
    if not args.one_film:
        root_len = len(w.win_path(root)) + 1
        stamp = tree_maker.make(str(root), folders=args.folders, entries=args.entries,
                                videos=args.videos, seed=args.seed, root_len=root_len, log=log)
        log(f"tree: {stamp['folders']} folders, {stamp['entries']} entries, {stamp['videos']} video "
            f"files ({stamp['over_4gib']} over 4 GiB), {root}")
    trees = {"small": small} if args.one_film else {"large": root, "small": small}

    floor = build_floor(work / "floor.exe")
    shutil.rmtree(small, ignore_errors=True)
    small.mkdir(parents=True)
    with open(small / "Film.avi", "wb") as f:
        f.truncate(700 << 20)
    for stale in root.glob("*.exe"):
        stale.unlink()
    for folder in trees.values():
        shutil.copyfile(args.exe, folder / "start.exe")
        shutil.copyfile(floor, folder / "floor.exe")
    phase = not args.one_film and args.phase_exe.is_file()
    if phase:
        shutil.copyfile(args.phase_exe, root / "phase_bench.exe")
    tmp.mkdir(parents=True, exist_ok=True)

    wp = w.WinePrefix(str(work / "prefix"))
    try:
        wp.start()
        wp.set_tmp(tmp)
        return measure(args, wp, trees, tmp, stamp, info, phase)
    finally:
        wp.close(remove=True)


def measure(args, wp, trees, tmp, stamp, info, phase) -> int:
    modes = [m for m in MODES if m[3] in trees]
    counts = tmp / "floor.txt"
    floor_args = [w.win_path(counts)]
    if "large" in trees and not same_walk(wp, trees["large"], tmp, counts):
        return 1
    if not same_start(wp, trees["small"], counts):
        return 1

    log(f"\n{args.runs} rounds of {len(modes)} runs (the order rotating each round); load average {loadavg()}")
    samples = {name: [] for name, *_ in modes}
    loads = [loadavg()]
    for r in range(args.runs):
        shift = r % len(modes)
        line = []
        for name, exe, extra, tree in modes[shift:] + modes[:shift]:
            folder = trees[tree]
            run = timed(wp, folder / exe, floor_args + extra if exe == "floor.exe" else extra, folder)
            samples[name].append(run)
            line.append(f"{name} {run['wall']:.2f} s")
        log(f"  round {r + 1}: " + ", ".join(line))
    loads.append(loadavg())

    rows = []
    for name, _, _, tree in modes:
        runs = samples[name]
        floor = samples[FLOOR[tree]]
        walls = [x["wall"] for x in runs]
        cpus = [x["cpu"] + x["server"] for x in runs]
        rows.append(dict(
            mode=name, median_s=median(walls), min_s=min(walls), max_s=max(walls),
            ratio=median(walls) / median([x["wall"] for x in floor]),
            paired_ratio=median([x["wall"] / f["wall"] for x, f in zip(runs, floor)]),
            cpu_s=median(cpus), cpu_ratio=median(cpus) / median([f["cpu"] + f["server"] for f in floor]),
            peak_mib=median([x["peak"] for x in runs]) / 1024))

    phases = {}
    if phase:
        root = trees["large"]
        log(f"phase_bench.exe, {args.phase_runs} runs")
        runs = []
        for _ in range(args.phase_runs):
            out = tmp / "phases.txt"
            timed(wp, root / "phase_bench.exe", [w.win_path(out)], root)
            runs.append(read_pairs(out))
        phases = {k: median([run[k] for run in runs]) for k in runs[0]}

    shipped = ROOT / "build" / "win32" / "Reelstart.exe"  # the report is of what ships
    report = subprocess.run([sys.executable, str(ROOT / "tools" / "exe_report.py"), "--check",
                             str(shipped)], capture_output=True, text=True)
    result = dict(machine=info, load_before=loads[0], load_after=loads[1], tree=stamp,
                  runs=args.runs, rows=rows, phases=phases, exe_report=report.stdout,
                  exe_report_ok=report.returncode == 0, samples=samples)
    (args.work / "results.json").write_text(json.dumps(result, indent=1, ensure_ascii=False))
    text = summary(result)
    (args.work / "results.md").write_text(text)
    log("\n" + text)
    return 0


LABELS = {"floor": "floor: list, open each video file",
          "floor+size": "floor + GetFileSize of each",
          "floor+size+identity": "floor + GetFileSize + folder identity",
          "default": "Reelstart.exe (largest first)",
          "/name": "Reelstart.exe /name",
          "floor, one film": "floor on a tree of one film",
          "floor+start, one film": "floor + the start's work, on a tree of one film",
          "default, one film": "Reelstart.exe on a tree of one film"}


def summary(r: dict) -> str:
    m, t = r["machine"], r["tree"]
    out = [f"Machine: {m['cpu']}, {m['cores']} cores, {m['memory']}, Linux {m['kernel']}, "
           f"{m['wine']}; load average {r['load_before']} before the timed rounds, "
           f"{r['load_after']} after.",
           m.get("exe", "") + ".",
           f"Tree: {t['folders']} folders, {t['entries']} entries, {t['videos']} video files "
           f"({t['over_4gib']} over 4 GiB), all sparse." if t else "Tree: one film alone (--one-film).",
           f"Medians of {r['runs']} runs each:", "",
           "| run | wall median | fastest | slowest | ratio to floor | paired ratio "
           "| CPU (process + wineserver) | CPU ratio | peak memory |",
           "|---|---|---|---|---|---|---|---|---|"]
    for row in r["rows"]:
        out.append(f"| {LABELS[row['mode']]} | {row['median_s']:.2f} s | {row['min_s']:.2f} s "
                   f"| {row['max_s']:.2f} s | {row['ratio']:.2f}x | {row['paired_ratio']:.2f}x "
                   f"| {row['cpu_s']:.2f} s | {row['cpu_ratio']:.2f}x | {row['peak_mib']:.1f} MiB |")
    out += ["", "Wall: `wine X.exe` from start to exit (Wine's process start included). Paired "
            "ratio: median over the rounds of the run's wall time over the floor's in the same round; "
            "the runs on one film are compared with the floor that also does the start's work "
            "(version, shell, registry and COM DLLs, the shell's open of a playlist, a registry value). "
            "CPU: user + system time of the Wine process plus what its wineserver spent meanwhile. "
            "Peak memory: largest resident set of the Wine process (GNU time, ru_maxrss)."]
    p = r["phases"]
    if p:
        whole = {row["mode"]: row["median_s"] for row in r["rows"]}
        out += ["", f"Phases inside one process (phase_bench.exe: the program's own code timed with "
                f"QueryPerformanceCounter; medians; {int(p['files'])} files):", "",
                "| order | walk | sort | comparisons | playlist text | write "
                "| own work (sort + text + write) | own work / whole run |",
                "|---|---|---|---|---|---|---|---|"]
        for tag, mode in (("size", "default"), ("name", "/name")):
            own = p[f"{tag}.sort_s"] + p[f"{tag}.text_s"] + p[f"{tag}.write_s"]
            out.append(f"| {LABELS[mode]} | {p['walk_s']:.3f} s | {p[f'{tag}.sort_s']:.3f} s "
                       f"| {int(p[f'{tag}.comparisons'])} | {p[f'{tag}.text_s']:.3f} s "
                       f"| {p[f'{tag}.write_s']:.3f} s | {own:.3f} s | {own / whole[mode]:.1%} |")
        same = {1: "yes", 0: "NO"}
        out += ["", "Sort by name taken apart (the same quicksort and comparisons):", "",
                f"- CompareNamesByLocale (file names cut from the paths at each comparison, then "
                f"CompareStringA): {p['name.split.compare_by_name_s']:.3f} s",
                f"- CompareStringA alone, on file names cut from the paths beforehand: "
                f"{p['name.split.comparestring_only_s']:.3f} s (cutting them: "
                f"{p['name.split.extract_names_s']:.3f} s); same order: "
                f"{same[int(p['name.split.bare_names_same_order'])]}",
                f"- LCMapStringA sort keys compared bytewise: {p['name.split.sort_keys_s']:.3f} s "
                f"(making the keys: {p['name.split.make_keys_s']:.3f} s); same order: "
                f"{same[int(p['name.split.keys_same_order'])]}",
                f"- Sort as the program does it (keys): {p['name.sort_s']:.3f} s; same order as "
                f"CompareNamesByLocale: {same[int(p['name.same_order_as_CompareNamesByLocale'])]}"]
    out += ["", "Executable (tools/exe_report.py --check):", "", "```", r["exe_report"].rstrip(),
            "```", ""]
    return "\n".join(out)


if __name__ == "__main__":
    sys.exit(main())
