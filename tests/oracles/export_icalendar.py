#!/usr/bin/python3
"""iCalendar files of our writer read by python3-icalendar and python3-vobject.

A plan of many events whose summaries and details hold non-ASCII text,
emoji, commas, semicolons, backslashes, line feeds and carriage returns
must come back event for event: dates, UIDs and texts exactly. Every
physical line holds at most 75 bytes, is UTF-8 on its own and ends in CR LF.
"""
import datetime
import os

import icalendar
import vobject

from _exportlib import WORK, check, fail, finish, tool, write_json

STAMP = 1706723102  # 2024-01-31 17:45:02 UTC
FIRST, LAST = datetime.date(2024, 2, 1), datetime.date(2024, 8, 31)
WORDS = ["Caf\u00e9", "na\u00efve", "\u65e5\u672c\u8a9e", "\U0001F4B0\U0001F389", "a,b", "c;d", "back\\slash",
         "line\nfeed", "carriage\rreturn", "crlf\r\npair", "colon: kept", "\u00fcber-long " * 9, "\U0001F468\u200d\U0001F469"]


def budget():
    txs = []
    for i in range(36):
        words = " ".join(WORDS[(i + k) % len(WORDS)] for k in range(1 + i % 4))
        tx = {"id": -(i + 1) if i % 3 == 0 else 100 + i,
              "start_date": (FIRST + datetime.timedelta(days=5 * i)).isoformat(),
              "amount": [-1234.5, 0, 25, 1000000.25, -0.01][i % 5],
              "description": f"{i}: {words}"}
        if i % 4 == 1:
            tx["is_recurring"] = True
            tx["recurring_period"] = "nth_2_weeks"
        if i % 2 == 0:
            tx["category"] = WORDS[i % len(WORDS)]
        if i % 5 == 0:
            tx["account"] = "Checking \u2192 \U0001F3E6"
        txs.append(tx)
    return {"transactions": txs}


def plain(text):
    """A text as readers should see it: CR and CR LF read as line feeds."""
    return text.replace("\r\n", "\n").replace("\r", "\n")


def expected_events():
    out = []
    for tx in budget()["transactions"]:
        start = datetime.date.fromisoformat(tx["start_date"])
        days = [start]
        if tx.get("is_recurring"):
            days = [start + datetime.timedelta(days=14 * k) for k in range(30)]
        amount = tx["amount"]
        for day in days:
            if not FIRST <= day <= LAST:
                continue
            sign = "\U0001F4B0" if amount > 0 else "\U0001F4B8"
            lines = [f"Amount: {sign} ${abs(amount):,.2f}",
                     "Status: \u23f3 Pending"]
            if tx.get("category"):
                lines.append("Category: " + tx["category"])
            if tx.get("account"):
                lines.append("Account: " + tx["account"])
            if tx.get("is_recurring"):
                lines.append("Recurring Transaction")
            out.append({"uid": f"{tx['id']}-{day.isoformat()}@quenmark.example",
                        "summary": plain(tx["description"]), "description": plain("\n".join(lines)),
                        "start": day, "end": day + datetime.timedelta(days=1),
                        "color": "#28a745" if amount > 0 else "#dc3545"})
    return out


def check_lines(raw):
    check(raw.endswith(b"\r\n"), "the file ends in CR LF")
    for number, line in enumerate(raw[:-2].split(b"\r\n"), start=1):
        check(len(line) <= 75, f"line {number}: {len(line)} bytes")
        check(b"\r" not in line and b"\n" not in line, f"line {number}: a bare CR or LF")
        try:
            line.decode("utf-8")
        except UnicodeDecodeError:
            fail(f"line {number} is not UTF-8 on its own: {line!r}")


def compare(reader, got, want):
    check(len(got) == len(want), f"{reader}: {len(got)} events, expected {len(want)}")
    for g, w in zip(got, want):
        for key in w:
            check(g.get(key) == w[key], f"{reader} {w['uid']}: {key} {g.get(key)!r}, expected {w[key]!r}")


def read_icalendar(raw):
    cal = icalendar.Calendar.from_ical(raw)
    check(str(cal.get("X-WR-CALNAME")) == "Zo\u00eb, \u00c5sa; \\ O'Brien's Quenmark",
          f"icalendar: calendar name {cal.get('X-WR-CALNAME')!r}")
    events = []
    for ev in cal.walk("VEVENT"):
        events.append({"uid": str(ev["UID"]), "summary": str(ev["SUMMARY"]), "description": str(ev["DESCRIPTION"]),
                       "start": ev["DTSTART"].dt, "end": ev["DTEND"].dt, "color": str(ev.get("COLOR"))})
        check(ev["DTSTAMP"].dt == datetime.datetime(2024, 1, 31, 17, 45, 2, tzinfo=datetime.timezone.utc),
              f"icalendar: DTSTAMP {ev['DTSTAMP'].dt}")
    return events


def read_vobject(text):
    cal = vobject.readOne(text)
    events = []
    for ev in cal.vevent_list:
        events.append({"uid": ev.uid.value, "summary": ev.summary.value, "description": ev.description.value,
                       "start": ev.dtstart.value, "end": ev.dtend.value,
                       "color": ev.contents["color"][0].value})
    return events


def main():
    path = os.path.join(WORK, "plan.ics")
    label = "Zo\u00eb, \u00c5sa; \\ O'Brien"
    if not tool("ics", write_json("budget.json", budget()), FIRST.isoformat(), LAST.isoformat(), label,
                str(STAMP), path):
        return
    raw = open(path, "rb").read()
    check_lines(raw)
    want = expected_events()
    check(len(want) > 60, "the plan has many events")
    compare("icalendar", read_icalendar(raw), want)
    compare("vobject", read_vobject(raw.decode("utf-8")), want)


main()
finish("iCalendar export")
