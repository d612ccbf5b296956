"""GPOS pair kerning of CFF fonts against a small evaluator of the "kern"
feature written on fontTools' parsed tables. Cantarell has no kern feature;
FreeSans and FreeSerif have one, and are used with their kern table removed
so that the reader falls back to GPOS."""
import os
import random
import sys
import tempfile

from fontTools.ttLib import TTFont

from _kern_common import PANGO_DIR, dump, kerning

BUILD, SOURCE = sys.argv[1], sys.argv[2]


class Evaluator:
    """Sums, over the lookups of every "kern" feature, the XAdvance of the
    first glyph's value from the first subtable that holds the pair. A
    format 2 subtable holds every pair whose first glyph it covers."""

    def __init__(self, font):
        self.ids = {name: i for i, name in enumerate(font.getGlyphOrder())}
        self.lookups = []
        if "GPOS" not in font:
            return
        table = font["GPOS"].table
        indices = []
        for record in table.FeatureList.FeatureRecord:
            if record.FeatureTag == "kern":
                indices += [i for i in record.Feature.LookupListIndex if i not in indices]
        for i in indices:
            lookup = table.LookupList.Lookup[i]
            subtables = []
            for sub in lookup.SubTable:
                if lookup.LookupType == 9:
                    if sub.ExtensionLookupType != 2:
                        continue
                    sub = sub.ExtSubTable
                elif lookup.LookupType != 2:
                    continue
                subtables.append(self.compile(sub))
            self.lookups.append(subtables)

    def compile(self, sub):
        ids = self.ids
        covered = {ids[g]: n for n, g in enumerate(sub.Coverage.glyphs)}
        if sub.Format == 1:
            pairs = {}
            for first, n in covered.items():
                if n < len(sub.PairSet):
                    for rec in sub.PairSet[n].PairValueRecord:
                        pairs.setdefault((first, ids[rec.SecondGlyph]), advance(rec.Value1))
            return ("pairs", pairs, set(covered))
        classes1 = {ids[g]: c for g, c in sub.ClassDef1.classDefs.items()}
        classes2 = {ids[g]: c for g, c in sub.ClassDef2.classDefs.items()}
        matrix = [[advance(r.Value1) for r in row.Class2Record] for row in sub.Class1Record]
        return ("classes", covered, classes1, classes2, matrix)

    def value(self, left, right):
        total = 0
        for subtables in self.lookups:
            for sub in subtables:
                if sub[0] == "pairs":
                    if (left, right) in sub[1]:
                        total += sub[1][(left, right)]
                        break
                else:
                    _, covered, classes1, classes2, matrix = sub
                    if left in covered:
                        c1, c2 = classes1.get(left, 0), classes2.get(right, 0)
                        if c1 < len(matrix) and c2 < len(matrix[c1]):
                            total += matrix[c1][c2]
                            break
        return float(total)

    def glyphs(self):
        """Glyphs that take part in some pair, as (lefts, rights)."""
        lefts, rights = set(), set()
        for subtables in self.lookups:
            for sub in subtables:
                if sub[0] == "pairs":
                    lefts |= {l for l, _ in sub[1]}
                    rights |= {r for _, r in sub[1]}
                else:
                    lefts |= set(sub[1])
                    rights |= set(sub[3])
        return sorted(lefts), sorted(rights)


def advance(value):
    return getattr(value, "XAdvance", 0) or 0 if value is not None else 0


def main():
    rnd = random.Random(11)
    tmp = tempfile.mkdtemp()
    cantarell = "/usr/share/fonts/opentype/cantarell"
    fonts = [os.path.join(cantarell, f) for f in sorted(os.listdir(cantarell)) if f.endswith(".otf")]
    fonts.append(os.path.join(SOURCE, *PANGO_DIR, "Cantarell-VF.otf"))
    for name in ("FreeSans", "FreeSerif"):
        font = TTFont(f"/usr/share/fonts/opentype/freefont/{name}.otf")
        del font["kern"]
        fonts.append(os.path.join(tmp, f"{name}-gpos.otf"))
        font.save(fonts[-1])
    failures = []
    for path in fonts:
        font = TTFont(path)
        evaluator = Evaluator(font)
        info = dump(BUILD, path)
        if info["gpos"][1] != len(evaluator.lookups):
            failures.append(f"{path}: {info['gpos'][1]} kern lookups, expected {len(evaluator.lookups)}")
        n = len(font.getGlyphOrder())
        lefts, rights = evaluator.glyphs()
        pairs = [(rnd.choice(lefts), rnd.choice(rights)) for _ in range(40000)] if lefts else []
        pairs += [(rnd.randrange(n), rnd.randrange(n)) for _ in range(5000)]
        ours = kerning(BUILD, path, pairs)
        wrong = [(p, v, evaluator.value(*p)) for p, v in zip(pairs, ours) if v != evaluator.value(*p)]
        nonzero = sum(1 for v in ours if v)
        print(f"{os.path.basename(path)}: {len(evaluator.lookups)} kern lookups, {len(pairs)} pairs "
              f"({nonzero} kerned), {len(wrong)} differ")
        failures += [f"{path}: pair {p} kerns {v}, expected {e}" for p, v, e in wrong[:5]]
    for f in os.listdir(tmp):
        os.remove(os.path.join(tmp, f))
    os.rmdir(tmp)
    for line in failures:
        print(line)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
