"""The glyph atlas's bitmaps, made from our own font reader's outlines, agree
with FreeType's unhinted smooth rendering of the same glyphs, glyph by glyph:
DejaVu Sans and Liberation Serif (TrueType), Cantarell (CFF) and the built-in
Plex fonts (WOFF) at 13, 16 and 40 pixels.

Both sides flatten curves to within 1/16 pixel and compute exact area
coverage, so where they differ it is by about what FreeType's own flattening
differs from exact coverage (see raster_freetype.py): per glyph at most 32
levels of 255 at any pixel and a mean of 3 to 4 over its box (5 x 5 at least).
Advance widths must match FreeType's unhinted advances too.

CI checks a fixed sample of each font's glyphs (every glyph of the text the
program shows most, plus a stride through the rest); QM_FULL_SWEEP=1 checks
every glyph of every font.
"""
import os
import subprocess
import sys

import freetype
import numpy as np

FONTS = ("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
         "/usr/share/fonts/truetype/liberation2/LiberationSerif-Regular.ttf",
         "/usr/share/fonts/opentype/cantarell/Cantarell-Regular.otf",
         "third_party/fonts/IBMPlexSans-Regular.woff",
         "third_party/fonts/IBMPlexSans-Medium.woff",
         "third_party/fonts/IBMPlexSans-SemiBold.woff",
         "third_party/fonts/IBMPlexSans-Bold.woff",
         "third_party/fonts/IBMPlexMono-Regular.woff",
         "third_party/fonts/IBMPlexMono-SemiBold.woff")
SIZES = (13, 16, 40)
TEXT = "".join(chr(c) for c in range(33, 127)) + "ÀÉÎÕÜßàéîõüçñø&@€©®§¶«»Łœ"
# Per glyph: the largest single-pixel difference, and the mean difference over
# the glyph's box (levels of 255). Over all glyphs of a font and size: the
# mean again, and the relative difference of total coverage. FreeType cuts
# cubic curves coarser than quadratic ones (up to 44 levels from exact
# coverage on Cantarell, against about 30 on the TrueType fonts), so CFF fonts
# get that much more room.
LIMITS = dict(pixel=32, glyph=4.0, mean=1.0, ink=0.01)
CFF_LIMITS = dict(pixel=40, glyph=4.0, mean=1.2, ink=0.01)
SAMPLE_STRIDE = 7


def sample(face, full):
    glyphs = set(range(face.num_glyphs)) if full else set(range(0, face.num_glyphs, SAMPLE_STRIDE))
    for ch in TEXT:
        g = face.get_char_index(ord(ch))
        if g:
            glyphs.add(g)
    return sorted(glyphs)


def ours_for(tool, path, glyphs):
    out = subprocess.run([tool, path, ",".join(map(str, SIZES)), "glyphs"],
                         input="\n".join(map(str, glyphs)) + "\n", capture_output=True, text=True,
                         check=True).stdout.splitlines()
    ours = {}
    for line in out:
        g, size, w, h, xo, yo, adv, hexbytes = line.split()
        mask = None
        if hexbytes != "-":
            mask = np.frombuffer(bytes.fromhex(hexbytes), dtype=np.uint8).astype(np.int32).reshape(int(h), int(w))
        ours[(int(g), int(size))] = (mask, int(float(xo)), int(float(yo)), float(adv))
    return ours


def freetype_bitmap(face, glyph):
    face.load_glyph(glyph, freetype.FT_LOAD_RENDER | freetype.FT_LOAD_NO_HINTING)
    slot = face.glyph
    bm = slot.bitmap
    advance = slot.linearHoriAdvance / 65536.0
    if bm.width == 0 or bm.rows == 0:
        return None, advance
    ref = np.array(bm.buffer, dtype=np.int32).reshape(bm.rows, bm.pitch)[:, :bm.width]
    return (ref, slot.bitmap_left, -slot.bitmap_top), advance


def aligned(mask, xo, yo, ref_mask, rx, ry):
    left, top = min(xo, rx), min(yo, ry)
    right = max(xo + mask.shape[1], rx + ref_mask.shape[1])
    bottom = max(yo + mask.shape[0], ry + ref_mask.shape[0])
    a = np.zeros((bottom - top, right - left), dtype=np.int32)
    b = np.zeros_like(a)
    a[yo - top:yo - top + mask.shape[0], xo - left:xo - left + mask.shape[1]] = mask
    b[ry - top:ry - top + ref_mask.shape[0], rx - left:rx - left + ref_mask.shape[1]] = ref_mask
    return a, b


def compare_font(tool, path, full):
    face = freetype.Face(path)
    limits = CFF_LIMITS if path.endswith(".otf") else LIMITS
    glyphs = sample(face, full)
    ours = ours_for(tool, path, glyphs)
    name = os.path.basename(path)
    failed = False
    for size in SIZES:
        face.set_pixel_sizes(0, size)
        total, area, ink_ours, ink_ref = 0, 0, 0, 0
        worst_pixel, worst_mean = (0, -1), (0.0, -1)
        for g in glyphs:
            ref, ref_adv = freetype_bitmap(face, g)
            mask, xo, yo, adv = ours[(g, size)]
            if abs(adv - ref_adv) > 0.02:
                print(f"{name} {size}px glyph {g}: advance {adv} against {ref_adv}")
                failed = True
            if ref is None and mask is None:
                continue
            ref_mask, rx, ry = ref if ref is not None else (np.zeros((1, 1), dtype=np.int32), xo, yo)
            if mask is None:
                mask, xo, yo = np.zeros((1, 1), dtype=np.int32), rx, ry
            a, b = aligned(mask, xo, yo, ref_mask, rx, ry)
            diff = np.abs(a - b)
            inked = max(a.size, 25)  # the union of both boxes, at least 5 x 5
            glyph_sum, glyph_max = int(diff.sum()), int(diff.max())
            glyph_mean = glyph_sum / max(inked, 1)
            total += glyph_sum
            area += inked
            ink_ours += int(a.sum())
            ink_ref += int(b.sum())
            worst_pixel = max(worst_pixel, (glyph_max, g))
            worst_mean = max(worst_mean, (glyph_mean, g))
            if glyph_max > limits["pixel"] or glyph_mean > limits["glyph"]:
                print(f"{name} {size}px glyph {g}: largest pixel difference {glyph_max}, mean {glyph_mean:.2f}")
                failed = True
        mean = total / max(area, 1)
        ink = abs(ink_ours - ink_ref) / max(ink_ref, 1)
        print(f"{name} {size}px: {len(glyphs)} glyphs, mean |difference| {mean:.3f}, ink {ink * 100:.2f} %, "
              f"largest pixel difference {worst_pixel[0]} (glyph {worst_pixel[1]}), "
              f"worst glyph mean {worst_mean[0]:.2f} (glyph {worst_mean[1]})")
        if mean > limits["mean"] or ink > limits["ink"]:
            failed = True
    return failed


def main():
    build, source = sys.argv[1], sys.argv[2]
    tool = f"{build}/tools/glyph_bitmaps"
    full = bool(os.environ.get("QM_FULL_SWEEP"))
    failed = False
    for path in FONTS:
        failed |= compare_font(tool, path if path.startswith("/") else os.path.join(source, path), full)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
