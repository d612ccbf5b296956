"""Screenshots of the Account page signed out and signed in, light and dark,
wide (two columns) and compact (one), at scales 1 and 2, compared with the
reviewed copies in tests/golden/account (refresh them with --update after
looking at them). At scale 1 the window is as tall as the page, so every
card is in the picture; at scale 2 the top of the page is. The folder sits
at a fixed path because the This device card names it. The pictures go to
BUILD/account-shots. One more picture shows the two-factor card's enabled
view and the notice of an e-mail change waiting for its verification."""
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "app", "xvfb"))
from _account_page import fresh_home, local_data, open_page, sign_in, silent_service  # noqa: E402
from _shell import ReviewedShots, check, finish, widgets, xvfb  # noqa: E402

HOME = "/tmp/qm-account-shots"
# Logical window sizes: (signed out, signed in) per layout and scale.
SIZES = {
    ("wide", 1): ("1100x960", "1100x1880"),
    ("compact", 1): ("420x1720", "420x2860"),
    ("wide", 2): ("1100x700", "1100x700"),
    ("compact", 2): ("420x700", "420x700"),
}
PENDING = "in-2fa-on-email-pending"
# Pixels that may differ from the reviewed copy (anti-aliasing on another
# Mesa build).
TOLERANCE = 2000


def main():
    build, source = sys.argv[1], sys.argv[2]
    shots = ReviewedShots(build, source, "account", TOLERANCE, "--update" in sys.argv)
    fresh_home(HOME)
    try:
        with xvfb("2400x3000x24") as env, silent_service() as service:
            for signed in ("out", "in"):
                if signed == "in":
                    check("a budget of this device to sign in with", os.path.exists(local_data(HOME)))
                    sign_in(HOME, local_data(HOME))
                for (layout, scale), sizes in SIZES.items():
                    for theme in ("light", "dark"):
                        name = f"{signed}-{layout}-{theme}-x{scale}"
                        size = sizes[signed == "in"]
                        listing = os.path.join(HOME, "widgets.json")
                        r = open_page(build, env, HOME, {"QUENMRK_WINDOW": size, "QUENMRK_SCALE": str(scale),
                                                         "QUENMRK_THEME": theme, "QUENMRK_TEST_FRAMES": "5",
                                                         "QUENMRK_SHOT": shots.path(name),
                                                         "QUENMRK_TEST_WIDGETS": listing, **service})
                        shots.took(name, r)
                        if scale == 1 and r.returncode == 0:
                            ids = {w["id"] for w in widgets(listing)["widgets"]}
                            check(f"{name}: the whole page fits the picture", "scrollbaraccountpage" not in ids)
            # Two-factor sign-in on and an address change waiting: the badge
            # view of that card and the e-mail card's notice.
            sign_in(HOME, local_data(HOME), two_factor_enabled=True, pending_email="robin.new@example.test")
            r = open_page(build, env, HOME, {"QUENMRK_WINDOW": "1100x940", "QUENMRK_THEME": "light",
                                             "QUENMRK_TEST_FRAMES": "5", "QUENMRK_SHOT": shots.path(PENDING),
                                             **service})
            shots.took(PENDING, r)
    finally:
        shutil.rmtree(HOME, ignore_errors=True)
    shots.finish()
    finish()


if __name__ == "__main__":
    main()
