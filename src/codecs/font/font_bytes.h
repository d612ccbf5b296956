#pragma once
// Bounded big-endian reads of font data. Offsets come from the file, so every
// read is checked against the data and a read outside it raises IndexError
// instead of touching memory past the end. Positions are 64-bit so that the
// sum of a few saturated 32-bit offsets cannot wrap.
#include <cstdint>
#include <span>

#include "core/bytes.h"
#include "core/errors.h"

namespace qm {

using FontData = std::span<const uint8_t>;

// No offset or length taken from a font exceeds this, so sums of a handful of
// them stay far from overflow.
inline constexpr int64_t kFontU32Limit = int64_t{1} << 30;

[[noreturn]] void throwFontReadError();

inline bool fontRangeInside(FontData data, int64_t pos, int64_t size)
{
    return pos >= 0 && size >= 0 && pos <= static_cast<int64_t>(data.size())
        && size <= static_cast<int64_t>(data.size()) - pos;
}

inline void checkFontRange(FontData data, int64_t pos, int64_t size)
{
    if (!fontRangeInside(data, pos, size))
        throwFontReadError();
}

inline uint8_t fontU8(FontData data, int64_t pos)
{
    checkFontRange(data, pos, 1);
    return data[pos];
}

inline uint16_t fontU16(FontData data, int64_t pos)
{
    checkFontRange(data, pos, 2);
    return loadBe16(&data[pos]);
}

inline int16_t fontI16(FontData data, int64_t pos) { return static_cast<int16_t>(fontU16(data, pos)); }

// A 32-bit unsigned value, saturated at 2^30.
inline int32_t fontU32(FontData data, int64_t pos)
{
    checkFontRange(data, pos, 4);
    uint32_t v = loadBe32(&data[pos]);
    return static_cast<int32_t>(v >= kFontU32Limit ? kFontU32Limit : v);
}

// The four bytes at pos as a tag, first byte highest.
inline uint32_t fontTag(FontData data, int64_t pos)
{
    checkFontRange(data, pos, 4);
    return loadBe32(&data[pos]);
}

constexpr uint32_t makeTag(const char (&s)[5])
{
    return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 | uint32_t(uint8_t(s[2])) << 8
        | uint32_t(uint8_t(s[3]));
}

}  // namespace qm
