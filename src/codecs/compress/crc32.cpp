#include "codecs/compress/crc32.h"

#include <array>
#include <bit>
#include <cstring>

#include "core/bytes.h"
#include "core/errors.h"

namespace qm {

namespace {

// Slicing: row k advances a CRC over a byte followed by k zero bytes, so
// sixteen bytes fold in with sixteen independent lookups. Built by the compiler:
// there is nothing to fill at start-up and nothing to race on.
using CrcTables = std::array<std::array<uint32_t, 256>, 16>;

constexpr CrcTables makeCrcTables()
{
    CrcTables t{};
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t c = n;
        for (int k = 0; k < 8; k++)
            c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        t[0][n] = c;
    }
    for (int row = 1; row < 16; row++)
        for (uint32_t n = 0; n < 256; n++)
            t[row][n] = (t[row - 1][n] >> 8) ^ t[0][t[row - 1][n] & 0xFF];
    return t;
}

constexpr CrcTables crcTables = makeCrcTables();

}  // namespace

uint32_t crc32Update(uint32_t crc, std::span<const uint8_t> data)
{
    const uint8_t* p = data.data();
    size_t n = data.size();
    uint32_t c = ~crc;
    const auto& t = crcTables;
    // Sixteen bytes a round: the chain from one CRC value to the next is no
    // longer than for eight, so twice the bytes pass per unit of latency.
    while (n >= 16) {
        uint64_t a = loadLe64(p) ^ c, b = loadLe64(p + 8);
        c = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][(a >> 24) & 0xFF]
            ^ t[11][(a >> 32) & 0xFF] ^ t[10][(a >> 40) & 0xFF] ^ t[9][(a >> 48) & 0xFF] ^ t[8][a >> 56]
            ^ t[7][b & 0xFF] ^ t[6][(b >> 8) & 0xFF] ^ t[5][(b >> 16) & 0xFF] ^ t[4][(b >> 24) & 0xFF]
            ^ t[3][(b >> 32) & 0xFF] ^ t[2][(b >> 40) & 0xFF] ^ t[1][(b >> 48) & 0xFF] ^ t[0][b >> 56];
        p += 16;
        n -= 16;
    }
    while (n--)
        c = (c >> 8) ^ t[0][(c ^ *p++) & 0xFF];
    return ~c;
}

uint32_t crc32(std::span<const uint8_t> data, int64_t start, std::optional<int64_t> count)
{
    int64_t size = static_cast<int64_t>(data.size());
    if (start < 0 || start > size)
        throw ValueError("crc32 range outside the data");
    int64_t n = count.value_or(size - start);
    if (n < 0 || n > size - start)
        throw ValueError("crc32 range outside the data");
    return crc32Update(0, data.subspan(static_cast<size_t>(start), static_cast<size_t>(n)));
}

}  // namespace qm
