#!/usr/bin/python3
"""huge_bench.py: the largest maze the generator makes, end to end.

Usage: huge_bench.py BUILD_DIR DATA_DIR PERFORMANCE.md
Generates the 509 by 200,000 maze, checks it, and starts the game on it
(under the DISPLAY it is given) until its model lines, each in a process of
its own, timing each beside `wc -l` over the same file, and writes the
"Huge mazes" section of PERFORMANCE.md.
"""
import os
import pathlib
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from sections import WriteSection

BUILD, DATA, REPORT = map(os.path.abspath, sys.argv[1:4])
SECTION = "## Huge mazes"
WIDTH, HEIGHT = 509, 200000
DENSE_TELEPORTS, DENSE_DOORS = 10_000_000, 2_000_000
LAST_MODEL_LINE = b"Loading pedestal data"


def Run(command, cwd, until=None):
    """Seconds and peak resident kilobytes of a command; with until, the
    seconds until a line of its output starts with it, after which it ends."""
    start = time.monotonic()
    child = subprocess.Popen(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    seconds = None
    if until is not None:
        for line in child.stdout:
            if line.startswith(until):
                seconds = time.monotonic() - start
                child.terminate()
                break
    else:
        child.stdout.read()
    _, status, usage = os.wait4(child.pid, 0)
    seconds = seconds if seconds is not None else time.monotonic() - start
    if until is None and os.waitstatus_to_exitcode(status) not in (0, 1):
        sys.exit(f"huge_bench: {command[0]} failed")
    return seconds, usage.ru_maxrss


# Where a step's time goes: perf's samples by symbol, each put in the first
# of the step's parts whose pattern it matches. The kernel's time is the
# first touch of memory and the file's read; the rest is what remains.
PARTS = {
    "generate": [("walk the rooms", r"WalkRooms|RoomWalk"),
                 ("carve them on the grid, knock through loops, place things",
                  r"GenerateMaze|LayRooms|LayLoops|CarveRooms|KnockThrough|MarkRow|Place|CellList|Rooms|Passages"),
                 ("find the teleports' regions", r"KeepASpace|FindRegions|JoinBands|ReadRow|RunsOf"),
                 ("draw random numbers", r"mersenne|gen_rand|Draws|DrawLoops"),
                 ("write the file", r"fwrite|_IO_|WriteAll|memchr|write")],
    "check": [("read and parse the rows", r"OnRow|ReadMaze|fgets|_IO_|memchr|strlen|memset"),
              ("one thread waiting for the other", r"sched_yield|schedule|do_syscall_64"),
              ("take the rows: sort their cells into bits, find and pair their runs",
               r"SortRow|RunsOf|TakeRuns|EachRow|TakeAndJoin|lambda"),
              ("join the runs into sets, reach them, mark their cells", r"ReachOf|RunSets|NthRun|RowBits|RemoveCells"),
              ("list the regions not reached", r"ListUnreached|CheckMaze|Problem")],
    "game": [("read and sort the rows", r"AddRow|ReadMaze|fgets|_IO_|memchr|strlen|memset|ComponentOf"),
             ("place the cells in their lists", r"GetNextFreeIndex|ReserveSlots|AddCells|SetCells|realloc|memmove|memcpy"),
             ("index the rows", r"IndexRows|RowIndex"),
             ("load the models, start GL and X", r"Polygon|Model|gl|GL|X11|_dl_|do_lookup|strcmp|swrast|mesa")],
}


def Profile(command, cwd, parts, until=None):
    """The share of a command's time each of its parts takes, by perf's
    samples; with until, up to the line of its output that starts with it."""
    with tempfile.NamedTemporaryFile(suffix=".data") as data:
        child = subprocess.Popen(["perf", "record", "-q", "-o", data.name, "--"] + command, cwd=cwd,
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        for line in child.stdout:
            if until is not None and line.startswith(until):
                child.send_signal(signal.SIGINT)
                break
        child.stdout.read()
        child.wait()
        report = subprocess.run(["perf", "report", "-i", data.name, "--no-children", "--sort", "symbol", "--stdio", "-q"],
                                capture_output=True, text=True).stdout
    shares = dict.fromkeys([what for what, _ in parts] + ["the kernel: memory's first touch, the file's read", "the rest"], 0.0)
    for share, kind, symbol in re.findall(r"^\s*([\d.]+)%\s+\[(.)\]\s+(\S.*?)\s*$", report, re.M):
        found = next((what for what, pattern in parts if re.search(pattern, symbol)), None)
        shares[found or ("the kernel: memory's first touch, the file's read" if kind == "k" else "the rest")] += float(share)
    return shares


def ProfileTable(profiles):
    lines = ["| step | part | share of its time |", "|---|---|---:|"]
    for step, shares in profiles:
        for k, (part, share) in enumerate(shares.items()):
            lines.append(f"| {step if k == 0 else ''} | {part} | {share:.0f}% |")
    return "\n".join(lines)


def Fastest(runs, *arguments, **options):
    """The fastest of some runs of a command, as Run gives it."""
    return min((Run(*arguments, **options) for _ in range(runs)), key=lambda run: run[0])


def main():
    with tempfile.TemporaryDirectory() as work:
        shutil.copytree(DATA, work, dirs_exist_ok=True)
        maze = pathlib.Path(work, "maze.txt")
        maze.unlink()
        generate = Fastest(3, [f"{BUILD}/tools/zumbrel-mazegen", "--width", str(WIDTH), "--height", str(HEIGHT),
                               "-o", str(maze)], work)
        # With the file in the page cache.
        lines = Fastest(5, ["wc", "-l", str(maze)], work)
        # The most placed, and a quarter of it on a quarter of the rows: time
        # should follow the cells and the things placed.
        dense = [Fastest(3, [f"{BUILD}/tools/zumbrel-mazegen", "--width", str(WIDTH), "--height", str(HEIGHT // part),
                      "--teleports", str(DENSE_TELEPORTS // part), "--doors", str(DENSE_DOORS // part),
                      "-o", os.devnull], work) for part in (4, 1)]
        check = Fastest(3, [f"{BUILD}/tools/zumbrel-map", "--check", str(maze)], work)
        game = Fastest(3, ["stdbuf", "-oL", f"{BUILD}/src/app/zumbrel"], work, until=LAST_MODEL_LINE)
        size = maze.stat().st_size
        profiles = [("`zumbrel-mazegen`", Profile([f"{BUILD}/tools/zumbrel-mazegen", "--width", str(WIDTH), "--height",
                                                   str(HEIGHT), "-o", str(maze)], work, PARTS["generate"])),
                    ("`zumbrel-map --check`", Profile([f"{BUILD}/tools/zumbrel-map", "--check", str(maze)], work,
                                                      PARTS["check"])),
                    ("the game", Profile(["stdbuf", "-oL", f"{BUILD}/src/app/zumbrel"], work, PARTS["game"],
                                         until=LAST_MODEL_LINE))]

    # Each aim a multiple of `wc -l`, and peak resident megabytes or, for
    # the game, bytes a cell.
    cells = WIDTH * HEIGHT
    rows = [("`zumbrel-mazegen`", generate, 30, 128, None),
            (f"`zumbrel-mazegen --teleports {DENSE_TELEPORTS} --doors {DENSE_DOORS}`", dense[1], 60, 256, None),
            ("`zumbrel-map --check`", check, 30, 256, None),
            ("the game, from start to its model lines", game, 30, None, 4.5)]
    table = "\n".join(
        f"| {what} | {seconds:.2f} s | {seconds / lines[0]:.0f} | {kb / 1024:.0f} MB ({kb * 1024 / cells:.1f} bytes a cell) | "
        f"{'met' if seconds <= times * lines[0] and (mb is None or kb / 1024 <= mb) and (per_cell is None or kb * 1024 / cells <= per_cell) else 'not met'} "
        f"(at most {times} times" + (f" and {mb} MB)" if mb else f" and {per_cell} bytes a cell)") + " |"
        for what, (seconds, kb), times, mb, per_cell in rows)
    section = f"""{SECTION}

Measured by `scripts/bench` on the largest maze `zumbrel-mazegen` makes, {WIDTH} by {HEIGHT:,} cells
({size / 1e6:.0f} MB), each step in a process of its own and the fastest of 3, beside `wc -l` over the
same file in the page cache, the fastest of 5, which took {lines[0] * 1000:.0f} ms. The game ran on the virtual X server until its last model line;
its first frame follows as GLUT's loop starts. With {DENSE_TELEPORTS:,} teleports and {DENSE_DOORS:,} doors
the generator took {dense[1][0] / dense[0][0]:.1f} times as long as with a quarter of each on a quarter of the rows,
{dense[0][0]:.2f} s (aim: at most 5 times): {'met' if dense[1][0] <= 5 * dense[0][0] else 'not met'}.

| step | time | times `wc -l` | peak resident | aim |
|---|---:|---:|---:|---|
{table}

Where each step's time goes, from `perf record` of the same steps, by the symbols its samples
fall in (what the compiler inlined counts as the function it went into). The check takes the rows
on one core while it joins them on the other; the generator lays the grid, draws the loops and
places the teleports on one core while it walks the rooms on the other, and finds the teleports'
regions of each half of the maze on a core of its own: their shares are of the time on both.

{ProfileTable(profiles)}
"""
    WriteSection(REPORT, SECTION, section)


if __name__ == "__main__":
    main()
