"""Where the Account page puts its cards, read from the widget rectangles the
program lists (QUENMRK_TEST_WIDGETS): a content width of 760 gives one
column and 761 two, at scales 1 and 2; in two columns the cards alternate between them in
their order, signed in and signed out; signed out the page is titled
"Settings", runs from Appearance to "Your account", and that card's buttons
open the welcome page's sign-in and create-account forms."""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "app", "xvfb"))
from _account_page import fresh_home, local_data, open_page, page_env, sign_in, silent_service  # noqa: E402
from _shell import check, finish, program, temp_dir, widgets, xvfb  # noqa: E402
from _window import Window  # noqa: E402

# The page keeps 28 dp on each side: these windows (in dp) leave exactly
# 760 and 761 for the cards, at any scale.
ONE, TWO = 816, 817
PAD = 28
HEIGHT = 1000
# A widget of each card, in the page's order (the OFX card by its first date field).
SIGNED_IN = ["ac-first", "ac-email", "ac-curpw", "ac-theme", "cs-ics", "ac-import", "datetextie-from",
             "ac-2fa-setup", "ac-checkupd", "ac-terms", "ac-delete"]
SIGNED_OUT = ["ac-theme", "cs-ics", "ac-import", "datetextie-from", "ac-checkupd", "ac-terms", "ac-signin"]
ONLY_SIGNED_IN = {"ac-first", "ac-last", "ac-email", "ac-curpw", "ac-photo", "ac-2fa-setup", "ac-logout", "ac-delete"}


def rects(build, env, home, width, scale, service, shot):
    """The widget rectangles of a window `width` wide at `scale`, in dp."""
    listing = os.path.join(home, "widgets.json")
    r = open_page(build, env, home, {"QUENMRK_WINDOW": f"{width}x{HEIGHT}", "QUENMRK_SCALE": str(scale),
                                     "QUENMRK_TEST_FRAMES": "4", "QUENMRK_TEST_WIDGETS": listing,
                                     "QUENMRK_SHOT": shot, **service})
    if not check(f"{os.path.basename(shot)}: runs", r.returncode == 0 and os.path.exists(listing), r.stderr[-1500:]):
        return {}
    return {w["id"]: [v / scale for v in w["rect"]] for w in widgets(listing)["widgets"]}


def title_ink(shot, width):
    """How wide the title's ink is: the span of pixels in the title row that
    differ from the page background."""
    from PIL import Image
    with Image.open(shot) as im:
        im = im.convert("RGB")
        background = im.getpixel((PAD - 8, 100))
        xs = [x for x in range(PAD, width - PAD) for y in range(84, 120) if im.getpixel((x, y)) != background]
    return max(xs) - min(xs) if xs else 0


def in_order(name, ids, at):
    missing = [i for i in ids if i not in at]
    if not check(f"{name}: every card is listed", not missing, missing):
        return
    ys = [at[i][1] for i in ids]
    check(f"{name}: top to bottom in the page's order", ys == sorted(ys) and len(set(ys)) == len(ys),
          list(zip(ids, ys)))


def one_column(name, at, order):
    """Every card at the left of a 760-wide column, in order."""
    in_order(name, order, at)
    card = at.get("ac-theme", [0, 0, 0, 0])
    check(f"{name}: one column 760 wide", card[0] == PAD + 18 and card[2] + 36 == 760, card)
    check(f"{name}: all cards start at its left", {at[i][0] for i in order if i in at} == {PAD + 18},
          {i: at[i][0] for i in order if i in at})


def two_columns(name, at, order):
    """The cards alternate: even places left, odd right, each column in order."""
    left, right = order[0::2], order[1::2]
    first = at.get(left[0], [0, 0, 0, 0])
    column = first[2] + 36
    check(f"{name}: two columns and the gap make 761", first[0] == PAD + 18 and 2 * column + 16 == 761,
          (first, column))
    for side, ids, x in (("left", left, PAD + 18), ("right", right, PAD + column + 16 + 18)):
        in_order(f"{name}, {side} column", ids, at)
        check(f"{name}: {', '.join(ids)} in the {side} column", all(at.get(i, [None])[0] == x for i in ids),
              {i: at.get(i) for i in ids})


def welcome_form(build, env, home, service, button, shows, hides):
    w = Window([program(build)], page_env(env, home, {"QUENMRK_WINDOW": f"{TWO}x{HEIGHT}", **service}),
               os.path.join(home, "live.json"))
    try:
        check(f"'{button}' clicked", w.click(button))
        check(f"'{button}' opens the welcome form with {shows}",
              w.wait(lambda at: all(i in at for i in shows) and not any(i in at for i in hides)), sorted(w.widgets()))
    finally:
        w.close()


def main():
    build = sys.argv[1]
    with xvfb("1700x2100x24") as env, silent_service() as service, temp_dir() as shots:
        home = os.path.join(shots, "home")
        fresh_home(home)
        ink = {}
        for signed, order in (("out", SIGNED_OUT), ("in", SIGNED_IN)):
            if signed == "in":
                sign_in(home, local_data(home))
            for width, scale in ((ONE, 1), (TWO, 1)) + (((ONE, 2), (TWO, 2)) if signed == "in" else ()):
                shot = os.path.join(shots, f"{signed}-{width}-x{scale}.png")
                at = rects(build, env, home, width, scale, service, shot)
                name = f"signed {signed}, {width} wide at scale {scale}"
                (one_column if width == ONE else two_columns)(name, at, order)
                if signed == "out":
                    check(f"{name}: nothing of an account", not ONLY_SIGNED_IN & set(at), ONLY_SIGNED_IN & set(at))
                    cards = [i for i in at if i.startswith(("ac-", "cs-", "ie-", "datetext"))]
                    check(f"{name}: Appearance first, Your account last",
                          min(cards, key=lambda i: at[i][1]) == "ac-theme"
                          and max(cards, key=lambda i: at[i][1]) in ("ac-signin", "ac-signup"), cards)
                if scale == 1 and os.path.exists(shot):
                    ink[signed, width] = title_ink(shot, width)
        # "Settings" against "Account Settings": the same type, about half as wide.
        for width in (ONE, TWO):
            out, signed_in = ink.get(("out", width), 0), ink.get(("in", width), 0)
            check(f"{width} wide: the title reads \"Settings\" signed out, \"Account Settings\" signed in",
                  signed_in > 150 and 0.4 < out / signed_in < 0.6, (out, signed_in))

        home = os.path.join(shots, "out")
        fresh_home(home)
        welcome_form(build, env, home, service, "ac-signin", ["wl-go", "wl-forgot"], ["wl-create", "ac-theme"])
        welcome_form(build, env, home, service, "ac-signup", ["wl-create", "wl-pw2"], ["wl-go", "ac-theme"])
    finish()


if __name__ == "__main__":
    main()
