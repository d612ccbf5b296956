"""Reference readings shared by the model oracles, built on Python's own
calendar and float()."""
import calendar
import re

FIELD = re.compile(r"[+-]?[0-9]+\Z", re.ASCII)


def parse_iso(text):
    """(year, month, day) or an error text, as the program's ISO reader gives them."""
    t = text.strip(" \t\n\v\f\r")
    if len(t) < 10 or t[4] != "-" or t[7] != "-" or not all(
            FIELD.match(f) for f in (t[0:4], t[5:7], t[8:10])):
        return "not a date (YYYY-MM-DD): " + text
    y, m, d = int(t[0:4]), int(t[5:7]), int(t[8:10])
    # calendar wants years 1..9999; a year 400*k later has the same months.
    if not (1 <= m <= 12 and 1 <= d <= calendar.monthrange(2000 + y % 400, m)[1]):
        return "not a date: " + text
    return (y, m, d)


def format_iso(y, m, d):
    return f"{'-' if y < 0 else ''}{abs(y):04d}-{m:02d}-{d:02d}"


def float_text(t):
    """Python's float() restricted to ASCII text without blanks; None when refused."""
    if not t or not t.isascii() or any(c.isspace() for c in t):
        return None
    try:
        return float(t)
    except ValueError:
        return None
