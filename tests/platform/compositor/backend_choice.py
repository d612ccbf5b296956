"""The choice of window back end, as one table run against real servers
(Xvfb and sway headless): each row checks the demo's back end, its standard
error and its exit status."""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "xvfb"))
from _checks import check, finish  # noqa: E402
from _wayland import sway  # noqa: E402
from _xvfb import xvfb  # noqa: E402

FALLBACK = "Quenmark: Wayland not used (cannot connect to the Wayland compositor), using X11"


def run_demo(build, env, args=()):
    env = dict(env, ASAN_OPTIONS="detect_leaks=0")
    p = subprocess.run([os.path.join(build, "tools", "platform_demo"), *args], env=env, input="quit\n",
                       capture_output=True, text=True, timeout=60)
    first = p.stdout.splitlines()[0] if p.stdout else ""
    backend = "wayland" if '"backend":"wayland"' in first else "x11" if '"backend":"x11"' in first else None
    return backend, p.stderr.strip(), p.returncode


def main():
    build = sys.argv[1]
    with xvfb() as xenv, sway() as s, tempfile.TemporaryDirectory() as dead:
        # A runtime folder whose "wayland-0" is a dead socket.
        dead_rt = os.path.join(dead, "rt")
        os.mkdir(dead_rt, 0o700)
        with open(os.path.join(dead_rt, "wayland-0"), "w"):
            pass
        display = xenv["DISPLAY"]
        base = {k: v for k, v in xenv.items()
                if k not in ("WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "QUENMRK_BACKEND", "DISPLAY")}
        live = dict(base, WAYLAND_DISPLAY=s.socket, XDG_RUNTIME_DIR=s.rt)
        wayland_error = "platform_demo: cannot connect to the Wayland compositor"
        rows = [
            ("QUENMRK_BACKEND=X11 with a live WAYLAND_DISPLAY",
             dict(live, QUENMRK_BACKEND="X11", DISPLAY=display), (), ("x11", "", 0)),
            ("a live WAYLAND_DISPLAY", dict(live, DISPLAY=display), (), ("wayland", "", 0)),
            ("WAYLAND_DISPLAY=nowhere, DISPLAY set",
             dict(base, WAYLAND_DISPLAY="nowhere", XDG_RUNTIME_DIR=s.rt, DISPLAY=display), (),
             ("x11", FALLBACK, 0)),
            ("WAYLAND_DISPLAY=nowhere, DISPLAY empty",
             dict(base, WAYLAND_DISPLAY="nowhere", XDG_RUNTIME_DIR=s.rt, DISPLAY=""), (),
             (None, wayland_error, 1)),
            ("WAYLAND_DISPLAY=nowhere, DISPLAY unset",
             dict(base, WAYLAND_DISPLAY="nowhere", XDG_RUNTIME_DIR=s.rt), (), (None, wayland_error, 1)),
            ("QUENMRK_BACKEND=wayland, no compositor, DISPLAY set",
             dict(base, QUENMRK_BACKEND="wayland", XDG_RUNTIME_DIR=dead_rt, DISPLAY=display), (),
             (None, wayland_error, 1)),
            ("XDG_SESSION_TYPE=wayland with a dead wayland-0",
             dict(base, XDG_SESSION_TYPE="wayland", XDG_RUNTIME_DIR=dead_rt, DISPLAY=display), (),
             ("x11", FALLBACK, 0)),
            ("XDG_SESSION_TYPE=wayland without wayland-0",
             dict(base, XDG_SESSION_TYPE="wayland", XDG_RUNTIME_DIR=dead, DISPLAY=display), (), ("x11", "", 0)),
            ("another session type", dict(base, XDG_SESSION_TYPE="x11", XDG_RUNTIME_DIR=dead_rt, DISPLAY=display),
             (), ("x11", "", 0)),
            ("a missing library", dict(live, DISPLAY=display), ("--no-wayland-lib",),
             ("x11", "Quenmark: Wayland not used (libwayland-client.so.0 not found), using X11", 0)),
        ]
        for name, env, args, expected in rows:
            got = run_demo(build, env, args)
            check(name, got == expected, f"got {got}, expected {expected}")
    finish()


if __name__ == "__main__":
    main()
