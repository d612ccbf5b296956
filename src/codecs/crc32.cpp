#include "codecs/crc32.h"

#include <array>
#include <bit>
#include <cstring>

#include "core/errors.h"

namespace qm {

namespace {

// Slicing by eight: row k advances a CRC over a byte followed by k zero bytes,
// so eight bytes fold in with eight independent lookups. Built by the compiler:
// there is nothing to fill at start-up and nothing to race on.
using CrcTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr CrcTables makeCrcTables() {
    CrcTables t{};
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t c = n;
        for (int k = 0; k < 8; k++) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        t[0][n] = c;
    }
    for (int row = 1; row < 8; row++)
        for (uint32_t n = 0; n < 256; n++)
            t[row][n] = (t[row - 1][n] >> 8) ^ t[0][t[row - 1][n] & 0xFF];
    return t;
}

constexpr CrcTables crcTables = makeCrcTables();

}  // namespace

uint32_t crc32Update(uint32_t crc, std::span<const uint8_t> data) {
    const uint8_t* p = data.data();
    size_t n = data.size();
    uint32_t c = ~crc;
    const auto& t = crcTables;
    while (n >= 8) {
        uint32_t lo, hi;
        std::memcpy(&lo, p, 4);
        std::memcpy(&hi, p + 4, 4);
        if constexpr (std::endian::native == std::endian::big) {
            lo = __builtin_bswap32(lo);
            hi = __builtin_bswap32(hi);
        }
        lo ^= c;
        c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
        p += 8;
        n -= 8;
    }
    while (n--) c = (c >> 8) ^ t[0][(c ^ *p++) & 0xFF];
    return ~c;
}

uint32_t crc32(std::span<const uint8_t> data, int64_t start, int64_t count) {
    int64_t size = static_cast<int64_t>(data.size());
    if (count == -1 && start >= 0 && start <= size) count = size - start;
    if (start < 0 || count < 0 || start > size || count > size - start)
        throw ValueError("crc32 range outside the data");
    return crc32Update(0, data.subspan(static_cast<size_t>(start), static_cast<size_t>(count)));
}

}  // namespace qm
