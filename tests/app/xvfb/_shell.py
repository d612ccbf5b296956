"""Starts the program under a private Xvfb server with a scratch
configuration folder and reads what it left behind."""
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


def pinned_clock(when):
    """Environment entries that start the program's wall clock at `when`
    (local time, "YYYY-MM-DD HH:MM:SS") and let it run on. This is what the
    faketime wrapper sets up, minus the wrapper: that one keeps a semaphore
    named after its own process id in /dev/shm, a wrapper that is killed
    leaves it there, and a later wrapper given the same id refuses to start."""
    offset = round(time.mktime(time.strptime(when, "%Y-%m-%d %H:%M:%S")) - time.time())
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
