"""Glyph masks from our rasteriser agree with FreeType's anti-aliased
renderer on the same outlines.

Outlines come from fontTools (independent of our own font reader), are placed
on FreeType's bitmap grid and handed to build/tools/rastertool; FreeType
renders the same glyphs unhinted.

Two runs: with every curve cut by this script into 16 lines, the masks must
agree closely (both sides then compute exact area coverage, FreeType on a
1/64 pixel grid and with its own curve flattening); with the curves handed to
the rasteriser as the program does, its coarser flattening (a few lines per
curve, up to about 0.3 pixel off the curve) adds differences along curved
edges, mostly at small sizes, and the limits are wider.
"""
import subprocess
import sys

import freetype
import numpy as np
from fontTools.ttLib import TTFont

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
SIZES = (13, 16, 48)
TEXT = ("".join(chr(c) for c in range(33, 127)) + "ÀÉÎÕÜßàéîõüçñø&@€©®§¶«»ŁœŒſƒ∑∫√≈≠≤≥◊")
PAD = 2
# Per run: mean |difference| over all glyph boxes (levels of 255), the same
# for any single glyph, the largest single-pixel difference, and the relative
# difference of a glyph's total coverage.
LIMITS = {
    "lines": dict(mean=2.0, glyph=6.0, pixel=32, ink=0.02),
    "curves": dict(mean=4.0, glyph=13.0, pixel=96, ink=0.07),
}


def flatten(segments, n=16):
    out = []
    for seg in segments:
        if seg[0] == "L":
            out.append(seg)
            continue
        (x0, y0), (x1, y1), (x2, y2) = seg[1:]
        prev = (x0, y0)
        for i in range(1, n + 1):
            t = i / n
            u = 1 - t
            p = (u * u * x0 + 2 * u * t * x1 + t * t * x2, u * u * y0 + 2 * u * t * y1 + t * t * y2)
            out.append(("L", prev, p))
            prev = p
    return out


def mulfix(a, b):
    """FreeType's 16.16 multiply: rounds half away from zero."""
    sign = -1 if (a < 0) != (b < 0) else 1
    return sign * ((abs(a) * abs(b) + 0x8000) >> 16)


def divfix(a, b):
    return (a * 65536 + b // 2) // b


def contour_segments(points):
    """TrueType contour points (x, y, on-curve) to closed line and quadratic
    segments, adding the implied on-curve points between two off-curve ones."""
    n = len(points)
    first = next((i for i, p in enumerate(points) if p[2]), None)
    if first is None:
        a, b = points[0], points[1]
        start = ((a[0] + b[0]) / 2, (a[1] + b[1]) / 2)
        order = points
    else:
        start = points[first][:2]
        order = points[first + 1:] + points[:first + 1]
    segments = []
    current, control = start, None
    for x, y, on in order + ([(start[0], start[1], True)] if first is None else []):
        if on:
            if control is None:
                segments.append(("L", current, (x, y)))
            else:
                segments.append(("Q", current, control, (x, y)))
            current, control = (x, y), None
        elif control is None:
            control = (x, y)
        else:
            mid = ((control[0] + x) / 2, (control[1] + y) / 2)
            segments.append(("Q", current, control, mid))
            current, control = mid, (x, y)
    if control is not None:
        segments.append(("Q", current, control, start))
    return segments


def scaled_outline(glyf, name, scale):
    """A glyph's segments in pixels, its points rounded to 1/64 pixel as
    FreeType scales them."""
    coords, ends, flags = glyf[name].getCoordinates(glyf)
    segments = []
    begin = 0
    for end in ends:
        pts = [(mulfix(int(coords[i][0]), scale) / 64, mulfix(int(coords[i][1]), scale) / 64, bool(flags[i] & 1))
               for i in range(begin, end + 1)]
        begin = end + 1
        if len(pts) >= 2:
            segments += contour_segments(pts)
    return segments


def main():
    build_dir = sys.argv[1]
    tool = f"{build_dir}/tools/rastertool"
    failed = False
    for run, limits in LIMITS.items():
        failed |= compare(tool, run, limits)
    return 1 if failed else 0


def compare(tool, run, limits):
    font = TTFont(FONT)
    glyf = font["glyf"]
    cmap = font.getBestCmap()
    upem = font["head"].unitsPerEm
    names = [cmap[ord(ch)] for ch in TEXT if ord(ch) in cmap]

    face = freetype.Face(FONT)
    jobs = []   # (size, name, freetype mask, mask width, mask height)
    script = []
    for size in SIZES:
        face.set_pixel_sizes(0, size)
        scale = divfix(size * 64, upem)
        for name in names:
            face.load_glyph(font.getGlyphID(name), freetype.FT_LOAD_RENDER | freetype.FT_LOAD_NO_HINTING)
            slot = face.glyph
            bm = slot.bitmap
            if bm.width == 0 or bm.rows == 0:
                continue
            ref = np.array(bm.buffer, dtype=np.int32).reshape(bm.rows, bm.pitch)[:, :bm.width]
            w, h = bm.width + 2 * PAD, bm.rows + 2 * PAD
            ox, oy = slot.bitmap_left - PAD, slot.bitmap_top + PAD
            script.append(f"mask {w} {h}")
            segments = scaled_outline(glyf, name, scale)
            for seg in flatten(segments) if run == "lines" else segments:
                coords = []
                for (x, y) in seg[1:]:
                    coords += [x - ox, oy - y]
                script.append(seg[0] + " " + " ".join(f"{c:.9g}" for c in coords))
            script.append("end")
            padded = np.zeros((h, w), dtype=np.int32)
            padded[PAD:PAD + bm.rows, PAD:PAD + bm.width] = ref
            jobs.append((size, name, padded, w, h))

    out = subprocess.run([tool], input="\n".join(script) + "\n", capture_output=True, text=True, check=True)
    masks = out.stdout.split()
    assert len(masks) == len(jobs), (len(masks), len(jobs))

    failed = False
    for size in SIZES:
        total_diff = 0
        area = 0
        worst = (0.0, "")
        max_pixel = 0
        for (job_size, name, ref, w, h), hexmask in zip(jobs, masks):
            if job_size != size:
                continue
            ours = np.frombuffer(bytes.fromhex(hexmask), dtype=np.uint8).astype(np.int32).reshape(h, w)
            diff = np.abs(ours - ref)
            # Ink we put outside FreeType's box counts against us.
            glyph_area = (w - 2 * PAD) * (h - 2 * PAD)
            glyph_mean = diff.sum() / glyph_area
            total_diff += int(diff.sum())
            area += glyph_area
            max_pixel = max(max_pixel, int(diff.max()))
            if glyph_mean > worst[0]:
                worst = (glyph_mean, name)
            ink_ours, ink_ref = ours.sum(), ref.sum()
            if abs(ink_ours - ink_ref) > limits["ink"] * ink_ref + 255:
                print(f"{run} {size}px {name}: total coverage {ink_ours} against {ink_ref}")
                failed = True
            if glyph_mean > limits["glyph"]:
                print(f"{run} {size}px {name}: mean difference {glyph_mean:.2f}")
                failed = True
        mean = total_diff / max(area, 1)
        print(f"{run} {size}px: {len(names)} glyphs, mean |difference| {mean:.3f} over {area} pixels, "
              f"worst glyph {worst[1]} {worst[0]:.2f}, largest pixel difference {max_pixel}")
        if mean >= limits["mean"] or max_pixel > limits["pixel"]:
            failed = True
    return failed


if __name__ == "__main__":
    sys.exit(main())
