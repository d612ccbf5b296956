"""Types into the gallery's text fields under Xvfb with xdotool and xclip:
a select-all and retype commits only the new text, a clipboard paste of
CR LF lands as one space, a copied selection reaches the system clipboard,
Super+A types nothing, and the wheel over nested areas moves only the inner
one. Events come faster than frames, so presses and releases often share a
frame."""
import subprocess
import sys
import time

from _gallery import LiveGallery, check, finish, xvfb


def commits(g, field):
    return [j for j in g.seen if j.get("commit") == field]


def main():
    build = sys.argv[1]
    with xvfb("1000x700x24") as env:
        g = LiveGallery(build, env, "forms", {"QUENMRK_WINDOW": "900x640"})
        check("gallery laid out", "Description" in g.rects, g.rects.keys())
        if "Description" not in g.rects:
            g.quit()
            finish()
            return

        g.click("Description")
        g.xdo("type", "--delay", "15", "hello")
        g.xdo("key", "ctrl+a")
        g.xdo("type", "x")
        g.xdo("key", "Return")
        g.wait(lambda j: j.get("commit") == "Description", 30)
        got = commits(g, "Description")
        check("select all, retype, Enter commits x", got and got[-1]["text"] == "x" and got[-1]["result"] == 2, got)

        subprocess.run(["xclip", "-selection", "clipboard"], input=b"a\r\nb", env=env, check=True)
        time.sleep(0.3)
        g.click("Description", "3", dx=200)
        time.sleep(0.3)
        # The menu opens at the pointer: Paste is its third entry.
        x, y, w, h = g.rects["Description"]
        g.xdo("mousemove", str(int(x + 200 + 40)), str(int(y + h / 2 + 4 + 2 * 29 + 14)))
        g.xdo("click", "1")
        g.xdo("key", "Return")
        g.wait(lambda j: j.get("commit") == "Description" and "a b" in j.get("text", ""), 30)
        got = commits(g, "Description")
        check("right click and Paste insert a b", got and got[-1]["text"] == "xa b", got[-1:])

        g.click("Description")
        g.xdo("key", "ctrl+a")
        g.xdo("key", "ctrl+c")
        copied = subprocess.run(["xclip", "-selection", "clipboard", "-o"], env=env, capture_output=True,
                                text=True, timeout=10).stdout
        check("ctrl+c reaches the clipboard", copied == "xa b", repr(copied))

        g.xdo("key", "End")
        g.xdo("key", "super+a")
        g.xdo("key", "Return")
        g.wait(lambda j: j.get("commit") == "Description", 30)
        got = commits(g, "Description")
        check("super+a types nothing", got[-1]["text"] == "xa b", got[-1:])

        # The wheel over the inner area: only it moves.
        inner = g.rects.get("scrollbarinner")
        g.xdo("mousemove", str(int(inner[0] - 100)), str(int(inner[1] + 40)))
        for _ in range(3):
            g.xdo("click", "5")
        code = g.quit()
        check("gallery exits cleanly", code == 0, code)
        scroll = [j["scroll"] for j in g.seen if "scroll" in j]
        check("wheel moves only the inner area", scroll and scroll[-1]["inner"] > 0 and scroll[-1]["outer"] == 0,
              scroll)
    finish()


main()
