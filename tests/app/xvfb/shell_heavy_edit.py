"""Ten edits of the generated heavy budget while the program runs: each
opens the running-balance dialog on the focused day with its key (Ctrl+B),
types a new balance and applies it; every edit reaches the files while the
window keeps drawing, and a close afterwards ends the program. Prints the
resident memory after the start, after the ten edits and during the close,
and the gaps between frames after each click on Apply (each frame rewrites
the widget list, whose change times are the frames' times).

Usage: shell_heavy_edit.py BUILD_DIR SOURCE_DIR [--scale N] [--program PATH]
The default scale is small enough for a sanitizer build; measure with
--scale 16 and a release build, which is held to the time goal: the files
hold each edit within 1 s. A sanitizer build prints the times and checks
that every edit arrives, whatever the machine's load."""
import os
import subprocess
import sys
import time

from _shell import (accept_terms, base_env, check, finish, program, scaled, temp_dir, type_into, wait_for, widgets,
                    xdo, xvfb)
from shell_heavy_budget import close_all, heavy_budget, option, sanitized

EDITS = 10


def resident_mib(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1]) / 1024
    except OSError:
        pass
    return 0.0


def listed(listing, wid):
    try:
        return any(w["id"] == wid for w in widgets(listing)["widgets"])
    except (OSError, ValueError, KeyError):
        return False


def frames_drawn(listing, count, timeout=3.0):
    """Waits until the program has drawn that many frames more (a slow
    sanitizer build takes a tenth of a second and more for one)."""
    last = os.stat(listing).st_mtime_ns
    end = time.monotonic() + scaled(timeout)
    while count > 0 and time.monotonic() < end:
        now = os.stat(listing).st_mtime_ns
        if now != last:
            count -= 1
            last = now
        time.sleep(0.002)
    time.sleep(0.05)


def click(env, listing, wid):
    for w in widgets(listing)["widgets"]:
        if w["id"] == wid:
            x, y, width, height = w["rect"]
            # A frame with the pointer over it first, as a hand would give.
            subprocess.run(["xdotool", "mousemove", str(int(x + width / 2)), str(int(y + height / 2))], env=env,
                           check=True)
            frames_drawn(listing, 2)
            at = time.time_ns()
            subprocess.run(["xdotool", "click", "1"], env=env, check=True)
            return at
    return None


def journal_holds(folder, text):
    try:
        with open(os.path.join(folder, "journal.json"), encoding="utf-8") as f:
            return text in f.read()
    except OSError:
        return False


def edit(env, window, listing, folder, data, amount, limit):
    """One balance set through the dialog; gives the gaps between frames in
    the second after the click and when data.json changed."""
    check(f"the balance dialog is up for {amount}", wait_for(lambda: listed(listing, "bal-apply"), 60))
    before = os.stat(data).st_mtime_ns
    # The keys go out once the field holds the keyboard; a dialog still up
    # after Apply (keys the busy server lost) is given them once more.
    for attempt in range(2):
        check("amount typed into its field", type_into(env, window, listing, "bal-amount", amount))
        frames_drawn(listing, 2)
        frames = []
        last = os.stat(listing).st_mtime_ns
        clicked = click(env, listing, "bal-apply")
        if not check(f"apply clicked for {amount}", clicked is not None):
            return [], None
        landed = None
        while time.time_ns() - clicked < 1e9 or (landed is None and time.time_ns() - clicked < scaled(limit) * 2e9):
            try:
                now = os.stat(listing).st_mtime_ns
                if now != last:
                    frames.append(now)
                    last = now
                if landed is None and os.stat(data).st_mtime_ns != before:
                    landed = time.time_ns()
            except OSError:
                pass
            time.sleep(0.0005)
        if landed is None and attempt == 0:
            # A slow Apply may still close the dialog: only one that stays
            # up through a few more frames is given its keys again.
            frames_drawn(listing, 3)
            if listed(listing, "bal-apply") and os.stat(data).st_mtime_ns == before:
                print(f"the dialog stayed up after Apply for {amount}; typing it again")
                continue
        break
    # A frame whose list was written before the click is not one after it.
    frames = [f for f in frames if clicked <= f < clicked + 1e9]
    gaps = [(b - a) / 1e6 for a, b in zip([clicked] + frames, frames)]
    return gaps, (landed - clicked) / 1e9 if landed else None


def start_on_balance(env, home, build, scale, binary):
    """The program on the heavy budget with the balance dialog up and the
    start settled; gives the process, the budget's folder, its data.json and
    the widget list."""
    folder = heavy_budget(build, home, scale)
    data = os.path.join(folder, "data.json")
    listing = os.path.join(home, "widgets.json")
    accept_terms(home)
    e = base_env(env, home, {"QUENMRK_TEST_WIDGETS": listing, "QUENMRK_OPEN": "balance"})
    proc = subprocess.Popen([binary], env=e, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    check("the balance dialog is up", wait_for(lambda: proc.poll() is None and listed(listing, "bal-apply"), 240),
          proc.poll())
    # The start settles (its first frames, the pointer's arrival) before
    # the first keys, which a slow build would otherwise drop.
    time.sleep(3.0 if sanitized(binary) else 1.0)
    return proc, folder, data, listing


def main():
    build = sys.argv[1]
    scale = option("--scale", "2")
    binary = option("--program", program(build))
    # The goal an optimised build is held to; a sanitizer build only
    # waits that long, grown with the load, for each edit to arrive.
    goal = not sanitized(binary)
    limit = 1.0 if goal else 10.0
    with xvfb() as env, temp_dir() as home:
        proc, folder, data, listing = start_on_balance(env, home, build, scale, binary)
        window = (xdo(env, "search", "--sync", "--name", "^Quenmark$").split() or [""])[-1]
        started = resident_mib(proc.pid)

        firsts, longest, slowest = [], 0.0, 0.0
        for n in range(EDITS):
            if n > 0:
                # The dialog opens again on the day before the last one.
                check("the dialog closed", wait_for(lambda: not listed(listing, "bal-apply"), 10))
                subprocess.run(["xdotool", "key", "Left"], env=env, check=True)
                frames_drawn(listing, 2)
                # A lost key opens no dialog: it is pressed again.
                for _ in range(3):
                    subprocess.run(["xdotool", "key", "ctrl+b"], env=env, check=True)
                    if wait_for(lambda: listed(listing, "bal-apply"), 10):
                        break
            amount = f"{12345 + n}.67"
            gaps, took = edit(env, window, listing, folder, data, amount, limit)
            if goal:
                check(f"edit {n + 1} reaches data.json within {limit} s", took is not None and took <= limit, took)
            else:
                check(f"edit {n + 1} reaches data.json", took is not None, took)
            firsts.append(gaps[0] if gaps else None)
            longest = max([longest] + gaps)
            slowest = max(slowest, took or 0)
        check("the journal holds the last balance",
              wait_for(lambda: journal_holds(folder, f"{12345 + EDITS - 1}.67"), limit))
        print("first frame after each click, ms: " + ", ".join(f"{f:.1f}" if f else "none" for f in firsts))
        print(f"longest frame gap in the second after a click: {longest:.1f} ms; "
              f"data.json written at most {slowest:.2f} s after a click")
        if os.environ.get("QM_EDIT_SHOT"):
            subprocess.run(["import", "-window", "root", os.environ["QM_EDIT_SHOT"]], env=env)
        time.sleep(0.5)
        edited = resident_mib(proc.pid)

        check("close asked", close_all(env))
        peak = edited
        while proc.poll() is None:
            peak = max(peak, resident_mib(proc.pid))
            time.sleep(0.002)
        err = proc.stderr.read()
        check("exits 0", proc.returncode == 0, err[-2000:])
        print(f"resident MiB: after start {started:.0f}, after {EDITS} edits {edited:.0f}, "
              f"closing at most {peak:.0f}")
    finish()


if __name__ == "__main__":
    main()
