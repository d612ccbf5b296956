"""Ed25519 verification against independent signers and an arithmetic model.

- RFC 8032 section 7.1 vectors and every line of sign.input verify true, and
  false once one bit of the message, key or signature is flipped.
- Random messages signed by libsodium (python3-nacl) and by openssl verify true.
- Crafted inputs (non-canonical S and encodings, keys off the curve, small-order
  and mixed-order points, garbage) get exactly the verdict of a plain
  big-integer model of the verification rules: decode A and R strictly, then
  [S]B == R + [k]A without the cofactor.
"""
import hashlib
import os
import random
import subprocess
import sys
import tempfile

import nacl.signing

build = sys.argv[1]
tool = os.path.join(build, "tools", "crypto_tool")
vectors = "/usr/lib/python3/dist-packages/cryptography_vectors/asymmetric/Ed25519/sign.input"
rng = random.Random(8032)
failures = 0


def verify_all(cases):
    """cases: (message, signature, key) byte strings -> list of bools."""
    def h(b):
        return b.hex() if b else "-"
    lines = "".join(f"verify {h(m)} {h(s)} {h(k)}\n" for m, s, k in cases)
    out = subprocess.run([tool], input=lines, capture_output=True, text=True, check=True).stdout
    return [v == "1" for v in out.split()]


def expect(label, cases, want):
    global failures
    got = verify_all(cases)
    assert len(got) == len(cases)
    wants = want if isinstance(want, list) else [want] * len(cases)
    bad = [i for i, (g, w) in enumerate(zip(got, wants)) if g != w]
    failures += len(bad)
    for i in bad[:5]:
        m, s, k = cases[i]
        print(f"MISMATCH {label} #{i}: got {got[i]} want {wants[i]}\n  msg={m.hex()}\n  sig={s.hex()}\n  key={k.hex()}")
    print(f"{label}: {len(cases)} cases, {sum(wants)} valid, {len(bad)} mismatches")


def flip(b, bit):
    b = bytearray(b)
    b[bit // 8] ^= 1 << (bit % 8)
    return bytes(b)


def with_flips(cases):
    flipped = []
    for m, s, k in cases:
        if m:
            flipped.append((flip(m, rng.randrange(len(m) * 8)), s, k))
        flipped.append((m, flip(s, rng.randrange(256)), k))        # R
        flipped.append((m, flip(s, 256 + rng.randrange(256)), k))  # S
        flipped.append((m, s, flip(k, rng.randrange(256))))
    return flipped


# --- RFC 8032 7.1 and sign.input -------------------------------------------
rfc_abc = (hashlib.sha512(b"abc").digest(),
           bytes.fromhex("dc2a4459e7369633a52b1bf277839a00201009a3efbf3ecb69bea2186c26b589"
                         "09351fc9ac90b3ecfdfbc7c66431e0303dca179c138ac17ad9bef1177331a704"),
           bytes.fromhex("ec172b93ad5e563bf4932c70e1245034c35467ef2efd4d64ebf819683467e2bf"))
known = [rfc_abc]
for line in open(vectors):
    _, key, msg, sig, _ = line.split(":")
    known.append((bytes.fromhex(msg), bytes.fromhex(sig)[:64], bytes.fromhex(key)))
assert len(known) == 1025
expect("RFC 8032 and sign.input", known, True)
expect("one bit flipped", with_flips(known), False)

# --- independent signers ----------------------------------------------------
signed = []
for _ in range(300):
    key = nacl.signing.SigningKey(rng.randbytes(32))
    msg = rng.randbytes(rng.choice([0, 1, 31, 32, 33, 63, 64, 65, 111, 112, 128, rng.randrange(5000)]))
    signed.append((msg, key.sign(msg).signature, key.verify_key.encode()))
with tempfile.TemporaryDirectory() as tmp:
    for i in range(6):
        key_path, msg_path = os.path.join(tmp, f"k{i}.pem"), os.path.join(tmp, f"m{i}")
        subprocess.run(["openssl", "genpkey", "-algorithm", "ed25519", "-out", key_path], check=True)
        msg = rng.randbytes(rng.randrange(3000))
        open(msg_path, "wb").write(msg)
        sig = subprocess.run(["openssl", "pkeyutl", "-sign", "-rawin", "-inkey", key_path, "-in", msg_path],
                             capture_output=True, check=True).stdout
        der = subprocess.run(["openssl", "pkey", "-in", key_path, "-pubout", "-outform", "DER"],
                             capture_output=True, check=True).stdout
        signed.append((msg, sig, der[-32:]))
expect("signed by libsodium and openssl", signed, True)
expect("signed, one bit flipped", with_flips(signed[:100]), False)

# --- the model ----------------------------------------------------------------
p = 2**255 - 19
L = 2**252 + 27742317777372353535851937790883648493
d = -121665 * pow(121666, -1, p) % p
sqrt_m1 = pow(2, (p - 1) // 4, p)
identity = (0, 1, 1, 0)


def add(P, Q):
    x1, y1, z1, t1 = P
    x2, y2, z2, t2 = Q
    a = (y1 - x1) * (y2 - x2) % p
    b = (y1 + x1) * (y2 + x2) % p
    c = 2 * d * t1 * t2 % p
    dd = 2 * z1 * z2 % p
    e, f, g, h = b - a, dd - c, dd + c, b + a
    return (e * f % p, g * h % p, f * g % p, e * h % p)


def neg(P):
    return (-P[0] % p, P[1], P[2], -P[3] % p)


def mul(n, P):
    R = identity
    while n:
        if n & 1:
            R = add(R, P)
        P = add(P, P)
        n >>= 1
    return R


def encode(P):
    zi = pow(P[2], -1, p)
    x, y = P[0] * zi % p, P[1] * zi % p
    return (y | (x & 1) << 255).to_bytes(32, "little")


def decode(s):
    if len(s) != 32:
        return None
    n = int.from_bytes(s, "little")
    sign, y = n >> 255, n & ((1 << 255) - 1)
    if y >= p:
        return None
    u, v = (y * y - 1) % p, (d * y * y + 1) % p
    x = u * pow(v, 3, p) * pow(u * pow(v, 7, p), (p - 5) // 8, p) % p
    if v * x * x % p != u:
        if v * x * x % p != -u % p:
            return None
        x = x * sqrt_m1 % p
    if x == 0 and sign:
        return None
    if x & 1 != sign:
        x = p - x
    return (x, y, 1, x * y % p)


def model_verify(m, s, k):
    if len(s) != 64 or len(k) != 32:
        return False
    S = int.from_bytes(s[32:], "little")
    if S >= L:
        return False
    A, R = decode(k), decode(s[:32])
    if A is None or R is None:
        return False
    h = int.from_bytes(hashlib.sha512(s[:32] + k + m).digest(), "little") % L
    return encode(mul(S, B)) == encode(add(R, mul(h, A)))


B = decode((4 * pow(5, -1, p) % p).to_bytes(32, "little"))
assert model_verify(*known[1]) and not model_verify(*with_flips(known[1:2])[0])

# The torsion points: [L] of a point whose order has the full factor 8.
while True:
    cand = decode(rng.randbytes(32))
    if cand is None:
        continue
    T1 = mul(L, cand)
    if encode(mul(4, T1)) != encode(identity):
        break
torsion = [mul(j, T1) for j in range(8)]
assert len({encode(t) for t in torsion}) == 8


def sign_with(a_point, a_scalar, r_point, r_scalar, msg):
    """S for R = r_point, A = a_point (a_point = [a]B + torsion, likewise R)."""
    r_enc, a_enc = encode(r_point), encode(a_point)
    h = int.from_bytes(hashlib.sha512(r_enc + a_enc + msg).digest(), "little") % L
    return r_enc + ((r_scalar + h * a_scalar) % L).to_bytes(32, "little"), a_enc


crafted = []
for i in range(160):
    # Mixed-order keys and commitments: valid only when the torsion parts
    # cancel without the cofactor.
    a, r = rng.randrange(L), rng.randrange(L)
    A = add(mul(a, B), torsion[rng.randrange(8)])
    R = add(mul(r, B), torsion[rng.randrange(8)])
    msg = rng.randbytes(rng.randrange(40))
    sig, key = sign_with(A, a, R, r, msg)
    crafted.append((msg, sig, key))

for t in torsion:
    # Small-order key with a commitment in the torsion group: S = 0.
    for u in torsion:
        crafted.append((b"m", encode(u) + bytes(32), encode(t)))

for i in range(40):
    a, r = rng.randrange(L), rng.randrange(L)
    A, R = mul(a, B), mul(r, B)
    msg = rng.randbytes(8)
    sig, key = sign_with(A, a, R, r, msg)
    S = int.from_bytes(sig[32:], "little")
    crafted.append((msg, sig, key))                                         # valid
    if S + L < 2**256:
        crafted.append((msg, sig[:32] + (S + L).to_bytes(32, "little"), key))  # S + L
    crafted.append((msg, sig[:32] + L.to_bytes(32, "little"), key))           # S = L
    crafted.append((msg, sig[:32] + rng.randbytes(32), key))                 # random S
    crafted.append((msg, sig[:32] + (L - 1 - rng.randrange(8)).to_bytes(32, "little"), key))
    crafted.append((msg, sig, key[:31]))
    crafted.append((msg, sig, key + b"\0"))
    crafted.append((msg, sig[:63], key))
    crafted.append((msg, sig + b"\0", key))
    crafted.append((msg, sig, flip(key, 255)))                               # other sign of x

# Commitment R the identity, written canonically and not: [S]B = [k]A with S = k a.
for i in range(12):
    a = rng.randrange(L)
    A = mul(a, B)
    key = encode(A)
    msg = rng.randbytes(5)
    for r_enc in (encode(identity),                                           # canonical
                  (p + 1).to_bytes(32, "little"),                             # y = p + 1
                  (1 | 1 << 255).to_bytes(32, "little")):                     # x = 0, sign set
        h = int.from_bytes(hashlib.sha512(r_enc + key + msg).digest(), "little") % L
        crafted.append((msg, r_enc + (h * a % L).to_bytes(32, "little"), key))

# Keys: y from p upwards (non-canonical), both signs; y = 1 and y = p - 1 with
# the sign set (x = 0); small y, some without a square root. The signature
# (R neutral, S = 0) holds for the neutral key and for any key read
# leniently as it, and for other small-order keys with some hashes.
for y in list(range(p, 2**255)) + [0, 1, p - 1] + list(range(2, 20)):
    for sign in (0, 1):
        key = (y | sign << 255).to_bytes(32, "little")
        crafted.append((b"", rng.randbytes(32) + bytes(32), key))
        for msg in (b"", b"a", b"b", b"c"):
            crafted.append((msg, encode(identity) + bytes(32), key))
for i in range(60):
    crafted.append((rng.randbytes(3), rng.randbytes(64), rng.randbytes(32)))
for i in range(20):
    crafted.append((rng.randbytes(3), rng.randbytes(rng.randrange(80)), rng.randbytes(rng.randrange(40))))

want = [model_verify(*c) for c in crafted]
assert 20 < sum(want) < len(want) - 100, sum(want)
expect("crafted inputs against the model", crafted, want)

print(f"ed25519 oracle: {failures} mismatches")
sys.exit(1 if failures else 0)
