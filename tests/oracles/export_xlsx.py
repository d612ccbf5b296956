#!/usr/bin/python3
"""Workbooks of our XLSX writer read by openpyxl, Info-ZIP and xmllint.

One workbook holds every cell kind, bold and header text, money in several
colours, given and default widths, empty rows, an empty sheet, markup
characters in sheet names and texts, and a text of every C0 control byte and
ill-formed UTF-8. openpyxl must read back the values, number formats, fonts,
fills and widths; `unzip -t` must pass the package and xmllint every part.
"""
import os
import xml.etree.ElementTree as ET
import zipfile

import openpyxl

from _exportlib import WORK, check, finish, run, tool, write_json, xmllint_ok

RED, GREEN, BLUE = "FFBD3838", "FF21763C", "FF2A68B7"
CURRENCY = '"$"#,##0.00;[Red]\\-"$"#,##0.00'
NS = {"m": "http://schemas.openxmlformats.org/spreadsheetml/2006/main"}
NASTY = bytes(range(1, 0x20)) + b" \xc3( \xff \xed\xa0\x80 \xef\xbf\xbf end"
# What the text becomes: tab, line feed and carriage return stay, each
# ill-formed sequence is one U+FFFD, other controls and U+FFFF go.
NASTY_READ = "\t\n\r \ufffd( \ufffd \ufffd\ufffd\ufffd  end"


def text(t, bold=False, header=False):
    return {"k": 0, "t": t.encode().hex() if isinstance(t, str) else t.hex(), "b": bold, "h": header}


def number(v, bold=False):
    return {"k": 1, "v": v, "b": bold}


def money(v, bold=False, colour=""):
    return {"k": 2, "v": v, "b": bold, "c": colour}


SHEETS = [
    {"name": "Summary & <Totals>", "widths": [28, 18.5],
     "rows": [
         [text("Metric", header=True), text("Value", header=True), text("Note", header=True)],
         [text("Opening"), money(1234.5)],
         [text("Minimum", bold=True), money(-20.75, colour=RED), text("A & B < C > \"D\" 'E'")],
         [text("Maximum"), money(5000, colour=GREEN)],
         [],
         [text("Bold red"), money(-1, bold=True, colour=RED), money(2, bold=True, colour=GREEN)],
         [text("Blue"), money(3.333, colour=BLUE), money(7, bold=True)],
         [text("Count"), number(3), number(1234567.891, bold=True)],
         [text(""), text(NASTY)],
     ]},
    {"name": "Empty", "rows": []},
    {"name": "Quotes \"'", "widths": [],
     "rows": [[], [], [text("caf\u00e9 \U0001F4B8"), number(-0.5), money(0), number(1e-7)]]},
]


def spec_value(cell):
    if cell["k"] == 0:
        data = bytes.fromhex(cell["t"])
        if data == NASTY:
            return NASTY_READ
        return data.decode()
    return cell["v"]


def check_cells(ws, sheet, colours):
    tag = sheet["name"]
    for r, row in enumerate(sheet["rows"], start=1):
        for c, cell in enumerate(row, start=1):
            got = ws.cell(row=r, column=c)
            where = f"{tag}!{got.coordinate}"
            want = spec_value(cell)
            if cell["k"] == 0:
                check(got.value == want, f"{where}: value {got.value!r}, expected {want!r}")
                check(got.number_format == "General", f"{where}: format {got.number_format}")
            else:
                want_num = 0 if abs(want) < 5e-7 else round(want, 6)
                check(isinstance(got.value, (int, float)) and abs(got.value - want_num) < 1e-9,
                      f"{where}: number {got.value!r}, expected {want_num}")
                fmt = "#,##0.00" if cell["k"] == 1 else CURRENCY
                check(got.number_format == fmt, f"{where}: format {got.number_format!r}, expected {fmt!r}")
            bold = cell.get("b", False) or cell.get("h", False)
            check(bool(got.font.b) == bold, f"{where}: bold {got.font.b}")
            check(got.font.name == "Calibri" and got.font.sz == 11, f"{where}: font {got.font.name} {got.font.sz}")
            colour = None
            if cell.get("h"):
                colour = "FFFFFFFF"
                check(got.fill.fill_type == "solid" and got.fill.fgColor.rgb == BLUE,
                      f"{where}: header fill {got.fill.fill_type} {got.fill.fgColor.rgb}")
            else:
                check(got.fill.fill_type is None, f"{where}: fill {got.fill.fill_type}")
            if cell["k"] == 2 and cell.get("c"):
                colour = cell["c"]
            got_colour = got.font.color.rgb if got.font.color is not None else None
            check(got_colour == colour, f"{where}: colour {got_colour}, expected {colour}")
    # Widths: the given ones, 14 for the rest up to the longest row.
    longest = max((len(row) for row in sheet["rows"]), default=0)
    widths = sheet.get("widths", [])
    for i in range(longest):
        letter = openpyxl.utils.get_column_letter(i + 1)
        want = widths[i] if i < len(widths) else 14
        got = ws.column_dimensions[letter].width
        check(got == want, f"{tag} column {letter}: width {got}, expected {want}")
    check(ws.max_row == max(len(sheet["rows"]), 1), f"{tag}: max_row {ws.max_row}")


def check_style_indices(path):
    """Coloured money takes 7, 8, 9, 10, 11, 12 by first appearance."""
    with zipfile.ZipFile(path) as z:
        root = ET.fromstring(z.read("xl/worksheets/sheet1.xml"))
        styles = {c.get("r"): c.get("s") for c in root.iter("{%s}c" % NS["m"])}
        want = {"A1": "6", "B2": "4", "A3": "1", "B3": "7", "B4": "9", "B6": "8", "C6": "10", "B7": "11",
                "C7": "5", "B8": "2", "C8": "3", "C3": "0"}
        for ref, s in want.items():
            check(styles.get(ref) == s, f"style of {ref}: {styles.get(ref)}, expected {s}")
        sroot = ET.fromstring(z.read("xl/styles.xml"))
        check(sroot.find("m:fonts", NS).get("count") == "9", "three colours give 9 fonts")
        check(sroot.find("m:cellXfs", NS).get("count") == "13", "three colours give 13 cell formats")


def main():
    spec = {"sheets": [dict(s, name=s["name"].encode().hex()) for s in SHEETS]}
    path = os.path.join(WORK, "report.xlsx")
    if not tool("xlsx", write_json("spec.json", spec), path):
        return
    test = run(["unzip", "-t", path])
    check(test.returncode == 0 and b"No errors detected" in test.stdout, f"unzip -t: {test.stdout[-500:]!r}")
    with zipfile.ZipFile(path) as z:
        for name in z.namelist():
            part = os.path.join(WORK, name.replace("/", "_"))
            with open(part, "wb") as f:
                f.write(z.read(name))
            xmllint_ok(name, part)
    check_style_indices(path)
    wb = openpyxl.load_workbook(path)
    check(wb.sheetnames == [s["name"] for s in SHEETS], f"sheet names {wb.sheetnames}")
    for ws, sheet in zip(wb.worksheets, SHEETS):
        check_cells(ws, sheet, [])
    check(wb["Empty"].max_row == 1 and wb["Empty"]["A1"].value is None, "the empty sheet has no cells")


main()
finish("XLSX writer")
