"""The clear button inside the calendar's search field, in the real program
over the demonstration budget with today pinned: a search typed and left
by a click on a day shows its hits; one click on the clear button empties the search
(the button, drawn only while the field holds text, goes; the grid dims
only while there is a search) and closes the hits."""
import sys

from _pages import Running, check, finish, temp_dir, wait_for, xvfb


DAY = "2025-03-19"


def clear_button_clears(build, env):
    with temp_dir() as home:
        with Running(build, env, home, {"QUENMRK_DEMO": "1"}) as p:
            p.click("tb-search")
            p.type("gro", at="tb-search")
            # A click away commits the text; allow the clicks an older rule
            # of the hits needed, so that only the clear button is judged.
            for _ in range(3):
                p.click("cell-" + DAY)
                if p.wait_widget("tb-clear", 3) and p.wait_widget("sr-0", 3):
                    break
            check("a search committed by a click away shows its hits and the clear button",
                  p.rect("sr-0") is not None and p.rect("tb-clear") is not None)
            p.click("tb-clear")
            gone = wait_for(lambda: p.rect("tb-clear") is None and p.rect("sr-0") is None, 10)
            check("one click on the clear button empties the search and closes the hits", gone,
                  [w["id"] for w in p.widgets() if w["id"] in ("tb-clear", "sr-0")])
            status = p.close()
        check("the program ends with status 0", status == 0, p.stderr[-1500:])


def main():
    build = sys.argv[1]
    with xvfb() as env:
        clear_button_clears(build, env)
    finish()


main()
