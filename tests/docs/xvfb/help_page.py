"""The program's Help page under a private Xvfb server: screenshots at two
window sizes, light and dark, scale 1 and 2, compared with the reviewed
copies in tests/golden/help (refresh them with --update after looking at
them), then the page driven by widget id with xdotool: a contents row,
Back and Forward, Control+F and a search."""
import json
import os
import re
import shutil
import signal
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "app", "xvfb"))
from _shell import (ReviewedShots, accept_terms, base_env, check, click_at, finish, focused, program,  # noqa: E402
                    steady_rect, temp_dir, wait_for, xvfb)

SIZES = ["1280x820", "700x820"]
# Pixels allowed to differ by more than the fuzz: none are expected on one
# machine; a few tolerate a different Mesa build.
TOLERANCE = 200


def prepare(home):
    # The terms of this build are accepted, so the page itself shows.
    accept_terms(home)


def page_env(env, home, extra):
    return base_env(env, home, dict({"QUENMRK_PAGE": "help", "QUENMRK_SPLASH": "0"}, **extra))


def shots(build, source, env, update):
    taken = ReviewedShots(build, source, "help", TOLERANCE, update)
    for size in SIZES:
        for theme in ("light", "dark"):
            for scale in (1, 2):
                tag = f"help-{size}-{theme}-x{scale}"
                with temp_dir() as home:
                    prepare(home)
                    r = subprocess.run([program(build)], env=page_env(env, home, {
                        "QUENMRK_WINDOW": size, "QUENMRK_THEME": theme, "QUENMRK_SCALE": str(scale),
                        "QUENMRK_SHOT": taken.path(tag)}), capture_output=True, text=True, timeout=120)
                taken.took(tag, r)
    taken.finish()


def page_sections(source):
    """Per compiled-in page (in order), its headings as (section index, level)."""
    pages = []
    index = 0
    help_dir = os.path.join(source, "src", "docs", "help")
    for name in sorted(os.listdir(help_dir)):
        headings = []
        fenced = False
        with open(os.path.join(help_dir, name), encoding="utf-8") as f:
            for line in f:
                if line.startswith("```") or line.startswith("~~~"):
                    fenced = not fenced
                m = re.match(r"^(#{1,6}) ", line)
                if m and not fenced:
                    headings.append((index, len(m.group(1))))
                    index += 1
        pages.append(headings)
    return pages


def first_topic_rows(headings):
    """The level-2 rows the contents list under a page's first topic: those
    before the page's next level-1 heading."""
    out = []
    for i, level in headings[1:]:
        if level == 1:
            break
        if level == 2:
            out.append(f"hts{i}")
    return sorted(out)


def listed(path):
    try:
        with open(path) as f:
            return [w["id"] for w in json.load(f)["widgets"]]
    except (OSError, ValueError, KeyError):
        return []


def rect_of(path, wid):
    with open(path) as f:
        for w in json.load(f)["widgets"]:
            if w["id"] == wid:
                return w["rect"]
    return None


def driven(build, source, env):
    pages = page_sections(source)
    rows = [first_topic_rows(headings) for headings in pages]
    with temp_dir() as home:
        prepare(home)
        listing = os.path.join(home, "w.json")
        p = subprocess.Popen([program(build)], env=page_env(env, home, {
            "QUENMRK_WINDOW": "1280x820", "QUENMRK_TEST_WIDGETS": listing}),
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        try:
            def sections():
                return sorted(i for i in listed(listing) if i.startswith("hts"))

            if not check("the page lists its contents", wait_for(lambda: "htc5" in listed(listing))):
                return
            wid = subprocess.run(["xdotool", "search", "--sync", "--name", "^Quenmark$"], env=env,
                                 capture_output=True, text=True, timeout=20).stdout.split()[-1]

            def xdo(*args):
                subprocess.run(["xdotool", *args], env=env, check=True, timeout=20)

            def click(widget):
                rect = steady_rect(listing, widget)
                if rect is None:
                    raise RuntimeError(f"no widget {widget!r}: {listed(listing)}")
                click_at(env, wid, rect, path=listing)

            check("page 0's sections are listed", sections() == rows[0], (sections(), rows[0]))
            click("htc5")
            check("htc5 lists page 5's sections", wait_for(lambda: sections() == rows[5], 20), (sections(), rows[5]))
            click("help-back")
            check("Back returns to page 0", wait_for(lambda: sections() == rows[0], 20), sections())
            click("help-fwd")
            check("Forward goes to page 5 again", wait_for(lambda: sections() == rows[5], 20), sections())
            x, y, w, h = rect_of(listing, "htc0")
            xdo("mousemove", "--window", wid, str(int(x + w / 2)), str(int(y + h / 2)))
            xdo("key", "--clearmodifiers", "ctrl+f")
            check("Control+F gives the search field the keyboard", wait_for(lambda: focused(listing) == "help-search"),
                  focused(listing))
            xdo("type", "--delay", "30", "shortcuts")
            check("typing brings search results",
                  wait_for(lambda: any(i.startswith("hres") for i in listed(listing)), 20), listed(listing))
            check("the contents give way to them", not any(i.startswith("htc") for i in listed(listing)))
            xdo("key", "Return")
            check("Return opens the first hit and brings the contents back",
                  wait_for(lambda: any(i.startswith("htc") for i in listed(listing))
                           and not any(i.startswith("hres") for i in listed(listing)), 20), listed(listing))
        finally:
            p.send_signal(signal.SIGTERM)
            try:
                p.wait(timeout=30)
            except subprocess.TimeoutExpired:
                p.kill()
        err = p.stderr.read() if p.stderr else ""
        check("the program ends cleanly", p.returncode in (0, -signal.SIGTERM), (p.returncode, err[-1500:]))


def main():
    build, source = sys.argv[1], sys.argv[2]
    update = "--update" in sys.argv
    if not shutil.which("xdotool"):
        print("xdotool is missing")
        sys.exit(1)
    with xvfb("2600x1700x24") as env:
        shots(build, source, env, update)
        driven(build, source, env)
    finish()


main()
