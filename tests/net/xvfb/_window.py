"""One run of a program file under Xvfb, driven by widget id: the program
lists its widgets each frame (QUENMRK_TEST_WIDGETS) and xdotool clicks the
centre of a listed rectangle. Shared by the updater's and the terms page's
window tests."""
import json
import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "app", "xvfb"))
from _shell import wait_for  # noqa: E402


class Window:
    def __init__(self, command, env, listing, cwd=None):
        self.env, self.listing = env, listing
        e = dict(env)
        e["QUENMRK_TEST_WIDGETS"] = listing
        self.proc = subprocess.Popen(command, env=e, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                     text=True, start_new_session=True)
        self.window = None
        self.stderr = ""

    def widgets(self):
        try:
            with open(self.listing) as f:
                return {w["id"]: w["rect"] for w in json.load(f)["widgets"]}
        except (OSError, ValueError, KeyError):
            return {}

    def wait(self, predicate, timeout=30):
        return wait_for(lambda: predicate(self.widgets()), timeout)

    def find(self):
        if self.window is None:
            out = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^Quenmark$"],
                                 env=self.env, capture_output=True, text=True, timeout=30).stdout.split()
            self.window = out[-1] if out else ""
        return self.window

    def click(self, wid, timeout=30):
        if not self.wait(lambda w: wid in w, timeout):
            return False
        self.find()
        # A dialog that just opened settles into place over a few frames.
        rect = None
        for _ in range(50):
            time.sleep(0.1)
            now = self.widgets().get(wid)
            if now is not None and now == rect:
                break
            rect = now
        if rect is None:
            return False
        x, y, w, h = rect
        for args in (["mousemove", "--window", "0", "0", "0"],
                     ["mousemove", "--window", self.window, str(int(x + w / 2)), str(int(y + h / 2)), "click", "1"]):
            subprocess.run(["xdotool", *args], env=self.env, check=False, timeout=30)
        time.sleep(0.2)
        return True

    def shot(self, path):
        subprocess.run(["import", "-window", self.find(), path], env=self.env, check=False, timeout=30)

    def ended(self, timeout=60):
        try:
            self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None
        self.stderr = self.proc.stderr.read()
        return self.proc.returncode

    def close(self):
        if self.proc.poll() is None:
            # The group: a wrapper such as faketime passes no signal on.
            os.killpg(self.proc.pid, signal.SIGTERM)
            if self.ended(30) is None:
                self.proc.kill()
                self.proc.wait()
        if not self.proc.stderr.closed:
            self.stderr += self.proc.stderr.read()
            self.proc.stderr.close()
        return self.stderr
