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


def program(build):
    return os.path.join(build, "quenmrk")


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


def run(build, env, home, extra=None, timeout=120, **kw):
    return subprocess.run([program(build)], env=base_env(env, home, extra), capture_output=True, text=True,
                          timeout=timeout, **kw)


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


def wait_for(predicate, timeout=30):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(0.05)
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
