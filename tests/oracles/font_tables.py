"""Character maps, vertical metrics, WOFF conversion and load errors of real
fonts against fontTools' reading of the same files."""
import os
import subprocess
import sys
import tempfile

from fontTools.ttLib import TTFont
from fontTools.ttLib.sfnt import SFNTReader, SFNTWriter

import _fontlib

build_dir, source_dir = sys.argv[1], sys.argv[2]
fail = _fontlib.Failures()
tool = _fontlib.tool(build_dir)


def score(table):
    p, e, f = table.platformID, table.platEncID, table.format
    if (p, e, f) == (3, 10, 12):
        return 5
    if (p, e, f) == (3, 1, 4):
        return 4
    if p == 0 and f == 12:
        return 3
    if p == 0 and f == 4:
        return 2
    return 1 if f == 0 else 0


def expected_cmap(font):
    tables = font["cmap"].tables
    if not tables:
        return {}
    best = max(tables, key=score)  # max keeps the first of equal scores
    entries = {code: font.getGlyphID(name) for code, name in best.cmap.items()}
    if best.format != 12:
        entries = {c: g for c, g in entries.items() if g != 0}
    if (best.platformID, best.platEncID) == (3, 0):
        for c in range(0x20, 0x100):
            if c not in entries and 0xF000 + c in entries:
                entries[c] = entries[0xF000 + c]
    return entries


def expected_metrics(font):
    upem = font["head"].unitsPerEm or 1000
    hhea = font["hhea"]
    ascent, descent, gap = hhea.ascent, hhea.descent, hhea.lineGap
    if "OS/2" in font and len(font.reader["OS/2"]) >= 78:
        os2 = font["OS/2"]
        if os2.fsSelection & 0x80 and os2.sTypoAscender != 0:
            ascent, descent, gap = os2.sTypoAscender, os2.sTypoDescender, os2.sTypoLineGap
        elif ascent == 0 and os2.usWinAscent != 0:
            ascent, descent = os2.usWinAscent, -os2.usWinDescent
    return (float(upem), float(ascent), float(descent), float(gap))


for label, path, face in _fontlib.all_fonts(source_dir):
    ours = _fontlib.dump(build_dir, path, face)
    font = TTFont(path, fontNumber=face, lazy=True)
    want = expected_cmap(font)
    if ours.cmap != want:
        missing = [c for c in want if ours.cmap.get(c) != want[c]]
        extra = [c for c in ours.cmap if c not in want]
        fail(f"{label}: cmap differs at {len(missing)} codes, {len(extra)} extra (e.g. {(missing + extra)[:5]})")
    if ours.metrics[:4] != expected_metrics(font):
        fail(f"{label}: metrics {ours.metrics[:4]} expected {expected_metrics(font)}")
    if ours.metrics[4] != font["maxp"].numGlyphs:
        fail(f"{label}: {ours.metrics[4]} glyphs, maxp says {font['maxp'].numGlyphs}")
    print(f"{label}: {len(want)} code points, metrics {ours.metrics[:4]}")

# A WOFF file converts to tables identical to the TrueType original.
woff, ttf = "/usr/share/fonts/woff/dejavu/DejaVuSans.woff", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
with tempfile.TemporaryDirectory() as tmp:
    converted = os.path.join(tmp, "converted.ttf")
    subprocess.run([tool, "--sfnt", woff, converted], check=True)
    with open(converted, "rb") as a, open(ttf, "rb") as b:
        ra, rb = SFNTReader(a), SFNTReader(b)
        if sorted(ra.keys()) != sorted(rb.keys()):
            fail(f"WOFF tables {sorted(ra.keys())} differ from {sorted(rb.keys())}")
        for tag in rb.keys():
            if tag in ra and ra[tag] != rb[tag]:
                fail(f"WOFF table {tag} differs from the TrueType original")
    print("WOFF: DejaVu Sans tables compared")

    # Load errors of real files.
    short = os.path.join(tmp, "short.ttf")
    with open(ttf, "rb") as f, open(short, "wb") as out:
        out.write(f.read(11))
    bitmap = os.path.join(tmp, "bitmap.ttf")
    with open(ttf, "rb") as f, open(bitmap, "wb") as out:
        reader = SFNTReader(f)
        tags = [t for t in reader.keys() if t not in ("glyf", "loca")]
        writer = SFNTWriter(out, len(tags), reader.sfntVersion)
        for tag in tags:
            writer[tag] = reader[tag]
        writer.close()
    cases = [
        (short, 0, "not a font file (too short)"),
        ("/usr/share/fonts/woff2/dejavu/DejaVuSans.woff2", 0, "WOFF2 fonts are not supported"),
        ("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc", 2, "the collection has no face 2"),
        (ttf, 1, "not a font collection"),
        (bitmap, 0, "the font has no outlines Quenmark can draw (bitmap or colour glyphs only)"),
        (woff, 0, "ok"),
    ]
    for path, face, message in cases:
        got = subprocess.run([tool, "--error", path, str(face)], check=True, capture_output=True, text=True).stdout
        if got.strip() != message:
            fail(f"{os.path.basename(path)} face {face}: {got.strip()!r}, expected {message!r}")
    print("errors: checked")
fail.finish("font tables")
