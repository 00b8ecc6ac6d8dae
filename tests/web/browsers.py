"""browsers.py: the three browser engines, driven alike: Chromium and WebKitGTK
through their WebDriver servers, Firefox through the WebDriver BiDi it speaks
itself. Each opens an address, runs a function's body in the page and returns
its value, presses keys at the focus, chooses files, and reports the console's
errors; what an engine's driver cannot do it answers with None."""
import json
import re
import shutil
import subprocess
import tempfile
import threading

import websocket
from selenium import webdriver
from selenium.webdriver.chrome.service import Service

DEADLINE = 90  # seconds for any one command
ESCAPE, TAB, SHIFT, CONTROL, F8 = "\ue00c", "\ue004", "\ue008", "\ue009", "\ue038"


class Selenium:
    def open(self, address):
        self.driver.get(address)

    def run(self, body):
        return self.driver.execute_script(body)

    def keys(self, *strokes):
        """Presses keys where the focus is: ("down", key), ("up", key) or
        ("pause", seconds); a key left down stays down until a later call."""
        chain = webdriver.ActionChains(self.driver)
        for what, value in strokes:
            {"down": chain.key_down, "up": chain.key_up, "pause": chain.pause}[what](value)
        chain.perform()

    def perform(self, *sources):
        """Performs W3C input sources' actions, tick by tick, then lets all go."""
        self.driver.execute("actions", {"actions": list(sources)})
        self.driver.execute("clearActionState")

    def choose(self, element_id, paths):
        self.driver.find_element("id", element_id).send_keys("\n".join(paths))

    def resize(self, width, height):
        self.driver.set_window_size(width, height)

    def quit(self):
        self.driver.quit()


class Chromium(Selenium):
    name = "Chromium"

    def __init__(self, webgl=True):
        options = webdriver.ChromeOptions()
        for argument in ["--headless=new", "--no-sandbox", "--enable-unsafe-swiftshader"] + \
                        ([] if webgl else ["--disable-3d-apis"]):
            options.add_argument(argument)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        self.driver.set_script_timeout(DEADLINE)
        self.version = self.driver.capabilities.get("browserVersion")

    def errors(self):
        return [e["message"] for e in self.driver.get_log("browser") if e["level"] == "SEVERE"]

    def listeners(self):
        """Listeners still held once what nothing holds is collected."""
        self.driver.execute_cdp_cmd("HeapProfiler.collectGarbage", {})
        return self.driver.execute_cdp_cmd("Memory.getDOMCounters", {})["jsEventListeners"]

    def phone(self, width=None, height=None):
        """Emulates a phone's touch screen of that size, or, with none, stops."""
        self.driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": bool(width), "maxTouchPoints": 5})
        self.driver.execute_cdp_cmd(*(("Emulation.setDeviceMetricsOverride", {"width": width, "height": height,
                                       "deviceScaleFactor": 1, "mobile": True}) if width else ("Emulation.clearDeviceMetricsOverride", {})))

    def touch(self, kind, *points):
        """A trusted touch: touchStart, touchMove, touchEnd or touchCancel, each point (x, y) a finger."""
        self.driver.execute_cdp_cmd("Input.dispatchTouchEvent", {
            "type": kind, "touchPoints": [{"x": x, "y": y, "id": i} for i, (x, y) in enumerate(points)]})


class WebKit(Selenium):
    name = "WebKit"
    MINI_BROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"

    def __init__(self, webgl=True):
        options = webdriver.WebKitGTKOptions()
        options.binary_location = self.MINI_BROWSER
        options.add_argument("--automation")
        if not webgl:
            options.add_argument("--enable-webgl=false")
        self.driver = webdriver.WebKitGTK(executable_path="/usr/bin/WebKitWebDriver", options=options)
        self.driver.set_script_timeout(DEADLINE)
        self.version = self.driver.capabilities.get("browserVersion")

    def errors(self):
        return None  # WebKitWebDriver keeps no console log

    def listeners(self):
        return None  # nor counts them


class Firefox:
    name = "Firefox"

    def __init__(self, webgl=True):
        self.profile = tempfile.mkdtemp()
        # Headless, WebGL needs the display to be forced on.
        with open(f"{self.profile}/user.js", "w") as prefs:
            prefs.write(f'user_pref("webgl.force-enabled", {json.dumps(webgl)});\n'
                        f'user_pref("webgl.disabled", {json.dumps(not webgl)});\n')
        self.process = subprocess.Popen(
            ["firefox-esr", "--headless", "--no-remote", "--profile", self.profile, "--remote-debugging-port=0"],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        for line in self.process.stderr:
            listening = re.match(r"WebDriver BiDi listening on (ws://\S+)", line)
            if listening:
                break
        else:
            raise RuntimeError("firefox-esr ended before it listened for WebDriver BiDi")
        # What it says later is read, so that it never waits on a full pipe.
        self.reader = threading.Thread(target=self.process.stderr.read, daemon=True)
        self.reader.start()
        self.socket = websocket.create_connection(listening[1] + "/session", suppress_origin=True,
                                                  timeout=DEADLINE)
        self.sent = 0
        self.logged = []
        self.version = self.send("session.new", {"capabilities": {}})["capabilities"]["browserVersion"]
        self.context = self.send("browsingContext.getTree", {})["contexts"][0]["context"]
        self.send("session.subscribe", {"events": ["log.entryAdded"]})

    def send(self, method, params):
        """The command's result, keeping the console's errors that come before it."""
        self.sent += 1
        self.socket.send(json.dumps({"id": self.sent, "method": method, "params": params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("method") == "log.entryAdded":
                entry = message["params"]
                if entry["level"] == "error":
                    self.logged.append(entry["text"])
            elif message.get("id") == self.sent:
                if message.get("type") == "error":
                    raise RuntimeError(f"{method}: {message['error']}: {message.get('message')}")
                return message["result"]

    def call(self, declaration, arguments=()):
        result = self.send("script.callFunction", {
            "functionDeclaration": declaration, "arguments": list(arguments), "awaitPromise": True,
            "target": {"context": self.context}})
        if result["type"] == "exception":
            raise RuntimeError(result["exceptionDetails"]["text"])
        return result["result"]

    def open(self, address):
        self.send("browsingContext.navigate", {"context": self.context, "url": address, "wait": "complete"})

    def run(self, body):
        value = self.call(f"function () {{ return JSON.stringify((() => {{ {body} }})()); }}")
        return json.loads(value["value"]) if value["type"] == "string" else None

    def keys(self, *strokes):
        kinds = {"down": "keyDown", "up": "keyUp"}
        actions = [{"type": "pause", "duration": int(value * 1000)} if what == "pause"
                   else {"type": kinds[what], "value": value} for what, value in strokes]
        self.send("input.performActions", {"context": self.context,
                                           "actions": [{"type": "key", "id": "keyboard", "actions": actions}]})
        # A key pressed last is held until a later call lets it go.
        if strokes[-1][0] != "down":
            self.send("input.releaseActions", {"context": self.context})

    def perform(self, *sources):
        self.send("input.performActions", {"context": self.context, "actions": list(sources)})
        self.send("input.releaseActions", {"context": self.context})

    def choose(self, element_id, paths):
        element = self.call("function (id) { return document.getElementById(id); }",
                            [{"type": "string", "value": element_id}])
        self.send("input.setFiles", {"context": self.context, "element": {"sharedId": element["sharedId"]},
                                     "files": list(paths)})

    def resize(self, width, height):
        self.send("browsingContext.setViewport",
                  {"context": self.context, "viewport": {"width": width, "height": height}})

    def errors(self):
        logged, self.logged = self.logged, []
        return logged

    def listeners(self):
        return None  # BiDi has no count of them

    def quit(self):
        try:
            self.send("browser.close", {})
        except (RuntimeError, websocket.WebSocketException):
            pass  # it may close before it answers
        self.socket.close()
        try:
            self.process.wait(timeout=DEADLINE)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.reader.join()
        self.process.stderr.close()
        shutil.rmtree(self.profile, ignore_errors=True)


ENGINES = {engine.name: engine for engine in (Chromium, Firefox, WebKit)}
