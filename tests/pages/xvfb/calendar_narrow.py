"""The desktop calendar at narrow widths and large scales, in the real
program over the demonstration budget with today pinned, read from its
widget list and the texts each frame drew: the toolbar's controls never lie
over one another and a click on Today reaches Today; the summary's captions
stay inside the window, whole or with an ellipsis; a tile's balance fits
beside its day number and its "+N more" lies within the tile."""
import json
import sys

from _pages import Running, check, finish, temp_dir, wait_for, xvfb

TOOLBAR = ["account-switcher", "tb-prev", "tb-month", "tb-next", "tb-today", "tb-view#0", "tb-view#1", "tb-view#2",
           "tb-search", "tb-add"]
CAPTIONS = ["OPENING BALANCE", "INCOME", "EXPENSES", "NET THIS MONTH", "PROJECTED END BALANCE"]
# window (in dp: the program multiplies it by the scale), scale, view: the
# narrow desktop widths the toolbar must hold. 640x410 at 2 is a 1280 x 820
# window at 200 %, 853x547 at 1.5 the same window at 150 %.
CASES = [("700x800", "1", "month"), ("640x410", "2", "month"), ("853x547", "1.5", "week"), ("900x820", "1", "day")]
# The figures are set in the mono face, whose every glyph is 0.6 em wide.
MONO_EM = 0.6
SMALLEST_BALANCE_DP = 10  # a short balance may take a smaller size


def listing(p):
    try:
        with open(p.listing) as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


def overlap(a, b):
    return a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]


def inside(a, b, slack=0.5):
    return (a[0] >= b[0] - slack and a[1] >= b[1] - slack and a[0] + a[2] <= b[0] + b[2] + slack
            and a[1] + a[3] <= b[1] + b[3] + slack)


def toolbar_holds(p, name, width):
    rects = {wid: p.rect(wid) for wid in TOOLBAR}
    check(f"{name}: every toolbar control is drawn", all(rects.values()), [k for k, v in rects.items() if not v])
    placed = {k: v for k, v in rects.items() if v}
    crossing = [(a, b) for i, a in enumerate(TOOLBAR) for b in TOOLBAR[i + 1:]
                if a in placed and b in placed and overlap(placed[a], placed[b])]
    check(f"{name}: no toolbar control lies over another", not crossing, crossing)
    outside = [k for k, r in placed.items() if r[0] < 0 or r[0] + r[2] > width + 0.5]
    check(f"{name}: every toolbar control lies inside the window", not outside, outside)


def today_reaches_today(p, name, title):
    p.click("tb-next")
    moved = wait_for(lambda: title not in p.texts(), 10)
    p.click("tb-today")
    check(f"{name}: Next, then Today brings {title!r} back", moved and wait_for(lambda: title in p.texts(), 10),
          p.texts()[:12])


def texts_fit(p, name, width, scale):
    now = listing(p)
    texts = now.get("texts", [])
    widgets = {w["id"]: w["rect"] for w in now.get("widgets", []) if not w.get("window")}
    for caption in CAPTIONS:
        found = [t for t in texts if t["text"] == caption
                 or (t["text"].endswith("\u2026") and caption.startswith(t["text"][:-1]))]
        check(f"{name}: {caption} is shown whole or elided inside the window",
              found and all(t["rect"][0] + t["rect"][2] <= width + 0.5 for t in found), found)
    over, cut = [], []
    for wid, cell in widgets.items():
        if not wid.startswith("cell-"):
            continue
        iso = wid[len("cell-"):]
        number = widgets.get("daynum-" + iso)
        more = widgets.get("more-" + iso)
        if more and not inside(more, cell):
            cut.append(iso)
        if not number:
            continue
        for t in texts:
            r = t["rect"]
            beside = abs(r[1] - number[1]) < 0.5 and r[0] >= number[0] + number[2] and inside(r, cell)
            if beside and t["text"] and t["text"][0] in "*$\u2212":
                if len(t["text"]) * MONO_EM * SMALLEST_BALANCE_DP * scale > r[2] + 0.5:
                    over.append((iso, t["text"], r))
    check(f"{name}: every balance fits beside its day number", not over, over[:5])
    check(f"{name}: every \"+N more\" lies within its tile", not cut, cut[:5])


def main():
    build = sys.argv[1]
    with xvfb() as env:
        for window, scale, view in CASES:
            name = f"{window} at {scale}x, {view}"
            width = int(window.split("x")[0]) * float(scale)
            with temp_dir() as home:
                extra = {"QUENMRK_DEMO": "1", "QUENMRK_TEST_TEXTS": "1", "QUENMRK_WINDOW": window,
                         "QUENMRK_SCALE": scale, "QUENMRK_VIEW": view}
                with Running(build, env, home, extra) as p:
                    p.wait_widget("tb-today")
                    toolbar_holds(p, name, width)
                    texts_fit(p, name, width, float(scale))
                    title = {"month": "March 2025", "week": "Mar 9 \u2013 15, 2025", "day": "March 12, 2025"}[view]
                    today_reaches_today(p, name, title)
                    status = p.close()
                check(f"{name}: the program ends with status 0", status == 0, p.stderr[-1500:])
    finish()


main()
