"""When the calendar's search shows its hits, in the real program over the
demonstration budget with today pinned: typing shows none; one click on a
day number then commits the text, opens that day and shows the hits once;
one Escape closes them."""
import sys

from _pages import Running, check, finish, temp_dir, wait_for, xvfb

DAY = "2025-03-19"


def frames_pass(p, n=5):
    start = p.frames() or 0
    wait_for(lambda: (p.frames() or 0) > start + n, 10)


def one_click_away(build, env):
    with temp_dir() as home:
        with Running(build, env, home, {"QUENMRK_DEMO": "1", "QUENMRK_TEST_TEXTS": "1"}) as p:
            p.click("tb-search")
            p.type("gro", at="tb-search")
            frames_pass(p)  # the field is live: it keeps drawing while focused
            check("typing shows no hits", p.rect("sr-0") is None)
            p.click("daynum-" + DAY)
            opened = wait_for(lambda: "March 19, 2025" in p.texts(), 10)
            check("one click on a day number opens that day", opened, p.texts()[:20])
            check("and the hits show", p.wait_widget("sr-0", 10))
            p.key("Escape", at="sr-0")
            check("one Escape closes them", wait_for(lambda: p.rect("sr-0") is None, 10))
            frames_pass(p)
            check("and they stay closed", p.rect("sr-0") is None)
            status = p.close()
        check("the program ends with status 0", status == 0, p.stderr[-1500:])


def main():
    build = sys.argv[1]
    with xvfb() as env:
        one_click_away(build, env)
    finish()


main()
