"""Screenshots of the calendar's views and the transaction form over the
demonstration budget, today pinned, compared with the reviewed copies in
tests/golden/calendar (refresh them with --update after looking at them).
The pictures go to BUILD/calendar-shots."""
import sys

from _pages import ReviewedShots, finish, run_pinned, temp_dir, xvfb

# name: switches over the demonstration budget at 1280 x 820, light theme.
SHOTS = {
    "month": {"QUENMRK_VIEW": "month"},
    "week": {"QUENMRK_VIEW": "week"},
    "day": {"QUENMRK_VIEW": "day"},
    "month-900": {"QUENMRK_WINDOW": "900x820"},
    "month-901": {"QUENMRK_WINDOW": "901x820"},
    "month-1280x380": {"QUENMRK_WINDOW": "1280x380"},
    "txform": {"QUENMRK_OPEN": "txform"},
    "txform-repeat": {"QUENMRK_OPEN": "txform-repeat"},
    "transfer": {"QUENMRK_OPEN": "transfer"},
    "txform-error": {"QUENMRK_OPEN": "txform-error"},
    "txform-repeat-500": {"QUENMRK_OPEN": "txform-repeat", "QUENMRK_WINDOW": "500x800"},
    "month-dark": {"QUENMRK_THEME": "dark"},
    "day-dark": {"QUENMRK_THEME": "dark", "QUENMRK_VIEW": "day"},
    "month-1000": {"QUENMRK_WINDOW": "1000x820"},
    # Narrow desktop widths: the view switch and the search field on a row
    # of their own, short titles and balances.
    "month-700x800": {"QUENMRK_WINDOW": "700x800"},
    # A 1280 x 820 window at 200 %: the window switch is in dp.
    "month-200pct": {"QUENMRK_SCALE": "2", "QUENMRK_WINDOW": "640x410"},
    "week-200pct": {"QUENMRK_SCALE": "2", "QUENMRK_WINDOW": "640x410", "QUENMRK_VIEW": "week"},
    "day-200pct": {"QUENMRK_SCALE": "2", "QUENMRK_WINDOW": "640x410", "QUENMRK_VIEW": "day"},
    # The toolbar's popovers, opened by a click on the switcher and the title.
    "accountpop": {"QUENMRK_TEST_CLICK": "60,89", "QUENMRK_TEST_FRAMES": "10"},
    "monthpicker": {"QUENMRK_TEST_CLICK": "402,89", "QUENMRK_TEST_FRAMES": "10"},
}
# Pixels that may differ from the reviewed copy (anti-aliasing on another
# Mesa build), out of about a million.
TOLERANCE = 1500


def main():
    build, source = sys.argv[1], sys.argv[2]
    taken = ReviewedShots(build, source, "calendar", TOLERANCE, "--update" in sys.argv)
    with xvfb() as env:
        for name, switches in SHOTS.items():
            extra = {"QUENMRK_DEMO": "1", "QUENMRK_WINDOW": "1280x820", "QUENMRK_SPLASH": "0",
                     "QUENMRK_SHOT": taken.path(name), "QUENMRK_VIEW": "month"}
            extra.update(switches)
            with temp_dir() as home:
                r = run_pinned(build, env, home, extra)
            scale = float(extra.get("QUENMRK_SCALE", "1"))
            taken.took(name, r, [round(int(v) * scale) for v in extra["QUENMRK_WINDOW"].split("x")])
    taken.finish()
    finish()


main()
