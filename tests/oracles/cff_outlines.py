"""Every glyph of CFF, CFF2 and CID-keyed CFF fonts against fontTools'
RecordingPen (within 1e-6) and FreeType's unscaled outlines (within a unit).

FreeType also leaves out lines of zero length, which are removed from both
sides for that comparison. Both references draw the closing line back to a contour's start; ours drops a
last on-curve point that repeats the first, so the references are normalised
the same way before comparing.
"""
import os
import subprocess
import sys
import tempfile

import random

import freetype
from fontTools.cffLib import SubrsIndex
from fontTools.misc.psCharStrings import T2CharString
from fontTools.pens.recordingPen import RecordingPen
from fontTools.ttLib import TTFont

BUILD, SOURCE = sys.argv[1], sys.argv[2]
TOOL = os.path.join(BUILD, "tools", "cff_outlines")
PANGO = os.path.join(SOURCE, "third_party", "fonts", "pango")
CANTARELL = "/usr/share/fonts/opentype/cantarell"
FREEFONT = "/usr/share/fonts/opentype/freefont"


def normalise(contours):
    out = []
    for c in contours:
        if len(c) >= 2:
            (x0, y0, _), (x1, y1, ctl) = c[0], c[-1]
            if not ctl and abs(x1 - x0) <= 1e-9 and abs(y1 - y0) <= 1e-9:
                c = c[:-1]
        if len(c) >= 2:
            out.append(c)
    return out


def ours(path):
    text = subprocess.run([TOOL, path], check=True, capture_output=True, text=True).stdout
    glyphs = []
    lines = text.splitlines()
    i = 0
    while i < len(lines):
        head = lines[i].split()
        if head[0] == "E":
            raise SystemExit(f"{path}: {lines[i]}")
        count = int(head[2])
        contours = []
        for line in lines[i + 1:i + 1 + count]:
            v = line.split()
            contours.append([(float(v[k]), float(v[k + 1]), int(v[k + 2])) for k in range(0, len(v), 3)])
        glyphs.append(contours)
        i += 1 + count
    return glyphs


def fonttools_contours(glyph_set, name):
    pen = RecordingPen()
    glyph_set[name].draw(pen)
    contours, current = [], None
    for op, args in pen.value:
        if op == "moveTo":
            current = [(args[0][0], args[0][1], 0)]
        elif op == "lineTo":
            current.append((args[0][0], args[0][1], 0))
        elif op == "curveTo":
            current += [(args[0][0], args[0][1], 1), (args[1][0], args[1][1], 1), (args[2][0], args[2][1], 0)]
        elif op in ("closePath", "endPath"):
            contours.append(current)
            current = None
        else:
            raise SystemExit(f"unexpected pen operation {op}")
    if current:
        contours.append(current)
    return normalise(contours)


def freetype_contours(face, gid):
    face.load_glyph(gid, freetype.FT_LOAD_NO_SCALE | freetype.FT_LOAD_NO_HINTING)
    outline = face.glyph.outline
    contours, start = [], 0
    for end in outline.contours:
        c = []
        for k in range(start, end + 1):
            x, y = outline.points[k]
            c.append((float(x), float(y), 0 if outline.tags[k] & 1 else 1))
        contours.append(c)
        start = end + 1
    return normalise(contours)


def without_empty_lines(contours):
    """FreeType leaves out lines of zero length; so does this, for comparing."""
    out = []
    for c in contours:
        kept = [c[0]]
        for p in c[1:]:
            if not (p[2] == 0 and kept[-1][2] == 0 and p[:2] == kept[-1][:2]):
                kept.append(p)
        out.append(kept)
    return out


def differ(a, b, tolerance):
    if len(a) != len(b):
        return f"{len(a)} contours, expected {len(b)}"
    for i, (ca, cb) in enumerate(zip(a, b)):
        if len(ca) != len(cb):
            return f"contour {i}: {len(ca)} points, expected {len(cb)}"
        for pa, pb in zip(ca, cb):
            if pa[2] != pb[2] or abs(pa[0] - pb[0]) > tolerance or abs(pa[1] - pb[1]) > tolerance:
                return f"contour {i}: point {pa}, expected {pb}"
    return None


def check(path):
    font = TTFont(path)
    glyphs = ours(path)
    order = font.getGlyphOrder()
    if len(glyphs) != len(order):
        return [f"{path}: {len(glyphs)} glyphs, expected {len(order)}"]
    glyph_set = font.getGlyphSet()
    face = freetype.Face(path)
    failures = []
    for gid, name in enumerate(order):
        for who, got, expected, tolerance in (
                ("fontTools", glyphs[gid], fonttools_contours(glyph_set, name), 1e-6),
                ("FreeType", without_empty_lines(glyphs[gid]), without_empty_lines(freetype_contours(face, gid)), 1.0)):
            problem = differ(got, expected, tolerance)
            if problem:
                failures.append(f"{os.path.basename(path)} glyph {gid} ({name}) vs {who}: {problem}")
    print(f"{os.path.basename(path)}: {len(order)} glyphs, {len(failures)} differences")
    return failures


def build_cid_font(out_path):
    """A CID-keyed font whose three font DICTs have their own local
    subroutines (3 of them, bias 107; 1300, bias 1131; none), glyphs spread
    over the DICTs by a format 0 FDSelect, widths on some glyphs, hint masks,
    flex and subroutines calling subroutines."""
    rnd = random.Random(8)
    font = TTFont(os.path.join(PANGO, "noto-sans-cjk.ttf"))
    top = font["CFF "].cff.topDictIndex[0]
    gsubrs = font["CFF "].cff.GlobalSubrs
    fds = top.FDArray
    sizes = [3, 1300, 0]

    def steps(n):
        return [rnd.randint(-300, 300) for _ in range(n)]

    gsubrs.items = [T2CharString(program=steps(2) + ["rlineto", "return"]),
                    T2CharString(program=steps(6) + ["rrcurveto", -107, "callsubr", "return"]),
                    T2CharString(program=steps(9) + ["hflex1", "return"])]
    for k, fd in enumerate(fds):
        priv = fd.Private
        if sizes[k]:
            subrs = SubrsIndex()
            for j in range(sizes[k]):
                body = steps(4) + ["rlineto"] + steps(11) + ["flex1"] if j % 2 else steps(8) + ["hvcurveto"]
                subrs.append(T2CharString(program=body + ["return"], private=priv, globalSubrs=gsubrs))
            priv.Subrs = subrs
        elif hasattr(priv, "Subrs"):
            del priv.Subrs
    order = font.getGlyphOrder()
    fd_of = [gid % 3 for gid in range(len(order))]
    top.FDSelect.gidArray = fd_of
    top.FDSelect.format = 0
    for gid, name in enumerate(order):
        k = fd_of[gid]
        program = [rnd.randint(100, 900)] if gid % 2 else []
        if gid % 3 == 1:
            program += steps(4) + ["hstem"] + steps(2) + ["hintmask", bytes([0xe0])]
        program += steps(2) + ["rmoveto"]
        program += steps(6) + ["rlineto", -107, "callgsubr", -105, "callgsubr"]
        if sizes[k]:
            for j in (0, sizes[k] - 1, sizes[k] // 2):
                program += [j - (107 if sizes[k] < 1240 else 1131), "callsubr"]
            program += [-106, "callgsubr"]
        program += steps(3) + ["vlineto"] + steps(2) + ["rmoveto"] + steps(5) + ["vhcurveto", "endchar"]
        cs = top.CharStrings[name]
        cs.private = fds[k].Private
        cs.program = program
        cs.bytecode = None
    font.save(out_path)


def main():
    fonts = [os.path.join(CANTARELL, f) for f in sorted(os.listdir(CANTARELL)) if f.endswith(".otf")]
    fonts += [os.path.join(FREEFONT, f) for f in ("FreeSans.otf", "FreeSerif.otf")]
    fonts += [os.path.join(PANGO, "Cantarell-VF.otf"), os.path.join(PANGO, "noto-sans-cjk.ttf")]
    tmp = tempfile.mkdtemp()
    fonts.append(os.path.join(tmp, "cid-keyed.otf"))
    build_cid_font(fonts[-1])
    failures = []
    for path in fonts:
        failures += check(path)
    for line in failures[:40]:
        print(line)
    os.remove(fonts[-1])
    os.rmdir(tmp)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
