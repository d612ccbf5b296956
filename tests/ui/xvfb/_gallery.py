"""Runs the UI gallery in a private Xvfb server and reads what it printed and
the screenshots it took."""
import json
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "platform", "xvfb"))
from _checks import check, failures, finish  # noqa: E402,F401
from _procs import JsonLineChild  # noqa: E402
from _xvfb import temp_dir, xvfb  # noqa: E402,F401


def parse(stdout):
    out = []
    for line in stdout.splitlines():
        line = line.strip()
        if line.startswith("{"):
            out.append(json.loads(line))
    return out


def run_gallery(build, env, page, extra=None, timeout=120):
    e = dict(env, ASAN_OPTIONS="detect_leaks=0", **(extra or {}))
    r = subprocess.run([os.path.join(build, "tools", "ui_gallery"), page], env=e, capture_output=True, text=True,
                       timeout=timeout)
    if r.returncode != 0:
        print(r.stderr[-3000:])
    return r.returncode, parse(r.stdout)


def widgets(lines):
    for j in lines:
        if "widgets" in j:
            return {w["label"]: w["rect"] for w in j["widgets"]}
    return {}


def pixel(path, x, y):
    from PIL import Image
    with Image.open(path) as im:
        return im.convert("RGB").getpixel((int(x), int(y)))


def hex_rgb(value):
    return ((value >> 16) & 255, (value >> 8) & 255, value & 255)


def close(a, b, tolerance=2):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


class LiveGallery(JsonLineChild):
    """A gallery left running: its JSON lines are collected in a thread, and
    xdotool drives the pointer and keyboard over its window."""

    def __init__(self, build, env, page, extra=None):
        self.env = env
        self.seen = []
        e = dict(env, ASAN_OPTIONS="detect_leaks=0", **(extra or {}))
        super().__init__([os.path.join(build, "tools", "ui_gallery"), page], e)
        layout = self.wait(lambda j: "layout" in j, 60)
        self.rects = {w["label"]: w["rect"] for w in (layout or {}).get("layout", [])}

    def keep(self, item):
        self.seen.append(item)

    def xdo(self, *args):
        import time
        subprocess.run(["xdotool", *args], env=self.env, check=True)
        time.sleep(0.25)

    def click(self, label, button="1", dx=None):
        x, y, w, h = self.rects[label]
        self.xdo("mousemove", str(int(x + (dx if dx is not None else w / 2))), str(int(y + h / 2)))
        self.xdo("click", button)

    def quit(self):
        self.xdo("key", "ctrl+q")
        try:
            out, err = self.proc.communicate(timeout=20)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            out, err = self.proc.communicate()
        for line in out.splitlines():
            line = line.strip()
            if line.startswith("{"):
                self.seen.append(json.loads(line))
        while not self.lines.empty():
            item = self.lines.get()
            if item is not None:
                self.seen.append(item)
        return self.proc.returncode
