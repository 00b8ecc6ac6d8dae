#!/usr/bin/python3
"""web_bench.py: the page in each browser engine against the Linux build.

Usage: web_bench.py PAGE ZUMBREL DATA_DIR PERFORMANCE.md SECONDS
Walks the bundled maze standing still for SECONDS in the Linux build and then
in headless Chromium, Firefox and WebKitGTK, one after the other, reads the
rates from the last frame report each printed, measures each engine's time
from opening the page to its first frame five times; times the check of a
1 MB maze and the generator at 509 by 2,000 in the Linux tools and in each
engine's workshop; with the editor holding a maze of nearly 16 MiB, how long
a keystroke takes to be painted, idle and while the check runs, and the
longest the page's thread is held while the text is read as bytes; what the
editor adds to the page's script; the slowest answer to a script call, and the
browser's peak memory over the bundled maze's, while each hostile link is
opened; and writes the measured part of the "In a browser"
section of PERFORMANCE.md, leaving its prose alone.
"""
import base64
import json
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
import zlib

from sections import WriteSection

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "tests" / "web"))
from browsers import DEADLINE, ENGINES  # noqa: E402

PAGE, ZUMBREL, DATA, REPORT = map(os.path.abspath, sys.argv[1:5])
TOOLS = os.path.join(os.path.dirname(ZUMBREL), "..", "..", "tools")
LARGE = ["--width", "509", "--height", "2000"]  # a maze of 1 MB
LARGEST_FILE = 16 * 1024 * 1024
LARGEST = ["--width", "509", "--height", str(LARGEST_FILE // 510)]  # as large as the page takes, nearly
ROUNDS = 5
SECONDS = float(sys.argv[5])
LAST_MODEL_LINE = "Loading pedestal data"
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


def Seconds(command, work):
    """The fastest of ROUNDS runs, in seconds."""
    times = []
    for _ in range(ROUNDS):
        start = time.perf_counter()
        subprocess.run(command, cwd=work, check=True, capture_output=True)
        times.append(time.perf_counter() - start)
    return min(times)


def NativeTools():
    """The Linux tools' check of the large maze, and its making; and the maze."""
    with tempfile.TemporaryDirectory() as work:
        made = Seconds([os.path.join(TOOLS, "zumbrel-mazegen"), *LARGE, "-o", "maze.txt"], work)
        maze = pathlib.Path(work, "maze.txt").read_bytes()
        return Seconds([os.path.join(TOOLS, "zumbrel-map"), "--check", "maze.txt"], work), made, maze


def Waited(browser, script):
    end = time.monotonic() + DEADLINE
    while not (value := browser.run(script)):
        if time.monotonic() > end:
            sys.exit(f"web_bench: {browser.name} waited {DEADLINE} s in vain for {script}")
        time.sleep(0.02)
    return value


MEASURED = "return performance.getEntriesByName('{}').map((m) => m.duration);"
EDITOR = "document.querySelector('#maze-text .cm-content').cmTile.root.view"
# Each keystroke in the editor, with no tool running and while the check
# runs, from its event to the task after the next frame: by then the frame
# that shows it is painted. The longest the page's thread was held while the
# text was read, as the page marks it, and while the draft was stored.
BUSY = "const busy = () => document.getElementById('check-said').textContent == 'Checking…';"
KEYSTROKES = BUSY + """window.painted = {busy: [], idle: []};
  document.getElementById('maze-text').addEventListener('keydown', (event) => {
    const pressed = performance.now(), kept = window.painted[busy() ? 'busy' : 'idle'];
    requestAnimationFrame(() => setTimeout(() => kept.push(performance.now() - pressed)));
  }, true);"""
CHECKING = BUSY + "return busy();"
HELD = """const longest = (name) => Math.max(...performance.getEntriesByName(name).map((m) => m.duration));
  return [longest('zumbrel-text-held'), longest('zumbrel-draft-store')];"""
KEYSTROKE_ROUNDS = 10
# Each stroke painted by keyboard on the map, from Space's event to the task
# after the next frame.
STROKES = """window.strokes = [];
  document.getElementById('map-view').addEventListener('keydown', (event) => {
    if (event.key != ' ') return;
    const pressed = performance.now();
    requestAnimationFrame(() => setTimeout(() => window.strokes.push(performance.now() - pressed)));
  }, true);"""


WALKS = "return Number(document.getElementById('state').dataset.walk || 0);"
CHECKS = "return performance.getEntriesByName('zumbrel-check').length;"


def Generate(browser, fields, round, settle=True):
    """Makes a maze in the page's workshop, its round-th; settled, once the
    page has walked it, checked it and mapped it, as it does each new maze,
    so that the next round does not wait on this one's walk."""
    walks, checks = browser.run(WALKS), browser.run(CHECKS)
    browser.run("const form = document.getElementById('generate');"
                f"form.elements.width.value = {fields['--width']}; form.elements.height.value = {fields['--height']};"
                "form.requestSubmit();")
    Waited(browser, f"return performance.getEntriesByName('zumbrel-generate').length > {round};")
    if settle:
        Waited(browser, f"const walks = () => {{ {WALKS} }}; const checks = () => {{ {CHECKS} }};"
                        f"return walks() > {walks} && document.getElementById('output').textContent.includes("
                        f"{json.dumps(LAST_MODEL_LINE)}) && checks() > {checks} && "
                        "!document.getElementById('map-frame').hasAttribute('aria-busy');")


def Workshop(browser, maze):
    """The engine's median check of the maze, the tool's own run of it, its
    making and the tool's own run of that, in seconds; and, with the editor
    holding the largest maze, its slowest keystroke with no tool running and
    while the check runs, and the longest hold of the page's thread while the
    text is read, in milliseconds."""
    browser.open(pathlib.Path(PAGE).as_uri())
    Waited(browser, "return document.getElementById('check-said').textContent.startsWith('No problems');")
    put = (f"const view = {EDITOR}; view.dispatch({{changes: {{from: 0, to: view.state.doc.length, "
           f"insert: {json.dumps(maze.decode('latin-1'))}}}, userEvent: 'input.type'}}); view.focus();")
    for round in range(ROUNDS):
        browser.run(put)
        Waited(browser, f"return performance.getEntriesByName('zumbrel-check').length > {round};")
    checks = browser.run(MEASURED.format("zumbrel-check"))
    runs = browser.run(MEASURED.format("zumbrel-check-run"))
    fields = dict(zip(LARGE[::2], LARGE[1::2]))
    for round in range(ROUNDS):
        Generate(browser, fields, round)
    made = browser.run(MEASURED.format("zumbrel-generate"))
    making = browser.run(MEASURED.format("zumbrel-generate-run"))
    # The largest maze made in the page, then keys pressed with no tool
    # running, and while the check runs; a key that comes too late is tried
    # again.
    Generate(browser, dict(zip(LARGEST[::2], LARGEST[1::2])), ROUNDS, settle=False)
    Waited(browser, f"return {EDITOR}.state.doc.length > {LARGEST_FILE - 1024};")
    browser.run(KEYSTROKES + f"{EDITOR}.focus();")
    for busy in [False, True]:
        for _ in range(10 * KEYSTROKE_ROUNDS):
            if len(browser.run("return window.painted;")["busy" if busy else "idle"]) >= KEYSTROKE_ROUNDS:
                break
            end = time.monotonic() + 30
            while browser.run(CHECKING) != busy and time.monotonic() < end:
                time.sleep(0.01)
            browser.keys(("down", "x"), ("up", "x"))
            time.sleep(0.2)
    painted = browser.run("return window.painted;")
    if len(painted["busy"]) < KEYSTROKE_ROUNDS or len(painted["idle"]) < KEYSTROKE_ROUNDS:
        sys.exit(f"web_bench: {browser.name} took too few keystrokes")
    # The draft kept after the pause, read as the check's bytes are.
    Waited(browser, "return performance.getEntriesByName('zumbrel-draft-store').length > 0;")
    held, stored = browser.run(HELD)
    # Strokes on the map of a maze as large, opened as a file, its rows past
    # the bundled maze's blank, so that the map is drawn.
    bundled = pathlib.Path(DATA, "maze.txt").read_bytes()
    with tempfile.TemporaryDirectory() as work:
        pathlib.Path(work, "maze.txt").write_bytes(bundled + (b" " * 509 + b"\n") * ((LARGEST_FILE - len(bundled)) // 510))
        browser.run("document.getElementById('map').textContent = '';")
        browser.choose("open", [str(pathlib.Path(work, "maze.txt"))])
        Waited(browser, f"return {EDITOR}.state.doc.length > {LARGEST_FILE - 1024} && Boolean(document.querySelector('#map svg'));")
    browser.run(STROKES + "document.getElementById('map-view').focus();")
    browser.keys(("down", "1"), ("up", "1"))
    for _ in range(KEYSTROKE_ROUNDS):
        browser.keys(("down", " "), ("up", " "), ("pause", 0.4))
    strokes = Waited(browser, f"return window.strokes.length >= {KEYSTROKE_ROUNDS} && window.strokes;")
    browser.run("localStorage.clear();")
    seconds = lambda measured: statistics.median(measured) / 1000
    return (seconds(checks), seconds(runs), seconds(made), seconds(making), max(painted["idle"]), max(painted["busy"]),
            held, stored, max(strokes))


def Deflated(data):
    deflate = zlib.compressobj(9, zlib.DEFLATED, -15)
    return base64.urlsafe_b64encode(deflate.compress(data) + deflate.flush()).decode().rstrip("=")


def Model(polygons):
    return f"{polygons} 1 1 1 ".encode() + b" ".join(b"3 0 0 0 1 0 0 0 1 0" for _ in range(polygons))


# Links a stranger might send: models that would take the page's frames,
# eight files past the page's limit together, a map of hundreds of
# megabytes.
HOSTILE = [("a wall of 950 polygons", "#maze=" + Deflated(b"X.\n") + "&wall=" + Deflated(Model(950))),
           ("a wall of 10,000 polygons", "#maze=" + Deflated(b"X.\n") + "&wall=" + Deflated(Model(10000))),
           ("eight files of 2.1 MB", "#" + "&".join(f"{name}={Deflated(b' ' * (2 << 20) + b'1')}" for name in
                                                   ["maze", "space", "wall", "door", "start", "orb", "tele", "ped"])),
           ("a 16 MiB checkerboard", "#maze=" + Deflated(b"X" + (b"#." * 254 + b"\n") * 32960)),
           ("a 61 by 61 maze of walls, its wall 256 polygons of 16",
            "#maze=" + Deflated((b"#" * 61 + b"\n") * 61) + "&wall=" +
            Deflated(b"256 1 1 1 " + b" ".join(b"16" + b" 0 0 0" * 16 for _ in range(256)))),
           ("a wall of 10,000 polygons, its first count -0",
            "#wall=" + Deflated(b"10000 1 1 1 -0 " + Model(9999).split(b" ", 4)[4]))]
HOSTILE_SECONDS = 10


def Memory():
    """The resident bytes of every process this one started, and theirs."""
    children, total = {}, 0
    for stat in pathlib.Path("/proc").glob("[0-9]*/stat"):
        try:
            fields = stat.read_text().rsplit(")", 1)[1].split()
            children.setdefault(int(fields[1]), []).append((int(stat.parent.name), int(fields[21]) * 4096))
        except (OSError, IndexError, ValueError):
            pass
    stack = [os.getpid()]
    while stack:
        for pid, rss in children.get(stack.pop(), []):
            total += rss
            stack.append(pid)
    return total


def Opened(browser, address):
    """The slowest answer to a script call in the seconds after the address
    is opened, in seconds, and the browser's peak memory then."""
    browser.open("about:blank")
    browser.open(address)
    slowest, peak = 0, 0
    end = time.monotonic() + HOSTILE_SECONDS
    while time.monotonic() < end:
        start = time.monotonic()
        browser.run("return 1;")
        slowest = max(slowest, time.monotonic() - start)
        peak = max(peak, Memory())
        time.sleep(0.05)
    return slowest, peak


def Hostile(browser):
    """For each hostile link: the slowest answer to a script call in the
    seconds after it is opened, in seconds, and the peak memory over the
    bundled maze's, opened the same way, in MB."""
    address = pathlib.Path(PAGE).as_uri()
    bundled = Opened(browser, address)[1]
    figures = {}
    for what, link in HOSTILE:
        slowest, peak = Opened(browser, address + link)
        figures[what] = (slowest, (peak - bundled) / 1e6)
    browser.run("localStorage.clear();")
    return figures


def FirstFrame(browser):
    """Milliseconds from opening the page to its first frame."""
    end = time.monotonic() + DEADLINE
    while (mark := browser.run(FIRST_FRAME)) is None:
        if time.monotonic() > end:
            sys.exit(f"web_bench: {browser.name} drew no frame in {DEADLINE} s")
        time.sleep(0.05)
    return mark


def Browser(engine, maze):
    """The engine's rates, its median time to the first frame, its version
    and its workshop's figures."""
    browser = engine()
    try:
        workshop = Workshop(browser, maze)
        hostile = Hostile(browser)
        address = pathlib.Path(PAGE).as_uri()
        first = []
        for _ in range(FIRST_FRAME_LOADS):
            browser.open(address)
            first.append(FirstFrame(browser))
        browser.open(address)
        time.sleep(SECONDS)
        rates = LastRates(browser.run("return document.getElementById('output').textContent;"))
        return rates, statistics.median(first), browser.version, workshop, hostile
    finally:
        browser.quit()


def EditorWeight():
    """What the editor's packages add to the page's script, from esbuild's
    account of its bundle: a table of bytes in the script, minified."""
    inputs = next(iter(json.loads(pathlib.Path(PAGE + ".bundle.js.json").read_text())["outputs"].values()))["inputs"]
    packages = {}
    for path, used in inputs.items():
        found = re.search(r"node_modules/((@[^/]+/)?[^/]+)", path)
        what = found.group(1) if found else "the game" if path.endswith("zumbrel.js") else "the page's modules"
        packages[what] = packages.get(what, 0) + used["bytesInOutput"]
    rows = "\n".join(f"| {what} | {size:,} |" for what, size in sorted(packages.items(), key=lambda p: -p[1]))
    editor = sum(size for what, size in packages.items() if what not in ("the game", "the page's modules"))
    return f"""
The page's script, minified, by what it holds (esbuild's metafile); the editor and what it
uses add {editor:,} bytes:

| | bytes |
|---|---:|
{rows}
"""


def Section(native, tools, browsers, weight):
    editor_weight = EditorWeight()
    verdict = lambda ok: "met" if ok else "not met"
    rows = "\n".join(f"| {name} {version} | {rates[0]:g} | {rates[1]:g} | {rates[0] / native[0]:.2f} | "
                     f"{rates[1] / native[1]:.2f} | {first / 1000:.2f} s ({verdict(first <= 1000)}) |"
                     for name, (rates, first, version, *_) in browsers.items())
    tool_rows = "\n".join(f"| {name} {version} | {check:.3f} s | {check / tools[0]:.2f} ({verdict(check <= 2 * tools[0])}) | "
                          f"{check_run:.3f} s | {made:.3f} s | {made / tools[1]:.2f} ({verdict(made <= 2 * tools[1])}) | "
                          f"{made_run:.3f} s |"
                          for name, (_, _, version, (check, check_run, made, made_run, *_), _) in browsers.items())
    editor_rows = "\n".join(f"| {name} {version} | {idle:.0f} ms ({verdict(idle <= 50)}) | {busy:.0f} ms ({verdict(busy <= 50)}) | "
                            f"{held:.0f} ms ({verdict(held <= 50)}) | {stored:.0f} ms | {stroke:.0f} ms ({verdict(stroke <= 50)}) |"
                            for name, (_, _, version, (*_, idle, busy, held, stored, stroke), _) in browsers.items())
    hostile_rows = "\n".join(f"| {name} {version} | " + " | ".join(f"{slowest:.2f} s, {grown:,.0f} MB" for slowest, grown in hostile.values()) + " |"
                             for name, (_, _, version, _, hostile) in browsers.items())
    return f"""{SECTION}

Run: {datetime.datetime.now(datetime.timezone.utc).isoformat(timespec='seconds')}, each walk for {SECONDS:g} seconds.
Weight: `zumbrel.html` is {weight / 1000:.1f} KB gzipped (target: at most 260 KB): {verdict(weight <= 260_000)}.
{editor_weight}

| | ticks a second | frames a second | ticks / Linux | frames / Linux | first frame (within 1 s) |
|---|---:|---:|---:|---:|---:|
| Linux build | {native[0]:g} | {native[1]:g} | 1.00 | 1.00 | |
{rows}

The workshop: the check of a maze of 509 by 2,000 ({tools[2]:,} bytes) and its making, the
median of {ROUNDS} in each engine, whole and the tool's own run in the worker, against the
fastest of {ROUNDS} of the Linux tools.

| | check | / Linux (at most 2) | its run | generator | / Linux (at most 2) | its run |
|---|---:|---:|---:|---:|---:|---:|
| Linux tools | {tools[0]:.3f} s | 1.00 | | {tools[1]:.3f} s | 1.00 | |
{tool_rows}

The editor holding a maze of 509 by {int(LARGEST[3]):,} made in the page, nearly the 16 MiB it takes,
with the walk running: the slowest of {KEYSTROKE_ROUNDS} keystrokes, from the key's event to the
task after the next frame, with no tool running and while the check runs; the longest the
page's thread was held while the text was read, as bytes for the check and as the draft;
the longest the browser's storage took to refuse the draft, which it cannot hold; and the
slowest of {KEYSTROKE_ROUNDS} strokes painted by Space on the map of a maze as large (the bundled
maze, then blank rows), from the key's event to the task after the next frame.

| | keystroke, idle (within 50 ms) | keystroke, check running (within 50 ms) | longest hold reading the text (within 50 ms) | the draft refused by storage | a stroke on the map (within 50 ms) |
|---|---:|---:|---:|---:|---:|
{editor_rows}

Hostile links: the slowest answer to a script call in the {HOSTILE_SECONDS} seconds after each is
opened (within 2 s), and the browser's peak memory over the bundled maze's then, all its
processes' resident memory (within 700 MiB).

| | {" | ".join(what for what, _ in HOSTILE)} |
|---|{"---:|" * len(HOSTILE)}
{hostile_rows}
"""


def main():
    native = Native()
    check, made, maze = NativeTools()
    browsers = {name: Browser(engine, maze) for name, engine in ENGINES.items()}
    weight = len(gzip.compress(pathlib.Path(PAGE).read_bytes(), 9))
    WriteSection(REPORT, SECTION, Section(native, (check, made, len(maze)), browsers, weight))


if __name__ == "__main__":
    main()
