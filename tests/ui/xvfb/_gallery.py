"""Runs the UI gallery in a private Xvfb server and reads what it printed and
the screenshots it took."""
import json
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "platform", "xvfb"))
from _xvfb import temp_dir, xvfb  # noqa: E402,F401

failures = []


def check(name, ok, detail=""):
    print(("ok   " if ok else "FAIL ") + name + ("" if ok else "  " + str(detail)))
    if not ok:
        failures.append(name)


def finish():
    if failures:
        print(f"{len(failures)} check(s) failed")
        sys.exit(1)
    print("all checks passed")


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
