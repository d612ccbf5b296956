#!/usr/bin/python3
"""The OFX export read by libofx's ofxdump, and checked by xmllint.

ofxdump lists every transaction with its date, amount, FITID and name. It
exits 1 on our files and drops the text of &quot; and &apos;: the statement
has no balance aggregate and its SGML parser knows only the basic entities,
so the listing is judged and not the exit status.
"""
import datetime
import os
import re

from _exportlib import WORK, check, fail, finish, run, tool, write_json, xmllint_ok

DESCRIPTIONS = [
    "Rent & \"fees\" <flat> O'Neil",
    "Caf\u00e9 cr\u00e8me \u2615 and \U0001F4B0 savings",
    "A description much longer than thirty-two characters, kept whole",
    "Salary",
    "Zero amount",
]


def budget():
    txs = [
        {"id": -1, "start_date": "2024-02-01", "amount": -1234.5, "description": DESCRIPTIONS[0],
         "is_recurring": True, "recurring_period": "nth_1_weeks"},
        {"id": 2, "start_date": "2024-02-08", "amount": 12.25, "description": DESCRIPTIONS[1]},
        {"id": 3, "start_date": "2024-02-29", "amount": -7, "description": DESCRIPTIONS[2]},
        {"id": 4, "start_date": "2024-01-15", "amount": 3000, "description": DESCRIPTIONS[3],
         "is_recurring": True, "recurring_period": "nth_1_months"},
        {"id": 5, "start_date": "2024-03-10", "amount": 0, "description": DESCRIPTIONS[4]},
    ]
    return {"transactions": txs}


def expected_entries(first, last):
    """Occurrences by date, transactions in budget order within a date."""
    entries = []
    day = first
    while day <= last:
        for tx in budget()["transactions"]:
            start = datetime.date.fromisoformat(tx["start_date"])
            if tx.get("is_recurring"):
                if tx["recurring_period"] == "nth_1_weeks":
                    hit = day >= start and (day - start).days % 7 == 0
                else:
                    hit = day >= start and day.day == start.day
            else:
                hit = day == start
            if hit:
                entries.append((day, tx["amount"], tx["description"]))
        day += datetime.timedelta(days=1)
    return entries


def parse_dump(text):
    """ofxdump's transactions as dicts of the fields we check."""
    out = []
    for block in text.split("ofx_proc_transaction():")[1:]:
        fields = {}
        for line in block.splitlines():
            key, sep, value = line.strip().partition(": ")
            if sep:
                fields[key] = value
        out.append(fields)
    return out


def main():
    path = os.path.join(WORK, "plan.ofx")
    if not tool("ofx", write_json("budget.json", budget()), "2024-02-01", "2024-03-31", "20240131174502", path):
        return
    xmllint_ok("ofx", path)
    raw = open(path, "rb").read()
    check(raw.endswith(b"</OFX>"), "the file ends in </OFX> without a line feed")
    dump = run(["ofxdump", path])
    listed = parse_dump(dump.stdout.decode("utf-8", "replace"))
    want = expected_entries(datetime.date(2024, 2, 1), datetime.date(2024, 3, 31))
    check(len(listed) == len(want), f"ofxdump lists {len(listed)} transactions, expected {len(want)}")
    for number, (fields, (day, amount, name)) in enumerate(zip(listed, want), start=1):
        tag = f"transaction {number}"
        posted = fields.get("Date posted", "")
        got_day = re.sub(r"\s+", " ", posted)
        want_day = day.strftime("%a %b ") + str(day.day) + " "
        check(got_day.startswith(want_day) and got_day.split()[4] == str(day.year),
              f"{tag}: date {posted!r}, expected {day}")
        check(fields.get("Total money amount") == f"{amount:.2f}", f"{tag}: amount {fields.get('Total money amount')}")
        check(fields.get("Financial institution's ID for this transaction") == str(number), f"{tag}: FITID")
        kind = fields.get("Transaction type", "")
        check(kind.startswith("DEBIT" if amount < 0 else "CREDIT"), f"{tag}: type {kind}")
        # The SGML parser loses the text of the two entities it does not know.
        want_name = name.replace('"', "").replace("'", "")
        got_name = fields.get("Name of payee or transaction description")
        check(got_name == want_name, f"{tag}: name {got_name!r}, expected {want_name!r}")


main()
finish("OFX export")
