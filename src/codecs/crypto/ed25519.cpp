#include "codecs/crypto/ed25519.h"

#include "codecs/crypto/sha2.h"
#include "core/bytes.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace qm {
namespace {

using Bytes32 = std::array<std::uint8_t, 32>;
// Column sums of a field product need 128 bits, which g++ and clang give on
// 64-bit targets.
using u128 = unsigned __int128;

// ---------------------------------------------------------------------------
// Field arithmetic modulo p = 2^255 - 19.
//
// Five limbs of 51 bits, least significant first. Every operation returns
// limbs below 2^52, which leaves room for the sums of products in multiply
// (at most 77 * 2^104 < 2^111) and keeps 2p above any limb in subtract.
// A value is brought below p only when bytes are wanted (toBytes).

struct Fe {
    std::uint64_t v[5];
};

constexpr std::uint64_t mask51 = (std::uint64_t(1) << 51) - 1;

Fe carry(Fe a)
{
    for (int i = 0; i < 4; ++i) {
        a.v[i + 1] += a.v[i] >> 51;
        a.v[i] &= mask51;
    }
    a.v[0] += 19 * (a.v[4] >> 51);  // 2^255 = 19 (mod p)
    a.v[4] &= mask51;
    return a;
}

Fe feSmall(std::uint64_t n) { return Fe{{n, 0, 0, 0, 0}}; }

Fe add(const Fe& a, const Fe& b)
{
    Fe r;
    for (int i = 0; i < 5; ++i)
        r.v[i] = a.v[i] + b.v[i];
    return carry(r);
}

// a - b computed as a + 2p - b so that no limb goes below zero.
Fe sub(const Fe& a, const Fe& b)
{
    constexpr std::uint64_t twoP0 = 2 * (mask51 - 18), twoP = 2 * mask51;
    Fe r;
    r.v[0] = a.v[0] + twoP0 - b.v[0];
    for (int i = 1; i < 5; ++i)
        r.v[i] = a.v[i] + twoP - b.v[i];
    return carry(r);
}

Fe neg(const Fe& a) { return sub(feSmall(0), a); }

// Folds the five wide column sums of a product back into limbs.
Fe reduceWide(u128 r[5])
{
    Fe out;
    for (int i = 0; i < 4; ++i) {
        r[i + 1] += r[i] >> 51;
        out.v[i] = std::uint64_t(r[i]) & mask51;
    }
    out.v[4] = std::uint64_t(r[4]) & mask51;
    out.v[0] += 19 * std::uint64_t(r[4] >> 51);  // r[4] has no factor 19: below 2^107
    out.v[1] += out.v[0] >> 51;
    out.v[0] &= mask51;
    return out;
}

Fe mul(const Fe& a, const Fe& b)
{
    const std::uint64_t *x = a.v, *y = b.v;
    // Limbs that wrap past 2^255 come back times 19.
    std::uint64_t y19[5];
    for (int i = 0; i < 5; ++i)
        y19[i] = 19 * y[i];
    u128 r[5];
    r[0] = u128(x[0]) * y[0] + u128(x[1]) * y19[4] + u128(x[2]) * y19[3] + u128(x[3]) * y19[2] + u128(x[4]) * y19[1];
    r[1] = u128(x[0]) * y[1] + u128(x[1]) * y[0] + u128(x[2]) * y19[4] + u128(x[3]) * y19[3] + u128(x[4]) * y19[2];
    r[2] = u128(x[0]) * y[2] + u128(x[1]) * y[1] + u128(x[2]) * y[0] + u128(x[3]) * y19[4] + u128(x[4]) * y19[3];
    r[3] = u128(x[0]) * y[3] + u128(x[1]) * y[2] + u128(x[2]) * y[1] + u128(x[3]) * y[0] + u128(x[4]) * y19[4];
    r[4] = u128(x[0]) * y[4] + u128(x[1]) * y[3] + u128(x[2]) * y[2] + u128(x[3]) * y[1] + u128(x[4]) * y[0];
    return reduceWide(r);
}

// mul(a, a) with each cross product computed once and doubled.
Fe sq(const Fe& a)
{
    const std::uint64_t* x = a.v;
    std::uint64_t twoX0 = 2 * x[0], twoX1 = 2 * x[1], twoX2 = 2 * x[2], twoX3 = 2 * x[3];
    std::uint64_t x3Times19 = 19 * x[3], x4Times19 = 19 * x[4];
    u128 r[5];
    r[0] = u128(x[0]) * x[0] + u128(twoX1) * x4Times19 + u128(twoX2) * x3Times19;
    r[1] = u128(twoX0) * x[1] + u128(twoX2) * x4Times19 + u128(x[3]) * x3Times19;
    r[2] = u128(twoX0) * x[2] + u128(x[1]) * x[1] + u128(twoX3) * x4Times19;
    r[3] = u128(twoX0) * x[3] + u128(twoX1) * x[2] + u128(x[4]) * x4Times19;
    r[4] = u128(twoX0) * x[4] + u128(twoX1) * x[3] + u128(x[2]) * x[2];
    return reduceWide(r);
}

Fe sqTimes(Fe a, int times)
{
    while (times-- > 0)
        a = sq(a);
    return a;
}

// The three powers the curve needs share one addition chain: a^(2^250 - 1)
// in 249 squarings and 9 multiplications, plus a^11 along the way.
struct Pow250 {
    Fe a11, a2_250m1;
};

Pow250 pow250(const Fe& a)
{
    Fe a2 = sq(a);
    Fe a9 = mul(sqTimes(a2, 2), a);
    Fe a11 = mul(a9, a2);
    Fe e5 = mul(sq(a11), a9);  // a^(2^5 - 1)
    Fe e10 = mul(sqTimes(e5, 5), e5);
    Fe e20 = mul(sqTimes(e10, 10), e10);
    Fe e40 = mul(sqTimes(e20, 20), e20);
    Fe e50 = mul(sqTimes(e40, 10), e10);
    Fe e100 = mul(sqTimes(e50, 50), e50);
    Fe e200 = mul(sqTimes(e100, 100), e100);
    Fe e250 = mul(sqTimes(e200, 50), e50);
    return Pow250{a11, e250};
}

// a^(p - 2) = a^(2^255 - 21), the inverse.
Fe invert(const Fe& a)
{
    Pow250 t = pow250(a);
    return mul(sqTimes(t.a2_250m1, 5), t.a11);
}

// a^((p - 5) / 8) = a^(2^252 - 3), for square roots.
Fe powPMinus5Over8(const Fe& a) { return mul(sqTimes(pow250(a).a2_250m1, 2), a); }

// a^((p - 1) / 4) = a^(2^253 - 5); for a = 2 that is a square root of -1.
Fe powPMinus1Over4(const Fe& a) { return mul(sqTimes(pow250(a).a2_250m1, 3), mul(sq(a), a)); }

// Bits 0..254 of 32 little-endian bytes; bit 255 is ignored.
Fe fromBytes(const std::uint8_t* s)
{
    return Fe{{loadLe64(s) & mask51, loadLe64(s + 6) >> 3 & mask51, loadLe64(s + 12) >> 6 & mask51,
        loadLe64(s + 19) >> 1 & mask51, loadLe64(s + 24) >> 12 & mask51}};
}

// The canonical value (below p) as 32 little-endian bytes.
Bytes32 toBytes(const Fe& a)
{
    Fe t = carry(carry(a));  // now below 2^255 + 38, so below 2p
    // t >= p exactly when t + 19 reaches 2^255; then subtract p by adding 19
    // and dropping bit 255.
    std::uint64_t q = (t.v[0] + 19) >> 51;
    for (int i = 1; i < 5; ++i)
        q = (t.v[i] + q) >> 51;
    t.v[0] += 19 * q;
    for (int i = 0; i < 4; ++i) {
        t.v[i + 1] += t.v[i] >> 51;
        t.v[i] &= mask51;
    }
    t.v[4] &= mask51;
    Bytes32 out;
    storeLe64(out.data(), t.v[0] | t.v[1] << 51);
    storeLe64(out.data() + 8, t.v[1] >> 13 | t.v[2] << 38);
    storeLe64(out.data() + 16, t.v[2] >> 26 | t.v[3] << 25);
    storeLe64(out.data() + 24, t.v[3] >> 39 | t.v[4] << 12);
    return out;
}

bool equal(const Fe& a, const Fe& b) { return toBytes(a) == toBytes(b); }
bool isZero(const Fe& a) { return toBytes(a) == Bytes32{}; }
bool isNegative(const Fe& a) { return toBytes(a)[0] & 1; }

// ---------------------------------------------------------------------------
// Curve points held as (X, Y, Z, T) with affine x = X/Z, y = Y/Z and the
// extra T = XY/Z that makes additions cheaper (twisted Edwards form, a = -1).

struct Point {
    Fe X, Y, Z, T;
};

// A point prepared for adding: (Y + X, Y - X, Z, 2dT).
struct Cached {
    Fe yPlusX, yMinusX, Z, t2d;
};

struct Constants {
    Fe d, d2, sqrtM1;
    // Odd multiples B, 3B, 5B, ..., 127B of the base point.
    std::array<Cached, 64> baseMultiples;
};

Point identity() { return Point{feSmall(0), feSmall(1), feSmall(1), feSmall(0)}; }

Cached toCached(const Point& p, const Fe& d2) { return Cached{add(p.Y, p.X), sub(p.Y, p.X), p.Z, mul(p.T, d2)}; }

Point fromParts(const Fe& e, const Fe& f, const Fe& g, const Fe& h)
{
    return Point{mul(e, f), mul(g, h), mul(f, g), mul(e, h)};
}

// p + q; with `negate`, p - q (the negation of (x, y) is (-x, y), which swaps
// Y + X with Y - X and negates T).
Point add(const Point& p, const Cached& q, bool negate = false)
{
    Fe a = mul(sub(p.Y, p.X), negate ? q.yPlusX : q.yMinusX);
    Fe b = mul(add(p.Y, p.X), negate ? q.yMinusX : q.yPlusX);
    Fe c = mul(p.T, q.t2d);
    Fe d = mul(add(p.Z, p.Z), q.Z);
    if (negate)
        c = neg(c);
    return fromParts(sub(b, a), sub(d, c), add(d, c), add(b, a));
}

Point dbl(const Point& p)
{
    Fe a = sq(p.X), b = sq(p.Y), c = sq(p.Z);
    c = add(c, c);
    Fe h = add(a, b);
    Fe e = sub(h, sq(add(p.X, p.Y)));
    Fe g = sub(a, b);
    Fe f = add(c, g);
    return fromParts(e, f, g, h);
}

Bytes32 encode(const Point& p)
{
    Fe zInv = invert(p.Z);
    Bytes32 out = toBytes(mul(p.Y, zInv));
    if (isNegative(mul(p.X, zInv)))
        out[31] |= 0x80;
    return out;
}

// Accepts exactly the canonical encodings of curve points: y below p, an x
// that exists, and no sign bit on x = 0. So every accepted encoding is what
// encode() gives for the decoded point.
std::optional<Point> decode(const std::uint8_t* s, const Fe& d, const Fe& sqrtM1)
{
    Bytes32 yBytes;
    std::memcpy(yBytes.data(), s, 32);
    const bool sign = yBytes[31] >> 7;
    yBytes[31] &= 0x7f;
    Fe y = fromBytes(yBytes.data());
    if (toBytes(y) != yBytes)
        return std::nullopt;  // y >= p
    Fe one = feSmall(1);
    Fe y2 = sq(y);
    Fe u = sub(y2, one);
    Fe v = add(mul(d, y2), one);
    Fe v3 = mul(sq(v), v);
    Fe v7 = mul(sq(v3), v);
    Fe x = mul(mul(u, v3), powPMinus5Over8(mul(u, v7)));
    Fe vx2 = mul(v, sq(x));
    if (!equal(vx2, u)) {
        if (!equal(vx2, neg(u)))
            return std::nullopt;  // x^2 = u/v has no root
        x = mul(x, sqrtM1);
    }
    if (isZero(x) && sign)
        return std::nullopt;
    if (isNegative(x) != sign)
        x = neg(x);
    return Point{x, y, one, mul(x, y)};
}

const Constants& constants()
{
    static const Constants c = [] {
        Constants k;
        k.d = mul(neg(feSmall(121665)), invert(feSmall(121666)));
        k.d2 = add(k.d, k.d);
        k.sqrtM1 = powPMinus1Over4(feSmall(2));
        // The base point has y = 4/5 and an even x.
        Bytes32 by = toBytes(mul(feSmall(4), invert(feSmall(5))));
        Point b = *decode(by.data(), k.d, k.sqrtM1);
        Cached twoB = toCached(dbl(b), k.d2);
        Point multiple = b;
        for (auto& entry : k.baseMultiples) {
            entry = toCached(multiple, k.d2);
            multiple = add(multiple, twoB);
        }
        return k;
    }();
    return c;
}

// ---------------------------------------------------------------------------
// Scalars modulo the group order L = 2^252 + 27742317777372353535851937790883648493.

constexpr Bytes32 groupOrder = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7, 0xa2, 0xde, 0xf9,
    0xde, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10};

bool lessThanL(const std::uint8_t* s)
{
    for (int i = 31; i >= 0; --i)
        if (s[i] != groupOrder[i])
            return s[i] < groupOrder[i];
    return false;
}

// Reduces the 64-byte little-endian `h` modulo L with schoolbook binary
// division: bits enter the remainder from the top one by one, and since the
// remainder was below L before the shift, a single conditional subtraction
// restores that.
Bytes32 reduceModL(const std::uint8_t* h)
{
    std::uint64_t l[4], r[4] = {};
    for (int i = 0; i < 4; ++i)
        l[i] = loadLe64(groupOrder.data() + 8 * i);
    for (int bit = 511; bit >= 0; --bit) {
        for (int i = 3; i > 0; --i)
            r[i] = r[i] << 1 | r[i - 1] >> 63;
        r[0] = r[0] << 1 | (h[bit / 8] >> (bit % 8) & 1);
        bool below = false;
        for (int i = 3; i >= 0; --i)
            if (r[i] != l[i]) {
                below = r[i] < l[i];
                break;
            }
        if (below)
            continue;
        std::uint64_t borrow = 0;
        for (int i = 0; i < 4; ++i) {
            std::uint64_t t = r[i] - l[i] - borrow;
            borrow = (r[i] < l[i]) || (r[i] == l[i] && borrow);
            r[i] = t;
        }
    }
    Bytes32 out;
    for (int i = 0; i < 4; ++i)
        storeLe64(out.data() + 8 * i, r[i]);
    return out;
}

// The scalar (below 2^253) as signed digits: s = sum of digits[i] 2^i, each
// digit zero or odd with magnitude below 2^(width-1), and any two non-zero
// digits at least `width` places apart.
std::array<std::int8_t, 256> signedDigits(const std::uint8_t* s, int width)
{
    std::uint64_t k[5] = {loadLe64(s), loadLe64(s + 8), loadLe64(s + 16), loadLe64(s + 24), 0};
    std::array<std::int8_t, 256> digits{};
    const std::int64_t window = std::int64_t(1) << width;
    for (int i = 0; i < 256; ++i) {
        if (k[0] & 1) {
            std::int64_t digit = std::int64_t(k[0] & (window - 1));
            if (digit >= window / 2)
                digit -= window;
            digits[i] = std::int8_t(digit);
            if (digit > 0) {
                k[0] -= std::uint64_t(digit);  // the low bits equal digit: no borrow
            } else {
                std::uint64_t carryIn = std::uint64_t(-digit);
                for (int w = 0; w < 5 && carryIn; ++w) {
                    k[w] += carryIn;
                    carryIn = k[w] < carryIn;
                }
            }
        }
        for (int w = 0; w < 4; ++w)
            k[w] = k[w] >> 1 | k[w + 1] << 63;
        k[4] >>= 1;
    }
    return digits;
}

// [s]B - [k]A with one shared chain of doublings. Neither scalar is secret,
// so the running time may depend on them; it is bounded all the same.
Point doubleScalarMul(const std::uint8_t* s, const std::uint8_t* k, const Point& a)
{
    const Constants& c = constants();
    auto sDigits = signedDigits(s, 8);
    auto kDigits = signedDigits(k, 5);

    std::array<Cached, 8> aMultiples;  // A, 3A, ..., 15A
    Cached twoA = toCached(dbl(a), c.d2);
    Point multiple = a;
    for (auto& entry : aMultiples) {
        entry = toCached(multiple, c.d2);
        multiple = add(multiple, twoA);
    }

    int top = 255;
    while (top >= 0 && sDigits[top] == 0 && kDigits[top] == 0)
        --top;
    Point r = identity();
    for (int i = top; i >= 0; --i) {
        r = dbl(r);
        if (int digit = sDigits[i])
            r = add(r, c.baseMultiples[std::abs(digit) / 2], digit < 0);
        if (int digit = kDigits[i])
            r = add(r, aMultiples[std::abs(digit) / 2], digit > 0);
    }
    return r;
}

}  // namespace

bool ed25519Verify(std::span<const std::uint8_t> message, std::span<const std::uint8_t> signature,
    std::span<const std::uint8_t> publicKey)
{
    if (signature.size() != 64 || publicKey.size() != 32)
        return false;
    const std::uint8_t* rBytes = signature.data();
    const std::uint8_t* s = signature.data() + 32;
    if (!lessThanL(s))
        return false;
    const Constants& c = constants();
    std::optional<Point> a = decode(publicKey.data(), c.d, c.sqrtM1);
    if (!a)
        return false;

    std::vector<std::uint8_t> hashed(64 + message.size());
    std::memcpy(hashed.data(), rBytes, 32);
    std::memcpy(hashed.data() + 32, publicKey.data(), 32);
    if (!message.empty())
        std::memcpy(hashed.data() + 64, message.data(), message.size());
    Bytes32 k = reduceModL(sha512(hashed).data());

    // [S]B = R + [k]A holds exactly when [S]B - [k]A encodes to R's bytes.
    // R itself is never decoded: decoding accepts only canonical encodings of
    // curve points, and encode() produces nothing else, so bytes that would
    // fail to decode can never match and are rejected just the same.
    Bytes32 check = encode(doubleScalarMul(s, k.data(), *a));
    return std::memcmp(check.data(), rBytes, 32) == 0;
}

}  // namespace qm
