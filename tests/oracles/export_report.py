#!/usr/bin/python3
"""The report files of budget folders, read back by independent tools.

The PDF: qpdf --check, pdfinfo (Letter pages, title, the page count that the
layout's page-break thresholds give for the workbook's row counts), pdftotext
(every figure and the special characters), pdftotext -bbox (words at their
millimetres), and pikepdf's content-stream parser (the forecast's grid and
line colours). The workbook: openpyxl (sheets, cells, widths, formats, bold,
colours) and xmllint on every part. The same input gives the same bytes.
"""
import json
import os
import re
import subprocess
import zipfile

import openpyxl
import pikepdf

from _exportlib import WORK, check, fail, finish, run, tool, xmllint_ok

PT = 72 / 25.4
W, H, M = 215.9, 279.4, 18.0
DETAIL_COLS = [M, M + 20, M + 78, M + 108, M + 138, M + 159]
RECURRING_COLS = [M, M + 64, M + 86, M + 116, M + 142, M + 156]
INK, MUTED, BLUE, RED, RULE = (0.14, 0.15, 0.17), (0.37, 0.39, 0.42), (0.165, 0.408, 0.718), (0.741, 0.22, 0.22), \
    (0.89, 0.9, 0.91)
LONG = ("Caf\u00e9 cr\u00e8me br\u00fbl\u00e9e \u00e0 la fa\u00e7on de Gen\u00e8ve, "
        "d\u00e9licieux et tr\u00e8s, tr\u00e8s long pour sa colonne")
CHECKING = [{"id": 1, "name": "Checking"}, {"id": 2, "name": "Savings"}]


def tx(i, date, amount, desc, category="Food", account="Checking", **more):
    t = {"id": i, "start_date": date, "amount": amount, "description": desc, "category": category,
         "account": account}
    t.update(more)
    return t


def anchor(amount, date="2026-02-28"):
    return [{"id": 1, "account_id": 1, "date": date, "amount": amount}]


MAIN = {
    "accounts": CHECKING,
    "transactions": [
        tx(1, "2026-01-01", 3000, "Salary", "Income", is_recurring=True, recurring_period="nth_1_months"),
        tx(2, "2026-01-03", -1500, "Rent", "Housing", is_recurring=True, recurring_period="nth_1_months",
           has_end_date=True, end_date="2026-08-03"),
        tx(3, "2026-03-10", -200, "Move to savings", "", transfer_to_account="Savings"),
        tx(4, "2026-03-12", -12.34, "Mystery", "", ""),
        tx(5, "2026-03-14", -45.5, LONG),
    ],
    "running_total_adjustments": anchor(-100),
}
# Checking's March by hand: -100 at the start; 2900 on days 1-2, 1400 on
# 3-9, 1200 on 10-13 and 1154.50 on 14-31 (the average is 41181 / 31).
MAIN_FIGURES = [("Opening Balance", -100), ("Current Balance", 1154.5), ("Closing Balance", 1154.5),
                ("Minimum Balance", 1154.5), ("Average Daily Balance", 1328.42), ("Maximum Balance", 2900),
                ("Total Income", 3000), ("Total Expenses", 1745.5), ("Disposable Income", 1254.5)]
FORTY = dict(MAIN, running_total_adjustments=anchor(-2000))
FLAT = {"accounts": CHECKING, "running_total_adjustments": anchor(250, "2026-02-01")}
# Enough categories, rows and series for each table to go on over a page.
MANY = {"accounts": CHECKING,
        "transactions": [tx(10 + i, "2026-03-%02d" % (1 + i % 31), -(i % 97) - 0.25 if i % 5 else 40 + i % 13,
                            "Row %d" % i, "Cat %d" % (i % 60)) for i in range(2400)]
        + [tx(5000 + i, "2026-01-%02d" % (1 + i % 28), -1 - i, "Series %d" % i, "Bills", is_recurring=True,
              recurring_period="nth_1_months") for i in range(80)]}

# name: budget, from, to, account id, today
FIXTURES = {
    "main": (MAIN, "2026-03-01", "2026-03-31", "1", "2026-03-15"),
    "all": (MAIN, "2026-03-01", "2026-03-31", "0", "2026-03-15"),
    "empty": ({}, "2026-03-01", "2026-03-31", "0", "2026-06-01"),
    "oneday": (MAIN, "2026-03-10", "2026-03-10", "1", "2026-03-10"),
    "forty": (FORTY, "2026-03-01", "2026-04-09", "1", "2026-03-01"),
    "flat": (FLAT, "2026-03-01", "2026-03-31", "1", "2026-03-15"),
    "many": (MANY, "2026-03-01", "2026-03-31", "1", "2026-03-15"),
}


def money(x):
    text = "${:,.2f}".format(abs(x))
    return "-" + text if x < -0.004999 else text


def build(name):
    budget, first, last, account, today = FIXTURES[name]
    folder = os.path.join(WORK, name)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "data.json"), "w") as f:
        json.dump(budget, f)
    paths = {k: os.path.join(WORK, f"{name}.{k}") for k in ("pdf", "xlsx")}
    ok = tool("report-pdf", folder, first, last, account, today, paths["pdf"])
    ok = ok and tool("report-xlsx", folder, first, last, account, today, paths["xlsx"])
    again = os.path.join(WORK, f"{name}-again.pdf")
    if ok and tool("report-pdf", folder, first, last, account, today, again):
        check(open(again, "rb").read() == open(paths["pdf"], "rb").read(), f"{name}: a second run differs")
    return paths if ok else None


def expected_pages(tiles, categories, accounts, rows, recurring):
    """The page breaks of the layout, taken over from its thresholds."""
    page = 1
    y = M + 34 + (tiles + 2) // 3 * 12 + 6
    y += 4 + 64
    for count in (categories, accounts):
        y += 6 + 6
        for _ in range(count):
            if y > H - M - 10:
                page, y = page + 1, M + 6
            y += 6
        y += 8
    page, y = page + 1, M + 6 + 6 + 6
    for _ in range(rows):
        if y > H - M - 6:
            page, y = page + 1, M + 6 + 6
        y += 5.5
    y += 8
    if y > H - M - 30:
        page, y = page + 1, M + 6
    y += 6 + 6
    for _ in range(recurring):
        if y > H - M - 6:
            page, y = page + 1, M + 6
        y += 5.5
    return page


def words(pdf):
    """Per page, (text, xMin, baseline, xMax) in mm from the top left."""
    out = subprocess.run(["pdftotext", "-bbox", pdf, "-"], capture_output=True, text=True).stdout
    pages = []
    for page in out.split("<page ")[1:]:
        found = []
        for m in re.finditer(r'xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>', page):
            x0, y0, x1, y1 = (float(v) for v in m.groups()[:4])
            # Every face has ascent 1025 and descent -275 per 1000: the box
            # is 1.3 times the size, the baseline 0.275 times it above yMax.
            found.append((m.group(5), x0 / PT, (y1 - (y1 - y0) * 0.275 / 1.3) / PT, x1 / PT))
        pages.append(found)
    return pages


def find(page, text, x=0, y=0):
    """The word of that text nearest to (x, y)."""
    hits = sorted((abs(w[1] - x) + abs(w[2] - y), w) for w in page if w[0] == text)
    return hits[0][1] if hits else None


def at(tag, page, text, x, y):
    w = find(page, text, x, y)
    if w is None:
        fail(f"{tag}: no word {text!r}")
        return
    check(abs(w[1] - x) * PT <= 0.3 and abs(w[2] - y) * PT <= 0.3,
          f"{tag}: {text!r} at ({w[1]:.2f}, {w[2]:.2f}) mm, expected ({x:.2f}, {y:.2f})")


def sheet_rows(ws):
    return [[c.value for c in row] for row in ws.iter_rows()]


def check_pdf_basics(name, pdf, wb):
    r = run(["qpdf", "--check", pdf])
    check(r.returncode == 0 and b"WARNING" not in r.stdout + r.stderr, f"{name}: qpdf --check: {r.stdout[-300:]}")
    info = dict(l.split(":", 1) for l in run(["pdfinfo", pdf]).stdout.decode().splitlines() if ":" in l)
    _, first, last, _, _ = FIXTURES[name]
    check(info.get("Title", "").strip() == f"Financial Report {first} to {last}", f"{name}: title {info.get('Title')}")
    check(info.get("Page size", "").strip() == "612 x 792 pts (letter)", f"{name}: page size {info.get('Page size')}")
    summary = sheet_rows(wb["Summary"])
    counts = [len(summary) - 4] + [wb[s].max_row - 1 for s in ("Categories", "Accounts", "Transactions", "Recurring")]
    want = expected_pages(*counts)
    check(info.get("Pages", "").strip() == str(want), f"{name}: {info.get('Pages')} pages for {counts}, expected {want}")

    text = run(["pdftotext", "-raw", pdf, "-"]).stdout.decode()
    flat = re.sub(r"\s+", " ", text)
    for label, value in summary[4:]:
        check(f"{label.upper()}" in flat, f"{name}: no tile label {label.upper()!r}")
        check(money(value) in flat, f"{name}: no tile figure {money(value)} of {label}")
    for row in sheet_rows(wb["Categories"])[1:] + sheet_rows(wb["Accounts"])[1:]:
        check(money(row[1]) in flat and money(row[2]) in flat, f"{name}: analysis row {row}")
    return flat, counts


def check_workbook(name, path, wb, label):
    with zipfile.ZipFile(path) as z:
        for part in z.namelist():
            if part.endswith((".xml", ".rels")):
                target = os.path.join(WORK, name + "-parts", part)
                os.makedirs(os.path.dirname(target), exist_ok=True)
                with open(target, "wb") as f:
                    f.write(z.read(part))
                xmllint_ok(f"{name} {part}", target)
        sheet1 = z.read("xl/worksheets/sheet1.xml").decode()
    check(wb.sheetnames == ["Summary", "Transactions", "Categories", "Accounts", "Recurring"],
          f"{name}: sheets {wb.sheetnames}")
    widths = {"Summary": [28, 18], "Transactions": [12, 40, 18, 18, 14, 16], "Categories": [28, 14, 14, 10],
              "Accounts": [28, 14, 14, 14, 10], "Recurring": [36, 14, 18, 18, 12, 14]}
    headers = {"Transactions": ["Date", "Description", "Category", "Account", "Amount", "Running Total"],
               "Categories": ["Category", "Income", "Expenses", "Count"],
               "Accounts": ["Account", "Income", "Expenses", "Net", "Count"],
               "Recurring": ["Description", "Amount", "Category", "Account", "Remaining", "Total Left"]}
    for sheet, ws_widths in widths.items():
        ws = wb[sheet]
        got = [ws.column_dimensions[openpyxl.utils.get_column_letter(i + 1)].width for i in range(len(ws_widths))]
        check([round(w, 2) for w in got] == ws_widths, f"{name} {sheet}: widths {got}")
        if sheet in headers:
            check([c.value for c in ws[1]] == headers[sheet], f"{name} {sheet}: header {[c.value for c in ws[1]]}")
            check(all(c.font.bold for c in ws[1]), f"{name} {sheet}: header not bold")
    s = wb["Summary"]
    _, first, last, _, _ = FIXTURES[name]
    check(s["A1"].value == "Financial Report" and s["A1"].font.bold, f"{name}: A1")
    check(s["B1"].value and " \u2013 " in s["B1"].value, f"{name}: B1 {s['B1'].value!r}")
    check(s["A2"].value == "Account" and s["B2"].value == label, f"{name}: row 2 {s['A2'].value} {s['B2'].value}")
    check(re.search(r'<row r="3"[^>]*(/>|></row>)', sheet1), f"{name}: row 3 is not an empty row")
    check(s.max_column == 2 and all(c.value is None for c in s[3]), f"{name}: row 3 has values")
    check(s["A4"].value == "Metric" and s["B4"].value == "Value", f"{name}: row 4")
    colours = {"Minimum Balance": ("FFBD3838", "7"), "Maximum Balance": ("FF21763C", "9"),
               "Total Income": ("FF21763C", "9"), "Total Expenses": ("FFBD3838", "7")}
    for row in s.iter_rows(min_row=5):
        label_cell, value = row[0], row[1]
        check(isinstance(value.value, (int, float)) and "#,##0.00" in value.number_format,
              f"{name}: {label_cell.value} format {value.number_format}")
        if label_cell.value in colours:
            argb, style = colours[label_cell.value]
            check(value.font.color is not None and value.font.color.rgb == argb, f"{name}: {label_cell.value} colour")
            check(re.search(rf'<c r="{value.coordinate}" s="{style}"', sheet1), f"{name}: {label_cell.value} style")
    for row in wb["Transactions"].iter_rows(min_row=2):
        check(isinstance(row[0].value, str) and re.fullmatch(r"\d{4}-\d\d-\d\d", row[0].value),
              f"{name}: date cell {row[0].value!r}")
    for row in wb["Recurring"].iter_rows(min_row=2):
        if row[4].value == "Ongoing":
            check(row[5].value in (None, ""), f"{name}: ongoing total {row[5].value!r}")
        else:
            check(isinstance(row[4].value, (int, float)) and row[4].number_format in ("0.00", "#,##0.00"),
                  f"{name}: remaining {row[4].value!r} {row[4].number_format}")


def chart_strokes(pdf):
    """Stroked lines of page 1 as (colour, width in mm, x0, y0, x1, y1) in mm from the top."""
    doc = pikepdf.open(pdf)
    strokes, colour, width, path = [], None, 0, []
    for operands, op in pikepdf.parse_content_stream(doc.pages[0]):
        op = str(op)
        if op == "RG":
            colour = tuple(round(float(v), 3) for v in operands)
        elif op == "w":
            width = float(operands[0]) / PT
        elif op in ("m", "l"):
            path.append((float(operands[0]) / PT, H - float(operands[1]) / PT))
        elif op == "S":
            if len(path) == 2:
                strokes.append((colour, width, *path[0], *path[1]))
            path = []
    return strokes


def check_flat_grid(pdf):
    lines = [s for s in chart_strokes(pdf) if abs(s[1] - 0.15) < 1e-3]
    values = [0, 50, 100, 150, 200, 250]
    check(len(lines) == len(values), f"flat: {len(lines)} grid lines")
    if len(lines) != len(values):
        return
    bottom = lines[0][3]
    for v, line in zip(values, lines):
        check(abs(line[3] - (bottom - v * 52 / 250)) * PT < 0.01, f"flat: grid {v} at {line[3]:.3f}")
        check(line[0] == (MUTED if v == 0 else RULE), f"flat: grid {v} colour {line[0]}")
        check(abs(line[2] - (M + 22)) < 1e-3 and abs(line[4] - (W - M - 2)) < 1e-3, f"flat: grid {v} span")
    segments = [s for s in chart_strokes(pdf) if abs(s[1] - 0.5) < 1e-3]
    check(len(segments) == 30 and all(s[0] == BLUE and abs(s[3] - (bottom - 52)) * PT < 0.01 for s in segments),
          f"flat: {len(segments)} segments, not all blue on the top line")
    labels = [w for w in words(pdf)[0] if w[0] in ("$0", "$50", "$100", "$150", "$200", "$250")]
    check(len(labels) == 6 and all(abs(w[3] - (M + 20)) * PT <= 0.3 for w in labels), f"flat: grid labels {labels}")


def check_forty_line(pdf):
    strokes = chart_strokes(pdf)
    zero = [s for s in strokes if abs(s[1] - 0.15) < 1e-3 and s[0] == MUTED]
    segments = [s for s in strokes if abs(s[1] - 0.5) < 1e-3]
    check(len(zero) == 1 and len(segments) == 39, f"forty: {len(zero)} zero lines, {len(segments)} segments")
    if len(zero) != 1:
        return
    zy = zero[0][3]
    colours = set()
    for s in segments:
        below = max(s[3], s[5]) > zy + 1e-6
        colours.add(s[0])
        check(s[0] == (RED if below else BLUE), f"forty: segment at x {s[2]:.1f} colour {s[0]}")
    check(colours == {RED, BLUE}, f"forty: colours {colours}")
    page = words(pdf)[0]
    left, width = M + 22, W - 2 * M - 24
    days = ["Mar 1", "Mar 9", "Mar 17", "Mar 24", "Apr 1", "Apr 9"]
    for k, (j, label) in enumerate(zip([0, 8, 16, 23, 31, 39], days)):
        month, day = label.split()
        pairs = [(a, b) for a, b in zip(page, page[1:]) if a[0] == month and b[0] == day]
        if not pairs:
            fail(f"forty: no date label {label}")
            continue
        centre = (pairs[0][0][1] + pairs[0][1][3]) / 2
        check(abs(centre - (left + j * width / 39)) * PT <= 0.3, f"forty: {label} centred at {centre:.2f}")


def check_layout(name, pdf, counts):
    pages = words(pdf)
    p1 = pages[0]
    at(name, p1, "Financial", M, M + 8)
    at(name, p1, "Balance", M, M + 27)
    cw = (W - 2 * M) / 3
    labels = ["OPENING", "CURRENT", "CLOSING", "MINIMUM", "AVERAGE", "MAXIMUM", "TOTAL", "TOTAL", "DISPOSABLE"]
    if counts[0] == 8:
        labels.remove("CURRENT")
    for i, word in enumerate(labels):
        at(name, p1, word, M + i % 3 * cw + 3, M + 34 + i // 3 * 12 + 4)
    forecast = M + 34 + 3 * 12 + 6
    at(name, p1, "Balance", M, forecast)
    at(name, p1, "Category", M, forecast + 68)
    at(name, p1, "Name", M + 1.5, forecast + 68 + 6)
    for x, word in zip([M + 71.5, M + 106.5, M + 141.5], ["Income", "Expenses", "Count"]):
        at(name, p1, word, x, forecast + 74)
    p2 = pages[1]
    at(name, p2, "Transaction", M, M + 6)
    for x, word in zip(DETAIL_COLS, ["Date", "Description", "Category", "Account", "Amount", "Running"]):
        at(name, p2, word, x + 1.5, M + 12)


def check_continuations(pdf):
    """Tables go on at m + 6; only the details repeat their header band."""
    pages = words(pdf)

    def first_row(page, pattern):
        return min((w for w in page if re.fullmatch(pattern, w[0])), key=lambda w: w[2], default=None)

    def starts_at_top(tag, page, pattern):
        first = first_row(page, pattern)
        check(first and abs(first[2] - (M + 6)) * PT <= 0.3 and abs(first[1] - (M + 1.5)) * PT <= 0.3,
              f"many {tag}: first row {first}")

    check(find(pages[0], "Category") and not find(pages[0], "Account"), "many: categories fill page 1")
    starts_at_top("categories", pages[1], "Cat")
    check(not find(pages[1], "Name", M + 1.5, M + 6) or abs(find(pages[1], "Name", M + 1.5, M + 6)[2] - (M + 6)) > 1,
          "many: the category header repeated")
    detail_pages = [p for p in pages if find(p, "Running")]
    check(len(detail_pages) >= 3, f"many: {len(detail_pages)} pages of details")
    for i, page in enumerate(detail_pages[1:], 2):
        for x, word in zip(DETAIL_COLS, ["Date", "Description", "Category", "Account", "Amount", "Running"]):
            at(f"many page {i}", page, word, x + 1.5, M + 6)
        first = first_row(page, r"2026-\d\d-\d\d")
        check(abs(first[2] - (M + 12)) * PT <= 0.3 and abs(first[1] - (M + 1.5)) * PT <= 0.3,
              f"many page {i}: first row at {first[1]:.2f}, {first[2]:.2f}")
    start = max(i for i, p in enumerate(pages) if find(p, "Recurring"))
    check(start < len(pages) - 1, "many: the recurring table fits one page")
    for i in range(start + 1, len(pages)):
        check(not find(pages[i], "Remaining"), f"many page {i + 1}: the recurring header repeated")
        starts_at_top(f"page {i + 1} recurring", pages[i], "Series")


def check_empty_page2(pdf):
    """A budget without transactions still has its starting and closing lines."""
    p2 = words(pdf)[1]
    at("empty", p2, "Transaction", M, M + 6)
    at("empty", p2, "Date", M + 1.5, M + 12)
    at("empty", p2, "2026-02-28", M + 1.5, M + 18)
    at("empty", p2, "Starting", DETAIL_COLS[1] + 1.5, M + 18)
    at("empty", p2, "2026-03-31", M + 1.5, M + 23.5)
    recurring = M + 18 + 2 * 5.5 + 8
    at("empty", p2, "Recurring", M, recurring)
    for x, word in zip(RECURRING_COLS, ["Description", "Amount", "Category", "Account", "Remaining", "Total"]):
        at("empty", p2, word, x + 1.5, recurring + 6)


def main():
    labels = {"main": "Checking", "all": "All accounts"}
    for name in FIXTURES:
        paths = build(name)
        if not paths:
            continue
        wb = openpyxl.load_workbook(paths["xlsx"])
        label = labels.get(name, "All accounts" if FIXTURES[name][3] == "0" else "Checking")
        check_workbook(name, paths["xlsx"], wb, label)
        flat, counts = check_pdf_basics(name, paths["pdf"], wb)
        if name == "main":
            for piece in ["\u2013", "\u00b7", "Checking \u2192 Savings", "Ongoing", "\u2014", "\u2026"]:
                check(piece in flat, f"main: pdftotext lacks {piece!r}")
            figures = [tuple(r) for r in sheet_rows(wb["Summary"])[4:]]
            check(figures == MAIN_FIGURES, f"main: figures {figures}")
            fitted = re.search(re.escape(LONG[:12]) + "[^\u2026]*\u2026", flat)
            check(fitted and LONG.startswith(fitted.group(0)[:-1]) and len(fitted.group(0)) < len(LONG),
                  f"main: the long description is not a prefix and an ellipsis: {fitted and fitted.group(0)!r}")
        if name == "all":
            check("No account" in flat and "Uncategorized" in flat, "all: no 'No account' or 'Uncategorized'")
            check("All accounts" in flat, "all: subtitle label")
        if name in ("main", "empty"):
            check_layout(name, paths["pdf"], counts)
        if name == "empty":
            check(counts == [8, 0, 0, 2, 0], f"empty: counts {counts}")
            check_empty_page2(paths["pdf"])
        if name == "oneday":
            check(not [s for s in chart_strokes(paths["pdf"]) if abs(s[1] - 0.15) < 1e-3], "oneday: a chart")
            p1 = words(paths["pdf"])[0]
            at("oneday", p1, "Category", M, M + 34 + 3 * 12 + 6 + 68)
        if name == "flat":
            check_flat_grid(paths["pdf"])
        if name == "forty":
            check_forty_line(paths["pdf"])
        if name == "many":
            check(counts[1:] == [61, 1, 2482, 80], f"many: counts {counts}")
            check_continuations(paths["pdf"])
    finish("report export")


if __name__ == "__main__":
    main()
