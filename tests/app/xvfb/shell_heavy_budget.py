"""The generated heavy budget at 16 times the benchmarks' base size: the
splash is the first frame, drawn while the budget is still being read, and
a close with nothing changed ends the program and leaves both files as they
were.

Usage: shell_heavy_budget.py BUILD_DIR SOURCE_DIR [--scale N] [--program PATH]
--program times another build of quenmrk (a release build) and holds it to
the time goals: the splash up within 0.3 s of the start, the close done
within 0.3 s; the tools come from BUILD_DIR. That is the measuring run, on a
quiet machine. The sanitizer build the test suite runs prints the figures
and checks the order instead, which no load changes: frames of the splash
alone are listed before the budget's page, and the files stay untouched."""
import os
import subprocess
import sys
import time

from _shell import base_env, check, close_window, config, finish, program, scaled, stamp, temp_dir, widgets, xvfb

def option(name, default):
    return sys.argv[sys.argv.index(name) + 1] if name in sys.argv else default


def sanitized(build):
    try:
        with open(os.path.join(os.path.dirname(build), "CMakeCache.txt")) as f:
            return "QM_SANITIZE:BOOL=ON" in f.read()
    except OSError:
        return True


def close_all(env):
    found = subprocess.run(["xdotool", "search", "--name", "^Quenmark$"], env=env, capture_output=True, text=True)
    close_window(env, found.stdout.split())
    return bool(found.stdout.split())


def heavy_budget(build, home, scale):
    """Writes the heavy budget at that scale as the local budget; its folder."""
    folder = os.path.join(config(home), "budgets", "local")
    made = subprocess.run([os.path.join(build, "tools", "modeltool"), "heavy", scale, folder],
                          capture_output=True, text=True)
    check(f"heavy budget x{scale} written", made.returncode == 0, made.stderr)
    return folder


def main():
    build = sys.argv[1]
    scale = option("--scale", "16")
    binary = option("--program", program(build))
    # Only the measuring run of an optimised build is held to the clock.
    limit = None if sanitized(binary) else 0.3
    with xvfb() as env, temp_dir() as home:
        folder = heavy_budget(build, home, scale)
        before = {f: stamp(os.path.join(folder, f)) + (os.stat(os.path.join(folder, f)).st_ino,)
                  for f in ("data.json", "journal.json")}
        listing = os.path.join(home, "widgets.json")
        e = base_env(env, home, {"QUENMRK_TEST_WIDGETS": listing, "QUENMRK_SPLASH": "1"})
        t0 = time.time_ns()
        proc = subprocess.Popen([binary], env=e, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        first = None
        end = time.monotonic() + scaled(240)
        loaded = False
        # Frames listed before the page's, and whether each listed a widget:
        # the splash lists none, the page many.
        order = []
        while time.monotonic() < end and proc.poll() is None:
            try:
                if first is None:
                    first = os.stat(listing).st_mtime_ns
                listed = widgets(listing)
                loaded = listed["framesOnPage"] >= 3 and bool(listed["widgets"])
                if not order or order[-1] != bool(listed["widgets"]):
                    order.append(bool(listed["widgets"]))
            except (OSError, ValueError, KeyError):
                pass
            if loaded:
                break
            time.sleep(0.005)
        shown = (first - t0) / 1e9 if first else None
        print(f"first frame after {shown} s; budget shown after {(time.time_ns() - t0) / 1e9:.2f} s")
        check("the first frames are the splash alone, drawn while the budget is read", order[:2] == [False, True],
              order)
        if limit is not None:
            check(f"the splash is up within {limit} s", shown is not None and shown <= limit, shown)
        check("the budget is shown", loaded, proc.poll())
        closing = time.monotonic()
        check("close asked", close_all(env))
        try:
            code = proc.wait(timeout=scaled(30))
        except subprocess.TimeoutExpired:
            # Where it hangs, before it goes.
            stacks = subprocess.run(["gdb", "-p", str(proc.pid), "-batch", "-ex", "thread apply all bt 20"],
                                    capture_output=True, text=True)
            print(stacks.stdout[-6000:])
            proc.kill()
            code = proc.wait()
        took = time.monotonic() - closing
        err = proc.stderr.read()
        print(f"closed after {took:.3f} s")
        check("exits 0", code == 0, err[-2000:])
        if limit is not None:
            check(f"an unchanged budget closes within {limit} s", took <= limit, took)
        after = {f: stamp(os.path.join(folder, f)) + (os.stat(os.path.join(folder, f)).st_ino,)
                 for f in ("data.json", "journal.json")}
        check("both files unchanged (sha256, mtime, inode)", after == before, (before, after))
    finish()


if __name__ == "__main__":
    main()
