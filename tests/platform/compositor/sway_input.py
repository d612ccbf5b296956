"""Keyboard input and the clipboard of the Wayland window under sway
headless (run as nobody), driven by wtype and wl-clipboard: keys, text,
Control, compose (with the Compose files of libx11-data), key repeat timed
by the demo's time stamps, and copying both ways."""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "xvfb"))
from _checks import check, finish  # noqa: E402
from _demo import Demo  # noqa: E402
from _procs import slowness  # noqa: E402
from _wayland import sway  # noqa: E402

KEYS = ("weKeyDown", "weKeyUp", "weText")


def typed(s, demo, *args, settle=0.6):
    demo.settle(0.2)
    demo.take_events()
    # Each wtype brings a new virtual keyboard: give the demo time to bind it
    # before the first key goes out.
    subprocess.run(["wtype", "-s", "400", *args], env=s.env, timeout=30, capture_output=True)
    demo.settle(settle)
    return [e for e in demo.take_events() if e["kind"] in KEYS]


def main():
    build = sys.argv[1]
    config = "input type:keyboard repeat_delay 600\ninput type:keyboard repeat_rate 25\n"
    with sway(config) as s:
        demo = Demo(build, s.env, extra_env={"LANG": "en_US.UTF-8", "LC_ALL": "", "LC_CTYPE": ""})
        demo.settle(0.5)
        ev = typed(s, demo, "a")
        check("a: key down 1, text a, key up",
              [(e["kind"], e["key"], e["codepoint"]) for e in ev] ==
              [("weKeyDown", 1, 0), ("weText", 0, ord("a")), ("weKeyUp", 1, 0)], ev)
        ev = typed(s, demo, "é")
        check("é gives the text U+00E9", [e["codepoint"] for e in ev if e["kind"] == "weText"] == [0xE9], ev)
        ev = typed(s, demo, "-M", "ctrl", "c", "-m", "ctrl")
        downs = [e for e in ev if e["kind"] == "weKeyDown" and e["key"] == 3]
        check("ctrl+c: key down 3 with modifiers 2 and no text",
              len(downs) == 1 and downs[0]["modifiers"] == 2 and not any(e["kind"] == "weText" for e in ev), ev)
        ev = typed(s, demo, "-k", "dead_acute", "e")
        texts = [e["codepoint"] for e in ev if e["kind"] == "weText"]
        check("dead_acute e: two key downs, one text U+00E9",
              len([e for e in ev if e["kind"] == "weKeyDown"]) == 2 and texts == [0xE9], ev)
        # Separate text arguments would get a space between them.
        ev = typed(s, demo, "-k", "Multi_key", "oc")
        texts = [e["codepoint"] for e in ev if e["kind"] == "weText"]
        check("Multi_key o c gives ©", texts == [0xA9], ev)

        ev = typed(s, demo, "-P", "a", "-s", "1000", "-p", "a", settle=1.0)
        downs = [e for e in ev if e["kind"] == "weKeyDown"]
        ups = [e for e in ev if e["kind"] == "weKeyUp"]
        repeats = [e for e in downs if e["repeat"]]
        ok = len(downs) >= 2 and len(ups) == 1
        if ok:
            first = repeats[0]["time"] - downs[0]["time"] if repeats else 0
            # The demo stamps events when it takes them: a loaded machine
            # makes it late, never early. A hold longer than wtype's second
            # (wtype itself late) gives as many more repeats.
            check("first repeat 0.6 s after the press", 0.55 <= first <= 0.6 + 0.1 * slowness(), first)
            held = ups[0]["time"] - downs[0]["time"]
            most = max(12, round((held - 0.6) * 25) + 2)
            check(f"about 25 repeats a second (8 to {most} in {held:.2f} s)", 8 <= len(repeats) <= most,
                  len(repeats))
            check("no repeat after the key up", all(e["time"] <= ups[0]["time"] for e in repeats))
        else:
            check("held key", False, ev)

        text_file = os.path.join(s.rt, "copy.txt")
        with open(text_file, "w") as f:
            f.write("Quenmark clipboard ✓")
        typed(s, demo, "x")  # focus and a serial for the selection
        demo.command("copy " + text_file, "copied")
        time.sleep(0.3)
        pasted = subprocess.run(["wl-paste", "-n"], env=s.env, capture_output=True, text=True, timeout=30)
        check("wl-paste reads the demo's text", pasted.stdout == "Quenmark clipboard ✓", pasted)
        big = "".join(chr(ord("a") + i % 26) for i in range(3 * 1024 * 1024))
        copier = subprocess.Popen(["wl-copy"], env=s.env, stdin=subprocess.PIPE, text=True)
        copier.communicate(big, timeout=30)
        time.sleep(0.5)
        out = os.path.join(s.rt, "pasted.txt")
        answer = demo.command("paste-to " + out, "pasted", timeout=30)
        with open(out) as f:
            got = f.read()
        check("3 MB from wl-copy reaches the demo", answer is not None and got == big, len(got))
        code, err = demo.quit()
        check("quit exits 0", code == 0, (code, err))
    finish()


if __name__ == "__main__":
    main()
