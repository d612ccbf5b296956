"""Helpers of the kerning and names oracles: running the dump tool."""
import os
import subprocess

PANGO_DIR = ("third_party", "fonts", "pango")


def dump(build, path):
    """Names, flags, GPOS list sizes and kern pairs as the font reader sees them."""
    tool = os.path.join(build, "tools", "kern_names_dump")
    lines = subprocess.run([tool, path], check=True, capture_output=True, text=True).stdout.split("\n")
    info = {}
    for key in ("family", "subfamily", "full", "bold", "italic"):
        line = lines.pop(0)
        assert line.startswith(key + " "), line
        info[key] = line[len(key) + 1:]
    _, subtables, lookups = lines.pop(0).split()
    info["gpos"] = (int(subtables), int(lookups))
    count = int(lines.pop(0).split()[1])
    info["kern"] = {}
    for line in lines[:count]:
        left, right, value = line.split()
        info["kern"][(int(left), int(right))] = float(value)
    return info


def kerning(build, path, pairs):
    """The reader's kerning for each (left, right) pair."""
    tool = os.path.join(build, "tools", "kern_names_dump")
    text = "".join(f"{left} {right}\n" for left, right in pairs)
    out = subprocess.run([tool, path, "pairs"], input=text, check=True, capture_output=True, text=True).stdout
    return [float(v) for v in out.split()]
