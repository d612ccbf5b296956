"""First and later starts, a signed-in user's budget, damaged budgets that
must open a message box and stay untouched, and the lock that keeps a
second copy of the program off the same configuration folder."""
import fcntl
import json
import os
import shutil
import signal
import subprocess
import sys
import time

from _shell import (base_env, check, config, finish, program, run, scaled, stamp, temp_dir, tree_stamps, wait_for,
                    widgets, xvfb)

NOBODY = 65534


def pages(result):
    return [line.split(" ", 2)[2] for line in result.stderr.splitlines() if line.startswith("stub: page ")]


def first_page(result):
    """Stand-in pages log themselves when first drawn; the calendar page is
    the program's own and does not."""
    return (pages(result) or ["Calendar"])[0]


def starts(build, env):
    with temp_dir() as home:
        listing = os.path.join(home, "widgets.json")
        r = run(build, env, home, {"QUENMRK_TEST_FRAMES": "2", "QUENMRK_TEST_WIDGETS": listing})
        local = os.path.join(config(home), "budgets", "local")
        check("first start exits 0", r.returncode == 0, r.stderr)
        check("first start writes the local budget",
              os.path.isfile(os.path.join(local, "data.json")) and os.path.isfile(os.path.join(local, "journal.json")))
        ids = [w["id"] for w in widgets(listing)["widgets"]] if os.path.exists(listing) else []
        check("first start shows Welcome", "wl-signin" in ids, ids)
        r = run(build, env, home, {"QUENMRK_TEST_FRAMES": "2"})
        check("next start shows Calendar", r.returncode == 0 and first_page(r) == "Calendar", (pages(r), r.stderr))
        with open(os.path.join(config(home), "settings.json")) as f:
            check("lastBudget is local", json.load(f)["lastBudget"] == "local")
    with temp_dir() as home:
        os.makedirs(config(home))
        with open(os.path.join(config(home), "session.json"), "w") as f:
            json.dump({"email": "a@example.com", "token": "t", "user_id": 42}, f)
        r = run(build, env, home, {"QUENMRK_TEST_FRAMES": "2"})
        check("user 42 opens budgets/42",
              r.returncode == 0 and os.path.isfile(os.path.join(config(home), "budgets", "42", "data.json")), r.stderr)
        check("user 42 sees Calendar", first_page(r) == "Calendar", pages(r))


DAMAGES = [
    ("empty data.json", "", "[]", False),
    ("data.json holding {", "{", "[]", False),
    ("next_seq of 2^40", '{"meta": {"next_seq": 1099511627776}}', "[]", False),
    ("journal.json holding [", "{}", "[", False),
    ("data.json unreadable", '{"accounts": []}', "[]", True),
]


def damaged(build, env):
    for name, data, journal, unreadable in DAMAGES:
        with temp_dir() as home:
            folder = os.path.join(config(home), "budgets", "local")
            os.makedirs(folder)
            for file, text in (("data.json", data), ("journal.json", journal)):
                with open(os.path.join(folder, file), "w") as f:
                    f.write(text)
            listing = os.path.join(home, "widgets.json")
            extra = {"QUENMRK_TEST_FRAMES": "4", "QUENMRK_TEST_WIDGETS": listing}
            kw = {}
            if unreadable:
                for d, dirs, files in os.walk(home):
                    for x in dirs + files:
                        os.chown(os.path.join(d, x), NOBODY, NOBODY)
                os.chown(home, NOBODY, NOBODY)
                os.chmod(os.path.join(folder, "data.json"), 0)
            before = {f: stamp(os.path.join(folder, f)) for f in ("data.json", "journal.json")}
            time.sleep(0.02)
            cmd = [program(build)]
            if unreadable:
                cmd = ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups"] + cmd
            r = subprocess.run(cmd, env=base_env(env, home, extra), capture_output=True, text=True, timeout=120)
            check(f"{name}: starts and ends with status 0", r.returncode == 0, r.stderr)
            ids = [w["id"] for w in widgets(listing)["widgets"]] if os.path.exists(listing) else []
            check(f"{name}: the message box shows", "winqmmsg" in ids and "qmmsg-ok" in ids, ids)
            saves = [line for line in r.stderr.splitlines() if line.startswith("Quenmark: could not save the budget")]
            # The box said it: with nothing changed there is nothing to report.
            check(f"{name}: the shutdown reports no save", len(saves) == 0, r.stderr)
            after = {f: stamp(os.path.join(folder, f)) for f in ("data.json", "journal.json")}
            check(f"{name}: both files unchanged", before == after, (before, after))
            reports = os.path.join(config(home), "crash-reports")
            check(f"{name}: no crash report", not os.path.isdir(reports) or not os.listdir(reports))


def second_copy(build, env):
    with temp_dir() as home:
        listing = os.path.join(home, "widgets.json")
        first = subprocess.Popen([program(build)], env=base_env(env, home, {"QUENMRK_TEST_WIDGETS": listing,
                                                                              "QUENMRK_SPLASH": "0"}),
                                 stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        try:
            check("first copy draws", wait_for(lambda: os.path.exists(listing)))
            # The first copy's own start-up writes end before the second
            # copy's run is watched for writes.
            looks = []
            wait_for(lambda: looks.append(tree_stamps(config(home))) or looks[-2:] == [looks[-1]] * 2, 30, 0.5)
            listing = os.path.join(home, "second.json")
            before = tree_stamps(config(home))
            t0 = time.monotonic()
            r = run(build, env, home, {"QUENMRK_TEST_FRAMES": "2", "QUENMRK_TEST_WIDGETS": listing})
            took = time.monotonic() - t0
            check("second copy exits 1", r.returncode == 1, r.stderr)
            check("second copy waited for its retries", 2.5 <= took < scaled(20), took)
            lines = [line for line in r.stderr.splitlines() if line.strip()]
            check("second copy prints one line naming the folder", len(lines) == 1 and config(home) in lines[0], lines)
            after = tree_stamps(config(home))
            changed = sorted(k for k in set(before) | set(after) if before.get(k) != after.get(k))
            check("second copy wrote nothing", not changed and not os.path.exists(listing), changed)
        finally:
            first.send_signal(signal.SIGKILL)
            first.wait()
        # Once the killed copy is reaped nothing of it may hold the lock (a
        # forked child that kept it would make the next start wait out its
        # retries): taken without waiting, then let go for the next start.
        with open(os.path.join(config(home), "instance.lock")) as lock:
            try:
                fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
                free = True
            except BlockingIOError:
                free = False
        check("after SIGKILL the lock is free at once", free)
        t0 = time.monotonic()
        r = run(build, env, home, {"QUENMRK_TEST_FRAMES": "2"})
        print(f"the start after SIGKILL took {time.monotonic() - t0:.2f} s")
        check("after SIGKILL a start succeeds", r.returncode == 0, (r.returncode, r.stderr))


def main():
    build = sys.argv[1]
    with xvfb() as env:
        starts(build, env)
        damaged(build, env)
        second_copy(build, env)
    finish()


main()
