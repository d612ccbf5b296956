"""Shared by the font oracle scripts: the fonts they read and the font reader's
dump of them (tests/tools/font_dump.cpp)."""
import os
import subprocess
import sys
import tempfile

SYSTEM_FONTS = [
    ("DejaVu Sans", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 0),
    ("Liberation Sans", "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf", 0),
    ("WenQuanYi Micro Hei", "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc", 0),
    ("WenQuanYi Micro Hei Mono", "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc", 1),
]
PLEX = ["IBMPlexSans-Regular", "IBMPlexSans-Medium", "IBMPlexSans-SemiBold", "IBMPlexSans-Bold",
        "IBMPlexMono-Regular", "IBMPlexMono-SemiBold"]


def all_fonts(source_dir):
    fonts = list(SYSTEM_FONTS)
    for name in PLEX:
        fonts.append((name, os.path.join(source_dir, "third_party", "fonts", name + ".woff"), 0))
    for label, path, _ in fonts:
        if not os.path.exists(path):
            sys.exit(f"missing test font {label}: {path} (run scripts/setup)")
    return fonts


def tool(build_dir):
    return os.path.join(build_dir, "tools", "font_dump")


class Dump:
    def __init__(self):
        self.metrics = None
        self.cmap = {}
        self.glyphs = []  # (advance, lsb, bounds, contours of (x, y, on))


def dump(build_dir, path, face):
    with tempfile.NamedTemporaryFile(suffix=".txt") as out:
        subprocess.run([tool(build_dir), path, str(face), out.name], check=True)
        d = Dump()
        current = None
        with open(out.name) as f:
            for line in f:
                kind, _, rest = line.partition(" ")
                if kind == "c":
                    pts = []
                    for item in rest.split():
                        x, y, on = item.split(",")
                        pts.append((float(x), float(y), int(on)))
                    current[3].append(pts)
                elif kind == "glyph":
                    v = rest.split()
                    current = (float(v[1]), float(v[2]), tuple(float(a) for a in v[3:7]), [])
                    d.glyphs.append(current)
                elif kind == "cmap":
                    c, g = rest.split()
                    d.cmap[int(c)] = int(g)
                elif kind == "metrics":
                    v = rest.split()
                    d.metrics = tuple(float(a) for a in v[:4]) + (int(v[4]), int(v[5]))
        return d


class Failures:
    def __init__(self, limit=20):
        self.count = 0
        self.limit = limit

    def __call__(self, message):
        self.count += 1
        if self.count <= self.limit:
            print("MISMATCH", message)

    def finish(self, what):
        if self.count:
            print(f"{what}: {self.count} mismatches")
            sys.exit(1)
        print(f"{what}: all equal")
