#!/usr/bin/python3
"""web_test.py PAGE ZUMBREL ZUMBREL_MAZEGEN DATA_DIR ENGINE: the page in a
browser engine (Chromium, Firefox or WebKit), held against the Linux build,
which runs under the given DISPLAY."""
import functools
import http.server
import os
import pathlib
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

from browsers import DEADLINE, ENGINES, ESCAPE, TAB, Chromium, Firefox

PAGE, ZUMBREL, MAZEGEN, DATA = map(os.path.abspath, sys.argv[1:5])
ENGINE = ENGINES[sys.argv[5]]
RUN = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "run"
LARGEST_FILE = 16 * 1024 * 1024
LAST_MODEL_LINE = "Loading pedestal data"
MODELS = ["space.txt", "wall.txt", "door.txt", "start.txt", "orb.txt", "tele.txt", "ped.txt"]
NO_WEBGL = ("This browser gives the page no WebGL, which the game draws with. Turn on WebGL, or hardware "
            "acceleration, in its settings, or open the page in another browser.")
# Standard output as the panel shows it, the state line, and the walk's number.
READ_PAGE = """const state = document.getElementById('state');
  const out = Array.from(document.getElementById('output').childNodes).filter((n) => n.nodeType == 3);
  return [out.map((n) => n.data).join(''), state.textContent, state.className,
          document.getElementById('again').hidden, Number(state.dataset.walk)];"""
# How many of the canvas's pixels are lit, and the picture.
READ_CANVAS = """const copy = document.createElement('canvas');
  copy.width = copy.height = 500;
  copy.getContext('2d').drawImage(document.getElementById('canvas'), 0, 0);
  const pixels = copy.getContext('2d').getImageData(0, 0, 500, 500).data;
  let lit = 0;
  for (let i = 0; i < pixels.length; i += 4) if (pixels[i] + pixels[i + 1] + pixels[i + 2]) lit++;
  return [lit, copy.toDataURL()];"""


def Until(condition):
    """condition's first true value, asked again until DEADLINE has passed."""
    end = time.monotonic() + DEADLINE
    while not (value := condition()):
        if time.monotonic() > end:
            raise AssertionError(f"waited {DEADLINE} s in vain: {condition.__doc__ or condition}")
        time.sleep(0.05)
    return value


def StartupLines(output):
    lines = output.splitlines()
    ends = [i for i, line in enumerate(lines) if line.startswith(LAST_MODEL_LINE)]
    return lines[: ends[0] + 1] if ends else lines


def NameInGame(name):
    return name.strip().lower() if name.strip().lower() in MODELS else "maze.txt"


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

    def Press(self, *keys):
        for key in keys:
            self.browser.keys(("down", key), ("pause", 0.5), ("up", key))

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

    def test_keys_move_the_view_and_escape_ends_the_walk(self):
        self.Open("?nr")
        picture = self.Canvas(more_than=5000)
        for key in ["i", "j"]:
            self.Press(key)
            picture = self.Canvas(other_than=picture)
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
        self.browser.run("document.getElementById('option-a').focus()")
        self.Press("i")
        after = reports()
        Until(lambda: reports() > after)
        self.assertEqual(self.Canvas(more_than=5000), picture)
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

    def test_the_picture_keeps_its_square(self):
        self.Open()
        try:
            self.browser.resize(390, 844)
            box = "const box = document.getElementById('canvas').getBoundingClientRect(); return [box.width, box.height];"
            # WebKitGTK's MiniBrowser keeps its window at least 447 pixels wide.
            width, height = Until(lambda: (size := self.browser.run(box))[0] < 420 and size)
            self.assertAlmostEqual(width, height, delta=1)
        finally:
            self.browser.resize(1280, 1024)

    def test_without_webgl_the_page_says_so(self):
        browser = ENGINE(webgl=False)
        try:
            browser.open(pathlib.Path(PAGE).as_uri())
            state = Until(lambda: browser.run("return document.getElementById('state').textContent;"))
            self.assertEqual(state, NO_WEBGL)
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
    unittest.main(argv=sys.argv[:1], verbosity=2)
