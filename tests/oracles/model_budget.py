"""Budget documents of random members, including mistyped ones, "nan" texts and
1e999 amounts, read and written by the program, against a reading of the
member rules built on Python's json, float() and calendar. The written text
must be strict JSON (no NaN or Infinity), compact and in the fixed key order,
with members the program does not know written back after the known ones. A
known member holding an object or a list refuses the whole document."""
import json
import os
import random
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from _modelref import float_text, format_iso, parse_iso  # noqa: E402

TOOL = sys.argv[1] + "/tools/modeltool"
I64 = 1 << 63
rng = random.Random(7)


# --- the member readers ---------------------------------------------------
raw_surrogates = False  # a lone surrogate written as its three bytes, each replaced


def fix_text(s):
    return re.sub("[\ud800-\udfff]", "\ufffd" * (3 if raw_surrogates else 1), s)


def j_int(o, k):
    v = o.get(k) if isinstance(o, dict) else None
    return v if type(v) is int and -I64 <= v < I64 else 0


def j_str(o, k):
    v = o.get(k) if isinstance(o, dict) else None
    return fix_text(v) if isinstance(v, str) else ""


def j_bool(o, k):
    v = o.get(k) if isinstance(o, dict) else None
    if type(v) is int and not -I64 <= v < 2 * I64:
        return False  # beyond 64 bits a JSON number is read as a float
    if type(v) is bool:
        return v
    if type(v) is int:
        return v != 0
    if isinstance(v, str):
        return v.translate(str.maketrans("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz")) in (
            "1", "on", "yes", "true")
    return False


def finite(x):
    return x == x and x not in (float("inf"), float("-inf"))


def j_float(o, k):
    v = o.get(k) if isinstance(o, dict) else None
    if type(v) is bool or v is None:
        return 0.0
    if type(v) is int:
        try:
            v = float(v)
        except OverflowError:
            return 0.0
    elif isinstance(v, str):
        v = float_text(v)
        if v is None:
            return 0.0
    elif not isinstance(v, float):
        return 0.0
    return v if finite(v) else 0.0


def j_date(o, k):
    # A stored date reads only with a four-digit year (1..9999): others
    # would not be written back in a form that reads as the same date.
    v = o.get(k) if isinstance(o, dict) else None
    r = parse_iso(v) if isinstance(v, str) else "no"
    return (r, True) if isinstance(r, tuple) and 1 <= r[0] <= 9999 else ((0, 0, 0), False)


def or_null(s):
    return s if s else None


def id_or_null(i):
    return i if i else None


# --- the records, read and written ----------------------------------------
def account(o):
    v = o.get("display_order") if isinstance(o, dict) else None
    order = v if type(v) is int and -(1 << 31) <= v < (1 << 31) else -1
    return {"id": j_int(o, "id"), "name": j_str(o, "name"), "account_type": or_null(j_str(o, "account_type")),
            "color": or_null(j_str(o, "color")), "display_order": order if order >= 0 else None,
            "mask": or_null(j_str(o, "mask"))}


def category(o):
    return {"id": j_int(o, "id"), "name": j_str(o, "name"), "color": or_null(j_str(o, "color")),
            "hidden": j_bool(o, "hidden"), "icon_id": id_or_null(j_int(o, "icon_id"))}


def icon(o):
    return {"id": j_int(o, "id"), "name": j_str(o, "name"), "url": j_str(o, "url"),
            "is_default": j_bool(o, "is_default")}


def transaction(o):
    start, _ = j_date(o, "start_date")
    end, has_end = j_date(o, "end_date")
    period = j_str(o, "recurring_period")
    return {"id": j_int(o, "id"), "start_date": format_iso(*start),
            "end_date": format_iso(*end) if has_end else None, "amount": j_float(o, "amount"),
            "description": j_str(o, "description"), "category": or_null(j_str(o, "category")),
            "account": or_null(j_str(o, "account")),
            "transfer_to_account": or_null(j_str(o, "transfer_to_account")),
            "is_recurring": j_bool(o, "is_recurring") and period != "", "recurring_period": or_null(period),
            "pay_on_business_day": j_bool(o, "pay_on_business_day"), "pay_early": j_bool(o, "pay_early"),
            "icon_id": id_or_null(j_int(o, "icon_id")), "is_adjustment": j_bool(o, "is_adjustment"),
            "is_demo": j_bool(o, "is_demo")}


def adjustment(o):
    orig, _ = j_date(o, "original_date")
    new, found = j_date(o, "new_date")
    has_amount = isinstance(o, dict) and o.get("amount") is not None
    return {"id": j_int(o, "id"), "transaction_id": j_int(o, "transaction_id"),
            "original_date": format_iso(*orig), "new_date": format_iso(*(new if found else orig)),
            "amount": j_float(o, "amount") if has_amount else None, "is_paid": j_bool(o, "is_paid"),
            "is_deleted": j_bool(o, "is_deleted"), "is_demo": j_bool(o, "is_demo")}


def anchor(o):
    d, _ = j_date(o, "date")
    return {"id": j_int(o, "id"), "account_id": id_or_null(j_int(o, "account_id")), "date": format_iso(*d),
            "amount": j_float(o, "amount"), "is_demo": j_bool(o, "is_demo")}


def user(o):
    theme = j_str(o, "theme_preference")
    return {"selected_account_id": id_or_null(j_int(o, "selected_account_id")),
            "default_account_id": id_or_null(j_int(o, "default_account_id")),
            "theme_preference": theme if theme in ("light", "dark", "system") else "system",
            "has_completed_tour": j_bool(o, "has_completed_tour"), "first_name": or_null(j_str(o, "first_name")),
            "last_name": or_null(j_str(o, "last_name")), "email": j_str(o, "email"),
            "calendar_token": or_null(j_str(o, "calendar_token")),
            "two_factor_enabled": j_bool(o, "two_factor_enabled"),
            "pending_email": or_null(j_str(o, "pending_email")), "is_verified": j_bool(o, "is_verified"),
            "avatar": or_null(j_str(o, "avatar")), "gravatar_hash": or_null(j_str(o, "gravatar_hash"))}


def plain(v):
    """An unknown member as the program writes it back."""
    if isinstance(v, str):
        return fix_text(v)
    if isinstance(v, float):
        return v if finite(v) else None
    if type(v) is int and not -I64 <= v < 2 * I64:
        return float(v)
    if isinstance(v, list):
        return [plain(x) for x in v]
    if isinstance(v, dict):
        return {fix_text(k): plain(x) for k, x in v.items()}
    return v


def with_unknown(out, o, keys):
    if isinstance(o, dict):
        for k, v in o.items():
            if k not in keys:
                out[fix_text(k)] = plain(v)
    return out


LISTS = [("accounts", account), ("categories", category), ("icons", icon), ("transactions", transaction),
         ("transaction_adjustments", adjustment), ("running_total_adjustments", anchor)]


def newer(doc):
    if not isinstance(doc, dict):
        return False
    records = []
    for key, _ in LISTS:
        v = doc.get(key)
        if isinstance(v, list):
            records += [(r, KEYS[key]) for r in v if isinstance(r, dict)]
    if isinstance(doc.get("user"), dict):
        records.append((doc["user"], USER_KEYS))
    return any(isinstance(r.get(k), (list, dict)) for r, keys in records for k in keys)


def budget(doc):
    if newer(doc):
        return "newer"
    out = {}
    for key, read in LISTS:
        v = doc.get(key) if isinstance(doc, dict) else None
        out[key] = [with_unknown(read(e), e, KEYS[key]) for e in v] if isinstance(v, list) else []
    u = doc.get("user") if isinstance(doc, dict) else None
    out["user"] = with_unknown(user(u if isinstance(u, dict) else {}), u, USER_KEYS)
    return out


# --- random documents -----------------------------------------------------
KEYS = {
    "accounts": ["id", "name", "account_type", "color", "display_order", "mask"],
    "categories": ["id", "name", "color", "hidden", "icon_id"],
    "icons": ["id", "name", "url", "is_default"],
    "transactions": ["id", "start_date", "end_date", "amount", "description", "category", "account",
                     "transfer_to_account", "is_recurring", "recurring_period", "pay_on_business_day",
                     "pay_early", "icon_id", "is_adjustment", "is_demo"],
    "transaction_adjustments": ["id", "transaction_id", "original_date", "new_date", "amount", "is_paid",
                                "is_deleted", "is_demo"],
    "running_total_adjustments": ["id", "account_id", "date", "amount", "is_demo"],
}
USER_KEYS = list(user({}).keys())


def value():
    return rng.choice([
        lambda: rng.randint(-5, 5), lambda: rng.randint(-I64, I64 - 1), lambda: rng.randint(I64, 1 << 64),
        lambda: 1 << 70, lambda: rng.randint(-(1 << 33), 1 << 33), lambda: rng.uniform(-1e6, 1e6),
        lambda: round(rng.uniform(-1e4, 1e4), 2), lambda: 2.0, lambda: 1e308, lambda: 5e-324,
        lambda: rng.choice([True, False]), lambda: None, lambda: [1], lambda: {"a": 1},
        lambda: rng.choice(["nan", "NaN", "inf", "-Infinity", "12.50", "1_000.5", " 12", "abc", "1e999",
                            ".5", "5.", "0x10", "-0", "1e-400", "$5"]),
        lambda: rng.choice(["yes", "Yes", "ON", "1", "true", "TRUE", "y", "no", "0", "false", ""]),
        lambda: rng.choice(["light", "dark", "system", "Dark", "", "nth_1_months", "dom_15_every"]),
        lambda: rng.choice(["2024-02-29", "2023-02-29", " 2024-01-31 ", "2024-1-31", "0001-01-01",
                            "-001-03-01", "2025-03-05T10:00", "9999-12-31", "x"]),
        lambda: rng.choice(["Checking", "Groceries", "caf\u00e9 \u2603", "q\"\\\n\t\u0001", "\ud800 lone",
                            "#a1b2c3", "\U0001F600"]),
        lambda: "__BIG__", lambda: "__NEGBIG__",
    ])()


def record(keys):
    if rng.random() < 0.05:
        return rng.choice([3, "x", None, [], True])
    o = {}
    for k in rng.sample(keys, rng.randint(0, len(keys))):
        o[k] = value()
        # Rare, since one such member refuses the whole document.
        if isinstance(o[k], (list, dict)) and rng.random() < 0.9:
            o[k] = None
    if rng.random() < 0.1:
        o["extra"] = value()
    return o


def document():
    if rng.random() < 0.03:
        return rng.choice([[], 1, "x", None])
    doc = {}
    for key, _ in LISTS:
        r = rng.random()
        if r < 0.8:
            doc[key] = [record(KEYS[key]) for _ in range(rng.randint(0, 6))]
        elif r < 0.9:
            doc[key] = value()
    if rng.random() < 0.9:
        doc["user"] = record(USER_KEYS) if rng.random() < 0.9 else value()
    return doc


STRINGS = re.compile(r'"(?:[^"\\]|\\.)*"')
failures = 0
refused = 0
with tempfile.TemporaryDirectory() as tmp:
    path = os.path.join(tmp, "doc.json")
    for n in range(600):
        doc = document()
        raw_surrogates = rng.random() < 0.5
        text = json.dumps(doc, ensure_ascii=not raw_surrogates)
        text = text.replace('"__BIG__"', "1e999").replace('"__NEGBIG__"', "-1e999")
        with open(path, "w", encoding="utf-8", errors="surrogatepass") as f:
            f.write(text)
        raw = subprocess.run([TOOL, "budget", path], stdout=subprocess.PIPE, check=True).stdout
        out = raw.decode("utf-8").rstrip("\n")

        def refuse(name):
            raise ValueError("non-finite number " + name)

        problems = []
        try:
            got = "newer" if out == "newer" else json.loads(out, parse_constant=refuse)
        except ValueError as e:
            problems.append(f"not strict JSON: {e}")
            got = None
        if re.search(r"\s", STRINGS.sub("", out)):
            problems.append("blanks outside texts")
        want = budget(json.loads(text))
        refused += want == "newer"
        if got is not None and json.dumps(got) != json.dumps(want):
            problems.append("records differ:\n  got  " + json.dumps(got) + "\n  want " + json.dumps(want))
        if problems:
            failures += 1
            if failures <= 5:
                print(f"document {n}: {text!a}\n  " + "\n  ".join(problems))
    print(f"budget documents: {600 - failures}/600 agree ({refused} refused as a newer version's)")
sys.exit(1 if failures else 0)
