"""The Help page's contents and its "?" key in the real program under a
private Xvfb server, driven by widget id: every level-1 heading of every
help file has a row of its own in the contents (a file holds several), a
click on a later topic of a file opens it with its own sections listed
below it, and "?" typed over the page opens the keyboard shortcuts."""
import json
import os
import re
import signal
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "app", "xvfb"))
from _shell import accept_terms, base_env, check, finish, program, temp_dir, wait_for, xvfb  # noqa: E402


def headings(source):
    """Every heading of the compiled-in pages, in order, as (section index,
    level, title)."""
    out = []
    help_dir = os.path.join(source, "src", "docs", "help")
    for name in sorted(os.listdir(help_dir)):
        fenced = False
        with open(os.path.join(help_dir, name), encoding="utf-8") as f:
            for line in f:
                if line.startswith("```") or line.startswith("~~~"):
                    fenced = not fenced
                m = re.match(r"^(#{1,6}) +(.*?)\s*(\{#[^}]*\})?\s*$", line)
                if m and not fenced:
                    out.append((len(out), len(m.group(1)), m.group(2)))
    return out


def frame(path):
    try:
        with open(path) as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


def rows(path):
    """Each contents row ("htc...") with the title drawn in it."""
    f = frame(path)
    found = {}
    for w in f.get("widgets", []):
        if not w["id"].startswith("htc"):
            continue
        x, y, wd, h = w["rect"]
        for t in f.get("texts", []):
            tx, ty, tw, th = t["rect"]
            if x <= tx and tx + tw <= x + wd + 0.5 and y <= ty and ty + th <= y + h + 0.5:
                found[w["id"]] = t["text"]
    return found


def ids(path):
    return [w["id"] for w in frame(path).get("widgets", [])]


def main():
    build, source = sys.argv[1], sys.argv[2]
    heads = headings(source)
    topics = [title for _, level, title in heads if level == 1]
    shortcuts = next(i for i, level, title in heads if title == "Keyboard shortcuts")
    import_export = next(i for i, level, title in heads if title == "Import & export")
    below = [f"hts{i}" for i, level, _ in heads if level == 2 and import_export < i
             and all(lv != 1 for j, lv, _ in heads if import_export < j <= i)]
    with xvfb() as env, temp_dir() as home:
        accept_terms(home)
        listing = os.path.join(home, "w.json")
        p = subprocess.Popen([program(build)], env=base_env(env, home, {
            "QUENMRK_PAGE": "help", "QUENMRK_SPLASH": "0", "QUENMRK_WINDOW": "1280x820",
            "QUENMRK_TEST_WIDGETS": listing, "QUENMRK_TEST_TEXTS": "1"}),
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        try:
            listed = wait_for(lambda: sorted(rows(listing).values()) == sorted(topics), 60)
            check("the contents list every level-1 topic of every file", listed,
                  sorted(set(topics) - set(rows(listing).values())))
            wid = subprocess.run(["xdotool", "search", "--sync", "--name", "^Quenmark$"], env=env,
                                 capture_output=True, text=True, timeout=20).stdout.split()[-1]

            def xdo(*args):
                subprocess.run(["xdotool", *args], env=env, check=True, timeout=20)

            def point(x, y):
                xdo("mousemove", "--window", wid, str(int(x)), str(int(y)))

            found = {t: i for i, t in rows(listing).items()}
            if check("Import & export has a row", "Import & export" in found, found):
                x, y, w, h = next(w["rect"] for w in frame(listing)["widgets"] if w["id"] == found["Import & export"])
                point(x + w / 2, y + h / 2)
                xdo("click", "1")
                check("a click on it lists its own sections below it",
                      wait_for(lambda: below and all(b in ids(listing) for b in below), 20), (below, ids(listing)))
            point(900, 500)  # over the document, away from the search field
            xdo("type", "?")
            check('"?" opens the keyboard shortcuts',
                  wait_for(lambda: f"hts{shortcuts}" in ids(listing), 20), [i for i in ids(listing) if i.startswith("ht")])
        finally:
            p.send_signal(signal.SIGTERM)
            try:
                p.wait(timeout=30)
            except subprocess.TimeoutExpired:
                p.kill()
        err = p.stderr.read() if p.stderr else ""
        check("the program ends cleanly", p.returncode in (0, -signal.SIGTERM), (p.returncode, err[-1500:]))
    finish()


main()
