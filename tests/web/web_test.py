#!/usr/bin/python3
"""web_test.py PAGE ZUMBREL ZUMBREL_MAZEGEN DATA_DIR: the page in headless
Chromium, held against the Linux build, which runs under the given DISPLAY."""
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
DEADLINE = 90  # seconds; every wait ends on its signal
LARGEST_FILE = 16 * 1024 * 1024
LAST_MODEL_LINE = "Loading pedestal data"
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


def StartupLines(output):
    lines = output.splitlines()
    ends = [i for i, line in enumerate(lines) if line.startswith(LAST_MODEL_LINE)]
    return lines[: ends[0] + 1] if ends else lines


def RunNative(files, args=()):
    """The Linux build's start-up lines, standard error and status (None when
    it was still walking) on the bundled files and the given ones."""
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
        err = game.communicate(timeout=DEADLINE)[1]
        walking = bool(lines) and lines[-1].startswith(LAST_MODEL_LINE)
        return lines, err, None if walking else game.returncode


class Page(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        options = webdriver.ChromeOptions()
        for argument in ["--headless=new", "--no-sandbox", "--enable-unsafe-swiftshader"]:
            options.add_argument(argument)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        cls.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        cls.work = tempfile.mkdtemp()

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        shutil.rmtree(cls.work)

    def tearDown(self):
        self.assertEqual([e for e in self.driver.get_log("browser") if e["level"] == "SEVERE"], [])

    def Open(self, query="", address=None):
        self.driver.get(address or pathlib.Path(PAGE).as_uri() + query)
        return self.WaitForWalk()

    def WaitForWalk(self, text=None, after=0):
        """Standard output, state and its kind, once a walk numbered above after
        has shown its last model line or ended; with text, once they hold it."""
        def Ready(driver):
            out, state, kind, again_hidden, walk = driver.execute_script(READ_PAGE)
            started = walk > after and (not again_hidden or LAST_MODEL_LINE in out)
            return (out, state, kind) if (text in out + state if text else started) else False
        return WebDriverWait(self.driver, DEADLINE).until(Ready)

    def OpenFiles(self, files):
        """Opens them through the file control; returns the walk they replace."""
        walk = self.driver.execute_script(READ_PAGE)[4]
        for name, data in files.items():
            pathlib.Path(self.work, name).write_bytes(data)
        paths = "\n".join(str(pathlib.Path(self.work, name)) for name in files)
        self.driver.find_element("id", "open").send_keys(paths)
        return walk

    def Canvas(self, more_than=0, other_than=None):
        return WebDriverWait(self.driver, DEADLINE).until(
            lambda d: (c := d.execute_script(READ_CANVAS))[0] > more_than and c[1] != other_than and c[1])

    def test_files_given_walk_as_the_linux_build_does(self):
        generated = subprocess.run([MAZEGEN, "--width", "61", "--height", "41", "--seed", "7", "--orbs", "5",
                                    "--teleports", "3"], check=True, capture_output=True).stdout
        cases = [  # (what, query, files opened, the Linux build's arguments)
            ("bundled maze", "", {}, []),
            ("options in the address", "?a&nr", {}, ["-a", "-nr"]),
            ("generated maze, any name", "", {"mine.txt": generated}, []),
            ("malformed model", "", {"orb.txt": b"1 x\n"}, []),
            ("maze of the largest size", "", {"maze.txt": b"\n" * LARGEST_FILE}, []),
        ]
        for what, query, files, args in cases:
            with self.subTest(what):
                out, state, kind = self.Open(query)
                if files:
                    out, state, kind = self.WaitForWalk(after=self.OpenFiles(files))
                lines, err, status = RunNative({n.replace("mine", "maze"): d for n, d in files.items()}, args)
                self.assertEqual(StartupLines(out), lines)
                if status is None:
                    self.assertEqual(kind, "")
                else:
                    self.assertEqual((state, kind, status), (err.rstrip("\n"), "fatal", 1))

    def test_keys_move_the_view_and_escape_ends_the_walk(self):
        self.Open("?nr")
        picture = self.Canvas(more_than=5000)
        for key in ["i", "j"]:
            canvas = self.driver.find_element("id", "canvas")
            ActionChains(self.driver).key_down(key, canvas).pause(0.5).key_up(key, canvas).perform()
            picture = self.Canvas(other_than=picture)
        ActionChains(self.driver).send_keys(Keys.ESCAPE).perform()
        self.assertEqual(self.WaitForWalk("The walk has ended.")[1], "The walk has ended.")
        self.driver.find_element("id", "again").click()
        self.assertEqual(self.WaitForWalk(after=1)[1], "Walking the bundled maze.")

    def test_a_bad_file_leaves_the_page_usable(self):
        self.Open()
        self.OpenFiles({"big.txt": b"\n" * (LARGEST_FILE + 1)})
        self.assertEqual(self.WaitForWalk("too large")[1:], ("big.txt is too large to open here: 16777217 bytes, "
                                                             "where at most 16777216 are taken.", "fatal"))
        _, state, _ = self.WaitForWalk(after=self.OpenFiles({"ped.txt": b"-1\n"}))
        self.assertEqual(state, "Negative count in ped.txt. Aborting.  : Numerical result out of range")
        out, _, kind = self.WaitForWalk(after=self.OpenFiles({"maze.txt": b"#####\n#X.O#\n#####\n"}))
        self.assertEqual((kind, "Orbs     : 1 / 20" in out), ("", True))

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


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
