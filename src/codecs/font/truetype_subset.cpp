#include "codecs/font/truetype_subset.h"

#include <algorithm>
#include <string>
#include <unordered_set>

#include "codecs/font/glyph_data.h"
#include "core/bytes.h"
#include "core/errors.h"

namespace qm {

std::vector<int32_t> closeGlyphSet(const Font& font, std::span<const int32_t> used)
{
    const int32_t count = glyphCount(font);
    std::unordered_set<int32_t> kept;
    kept.reserve(64);
    std::vector<int32_t> work(used.rbegin(), used.rend());
    work.insert(work.begin(), 0);  // popped last
    while (!work.empty()) {
        const int32_t g = work.back();
        work.pop_back();
        if (g < 0 || g >= count || !kept.insert(g).second)
            continue;
        for (int32_t c : compositeComponents(font, g))
            work.push_back(c);
    }
    std::vector<int32_t> out(kept.begin(), kept.end());
    std::sort(out.begin(), out.end());
    return out;
}

uint32_t sfntTableChecksum(std::span<const uint8_t> bytes)
{
    uint32_t sum = 0;
    const size_t whole = bytes.size() / 4 * 4;
    for (size_t i = 0; i < whole; i += 4)
        sum += loadBe32(bytes.data() + i);
    if (whole < bytes.size()) {
        uint8_t last[4] = {0, 0, 0, 0};
        std::copy(bytes.begin() + ptrdiff_t(whole), bytes.end(), last);
        sum += loadBe32(last);
    }
    return sum;
}

namespace {

struct OutTable {
    uint32_t tag;
    std::vector<uint8_t> bytes;
};

void padTo4(std::vector<uint8_t>& v) { v.resize((v.size() + 3) / 4 * 4, 0); }

void appendBe32(std::vector<uint8_t>& v, uint32_t x)
{
    // Byte by byte: GCC 12 at -O3 misreads a 4-byte range insert as an overflow.
    for (int shift = 24; shift >= 0; shift -= 8)
        v.push_back(uint8_t(x >> shift));
}

void appendBe16(std::vector<uint8_t>& v, uint16_t x)
{
    v.push_back(uint8_t(x >> 8));
    v.push_back(uint8_t(x));
}

}  // namespace

std::vector<uint8_t> subsetTrueTypeFont(const Font& font, std::span<const int32_t> used)
{
    const FontData data = fontBytes(font);
    auto [headAt, headLength] = tableRange(font, "head");
    if (headLength < 52 || !fontRangeInside(data, headAt, headLength))
        throw ValueError("the font cannot be subset: its head table is missing or too short");

    const int32_t count = std::max(glyphCount(font), 0);
    std::vector<bool> keep(size_t(count), false);
    for (int32_t g : closeGlyphSet(font, used))
        keep[size_t(g)] = true;

    OutTable glyf{makeTag("glyf"), {}};
    OutTable loca{makeTag("loca"), {}};
    loca.bytes.reserve(4 * (size_t(count) + 1));
    for (int32_t i = 0; i <= count; ++i) {
        appendBe32(loca.bytes, uint32_t(glyf.bytes.size()));
        if (i == count || !keep[size_t(i)])
            continue;
        auto [at, length] = glyphDataRange(font, i);
        if (length > 0 && fontRangeInside(data, at, length)) {
            glyf.bytes.insert(glyf.bytes.end(), data.begin() + at, data.begin() + at + length);
            padTo4(glyf.bytes);
        }
    }

    OutTable head{makeTag("head"), {data.begin() + headAt, data.begin() + headAt + headLength}};
    storeBe32(head.bytes.data() + 8, 0);
    storeBe16(head.bytes.data() + 50, 1);

    std::vector<OutTable> tables;
    tables.push_back(std::move(head));
    for (uint32_t tag :
        {makeTag("cvt "), makeTag("fpgm"), makeTag("prep"), makeTag("hhea"), makeTag("hmtx"), makeTag("maxp")}) {
        const TableRange* t = findTable(font, tag);
        if (t && t->length > 0 && fontRangeInside(data, t->offset, t->length))
            tables.push_back({tag, {data.begin() + t->offset, data.begin() + t->offset + t->length}});
    }
    tables.push_back(std::move(loca));
    tables.push_back(std::move(glyf));
    std::stable_sort(tables.begin(), tables.end(), [](const OutTable& a, const OutTable& b) { return a.tag < b.tag; });

    const uint16_t numTables = uint16_t(tables.size());
    uint16_t entrySelector = 0;
    while ((2u << entrySelector) <= numTables)
        ++entrySelector;
    const uint16_t searchRange = uint16_t(16u << entrySelector);

    std::vector<uint8_t> out;
    size_t total = 12 + 16 * size_t(numTables);
    for (const OutTable& t : tables)
        total += (t.bytes.size() + 3) / 4 * 4;
    out.reserve(total);
    appendBe32(out, 0x00010000);
    appendBe16(out, numTables);
    appendBe16(out, searchRange);
    appendBe16(out, entrySelector);
    appendBe16(out, uint16_t(numTables * 16 - searchRange));
    size_t offset = 12 + 16 * size_t(numTables);
    size_t headOffset = 0;
    for (const OutTable& t : tables) {
        appendBe32(out, t.tag);
        appendBe32(out, sfntTableChecksum(t.bytes));
        appendBe32(out, uint32_t(offset));
        appendBe32(out, uint32_t(t.bytes.size()));
        if (t.tag == makeTag("head"))
            headOffset = offset;
        offset += (t.bytes.size() + 3) / 4 * 4;
    }
    for (const OutTable& t : tables) {
        out.insert(out.end(), t.bytes.begin(), t.bytes.end());
        padTo4(out);
    }
    storeBe32(out.data() + headOffset + 8, 0xB1B0AFBAu - sfntTableChecksum(out));
    return out;
}

}  // namespace qm
