"""The terms page under Xvfb. Screenshots of a first run (wide, narrow and
dark) are compared with the reviewed copies in tests/golden/terms (refresh
them with --update after looking at BUILD/terms-shots). Then, on a pinned
clock, the page is driven by widget id: the web button hands the selected
text's address to a recording opener, the tab switches to the privacy text,
"I agree" stores the stamp and the time, and the next start shows no terms.
A help folder without the two texts skips the page and stores nothing."""
import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "app", "xvfb"))
from _shell import base_env, check, config, finish, pinned_clock, program, run, temp_dir, wait_for, xvfb  # noqa: E402
from _window import Window  # noqa: E402

SHOTS = {"wide": ("900x700", "light"), "narrow": ("380x700", "light"), "dark": ("900x700", "dark")}
TOLERANCE = 600
STAMP = "1.1.0|2026-11-03"
PINNED = "2026-11-03 10:00:00"
PINNED_EPOCH = 1793700000  # the same instant in UTC


def settings(home):
    try:
        with open(os.path.join(config(home), "settings.json")) as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


def shots(build, source, env, update):
    out_dir = os.path.join(build, "terms-shots")
    golden = os.path.join(source, "tests", "golden", "terms")
    os.makedirs(out_dir, exist_ok=True)
    os.makedirs(golden, exist_ok=True)
    for tag, (size, theme) in SHOTS.items():
        shot = os.path.join(out_dir, tag + ".png")
        with temp_dir() as home:
            r = run(build, env, home, {"QUENMRK_PAGE": "legal", "QUENMRK_SHOT": shot, "QUENMRK_WINDOW": size,
                                       "QUENMRK_THEME": theme, "QUENMRK_TEST_FRAMES": "4", "QUENMRK_SPLASH": "0"})
        if not check(f"{tag} shot", r.returncode == 0 and os.path.exists(shot), r.stderr[-500:]):
            continue
        reviewed = os.path.join(golden, tag + ".png")
        if update:
            from PIL import Image
            with Image.open(shot) as im:
                im.save(reviewed, optimize=True)
            continue
        diff = subprocess.run(["compare", "-metric", "AE", "-fuzz", "2%", shot, reviewed, "null:"],
                              capture_output=True, text=True).stderr.strip()
        check(f"{tag} matches the reviewed copy", diff.isdigit() and int(diff) <= TOLERANCE, diff)


def past_terms(w):
    """Frames are drawn (the calendar may list no widgets) and none is the terms page's."""
    try:
        with open(w.listing) as f:
            listing = json.load(f)
    except (OSError, ValueError):
        return False
    return listing.get("framesOnPage", 0) >= 5 and not any(x["id"].startswith("legal-") for x in listing["widgets"])


def differ(a, b):
    diff = subprocess.run(["compare", "-metric", "AE", a, b, "null:"], capture_output=True, text=True).stderr
    return diff.strip().isdigit() and int(diff) > 1000


def accepting(build, env, scratch):
    opener = os.path.join(scratch, "bin")
    os.makedirs(opener)
    opened = os.path.join(scratch, "opened.txt")
    with open(os.path.join(opener, "xdg-open"), "w") as f:
        f.write(f"#!/bin/sh\nprintf '%s\\n' \"$1\" >> '{opened}'\n")
    os.chmod(os.path.join(opener, "xdg-open"), 0o755)
    lines = lambda: open(opened).read().split() if os.path.exists(opened) else []  # noqa: E731
    with temp_dir() as home:
        e = base_env(env, home, {"QUENMRK_SPLASH": "0", "QUENMRK_WINDOW": "900x700", "TZ": "UTC",
                                 "PATH": opener + ":" + env["PATH"]})
        e.update(pinned_clock(PINNED, utc=True))
        e["ASAN_OPTIONS"] += ":verify_asan_link_order=0"
        w = Window([program(build)], e, os.path.join(home, "widgets.json"))
        try:
            check("first start shows the terms", w.wait(lambda ws: "legal-agree" in ws and "legal-web" in ws))
            w.click("legal-web")
            check("the web button opens the terms", wait_for(lambda: lines() == ["https://quenmark.example/terms"]),
                  lines())
            before, after = os.path.join(scratch, "terms.png"), os.path.join(scratch, "privacy.png")
            w.shot(before)
            w.click("legal-tab#1")
            w.shot(after)
            check("the tab shows the other text", differ(before, after))
            w.click("legal-web")
            check("then the web button opens the privacy policy",
                  wait_for(lambda: lines()[-1:] == ["https://quenmark.example/privacy"]), lines())
            w.click("legal-agree")
            check("I agree stores the stamp", wait_for(lambda: settings(home).get("legalAccepted") == STAMP))
            at = settings(home).get("legalAcceptedAt", 0)
            check("and the time of acceptance", PINNED_EPOCH <= at < PINNED_EPOCH + 600, at)
            check("the program's pages follow", wait_for(lambda: past_terms(w)), list(w.widgets())[:5])
        finally:
            w.close()
        os.remove(os.path.join(home, "widgets.json"))
        w = Window([program(build)], base_env(env, home, {"QUENMRK_SPLASH": "0"}), os.path.join(home, "widgets.json"))
        try:
            ok = wait_for(lambda: past_terms(w))
        finally:
            err = w.close()
        check("the next start shows no terms", ok, err[-1500:])
        check("the stamp stays", settings(home).get("legalAccepted") == STAMP)


def missing_texts(build, env, scratch):
    help_dir = os.path.join(scratch, "help")
    os.makedirs(help_dir)
    with open(os.path.join(help_dir, "01-start.md"), "w") as f:
        f.write("# Start {#start}\n\nNo terms in this book.\n")
    with temp_dir() as home:
        w = Window([program(build)], base_env(env, home, {"QUENMRK_SPLASH": "0", "QUENMRK_HELP": help_dir}),
                   os.path.join(home, "widgets.json"))
        try:
            check("a book without the texts skips the page", wait_for(lambda: past_terms(w)), list(w.widgets())[:5])
        finally:
            w.close()
        s = settings(home)
        check("and stores no acceptance", not s.get("legalAccepted") and not s.get("legalAcceptedAt"), s)


def main():
    build, source = sys.argv[1], sys.argv[2]
    with xvfb() as env:
        shots(build, source, env, "--update" in sys.argv)
        with temp_dir() as scratch:
            accepting(build, env, scratch)
        with temp_dir() as scratch:
            missing_texts(build, env, scratch)
    finish()


if __name__ == "__main__":
    main()
