"""The X11 window under Xvfb, driven through tests/tools/platform_demo:
scripted input against the checked-in event table, the clipboard with xclip
and python3-xlib peers, window properties with xprop, the scale, closing,
the GLX fallback and the framebuffer against an xwd capture."""
import json
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from _checks import check, finish  # noqa: E402
from _demo import Demo  # noqa: E402
from _procs import wait_for  # noqa: E402
from _xvfb import close_window, temp_dir, xvfb  # noqa: E402

FIELDS = ("kind", "x", "y", "button", "dx", "dy", "key", "modifiers", "repeat", "codepoint", "width", "height")


def run(env, *cmd, **kw):
    return subprocess.run(list(cmd), env=env, capture_output=True, text=True, timeout=60, **kw)


def project(events):
    """Events as table rows; pointer motion after the first and focus noise
    say nothing about the translation and are left out."""
    rows = []
    for e in events:
        if e["kind"] in ("weFocusIn", "weFocusOut", "weMouseLeave"):
            continue
        if e["kind"] == "weMouseMove" and rows and rows[-1]["kind"] == "weMouseMove":
            continue
        rows.append({k: e[k] for k in FIELDS})
    return rows


def input_events(build, env, args=()):
    demo = Demo(build, env, args)
    w = str(demo.window)
    run(env, "xmodmap", "-e", "keycode 250 = eacute")
    time.sleep(0.2)
    steps = []

    def step(name, *xdotool):
        demo.settle(0.2)
        demo.take_events()
        run(env, "xdotool", *xdotool)
        demo.settle()
        steps.append({"step": name, "events": project(demo.take_events())})

    step("move", "mousemove", "--window", w, "40", "50")
    for button in ("1", "2", "3", "8", "9"):
        step(f"button {button}", "click", button)
    for button in ("4", "5", "6", "7"):
        step(f"wheel {button}", "click", button)
    step("type aZ", "type", "--delay", "20", "aZ")
    step("ctrl+c", "key", "ctrl+c")
    step("shift+Tab", "key", "shift+Tab")
    step("KP_0", "key", "KP_0")
    step("eacute", "key", "eacute")
    if not args:
        step("resize", "windowsize", w, "500", "300")
        step("same size", "windowsize", w, "500", "300")
        step("resize again", "windowsize", w, "520", "310")
    demo.quit()
    return steps


def test_events(build, source, env):
    table = os.path.join(source, "tests", "golden", "x11_events.json")
    steps = input_events(build, env)
    if os.environ.get("QM_UPDATE_GOLDEN"):
        with open(table, "w") as f:
            json.dump(steps, f, indent=1)
            f.write("\n")
    with open(table) as f:
        expected = json.load(f)
    for got, want in zip(steps, expected):
        check(f"events: {want['step']}", got == want, json.dumps(got["events"]))
    check("events: step count", len(steps) == len(expected))
    # The same text without the input method.
    plain = {s["step"]: s["events"] for s in input_events(build, env, ["--no-im"])}
    want = {s["step"]: s["events"] for s in expected}
    for name in ("type aZ", "eacute", "ctrl+c"):
        check(f"events without input method: {name}", plain.get(name) == want[name], json.dumps(plain.get(name)))


def test_framebuffer(build, env, tmp):
    demo = Demo(build, env)
    png = os.path.join(tmp, "demo.png")
    xwd = os.path.join(tmp, "demo.xwd")
    xwd_png = os.path.join(tmp, "xwd.png")
    demo.settle()
    check("save answers", demo.command(f"save {png}", "saved") is not None)
    run(env, "xwd", "-silent", "-id", str(demo.window), "-out", xwd)
    run(env, "convert", xwd, "-alpha", "off", xwd_png)
    cmp = run(env, "compare", "-metric", "AE", png, xwd_png, os.path.join(tmp, "diff.png"))
    check("framebuffer PNG equals xwd capture", cmp.stderr.strip() == "0", cmp.stderr)
    demo.quit()


def clipboard_owner(env):
    """The window that holds the clipboard, or None."""
    from Xlib import display
    d = display.Display(env["DISPLAY"])
    try:
        owner = d.get_selection_owner(d.intern_atom("CLIPBOARD"))
        return getattr(owner, "id", None) or None
    finally:
        d.close()


def test_clipboard(build, env, tmp):
    demo = Demo(build, env)
    small = os.path.join(tmp, "small.txt")
    with open(small, "w", encoding="utf-8") as f:
        f.write("Budget: 12 € — naïve\n\ttab")
    demo.command(f"copy {small}", "copied")
    out = run(env, "xclip", "-selection", "clipboard", "-o")
    check("xclip reads the demo's text", out.stdout == open(small, encoding="utf-8").read(), repr(out.stdout))
    targets = run(env, "xclip", "-selection", "clipboard", "-o", "-t", "TARGETS").stdout.split()
    check("TARGETS lists TARGETS and UTF8_STRING", "TARGETS" in targets and "UTF8_STRING" in targets, targets)
    own = demo.command("paste", "clipboard")
    check("reading its own text", own and own["clipboard"] == open(small, encoding="utf-8").read())

    for size in (300_000, 3_000_000):
        data = "".join(chr(0x20 + (i * 7919) % 90) for i in range(size - 100)) + "é" * 50
        src = os.path.join(tmp, f"in{size}.txt")
        dst = os.path.join(tmp, f"out{size}.txt")
        with open(src, "w", encoding="utf-8") as f:
            f.write(data)
        held = clipboard_owner(env)
        xclip = subprocess.Popen(["xclip", "-selection", "clipboard", "-i", src], env=env)
        # The paste asks whoever holds the clipboard: xclip, once it took it.
        wait_for(lambda: clipboard_owner(env) not in (None, held), 30)
        answer = demo.command(f"paste-to {dst}", "pasted", timeout=60)
        got = open(dst, "rb").read() if answer else b""
        check(f"{size} bytes arrive byte for byte", got == data.encode(), f"{len(got)} bytes")
        xclip.terminate()
        xclip.wait()

    # A requestor that is gone before the answer does not end the demo.
    demo.command(f"copy {small}", "copied")
    run(env, "/usr/bin/python3", "-c", REQUESTOR_GONE)
    time.sleep(0.3)
    check("a vanished requestor leaves the demo running", demo.command("info", "backend") is not None)

    # An owner answering with format-32 data: 4 bytes per item.
    owner = subprocess.Popen(["/usr/bin/python3", "-c", FORMAT32_OWNER], env=env, stdout=subprocess.PIPE, text=True)
    owner.stdout.readline()
    answer = demo.command("paste", "clipboard")
    check("format-32 items give 4 bytes each", answer and answer["clipboard"] == "abcdefgh", answer)
    owner.terminate()
    owner.wait()
    code, err = demo.quit()
    check("clipboard demo exits cleanly", code == 0, err)


REQUESTOR_GONE = """
from Xlib import display, X
d = display.Display()
w = d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
d.screen().root.convert_selection if False else None
w.convert_selection(d.intern_atom('CLIPBOARD'), d.intern_atom('UTF8_STRING'), d.intern_atom('XSEL'), X.CurrentTime) \
    if hasattr(w, 'convert_selection') else \
    d.core_convert_selection if False else None
from Xlib.protocol import request
request.ConvertSelection(display=d.display, requestor=w, selection=d.intern_atom('CLIPBOARD'),
                         target=d.intern_atom('UTF8_STRING'), property=d.intern_atom('XSEL'), time=X.CurrentTime)
d.flush()
w.destroy()
d.close()
"""

FORMAT32_OWNER = """
import sys
from Xlib import display, X, Xatom
from Xlib.protocol import event
d = display.Display()
w = d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
clip = d.intern_atom('CLIPBOARD')
w.set_selection_owner(clip, X.CurrentTime)
d.flush()
print('owning', flush=True)
while True:
    e = d.next_event()
    if e.type == X.SelectionRequest:
        e.requestor.change_property(e.property, d.intern_atom('UTF8_STRING'), 32, [0x64636261, 0x68676665])
        reply = event.SelectionNotify(time=e.time, requestor=e.requestor, selection=e.selection, target=e.target,
                                      property=e.property)
        e.requestor.send_event(reply)
        d.flush()
"""

def test_properties(build, env):
    demo = Demo(build, env, ["--title", "Plan 2026", "--icon", "--dark", "--maximised"])
    demo.settle()
    props = run(env, "xprop", "-id", str(demo.window)).stdout
    check("WM_CLASS", 'WM_CLASS(STRING) = "quenmrk", "Quenmark"' in props, props)
    check("title", 'WM_NAME(STRING) = "Plan 2026"' in props, props)
    check("dark variant", '_GTK_THEME_VARIANT(UTF8_STRING) = "dark"' in props, props)
    icon = run(env, "xprop", "-id", str(demo.window), "-notype", "32c", "_NET_WM_ICON").stdout
    values = [int(v) for v in icon.split("=")[1].replace(",", " ").split()] if "=" in icon else []
    check("_NET_WM_ICON width, height, ARGB", values == [2, 1, 0xFFFF0000, 0x800080FF], icon)
    state = run(env, "xprop", "-id", str(demo.window), "_NET_WM_STATE").stdout
    check("maximised state", "_NET_WM_STATE_MAXIMIZED_VERT" in state and "_NET_WM_STATE_MAXIMIZED_HORZ" in state,
          state)
    demo.quit()
    demo = Demo(build, env, ["--light"])
    demo.settle()
    props = run(env, "xprop", "-id", str(demo.window), "_GTK_THEME_VARIANT").stdout
    check("light variant", '"light"' in props, props)

    close_window(env, [demo.window])
    closed = demo.wait(lambda j: j.get("close"), 30)
    check("WM_DELETE_WINDOW gives weClose and the close request",
          closed is not None and any(e["kind"] == "weClose" for e in demo.events))
    demo.quit()


def window_width(env, window):
    info = run(env, "xwininfo", "-id", str(window)).stdout
    for line in info.splitlines():
        if line.strip().startswith("Width:"):
            return int(line.split()[1])
    return -1


def test_scale(build, env):
    cases = [({"QUENMRK_SCALE": "1.5"}, None, 1.5), ({"QUENMRK_SCALE": "0"}, "144", 1.5),
             ({"QUENMRK_SCALE": "abc"}, "144", 1.5), ({}, "30", 1.0), ({}, None, 1.0)]
    for extra, dpi, scale in cases:
        if dpi:
            run(env, "xrdb", "-load", "-", input=f"Xft.dpi: {dpi}\n")
        else:
            run(env, "xrdb", "-load", "-", input="\n")
        demo = Demo(build, env, ["--size", "640x400"], extra)
        name = f"scale {extra} Xft.dpi {dpi}"
        check(name, demo.state["scale"] == scale and window_width(env, demo.window) == int(640 * scale),
              f"{demo.state} width {window_width(env, demo.window)}")
        demo.quit()
    run(env, "xrdb", "-load", "-", input="\n")


def test_context_fallback(build, env, tmp):
    demo = Demo(build, env, ["--bad-gl-version"])
    png = os.path.join(tmp, "fallback.png")
    ok = demo.command(f"save {png}", "saved") is not None and os.path.getsize(png) > 0
    code, err = demo.quit()
    check("a refused attribs context falls back to glXCreateNewContext", ok and code == 0, err)


def main():
    build, source = sys.argv[1], sys.argv[2]
    with temp_dir() as tmp, xvfb() as env:
        test_events(build, source, env)
        test_framebuffer(build, env, tmp)
        test_clipboard(build, env, tmp)
        test_properties(build, env)
        test_scale(build, env)
        test_context_fallback(build, env, tmp)
    finish()
    return 0


if __name__ == "__main__":
    sys.exit(main())
