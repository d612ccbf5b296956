"""Shared by the window scripts of the dialogs, toasts, forms and tour: the
texts a frame drew (QUENMRK_TEST_TEXTS), right clicks, captures of the
window and reviewed copies of them."""
import json
import os
import subprocess
import time

from _pages import check, wait_for
from _shell import compare_shot, keep_reviewed  # noqa: F401

TEXTS = {"QUENMRK_TEST_TEXTS": "1"}


def listing(p):
    try:
        with open(p.listing) as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


def texts(p):
    """The texts of the last listed frame, each line with its box."""
    return listing(p).get("texts", [])


def text_rect(p, text):
    """The box of the first drawn line holding `text`, or None."""
    for t in texts(p):
        if text in t["text"]:
            return t["rect"]
    return None


def shows(p, text, timeout=15):
    """Some frame within the timeout draws `text`, whole or wrapped over lines."""
    return wait_for(lambda: text in " ".join(t["text"] for t in texts(p)), timeout)


def window_rect(p, name):
    """The rectangle of the window opened under that name (its id is
    "win" + name)."""
    for w in listing(p).get("widgets", []):
        if w["id"] == "win" + name and w.get("window"):
            return w["rect"]
    return None


def right_click(p, wid):
    x, y = p.centre(wid)
    p.move_to(x, y)
    time.sleep(0.1)
    p.xdotool("click", "3")
    time.sleep(0.2)


def capture(p, path):
    subprocess.run(["import", "-window", p.window, path], env=p.env, check=True, timeout=60)


def inside(inner, outer, slack=0.5):
    x, y, w, h = inner
    ox, oy, ow, oh = outer
    return x >= ox - slack and y >= oy - slack and x + w <= ox + ow + slack and y + h <= oy + oh + slack


def reviewed(build, source, folder, shots, update, tolerance):
    """Compares the captures with tests/golden/<folder>, or keeps them there
    with --update once looked at."""
    golden = os.path.join(source, "tests", "golden", folder)
    if update:
        keep_reviewed(shots, golden)
        return
    for shot in shots:
        name = os.path.splitext(os.path.basename(shot))[0]
        compare_shot(name, shot, os.path.join(golden, name + ".png"), tolerance)


def shot_dir(build, folder):
    out = os.path.join(build, folder + "-shots")
    os.makedirs(out, exist_ok=True)
    return out


__all__ = ["TEXTS", "capture", "check", "inside", "listing", "reviewed", "right_click", "shot_dir", "shows",
           "text_rect", "texts", "wait_for", "window_rect"]
