"""Sizes that must hold in the real program, today pinned: Set running
balance on a day that has an anchor and Adjust Amount fit their content,
closing note included, with no scroll bar (scale 1 and 2); the file dialog is 640 x 480 dp
at scale 1, 1.5 and 2; the phone day sheet's Closing figure stays inside
its card in a 320 px window. The day sheet's picture is compared with the
reviewed copy in tests/golden/phone (refresh with --update after looking at
it)."""
import json
import os
import sys

from _dialogs import TEXTS, check, reviewed, right_click, shot_dir, wait_for, window_rect
from _pages import TODAY, Running, finish, png_size, run_pinned, temp_dir, xvfb

# Window sizes are in dp: at scale 2 the window is 1920 x 1200 pixels.
SCALES = {"1": "1280x820", "2": "960x600"}


def nothing_cut(p, name):
    """The window's content fits it: the body needs no scroll bar, so the
    closing note above the buttons shows whole. A window drawn first only
    measures, so the bar would show from its second frame on."""
    return not wait_for(lambda: p.rect("scrollbarwin" + name) is not None, 3)


def notes(build, env):
    for scale, size in SCALES.items():
        with temp_dir() as home:
            with Running(build, env, home, {"QUENMRK_DEMO": "1", "QUENMRK_SCALE": scale, "QUENMRK_WINDOW": size,
                                            **TEXTS}) as p:
                p.wait_widget("tb-add")
                # The demonstration budget anchors today's balance.
                day = TODAY
                if check(f"x{scale}: a day with an anchor is shown", p.wait_widget("cell-" + day, 10)):
                    # The cell's foot: its middle may hold a line or "+2 more".
                    x, y, w, h = p.rect("cell-" + day)
                    p.move_to(int(x + w / 2), int(y + h - 6))
                    p.xdotool("click", "3")
                    p.click("miSet running balance\u2026")
                    check(f"x{scale}: the day menu opens Set running balance", p.wait_widget("bal-amount", 10))
                    check(f"x{scale}: Set running balance on an anchored day shows its note",
                          nothing_cut(p, "balform"), window_rect(p, "balform"))
                    p.click("bal-cancel")
                    wait_for(lambda: p.rect("bal-amount") is None, 10)
                line = next(w["id"] for w in p.widgets() if w["id"].startswith("tile-"))
                right_click(p, line)
                p.click("miAdjust amount\u2026")
                check(f"x{scale}: the line's menu opens Adjust Amount", p.wait_widget("adj-amount", 10))
                check(f"x{scale}: Adjust Amount shows its note", nothing_cut(p, "adjform"), window_rect(p, "adjform"))
                status = p.close()
            check(f"x{scale}: the program ends with status 0", status == 0, p.stderr[-1500:])


def file_dialog(build, env):
    for scale, size in (("1", "1280x820"), ("1.5", "1000x700"), ("2", "800x560")):
        with temp_dir() as home:
            with Running(build, env, home, {"QUENMRK_PAGE": "import", "QUENMRK_SCALE": scale,
                                            "QUENMRK_WINDOW": size}) as p:
                p.click("ie-choose")
                wait_for(lambda: window_rect(p, "filedlg") is not None, 15)
                got = window_rect(p, "filedlg")
                want = (640 * float(scale), 480 * float(scale))
                check(f"x{scale}: the file dialog is 640 x 480 dp",
                      got is not None and abs(got[2] - want[0]) <= 1 and abs(got[3] - want[1]) <= 1, (got, want))
                status = p.close()
            check(f"file dialog x{scale}: the program ends with status 0", status == 0, p.stderr[-1500:])


def pixel_reader(path):
    from PIL import Image
    im = Image.open(path).convert("RGB")
    return im, im.load()


def overrun(path, value, width):
    """Pixels right of the value's box (in its rows) that differ from the
    row just above the box: ink of a figure wider than its card."""
    im, px = pixel_reader(path)
    x, y, w, h = value
    count = 0
    for xx in range(int(x + w) + 1, min(width, im.width)):
        above = px[xx, int(y) - 1]
        for yy in range(int(y), int(y + h)):
            if sum(abs(a - b) for a, b in zip(px[xx, yy], above)) > 60:
                count += 1
    return count


def day_sheet(build, source, env, update):
    out = shot_dir(build, "phone")
    shot = os.path.join(out, "phone-day-320.png")
    with temp_dir() as home:
        listing = os.path.join(home, "widgets.json")
        r = run_pinned(build, env, home, {"QUENMRK_DEMO": "1", "QUENMRK_PHONE": "1", "QUENMRK_WINDOW": "320x700",
                                          "QUENMRK_VIEW": "day", "QUENMRK_SPLASH": "0", "QUENMRK_SHOT": shot,
                                          "QUENMRK_TEST_WIDGETS": listing, "QUENMRK_TEST_FRAMES": "6", **TEXTS})
        if not check("phone 320: exits 0 with its PNG", r.returncode == 0 and png_size(shot) == (320, 700),
                     r.stderr[-1500:]):
            return
        with open(listing) as f:
            drawn = json.load(f).get("texts", [])
    caption = next((t for t in drawn if t["text"] == "CLOSING"), None)
    value = None
    if caption:
        cx, cy = caption["rect"][0], caption["rect"][1]
        below = [t for t in drawn if abs(t["rect"][0] - cx) < 1 and cy < t["rect"][1] < cy + 40]
        value = below[0] if below else None
    if check("phone 320: the Closing card and its figure are drawn", value is not None, caption):
        check("phone 320: the Closing figure stays inside its card", overrun(shot, value["rect"], 320) == 0,
              value)
    reviewed(build, source, "phone", [shot], update, 1500)


def main():
    build, source = sys.argv[1], sys.argv[2]
    with xvfb("2000x1300x24") as env:
        notes(build, env)
        file_dialog(build, env)
        day_sheet(build, source, env, "--update" in sys.argv)
    finish()


main()
