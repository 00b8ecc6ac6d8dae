#!/usr/bin/python3
"""web_test.py PAGE ZUMBREL ZUMBREL_MAZEGEN DATA_DIR ENGINE [TEST...]: the page in a
browser engine (Chromium, Firefox or WebKit), held against the Linux build,
which runs under the given DISPLAY."""
import base64
import functools
import http.server
import json
import math
import os
import pathlib
import random
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import xml.etree.ElementTree
import zlib

from browsers import CONTROL, DEADLINE, ENGINES, ESCAPE, F8, SHIFT, TAB, Chromium, Firefox

PAGE, ZUMBREL, MAZEGEN, DATA = map(os.path.abspath, sys.argv[1:5])
MAP = os.path.join(os.path.dirname(MAZEGEN), "zumbrel-map")
# The page built with every outline drawn by emscripten's GL emulation.
EMULATED = os.path.join(os.path.dirname(PAGE), "zumbrel-emulated.html")
ENGINE = ENGINES[sys.argv[5]]
RUN = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "run"
LARGEST_FILE = 16 * 1024 * 1024
LONGEST_LINK = 64 * 1024
LAST_MODEL_LINE = "Loading pedestal data"
MODELS = ["space.txt", "wall.txt", "door.txt", "start.txt", "orb.txt", "tele.txt", "ped.txt"]
# The bundled files as a link names them; the maze padded so that all eight
# are as large together as the page takes.
BUNDLED = {name[:-4]: pathlib.Path(DATA, name).read_bytes() for name in ["maze.txt"] + MODELS}
PADDED = dict(BUNDLED, maze=BUNDLED["maze"] + b"\n" * (LARGEST_FILE - sum(map(len, BUNDLED.values()))))
NO_WEBGL = ("This browser gives the page no WebGL, which the game draws with. Turn on WebGL, or hardware "
            "acceleration, in its settings, or open the page in another browser.")
# Standard output as the panel shows it, the state line, and the walk's number.
READ_PAGE = """const state = document.getElementById('state');
  const out = Array.from(document.getElementById('output').childNodes).filter((n) => n.nodeType == 3);
  return [out.map((n) => n.data).join(''), state.textContent, state.className,
          document.getElementById('again').hidden, Number(state.dataset.walk || 0)];"""
# How many of the canvas's pixels are lit, and the picture.
READ_CANVAS = """const copy = document.createElement('canvas');
  copy.width = copy.height = 500;
  copy.getContext('2d').drawImage(document.getElementById('canvas'), 0, 0);
  const pixels = copy.getContext('2d').getImageData(0, 0, 500, 500).data;
  let lit = 0;
  for (let i = 0; i < pixels.length; i += 4) if (pixels[i] + pixels[i + 1] + pixels[i + 2]) lit++;
  return [lit, copy.toDataURL()];"""
# The editor, through its own API: its view, found as it finds itself from
# its element; its maze put in as if typed; the check's lines once the check
# of it has come; the map's squares; the editor's text.
VIEW = "document.querySelector('#maze-text .cm-content').cmTile.root.view"
TYPE = f"""const view = {VIEW};
  document.getElementById('check-said').textContent = document.getElementById('map').textContent = '';
  view.dispatch({{changes: {{from: 0, to: view.state.doc.length, insert: text}}, userEvent: 'input.type'}});"""
READ_CHECK = """const said = document.getElementById('check-said').textContent;
  return said && said != 'Checking…' && [Array.from(document.querySelectorAll('#check li'), (li) => li.textContent)];"""
READ_MAP = """const map = document.querySelector('#map svg');
  return map && Array.from(map.querySelectorAll('rect'), (r) => ['x', 'y', 'width', 'height', 'fill'].map((a) => r.getAttribute(a)));"""
READ_EDITOR = f"return {VIEW}.state.doc.toString();"
# This tab's draft, and the texts put aside as storage holds them.
READ_DRAFT = "return localStorage.getItem('zumbrel-draft.' + sessionStorage.getItem('zumbrel-tab'));"
READ_STORED = "return JSON.parse(localStorage.getItem('zumbrel-kept')).map((e) => e.text);"
# A link asked for, and its length, or the length it would have had, negated.
SHARE = """document.getElementById('share-link').textContent = document.getElementById('workshop-said').textContent = '';
  document.getElementById('share').click();"""
READ_SHARE = """const link = document.getElementById('share-link').textContent;
  const refused = /would be (\\d+) bytes/.exec(document.getElementById('workshop-said').textContent);
  return link ? link.length : refused && -Number(refused[1]);"""
# axe-core's checks: WCAG 2.1 A and AA, and its best practices; the
# violations, once they are known.
AXE = pathlib.Path("/opt/zumbrel-test/node_modules/axe-core/axe.min.js")
RUN_AXE = """window.violations = null;
  axe.run(document, {runOnly: {type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'best-practice']}})
    .then((r) => { window.violations = r.violations.map((v) => v.id + ': ' + v.nodes.map((n) => n.target.join(' ')).join(', ')); });"""
# Whether anything stands wider than the window.
SCROLLS_SIDEWAYS = "return document.documentElement.scrollWidth > window.innerWidth;"
# The next file the page hands to the browser, caught in base64, and its name.
CATCH = """window.saved = null;
  const create = URL.createObjectURL;
  URL.createObjectURL = (blob) => { const r = new FileReader(); r.onload = () => { window.saved = r.result.split(',')[1]; };
    r.readAsDataURL(blob); return create(blob); };
  HTMLAnchorElement.prototype.click = function () { window.savedAs = this.download; };"""
SAVE = CATCH + "document.getElementById('save').click();"


def EditorText(data):
    """A file as the editor holds it: a character a byte."""
    return data.decode("latin-1")


def Deflated(data):
    deflate = zlib.compressobj(9, zlib.DEFLATED, -15)
    return deflate.compress(data) + deflate.flush()


def Link(**files):
    return "#" + "&".join(f"{name}={base64.urlsafe_b64encode(data).decode().rstrip('=')}" for name, data in files.items())


def Until(condition):
    """condition's first true value, asked again until DEADLINE has passed."""
    end = time.monotonic() + DEADLINE
    while not (value := condition()):
        if time.monotonic() > end:
            raise AssertionError(f"waited {DEADLINE} s in vain: {condition.__doc__ or condition}")
        time.sleep(0.05)
    return value


def Settled(read, expected):
    """read's value once it equals expected, or its last when DEADLINE has passed: the page shows an earlier
    edit's check and map until the pause after the last one."""
    end = time.monotonic() + DEADLINE
    while (value := read()) != expected and time.monotonic() < end:
        time.sleep(0.05)
    return value


def StartupLines(output):
    lines = output.splitlines()
    ends = [i for i, line in enumerate(lines) if line.startswith(LAST_MODEL_LINE)]
    return lines[: ends[0] + 1] if ends else lines


def NameInGame(name):
    return name.strip().lower() if name.strip().lower() in MODELS else "maze.txt"


def RunTool(tool, maze):
    """The map tool's lines on standard error and its output, on maze.txt."""
    with tempfile.TemporaryDirectory() as work:
        pathlib.Path(work, "maze.txt").write_bytes(maze)
        run = subprocess.run(tool + ["maze.txt"], cwd=work, capture_output=True)
        return run.stderr.decode().splitlines(), run.stdout


def Squares(svg):
    return [[r.get(a) for a in ["x", "y", "width", "height", "fill"]]
            for r in xml.etree.ElementTree.fromstring(svg).iter("{http://www.w3.org/2000/svg}rect")]


def RunNative(files, args=()):
    """The Linux build's start-up lines, standard error and status (None when
    it was still walking) on the bundled files and the given ones."""
    with tempfile.TemporaryDirectory() as work:
        shutil.copytree(DATA, work, dirs_exist_ok=True)
        for name, data in files.items():
            pathlib.Path(work, NameInGame(name)).write_bytes(data)
        game = subprocess.Popen(["stdbuf", "-oL", ZUMBREL, *args], cwd=work, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)
        lines = []
        for line in game.stdout:
            lines.append(line.rstrip("\n"))
            if line.startswith(LAST_MODEL_LINE):
                game.terminate()
                break
        err = game.communicate(timeout=DEADLINE)[1]
        walking = bool(lines) and lines[-1].startswith(LAST_MODEL_LINE)
        return lines, err, None if walking else game.returncode


class Page(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.browser = ENGINE()
        cls.work = tempfile.mkdtemp()

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        shutil.rmtree(cls.work)

    def tearDown(self):
        self.assertIn(self.browser.errors(), ([], None))  # None: WebKitWebDriver keeps no console log

    def Open(self, query="", address=None):
        self.browser.open(address or pathlib.Path(PAGE).as_uri() + query)
        return self.WaitForWalk()

    def WaitForWalk(self, text=None, after=0):
        """Standard output, state and its kind, once a walk numbered above after
        has shown its last model line or ended; with text, once they hold it."""
        def Ready():
            out, state, kind, again_hidden, walk = self.browser.run(READ_PAGE)
            started = walk > after and (not again_hidden or LAST_MODEL_LINE in out)
            return (out, state, kind) if (text in out + state if text else started) else False
        return Until(Ready)

    def OpenFiles(self, files):
        """Opens them through the file control; returns the walk they replace."""
        walk = self.browser.run(READ_PAGE)[4]
        for name, data in files.items():
            pathlib.Path(self.work, name).write_bytes(data)
        self.browser.choose("open", [str(pathlib.Path(self.work, name)) for name in files])
        return walk

    def Canvas(self, more_than=0, other_than=None):
        return Until(lambda: (c := self.browser.run(READ_CANVAS))[0] > more_than and c[1] != other_than and c[1])

    def Type(self, text):
        """Puts the text in the editor as if typed; the draft it leaves goes at the end of the test."""
        self.browser.run(f"const text = {json.dumps(text)};" + TYPE)
        if not getattr(self, "typed", False):
            self.typed = True
            self.addCleanup(self.browser.run, "document.getElementById('revert').click();")

    def Violations(self, browser=None):
        browser = browser or self.browser
        browser.run(AXE.read_text() + "\nreturn true;")
        browser.run(RUN_AXE)
        return Until(lambda: (found := browser.run("return window.violations;")) is not None and [found])[0]

    def Caught(self, browser=None):
        """The file the page handed over, once it is whole, and its name."""
        browser = browser or self.browser
        data = Until(lambda: browser.run("return window.saved;"))
        return base64.b64decode(data), browser.run("return window.savedAs;")

    def AssertShown(self, browser, maze, map=True):
        """That the page's check, and its map, come to show what the map tool makes of maze."""
        lines = [RunTool([MAP, "--check"], maze)[0]]
        self.assertEqual(Settled(lambda: browser.run(READ_CHECK), lines), lines)
        if map:
            squares = Squares(RunTool([MAP], maze)[1])
            self.assertEqual(Settled(lambda: browser.run(READ_MAP), squares), squares)

    def Press(self, *keys):
        for key in keys:
            self.browser.keys(("down", key), ("pause", 0.5), ("up", key))

    def Chord(self, *keys):
        """The keys pressed together, and let go the other way round."""
        self.browser.keys(*[("down", key) for key in keys], *[("up", key) for key in reversed(keys)])

    def test_files_given_walk_as_the_linux_build_does(self):
        generated = subprocess.run([MAZEGEN, "--width", "61", "--height", "41", "--seed", "7", "--orbs", "5",
                                    "--teleports", "3"], check=True, capture_output=True).stdout
        cases = [  # (what, query, files opened, the Linux build's arguments)
            ("bundled maze", "", {}, []),
            ("options in the address", "?a&nr", {}, ["-a", "-nr"]),
            ("generated maze, any name", "", {"mine.txt": generated}, []),
            ("malformed model", "", {"orb.txt": b"1 x\n"}, []),
            ("a model's name in capitals", "", {"ORB.TXT": b"1 x\n"}, []),
            ("a model cut short", "", {"tele.txt": b"1 1 1 1 2 0 0 0\n"}, []),
            ("maze of the largest size", "", {"maze.txt": b"\n" * LARGEST_FILE}, []),
        ]
        for what, query, files, args in cases:
            with self.subTest(what):
                out, state, kind = self.Open(query)
                if files:
                    out, state, kind = self.WaitForWalk(after=self.OpenFiles(files))
                lines, err, status = RunNative(files, args)
                self.assertEqual(StartupLines(out), lines)
                if status is None:
                    self.assertEqual(kind, "")
                else:
                    self.assertEqual((state, kind, status), (err.rstrip("\n"), "fatal", 1))

    def test_the_picture_is_the_emulations_pixel_for_pixel(self):
        """The page gathers a frame's outlines into a few draws; the emulation
        draws each by itself, and the same picture comes, blending and all."""
        small = subprocess.run([MAZEGEN, "--width", "7", "--height", "5", "--doors", "0", "--orbs", "0",
                                "--pedestals", "0", "--teleports", "0"], check=True, capture_output=True).stdout
        generated = subprocess.run([MAZEGEN, "--width", "61", "--height", "41", "--seed", "7", "--orbs", "5",
                                    "--teleports", "3"], check=True, capture_output=True).stdout

        def Loop(vertices):  # a start marker of one wavy ring about the walker, drawn once a frame
            turn = [2 * math.pi * i / vertices for i in range(vertices)]
            return f"1 1 1 1 {vertices} ".encode() + " ".join(
                f"{2.5 * math.cos(t):.5f} {2.5 * math.sin(t):.5f} {2.5 + math.sin(7 * t):.5f}" for t in turn).encode()
        cases = [  # (what, query, files, whether the emulation draws it too)
            ("bundled maze", "?nr", {}, True),
            ("blended", "?a&nr", {}, True),
            ("generated maze", "?a&nr", {"maze.txt": generated}, True),
            ("a loop longer than a batch", "?nr", {"maze.txt": small, "start.txt": Loop(40000)}, True),
            # More than the emulation's 2 MB of vertices, where its walk ends with an uncaught error.
            ("a loop past the emulation", "?nr", {"maze.txt": small, "start.txt": Loop(180000)}, False),
        ]
        reports = lambda: self.browser.run(READ_PAGE)[0].count("Average fps")
        for what, query, files, emulated in cases:
            with self.subTest(what):
                pictures = []
                for page in [EMULATED] * emulated + [PAGE]:
                    self.Open(address=pathlib.Path(page).as_uri() + query)
                    if files:
                        self.WaitForWalk(after=self.OpenFiles(files))
                    Until(reports)
                    self.assertEqual(self.browser.run(READ_PAGE)[2], "")
                    pictures.append(emulated and self.Canvas(more_than=1000))
                self.assertEqual(pictures[-1], pictures[0])

    def test_keys_move_the_view_and_escape_ends_the_walk(self):
        self.Open("?nr")
        picture = self.Canvas(more_than=5000)
        # Held until the picture moves: on a busy machine a tick may come late.
        for key in ["i", "j"]:
            self.browser.keys(("down", key))
            picture = self.Canvas(other_than=picture)
            self.browser.keys(("up", key))
        # A key held as the canvas loses the focus is let go: the picture
        # stands still from the next frame report on. Headless Firefox's
        # window never has the focus, so no element there ever loses it.
        if ENGINE is not Firefox:
            reports = lambda: self.browser.run(READ_PAGE)[0].count("Average fps")
            self.browser.keys(("down", "j"))
            picture = self.Canvas(other_than=picture)
            self.browser.run("document.getElementById('option-a').focus()")
            pictures = []
            for _ in range(2):
                after = reports()
                Until(lambda: reports() > after)
                pictures.append(self.Canvas())
            self.browser.keys(("up", "j"))
            self.assertEqual(pictures[1], pictures[0])
            self.browser.run("document.getElementById('canvas').focus()")
        self.Press(ESCAPE)
        self.assertEqual(self.WaitForWalk("The walk has ended.")[1], "The walk has ended.")
        self.browser.run("document.getElementById('again').click()")
        self.assertEqual(self.WaitForWalk(after=1)[1], "Walking the bundled maze.")

    def test_keys_elsewhere_are_the_browsers(self):
        self.Open("?nr")
        # A frame report comes once the picture has settled, and again after
        # ticks that would have moved the walker.
        reports = lambda: self.browser.run(READ_PAGE)[0].count("Average fps")
        Until(reports)
        picture = self.Canvas(more_than=5000)
        # Typed in the editor or pressed on a box, they never reach the walk.
        self.addCleanup(self.browser.run, "document.getElementById('revert').click();")
        self.browser.run(f"const view = {VIEW}; view.focus(); view.dispatch({{selection: {{anchor: 0}}}});")
        self.Press("i", "k")
        self.browser.run("document.getElementById('option-a').focus()")
        self.Press("i")
        after = reports()
        Until(lambda: reports() > after)
        self.assertEqual(self.Canvas(more_than=5000), picture)
        self.assertTrue(self.browser.run(READ_EDITOR).startswith("ik"))
        self.Press(TAB)
        self.assertEqual(self.browser.run("return document.activeElement.id;"), "option-nr")
        if ENGINE is Firefox:
            self.skipTest("headless Firefox's window never has the focus, so Space toggles no box there, "
                          "on this page or a bare one")
        self.Press(" ")
        Until(lambda: not self.browser.run("return document.getElementById('option-nr').checked;"))

    def test_a_bad_file_leaves_the_page_usable(self):
        self.Open()
        self.OpenFiles({"big.txt": b"\n" * (LARGEST_FILE + 1)})
        self.assertEqual(self.WaitForWalk("too large")[1:], ("big.txt is too large to open here: 16777217 bytes, "
                                                             "where at most 16777216 are taken.", "fatal"))
        self.assertEqual(self.browser.run(READ_EDITOR), EditorText(BUNDLED["maze"]))
        self.OpenFiles({"maze.txt": b"\n" * LARGEST_FILE, "ped.txt": b"\n"})
        self.assertEqual(self.WaitForWalk("together")[1], "These files are too large to open here: 16777217 "
                                                          "bytes, where at most 16777216 are taken together.")
        _, state, _ = self.WaitForWalk(after=self.OpenFiles({"ped.txt": b"-1\n"}))
        self.assertEqual(state, "Negative count in ped.txt. Aborting.  : Numerical result out of range")
        walk = self.browser.run(READ_PAGE)[4]
        self.browser.run("document.getElementById('bundled').click()")
        self.assertEqual(self.WaitForWalk(after=walk)[1:], ("Walking the bundled maze.", ""))
        out, _, kind = self.WaitForWalk(after=self.OpenFiles({"maze.txt": b"#####\n#X.O#\n#####\n"}))
        self.assertEqual((kind, "Orbs     : 1 / 20" in out), ("", True))

    def test_the_workshop_checks_maps_and_makes_mazes_as_the_tools_do(self):
        self.Open()
        problems = b"#####\n#X.#x#X\n###\n#.#\n#####   ##\n"
        for what, maze in [("bundled maze", pathlib.Path(DATA, "maze.txt").read_bytes()),
                           ("problems", problems),
                           ("saved as UTF-16, lines ending in CR LF", b"\xff\xfe" + "###\r\n#X#\r\n".encode("utf-16-le")),
                           ("the bundled maze again, by the same worker", pathlib.Path(DATA, "maze.txt").read_bytes())]:
            with self.subTest(what):
                self.Type(EditorText(maze))
                self.AssertShown(self.browser, maze)
        with self.subTest("a line clicked puts the caret there"):
            self.Type(EditorText(problems))
            Until(lambda: self.browser.run(READ_CHECK))
            line, column = Until(lambda: self.browser.run("""const item = document.querySelector('#check li.place:nth-of-type(2) button');
                if (!item) return false; item.click(); return item.textContent.split(':').slice(1, 3).map(Number);"""))
            at = len(b"".join(problems.split(b"\n")[:line - 1])) + line - 1 + column - 1
            self.assertEqual(self.browser.run(f"const view = {VIEW}; return [document.activeElement == view.contentDOM, view.state.selection.main.head];"),
                             [True, at])
        for what, fields, status in [("a new maze", {"width": "41", "height": "21", "seed": "9", "teleports": "3"}, 0),
                                     ("a width the tool refuses", {"width": "2", "seed": "abc"}, 1),
                                     ("two at once: the later", {"width": "41", "seed": "10"}, 0)]:
            with self.subTest(what):
                before = self.browser.run(READ_EDITOR)
                walk = self.browser.run(READ_PAGE)[4]
                first = {"width": "41", "seed": "9"} if what.startswith("two") else fields
                self.browser.run(f"""const form = document.getElementById('generate');
                    for (const fields of [{json.dumps(first)}, {json.dumps(fields)}]) {{
                      for (const field of form.elements) if (field.name) field.value = fields[field.name] || '';
                      document.getElementById('workshop-said').textContent = '';
                      form.requestSubmit();
                    }}""")
                run = subprocess.run([MAZEGEN] + [a for name, v in fields.items() for a in ("--" + name, v)],
                                     capture_output=True)
                self.assertEqual(run.returncode, status)
                if status:
                    said = Until(lambda: self.browser.run("return document.getElementById('workshop-said').textContent;")
                                 .startswith("zumbrel") and self.browser.run("return document.getElementById('workshop-said').textContent;"))
                    self.assertEqual((said, self.browser.run(READ_EDITOR)), (run.stderr.decode().rstrip("\n"), before))
                else:
                    self.WaitForWalk(after=walk)
                    self.assertEqual(self.browser.run(READ_EDITOR), EditorText(run.stdout))
        for what, typed, opened in [("typed", b"#####\r\n#X\xe9.#\n#####", "\u0100"),
                                    ("opened, lines ending in CR LF", b"###\r\n#X#\r\n###\r\n", None),
                                    ("typed past U+FFFF", b"#X#", "\U0001F600")]:
            with self.subTest("Save gives the text's bytes: " + what):
                if opened is None:
                    self.WaitForWalk(after=self.OpenFiles({"maze.txt": typed}))
                else:
                    self.Type(EditorText(typed) + opened)
                self.browser.run(SAVE)
                self.assertEqual(self.Caught()[0], typed + (opened or "").encode())
                self.assertEqual(self.browser.run("return [window.savedAs, document.getElementById('workshop-said').textContent];"),
                                 ["maze.txt", f"Saved maze.txt, {len(typed + (opened or '').encode())} bytes."])

        # Any maze the page takes is shown, edited as typed and saved byte for byte.
        largest = (b"#" * 509 + b"\n") * (LARGEST_FILE // 510)
        for what, maze, keys, typed in [
                ("every byte value, CR LF and a lone CR", bytes(range(256)) + b"\r\n#\r#", "#", b"#"),
                ("the largest file, at its last line", largest + b"X" * (LARGEST_FILE - len(largest)), "#", b"#"),
                ("blanks are cells to Backspace and Enter", b"#\n   ", "\ue003\ue007#", b"\b\n#")]:
            with self.subTest(what):
                self.WaitForWalk(after=self.OpenFiles({"maze.txt": maze}))
                Until(lambda: self.browser.run(READ_CHECK))
                self.browser.run(f"""const view = {VIEW}; view.focus(); document.getElementById('check-said').textContent = '';
                    view.dispatch({{selection: {{anchor: view.state.doc.length}}, scrollIntoView: true}});""")
                self.Press(*keys)
                saved = maze[:-1] + typed[1:] if typed.startswith(b"\b") else maze + typed
                self.assertTrue(Until(lambda: self.browser.run(f"const view = {VIEW}; return view.visibleRanges.at(-1).to == view.state.doc.length;")))
                self.AssertShown(self.browser, saved, map=False)
                self.browser.run(SAVE)
                self.assertEqual(self.Caught()[0], saved)

    def test_the_editor_marks_problems_finds_and_undoes(self):
        self.Open()
        view = lambda script: self.browser.run(f"const view = {VIEW}; " + script)
        problems = b"#####\n#X.#x#X\n###\n#.#\n#####   ##\n"
        self.Type(EditorText(problems))
        places = [tuple(map(int, line.split(":")[1:3])) for line in Until(lambda: self.browser.run(READ_CHECK))[0]]
        offset = lambda line, column: len(b"".join(problems.split(b"\n")[:line - 1])) + line - 1 + column - 1
        with self.subTest("each problem underlined at its place, its line marked, F8 and Shift+F8 between them"):
            self.assertEqual(view("return [view.dom.querySelectorAll('.cm-lintRange-error').length, "
                                  "view.dom.querySelectorAll('.cm-lint-marker-error').length];"),
                             [len(places), len({line for line, _ in places})])
            view("view.focus(); view.dispatch({selection: {anchor: 0}});")
            found = []
            for keys in [(F8,)] * len(places) + [(SHIFT, F8)]:
                self.Chord(*keys)
                found.append(view("return view.state.selection.main.from;"))
            self.assertEqual(found, [offset(*place) for place in places] + [offset(*places[-2])])
        with self.subTest("Ctrl+F finds"):
            view("view.focus(); view.dispatch({selection: {anchor: 0}});")
            self.Chord(CONTROL, "f")
            Until(lambda: self.browser.run("return document.activeElement.name == 'search';"))
            self.Press("#", "x", "#", "\ue007")
            self.assertEqual(view("const s = view.state.selection.main; return [s.from, s.to];"), [9, 12])
            self.Press(ESCAPE)
        with self.subTest("Escape, then Tab leaves the editor"):
            view("view.focus();")
            self.Press(ESCAPE, TAB)
            self.assertEqual(self.browser.run("return document.activeElement.id;"), "walk-this")
        for what, replace in [("New maze", """const form = document.getElementById('generate');
                                 for (const field of form.elements) if (field.name) field.value = '';
                                 form.requestSubmit();"""),
                              ("Back to the bundled maze", "document.getElementById('revert').click();")]:
            with self.subTest("Ctrl+Z after " + what):
                edit = f"##### before {what}\n#X.O#\n#####\n"
                self.Type(edit)
                self.browser.run(replace)
                Until(lambda: self.browser.run(READ_EDITOR) != edit)
                view("view.focus();")
                self.Chord(CONTROL, "z")
                self.assertEqual(self.browser.run(READ_EDITOR), edit)
                self.Chord(CONTROL, SHIFT, "z")
                self.assertNotEqual(self.browser.run(READ_EDITOR), edit)

    def test_painting_on_the_map(self):
        self.Open()
        room = b"#######\n#X....#\n#.....#\n#######\n"
        wide = b"#" * 509 + b"\n#X" + b"." * 506 + b"#\n" + b"#" * 509 + b"\n"
        said = lambda: self.browser.run("return document.getElementById('paint-said').textContent;")

        def At(*cells):
            """The viewport's point at the middle of each cell, (row, column) from 0, of the map."""
            return self.browser.run(f"""document.getElementById('map-view').scrollIntoView({{block: 'nearest'}});
                const m = document.querySelector('#map svg g[transform*=scale]').getScreenCTM();
                return {json.dumps(cells)}.map(([r, c]) => new DOMPoint(c + 0.5, r + 0.5).matrixTransform(m))
                  .map((p) => [Math.round(p.x), Math.round(p.y)]);""")

        def Pointer(kind, name, *steps):
            """A pointer's actions, once the map is shown: ("move", (row, column)), "down" or "up"; None waits a tick."""
            act = lambda step: ({"type": "pause"} if step is None else {"type": "pointer" + step.title(), "button": 0}
                                if isinstance(step, str) else dict(zip(("type", "origin", "x", "y"),
                                                                       ("pointerMove", "viewport", *At(step[1])[0]))))
            return lambda: {"type": "pointer", "id": name, "parameters": {"pointerType": kind}, "actions": list(map(act, steps))}

        def Held(key, ticks):
            return lambda: {"type": "key", "id": "keys", "actions": [{"type": "keyDown", "value": key}] +
                            [{"type": "pause"}] * (ticks - 2) + [{"type": "keyUp", "value": key}]}

        click = lambda cell: Pointer("mouse", "mouse", ("move", cell), "down", "up")
        drag = lambda a, b: Pointer("mouse", "mouse", ("move", a), "down", ("move", b), "up", None)
        redone = room.replace(b"#.....#", b"#DDDDD#")
        row = wide.split(b"\n")[1]
        for what, maze, tool, do, saved, line in [
                ("a click", room, "D", [click((2, 3))], room.replace(b"#.....#", b"#..D..#"), ""),
                ("a drag, every cell it passes", room, "D", [drag((2, 1), (2, 5))], redone, ""),
                ("a Shift-drag fills its rectangle", room, "#", [(drag((1, 2), (2, 4)), Held(SHIFT, 5))],
                 b"#######\n#X###.#\n#.###.#\n#######\n", ""),
                ("Ctrl+Z takes the stroke back, Ctrl+Shift+Z puts it back", room, "D",
                 [drag((2, 1), (2, 5)), drag((1, 2), (1, 3)), (CONTROL, "z"), (CONTROL, "z"), (CONTROL, SHIFT, "z")], redone, ""),
                ("past a row's end and below the last row", b"###\n#X#\n###\n", "O", [click((1, 5)), click((4, 1))],
                 b"###\n#X#  O\n###\n\n O\n", ""),
                ("by keyboard: a tool, the cursor, Space", room, None,
                 ["focus", ("3",), ("\ue015",), ("\ue014",), ("\ue014",), (" ",), ("?",)], room.replace(b"#X....#", b"#XD...#"),
                 "The cursor is on row 2, column 3: a door."),
                ("a tap", room, "T", [Pointer("touch", "finger", ("move", (2, 2)), "down", "up")], room.replace(b"#.....#", b"#.T...#"), ""),
                ("two fingers pan and zoom and paint nothing", room, "T",
                 [(Pointer("touch", "one", ("move", (1, 2)), "down", ("move", (1, 3)), ("move", (1, 4)), "up"),
                   Pointer("touch", "two", None, ("move", (2, 2)), "down", ("move", (2, 5)), "up")), "zoomed"], room, ""),
                ("column 511 refused with its line", wide, "D", ["zoom-in"] * 4 + ["right", drag((1, 508), (1, 510))],
                 wide.replace(row, row[:508] + b"DD"), "Nothing is painted past column 510: the game reads no more than "
                 "510 characters of a line as one row."),
                ("a line longer than a row: nothing painted", b"#" * 600 + b"\n#X.#\n", "D", [click((2, 2))], b"#" * 600 + b"\n#X.#\n",
                 "Nothing is painted: a line of this text is longer than 510 characters, which the game reads as more "
                 "than one row, so the map's rows are not the text's lines. Mend the line the check names, then paint.")]:
            with self.subTest(what):
                if what.startswith(("a tap", "two fingers")) and ENGINE.name == "WebKit":
                    self.skipTest("WebKitWebDriver moves the mouse for a touch's actions")
                self.Type(EditorText(maze))
                # This maze's map, not the last one's: a map shown while the
                # map has the focus brings its cursor into view.
                self.AssertShown(self.browser, maze)
                self.browser.run(f"""document.getElementById('map-view').scrollIntoView();
                    document.getElementById('map-view').scrollLeft = 0;
                    document.querySelector({json.dumps(f'#paint [data-cell="{tool}"]' if tool else '#no-tool')}).click();
                    document.getElementById('check-said').textContent = {json.dumps("" if saved != maze else "kept")};""")
                for step in do:
                    if step in ("zoom-in", "focus"):
                        self.browser.run(f"document.getElementById({json.dumps(step if step != 'focus' else 'map-view')})"
                                         f".{'click' if step != 'focus' else 'focus'}();")
                    elif step == "zoomed":
                        self.assertNotEqual(self.browser.run("return document.getElementById('map-frame').style.width;"), "100%")
                    elif step == "right":
                        self.browser.run("const view = document.getElementById('map-view'); view.scrollLeft = view.scrollWidth;")
                    elif callable(step) or callable(step[0]):
                        self.browser.perform(*(source() for source in (step if isinstance(step, tuple) else [step])))
                    else:
                        self.browser.run("document.getElementById('map-view').focus();")
                        self.Chord(*step)
                self.assertEqual(said(), line)
                self.browser.run(SAVE)
                self.assertEqual(self.Caught()[0], saved)
                self.AssertShown(self.browser, saved, map=False)
        with self.subTest("Alt-click takes the cell's kind as the tool"):
            # Zoomed out again, the map fits its box: nothing scrolls it away from under the pointer.
            self.browser.run("for (let i = 0; i < 8; i++) document.getElementById('zoom-out').click();"
                             "document.getElementById('map-view').scrollLeft = 0;")
            self.browser.perform(Pointer("mouse", "mouse", ("move", (1, 1)), "down", "up", None)(), Held("\ue00a", 4)())
            self.assertEqual(self.browser.run("return document.querySelector('#paint [aria-pressed=true]').dataset.cell;"), "X")
        with self.subTest("no map, nothing to paint on"):
            self.Type(EditorText(b"#." * 254 + b"\n") * 20000)
            self.assertTrue(Until(lambda: said().startswith("There is nothing to paint on. The map of a maze this large")))

    def test_links_and_drafts(self):
        self.Open()
        draft = "#####\n#X.O#\n#####\n"
        self.Type(draft)
        Until(lambda: self.browser.run(READ_DRAFT) == draft)
        self.browser.open("about:blank")
        out, state, _ = self.Open()
        self.assertEqual((self.browser.run(READ_EDITOR), state, "Orbs     : 1 / 20" in out),
                         (draft, "Walking the maze in the editor.", True))
        for what, files in [("a link to the largest maze", {"maze": b"\n" * LARGEST_FILE}),
                            ("eight files as large as the page takes together", PADDED)]:
            with self.subTest(what):
                self.browser.open("about:blank")
                _, state, _ = self.Open(Link(**{name: Deflated(data) for name, data in files.items()}))
                self.assertEqual((state, self.browser.run(f"return {VIEW}.state.doc.length;")),
                                 ("Walking the maze of the link.", len(files["maze"])))
        for link, refusal in [(Link(maze=b"\xff"), "This link's maze is not raw DEFLATE."),
                              ("#maze=AB$D", "This link's maze is not base64url."),
                              ("#maze=AAAAA", "This link's maze is not base64url."),
                              (Link(maze=Deflated(b"\n" * (LARGEST_FILE + 1))),
                               f"This link's maze is more than {LARGEST_FILE} bytes once inflated."),
                              (Link(**{name: Deflated(data + b"\n" * (name == "ped")) for name, data in PADDED.items()}),
                               f"This link's files are more than {LARGEST_FILE} bytes together once inflated.")]:
            with self.subTest(refusal):
                self.browser.open("about:blank")
                out, state, _ = self.Open(link)
                self.assertEqual((StartupLines(out), state, self.browser.run(READ_EDITOR)),
                                 (RunNative({})[0], refusal + " The bundled maze is walked instead.", draft))
                self.assertEqual(self.browser.run(READ_DRAFT), draft)
                if "DEFLATE" in refusal:
                    self.assertEqual(self.Violations(), [])
        with self.subTest("a link opened afresh walks its maze"):
            maze = subprocess.run([MAZEGEN, "--width", "41", "--seed", "3"], check=True, capture_output=True).stdout
            self.browser.open("about:blank")
            self.Open("?nr")
            self.Type(EditorText(maze))
            self.browser.run("document.getElementById('share').click();")
            link = Until(lambda: self.browser.run("return document.getElementById('share-link').textContent;"))
            self.assertIn("?nr#maze=", link)
            fresh = ENGINE()
            try:
                fresh.open(link)
                read = lambda: fresh.run(READ_PAGE)[0]
                self.assertEqual(StartupLines(Until(lambda: LAST_MODEL_LINE in read() and read())), RunNative({"maze.txt": maze}, ["-nr"])[0])
                self.assertEqual(fresh.run(READ_EDITOR), EditorText(maze))
            finally:
                fresh.quit()
        with self.subTest("a link as long as a link may be, and one longer"):
            noise = random.Random(27).randbytes(60000).replace(b"\0", b"\1")

            def Share(size):
                """The length of the link to that much noise, negative when it was refused."""
                self.Type(EditorText(noise[:size]))
                self.browser.run(SHARE)
                return Until(lambda: self.browser.run(READ_SHARE))
            # With an option in the address too, so that it holds for any path.
            self.browser.run("document.getElementById('option-a').click();")
            size = 45000
            size += (LONGEST_LINK - Share(size)) * 3 // 4
            while Share(size) > 0:
                size += 1
            while (longest := Share(size - 1)) < 0:
                size -= 1
            self.assertTrue(0 < longest <= LONGEST_LINK < -Share(size))
            self.browser.run("document.getElementById('option-a').click();")
        self.browser.run("document.getElementById('revert').click();")
        self.assertIsNone(self.browser.run(READ_DRAFT))

    def test_nothing_typed_is_lost(self):
        self.Open()
        small = b"#####\n#X..#\n#####\n"
        generate = """const form = document.getElementById('generate');
            for (const field of form.elements) if (field.name) field.value = {width: '21', seed: '5'}[field.name] || '';
            form.requestSubmit();"""
        kept = lambda: self.browser.run("return Array.from(document.querySelectorAll('#drafts li'), (li) => li.textContent);")
        for what, replace in [("a link", f"location.hash = {json.dumps(Link(maze=Deflated(small)))};"),
                              ("a file opened", None),
                              ("New maze", generate),
                              ("a text put back", "document.querySelector('#drafts li:nth-of-type(2) button').click();"),
                              ("Back to the bundled maze", "document.getElementById('revert').click();"),
                              ("Walk the bundled maze", "document.getElementById('bundled').click();")]:
            with self.subTest(what):
                edit = f"##### {what}\n#X.O#\n#####\n"
                self.Type(edit)
                if replace:
                    self.browser.run(replace)
                else:
                    self.OpenFiles({"maze.txt": small})
                Until(lambda: self.browser.run(READ_EDITOR) != edit)
                # Kept at once, the pending draft with it, and put back from the list.
                self.assertIn(f'"##### {what}"', kept()[0])
                self.assertIn(edit, self.browser.run(READ_STORED))
                replaced = self.browser.run(READ_EDITOR)
                self.browser.run("document.querySelector('#drafts li button').click();")
                self.assertEqual(self.browser.run(READ_EDITOR), edit)
                self.assertEqual(self.browser.run(READ_STORED)[0], replaced)
        with self.subTest("a text put back, then a reload"):
            self.browser.open("about:blank")
            self.assertEqual(self.Open() and self.browser.run(READ_EDITOR), edit)
        for close in ["", "sessionStorage.clear();"]:
            with self.subTest("a draft, a reload or a close, a link and a key", close=close):
                edit = f"##### an earlier visit {close}\n#X..#\n#####\n"
                self.Type(edit)
                Until(lambda: self.browser.run(READ_DRAFT) == edit)
                self.browser.run(close)
                self.browser.open("about:blank")
                self.Open(Link(maze=Deflated(small)))
                self.Type("#")
                self.browser.run("document.getElementById('revert').click();")
                self.assertIn(edit, self.browser.run(READ_STORED))
        with self.subTest("another tab's texts, and a double click on Put back"):
            self.browser.run("""localStorage.setItem('zumbrel-kept', JSON.stringify([{when: 1, text: 'another tab'}]));
                window.dispatchEvent(new StorageEvent('storage', {key: 'zumbrel-kept'}));""")
            self.assertIn('"another tab"', kept()[0])
            self.Type(edit)
            self.browser.run("document.getElementById('revert').click();")
            self.assertEqual(self.browser.run(READ_STORED), [edit, "another tab"])
            self.browser.run("""const button = document.querySelector('#drafts button'), box = (button.scrollIntoView({block: 'center'}), button.getBoundingClientRect());
                for (const detail of [1, 2]) document.elementFromPoint(box.x + 2, box.y + 2).dispatchEvent(new MouseEvent('click', {bubbles: true, detail}));""")
            self.assertEqual((self.browser.run(READ_EDITOR), self.browser.run(READ_STORED)[1:]), (edit, ["another tab"]))
        with self.subTest("a large maze, then a reload"):
            edit = "##### before a large maze\n#X..#\n#####\n"
            self.Type(edit)
            self.browser.run(f"location.hash = {json.dumps(Link(maze=Deflated(b'#' * 1048577)))};")
            Until(lambda: self.browser.run(f"return {VIEW}.state.doc.length == 1048577;"))
            listed = kept()
            self.browser.open("about:blank")
            self.Open()
            self.assertEqual((self.browser.run(READ_EDITOR), kept()), (edit, listed))
        with self.subTest("a full storage: the older texts stay stored"):
            stored = self.browser.run(READ_STORED)
            self.browser.run("const text = '##### full\\n' + '#'.repeat(11000000 - 11);" + TYPE + "document.getElementById('revert').click();")
            self.assertEqual((self.browser.run("return document.getElementById('drafts-said').textContent;"), self.browser.run(READ_STORED),
                              kept()[0].endswith('"##### full", 11000000 bytes Put back'), len(kept())),
                             ("The browser's storage cannot take this text of 11000000 characters: it is listed until the page "
                              "is closed. Save it to keep it.", stored, True, len(stored) + 1))
        with self.subTest("two links in a row: the latest wins"):
            # The older link's inflating held back, so that it is read last.
            self.browser.run(f"""performance.clearMarks();
                const Inflating = DecompressionStream;
                window.DecompressionStream = function (format) {{
                  window.DecompressionStream = Inflating;
                  const stream = new Inflating(format), later = new TransformStream({{start: () => new Promise((r) => setTimeout(r, 500))}});
                  return {{writable: stream.writable, readable: stream.readable.pipeThrough(later)}}; }};
                location.hash = {json.dumps(Link(maze=Deflated(b'#' * LARGEST_FILE)))};
                setTimeout(() => {{ location.hash = {json.dumps(Link(maze=Deflated(small)))}; }}, 0);""")
            Until(lambda: self.browser.run("return performance.getEntriesByName('zumbrel-link-read').length == 2;"))
            self.assertEqual(self.browser.run(READ_EDITOR), EditorText(small))
        self.browser.run("history.replaceState(null, '', location.pathname); localStorage.clear();")

    def test_a_strangers_link_is_bounded(self):
        def Model(polygons, vertices):
            return f"{polygons} 1 1 1 ".encode() + b" ".join(f"{vertices} ".encode() + b"0 0 0 " * vertices for _ in range(polygons))

        def Heavy(**models):
            return (f"This link's models {', '.join(f'{n}.txt ({p} polygons, {v} vertices, {len(d)} bytes)' for n, (p, v, d) in models.items())} "
                    "give a frame more to draw than a link may (1000000 vertices at the cells they stand on, each polygon one "
                    "more), which could hold up the page: the bundled models are walked instead. Walk with the link's models")
        # A thousand walls and orbs, each drawn by a frame; a maze of walls wider than a frame sees.
        thousand, dense = b"X" + b"#" * 1000 + b"O" * 1000, (b"#" * 61 + b"\n") * 61
        negative = b"2 1 1 1 -0 " + Model(1, 999).split(b" ", 4)[4]
        for what, maze, files, said in [
                ("at the budget", thousand, {"wall": Model(1, 999)}, None),
                ("a vertex past it", thousand, {"wall": Model(1, 1000)}, Heavy(wall=(1, 1000, Model(1, 1000)))),
                ("a count of -0", thousand, {"wall": negative}, Heavy(wall=(2, 999, negative))),
                ("two models past it together", thousand, {"wall": Model(1, 499), "orb": Model(1, 500)},
                 Heavy(wall=(1, 499, Model(1, 499)), orb=(1, 500, Model(1, 500)))),
                ("a wall of 256 by 16 in a maze of walls", dense, {"wall": Model(256, 16)}, Heavy(wall=(256, 4096, Model(256, 16))))]:
            with self.subTest(what):
                self.browser.open("about:blank")
                out, state, _ = self.Open(Link(**{name: Deflated(data) for name, data in {"maze": maze, **files}.items()}))
                link_said = self.browser.run("const p = document.getElementById('link-said'); return !p.hidden && p.textContent;")
                self.assertEqual(link_said, said or False)
                if said and maze == thousand:
                    self.assertEqual(StartupLines(out), RunNative({"maze.txt": maze})[0])
                    walk = self.browser.run(READ_PAGE)[4]
                    self.browser.run("document.getElementById('walk-heavy').click();")
                    out, state, _ = self.WaitForWalk(after=walk)
                    self.assertEqual(state, "Walking the maze of the link, with its own models.")
        with self.subTest("a map the page will not show is never made"):
            self.Open()
            self.Type("X" + ("#." * 254 + "\n") * 1000)
            self.assertEqual(Until(lambda: self.browser.run("return document.getElementById('map').textContent;")),
                             "The map of a maze this large is left out: it would be more than the 4194304 bytes of SVG the page draws.")

    def test_a_maze_exported_walks_in_a_fresh_browser(self):
        self.Open()
        made = lambda width, height: subprocess.run([MAZEGEN, "--width", width, "--height", height, "--seed", "4"],
                                                    check=True, capture_output=True).stdout
        # Exactly as large as a page takes, with a model of its own.
        orb = b"1 1 1 1 3 0 0 0 1 0 0 0 1 0\n"
        largest = b".-hidden maze\n" + b"\n" * (LARGEST_FILE - 14 - len(orb) - sum(len(BUNDLED[n[:-4]]) for n in MODELS if n != "orb.txt"))
        for maze, models, name in [(made("25", "17"), {}, "maze.html"), (made("509", "1200"), {}, "maze.html"),
                                   (b"</script><!-- mine\n#X.O#</SCRIPT >\n#####\n", {}, "script -- mine.html"),
                                   (largest, {"orb.txt": orb}, "hidden maze.html")]:
            with self.subTest(name, size=len(maze)):
                self.WaitForWalk(after=self.OpenFiles({"maze.txt": maze, **models}))
                self.browser.run(CATCH + "document.getElementById('export').click();")
                page, saved_as = self.Caught()
                self.assertEqual(saved_as, name)
                self.assertLessEqual(len(zlib.compress(page, 9)), len(zlib.compress(pathlib.Path(PAGE).read_bytes(), 9)) + len(maze))
                pathlib.Path(self.work, name).write_bytes(page)
                fresh = ENGINE()
                try:
                    fresh.open(pathlib.Path(self.work, name).as_uri())
                    read = lambda: fresh.run(READ_PAGE)[0]
                    self.assertEqual(StartupLines(Until(lambda: LAST_MODEL_LINE in read() and read())),
                                     RunNative({"maze.txt": maze, **models})[0])
                    # Shared from there, its models go with the link, as in the page.
                    if models:
                        fresh.run(SHARE)
                        self.assertEqual(Until(lambda: fresh.run("return document.getElementById('share-link').hash;")),
                                         fresh.run("return document.getElementById('exported').textContent;"))
                    # Its maze in the bundled one's place, and the page exported again the same.
                    fresh.run(f"const text = {json.dumps('#')};" + TYPE + "document.getElementById('revert').click();")
                    self.assertEqual(Until(lambda: (text := fresh.run(READ_EDITOR)) != "#" and [text])[0],
                                     EditorText(maze))
                    fresh.run(CATCH + "document.getElementById('export').click();")
                    self.assertEqual(self.Caught(fresh), (page, name))
                finally:
                    fresh.quit()

    def test_a_walk_recorded_is_a_video(self):
        self.Open("?nr")
        if self.browser.run("return document.getElementById('record').disabled;"):
            self.assertEqual(self.browser.run("return document.getElementById('record-said').textContent;"),
                             "This browser cannot record video as WebM, so the walk cannot be recorded here.")
            self.skipTest(f"{ENGINE.name} has no MediaRecorder for WebM")
        picture = self.Canvas(more_than=5000)
        for stop in [lambda: self.browser.run("document.getElementById('record').click();"), lambda: self.Press(ESCAPE)]:
            with self.subTest(stop):
                self.browser.run(CATCH + "document.getElementById('record').click();")
                self.browser.keys(("down", "j"))
                picture = self.Canvas(other_than=self.Canvas(other_than=picture))
                self.browser.keys(("up", "j"))
                # Pressed again, or the walk ends: the file comes either way.
                stop()
                video, name = self.Caught()
                pathlib.Path(self.work, name).write_bytes(video)
                probe = json.loads(subprocess.run(
                    ["ffprobe", "-v", "error", "-count_frames", "-show_entries", "stream=codec_type,width,height,nb_read_frames",
                     "-of", "json", name], cwd=self.work, check=True, capture_output=True).stdout)["streams"]
                self.assertEqual((name, [(s["codec_type"], s["width"], s["height"]) for s in probe]),
                                 ("zumbrel-walk.webm", [("video", 500, 500)]))
                self.assertGreater(int(probe[0]["nb_read_frames"]), 1)
        # Once the walk has ended, there is nothing to record.
        self.assertTrue(self.browser.run("return document.getElementById('record').disabled;"))

    def test_restarts_leave_nothing_behind(self):
        if self.browser.listeners() is None:
            self.skipTest(f"{ENGINE.name}'s driver cannot count the page's listeners")
        self.Open()
        counts = []
        for restart in range(1, 7):
            self.browser.run("document.getElementById('option-nr').click()")
            self.WaitForWalk(after=restart)
            counts.append(self.browser.listeners())
        self.assertEqual(counts[-1], counts[1])

    def test_the_page_fits_every_screen_and_every_hand(self):
        self.Open()
        self.assertEqual(self.Violations(), [])
        with self.subTest("a link shown at desktop width moves nothing"):
            self.browser.resize(1280, 1024)
            where = """return ['check-said', 'map-frame', 'maze-text'].map((id) => {
                const box = document.getElementById(id).getBoundingClientRect(); return [box.left, box.top]; });"""
            before = self.browser.run(where)
            self.browser.run(SHARE)
            Until(lambda: self.browser.run(READ_SHARE))
            self.assertEqual((self.browser.run(where), self.browser.run(SCROLLS_SIDEWAYS)), (before, False))
        with self.subTest("check lines listed"):
            self.Type("#####\n#X.#x#X\n###\n")
            self.assertTrue(Until(lambda: self.browser.run(READ_CHECK))[0])
            self.assertEqual(self.Violations(), [])
        try:
            for width in [320, 390, 430]:
                with self.subTest(f"a phone {width} pixels wide"):
                    self.browser.resize(width, 844)
                    box = "const box = document.getElementById('canvas').getBoundingClientRect(); return [box.width, box.height];"
                    # WebKitGTK's MiniBrowser keeps its window at least 447 pixels wide.
                    size = Until(lambda: (size := self.browser.run(box))[0] < max(width, 447) - 20 and size)
                    self.assertAlmostEqual(*size, delta=1)
                    self.browser.run(SHARE)
                    Until(lambda: self.browser.run(READ_SHARE))
                    self.assertFalse(self.browser.run(SCROLLS_SIDEWAYS))
            self.assertEqual(self.Violations(), [])
        finally:
            self.browser.resize(1280, 1024)

    def test_walking_without_a_keyboard(self):
        # The walker's place as the page says it when asked: row, column and facing.
        place = lambda: re.findall(r"row (\d+), column (\d+) of the walked maze, facing ([a-z ]+)", self.browser.run(
            "document.getElementById('where-walker').click(); return document.getElementById('workshop-said').textContent;"))[0]
        reports = lambda: self.browser.run(READ_PAGE)[0].count("Average fps")

        def Still():
            before, after = place(), reports()
            Until(lambda: reports() > after)
            return place() == before and before

        def Do(steps):
            """Each step a script, a touch, or a wait: until the walker has walked or turned since it last stood, or stands."""
            stood = Until(Still)
            for step in steps:
                if step in ("walks", "turns"):
                    Until(lambda: any(place()[p] != stood[p] for p in ([0, 1] if step == "walks" else [2])))
                elif step == "stands":
                    stood = Until(Still)
                elif isinstance(step, tuple):
                    self.browser.touch(*step)
                else:
                    self.browser.run(step)
        pad = """window.pad = window.pad || {id: 'Test pad', index: 0, connected: true, mapping: 'standard', axes: [0, 0],
                   buttons: Array.from({length: 17}, () => ({pressed: false}))}; navigator.getGamepads = () => [pad];"""
        said = lambda: self.browser.run("return document.getElementById('pad-said').textContent;")
        with self.subTest("a gamepad: its stick, its d-pad, gone, and Start"):
            self.Open()
            Do([pad + "pad.axes[1] = -1;", "walks", "pad.axes[1] = 0;", "stands", "pad.buttons[14].pressed = true;", "turns",
                "navigator.getGamepads = () => []; dispatchEvent(Object.assign(new Event('gamepaddisconnected'), {gamepad: pad}));", "stands"])
            self.assertEqual(said(), "Gamepad: Test pad.")
            self.browser.run(pad + "pad.buttons[14].pressed = false; pad.buttons[9].pressed = true;")
            self.WaitForWalk("The walk has ended.")
        with self.subTest("a gamepad of another mapping"):
            self.Open()
            self.browser.run(pad + "pad.mapping = ''; pad.axes[1] = -1;")
            self.assertEqual(Until(said), "Gamepad: Test pad. Its buttons are not known to the page, which walks with pads of the standard mapping.")
        with self.subTest("the controls shown from the first touch"):
            shown = "return getComputedStyle(document.getElementById('touch')).display != 'none';"
            self.assertEqual([self.browser.run(shown), self.browser.run("document.body.dispatchEvent(new PointerEvent('pointerdown', "
                                                                        "{pointerType: 'touch', bubbles: true}));" + shown)], [False, True])
        if ENGINE is not Chromium:
            self.skipTest(f"trusted touches come through Chromium's DevTools protocol, which {ENGINE.name} has not")
        self.addCleanup(self.browser.phone)
        box = lambda selector: self.browser.run(f"const b = document.querySelector({json.dumps(selector)}).getBoundingClientRect(); "
                                                "return [b.left, b.top, b.right, b.bottom];")
        for width, height in [(320, 568), (568, 320), (390, 844), (900, 1280), (1280, 900), (844, 390)]:
            with self.subTest("the picture and every control on the screen", width=width, height=height):
                self.browser.phone(width, height)
                self.Open()
                for selector in ["canvas", *(f'#touch [data-key="{key}"]' for key in [73, 74, 75, 76])]:
                    left, top, right, bottom = box(selector)
                    self.assertTrue(0 <= left < right <= width and 0 <= top < bottom <= height, (selector, box(selector)))
                # Text smaller than 16 px is zoomed into as it takes the focus.
                self.assertGreaterEqual(self.browser.run("return parseFloat(getComputedStyle(document.querySelector('.cm-content')).fontSize);"), 16)
        self.assertEqual(self.Violations(), [])
        middle = lambda b: (b[0] / 2 + b[2] / 2, b[1] / 2 + b[3] / 2)
        (x, y), size, forward, turn = middle(box("canvas")), box("canvas")[2] - box("canvas")[0], *(box(f'#touch [data-key="{key}"]') for key in [73, 74])
        for what, steps in [
                ("a held button", [("touchStart", middle(forward)), "walks", ("touchEnd",), "stands"]),
                ("two thumbs", [("touchStart", middle(forward), middle(turn)), "walks", "turns", ("touchEnd",), "stands"]),
                ("a slide onto another button, and off", [("touchStart", middle(forward)), "walks", ("touchMove", middle(turn)), "turns",
                                                          ("touchMove", (x, y)), "stands", ("touchEnd",)]),
                ("a cancel", [("touchStart", middle(forward)), "walks", ("touchCancel",), "stands"]),
                ("the focus lost", [("touchStart", middle(forward)), "walks", "dispatchEvent(new Event('blur'));", "stands", ("touchEnd",)]),
                ("a drag on the picture", [("touchStart", (x, y)), ("touchMove", (x, y - 0.3 * size)), "walks",
                                           ("touchMove", (x + 0.05 * size, y + 0.05 * size)), "stands",
                                           ("touchMove", (x - 0.3 * size, y + 0.3 * size)), "turns", ("touchEnd",), "stands"])]:
            with self.subTest(what):
                self.Open()
                Do(steps)
                self.assertEqual(self.browser.run("return [scrollX, scrollY, visualViewport.scale];"), [0, 0, 1])

    def test_without_webgl_the_page_says_so(self):
        browser = ENGINE(webgl=False)
        try:
            browser.open(pathlib.Path(PAGE).as_uri())
            state = Until(lambda: browser.run("return document.getElementById('state').textContent;"))
            self.assertEqual(state, NO_WEBGL)
            # The workshop works in full with the bundled maze.
            maze = BUNDLED["maze"]
            self.assertEqual(Until(lambda: browser.run(READ_EDITOR)), EditorText(maze))
            self.AssertShown(browser, maze)
            self.assertEqual(self.Violations(browser), [])
            self.assertIn(browser.errors(), ([], None))
        finally:
            browser.quit()

    def test_served_from_a_server(self):
        quiet = type("Quiet", (http.server.SimpleHTTPRequestHandler,), {"log_message": lambda *args: None})
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(quiet, directory=os.path.dirname(PAGE)))
        threading.Thread(target=server.serve_forever, daemon=True).start()
        try:
            out, _, _ = self.Open(address=f"http://127.0.0.1:{server.server_port}/{os.path.basename(PAGE)}")
            self.assertEqual(StartupLines(out), RunNative({})[0])
        finally:
            server.shutdown()
            server.server_close()

    def test_run_web_refuses_a_port_it_cannot_serve_on(self):
        if ENGINE is not Chromium:
            self.skipTest("scripts/run serves the page alike for every engine: run once, with Chromium's table")
        taken = socket.create_server(("127.0.0.1", 0))
        port = taken.getsockname()[1]
        with taken:
            for port, line in [("abc", "run: the port must be a number from 0 to 65535, not 'abc'"),
                               ("65536", "run: the port must be a number from 0 to 65535, not '65536'"),
                               (str(port), f"run: cannot serve on 127.0.0.1 port {port}: Address already in use")]:
                with self.subTest(port):
                    run = subprocess.run([RUN, "--web", port], capture_output=True, text=True, timeout=DEADLINE)
                    self.assertEqual((run.stderr.splitlines()[-1:], run.returncode), ([line], 1))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[6:], verbosity=2)
