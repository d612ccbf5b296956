"""What opening the heavy budget costs the program in memory faults: the
program is started on the generated heavy budget and, beside it, on an
empty one; once each shows its budget, the minor page faults it took and
the pages it holds are read from /proc. The open's share is the difference
between the two: its faults must stay within 1.2 times the pages the
budget added, which a copy of data.json into fresh memory of its own (a
fault for each of its pages, freed again before it is counted) breaks.
Nor may the faults that left no page behind come near data.json's own
pages, which a copy takes even where a sanitizer's larger budget hides it in
the ratio. Also prints data.json's size over the time the heavy start took
beyond the empty one.

Usage: shell_open_faults.py BUILD_DIR SOURCE_DIR [--scale N] [--rest S] [--program PATH]
Measure with --scale 16, a release build and --rest 20 (seconds of rest
before each start, in which a host that takes back free memory takes it)."""
import os
import shutil
import subprocess
import sys
import time

from _shell import accept_terms, base_env, check, config, finish, program, temp_dir, widgets, xvfb
from _procs import stop  # noqa: E402  (found through _shell's path)
from shell_heavy_budget import heavy_budget, option

PAGE = os.sysconf("SC_PAGE_SIZE")


def faults_and_pages(pid):
    with open(f"/proc/{pid}/stat") as f:
        minflt = int(f.read().rsplit(")", 1)[1].split()[7])
    with open(f"/proc/{pid}/statm") as f:
        resident = int(f.read().split()[1])
    return minflt, resident


def started(binary, env, home, rest):
    """Starts the program on the budget in home; once it shows it, gives its
    faults, its resident pages and the seconds it took."""
    listing = os.path.join(home, "widgets.json")
    if os.path.exists(listing):
        os.remove(listing)
    time.sleep(rest)
    e = base_env(env, home, {"QUENMRK_TEST_WIDGETS": listing, "QUENMRK_SPLASH": "0"})
    t0 = time.monotonic()
    proc = subprocess.Popen([binary], env=e, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        end = time.monotonic() + 240
        while time.monotonic() < end and proc.poll() is None:
            try:
                if widgets(listing)["framesOnPage"] >= 3:
                    took = time.monotonic() - t0
                    return faults_and_pages(proc.pid) + (took,)
            except (OSError, ValueError, KeyError):
                pass
            time.sleep(0.005)
        return None
    finally:
        stop(proc)


def main():
    build = sys.argv[1]
    scale = option("--scale", "2")
    rest = float(option("--rest", "0"))
    binary = option("--program", program(build))
    with xvfb() as env, temp_dir() as heavy_home, temp_dir() as empty_home:
        folder = heavy_budget(build, heavy_home, scale)
        size = os.path.getsize(os.path.join(folder, "data.json"))
        os.makedirs(os.path.join(config(empty_home), "budgets", "local"))
        for home in (heavy_home, empty_home):
            accept_terms(home)
        runs = {"heavy": [], "empty": []}
        for _ in range(3):
            for name, home in (("heavy", heavy_home), ("empty", empty_home)):
                got = started(binary, env, home, rest)
                if not check(f"the {name} budget is shown", got is not None):
                    finish()
                runs[name].append(got)
        # Medians of each figure.
        med = {name: [sorted(r[i] for r in rs)[len(rs) // 2] for i in range(3)] for name, rs in runs.items()}
        faults = med["heavy"][0] - med["empty"][0]
        pages = med["heavy"][1] - med["empty"][1]
        seconds = med["heavy"][2] - med["empty"][2]
        ratio = faults / pages if pages > 0 else float("inf")
        print(f"data.json {size / 1e6:.1f} MB (x{scale}): the open's minor faults {faults}, pages it added {pages} "
              f"({pages * PAGE / 1e6:.0f} MB), {ratio:.2f} faults a page; {size / 1e6 / max(seconds, 1e-3):.0f} MB/s "
              f"over the {seconds:.2f} s the heavy start took beyond the empty one (medians of 3)")
        check("the open's faults within 1.2 times the pages the budget added", ratio <= 1.2, ratio)
        # Faults that left nothing resident behind: a copy of the file freed
        # again takes one for each of its pages. A sanitizer's larger
        # budget hides that in the ratio above, not here.
        file_pages = size / PAGE
        check("the open's faults beyond the pages it added within half of data.json's pages",
              faults - pages <= file_pages / 2, (faults - pages, round(file_pages)))
        shutil.rmtree(folder, ignore_errors=True)
    finish()


main()
