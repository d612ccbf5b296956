"""The narrow calendar and the guided tour in the real program, today pinned.
Pictures of the phone layouts, the phone menu and a two-column action sheet
go to BUILD/phone-shots and are compared with the reviewed copies in
tests/golden/phone (refresh them with --update after looking at them). A
tap on a day, its row's "more" and "Mark as paid" stores the occurrence as
paid. Each tour step rings its anchor: the ring is found by pixel probes
6 dp outside the anchor's rectangle from the widget list. Eleven Returns
through the tour leave the user's own transaction, no demo record, and the
tour completed."""
import json
import os
import sys

from _pages import ReviewedShots, Running, check, data, finish, png_size, run_pinned, temp_dir, wait_for, xvfb

SHOTS = {
    "phone-month": {"QUENMRK_WINDOW": "390x844", "QUENMRK_VIEW": "month"},
    "phone-week": {"QUENMRK_WINDOW": "390x844", "QUENMRK_VIEW": "week"},
    "phone-day": {"QUENMRK_WINDOW": "390x844", "QUENMRK_VIEW": "day"},
    "phone-landscape": {"QUENMRK_WINDOW": "844x390", "QUENMRK_VIEW": "month"},
    # The menu button of the phone header, and a row's "more" in landscape.
    "phone-menu": {"QUENMRK_WINDOW": "390x844", "QUENMRK_TEST_CLICK": "330,22", "QUENMRK_TEST_FRAMES": "10"},
    "phone-sheet": {"QUENMRK_WINDOW": "844x390", "QUENMRK_TEST_CLICK": "812,171", "QUENMRK_TEST_FRAMES": "10"},
}

# Pixels that may differ from the reviewed copy (anti-aliasing on another
# Mesa build).
TOLERANCE = 1500

# The widget whose rectangle each step's anchor is, where it has one: an id,
# the first line drawn on a tile, or the view switch's three segments.
TOUR_ANCHORS = {1: "cell-2025-03-12", 2: "tile-*", 3: "tb-add", 6: "account-switcher", 7: "tb-view#*",
                8: "tb-search", 9: "nav-balance", 10: "nav-sync"}


def anchor_rect(widgets, anchor):
    if not anchor.endswith("*"):
        found = [w["rect"] for w in widgets if w["id"] == anchor]
        return found[0] if found else None
    found = [w["rect"] for w in widgets if w["id"].startswith(anchor[:-1])]
    if not found:
        return None
    if anchor == "tile-*":
        return found[0]
    x0, y0 = min(r[0] for r in found), min(r[1] for r in found)
    x1, y1 = max(r[0] + r[2] for r in found), max(r[1] + r[3] for r in found)
    return [x0, y0, x1 - x0, y1 - y0]


def shots(build, env, taken):
    for name, switches in SHOTS.items():
        extra = {"QUENMRK_DEMO": "1", "QUENMRK_PHONE": "1", "QUENMRK_SPLASH": "0", "QUENMRK_SHOT": taken.path(name)}
        extra.update(switches)
        with temp_dir() as home:
            r = run_pinned(build, env, home, extra)
        taken.took(name, r, [int(v) for v in extra["QUENMRK_WINDOW"].split("x")])
    taken.finish()


def mark_paid(build, env):
    with temp_dir() as home:
        with Running(build, env, home, {"QUENMRK_DEMO": "1", "QUENMRK_PHONE": "1", "QUENMRK_WINDOW": "390x844",
                                        "QUENMRK_VIEW": "week"}) as p:
            p.click("pweek-2025-03-13")
            more = []
            wait_for(lambda: more.extend(w["id"] for w in p.widgets()
                                         if w["id"].startswith("ptxm-") and "2025-03-13" in w["id"]) or more, 10)
            check("tap: the day's rows show", bool(more), more)
            if more:
                p.click(more[0])
                p.click("sheet-1")
            status = p.close()
        check("mark paid: the program ends with status 0", status == 0, p.stderr[-1500:])
        if not more:
            return
        tid, day = more[0][len("ptxm-"):].split("#")[0].rsplit("-", 3)[0], "-".join(
            more[0].split("#")[0].rsplit("-", 3)[1:])
        saved = data(home)
        paid = [a for a in saved.get("transaction_adjustments", []) if str(a.get("transaction_id")) == tid
                and a.get("original_date") == day and a.get("is_paid")]
        check("mark paid: data.json holds that occurrence paid", len(paid) == 1 and day == "2025-03-13",
              (tid, day, saved.get("transaction_adjustments")))


def pixel_reader(path):
    from PIL import Image
    im = Image.open(path).convert("RGB")
    return im, im.load()


def is_accent(rgb):
    r, g, b = rgb
    return b > r + 60 and b > g + 20


def ring_found(path, rect, slack=1):
    """Probes the middle of each side 6 px outside the rectangle (give or take
    a pixel for the 2 px stroke) for the accent colour. The view switch's
    segments sit a few pixels inside its frame: slack covers that."""
    im, px = pixel_reader(path)
    x, y, w, h = rect
    probes = [(x + w / 2, y - 6, 0, -1), (x + w / 2, y + h + 6, 0, 1), (x - 6, y + h / 2, -1, 0),
              (x + w + 6, y + h / 2, 1, 0)]
    found = 0
    for cx, cy, dx, dy in probes:
        for d in range(-1, slack + 1):
            px_x, px_y = int(round(cx + dx * d)), int(round(cy + dy * d))
            if 0 <= px_x < im.width and 0 <= px_y < im.height and is_accent(px[px_x, px_y]):
                found += 1
                break
    # A side may run off the view (the header's buttons sit near its top).
    return found >= 3


def tour_rings(build, env, out_dir):
    for step in range(11):
        shot = os.path.join(out_dir, f"tour-{step}.png")
        with temp_dir() as home:
            listing = os.path.join(home, "widgets.json")
            r = run_pinned(build, env, home, {"QUENMRK_DEMO": "1", "QUENMRK_WINDOW": "1280x820", "QUENMRK_SPLASH": "0",
                                              "QUENMRK_SHOT": shot, "QUENMRK_TOUR": str(step),
                                              "QUENMRK_TEST_WIDGETS": listing, "QUENMRK_TEST_FRAMES": "6"})
            if not check(f"tour {step}: exits 0 with its PNG", r.returncode == 0 and png_size(shot) == (1280, 820),
                         r.stderr[-1500:]):
                continue
            with open(listing) as f:
                widgets = json.load(f)["widgets"]
        ids = [w["id"] for w in widgets]
        check(f"tour {step}: Back only after the first step", ("tour-back" in ids) == (step > 0), ids[-6:])
        anchor = TOUR_ANCHORS.get(step)
        if not anchor:
            continue
        rect = anchor_rect(widgets, anchor)
        if not check(f"tour {step}: its anchor {anchor} is drawn", rect is not None):
            continue
        check(f"tour {step}: the accent ring 6 dp around {anchor}", ring_found(shot, rect, 5 if anchor.endswith("#*") else 1), rect)


def returns_through_the_tour(build, env):
    with temp_dir() as home:
        with Running(build, env, home, {"QUENMRK_PAGE": "calendar"}) as p:
            p.click("tb-add")
            p.wait_widget("tx-desc", 10)
            p.type("My own rent", at="tx-desc")
            p.click("tx-amount")
            p.type("900", at="tx-amount")
            p.click("tx-save")
            p.close()
        with Running(build, env, home, {"QUENMRK_TOUR": "0", "QUENMRK_TEST_TEXTS": "1"}) as p:
            p.wait_widget("tour-next", 20)
            # Each Return goes out once the step before it is drawn (its
            # caption, in capitals).
            for step in range(1, 11):
                p.key("Return")
                check(f"Return {step} shows step {step + 1}", p.shows(f"STEP {step + 1} OF 11"))
            p.key("Return")
            ended = wait_for(lambda: p.rect("tour-next") is None, 10)
            status = p.close()
        check("eleven Returns: the tour ends, status 0", ended and status == 0, p.stderr[-1500:])
        saved = data(home)
        txs = saved["transactions"]
        check("eleven Returns: no demo record is left",
              not any(t.get("is_demo") for t in txs) and not any(a.get("is_demo") for a in saved.get("transaction_adjustments", [])))
        check("eleven Returns: the user's transaction stays",
              [t["description"] for t in txs] == ["My own rent"], [t["description"] for t in txs])
        check("eleven Returns: the tour is completed", saved["user"].get("has_completed_tour") is True,
              saved.get("user"))


def main():
    build, source = sys.argv[1], sys.argv[2]
    taken = ReviewedShots(build, source, "phone", TOLERANCE, "--update" in sys.argv)
    with xvfb() as env:
        shots(build, env, taken)
        mark_paid(build, env)
        tour_rings(build, env, taken.out_dir)
        returns_through_the_tour(build, env)
    finish()


main()
