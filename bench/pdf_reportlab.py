"""The PDF benchmark's peer: the same report table drawn with reportlab, the
DejaVu fonts subset-embedded and pages compressed. Arguments: the rows file
(tab-separated, six cells a row), the output path, the repetitions. Prints
the median seconds of building and saving, and the file's size."""
import statistics
import sys
import time

from reportlab.lib.pagesizes import letter
from reportlab.pdfbase import pdfmetrics
from reportlab.pdfbase.ttfonts import TTFont
from reportlab.pdfgen import canvas

MM = 72 / 25.4
DEJAVU = "/usr/share/fonts/truetype/dejavu/"
pdfmetrics.registerFont(TTFont("DejaVu", DEJAVU + "DejaVuSans.ttf"))
pdfmetrics.registerFont(TTFont("DejaVu-Bold", DEJAVU + "DejaVuSans-Bold.ttf"))
WIDTHS = [24, 66, 28, 26, 24, 26]
ROWS_PER_PAGE = 40
ELLIPSIS = "\u2026"


def fit(text, width):
    if pdfmetrics.stringWidth(text, "DejaVu", 7.5) <= width:
        return text
    prefix = ""
    for c in text:
        if pdfmetrics.stringWidth(prefix + c + ELLIPSIS, "DejaVu", 7.5) > width:
            break
        prefix += c
    return prefix + ELLIPSIS


def build(rows, path):
    c = canvas.Canvas(path, pagesize=letter, pageCompression=1)
    c.setTitle("Report")
    height = 279.4
    for start in range(0, len(rows), ROWS_PER_PAGE):
        c.setFillColorRGB(0.9, 0.92, 0.95)
        c.rect(15 * MM, (height - 20 - 7) * MM, 194 * MM, 7 * MM, stroke=0, fill=1)
        c.setFillColorRGB(0.1, 0.1, 0.1)
        c.setFont("DejaVu-Bold", 8)
        x = 16.5
        for name, w in zip(["Date", "Payee", "Category", "Account", "Amount", "Balance"], WIDTHS):
            c.drawString(x * MM, (height - 25) * MM, name)
            x += w + 1.5
        y = 33
        c.setStrokeColorRGB(0.8, 0.8, 0.8)
        c.setLineWidth(0.1 * MM)
        for row in rows[start:start + ROWS_PER_PAGE]:
            c.setFont("DejaVu", 7.5)
            x = 16.5
            for cell, w in zip(row, WIDTHS):
                c.drawString(x * MM, (height - y) * MM, fit(cell, w - 2))
                x += w + 1.5
            c.line(15 * MM, (height - y - 1.8) * MM, 209 * MM, (height - y - 1.8) * MM)
            y += 6
        c.showPage()
    c.save()


def main():
    rows = [line.rstrip("\n").split("\t") for line in open(sys.argv[1], encoding="utf-8")]
    times = []
    for _ in range(int(sys.argv[3])):
        t = time.perf_counter()
        build(rows, sys.argv[2])
        times.append(time.perf_counter() - t)
    import os
    print(statistics.median(times), os.path.getsize(sys.argv[2]))


main()
