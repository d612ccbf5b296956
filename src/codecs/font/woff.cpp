#include "codecs/font/woff.h"

#include <cstring>

#include "codecs/compress/inflate.h"

namespace qm {

namespace {

constexpr int64_t kMaxTableLength = 64 << 20;
// Tables are checked one by one; their sum is bounded too, so a directory of
// many large tables cannot make the output huge.
constexpr int64_t kMaxTotalLength = int64_t{1} << 30;

void putU16(std::vector<uint8_t>& out, int64_t at, uint32_t v)
{
    out[at] = uint8_t(v >> 8);
    out[at + 1] = uint8_t(v);
}

void putU32(std::vector<uint8_t>& out, int64_t at, uint32_t v)
{
    putU16(out, at, v >> 16);
    putU16(out, at + 2, v & 0xFFFF);
}

uint32_t rawU32(FontData data, int64_t pos) { return uint32_t(fontU16(data, pos)) << 16 | fontU16(data, pos + 2); }

}  // namespace

std::vector<uint8_t> woffToSfnt(FontData bytes)
{
    if (bytes.size() < 44 || std::memcmp(bytes.data(), "wOFF", 4) != 0)
        throw ValueError("not a WOFF font");
    int64_t numTables = fontU16(bytes, 12);
    if (numTables < 1 || numTables > 512 || !fontRangeInside(bytes, 44, 20 * numTables))
        throw ValueError("damaged WOFF font");

    struct Entry {
        uint32_t tag, checksum;
        int64_t offset, compLength, origLength, outOffset;
    };
    std::vector<Entry> entries(numTables);
    int64_t total = 12 + 16 * numTables;
    for (int64_t i = 0; i < numTables; ++i) {
        int64_t rec = 44 + 20 * i;
        Entry& e = entries[i];
        e.tag = fontTag(bytes, rec);
        e.offset = fontU32(bytes, rec + 4);
        e.compLength = fontU32(bytes, rec + 8);
        e.origLength = fontU32(bytes, rec + 12);
        e.checksum = rawU32(bytes, rec + 16);
        if (!fontRangeInside(bytes, e.offset, e.compLength) || e.origLength > kMaxTableLength)
            throw ValueError("damaged WOFF table");
        e.outOffset = total;
        total += (e.origLength + 3) & ~int64_t{3};
        if (total > kMaxTotalLength)
            throw ValueError("damaged WOFF font");
    }

    // The output grows table by table: a small file that claims huge tables
    // costs memory only as far as its data really inflates.
    std::vector<uint8_t> out(12 + 16 * numTables, 0);
    if (total <= 64 * int64_t(bytes.size()))
        out.reserve(total);
    int entrySelector = 0;
    while ((int64_t{2} << entrySelector) <= numTables)
        ++entrySelector;
    uint32_t searchRange = 16u << entrySelector;
    std::memcpy(out.data(), bytes.data() + 4, 4);
    putU16(out, 4, uint32_t(numTables));
    putU16(out, 6, searchRange);
    putU16(out, 8, entrySelector);
    putU16(out, 10, uint32_t(16 * numTables) - searchRange);
    for (int64_t i = 0; i < numTables; ++i) {
        const Entry& e = entries[i];
        int64_t rec = 12 + 16 * i;
        putU32(out, rec, e.tag);
        putU32(out, rec + 4, e.checksum);
        putU32(out, rec + 8, uint32_t(e.outOffset));
        putU32(out, rec + 12, uint32_t(e.origLength));
        FontData stored = bytes.subspan(e.offset, e.compLength);
        if (e.compLength >= e.origLength) {
            out.insert(out.end(), stored.begin(), stored.begin() + e.origLength);
        } else {
            std::vector<uint8_t> table = inflate(stored, true, {}, int32_t(e.origLength), e.origLength);
            if (int64_t(table.size()) != e.origLength)
                throw ValueError("damaged WOFF table");
            out.insert(out.end(), table.begin(), table.end());
        }
        out.resize(e.outOffset + ((e.origLength + 3) & ~int64_t{3}), 0);
    }
    return out;
}

}  // namespace qm
