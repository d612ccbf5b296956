"""Dates against Python's datetime and dateutil: every day 0001-01-01..9999-12-31,
month and year steps on random dates, and parseIso on random texts."""
import calendar
import datetime
import os
import random
import subprocess
import sys

from dateutil.relativedelta import relativedelta

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from _modelref import format_iso, parse_iso  # noqa: E402

TOOL = sys.argv[1] + "/tools/modeltool"
EPOCH = datetime.date(1970, 1, 1).toordinal()
failures = 0


def run(args, text=""):
    return subprocess.run([TOOL] + args, input=text.encode(), stdout=subprocess.PIPE,
                          check=True).stdout.decode().split("\n")[:-1]


def compare(name, got, want, inputs=None):
    global failures
    if len(got) != len(want):
        print(f"{name}: {len(got)} lines, expected {len(want)}")
        failures += 1
        return
    bad = [i for i in range(len(want)) if got[i] != want[i]]
    for i in bad[:10]:
        src = f" for {inputs[i]!r}" if inputs else ""
        print(f"{name}{src}: got {got[i]!r}, expected {want[i]!r}")
    failures += bool(bad)
    print(f"{name}: {len(want) - len(bad)}/{len(want)} agree")


# Every day of years 1..9999.
first, last = datetime.date.min.toordinal(), datetime.date.max.toordinal()
got = run(["dates", str(first - EPOCH), str(last - EPOCH)])
want = []
for o in range(first, last + 1):
    d = datetime.date.fromordinal(o)
    want.append(f"{d.isoformat()} {o - EPOCH} {d.weekday()} {int(calendar.isleap(d.year))} "
                f"{calendar.monthrange(d.year, d.month)[1]}")
compare("every day", got, want)

# Month, year and day steps; the week starts on Sunday.
rng = random.Random(1234)
inputs, want = [], []
while len(inputs) < 200000:
    d = datetime.date.fromordinal(rng.randint(first, last))
    n = rng.choice([rng.randint(-24, 24), rng.randint(-2000, 2000), rng.randint(-120000, 120000)])
    try:
        m, y, a = d + relativedelta(months=n), d + relativedelta(years=n), d + datetime.timedelta(days=n)
        sunday = d - datetime.timedelta(days=d.isoweekday() % 7)
    except (OverflowError, ValueError):
        continue
    inputs.append(f"{d.isoformat()} {n}")
    want.append(f"{m.isoformat()} {y.isoformat()} {a.isoformat()} {sunday.isoformat()}")
compare("addMonths/addYears/addDays/startOfWeek", run(["datearith"], "\n".join(inputs) + "\n"), want, inputs)

# parseIso against a reading built on Python's calendar.
pieces = ["2024", "0001", "9999", "-001", "+202", "12", "02", "2", "00", "13", "29", "30", "31",
          "-1", "+1", "-", "T", " ", "\t", "ab", "\u0661\u0661", "1_", "x", ":", "05", "01", "0"]


def expect_iso(text):
    r = parse_iso(text)
    return "err " + r if isinstance(r, str) else "ok " + format_iso(*r)


texts = []
for _ in range(50000):
    k = rng.random()
    if k < 0.5:
        y = rng.choice(pieces[:5] + [f"{rng.randint(0, 9999):04d}"])
        m = rng.choice(["01", "02", "12", "13", "00", "+1", "-1", f"{rng.randint(1, 12):02d}", "ab", " 1"])
        d = rng.choice(["01", "28", "29", "30", "31", "00", "+9", f"{rng.randint(1, 31):02d}", "1 "])
        t = f"{y}-{m}-{d}" + rng.choice(["", "", "T10:00", "x", "  "])
        t = rng.choice(["", " ", "\t"]) + t + rng.choice(["", " ", "\r"])
    else:
        t = "".join(rng.choice(pieces + ["-"] * 5) for _ in range(rng.randint(0, 8)))
    texts.append(t)
compare("parseIso", run(["parseiso"], "\n".join(texts) + "\n"), [expect_iso(t) for t in texts], texts)

sys.exit(1 if failures else 0)
