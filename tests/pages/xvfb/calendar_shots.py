"""Screenshots of the calendar's views and the transaction form over the
demonstration budget, today pinned, compared with the reviewed copies in
tests/golden/calendar (refresh them with --update after looking at them).
The pictures go to BUILD/calendar-shots."""
import os
import subprocess
import sys

from _pages import check, finish, png_size, run_pinned, temp_dir, xvfb

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
    # The toolbar's popovers, opened by a click on the switcher and the title.
    "accountpop": {"QUENMRK_TEST_CLICK": "60,89", "QUENMRK_TEST_FRAMES": "10"},
    "monthpicker": {"QUENMRK_TEST_CLICK": "402,89", "QUENMRK_TEST_FRAMES": "10"},
}
# Pixels that may differ from the reviewed copy (anti-aliasing on another
# Mesa build), out of about a million.
TOLERANCE = 1500


def main():
    build, source = sys.argv[1], sys.argv[2]
    update = "--update" in sys.argv
    out_dir = os.path.join(build, "calendar-shots")
    golden = os.path.join(source, "tests", "golden", "calendar")
    os.makedirs(out_dir, exist_ok=True)
    if update:
        os.makedirs(golden, exist_ok=True)
    with xvfb() as env:
        for name, switches in SHOTS.items():
            shot = os.path.join(out_dir, name + ".png")
            extra = {"QUENMRK_DEMO": "1", "QUENMRK_WINDOW": "1280x820", "QUENMRK_SPLASH": "0", "QUENMRK_SHOT": shot,
                     "QUENMRK_VIEW": "month"}
            extra.update(switches)
            with temp_dir() as home:
                r = run_pinned(build, env, home, extra)
            size = tuple(int(v) for v in extra["QUENMRK_WINDOW"].split("x"))
            if not check(f"{name}: exits 0 with its PNG", r.returncode == 0 and png_size(shot) == size,
                         r.stderr[-1500:]):
                continue
            reviewed = os.path.join(golden, name + ".png")
            if update:
                from PIL import Image
                with Image.open(shot) as im:
                    im.convert("RGB").save(reviewed, optimize=True)
                continue
            diff = subprocess.run(["compare", "-metric", "AE", "-fuzz", "2%", shot, reviewed, "null:"],
                                  capture_output=True, text=True).stderr.strip()
            check(f"{name}: matches the reviewed copy", diff.isdigit() and int(diff) <= TOLERANCE, diff)
    finish()


main()
