#!/usr/bin/python3
"""The month grid for every month of 1900-2100 against Python's calendar with
weeks from Sunday: the grid starts on the calendar's first shown day, shows
the calendar's weeks, and pads a month that fits in four weeks with a fifth."""
import calendar
import datetime
import subprocess
import sys

build = sys.argv[1]
out = subprocess.run([f"{build}/tools/ledgertool"], input="grid 1900 2100\n", capture_output=True, text=True,
                     check=True).stdout.splitlines()
cal = calendar.Calendar(firstweekday=calendar.SUNDAY)
bad = 0
for line in out:
    year, month, start, weeks = line.split()
    year, month, weeks = int(year), int(month), int(weeks)
    start = datetime.date.fromisoformat(start)
    want = cal.monthdatescalendar(year, month)
    want_weeks = max(5, len(want))
    ok = start == want[0][0] and weeks == want_weeks
    # The padding week lies wholly after the month.
    last_shown = start + datetime.timedelta(days=7 * weeks - 1)
    ok = ok and last_shown >= want[-1][-1] and (last_shown - want[-1][-1]).days in (0, 7)
    if not ok:
        bad += 1
        if bad <= 10:
            print(f"MISMATCH {year}-{month:02}: got {start} x{weeks}, want {want[0][0]} x{want_weeks}")
print(f"{len(out)} months compared with calendar.monthdatescalendar, {bad} mismatches")
sys.exit(1 if bad or len(out) != 201 * 12 else 0)
