#!/usr/bin/python3
"""The week view's title for every Sunday of 2000-2030 against one built
here with datetime: "Mar 9 – 15, 2025" within a month, "Dec 29 – Jan 4,
2025" across two, the year always that of the Saturday."""
import datetime
import os
import subprocess
import sys


def expected(sunday):
    last = sunday + datetime.timedelta(days=6)
    head = f"{sunday.strftime('%b')} {sunday.day} \u2013 "
    tail = f"{last.day}, {last.year}" if last.month == sunday.month else f"{last.strftime('%b')} {last.day}, {last.year}"
    return head + tail


def main():
    build = sys.argv[1]
    tool = os.path.join(build, "tools", "calendar_tiles")
    env = dict(os.environ, LC_ALL="C")
    r = subprocess.run([tool], input="weeks 2000 2030\n", capture_output=True, text=True, env=env, timeout=600)
    if r.returncode != 0:
        print("calendar_tiles failed:", r.stderr[-2000:])
        return 1
    ours = dict(line.split(" ", 1) for line in r.stdout.splitlines())
    day = datetime.date(2000, 1, 2)  # the first Sunday of 2000
    wanted = {}
    while day.year <= 2030:
        wanted[day.isoformat()] = expected(day)
        day += datetime.timedelta(days=7)
    bad = [(k, ours.get(k), v) for k, v in wanted.items() if ours.get(k) != v]
    extra = sorted(set(ours) - set(wanted))
    print(f"{len(wanted)} Sundays, {len(bad)} differ, {len(extra)} unexpected")
    for b in bad[:10]:
        print("  ", b)
    return 0 if not bad and not extra and len(wanted) > 1600 else 1


sys.exit(main())
