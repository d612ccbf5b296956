"""Opens the gallery's modal form under Xvfb, types into its field, presses
Escape and opens it again: the field must show the bound text, not what was
typed before the Escape. Then a list of a combo box is opened and an item
chosen."""
import sys
import time

from _gallery import LiveGallery, check, finish, xvfb


def main():
    build = sys.argv[1]
    with xvfb("1000x700x24") as env:
        g = LiveGallery(build, env, "dialogs", {"QUENMRK_WINDOW": "900x640"})
        check("gallery laid out", "Open form" in g.rects, list(g.rects)[:10])
        if "Open form" not in g.rects:
            g.quit()
            finish()
            return
        g.click("Theme")
        g.xdo("mousemove", str(int(g.rects["Theme"][0] + 30)), str(int(g.rects["Theme"][1] + 32 + 4 + 26 + 13)))
        g.xdo("click", "1")

        g.click("Open form")
        g.wait(lambda j: j.get("action") == "Window: New transaction", 30)
        g.xdo("type", "--delay", "15", "Typed away")
        g.xdo("key", "Escape")
        g.click("Open form")
        time.sleep(0.3)
        code = g.quit()
        check("gallery exits cleanly", code == 0, code)
        field = [j["formField"] for j in g.seen if "formField" in j]
        check("reopened form shows the bound text", field and field[-1]["buffer"] == "Groceries"
              and field[-1]["bound"] == "Groceries" and field[-1]["editing"] and field[-1]["open"], field)
        actions = [j["action"] for j in g.seen if "action" in j]
        check("opening the form is in the trail once", actions.count("Window: New transaction") == 1, actions)
        combos = [j for j in g.seen if j.get("combo") == "Theme"]
        check("a list item was chosen", combos and combos[-1]["index"] == 1, combos)
    finish()


main()
