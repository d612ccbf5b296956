"""The calendar's single keys act on what the user picked, in the real
program over the demonstration budget with today pinned: N, A and = open
the form on the focused day without typing their own character into the
description, so "Rent" is saved as "Rent"; M, W and D show the focused
day's month, week or day even after the arrows moved the shown period."""
import sys

from _pages import Running, check, data, finish, temp_dir, wait_for, xvfb

DAY = "2025-03-19"


def mine(home):
    return [t for t in data(home)["transactions"] if not t.get("is_demo")]


def add_keys_type_nothing(build, env):
    with temp_dir() as home:
        with Running(build, env, home, {"QUENMRK_DEMO": "1"}) as p:
            for n, key in enumerate(["n", "a", "equal"], 1):
                p.click("cell-" + DAY)
                p.key(key)
                if not check(f"{key} opens the form", p.wait_widget("tx-desc", 10)):
                    break
                p.type("Rent", at="tx-desc")
                p.click("tx-amount")
                p.type("12", at="tx-amount")
                p.click("tx-save")
                wait_for(lambda: len(mine(home)) >= n and p.rect("tx-desc") is None, 15)
            status = p.close()
        check("add keys: the program ends with status 0", status == 0, p.stderr[-1500:])
        saved = [(t["description"], t["start_date"]) for t in mine(home)]
        check("N, A and = each save \"Rent\" on the focused day", saved == [("Rent", DAY)] * 3, saved)


def view_keys_follow_the_focused_day(build, env):
    with temp_dir() as home:
        with Running(build, env, home, {"QUENMRK_DEMO": "1", "QUENMRK_TEST_TEXTS": "1"}) as p:
            shows = lambda text: wait_for(lambda: text in p.texts(), 10)  # noqa: E731
            p.click("cell-2025-03-26")
            p.key("w")
            check("W shows the focused day's week", shows("Mar 23 \u2013 29, 2025"), p.texts()[:12])
            p.click("tb-next")
            check("the arrow moves the week on", shows("Mar 30 \u2013 Apr 5, 2025"), p.texts()[:12])
            p.key("m")
            check("M shows the focused day's month", shows("March 2025"), p.texts()[:12])
            p.click("tb-next")
            check("the arrow moves the month on", shows("April 2025"))
            p.key("d")
            check("D shows the focused day", shows("March 26, 2025"), p.texts()[:12])
            status = p.close()
        check("view keys: the program ends with status 0", status == 0, p.stderr[-1500:])


def main():
    build = sys.argv[1]
    with xvfb() as env:
        add_keys_type_nothing(build, env)
        view_keys_follow_the_focused_day(build, env)
    finish()


main()
