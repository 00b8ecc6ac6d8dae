#!/usr/bin/python3
"""web_bench.py: the page in each browser engine against the Linux build.

Usage: web_bench.py PAGE ZUMBREL DATA_DIR PERFORMANCE.md SECONDS
Walks the bundled maze standing still for SECONDS in the Linux build and then
in headless Chromium, Firefox and WebKitGTK, one after the other, reads the
rates from the last frame report each printed, measures each engine's time
from opening the page to its first frame five times, and writes the measured
part of the "In a browser" section of PERFORMANCE.md, leaving its prose alone.
"""
import datetime
import gzip
import os
import pathlib
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from sections import WriteSection

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "tests" / "web"))
from browsers import DEADLINE, ENGINES  # noqa: E402

PAGE, ZUMBREL, DATA, REPORT = map(os.path.abspath, sys.argv[1:5])
SECONDS = float(sys.argv[5])
RATES = re.compile(r"Average fps: updated ([0-9.]+), display ([0-9.]+)\.")
SECTION = "### Measured"
FIRST_FRAME_LOADS = 5
FIRST_FRAME = "const m = performance.getEntriesByName('zumbrel-first-frame'); return m.length ? m[0].startTime : null;"


def LastRates(text):
    found = RATES.findall(text)
    if not found:
        sys.exit("web_bench: no frame report came")
    return tuple(float(x) for x in found[-1])


def Native():
    with tempfile.TemporaryDirectory() as work:
        shutil.copytree(DATA, work, dirs_exist_ok=True)
        game = subprocess.Popen(["stdbuf", "-oL", ZUMBREL], cwd=work, stdout=subprocess.PIPE, text=True)
        time.sleep(SECONDS)
        game.terminate()
        return LastRates(game.communicate()[0])


def FirstFrame(browser):
    """Milliseconds from opening the page to its first frame."""
    end = time.monotonic() + DEADLINE
    while (mark := browser.run(FIRST_FRAME)) is None:
        if time.monotonic() > end:
            sys.exit(f"web_bench: {browser.name} drew no frame in {DEADLINE} s")
        time.sleep(0.05)
    return mark


def Browser(engine):
    """The engine's rates, its median time to the first frame, and its version."""
    browser = engine()
    try:
        address = pathlib.Path(PAGE).as_uri()
        first = []
        for _ in range(FIRST_FRAME_LOADS):
            browser.open(address)
            first.append(FirstFrame(browser))
        browser.open(address)
        time.sleep(SECONDS)
        rates = LastRates(browser.run("return document.getElementById('output').textContent;"))
        return rates, statistics.median(first), browser.version
    finally:
        browser.quit()


def Section(native, browsers, weight):
    verdict = lambda ok: "met" if ok else "not met"
    rows = "\n".join(f"| {name} {version} | {rates[0]:g} | {rates[1]:g} | {rates[0] / native[0]:.2f} | "
                     f"{rates[1] / native[1]:.2f} | {first / 1000:.2f} s ({verdict(first <= 1000)}) |"
                     for name, (rates, first, version) in browsers.items())
    return f"""{SECTION}

Run: {datetime.datetime.now(datetime.timezone.utc).isoformat(timespec='seconds')}, each walk for {SECONDS:g} seconds.
Weight: `zumbrel.html` is {weight / 1000:.1f} KB gzipped (target: at most 200 KB): {verdict(weight <= 200_000)}.

| | ticks a second | frames a second | ticks / Linux | frames / Linux | first frame (within 1 s) |
|---|---:|---:|---:|---:|---:|
| Linux build | {native[0]:g} | {native[1]:g} | 1.00 | 1.00 | |
{rows}
"""


def main():
    native = Native()
    browsers = {name: Browser(engine) for name, engine in ENGINES.items()}
    weight = len(gzip.compress(pathlib.Path(PAGE).read_bytes(), 9))
    WriteSection(REPORT, SECTION, Section(native, browsers, weight))


if __name__ == "__main__":
    main()
