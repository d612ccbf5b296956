#!/usr/bin/python3
"""The calendar's tiles against sums made here. For a small budget (one-off
amounts, monthly and fortnightly rules, a transfer, an account anchor and an
all-accounts anchor) every end-of-day balance of a month is computed with
datetime and plain sums, and the balance each tile draws must be that amount
as money, in the all-accounts scope and in each account's. Then the tiles'
"cell-" ids of every month of 2000-2030 must be the days Python's calendar
shows, Sunday first, a month of four weeks padded with a fifth."""
import calendar
import datetime
import subprocess
import sys

D = datetime.date.fromisoformat
DAY = datetime.timedelta(days=1)

# amount, start, account, destination, rule ("dom", day) / ("weeks", n), description
PLAN = [
    (-4.50, "2025-03-12", "Checking", None, None, "Coffee"),
    (250.00, "2025-03-20", "Checking", None, None, "Bonus"),
    (40.25, "2025-02-27", "Savings", None, None, "Gift"),
    (-1200.00, "2025-01-01", "Checking", None, ("dom", 1), "Rent"),
    (3000.10, "2025-01-15", "Checking", None, ("dom", 15), "Salary"),
    (-30.00, "2025-02-03", "Checking", None, ("weeks", 2), "Gym"),
    (-100.00, "2025-03-14", "Checking", "Savings", None, "To savings"),
]
# date, amount, account (None: all accounts)
ANCHORS = [("2025-03-05", 1000.00, "Checking"), ("2025-03-25", 5000.00, None)]


def rule_text(rule):
    if rule is None:
        return "-"
    kind, n = rule
    return f"dom_{n}_every" if kind == "dom" else f"nth_{n}_weeks"


def occurs(plan, day):
    start, rule = D(plan[1]), plan[4]
    if day < start:
        return False
    if rule is None:
        return day == start
    if rule[0] == "dom":
        return day.day == rule[1]
    return (day - start).days % (7 * rule[1]) == 0


def change(plan, scope, amount):
    """What an occurrence does to the scope's balance (scope None: all)."""
    account, to = plan[2], plan[3]
    if scope is None:
        return 0.0 if to else amount
    if account == scope:
        return amount
    if to == scope:
        return -amount
    return 0.0


def balances(scope, first, last):
    out = {}
    balance = 0.0
    day = D("2025-01-01")
    while day <= last:
        balance += sum(change(p, scope, p[0]) for p in PLAN if occurs(p, day))
        for date, amount, account in ANCHORS:
            if D(date) == day and account == scope:
                balance = amount
        if day >= first:
            out[day] = round(balance, 2)
        day += DAY
    return out


def money(x):
    cents = round(abs(x) * 100)
    text = f"${cents // 100:,}.{cents % 100:02d}"
    return "-" + text if x < -0.004999 else text


def tool(build, commands):
    return subprocess.run([f"{build}/tools/calendar_tiles"], input="".join(commands), capture_output=True, text=True,
                          check=True).stdout.splitlines()


def main():
    build = sys.argv[1]
    bad = 0
    plan = [f"tx {p[0]:.2f} {p[1]} {p[2]} {p[3] or '-'} {rule_text(p[4])} {p[5]}\n" for p in PLAN]
    plan += [f"anchor {d} {a:.2f} {acc or '-'}\n" for d, a, acc in ANCHORS]
    weeks = calendar.Calendar(firstweekday=calendar.SUNDAY).monthdatescalendar(2025, 3)
    first, last = weeks[0][0], weeks[-1][-1]
    for scope in (None, "Checking", "Savings"):
        want = balances(scope, first, last)
        lines = tool(build, plan + [f"tiles 2025 3 {scope or '-'}\n"])
        got = {D(iso): text for iso, text in (line.split(" ", 1) for line in lines)}
        anchored = {D(d) for d, _, acc in ANCHORS if acc == scope}
        for day, amount in want.items():
            text = got.get(day)
            expected = ("*" if day in anchored else "") + money(amount)
            if text != expected:
                bad += 1
                print(f"MISMATCH {scope or 'all accounts'} {day}: tile {text!r}, sums {expected!r}")
        print(f"{scope or 'all accounts'}: {len(got)} tiles compared with {len(want)} summed days")
        bad += len(got) != len(want)

    months = [line.split() for line in tool(build, ["cells 2000 2030\n"])]
    cal = calendar.Calendar(firstweekday=calendar.SUNDAY)
    for fields in months:
        year, month, cells = int(fields[0]), int(fields[1]), fields[2:]
        days = [d for week in cal.monthdatescalendar(year, month) for d in week]
        while len(days) < 35:
            days.append(days[-1] + DAY)
        if cells != [d.isoformat() for d in days]:
            bad += 1
            print(f"MISMATCH cells of {year}-{month:02}: {cells[:3]}... x{len(cells)}")
    print(f"{len(months)} months of cell ids compared with calendar.monthdatescalendar")
    bad += len(months) != 31 * 12
    sys.exit(1 if bad else 0)


main()
