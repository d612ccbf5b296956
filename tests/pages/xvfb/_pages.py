"""Runs the program for the calendar pages' window tests: under a private
Xvfb server (see tests/app/xvfb/_shell.py), with today pinned by libfaketime,
and driven as a user would, by widget id: a click, double click, drag or key
lands at the centre of the id's topmost rectangle in the widget list the
program writes each frame. Files the program saves are read with json."""
import json
import os
import signal
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "app", "xvfb"))
from _shell import (ReviewedShots, accept_terms, base_env, check, click_at, close_window, config, drew_since,  # noqa: E402,F401
                    finish, focused, frame_mark, pinned_clock, program, scaled, shows, steady_rect, temp_dir,
                    type_into, wait_for, xvfb)

TODAY = "2025-03-12"
PINNED = TODAY + " 10:00:00"


def pinned_env(env, home, extra=None):
    accept_terms(home)
    e = base_env(env, home, extra)
    e.update(pinned_clock(PINNED))
    # The sanitizer runtime refuses to start behind faketime's preload otherwise.
    e["ASAN_OPTIONS"] = e.get("ASAN_OPTIONS", "") + ":verify_asan_link_order=0"
    return e


def command(build, stand_in=False):
    return [program(build, stand_in)]


def run_pinned(build, env, home, extra=None, timeout=120):
    return subprocess.run(command(build), env=pinned_env(env, home, extra), capture_output=True, text=True,
                          timeout=scaled(timeout))


def data(home, budget="local"):
    with open(os.path.join(config(home), "budgets", budget, "data.json")) as f:
        return json.load(f)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    return struct.unpack(">II", head[16:24])


class Running:
    """The program running in the background with its widget list; use as a
    context manager, which closes its window as a window manager would, so
    that it ends normally (SIGTERM only when it does not within a minute)."""

    def __init__(self, build, env, home, extra=None, stand_in=False):
        self.env = env
        self.listing = os.path.join(home, "widgets.json")
        extra = dict({"QUENMRK_SPLASH": "0", "QUENMRK_WINDOW": "1280x820"}, **(extra or {}))
        extra["QUENMRK_TEST_WIDGETS"] = self.listing
        self.proc = subprocess.Popen(command(build, stand_in), env=pinned_env(env, home, extra), stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, text=True)
        self.stderr = ""
        self.returncode = None
        try:
            if not wait_for(lambda: os.path.exists(self.listing) or self.proc.poll() is not None, 60) \
                    or self.proc.poll() is not None:
                raise RuntimeError("the program wrote no widget list")
            ids = self.xdotool("search", "--sync", "--name", "^Quenmark$").split()
            self.window = ids[-1] if ids else None
        except BaseException:
            self.proc.kill()
            _, self.stderr = self.proc.communicate()
            print("the program's stderr:", self.stderr[-3000:])
            raise

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        if self.returncode is None:
            if self.proc.poll() is None and self.window:
                self.request_close()
            try:
                _, self.stderr = self.proc.communicate(timeout=scaled(60))
            except subprocess.TimeoutExpired:
                stuck = self.why_running()
                self.proc.send_signal(signal.SIGTERM)
                try:
                    _, self.stderr = self.proc.communicate(timeout=scaled(60))
                except subprocess.TimeoutExpired:
                    self.proc.kill()
                    _, self.stderr = self.proc.communicate()
                self.stderr += f"driver: still running a minute after the close request; {stuck}\n"
            self.returncode = self.proc.returncode
        return self.returncode

    def request_close(self):
        close_window(self.env, [self.window])

    def why_running(self):
        """Tells a close the program never acted on from a shutdown that
        hangs: the request is known to have reached it, so a program still
        drawing frames dropped it."""
        before = self.frames()
        time.sleep(scaled(2))
        after = self.frames()
        if before is not None and after is not None and after > before:
            return f"it kept drawing (frame {before}, then {after}): the close was lost"
        return f"it stopped drawing at frame {after}: it hangs on the way out"

    def frames(self):
        try:
            with open(self.listing) as f:
                return json.load(f)["framesOnPage"]
        except (OSError, ValueError, KeyError):
            return None

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True,
                              timeout=scaled(30)).stdout

    def widgets(self):
        # The list is replaced whole each frame; a read may still race a rename.
        for _ in range(20):
            try:
                with open(self.listing) as f:
                    return json.load(f)["widgets"]
            except (OSError, ValueError):
                time.sleep(0.05)
        return []

    def texts(self):
        """The texts the last listed frame drew (QUENMRK_TEST_TEXTS set)."""
        try:
            with open(self.listing) as f:
                return [t["text"] for t in json.load(f).get("texts", [])]
        except (OSError, ValueError):
            return []

    def rect(self, wid):
        """The topmost rectangle of the id, or None when it is not drawn."""
        found = [w for w in self.widgets() if w["id"] == wid]
        if not found:
            return None
        return max(found, key=lambda w: w["layer"])["rect"]

    def wait_widget(self, wid, timeout=30):
        return wait_for(lambda: self.rect(wid) is not None, timeout)

    def centre(self, wid):
        if not self.wait_widget(wid):
            raise RuntimeError(f"no widget {wid!r}")
        x, y, w, h = self.rect(wid)
        return int(x + w / 2), int(y + h / 2)

    def steady(self, wid):
        """The id's rectangle once it holds still over two frames."""
        rect = steady_rect(self.listing, wid)
        if rect is None:
            raise RuntimeError(f"no widget {wid!r}")
        return rect

    def move_to(self, x, y):
        self.xdotool("mousemove", "--window", self.window, str(x), str(y))

    def running(self):
        return self.proc.poll() is None

    def drew(self, frames=2):
        """Waits for `frames` frames drawn from now on."""
        return drew_since(self.listing, frame_mark(self.listing), frames, alive=self.running)

    def click(self, wid, double=False, button=1):
        """Clicks the id once it holds still; returns once the program has
        drawn frames after the click."""
        click_at(self.env, self.window, self.steady(wid),
                 *(("--repeat", "2", "--delay", "60") if double else ()), str(button), path=self.listing,
                 alive=self.running)

    def drag(self, wid, to_wid, steps=8):
        x0, y0, w0, h0 = self.steady(wid)
        x1, y1, w1, h1 = self.steady(to_wid)
        x0, y0, x1, y1 = int(x0 + w0 / 2), int(y0 + h0 / 2), int(x1 + w1 / 2), int(y1 + h1 / 2)
        self.move_to(x0, y0)
        self.drew(1)
        self.xdotool("mousedown", "1")
        self.drew(1)
        for i in range(1, steps + 1):
            self.move_to(x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps)
            self.drew(1)
        mark = frame_mark(self.listing)
        self.xdotool("mouseup", "1")
        drew_since(self.listing, mark, alive=self.running)

    def point_at(self, wid):
        # Without a window manager the keyboard follows the pointer.
        if wid:
            x, y, w, h = self.steady(wid)
            self.move_to(int(x + w / 2), int(y + h / 2))
        else:
            self.move_to(20, 200)

    def key(self, *keys, at=None):
        """Presses keys with the pointer over widget `at` (or the window);
        returns once the program has drawn the frames after them."""
        self.point_at(at)
        mark = frame_mark(self.listing)
        self.xdotool("key", *keys)
        drew_since(self.listing, mark, alive=self.running)

    def focused(self):
        return focused(self.listing)

    def shows(self, text, timeout=15):
        """A frame draws `text` (the run needs QUENMRK_TEST_TEXTS)."""
        return shows(self.listing, text, timeout)

    def type(self, text, at=None, arrived=None):
        """Types text. With `at`, a field: the keys go out only once it holds
        the keyboard (a click gives it), and are typed again over the
        field's text when `arrived()` stays false (a busy server lost some).
        Returns whether all of the text went in."""
        if at is not None:
            return type_into(self.env, self.window, self.listing, at, text, arrived, replace=False)
        self.point_at(None)
        mark = frame_mark(self.listing)
        self.xdotool("type", "--delay", "20", text)
        drew_since(self.listing, mark, alive=self.running)
        return True
