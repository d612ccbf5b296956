"""The JSON reader and writer against Python's json: random trees written in
several styles read back equal and are written strict and compact; mutated
texts are accepted or refused as Python's strict reader does."""
import json
import math
import os
import random
import re
import subprocess
import sys

TOOL = sys.argv[1] + "/tools/modeltool"
rng = random.Random(5)
STRINGS = re.compile(r'"(?:[^"\\]|\\.)*"')


def refuse(name):
    raise ValueError("non-finite " + name)


def tree(depth=0):
    k = rng.random()
    if depth < 4 and k < 0.25:
        return [tree(depth + 1) for _ in range(rng.randint(0, 4))]
    if depth < 4 and k < 0.5:
        return {text(): tree(depth + 1) for _ in range(rng.randint(0, 4))}
    return rng.choice([
        lambda: None, lambda: rng.choice([True, False]), lambda: rng.randint(-10**6, 10**6),
        lambda: rng.randint(-2**63, 2**64 - 1), lambda: rng.uniform(-1e6, 1e6),
        lambda: rng.uniform(-1, 1) * 10 ** rng.randint(-320, 308), lambda: float(rng.randint(-99, 99)),
        lambda: -0.0, lambda: 5e-324, lambda: 1.7976931348623157e308, text,
    ])()


def text():
    alphabet = "ab \"\\/\b\f\n\r\t\u0001\u001f\u007f\u00e9\u2028\u20ac\U0001F600{}[]:,"
    return "".join(rng.choice(alphabet) for _ in range(rng.randint(0, 8)))


def same(a, b):
    """Equal, with floats equal bit for bit and integers kept apart from floats."""
    if type(a) is not type(b):
        return False
    if isinstance(a, float):
        return a == b and math.copysign(1, a) == math.copysign(1, b)
    if isinstance(a, list):
        return len(a) == len(b) and all(same(x, y) for x, y in zip(a, b))
    if isinstance(a, dict):
        return list(a) == list(b) and all(same(a[k], b[k]) for k in a)
    return a == b


trees = [tree() for _ in range(20000)]
lines = [json.dumps(t, ensure_ascii=rng.random() < 0.5,
                    separators=rng.choice([(",", ":"), (", ", ": "), (" ,\t", " :\r")])) for t in trees]
got = subprocess.run([TOOL, "json"], input="\n".join(lines).encode() + b"\n", stdout=subprocess.PIPE,
                     check=True).stdout.decode().split("\n")[:-1]
bad = 0
for t, line, out in zip(trees, lines, got):
    try:
        back = json.loads(out, parse_constant=refuse)
        ok = same(back, t) and not re.search(r"\s", STRINGS.sub("", out))
    except ValueError:
        ok = False
    if not ok:
        bad += 1
        if bad <= 5:
            print(f"tree {line!a} written as {out!a}")
bad += abs(len(got) - len(trees))
print(f"trees: {len(trees) - bad}/{len(trees)} read back equal, strict and compact")

# Acceptance of mutated texts: Python's strict reader (NaN and Infinity
# refused) decides. Control characters are kept out of the lines, which
# carry one text each.
def mutate(s):
    s = list(s)
    for _ in range(rng.randint(1, 3)):
        i = rng.randint(0, len(s))
        op = rng.random()
        piece = rng.choice(list("{}[]:,\"\\ 0123456789-+.eEtrufalsn") + ["NaN", "Infinity", "\\u", "1e999"])
        if op < 0.4 and s:
            del s[min(i, len(s) - 1)]
        elif op < 0.8:
            s.insert(i, piece)
        elif s:
            s[min(i, len(s) - 1)] = piece
    return "".join(s)


def as_written(v):
    """What the program keeps of a value Python read: integers beyond 64 bits
    are floats, and a number too large for a double is written as null."""
    if isinstance(v, list):
        return [as_written(x) for x in v]
    if isinstance(v, dict):
        return {k: as_written(x) for k, x in v.items()}
    if type(v) is int and not -2**63 <= v < 2**64:
        try:
            v = float(v)
        except OverflowError:
            return None
    if isinstance(v, float) and not math.isfinite(v):
        return None
    return v


texts = [mutate(json.dumps(tree(2), ensure_ascii=False).replace("\n", " ")) for _ in range(100000)]
texts = [t for t in texts if "\n" not in t and "\r" not in t]
got = subprocess.run([TOOL, "json"], input="\n".join(texts).encode("utf-8", "surrogatepass") + b"\n",
                     stdout=subprocess.PIPE, check=True).stdout.decode().split("\n")[:-1]
mismatch = 0
for t, out in zip(texts, got):
    try:
        want = json.loads(t, parse_constant=refuse)
    except (ValueError, RecursionError):
        want = "error"
    if want == "error":
        ok = out == "error"
    else:
        ok = out != "error" and same(json.loads(out, parse_constant=refuse), as_written(want))
    if not ok:
        mismatch += 1
        if mismatch <= 10:
            print(f"text {t!a}: program {out!a}, Python {'error' if want == 'error' else 'accepts'}")
mismatch += abs(len(got) - len(texts))
print(f"mutated texts: {len(texts) - mismatch}/{len(texts)} agree")
sys.exit(1 if bad or mismatch else 0)
