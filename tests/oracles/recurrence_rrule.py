#!/usr/bin/python3
"""Expands thousands of random recurring transactions with recurtool and
compares every date with dateutil's rrule, on the rules where the two
calendars mean the same thing: day and week steps, month and year steps from
a start day up to 28, a day of the month (clamped to the month's end), and
the 1st to 4th or last weekday of a month. A series always begins with its
start date and the rule's walk begins after it."""
import datetime as dt
import itertools
import random
import subprocess
import sys

from dateutil import rrule

build = sys.argv[1]
rng = random.Random(31337)
DAY = dt.timedelta(days=1)
WEEKDAYS = ["monday", "tuesday", "wednesday", "thursday", "friday", "saturday", "sunday"]
RR_WEEKDAYS = [rrule.MO, rrule.TU, rrule.WE, rrule.TH, rrule.FR, rrule.SA, rrule.SU]
MAX_STEPS = 20000


def month_after(d):
    return dt.datetime(d.year + (d.month == 12), d.month % 12 + 1, 1)


def random_case():
    start = dt.datetime(2000, 1, 1) + rng.randrange(0, 25 * 365) * DAY
    kind = rng.randrange(8)
    if kind == 0:
        k = rng.randint(1, 10)
        return start, f"nth_{k}_days", dict(freq=rrule.DAILY, interval=k, dtstart=start), True
    if kind == 1:
        k = rng.randint(1, 5)
        return start, f"nth_{k}_weeks", dict(freq=rrule.WEEKLY, interval=k, dtstart=start), True
    if kind in (2, 3):
        start = start.replace(day=rng.randint(1, 28))
        k = rng.randint(1, 6) if kind == 2 else rng.randint(1, 3)
        unit, freq = ("months", rrule.MONTHLY) if kind == 2 else ("years", rrule.YEARLY)
        return start, f"nth_{k}_{unit}", dict(freq=freq, interval=k, dtstart=start), True
    if kind in (4, 5):
        day = rng.choice(["last"] + [str(i) for i in range(1, 32)])
        monthdays = [-1] if day == "last" else [int(day), -1]
        if kind == 4:
            return start, f"dom_{day}_every", dict(freq=rrule.MONTHLY, bymonthday=monthdays, bysetpos=1,
                                                   dtstart=month_after(start)), False
        m = rng.randint(1, 12)
        return start, f"dom_{day}_{m}", dict(freq=rrule.YEARLY, bymonth=m, bymonthday=monthdays, bysetpos=1,
                                             dtstart=start + DAY), False
    pos = rng.choice(["last", "1", "2", "3", "4"])
    wd = rng.randrange(7)
    byweekday = RR_WEEKDAYS[wd](-1 if pos == "last" else int(pos))
    if kind == 6:
        return start, f"specific_{pos}_{WEEKDAYS[wd]}_every", dict(freq=rrule.MONTHLY, byweekday=byweekday,
                                                                   dtstart=month_after(start)), False
    m = rng.randint(1, 12)
    return start, f"specific_{pos}_{WEEKDAYS[wd]}_{m}", dict(freq=rrule.YEARLY, bymonth=m, byweekday=byweekday,
                                                             dtstart=month_after(start)), False


def shift(d, business, early):
    wd = d.weekday()
    if not business or wd < 5:
        return d
    return d - (wd - 4) * DAY if early else d + (7 - wd) * DAY


def expected(start, params, includes_start, end, business, early, lo, hi):
    series = rrule.rrule(**params)
    later = itertools.islice(series, 1, None) if includes_start else iter(series)
    out = []
    for i, d in enumerate(itertools.chain([start], later)):
        if d > hi + 2 * DAY or i > MAX_STEPS or (i > 0 and end is not None and d > end):
            break
        s = shift(d, business, early)
        if lo <= s <= hi:
            out.append(s)
    return " ".join(x.strftime("%Y-%m-%d") for x in out) or "-"


def iso(d):
    return d.strftime("%Y-%m-%d")


cases = []
for n in range(6000):
    start, rule, params, includes_start = random_case()
    end = None
    if rng.random() < 0.4:
        end = start + rng.randint(-30, 3000) * DAY
    business = rng.random() < 0.5
    early = rng.random() < 0.5
    if n % 200 == 0 and rule.endswith("_days"):
        lo = start + rng.randint(19990, 20010) * DAY  # around the step limit of a daily series
    else:
        lo = start + rng.randint(-60, 2500) * DAY
    hi = lo + rng.randint(0, 400) * DAY
    cases.append((start, rule, params, includes_start, end, business, early, lo, hi))

request = "".join(
    f"expand {rule} {iso(start)} {iso(end) if end else '-'} {int(b)} {int(e)} {iso(lo)} {iso(hi)}\n"
    for start, rule, params, inc, end, b, e, lo, hi in cases)
answers = subprocess.run([f"{build}/tools/recurtool"], input=request, capture_output=True, text=True,
                         check=True).stdout.splitlines()
assert len(answers) == len(cases), "recurtool answered %d of %d" % (len(answers), len(cases))

mismatches = 0
dates = 0
for case, got in zip(cases, answers):
    start, rule, params, inc, end, b, e, lo, hi = case
    want = expected(start, params, inc, end, b, e, lo, hi)
    dates += 0 if want == "-" else len(want.split())
    if got != want:
        mismatches += 1
        if mismatches <= 10:
            print(f"MISMATCH {rule} start {iso(start)} end {iso(end) if end else '-'} business {b} early {e} "
                  f"range {iso(lo)}..{iso(hi)}\n  got  {got}\n  want {want}")
print(f"{len(cases)} series, {dates} dates compared with rrule, {mismatches} mismatches")
sys.exit(1 if mismatches else 0)
