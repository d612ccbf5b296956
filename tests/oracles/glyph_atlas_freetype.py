"""The glyph atlas's bitmaps, made from our own font reader's outlines (cubic
CFF curves split into quadratics), agree with FreeType's unhinted smooth
rendering of the same glyphs: DejaVu Sans (TrueType) and Cantarell (CFF) at
13, 16 and 48 pixels, within the rasteriser's limits for curved outlines.
The advance widths must match FreeType's unhinted advances too."""
import subprocess
import sys

import freetype
import numpy as np

FONTS = ("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
         "/usr/share/fonts/opentype/cantarell/Cantarell-Regular.otf")
SIZES = (13, 16, 48)
TEXT = "".join(chr(c) for c in range(33, 127)) + "ÀÉÎÕÜßàéîõüçñø&@€©®§¶«»Łœ"
# Mean |difference| (levels of 255) over all glyph boxes, for any one glyph,
# the largest single pixel, and the relative difference of total coverage.
LIMITS = dict(mean=4.0, glyph=13.0, pixel=96, ink=0.07)


def freetype_bitmap(face, cp):
    face.load_char(chr(cp), freetype.FT_LOAD_RENDER | freetype.FT_LOAD_NO_HINTING)
    slot = face.glyph
    bm = slot.bitmap
    advance = slot.linearHoriAdvance / 65536.0
    if bm.width == 0 or bm.rows == 0:
        return None, advance
    ref = np.array(bm.buffer, dtype=np.int32).reshape(bm.rows, bm.pitch)[:, :bm.width]
    return (ref, slot.bitmap_left, -slot.bitmap_top), advance


def compare_font(tool, path):
    codepoints = [ord(c) for c in TEXT]
    out = subprocess.run([tool, path, ",".join(map(str, SIZES))], input="\n".join(map(str, codepoints)) + "\n",
                         capture_output=True, text=True, check=True).stdout.splitlines()
    ours = {}
    for line in out:
        cp, size, w, h, xo, yo, adv, hexbytes = line.split()
        mask = None
        if hexbytes != "-":
            mask = np.frombuffer(bytes.fromhex(hexbytes), dtype=np.uint8).astype(np.int32).reshape(int(h), int(w))
        ours[(int(cp), int(size))] = (mask, int(float(xo)), int(float(yo)), float(adv))

    face = freetype.Face(path)
    failed = False
    for size in SIZES:
        face.set_pixel_sizes(0, size)
        total, area, max_pixel, worst = 0, 0, 0, (0.0, "")
        for cp in codepoints:
            if face.get_char_index(cp) == 0:
                continue
            ref, ref_adv = freetype_bitmap(face, cp)
            mask, xo, yo, adv = ours[(cp, size)]
            if abs(adv - ref_adv) > 0.02:
                print(f"{path} {size}px U+{cp:04X}: advance {adv} against {ref_adv}")
                failed = True
            if ref is None:
                if mask is not None and mask.sum() > 0:
                    print(f"{path} {size}px U+{cp:04X}: ink where FreeType has none")
                    failed = True
                continue
            ref_mask, rx, ry = ref
            if mask is None:
                mask, xo, yo = np.zeros((1, 1), dtype=np.int32), rx, ry
            left, top = min(xo, rx), min(yo, ry)
            right = max(xo + mask.shape[1], rx + ref_mask.shape[1])
            bottom = max(yo + mask.shape[0], ry + ref_mask.shape[0])
            a = np.zeros((bottom - top, right - left), dtype=np.int32)
            b = np.zeros_like(a)
            a[yo - top:yo - top + mask.shape[0], xo - left:xo - left + mask.shape[1]] = mask
            b[ry - top:ry - top + ref_mask.shape[0], rx - left:rx - left + ref_mask.shape[1]] = ref_mask
            diff = np.abs(a - b)
            glyph_area = ref_mask.size
            glyph_mean = diff.sum() / glyph_area
            total += int(diff.sum())
            area += glyph_area
            max_pixel = max(max_pixel, int(diff.max()))
            if glyph_mean > worst[0]:
                worst = (glyph_mean, chr(cp))
            if abs(a.sum() - b.sum()) > LIMITS["ink"] * b.sum() + 255 or glyph_mean > LIMITS["glyph"]:
                print(f"{path} {size}px U+{cp:04X}: mean difference {glyph_mean:.2f}, ink {a.sum()} against {b.sum()}")
                failed = True
        mean = total / max(area, 1)
        print(f"{path.rsplit('/', 1)[1]} {size}px: mean |difference| {mean:.3f}, worst glyph {worst[1]!r} "
              f"{worst[0]:.2f}, largest pixel difference {max_pixel}")
        if mean >= LIMITS["mean"] or max_pixel > LIMITS["pixel"]:
            failed = True
    return failed


def main():
    tool = f"{sys.argv[1]}/tools/glyph_bitmaps"
    failed = False
    for path in FONTS:
        failed |= compare_font(tool, path)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
