"""Names and bold/italic flags of every font the CFF and kerning oracles use,
against a ranking of fontTools' name records written here: Windows US
English first, then other Windows Unicode names and Unicode-platform names,
then Macintosh Roman; the first of equal rank wins."""
import os
import sys

from fontTools.ttLib import TTFont

from _kern_common import PANGO_DIR, dump

BUILD, SOURCE = sys.argv[1], sys.argv[2]


def rank(record):
    if record.platformID == 3 and record.platEncID in (1, 10):
        return 3 if record.langID == 0x409 else 2
    if record.platformID == 0:
        return 2
    if record.platformID == 1 and record.platEncID == 0:
        return 1
    return 0


def text(record):
    if record.platformID == 1:
        return record.string.decode("mac_roman")
    return record.string.decode("utf_16_be", errors="replace")


def expected(font):
    if "name" not in font:
        return {"family": "", "subfamily": "", "full": "", "bold": "0", "italic": "0"}
    best = {}
    for record in font["name"].names:
        if record.nameID in (1, 2, 4) and rank(record) and text(record):
            if rank(record) > best.get(record.nameID, (0, ""))[0]:
                best[record.nameID] = (rank(record), text(record))
    family = best.get(1, (0, ""))[1]
    bold = italic = False
    if "OS/2" in font:
        fs = font["OS/2"].fsSelection
        bold, italic = bool(fs & 0x20), bool(fs & 1)
    mac = font["head"].macStyle
    bold, italic = bold or bool(mac & 1), italic or bool(mac & 2)
    return {"family": family, "subfamily": best.get(2, (0, ""))[1], "full": best.get(4, (0, family))[1],
            "bold": str(int(bold)), "italic": str(int(italic))}


def main():
    dirs = ["/usr/share/fonts/opentype/cantarell", "/usr/share/fonts/opentype/freefont"]
    fonts = [os.path.join(d, f) for d in dirs for f in sorted(os.listdir(d)) if f.endswith(".otf")]
    fonts += [os.path.join(SOURCE, *PANGO_DIR, f) for f in ("Cantarell-VF.otf", "noto-sans-cjk.ttf")]
    fonts += ["/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
              "/usr/share/fonts/truetype/dejavu/DejaVuSerif-BoldItalic.ttf",
              "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
              "/usr/share/fonts/truetype/liberation2/LiberationSerif-Italic.ttf"]
    failures = []
    for path in fonts:
        want = expected(TTFont(path))
        got = dump(BUILD, path)
        for key, value in want.items():
            if got[key] != value:
                failures.append(f"{os.path.basename(path)}: {key} {got[key]!r}, expected {value!r}")
        print(f"{os.path.basename(path)}: {got['full']!r} bold {got['bold']} italic {got['italic']}")
    for line in failures:
        print(line)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
