"""The calendar page with the demonstration budget in each view, today
pinned: a screenshot per view, and the driver's clicks by widget id."""
import os
import re
import sys

from _pages import Running, TODAY, check, data, finish, png_size, run_pinned, temp_dir, xvfb

VIEWS = ("month", "week", "day")


def shots(build, env, out):
    for view in VIEWS:
        with temp_dir() as home:
            shot = os.path.join(out or home, f"calendar_{view}.png")
            r = run_pinned(build, env, home, {"QUENMRK_DEMO": "1", "QUENMRK_VIEW": view, "QUENMRK_SHOT": shot,
                                              "QUENMRK_WINDOW": "1280x820", "QUENMRK_SPLASH": "0"})
            check(f"{view}: exits 0", r.returncode == 0, r.stderr)
            check(f"{view}: writes a 1280 x 820 PNG", png_size(shot) == (1280, 820), png_size(shot))
            if view == "month":
                starts = [t["start_date"] for t in data(home)["transactions"] if t.get("is_demo")]
                check("the demonstration budget lies around the pinned day",
                      starts and all(re.match(r"202[45]-", s) for s in starts) and
                      any(s.startswith(TODAY[:7]) for s in starts), starts[:5])


def driver(build, env):
    # The stand-in account page has one button that logs the presses it gets.
    with temp_dir() as home:
        with Running(build, env, home, {"QUENMRK_PAGE": "account", "QUENMRK_STUB_LOG": "1"},
                     stand_in=True) as p:
            x, y = p.centre("stub-button")
            p.click("stub-button")
            status = p.close()
        check("driver: closing the window ends the program with status 0", status == 0, p.stderr[-1500:])
        check("driver: the click lands at the button's centre", f"stub: press {x},{y}" in p.stderr,
              [line for line in p.stderr.splitlines() if "press" in line])


def main():
    build = sys.argv[1]
    out = os.environ.get("QM_SHOTS")  # keep the screenshots there to look at them
    with xvfb() as env:
        shots(build, env, out)
        driver(build, env)
    finish()


main()
