"""Every glyph's outline, metrics and bounds against fontTools (exactly) and
FreeType (within a unit; within two where a scaled component makes the
coordinates fractional, since FreeType scales composites in 16.16 fixed point
and rounds)."""
import sys

import freetype
from fontTools.ttLib import TTFont

import _fontlib

build_dir, source_dir = sys.argv[1], sys.argv[2]
fail = _fontlib.Failures()
FT_FLAGS = freetype.FT_LOAD_NO_SCALE | freetype.FT_LOAD_NO_HINTING


def fonttools_contours(glyf, name):
    glyph = glyf[name]
    coords, ends, flags = glyph.getCoordinates(glyf)
    contours, start = [], 0
    for end in ends:
        contours.append([(float(coords[i][0]), float(coords[i][1]), flags[i] & 1) for i in range(start, end + 1)])
        start = end + 1
    return contours


def bounds(contours):
    pts = [p for c in contours for p in c]
    if not pts:
        return (0.0, 0.0, 0.0, 0.0)
    return (min(p[0] for p in pts), min(p[1] for p in pts), max(p[0] for p in pts), max(p[1] for p in pts))


def freetype_contours(face, gid):
    face.load_glyph(gid, FT_FLAGS)
    outline = face.glyph.outline
    contours, start = [], 0
    for end in outline.contours:
        contours.append([(p[0], p[1], outline.tags[i] & 1) for i, p in
                         zip(range(start, end + 1), outline.points[start:end + 1])])
        start = end + 1
    return contours


# The faces of a collection may share one glyf table: decode it once.
reference_cache = {}

for label, path, face_index in _fontlib.all_fonts(source_dir):
    ours = _fontlib.dump(build_dir, path, face_index)
    font = TTFont(path, fontNumber=face_index, lazy=True)
    order = font.getGlyphOrder()
    glyf, hmtx = font["glyf"], font["hmtx"].metrics
    face = freetype.Face(path, face_index)
    shared = reference_cache.setdefault((path, font.reader.tables["glyf"].offset), {})
    if len(ours.glyphs) != len(order):
        fail(f"{label}: {len(ours.glyphs)} glyphs, fontTools {len(order)}")
    for gid, name in enumerate(order[:len(ours.glyphs)]):
        advance, lsb, box, contours = ours.glyphs[gid]
        if gid not in shared:
            shared[gid] = fonttools_contours(glyf, name)
        t_contours = shared[gid]
        t_adv, t_lsb = (float(v) for v in hmtx[name])
        if (advance, lsb) != (t_adv, t_lsb):
            fail(f"{label} glyph {gid}: metrics {(advance, lsb)} fontTools {(t_adv, t_lsb)}")
        if contours != t_contours:
            fail(f"{label} glyph {gid}: contours differ from fontTools")
        if box != bounds(t_contours):
            fail(f"{label} glyph {gid}: bounds {box} fontTools {bounds(t_contours)}")
        f_contours = freetype_contours(face, gid)
        scaled = any(p[0] != int(p[0]) or p[1] != int(p[1]) for c in contours for p in c)
        tol = 2 if scaled else 1
        same = len(f_contours) == len(contours) and all(
            len(a) == len(b) and all(abs(p[0] - q[0]) <= tol and abs(p[1] - q[1]) <= tol and p[2] == q[2]
                                     for p, q in zip(a, b)) for a, b in zip(contours, f_contours))
        if not same:
            fail(f"{label} glyph {gid}: contours differ from FreeType")
    print(f"{label}: {len(ours.glyphs)} glyphs checked")
fail.finish("outlines")
