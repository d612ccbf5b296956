"""Starts the program under a private Xvfb server with a scratch
configuration folder and reads what it left behind."""
import calendar
import datetime
import hashlib
import json
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "platform", "xvfb"))
from _procs import scaled, wait_for  # noqa: E402,F401
from _xvfb import close_window, temp_dir, xvfb  # noqa: E402,F401

failures = []


def check(name, ok, detail=""):
    print(("ok   " if ok else "FAIL ") + name + ("" if ok else "  " + str(detail)[-2000:]))
    if not ok:
        failures.append(name)
    return ok


def finish():
    if failures:
        print(f"{len(failures)} check(s) failed")
        sys.exit(1)
    print("all checks passed")


def program(build, stand_in=False):
    """The program, or the test build of it whose Account page is the stand-in
    page (one button that logs the input it gets, QUENMRK_STUB_LOG)."""
    return os.path.join(build, "tools", "stand_in_shell") if stand_in else os.path.join(build, "quenmrk")


def base_env(env, home, extra=None):
    e = dict(env)
    for k in list(e):
        if k.startswith("QUENMRK_"):
            del e[k]
    e.update({
        "HOME": home,
        "XDG_CONFIG_HOME": os.path.join(home, "cfg"),
        "LIBGL_ALWAYS_SOFTWARE": "1",
        "QUENMRK_SCALE": "1",
        "QUENMRK_NO_UPDATE_CHECK": "1",
        "QUENMRK_SERVER": "http://127.0.0.1:9",
        "QUENMRK_BACKEND": "x11",
        # A graphics library unloaded at exit leaves a few blocks the leak
        # checker cannot name; the headless lifecycle test checks our leaks.
        "ASAN_OPTIONS": "detect_leaks=0",
        "QUENMRK_STUB_LOG": "1",
        # The splash takes no input while it shows, and on a loaded machine
        # it shows for longer than its seconds (its clock steps at most a
        # tenth of a second a frame): a test that drives the window asks for
        # it by name.
        "QUENMRK_SPLASH": "0",
    })
    e.update(extra or {})
    return e


def accept_terms(home, stamp="1.1.0|2026-11-03"):
    """Stores the terms as accepted, so the program opens on its pages rather
    than on the terms page; other settings already written stay."""
    path = os.path.join(config(home), "settings.json")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    try:
        with open(path) as f:
            settings = json.load(f)
    except (OSError, ValueError):
        settings = {}
    if settings.get("legalAccepted") != stamp:
        # Noon UTC of the stamp's date, so "You accepted them on ..." reads
        # that date in any zone a test pins.
        day = datetime.date.fromisoformat(stamp.split("|")[1])
        at = datetime.datetime(day.year, day.month, day.day, 12, tzinfo=datetime.timezone.utc).timestamp()
        settings.update({"legalAccepted": stamp, "legalAcceptedAt": at})
        with open(path, "w") as f:
            json.dump(settings, f, indent=2)


def pinned_clock(when, utc=False):
    """Environment entries that start the program's wall clock at `when`
    (local time, "YYYY-MM-DD HH:MM:SS") and let it run on. This is what the
    faketime wrapper sets up, minus the wrapper: that one keeps a semaphore
    named after its own process id in /dev/shm, a wrapper that is killed
    leaves it there, and a later wrapper given the same id refuses to start."""
    parsed = time.strptime(when, "%Y-%m-%d %H:%M:%S")
    offset = round((calendar.timegm(parsed) if utc else time.mktime(parsed)) - time.time())
    return {"LD_PRELOAD": "/usr/$LIB/faketime/libfaketime.so.1", "FAKETIME": f"{offset:+d}",
            "FAKETIME_DONT_FAKE_MONOTONIC": "1"}


def run(build, env, home, extra=None, timeout=120, stand_in=False, **kw):
    return subprocess.run([program(build, stand_in)], env=base_env(env, home, extra), capture_output=True, text=True,
                          timeout=scaled(timeout), **kw)


def config(home):
    return os.path.join(home, "cfg", "quenmrk")


def stamp(path):
    with open(path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    return digest, os.stat(path).st_mtime_ns


def tree_stamps(root):
    out = {}
    for d, _, files in os.walk(root):
        for f in files:
            p = os.path.join(d, f)
            try:
                out[p] = stamp(p)
            except PermissionError:
                out[p] = os.stat(p).st_mtime_ns
    return out


def widgets(path):
    with open(path) as f:
        return json.load(f)


def thread_cpu_ns(pid):
    """The program's main (UI) thread's time on a CPU so far, in ns (its
    thread id is the process's)."""
    try:
        with open(f"/proc/{pid}/task/{pid}/schedstat") as f:
            return int(f.read().split()[0])
    except (OSError, ValueError, IndexError):
        return None


def thread_waits(pid):
    """How many times the UI thread gave up its CPU so far to sleep or wait
    (not counting the times it was preempted)."""
    try:
        with open(f"/proc/{pid}/task/{pid}/status") as f:
            for line in f:
                if line.startswith("voluntary_ctxt_switches:"):
                    return int(line.split()[1])
    except (OSError, ValueError, IndexError):
        pass
    return None


def listing(path):
    """The widget list the program wrote last, or None while there is none.
    The program replaces the file whole each frame; a read that races the
    rename is tried again."""
    for _ in range(5):
        try:
            with open(path) as f:
                return json.load(f)
        except FileNotFoundError:
            return None
        except (OSError, ValueError):
            time.sleep(0.02)
    return None


def rect_in(listed, wid):
    """The topmost rectangle of `wid` in a widget list, or None."""
    found = [w for w in (listed or {}).get("widgets", []) if w["id"] == wid]
    return max(found, key=lambda w: w["layer"])["rect"] if found else None


def focused(path):
    """The id of the widget that holds the keyboard, or None."""
    return (listing(path) or {}).get("focused")


def drawn_texts(path):
    """The texts the last listed frame drew (with QUENMRK_TEST_TEXTS set),
    each wrapped line on its own, as {"text", "rect"}."""
    return (listing(path) or {}).get("texts", [])


def shows(path, text, timeout=15):
    """Some frame within the timeout draws `text`, whole or wrapped over lines."""
    return wait_for(lambda: text in " ".join(t["text"] for t in drawn_texts(path)), timeout)


def steady_rect(path, wid, timeout=30):
    """The rectangle of `wid` once two looks a frame apart agree (a dialog
    that just opened, or a page a card grows on, settles over some frames);
    None when it is never listed still."""
    seen = []

    def still():
        seen.append(rect_in(listing(path), wid))
        return seen[-1] is not None and seen[-2:] == [seen[-1], seen[-1]]
    return seen[-1] if wait_for(still, timeout, interval=0.1) else None


def frame_mark(path):
    """Where the program's drawing stands: the widget list's write time and
    frame count, to pass to drew_since()."""
    try:
        return os.stat(path).st_mtime_ns, (listing(path) or {}).get("framesOnPage")
    except OSError:
        return None


def drew_since(path, mark, frames=3, timeout=15, alive=None):
    """True once the program has drawn `frames` frames after `mark`: the
    input sent in between is taken (every input draws a few frames; a
    press and its release go to frames of their own) and its effect is on
    screen. Counts every new write seen, and trusts the frame
    count where polls missed writes. Gives up at once when `alive()` says
    the program has ended (a click that closes it)."""
    writes = set()

    def drawn():
        if alive is not None and not alive():
            return True
        now = frame_mark(path)
        if now is None or now == mark:
            return False
        writes.add(now[0])
        if mark and isinstance(now[1], int) and isinstance(mark[1], int) and now[1] - mark[1] >= frames:
            return True
        return len(writes) >= frames
    return wait_for(drawn, timeout, interval=0.01)


def xdo(env, *args):
    """One xdotool command; what it printed."""
    return subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True, timeout=scaled(30)).stdout


def click_at(env, window, rect, *clicks, path=None, alive=None):
    """Moves the pointer onto the middle of `rect` (by way of the pixel
    beside it, so that it moves whatever its place before), then clicks
    (`clicks`: xdotool's click arguments, default one left click). With the
    program's widget list at `path`, the click waits for a frame drawn
    after the move (the widget knows the pointer is over it) and returns
    once frames after the click are drawn; without it, the move and the
    click go out together."""
    x, y, w, h = rect
    centre = [str(int(x + w / 2)), str(int(y + h / 2))]
    clicks = clicks or ("1",)
    xdo(env, "mousemove", "--window", str(window), str(int(x + w / 2) + 1), centre[1])
    if path is None:
        xdo(env, "mousemove", "--window", str(window), *centre, "click", *clicks)
        return
    mark = frame_mark(path)
    xdo(env, "mousemove", "--window", str(window), *centre)
    drew_since(path, mark, 1, timeout=5, alive=alive)
    mark = frame_mark(path)
    xdo(env, "click", *clicks)
    drew_since(path, mark, alive=alive)


def type_into(env, window, path, wid, text, arrived=None, replace=True, tries=3):
    """Types `text` into field `wid` as a user would: a click gives it the
    keyboard, and the keys go out only once the program lists it as the
    focused widget; with `replace` the field's text is selected first, so
    the typed text takes its place. The text has arrived once the field
    holds as many more bytes as were typed, and `arrived()` (what the
    program shows once the text is in), when given, holds. A busy server
    can lose keys: the text is then selected and typed again. True once it
    arrived."""
    for _ in range(tries):
        rect = steady_rect(path, wid)
        if rect is None:
            return False
        if focused(path) != wid:
            click_at(env, window, rect, path=path)
            if not wait_for(lambda: focused(path) == wid, 10):
                continue
        else:
            # Without a window manager the keyboard follows the pointer.
            x, y, w, h = rect
            xdo(env, "mousemove", "--window", str(window), str(int(x + w / 2)), str(int(y + h / 2)))
        held = 0 if replace else (listing(path) or {}).get("focusedTextBytes", 0)
        if replace:
            xdo(env, "key", "--clearmodifiers", "ctrl+a")
        xdo(env, "type", "--delay", "20", text)

        def landed():
            now = listing(path) or {}
            holds = now.get("focusedTextBytes")
            return (now.get("focused") == wid and (holds is None or holds == held + len(text.encode()))
                    and (arrived is None or arrived()))
        if wait_for(landed, 10):
            return True
        replace = True
    return False


def listed_ids(path):
    return {w["id"] for w in (listing(path) or {}).get("widgets", [])}


def open_folder(env, window, path, folder, arrived, tries=3):
    """Types `folder` into the open file dialog's folder field and presses
    Return, again while `arrived(ids)` (the ids listed then) says the
    dialog does not list that folder: a lost key types another folder."""
    for _ in range(tries):
        if type_into(env, window, path, "filedir", folder):
            xdo(env, "key", "Return")
            if wait_for(lambda: arrived(listed_ids(path)), 10):
                return True
    return False


def compare_shot(name, shot, golden, tolerance):
    """Checks a screenshot against its reviewed copy: at most `tolerance`
    pixels may differ by more than the fuzz."""
    if not check(f"{name} has a reviewed copy", os.path.exists(golden)):
        return
    c = subprocess.run(["compare", "-metric", "AE", "-fuzz", "2%", shot, golden, "null:"],
                       capture_output=True, text=True)
    diff = c.stderr.strip().split()[0] if c.stderr.strip() else "?"
    check(f"{name} matches its reviewed copy", diff.isdigit() and int(diff) <= tolerance, diff)


def keep_reviewed(shots, golden_dir):
    """Stores looked-at screenshots as the reviewed copies. The program
    writes stored PNGs; the kept copies are squeezed."""
    from PIL import Image
    os.makedirs(golden_dir, exist_ok=True)
    for shot in shots:
        with Image.open(shot) as im:
            im.convert("RGB").save(os.path.join(golden_dir, os.path.basename(shot)), optimize=True)


class ReviewedShots:
    """Screenshots taken into BUILD/<folder>-shots and compared with the
    reviewed copies in tests/golden/<folder>, or with update kept as them
    once looked at."""

    def __init__(self, build, source, folder, tolerance, update):
        self.out_dir = os.path.join(build, folder + "-shots")
        os.makedirs(self.out_dir, exist_ok=True)
        self.golden_dir = os.path.join(source, "tests", "golden", folder)
        self.tolerance = tolerance
        self.update = update
        self.taken = []

    def path(self, name):
        return os.path.join(self.out_dir, name + ".png")

    def took(self, name, result, size=None):
        """Checks that the run wrote the shot (of `size` pixels, when given),
        then compares it."""
        shot = self.path(name)
        written = result.returncode == 0 and os.path.exists(shot)
        if written and size is not None:
            from PIL import Image
            with Image.open(shot) as im:
                written = im.size == tuple(size)
        if not check(f"{name} written", written, result.stderr[-1500:]):
            return
        self.taken.append(shot)
        if not self.update:
            compare_shot(name, shot, os.path.join(self.golden_dir, name + ".png"), self.tolerance)

    def finish(self):
        if self.update:
            keep_reviewed(self.taken, self.golden_dir)
