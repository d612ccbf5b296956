#include "ui/farmhash.h"

#include "core/bytes.h"

#include <utility>

namespace qm {

namespace {

constexpr uint64_t k0 = 0xc3a5c85c97cb3127ULL;
constexpr uint64_t k1 = 0xb492b66fbe98f273ULL;
constexpr uint64_t k2 = 0x9ae16a3b2f90404fULL;

uint64_t fetch64(const uint8_t* p) { return loadLe64(p); }

uint64_t fetch32(const uint8_t* p) { return loadLe32(p); }

uint64_t rotate(uint64_t v, int shift) { return shift == 0 ? v : (v >> shift) | (v << (64 - shift)); }

uint64_t shiftMix(uint64_t v) { return v ^ (v >> 47); }

uint64_t hashLen16(uint64_t u, uint64_t v, uint64_t mul)
{
    uint64_t a = (u ^ v) * mul;
    a ^= a >> 47;
    uint64_t b = (v ^ a) * mul;
    b ^= b >> 47;
    return b * mul;
}

uint64_t hashLen0to16(const uint8_t* s, size_t len)
{
    if (len >= 8) {
        uint64_t mul = k2 + len * 2;
        uint64_t a = fetch64(s) + k2;
        uint64_t b = fetch64(s + len - 8);
        uint64_t c = rotate(b, 37) * mul + a;
        uint64_t d = (rotate(a, 25) + b) * mul;
        return hashLen16(c, d, mul);
    }
    if (len >= 4) {
        uint64_t mul = k2 + len * 2;
        uint64_t a = fetch32(s);
        return hashLen16(len + (a << 3), fetch32(s + len - 4), mul);
    }
    if (len > 0) {
        uint32_t y = uint32_t(s[0]) + (uint32_t(s[len >> 1]) << 8);
        uint32_t z = uint32_t(len) + (uint32_t(s[len - 1]) << 2);
        return shiftMix(uint64_t(y) * k2 ^ uint64_t(z) * k0) * k2;
    }
    return k2;
}

uint64_t hashLen17to32(const uint8_t* s, size_t len)
{
    uint64_t mul = k2 + len * 2;
    uint64_t a = fetch64(s) * k1;
    uint64_t b = fetch64(s + 8);
    uint64_t c = fetch64(s + len - 8) * mul;
    uint64_t d = fetch64(s + len - 16) * k2;
    return hashLen16(rotate(a + b, 43) + rotate(c, 30) + d, a + rotate(b + k2, 18) + c, mul);
}

uint64_t hashLen33to64(const uint8_t* s, size_t len)
{
    uint64_t mul = k2 + len * 2;
    uint64_t a = fetch64(s) * k2;
    uint64_t b = fetch64(s + 8);
    uint64_t c = fetch64(s + len - 8) * mul;
    uint64_t d = fetch64(s + len - 16) * k2;
    uint64_t y = rotate(a + b, 43) + rotate(c, 30) + d;
    uint64_t z = hashLen16(y, a + rotate(b + k2, 18) + c, mul);
    uint64_t e = fetch64(s + 16) * mul;
    uint64_t f = fetch64(s + 24);
    uint64_t g = (y + fetch64(s + len - 32)) * mul;
    uint64_t h = (z + fetch64(s + len - 24)) * mul;
    return hashLen16(rotate(e + f, 43) + rotate(g, 30) + h, e + rotate(f + a, 18) + g, mul);
}

std::pair<uint64_t, uint64_t> weakHashLen32WithSeeds(const uint8_t* s, uint64_t a, uint64_t b)
{
    uint64_t w = fetch64(s), x = fetch64(s + 8), y = fetch64(s + 16), z = fetch64(s + 24);
    a += w;
    b = rotate(b + a + z, 21);
    uint64_t c = a;
    a += x;
    a += y;
    b += rotate(a, 44);
    return {a + z, b + c};
}

}  // namespace

uint64_t fingerprint64(std::string_view bytes)
{
    const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
    size_t len = bytes.size();
    if (len <= 16)
        return hashLen0to16(s, len);
    if (len <= 32)
        return hashLen17to32(s, len);
    if (len <= 64)
        return hashLen33to64(s, len);

    constexpr uint64_t seed = 81;
    uint64_t x = seed;
    uint64_t y = seed * k1 + 113;
    uint64_t z = shiftMix(y * k2 + 113) * k2;
    std::pair<uint64_t, uint64_t> v{0, 0};
    std::pair<uint64_t, uint64_t> w{0, 0};
    x = x * k2 + fetch64(s);

    const uint8_t* end = s + ((len - 1) / 64) * 64;
    const uint8_t* last64 = end + ((len - 1) & 63) - 63;
    do {
        x = rotate(x + y + v.first + fetch64(s + 8), 37) * k1;
        y = rotate(y + v.second + fetch64(s + 48), 42) * k1;
        x ^= w.second;
        y += v.first + fetch64(s + 40);
        z = rotate(z + w.first, 33) * k1;
        v = weakHashLen32WithSeeds(s, v.second * k1, x + w.first);
        w = weakHashLen32WithSeeds(s + 32, z + w.second, y + fetch64(s + 16));
        std::swap(z, x);
        s += 64;
    } while (s != end);
    uint64_t mul = k1 + ((z & 0xff) << 1);
    s = last64;
    w.first += (len - 1) & 63;
    v.first += w.first;
    w.first += v.first;
    x = rotate(x + y + v.first + fetch64(s + 8), 37) * mul;
    y = rotate(y + v.second + fetch64(s + 48), 42) * mul;
    x ^= w.second * 9;
    y += v.first * 9 + fetch64(s + 40);
    z = rotate(z + w.first, 33) * mul;
    v = weakHashLen32WithSeeds(s, v.second * mul, x + w.first);
    w = weakHashLen32WithSeeds(s + 32, z + w.second, y + fetch64(s + 16));
    std::swap(z, x);
    return hashLen16(
        hashLen16(v.first, w.first, mul) + shiftMix(y) * k0 + z, hashLen16(v.second, w.second, mul) + x, mul);
}

}  // namespace qm
