"""One run of a program file under Xvfb, driven by widget id: the program
lists its widgets each frame (QUENMRK_TEST_WIDGETS) and xdotool clicks the
centre of a listed rectangle. Shared by the updater's and the terms page's
window tests."""
import os
import signal
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "app", "xvfb"))
from _shell import click_at, scaled, steady_rect, wait_for  # noqa: E402
from _shell import listing as read_listing  # noqa: E402


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
        return {w["id"]: w["rect"] for w in (read_listing(self.listing) or {}).get("widgets", [])}

    def wait(self, predicate, timeout=30):
        return wait_for(lambda: predicate(self.widgets()), timeout)

    def find(self):
        if self.window is None:
            out = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^Quenmark$"],
                                 env=self.env, capture_output=True, text=True, timeout=scaled(30)).stdout.split()
            self.window = out[-1] if out else ""
        return self.window

    def click(self, wid, timeout=30):
        """Clicks the id once it holds still (a dialog that just opened
        settles into place over a few frames); returns once the program
        has drawn the frames after the click."""
        if not self.wait(lambda w: wid in w, timeout):
            return False
        rect = steady_rect(self.listing, wid)
        if rect is None:
            return False
        click_at(self.env, self.find(), rect, path=self.listing, alive=lambda: self.proc.poll() is None)
        return True

    def shot(self, path):
        subprocess.run(["import", "-window", self.find(), path], env=self.env, check=False, timeout=scaled(30))

    def ended(self, timeout=60):
        try:
            self.proc.wait(scaled(timeout))
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
