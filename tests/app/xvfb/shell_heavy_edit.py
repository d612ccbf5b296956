"""An edit of the generated heavy budget while the program runs: a running
balance set in its dialog reaches data.json while the window keeps drawing,
and a close afterwards ends the program. Prints the
resident memory after the start, after the edit and during the close, and
the gaps between frames around the edit (each frame rewrites the widget
list, whose change times are the frames' times).

Usage: shell_heavy_edit.py BUILD_DIR SOURCE_DIR [--scale N] [--program PATH]
The default scale is small enough for a sanitizer build; measure with
--scale 16 and a release build. The files must hold the edit within 1 s in
an optimised build, 10 s in a sanitizer build."""
import os
import subprocess
import sys
import time

from _shell import accept_terms, base_env, check, config, finish, program, temp_dir, widgets, xvfb
from shell_heavy_budget import close_all, option, sanitized


def resident_mib(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1]) / 1024
    except OSError:
        pass
    return 0.0


def click(env, listing, wid):
    for w in widgets(listing)["widgets"]:
        if w["id"] == wid:
            x, y, width, height = w["rect"]
            # A frame with the pointer over it first, as a hand would give.
            subprocess.run(["xdotool", "mousemove", str(int(x + width / 2)), str(int(y + height / 2))], env=env,
                           check=True)
            time.sleep(0.3)
            at = time.time_ns()
            subprocess.run(["xdotool", "click", "1"], env=env, check=True)
            return at
    return None


def main():
    build = sys.argv[1]
    scale = option("--scale", "2")
    binary = option("--program", program(build))
    limit = 10.0 if sanitized(binary) else 1.0
    with xvfb() as env, temp_dir() as home:
        folder = os.path.join(config(home), "budgets", "local")
        data = os.path.join(folder, "data.json")
        made = subprocess.run([os.path.join(build, "tools", "modeltool"), "heavy", scale, folder],
                              capture_output=True, text=True)
        check(f"heavy budget x{scale} written", made.returncode == 0, made.stderr)
        listing = os.path.join(home, "widgets.json")
        accept_terms(home)
        e = base_env(env, home, {"QUENMRK_TEST_WIDGETS": listing, "QUENMRK_OPEN": "balance"})
        proc = subprocess.Popen([binary], env=e, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        end = time.monotonic() + 240
        ready = False
        while time.monotonic() < end and proc.poll() is None and not ready:
            try:
                ready = any(w["id"] == "bal-apply" for w in widgets(listing)["widgets"])
            except (OSError, ValueError, KeyError):
                pass
            time.sleep(0.02)
        check("the balance dialog is up", ready, proc.poll())
        time.sleep(1.0)
        started = resident_mib(proc.pid)
        before = os.stat(data).st_mtime_ns

        # The edit: a new target balance, applied.
        check("amount field clicked", click(env, listing, "bal-amount"))
        time.sleep(0.3)
        subprocess.run(["xdotool", "key", "ctrl+a"], env=env, check=True)
        subprocess.run(["xdotool", "type", "--delay", "40", "12345.67"], env=env, check=True)
        time.sleep(0.3)
        frames = []
        last = os.stat(listing).st_mtime_ns
        clicked = click(env, listing, "bal-apply")
        check("apply clicked", clicked is not None)
        landed = None
        while time.time_ns() - clicked < 3e9 or (landed is None and time.time_ns() - clicked < limit * 2e9):
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
        gaps = [(b - a) / 1e6 for a, b in zip([clicked] + frames, frames)]
        first = gaps[0] if gaps else None
        print(f"frames in the 3 s after the click: {len(frames)}; first after {first} ms; "
              f"longest gap {max(gaps) if gaps else None} ms")
        if os.environ.get("QM_EDIT_SHOT"):
            subprocess.run(["import", "-window", "root", os.environ["QM_EDIT_SHOT"]], env=env)
        took = (landed - clicked) / 1e9 if landed else None
        print(f"data.json written {took} s after the click")
        check(f"the edit reaches data.json within {limit} s", took is not None and took <= limit, took)
        with open(os.path.join(folder, "journal.json"), encoding="utf-8") as f:
            check("the journal holds the new balance anchor", '"entity":"anchor"' in f.read())
        edited = resident_mib(proc.pid)

        check("close asked", close_all(env))
        peak = edited
        while proc.poll() is None:
            peak = max(peak, resident_mib(proc.pid))
            time.sleep(0.002)
        err = proc.stderr.read()
        check("exits 0", proc.returncode == 0, err[-2000:])
        print(f"resident MiB: after start {started:.0f}, after the edit {edited:.0f}, closing at most {peak:.0f}")
    finish()


main()
