"""descriptionSimilarity against difflib.SequenceMatcher(None, a, b,
autojunk=False).ratio() on bytes, to the last bit: small alphabets (many
equal-length blocks, so the tie rules show), every byte value, bank-like
descriptions, and texts of a few kilobytes."""
import difflib
import random
import subprocess
import sys
import time

BUILD = sys.argv[1]
TOOL = BUILD + "/tools/importtool"

WORDS = ["AMAZON", "MKTPLACE", "PMTS", "STARBUCKS", "STORE", "POS", "DEBIT", "CARD", "PURCHASE", "ACH",
         "PAYROLL", "TRANSFER", "ONLINE", "NETFLIX", "COM", "SHELL", "OIL", "WHOLEFDS", "UBER", "TRIP",
         "VENMO", "PAYMENT", "INTEREST", "CHARGE", "CHECK", "#", "*", "-", "1234", "0042", "CA", "NY", "SEATTLE"]


def random_text(rng, alphabet, length):
    return bytes(rng.choice(alphabet) for _ in range(length))


def bank_text(rng):
    return " ".join(rng.choice(WORDS) for _ in range(rng.randint(1, 7))).encode()


def pairs():
    rng = random.Random(2024)
    out = [(b"", b""), (b"", b"A"), (b"A", b""), (b"AB", b"AB")]
    for _ in range(4000):
        alphabet = b"ab"[: rng.randint(1, 2)] if rng.random() < 0.3 else bytes(rng.sample(range(97, 123), rng.randint(2, 5)))
        out.append((random_text(rng, alphabet, rng.randint(0, 60)), random_text(rng, alphabet, rng.randint(0, 60))))
    for _ in range(1000):
        out.append((random_text(rng, range(256), rng.randint(0, 40)), random_text(rng, range(256), rng.randint(0, 40))))
    for _ in range(3000):
        a = bank_text(rng)
        b = bank_text(rng) if rng.random() < 0.5 else a[: rng.randint(0, len(a))] + bank_text(rng)[:8]
        out.append((a, b))
    for _ in range(300):
        alphabet = bytes(rng.sample(range(97, 123), rng.randint(2, 4)))
        out.append((random_text(rng, alphabet, rng.randint(100, 600)), random_text(rng, alphabet, rng.randint(100, 600))))
    for _ in range(12):
        alphabet = bytes(rng.sample(range(65, 91), rng.randint(3, 26)))
        out.append((random_text(rng, alphabet, rng.randint(1500, 3000)), random_text(rng, alphabet, rng.randint(1500, 3000))))
    # Two long texts that share most of their bytes.
    base = random_text(rng, b"abcdefgh", 2500)
    edited = bytearray(base)
    for _ in range(200):
        edited[rng.randrange(len(edited))] = rng.choice(b"abcdefgh")
    out.append((base, bytes(edited)))
    return out


def main():
    cases = pairs()
    started = time.time()
    want = [difflib.SequenceMatcher(None, a, b, autojunk=False).ratio() for a, b in cases]
    print(f"difflib: {len(cases)} pairs in {time.time() - started:.1f} s")
    text = "".join(f"{a.hex()} {b.hex()}\n" for a, b in cases)
    got = [float(x) for x in subprocess.run([TOOL, "similarity"], input=text.encode(), stdout=subprocess.PIPE,
                                            check=True).stdout.decode().split()]
    if len(got) != len(want):
        print(f"{len(got)} results for {len(want)} pairs")
        sys.exit(1)
    bad = [i for i in range(len(want)) if got[i] != want[i]]
    for i in bad[:10]:
        a, b = cases[i]
        print(f"{a[:60]!r} ({len(a)} bytes) vs {b[:60]!r} ({len(b)} bytes): got {got[i]!r}, difflib {want[i]!r}")
    print(f"{len(want) - len(bad)}/{len(want)} pairs agree bit for bit")
    sys.exit(1 if bad else 0)


main()
