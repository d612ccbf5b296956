"""Kerning from kern tables (DejaVu Sans, Liberation Sans, and the CFF fonts
FreeSans and FreeSerif, which must then ignore their GPOS) against fontTools'
kern table and FreeType's unscaled kerning."""
import ctypes
import random
import sys

import freetype
from fontTools.ttLib import TTFont

from _kern_common import dump, kerning

BUILD = sys.argv[1]
FONTS = ["/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
         "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
         "/usr/share/fonts/opentype/freefont/FreeSans.otf",
         "/usr/share/fonts/opentype/freefont/FreeSerif.otf"]


def fonttools_pairs(font):
    ids = {name: i for i, name in enumerate(font.getGlyphOrder())}
    pairs = {}
    for sub in font["kern"].kernTables:
        if getattr(sub, "format", None) == 0 and sub.coverage & 1:
            for (left, right), value in sub.kernTable.items():
                pairs[(ids[left], ids[right])] = float(value)
    return pairs


def main():
    failures = []
    rnd = random.Random(5)
    for path in FONTS:
        font = TTFont(path)
        expected = fonttools_pairs(font)
        info = dump(BUILD, path)
        if info["gpos"] != (0, 0):
            failures.append(f"{path}: GPOS lists {info['gpos']} despite kern pairs")
        if info["kern"] != expected:
            diff = set(info["kern"].items()) ^ set(expected.items())
            failures.append(f"{path}: {len(info['kern'])} pairs, fontTools {len(expected)}; e.g. {sorted(diff)[:5]}")
        # FreeType on every pair of the table and on as many pairs outside it.
        n = len(font.getGlyphOrder())
        pairs = sorted(expected) + [(rnd.randrange(n), rnd.randrange(n)) for _ in range(len(expected))]
        ours = kerning(BUILD, path, pairs)
        face = freetype.Face(path)
        wrong = 0
        vector = freetype.FT_Vector(0, 0)
        for (left, right), value in zip(pairs, ours):
            # By glyph index: the binding's get_kerning takes characters.
            freetype.raw.FT_Get_Kerning(face._FT_Face, left, right, freetype.FT_KERNING_UNSCALED, ctypes.byref(vector))
            ft = vector.x
            if ft != value:
                wrong += 1
                if wrong <= 5:
                    failures.append(f"{path}: pair {left} {right} kerns {value}, FreeType {ft}")
        print(f"{path}: {len(expected)} pairs, {len(pairs)} checked with FreeType, {wrong} differ")
    for line in failures:
        print(line)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
