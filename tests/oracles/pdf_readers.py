"""PDF files written by tests/tools/pdf_tool.cpp (DejaVu and the built-in Plex
fonts, every style, shapes, pictures, links, outline, compression on and off)
against independent readers: qpdf, poppler (pdfinfo, pdftotext, pdffonts,
pdftoppm), mupdf (mutool draw), and the embedded font programs taken out with
pikepdf and read with fontTools."""
import io
import json
import os
import re
import struct
import subprocess
import sys
import tempfile

import pikepdf
from fontTools.ttLib import TTFont

BUILD, SOURCE = sys.argv[1], sys.argv[2]
TAGS = ["TAVEKR", "TAVEKB", "TAVEKI", "TAVEKJ", "TAVEKM"]
SUBSET_TABLES = ["cvt ", "fpgm", "glyf", "head", "hhea", "hmtx", "loca", "maxp", "prep"]
failures = []


def fail(msg):
    failures.append(msg)


def run(args):
    return subprocess.run(args, capture_output=True, text=True)


def check_tools(doc):
    path = doc["file"]
    name = os.path.basename(path)
    r = run(["qpdf", "--check", path])
    if r.returncode != 0 or "WARNING" in r.stdout + r.stderr or "error" in r.stderr.lower():
        fail(f"{name}: qpdf --check: {r.returncode} {r.stdout[-300:]} {r.stderr[-300:]}")

    info = run(["pdfinfo", path])
    if info.stderr.strip():
        fail(f"{name}: pdfinfo: {info.stderr.strip()}")
    fields = dict(line.split(":", 1) for line in info.stdout.splitlines() if ":" in line)
    if fields.get("Pages", "").strip() != str(doc["pages"]):
        fail(f"{name}: pdfinfo pages {fields.get('Pages')} != {doc['pages']}")
    if fields.get("Page size", "").strip() != "612 x 792 pts (letter)":
        fail(f"{name}: page size {fields.get('Page size')}")
    if fields.get("Title", "").strip() != doc["title"]:
        fail(f"{name}: title {fields.get('Title')!r} != {doc['title']!r}")

    text = run(["pdftotext", "-raw", path, "-"])
    if text.stderr.strip():
        fail(f"{name}: pdftotext: {text.stderr.strip()}")
    flat = re.sub(r"\s+", "", text.stdout)
    for style, strings in doc["texts"].items():
        cmap = cmaps[doc["fonts"][style]]
        for s in strings:
            # A character the font lacks is drawn as .notdef and has no text.
            for run_ in re.split(r"[^\S]|[^\x00-\U0010FFFF]", "".join(c if ord(c) in cmap else " " for c in s)):
                if run_ and run_ not in flat:
                    fail(f"{name}: pdftotext lacks {run_!r} of {s!r}")
                    break

    fonts = run(["pdffonts", path])
    rows = fonts.stdout.splitlines()[2:]
    used = {int(k) for k, v in doc["texts"].items() if v} | {0, 1}
    seen = set()
    for row in rows:
        cols = row.split()
        m = re.match(r"(TAVEK[RBIJM])\+\S+$", cols[0])
        if not m or " ".join(cols[1:3]) != "CID TrueType" or cols[4:7] != ["yes", "yes", "yes"]:
            fail(f"{name}: pdffonts row {row!r}")
            continue
        seen.add(TAGS.index(m.group(1)))
    if seen != used:
        fail(f"{name}: pdffonts styles {sorted(seen)} != {sorted(used)}")

    with tempfile.TemporaryDirectory() as tmp:
        r = run(["mutool", "draw", "-r", "30", "-o", os.path.join(tmp, "m%d.png"), path])
        # The packaged mupdf warns about its own missing ICC support for any file.
        noise = [l for l in r.stderr.splitlines()
                 if l.strip() and "ICC support is not available" not in l and not l.startswith("page " + path)]
        pngs = [f for f in os.listdir(tmp) if f.startswith("m")]
        if r.returncode != 0 or noise or len(pngs) != doc["pages"]:
            fail(f"{name}: mutool draw rc {r.returncode}, {len(pngs)} pages, {noise[:3]}")
        r = run(["pdftoppm", "-r", "30", "-png", path, os.path.join(tmp, "p")])
        pngs = [f for f in os.listdir(tmp) if f.startswith("p")]
        if r.returncode != 0 or r.stderr.strip() or len(pngs) != doc["pages"]:
            fail(f"{name}: pdftoppm rc {r.returncode}, {len(pngs)} pages, {r.stderr.strip()[:200]}")


def raw_glyphs(font):
    """Each glyph's raw glyf bytes, read through the raw loca."""
    loca = font.reader["loca"]
    glyf = font.reader["glyf"]
    n = font["maxp"].numGlyphs
    if font["head"].indexToLocFormat == 0:
        offs = [2 * v for v in struct.unpack(f">{n + 1}H", loca[:2 * (n + 1)])]
    else:
        offs = list(struct.unpack(f">{n + 1}I", loca[:4 * (n + 1)]))
    return [glyf[offs[i]:offs[i + 1]] for i in range(n)]


def closure(font, glyphs):
    order = font.getGlyphOrder()
    ids = {name: i for i, name in enumerate(order)}
    glyf = font["glyf"]
    keep, work = set(), [0] + list(glyphs)
    while work:
        g = work.pop()
        if g in keep:
            continue
        keep.add(g)
        glyph = glyf[order[g]]
        if glyph.isComposite():
            work.extend(ids[c.glyphName] for c in glyph.components)
    return keep


def checksum(data):
    data = data + b"\0" * (-len(data) % 4)
    return sum(struct.unpack(f">{len(data) // 4}I", data)) & 0xFFFFFFFF


def check_program(label, program, source_path, glyphs):
    source = sources[source_path]
    sub = TTFont(io.BytesIO(program))
    expect_tables = [t for t in SUBSET_TABLES if t in ("glyf", "head", "loca") or t in source.reader]
    if sorted(sub.reader.keys()) != expect_tables:
        fail(f"{label}: tables {sorted(sub.reader.keys())}")
        return
    num, search, selector, shift = struct.unpack(">HHHH", program[4:12])
    e = max(i for i in range(8) if 2 ** i <= num)
    if (num, search, selector, shift) != (len(expect_tables), 16 * 2 ** e, e, num * 16 - 16 * 2 ** e):
        fail(f"{label}: offset table {(num, search, selector, shift)}")
    if checksum(program) != 0xB1B0AFBA:
        fail(f"{label}: file sums to {checksum(program):#x}")
    for i, tag in enumerate(expect_tables):
        rtag, csum, off, length = struct.unpack(">4sIII", program[12 + 16 * i:28 + 16 * i])
        data = program[off:off + length]
        if tag == "head":
            data = data[:8] + b"\0\0\0\0" + data[12:]
        if rtag.decode() != tag or off % 4 or csum != checksum(data):
            fail(f"{label}: record {i} {rtag} offset {off} checksum {csum:#x} vs {checksum(data):#x}")
        if tag not in ("glyf", "head", "loca") and data != source.reader[tag]:
            fail(f"{label}: {tag} differs from the source")
    n = source["maxp"].numGlyphs
    if len(sub.reader["loca"]) != 4 * (n + 1) or sub["head"].indexToLocFormat != 1:
        fail(f"{label}: loca of {len(sub.reader['loca'])} bytes for {n} glyphs")
        return
    keep = closure(source, glyphs)
    src, out = raw_glyphs(source), raw_glyphs(sub)
    for g in range(n):
        want = src[g] if g in keep else b""
        got = out[g]
        if got[:len(want)] != want or got[len(want):] != b"\0" * (len(got) - len(want)) or len(got) - len(want) > 3:
            fail(f"{label}: glyph {g} ({'kept' if g in keep else 'dropped'}) {len(got)} bytes, source {len(src[g])}")
            return
    glyf = sub["glyf"]
    for name in sub.getGlyphOrder():
        glyf[name].expand(glyf)  # fontTools decodes every outline


def check_fonts(doc):
    pdf = pikepdf.open(doc["file"])
    fonts = pdf.pages[0].Resources.Font
    for key in fonts.keys():
        style = int(key[2:]) - 1
        type0 = fonts[key]
        cid = type0.DescendantFonts[0]
        program = bytes(cid.FontDescriptor.FontFile2.read_bytes())
        texts = doc["texts"].get(str(style), [])
        path = doc["fonts"][str(style)]
        cmap = cmaps[path]
        glyphs = {cmap.get(ord(c), 0) for s in texts for c in s}
        check_program(f"{os.path.basename(doc['file'])} /{key[1:]}", program, path, glyphs)


def main():
    tool = os.path.join(BUILD, "tools", "pdf_tool")
    global sources, cmaps
    with tempfile.TemporaryDirectory() as out:
        subprocess.run([tool, "samples", out, SOURCE], check=True)
        with open(os.path.join(out, "manifest.json")) as f:
            manifest = json.load(f)
        paths = {p for doc in manifest for p in doc["fonts"].values()}
        sources = {p: TTFont(p) for p in paths}
        order_ids = {p: {n: i for i, n in enumerate(f.getGlyphOrder())} for p, f in sources.items()}
        cmaps = {p: {c: order_ids[p][n] for c, n in f.getBestCmap().items()} for p, f in sources.items()}
        for doc in manifest:
            check_tools(doc)
            check_fonts(doc)
    for f in failures[:40]:
        print(f)
    if failures:
        sys.exit(f"{len(failures)} failures")
    print(f"{len(manifest)} files accepted by every reader")


sources = {}
cmaps = {}
main()
