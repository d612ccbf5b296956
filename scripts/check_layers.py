#!/usr/bin/env python3
"""Fails when a source file includes a header of an area its library may not use.

The allowed arrows are read from each area's build file, src/<area>/CMakeLists.txt,
where `qm_area(<area> qm_<dep> ...)` names the areas it links: the build and
this check share one list. An area may use itself and, transitively, every
area it links. Tests, tools, benchmarks and fuzz targets are held to the
areas their own folder names (tests/<area>/ and fuzz/bench see all).
"""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
src = root / "src"

direct = {}
for cm in sorted(src.glob("*/CMakeLists.txt")):
    m = re.search(r"qm_area\(\s*(\w+)([^)]*)\)", cm.read_text())
    if not m:
        continue
    direct[m.group(1)] = re.findall(r"\bqm_(\w+)", m.group(2))


def reach(area, seen=None):
    seen = set() if seen is None else seen
    if area in seen:
        return seen
    seen.add(area)
    for dep in direct.get(area, []):
        if dep in direct:
            reach(dep, seen)
    return seen


include = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/[^"]+"', re.M)
errors = []


def check(path, allowed, who):
    for m in include.finditer(path.read_text(errors="replace")):
        area = m.group(1)
        if area in direct and area not in allowed:
            line = path.read_text(errors="replace")[: m.start()].count("\n") + 1
            errors.append(f"{path.relative_to(root)}:{line}: {who} may not include \"{m.group(0).split(chr(34))[1]}\"")


for area in direct:
    allowed = reach(area)
    for f in (src / area).rglob("*"):
        if f.suffix in (".h", ".cpp", ".c"):
            check(f, allowed, f"area '{area}'")
    tests = root / "tests" / area
    if tests.is_dir():
        for f in tests.rglob("*"):
            if f.suffix in (".h", ".cpp"):
                check(f, allowed, f"tests of '{area}'")

# Cycles would make the arrows meaningless.
for area in direct:
    for dep in direct[area]:
        if dep in direct and area in reach(dep):
            errors.append(f"src/{area}/CMakeLists.txt: areas '{area}' and '{dep}' depend on each other")

for e in errors:
    print(e)
if errors:
    print(f"layering: {len(errors)} forbidden include(s)")
    sys.exit(1)
print(f"layering: {len(direct)} areas, every include allowed")
