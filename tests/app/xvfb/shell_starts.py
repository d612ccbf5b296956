"""Many starts that quit after one frame while the network worker starts: every one must exit 0 and leave no crash report. The count is the
third argument (20 by default; 100 by hand). A ThreadSanitizer build can be
given as the fourth, and is run the same way."""
import os
import sys

from _shell import check, config, finish, run, temp_dir, xvfb


def starts(build, env, count, label):
    bad = []
    with temp_dir() as home:
        for i in range(count):
            r = run(build, env, home, {"QUENMRK_TEST_FRAMES": "1", "QUENMRK_SPLASH": "0",
                                       "TSAN_OPTIONS": "halt_on_error=1"})
            if r.returncode != 0:
                bad.append((i, r.returncode, r.stderr[-1500:]))
        reports = os.path.join(config(home), "crash-reports")
        left = os.listdir(reports) if os.path.isdir(reports) else []
    check(f"{label}: {count} starts exit 0", not bad, bad[:2])
    check(f"{label}: no crash report", not left, left)


def main():
    build = sys.argv[1]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    with xvfb() as env:
        starts(build, env, count, "sanitized build")
        if len(sys.argv) > 4:
            starts(sys.argv[4], env, count, "thread-sanitized build")
    finish()


main()
