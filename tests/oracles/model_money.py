"""Money rounding, formatting and parsing against Python's decimal (the exact
value of each double, ROUND_HALF_UP) and float(), on a large random sample and
every x.xx5 amount below 10,000; category colours against Java's String.hashCode."""
import decimal
import os
import random
import struct
import subprocess
import sys
from decimal import Decimal, ROUND_HALF_UP

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from _modelref import float_text  # noqa: E402

TOOL = sys.argv[1] + "/tools/modeltool"
decimal.getcontext().prec = 200
failures = 0


def run(args, text):
    return subprocess.run([TOOL] + args, input=text.encode(), stdout=subprocess.PIPE,
                          check=True).stdout.decode().split("\n")[:-1]


def compare(name, got, want, inputs):
    global failures
    if len(got) != len(want):
        print(f"{name}: {len(got)} lines, expected {len(want)}")
        failures += 1
        return
    bad = [i for i in range(len(want)) if got[i] != want[i]]
    for i in bad[:10]:
        print(f"{name} for {inputs[i]!r}: got {got[i]!r}, expected {want[i]!r}")
    failures += bool(bad)
    print(f"{name}: {len(want) - len(bad)}/{len(want)} agree")


def half_up(d):
    return int(d.to_integral_value(rounding=ROUND_HALF_UP))


def expect(x):
    cents = half_up(Decimal(x).scaleb(2))
    a = abs(x)
    ac = half_up(Decimal(a).scaleb(2))
    amount = f"{ac // 100:,}.{ac % 100:02d}"
    plain = f"{ac // 100}.{ac % 100:02d}"
    if a >= 10000:
        compact = f"{half_up(Decimal(a).scaleb(-3))}k"
    elif a >= 1000:
        t = half_up(Decimal(a).scaleb(-2))
        compact = f"{t // 10}.{t % 10}k"
    else:
        compact = str(half_up(Decimal(a)))
    neg = x < -0.004999
    return [float(cents) / 100, amount, plain, ("-$" if neg else "$") + amount,
            ("\u2212$" if neg else "+$") + amount, ("\u2212$" if x < -0.5 else "$") + compact]


rng = random.Random(99)
values = [k / 1000 for k in range(5, 10_000_000, 10)]  # every x.xx5 below 10,000
values += [-v for v in values[::7]]
for _ in range(300_000):
    kind = rng.random()
    if kind < 0.3:
        x = round(rng.uniform(-1e6, 1e6), rng.randint(0, 4))
    elif kind < 0.6:
        x = rng.randint(-10**9, 10**9) / rng.choice([100, 1000, 10000, 200, 8])
    elif kind < 0.9:
        x = rng.uniform(-1, 1) * 10 ** rng.uniform(-4, 14)
    else:  # arbitrary bit patterns of moderate magnitude
        x = struct.unpack("<d", struct.pack("<Q", rng.getrandbits(64)))[0]
        if not (abs(x) < 1e15):
            continue
    values.append(x)

inputs = [repr(v) for v in values]
got = run(["money"], "\n".join(inputs) + "\n")
want, gotn = [], []
for x, line in zip(values, got):
    e = expect(x)
    parts = line.split("\t")
    # roundCents is compared as a number; its text form is the tool's.
    gotn.append("\t".join([repr(float(parts[0]))] + parts[1:]) if len(parts) == 6 else line)
    want.append("\t".join([repr(e[0])] + e[1:]))
compare("roundCents/formatters", gotn + got[len(values):], want, inputs)

# parseMoney: Python's float() on what is left after the removals, refusing
# blanks inside, non-ASCII text, NaN and magnitudes from 1e12.
def expect_parse(s):
    t = s.strip(" \t\n\v\f\r").replace(",", "").replace("$", "").replace("\u2212", "-")
    v = float_text(t)
    if v is None or v != v or not abs(v) < 1e12:
        return "fail"
    return "ok " + repr(v)


tokens = list("0123456789") * 4 + [".", "_", "e", "E", "+", "-", "$", ",", " ", "\t", "\u2212",
                                    "inf", "nan", "Infinity", "x", "0x", "\u0661", "1e12", "999"]
texts = []
for _ in range(100_000):
    texts.append("".join(rng.choice(tokens) for _ in range(rng.randint(0, 9))))
got = run(["parsemoney"], "\n".join(texts) + "\n")
norm = []
for line in got:  # numbers compared by value, texts as they stand
    norm.append("ok " + repr(float(line[3:])) if line.startswith("ok ") else line)
compare("parseMoney", norm, [expect_parse(t) for t in texts], texts)


def java_hash(s):
    h = 0
    for ch in s:
        h = (31 * h + ord(ch)) & 0xFFFFFFFF
    return h - (1 << 32) if h >= 1 << 31 else h  # Java's int


PALETTE = ["#378450", "#ad6351", "#ad7b3d", "#4378ad", "#2e828b",
           "#8160a5", "#a55d96", "#368c74", "#657b3d", "#868d95"]
names = ["".join(chr(rng.randint(32, 126)) for _ in range(rng.randint(0, 40))) for _ in range(20000)]
names += ["Pets", "Kids", "", "Groceries"]
compare("category colours", run(["colors"], "\n".join(names) + "\n"),
        [PALETTE[(java_hash(n) & 0xFFFFFFFF) % 10] for n in names], names)

sys.exit(1 if failures else 0)
