"""Pointer input of the Wayland window under sway headless (run as nobody),
driven by tests/tools/wl_vpointer through the wlroots virtual-pointer
protocol: positions in buffer pixels, buttons, wheel notches and smooth
scrolling, positions after the output scale goes to 1.5 (window scale 2),
and, from the demo's protocol trace, the pointer and the keyboard being
released when the seat's only one (the helper's, then wtype's) goes away."""
import json
import os
import queue
import re
import subprocess
import sys
import threading

sys.path.insert(0, os.path.dirname(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "xvfb"))
from _checks import check, finish  # noqa: E402
from _demo import Demo  # noqa: E402
from _wayland import sway  # noqa: E402

POINTER = ("weMouseMove", "weMouseDown", "weMouseUp", "weScroll", "weMouseLeave")


class VirtualPointer:
    """The helper, fed one command a line; each answer ("ok") comes once the
    compositor has handled the command."""

    def __init__(self, build, env):
        self.proc = subprocess.Popen([os.path.join(build, "tools", "wl_vpointer")], env=env, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        if self._answer() != "ready":
            raise RuntimeError("wl_vpointer did not start: " + self.proc.stderr.read())

    def _read(self):
        for line in self.proc.stdout:
            self.lines.put(line.strip())
        self.lines.put(None)

    def _answer(self, timeout=10):
        try:
            return self.lines.get(timeout=timeout)
        except queue.Empty:
            return None

    def send(self, *commands):
        for c in commands:
            self.proc.stdin.write(c + "\n")
            self.proc.stdin.flush()
            answer = self._answer()
            if answer != "ok":
                raise RuntimeError(f"wl_vpointer: {c!r} gave {answer!r}")

    def close(self):
        try:
            self.proc.stdin.close()
            self.proc.wait(timeout=10)
        except (subprocess.TimeoutExpired, BrokenPipeError):
            self.proc.kill()
            self.proc.wait()


def layout(s):
    """The output's rectangle in the layout (there is one output)."""
    return json.loads(s.msg("-t", "get_outputs"))[0]["rect"]


def pointer_events(demo, settle=0.3):
    demo.settle(settle)
    return [e for e in demo.take_events() if e["kind"] in POINTER]


def move_to(s, demo, vp, x, y):
    """Moves the pointer to (x, y) in the window's logical coordinates and
    returns the pointer events that follow."""
    rect, out = s.window_rect(demo.proc.pid), layout(s)
    demo.take_events()
    vp.send(f"abs {rect['x'] + x - out['x']} {rect['y'] + y - out['y']} {out['width']} {out['height']} frame")
    return pointer_events(demo)


def check_pointer(s, demo, vp):
    ev = move_to(s, demo, vp, 100, 50) + move_to(s, demo, vp, 250, 130)
    moves = [(e["x"], e["y"]) for e in ev if e["kind"] == "weMouseMove"]
    check("absolute motion gives weMouseMove at the logical position",
          len(moves) >= 2 and (100, 50) in moves and moves[-1] == (250, 130), ev)

    for code, number in ((272, 1), (273, 3), (274, 2)):
        vp.send(f"button {code} press frame", f"button {code} release frame")
        ev = pointer_events(demo)
        got = [(e["kind"], e["button"], e["x"], e["y"]) for e in ev]
        check(f"button {code} gives down and up with {number}",
              got == [("weMouseDown", number, 250, 130), ("weMouseUp", number, 250, 130)], got)

    cases = (("a notch (discrete 1, axis 10)", "axis 0 10.0 discrete 1 frame", lambda dx, dy: dx == 0 and dy == -1),
             ("smooth axis 15 alone", "axis 0 15.0 frame", lambda dx, dy: dx == 0 and dy == -1.5),
             ("horizontal axis", "axis 1 10.0 frame", lambda dx, dy: dx > 0 and dy == 0))
    for name, command, ok in cases:
        vp.send(command)
        ev = pointer_events(demo)
        scrolls = [(e["dx"], e["dy"]) for e in ev if e["kind"] == "weScroll"]
        check(name, len(scrolls) == 1 and ok(*scrolls[0]), scrolls)


def check_scaled(s, demo, vp):
    demo.take_events()
    s.msg("output", "HEADLESS-1", "scale", "1.5")
    changed = demo.wait(lambda j: j.get("kind") == "weScaleChanged", 10)
    check("window scale 2 at output scale 1.5", changed is not None and changed["scale"] == 2.0, changed)
    # The smaller logical output would cut the floating window off.
    s.msg(f"[pid={demo.proc.pid}]", "move", "position", "0", "0")
    demo.settle(0.5)
    ev = move_to(s, demo, vp, 100, 50) + move_to(s, demo, vp, 250, 130)
    moves = [(e["x"], e["y"]) for e in ev if e["kind"] == "weMouseMove"]
    check("after scale 1.5, positions double", (200, 100) in moves and moves[-1] == (500, 260), ev)
    vp.send("button 272 press frame", "button 272 release frame")
    ev = pointer_events(demo)
    check("a click after scale 1.5 is at the doubled position",
          [(e["kind"], e["x"], e["y"]) for e in ev] == [("weMouseDown", 500, 260), ("weMouseUp", 500, 260)], ev)


TRACE = re.compile(r"^\[[\d. ]+\]\s+(->\s+)?(\w+)@(\d+)\.(\w+)\((.*)\)\s*$")


def check_releases(trace_path):
    """From the client's protocol trace: once the helper's pointer and then
    wtype's keyboard (each the seat's only one) go, the capabilities lose
    the device and the demo releases the wl_pointer or wl_keyboard it had."""
    devices = {"pointer": 1, "keyboard": 2}
    proxy = dict.fromkeys(devices)
    had, lost_at, released_at = dict.fromkeys(devices, False), dict.fromkeys(devices), dict.fromkeys(devices)
    with open(trace_path, errors="replace") as f:
        for n, line in enumerate(f):
            m = TRACE.match(line)
            if not m:
                continue
            request, iface, obj, name, args = m.groups()
            for device, bit in devices.items():
                if request and iface == "wl_seat" and name == "get_" + device:
                    proxy[device] = re.search(r"wl_%s@(\d+)" % device, args).group(1)
                elif not request and iface == "wl_seat" and name == "capabilities":
                    if int(args) & bit:
                        had[device], lost_at[device] = True, None
                    elif had[device] and lost_at[device] is None:
                        lost_at[device] = n
                elif request and iface == "wl_" + device and obj == proxy[device] and name == "release":
                    released_at[device] = n
    for device, owner in (("pointer", "wl_vpointer"), ("keyboard", "wtype")):
        check(f"when {owner} exits, the {device} capability goes", lost_at[device] is not None,
              (had[device], lost_at[device]))
        check(f"and the {device} is released",
              lost_at[device] is not None and released_at[device] is not None
              and released_at[device] > lost_at[device], (proxy[device], released_at[device]))


def main():
    build = sys.argv[1]
    with sway("default_border none\nfor_window [title=\".*\"] floating enable\n") as s:
        trace_path = os.path.join(s.rt, "demo-trace.txt")
        with open(trace_path, "w") as trace:
            demo = Demo(build, s.env, extra_env={"WAYLAND_DEBUG": "client"}, stderr=trace)
            check("backend is wayland", demo.state["backend"] == "wayland", demo.state)
            vp = VirtualPointer(build, s.env)
            try:
                demo.settle(0.5)  # the new pointer capability and its wl_pointer
                check_pointer(s, demo, vp)
                check_scaled(s, demo, vp)
            finally:
                vp.close()
            subprocess.run(["wtype", "-s", "400", "a"], env=s.env, timeout=30, capture_output=True)
            demo.settle(0.5)
            code, _ = demo.quit()
            check("quit exits 0", code == 0, code)
        check_releases(trace_path)
    finish()


if __name__ == "__main__":
    main()
