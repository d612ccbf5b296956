"""Glyph masks from our rasteriser agree with FreeType's anti-aliased renderer
on the same outlines, and our curve flattening stays as close to exact
coverage as FreeType's own.

Outlines come from fontTools (independent of our own font reader), are placed
on FreeType's bitmap grid with their points rounded to 1/64 pixel as FreeType
scales them, and are handed to build/tools/rastertool; FreeType renders the
same glyphs unhinted. Three masks per glyph:
  exact   every curve cut by this script into 64 lines: exact area coverage
          of the outline, as near as matters;
  curves  the curves handed to the rasteriser as the program does (flattened
          to within 1/16 pixel);
  ft      FreeType's rendering.
ft against exact is what FreeType's own flattening reaches; curves against
exact must stay within the 1/16 pixel tolerance (16 levels at any pixel),
and curves against ft within what ft reaches against exact.

CI checks a fixed sample of glyphs; QM_FULL_SWEEP=1 checks every glyph.
"""
import os
import subprocess
import sys

import freetype
import numpy as np
from fontTools.pens.basePen import BasePen
from fontTools.ttLib import TTFont

FONTS = ("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
         "/usr/share/fonts/truetype/liberation2/LiberationSerif-Regular.ttf",
         "/usr/share/fonts/opentype/cantarell/Cantarell-Regular.otf",
         "third_party/fonts/IBMPlexSans-Regular.woff")
SIZES = (13, 16, 40)
PAD = 2
SAMPLE_STRIDE = 11
# Per glyph: the largest pixel difference and the mean over FreeType's box
# (levels of 255). A chord 1/16 pixel off the curve moves up to 1/16 of a
# pixel's diagonal, about 23 levels; FreeType's cubics are cut coarser than
# its quadratics (44 levels from exact on Cantarell), hence the CFF limits.
# Over all glyphs of a size, curves must come at least as close to exact
# coverage as FreeType does.
LIMITS = {
    "curves-exact": dict(pixel=28, glyph=9.0),
    "curves-ft": dict(pixel=32, glyph=4.5),
}
CFF_LIMITS = {
    "curves-exact": dict(pixel=28, glyph=9.0),
    "curves-ft": dict(pixel=40, glyph=6.0),
}


def mulfix(a, b):
    """FreeType's 16.16 multiply: rounds half away from zero."""
    sign = -1 if (a < 0) != (b < 0) else 1
    return sign * ((abs(a) * abs(b) + 0x8000) >> 16)


def divfix(a, b):
    return (a * 65536 + b // 2) // b


class SegmentPen(BasePen):
    """Closed contours as line, quadratic and cubic segments in pixels."""

    def __init__(self, glyphset, scale):
        super().__init__(glyphset)
        self.scale = scale
        self.segments = []
        self.start = self.current = None

    def px(self, p):
        return (mulfix(int(round(p[0])), self.scale) / 64, mulfix(int(round(p[1])), self.scale) / 64)

    def _moveTo(self, p):
        self.start = self.current = self.px(p)

    def _lineTo(self, p):
        q = self.px(p)
        self.segments.append(("L", self.current, q))
        self.current = q

    def _qCurveToOne(self, c, p):
        q = self.px(p)
        self.segments.append(("Q", self.current, self.px(c), q))
        self.current = q

    def _curveToOne(self, c1, c2, p):
        q = self.px(p)
        self.segments.append(("C", self.current, self.px(c1), self.px(c2), q))
        self.current = q

    def _closePath(self):
        if self.current != self.start:
            self.segments.append(("L", self.current, self.start))

    _endPath = _closePath


def cut(segments, n=64):
    out = []
    for seg in segments:
        if seg[0] == "L":
            out.append(seg)
            continue
        pts = seg[1:]
        prev = pts[0]
        for i in range(1, n + 1):
            t = i / n
            u = 1 - t
            if seg[0] == "Q":
                w = (u * u, 2 * u * t, t * t)
            else:
                w = (u * u * u, 3 * u * u * t, 3 * u * t * t, t * t * t)
            p = (sum(k * q[0] for k, q in zip(w, pts)), sum(k * q[1] for k, q in zip(w, pts)))
            out.append(("L", prev, p))
            prev = p
    return out


def emit(script, segments, ox, oy):
    for seg in segments:
        coords = []
        for (x, y) in seg[1:]:
            coords += [x - ox, oy - y]
        script.append(seg[0] + " " + " ".join(f"{c:.9g}" for c in coords))
    script.append("end")


def stats(a, b):
    diff = np.abs(a - b)
    # Marks of a pixel or two make a mean meaningless: at least a 5 x 5 box.
    inked = max(a[PAD:-PAD, PAD:-PAD].size, 25)
    return int(diff.max()), diff.sum() / inked, int(diff.sum()), inked


def compare_font(tool, path, full):
    font = TTFont(path)
    limits = CFF_LIMITS if "CFF " in font else LIMITS
    glyphset = font.getGlyphSet()
    order = font.getGlyphOrder()
    upem = font["head"].unitsPerEm
    indices = range(len(order)) if full else range(0, len(order), SAMPLE_STRIDE)
    face = freetype.Face(path)
    jobs, script = [], []
    for size in SIZES:
        face.set_pixel_sizes(0, size)
        scale = divfix(size * 64, upem)
        for g in indices:
            face.load_glyph(g, freetype.FT_LOAD_RENDER | freetype.FT_LOAD_NO_HINTING)
            slot = face.glyph
            bm = slot.bitmap
            if bm.width == 0 or bm.rows == 0:
                continue
            ref = np.array(bm.buffer, dtype=np.int32).reshape(bm.rows, bm.pitch)[:, :bm.width]
            w, h = bm.width + 2 * PAD, bm.rows + 2 * PAD
            ox, oy = slot.bitmap_left - PAD, slot.bitmap_top + PAD
            pen = SegmentPen(glyphset, scale)
            glyphset[order[g]].draw(pen)
            for segments in (cut(pen.segments), pen.segments):
                script.append(f"mask {w} {h}")
                emit(script, segments, ox, oy)
            padded = np.zeros((h, w), dtype=np.int32)
            padded[PAD:PAD + bm.rows, PAD:PAD + bm.width] = ref
            jobs.append((size, g, padded, w, h))

    out = subprocess.run([tool], input="\n".join(script) + "\n", capture_output=True, text=True, check=True)
    masks = out.stdout.split()
    assert len(masks) == 2 * len(jobs), (len(masks), len(jobs))

    name = os.path.basename(path)
    failed = False
    for size in SIZES:
        report = {k: [0, 0.0, 0, 0, (0, -1)] for k in ("ft-exact", "curves-exact", "curves-ft")}
        for i, (job_size, g, ft, w, h) in enumerate(jobs):
            if job_size != size:
                continue
            exact, curves = (np.frombuffer(bytes.fromhex(m), dtype=np.uint8).astype(np.int32).reshape(h, w)
                             for m in masks[2 * i:2 * i + 2])
            for key, (a, b) in (("ft-exact", (ft, exact)), ("curves-exact", (curves, exact)),
                                ("curves-ft", (curves, ft))):
                pixel, mean, total, inked = stats(a, b)
                r = report[key]
                r[0] = max(r[0], pixel)
                r[1] = max(r[1], mean)
                r[2] += total
                r[3] += inked
                r[4] = max(r[4], (pixel, g))
                limit = limits.get(key)
                if limit and (pixel > limit["pixel"] or mean > limit["glyph"]):
                    print(f"{name} {size}px glyph {g} {key}: largest pixel difference {pixel}, mean {mean:.2f}")
                    failed = True
        for key, (pixel, mean, total, inked, worst) in report.items():
            print(f"{name} {size}px {key}: largest pixel difference {pixel} (glyph {worst[1]}), "
                  f"worst glyph mean {mean:.2f}, mean {total / max(inked, 1):.3f}")
        ours, theirs = (report[k][2] / max(report[k][3], 1) for k in ("curves-exact", "ft-exact"))
        if ours > theirs:
            print(f"{name} {size}px: our curves are further from exact coverage than FreeType's")
            failed = True
    return failed


def main():
    build, source = sys.argv[1], sys.argv[2]
    tool = f"{build}/tools/rastertool"
    full = bool(os.environ.get("QM_FULL_SWEEP"))
    failed = False
    for path in FONTS:
        failed |= compare_font(tool, path if path.startswith("/") else os.path.join(source, path), full)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
