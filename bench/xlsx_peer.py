#!/usr/bin/python3
"""The peer of bench/xlsx.cpp: writes the same cells with python3-xlsxwriter.

Reads the cells from the JSON file the benchmark wrote, then times only the
building and writing of the workbook. Prints the seconds and the file size.
"""
import json
import os
import sys
import time

import xlsxwriter

RED_MINUS_CURRENCY = '"$"#,##0.00;[Red]\\-"$"#,##0.00'


def main(spec_path, out_path):
    with open(spec_path) as f:
        spec = json.load(f)
    start = time.perf_counter()
    wb = xlsxwriter.Workbook(out_path)
    formats = {}

    def fmt(kind, bold, header, colour):
        key = (kind, bold, header, colour)
        if key not in formats:
            props = {"font_name": "Calibri", "font_size": 11}
            if bold or header:
                props["bold"] = True
            if header:
                props.update(font_color="#FFFFFF", bg_color="#2A68B7", pattern=1)
            if kind == 1:
                props["num_format"] = "#,##0.00"
            elif kind == 2:
                props["num_format"] = RED_MINUS_CURRENCY
                if colour:
                    props["font_color"] = "#" + colour[2:]
            formats[key] = wb.add_format(props)
        return formats[key]

    for sheet in spec:
        ws = wb.add_worksheet(sheet["name"])
        for i, width in enumerate(sheet["widths"]):
            ws.set_column(i, i, width)
        for r, row in enumerate(sheet["rows"]):
            for c, (kind, text, value, bold, header, colour) in enumerate(row):
                f = fmt(kind, bold, header, colour)
                if kind == 0:
                    ws.write_string(r, c, text, f)
                else:
                    ws.write_number(r, c, value, f)
    wb.close()
    elapsed = time.perf_counter() - start
    print(elapsed, os.path.getsize(out_path))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
