"""The search page's result orders against Python's stable sorted(): a
budget full of ties (equal dates, amounts, texts that differ only in case or
outside ASCII) is searched by tools/searchsort, and every column and
direction must give the order sorted() gives over the same hits, in full
and when only the first rows are asked for. The date
column ascending keeps the search's own order (nearest today first)."""
import json
import random
import subprocess
import sys

build = sys.argv[1]
failures = []


def budget(seed):
    rng = random.Random(seed)
    accounts = ["Checking", "Savings", "\u00c9pargne", "card", "Card 2"]
    categories = ["Rent", "rent", "\u00c4rger", "Zoo", "", "Food"]
    words = ["Rent", "rent", "Lunch", "lunch", "\u00c9t\u00e9 camp", "Zebra", "a", "A", "Coffee", "caf\u00e9"]
    rules = ["nth_1_weeks", "nth_2_weeks", "dom_1_every", "nth_10_days", "nth_1_months"]
    doc = {"accounts": [{"id": i + 1, "name": n, "account_type": "checking"} for i, n in enumerate(accounts)],
           "categories": [{"id": i + 1, "name": n, "color": "#336699"} for i, n in enumerate(categories) if n],
           "transactions": [], "transaction_adjustments": []}
    for i in range(60):
        recurring = rng.random() < 0.4
        t = {"id": i + 1, "description": rng.choice(words), "category": rng.choice(categories),
             "account": rng.choice(accounts), "amount": rng.choice([-12.5, -12.5, 40, -1200, 0.01, -0.01, 300]),
             "start_date": f"2025-0{rng.randint(1, 6)}-{rng.randint(1, 28):02d}", "is_recurring": recurring,
             "recurring_period": rng.choice(rules) if recurring else ""}
        if rng.random() < 0.15:
            t["transfer_to_account"] = rng.choice([a for a in accounts if a != t["account"]])
        doc["transactions"].append(t)
    # A changed amount and a paid mark on single occurrences.
    doc["transaction_adjustments"].append({"id": 1, "transaction_id": 1, "original_date":
                                           doc["transactions"][0]["start_date"], "amount": -7, "is_paid": True})
    return doc


def expected(hits, column, direction):
    order = list(range(len(hits)))
    if column == 0 and direction == 1:
        return order
    if column == 0:
        key = lambda i: hits[i]["date"]  # noqa: E731  (ISO dates sort as dates)
    elif column == 4:
        key = lambda i: hits[i]["amount"]  # noqa: E731
    else:
        name = ("description", "category", "account")[column - 1]
        key = lambda i: hits[i][name].encode("utf-8")  # noqa: E731  (byte order)
    return sorted(order, key=key, reverse=direction == -1)


for seed in range(4):
    for text in ("", "re", "a"):
        run = subprocess.run([f"{build}/tools/searchsort", text, "2025-03-12"], input=json.dumps(budget(seed)),
                             capture_output=True, text=True, timeout=120)
        if run.returncode != 0:
            failures.append(f"seed {seed} {text!r}: exit {run.returncode}: {run.stderr[-500:]}")
            continue
        got = json.loads(run.stdout)
        hits = got["hits"]
        if len(hits) < 20:
            failures.append(f"seed {seed} {text!r}: only {len(hits)} hits")
        for column in range(5):
            for direction in (1, -1):
                want = expected(hits, column, direction)
                if got["orders"][f"{column},{direction}"] != want:
                    failures.append(f"seed {seed} {text!r}: column {column} direction {direction} differs")
                # The page orders only the rows it shows: they must be the same.
                if got["orders"][f"{column},{direction},prefix"] != want[:37]:
                    failures.append(f"seed {seed} {text!r}: column {column} direction {direction}: first rows differ")

for f in failures:
    print("FAIL", f)
print("pages_search_sort:", "ok" if not failures else f"{len(failures)} failures")
sys.exit(1 if failures else 0)
