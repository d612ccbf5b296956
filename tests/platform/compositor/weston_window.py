"""The Wayland window under weston headless (no seat, no decoration
manager, so the window draws its own title bar): the capture shows the
drawn title bar equal to its golden above the demo's frame, and killing the
compositor gives one line on standard error, the close request and exit 0.
Also: nothing links the Wayland libraries and no shared-memory file stays."""
import glob
import os
import signal
import subprocess
import sys
import time

import numpy as np

sys.path.insert(0, os.path.dirname(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "xvfb"))
from _checks import check, finish  # noqa: E402
from _demo import Demo  # noqa: E402
from _images import find, rgb  # noqa: E402
from _wayland import weston  # noqa: E402


def shm_files(rt):
    return glob.glob(os.path.join(rt, "quenmrk-shm-*")) + glob.glob("/tmp/quenmrk-shm-*")


def test_capture(build, source, w):
    demo = Demo(build, w.env)
    check("backend is wayland", demo.state["backend"] == "wayland", demo.state)
    check("size", (demo.state["width"], demo.state["height"]) == (640, 400), demo.state)
    demo.settle()
    saved = os.path.join(w.rt, "demo.png")
    demo.command("save " + saved, "saved")
    # weston without a seat leaves the window inactive.
    bar = rgb(os.path.join(source, "tests", "golden", "wl_titlebar", "demo_inactive.png"))
    picture = np.concatenate([bar, rgb(saved)])
    # The compositor shows the window some frames after the demo drew it, and
    # later still on a loaded machine: look again until it shows or time is up.
    deadline = time.monotonic() + 20
    attempts, taken, found = 0, 0, False
    while not found:
        for old in glob.glob(os.path.join(w.rt, "wayland-screenshot-*.png")):
            os.remove(old)
        subprocess.run(["weston-screenshooter"], env=w.env, cwd=w.rt, timeout=30, capture_output=True)
        shots = glob.glob(os.path.join(w.rt, "wayland-screenshot-*.png"))
        attempts += 1
        taken += len(shots) == 1
        found = len(shots) == 1 and find(rgb(shots[0]), picture) is not None
        if found or time.monotonic() > deadline:
            break
        time.sleep(0.2)
    check("screenshot taken", taken > 0, attempts)
    check("title bar golden above the demo's frame", found, f"no match in {attempts} screenshots")
    code, err = demo.quit()
    check("quit exits 0", code == 0, (code, err))
    check("no shared-memory file left", not shm_files(w.rt), shm_files(w.rt))


def test_lost_connection(build):
    with weston() as w:
        demo = Demo(build, w.env, ["--exit-on-close"])
        demo.settle()
        w.proc.send_signal(signal.SIGKILL)
        w.proc.wait()
        closed = demo.wait(lambda j: j.get("close"), 10)
        check("close request after the compositor died", closed is not None)
        try:
            demo.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            demo.proc.kill()
        code = demo.proc.returncode
        err = demo.proc.stderr.read()
        lines = err.splitlines()
        check("exactly one line", len(lines) == 1 and lines[0].startswith(
            "Quenmark: the connection to the Wayland compositor was lost (error ") and lines[0].endswith(")"), err)
        print("  (" + (lines[0] if lines else "") + ")")
        check("demo exits 0", code == 0, code)


def test_no_link(build):
    for program in ("quenmrk", os.path.join("tools", "platform_demo")):
        path = os.path.join(build, program)
        if not os.path.exists(path):
            continue
        out = subprocess.run(["ldd", path], capture_output=True, text=True).stdout
        check("ldd " + program + " lists no Wayland, EGL or xkbcommon",
              not any(name in out for name in ("libwayland", "libEGL", "libxkbcommon")), out)


def main():
    build, source = sys.argv[1], sys.argv[2]
    with weston() as w:
        test_capture(build, source, w)
    test_lost_connection(build)
    test_no_link(build)
    finish()


if __name__ == "__main__":
    main()
