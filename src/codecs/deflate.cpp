#include "codecs/deflate.h"

#include <algorithm>

#include "core/errors.h"

namespace qm {

void writeBits(BitWriter& w, uint32_t value, int32_t n) {
    w.acc |= static_cast<uint64_t>(value) << w.pending;
    w.pending += n;
    if (w.pending >= 32) {
        for (int i = 0; i < 4; i++) w.bytes.push_back(static_cast<uint8_t>(w.acc >> (8 * i)));
        w.acc >>= 32;
        w.pending -= 32;
    }
}

void flushBits(BitWriter& w) {
    for (; w.pending > 0; w.pending -= 8) {
        w.bytes.push_back(static_cast<uint8_t>(w.acc));
        w.acc >>= 8;
    }
    w.acc = 0;
    w.pending = 0;
}

std::vector<uint32_t> canonicalCodes(std::span<const int32_t> lengths) {
    int32_t count[16] = {};
    for (int32_t len : lengths) count[len]++;
    count[0] = 0;
    uint32_t next[16] = {};
    uint32_t code = 0;
    for (int len = 1; len <= 15; len++) {
        code = (code + static_cast<uint32_t>(count[len - 1])) << 1;
        next[len] = code;
    }
    std::vector<uint32_t> codes(lengths.size());
    for (size_t s = 0; s < lengths.size(); s++) {
        int32_t len = lengths[s];
        if (!len) continue;
        uint32_t c = next[len]++, rev = 0;
        for (int i = 0; i < len; i++) rev |= ((c >> i) & 1) << (len - 1 - i);
        codes[s] = rev;
    }
    return codes;
}

uint32_t adler32(std::span<const uint8_t> data) {
    constexpr uint32_t mod = 65521;
    uint32_t a = 1, b = 0;
    const uint8_t* p = data.data();
    size_t n = data.size();
    while (n) {
        // 5552 is the most bytes before b could pass 32 bits.
        size_t chunk = std::min<size_t>(n, 5552);
        n -= chunk;
        for (; chunk >= 4; chunk -= 4, p += 4) {
            a += p[0]; b += a;
            a += p[1]; b += a;
            a += p[2]; b += a;
            a += p[3]; b += a;
        }
        for (; chunk; chunk--) {
            a += *p++;
            b += a;
        }
        a %= mod;
        b %= mod;
    }
    return (b << 16) | a;
}

}  // namespace qm
