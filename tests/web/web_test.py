#!/usr/bin/python3
"""web_test.py: the page in headless Chromium, held against the Linux build.

Usage: web_test.py PAGE ZUMBREL ZUMBREL_MAZEGEN DATA_DIR
The Linux build runs under the DISPLAY this is given.
"""
import functools
import http.server
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import threading
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

PAGE, ZUMBREL, MAZEGEN, DATA = map(os.path.abspath, sys.argv[1:5])
# Deadlines a loaded machine cannot miss; each wait ends on its signal.
DEADLINE = 90
LARGEST_FILE = 16 * 1024 * 1024
LAST_MODEL_LINE = "Loading pedestal data"

# The lines the page's panel and state show, read in one go.
READ_PAGE = """
  const state = document.getElementById('state');
  const stdout = Array.from(document.getElementById('output').childNodes).filter((n) => n.nodeType == 3);
  return [stdout.map((n) => n.data).join(''), state.textContent,
          state.className, document.getElementById('again').hidden, Number(state.dataset.walk)];"""
# The canvas's pixels as the page shows them, and how many are lit.
READ_CANVAS = """
  const copy = document.createElement('canvas');
  copy.width = copy.height = 500;
  const context = copy.getContext('2d');
  context.drawImage(document.getElementById('canvas'), 0, 0);
  const pixels = context.getImageData(0, 0, 500, 500).data;
  let lit = 0;
  for (let i = 0; i < pixels.length; i += 4) if (pixels[i] + pixels[i + 1] + pixels[i + 2]) lit++;
  return [lit, copy.toDataURL()];"""


def StartupLines(output):
    """The lines up to the last model's, or all of them when it never came."""
    lines = output.splitlines()
    ends = [i for i, line in enumerate(lines) if line.startswith(LAST_MODEL_LINE)]
    return lines[: ends[0] + 1] if ends else lines


def RunNative(files, args=()):
    """The Linux build on the bundled files and the given ones: its start-up
    lines, its standard error and its status (None: still running, ended)."""
    with tempfile.TemporaryDirectory() as work:
        shutil.copytree(DATA, work, dirs_exist_ok=True)
        for name, data in files.items():
            pathlib.Path(work, name).write_bytes(data)
        game = subprocess.Popen(["stdbuf", "-oL", ZUMBREL, *args], cwd=work, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)
        lines = []
        for line in game.stdout:
            lines.append(line.rstrip("\n"))
            if line.startswith(LAST_MODEL_LINE):
                game.terminate()
                break
        _, err = game.communicate(timeout=DEADLINE)
        status = None if lines and lines[-1].startswith(LAST_MODEL_LINE) else game.returncode
        return lines, err, status


class Page(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        options = webdriver.ChromeOptions()
        for argument in ["--headless=new", "--no-sandbox", "--enable-unsafe-swiftshader",
                         "--window-size=1200,900"]:
            options.add_argument(argument)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        cls.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        cls.work = tempfile.mkdtemp()

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        shutil.rmtree(cls.work)

    def tearDown(self):
        errors = [entry for entry in self.driver.get_log("browser") if entry["level"] == "SEVERE"]
        self.assertEqual(errors, [])

    def Open(self, address):
        self.driver.get(address)
        return self.WaitForWalk()

    def WaitForWalk(self, text=None, after=0):
        """The panel and state of a walk started after the one numbered after,
        once its start-up has ended: the last model's line shown, or the walk
        ended; with text, once the panel or state holds it."""
        def Ready(driver):
            output, state, kind, again_hidden, walk = driver.execute_script(READ_PAGE)
            if text is not None:
                done = text in output + state
            else:
                done = walk > after and (not again_hidden or
                                         any(l.startswith(LAST_MODEL_LINE) for l in output.splitlines()))
            return (output, state, kind) if done else False
        return WebDriverWait(self.driver, DEADLINE).until(Ready)

    def OpenFiles(self, files):
        """Opens them through the file control; returns the walk they replace."""
        walk = self.driver.execute_script("return Number(document.getElementById('state').dataset.walk)")
        paths = []
        for name, data in files.items():
            path = pathlib.Path(self.work, name)
            path.write_bytes(data)
            paths.append(str(path))
        self.driver.find_element("id", "open").send_keys("\n".join(paths))
        return walk

    def Canvas(self):
        return self.driver.execute_script(READ_CANVAS)

    def WaitForCanvasChange(self, before):
        WebDriverWait(self.driver, DEADLINE).until(lambda d: self.Canvas()[1] != before)

    def Press(self, key, seconds):
        canvas = self.driver.find_element("id", "canvas")
        ActionChains(self.driver).key_down(key, canvas).pause(seconds).key_up(key, canvas).perform()

    def test_files_given_walk_as_the_linux_build_does(self):
        generated = subprocess.run([MAZEGEN, "--width", "61", "--height", "41", "--seed", "7", "--orbs", "5",
                                    "--teleports", "3"], check=True, capture_output=True).stdout
        # (what, files opened, query, arguments of the Linux build)
        cases = [
            ("bundled maze", {}, "", []),
            ("options in the address", {}, "?a&nr", ["-a", "-nr"]),
            ("generated maze, any name", {"mine.txt": generated}, "", []),
            ("malformed model", {"orb.txt": b"1 x\n"}, "", []),
            ("maze of the largest size", {"maze.txt": b"\n" * LARGEST_FILE}, "", []),
        ]
        for what, files, query, args in cases:
            with self.subTest(what):
                output, state, kind = self.Open(pathlib.Path(PAGE).as_uri() + query)
                if files:
                    output, state, kind = self.WaitForWalk(after=self.OpenFiles(files))
                native = {"maze.txt" if n == "mine.txt" else n: d for n, d in files.items()}
                lines, err, status = RunNative(native, args)
                self.assertEqual(StartupLines(output), lines)
                if status is None:
                    self.assertEqual(kind, "")
                else:
                    self.assertEqual((state, kind), (err.rstrip("\n"), "fatal"))
                    self.assertEqual(status, 1)

    def test_keys_move_the_view_and_escape_ends_the_walk(self):
        self.Open(pathlib.Path(PAGE).as_uri() + "?nr")
        # Lit: the maze drawn, as the window shows it at the start.
        still = WebDriverWait(self.driver, DEADLINE).until(lambda d: (c := self.Canvas())[0] > 5000 and c[1])
        for key in ["i", "j"]:
            self.Press(key, 0.5)
            self.WaitForCanvasChange(still)
            still = self.Canvas()[1]
        ActionChains(self.driver).send_keys(Keys.ESCAPE).perform()
        _, state, _ = self.WaitForWalk("The walk has ended.")
        self.assertEqual(state, "The walk has ended.")
        self.driver.find_element("id", "again").click()
        self.assertEqual(self.WaitForWalk(after=1)[1], "Walking the bundled maze.")

    def test_a_bad_file_leaves_the_page_usable(self):
        self.Open(pathlib.Path(PAGE).as_uri())
        self.OpenFiles({"big.txt": b"\n" * (LARGEST_FILE + 1)})
        _, state, kind = self.WaitForWalk("too large")
        self.assertEqual((state, kind), ("big.txt is too large to open here: 16777217 bytes, where at most "
                                         "16777216 are taken.", "fatal"))
        _, state, _ = self.WaitForWalk(after=self.OpenFiles({"ped.txt": b"-1\n"}))
        self.assertEqual(state, "Negative count in ped.txt. Aborting.  : Numerical result out of range")
        output, _, kind = self.WaitForWalk(after=self.OpenFiles({"maze.txt": b"#####\n#X.O#\n#####\n"}))
        self.assertIn("Orbs     : 1 / 20", output)
        self.assertEqual(kind, "")

    def test_served_from_a_server(self):
        class Quiet(http.server.SimpleHTTPRequestHandler):
            def log_message(self, *args):
                pass
        handler = functools.partial(Quiet, directory=os.path.dirname(PAGE))
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        try:
            output, _, _ = self.Open(f"http://127.0.0.1:{server.server_port}/{os.path.basename(PAGE)}")
            self.assertEqual(StartupLines(output), RunNative({})[0])
        finally:
            server.shutdown()
            server.server_close()


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
