"""The Wayland window under sway headless, run as nobody: server-side
decorations, a grim capture of the window equal to the demo's frame, and
the output scale going to 1.5 (integer output scale 2)."""
import os
import subprocess
import sys

import numpy as np
from PIL import Image

sys.path.insert(0, os.path.dirname(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "xvfb"))
from _checks import check, finish  # noqa: E402
from _demo import Demo  # noqa: E402
from _procs import wait_for  # noqa: E402
from _images import rgb  # noqa: E402
from _wayland import sway  # noqa: E402


def capture(s, rect, path, scale=None):
    geometry = f"{rect['x']},{rect['y']} {rect['width']}x{rect['height']}"
    args = ["grim", "-g", geometry] + (["-s", str(scale)] if scale else []) + [path]
    subprocess.run(args, env=s.env, timeout=30, capture_output=True)
    return rgb(path)


def shown(s, demo):
    check("backend is wayland", demo.state["backend"] == "wayland", demo.state)
    rect = None

    def mapped():
        nonlocal rect
        rect = s.window_rect(demo.proc.pid)
        return rect is not None
    if not check("window in the tree", wait_for(mapped, 20)):
        return
    saved = os.path.join(s.rt, "demo.png")
    demo.command("save " + saved, "saved")
    shot = capture(s, rect, os.path.join(s.rt, "shot.png"))
    frame = rgb(saved)
    check("server-side decorations: the capture is the demo's frame",
          shot.shape == frame.shape and np.array_equal(shot, frame), (shot.shape, frame.shape))

    demo.take_events()
    s.msg("output", "HEADLESS-1", "scale", "1.5")
    events = []

    def rescaled():
        demo.settle(0.2)
        events.extend(e for e in demo.take_events() if e["kind"] in ("weScaleChanged", "weResize"))
        return len(events) >= 2
    wait_for(rescaled, 10)
    kinds = [(e["kind"], e["scale"], e["width"], e["height"]) for e in events]
    check("scale 2, then a resize of twice the size",
          kinds[:2] == [("weScaleChanged", 2.0, 0, 0), ("weResize", 0.0, 1280, 800)], kinds)
    # The smaller logical output would cut the floating window off.
    s.msg(f"[pid={demo.proc.pid}]", "move", "position", "0", "0")
    wait_for(lambda: mapped() and (rect["x"], rect["y"]) == (0, 0), 10)
    demo.command("save " + saved, "saved")
    frame = rgb(saved)
    shot = capture(s, rect, os.path.join(s.rt, "shot2.png"), scale=2)
    same = shot.shape == frame.shape
    mean = float(np.abs(shot - frame).mean()) if same else -1
    # sway draws the buffer at 1.5 and grim scales the picture back to 2.
    check("the capture at scale 2 matches the demo's frame", same and mean < 6, (shot.shape, frame.shape, mean))


def main():
    build = sys.argv[1]
    with sway("default_border none\nfor_window [title=\".*\"] floating enable\n") as s:
        demo = Demo(build, s.env)
        try:
            shown(s, demo)
        finally:
            code, err = demo.quit()
        check("quit exits 0", code == 0, (code, err))
    finish()


if __name__ == "__main__":
    main()
