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
import shutil
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


def main():
    with tempfile.TemporaryDirectory() as work:
        shutil.copytree(DATA, work, dirs_exist_ok=True)
        maze = pathlib.Path(work, "maze.txt")
        maze.unlink()
        generate = Run([f"{BUILD}/tools/zumbrel-mazegen", "--width", str(WIDTH), "--height", str(HEIGHT),
                        "-o", str(maze)], work)
        lines = Run(["wc", "-l", str(maze)], work)
        # The most placed, and a quarter of it on a quarter of the rows: time
        # should follow the cells and the things placed.
        dense = [Run([f"{BUILD}/tools/zumbrel-mazegen", "--width", str(WIDTH), "--height", str(HEIGHT // part),
                      "--teleports", str(DENSE_TELEPORTS // part), "--doors", str(DENSE_DOORS // part),
                      "-o", os.devnull], work) for part in (4, 1)]
        check = Run([f"{BUILD}/tools/zumbrel-map", "--check", str(maze)], work)
        game = Run(["stdbuf", "-oL", f"{BUILD}/src/app/zumbrel"], work, until=LAST_MODEL_LINE)
        size = maze.stat().st_size

    rows = [("`zumbrel-mazegen`", generate, 2.0, 128),
            (f"`zumbrel-mazegen --teleports {DENSE_TELEPORTS} --doors {DENSE_DOORS}`", dense[1], 4.0, 256), ("`zumbrel-map --check`", check, 2.5, 400),
            ("the game, from start to its model lines", game, 1.5, None)]
    table = "\n".join(
        f"| {what} | {seconds:.2f} s | {seconds / lines[0]:.0f} | {kb / 1024:.0f} MB | "
        f"{'met' if seconds <= aim_s and (aim_mb is None or kb / 1024 <= aim_mb) else 'not met'} "
        f"(at most {aim_s:g} s" + (f" and {aim_mb} MB)" if aim_mb else ")") + " |"
        for what, (seconds, kb), aim_s, aim_mb in rows)
    section = f"""{SECTION}

Measured by `scripts/bench` on the largest maze `zumbrel-mazegen` makes, {WIDTH} by {HEIGHT:,} cells
({size / 1e6:.0f} MB), each step in a process of its own, beside `wc -l` over the same file,
which took {lines[0] * 1000:.0f} ms. The game ran on the virtual X server until its last model line;
its first frame follows as GLUT's loop starts. With {DENSE_TELEPORTS:,} teleports and {DENSE_DOORS:,} doors
the generator took {dense[1][0] / dense[0][0]:.1f} times as long as with a quarter of each on a quarter of the rows,
{dense[0][0]:.2f} s (aim: at most 5 times): {'met' if dense[1][0] <= 5 * dense[0][0] else 'not met'}.

| step | time | times `wc -l` | peak resident | aim |
|---|---:|---:|---:|---|
{table}
"""
    WriteSection(REPORT, SECTION, section)


if __name__ == "__main__":
    main()
