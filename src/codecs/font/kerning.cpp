#include "codecs/font/kerning.h"
#include "codecs/font/kerning_internal.h"

#include <algorithm>
#include <bit>

#include "codecs/font/font.h"

namespace qm {

void readKernTable(Font& font)
{
    const TableRange* kern = findTable(font, "kern");
    if (!kern)
        return;
    FontData data = fontData(font);
    int64_t k = kern->offset;
    if (fontU16(data, k) != 0)
        return;
    int64_t tables = fontU16(data, k + 2);
    int64_t sub = k + 4;
    // Subtables may overlap (a length of 0 repeats the same one), so the
    // pairs read are bounded: far above any real font, far below a hang.
    int64_t budget = int64_t{1} << 20;
    for (int64_t t = 0; t < tables; ++t) {
        uint16_t length = fontU16(data, sub + 2);
        uint16_t coverage = fontU16(data, sub + 4);
        if (coverage < 256 && (coverage & 1)) {
            int64_t pairs = std::min<int64_t>(fontU16(data, sub + 6), budget);
            budget -= pairs;
            checkFontRange(data, sub + 14, 6 * pairs);
            for (int64_t i = 0; i < pairs; ++i) {
                int64_t p = sub + 14 + 6 * i;
                font.kernPairs[glyphPairKey(fontU16(data, p), fontU16(data, p + 2))] = fontI16(data, p + 4);
            }
        }
        if (length == 0)
            break;  // every further subtable would be this one again
        sub += length;
    }
}

void readGposKerning(Font& font)
{
    const TableRange* gpos = findTable(font, "GPOS");
    if (!gpos || gpos->length < 10)
        return;
    FontData data = fontData(font);
    const int64_t g = gpos->offset;
    const int64_t gposEnd = g + gpos->length;
    try {
        int64_t features = g + fontU16(data, g + 6);
        int64_t lookups = g + fontU16(data, g + 8);
        std::vector<int32_t> indices;
        std::vector<bool> seen(65536);
        int64_t featureCount = fontU16(data, features);
        for (int64_t i = 0; i < featureCount; ++i) {
            int64_t rec = features + 2 + 6 * i;
            if (fontTag(data, rec) != makeTag("kern"))
                continue;
            int64_t feature = features + fontU16(data, rec + 4);
            int64_t count = fontU16(data, feature + 2);
            for (int64_t j = 0; j < count; ++j) {
                int32_t index = fontU16(data, feature + 4 + 2 * j);
                if (!seen[index]) {
                    seen[index] = true;
                    indices.push_back(index);
                }
            }
        }
        const int32_t lookupCount = fontU16(data, lookups);
        for (int32_t index : indices) {
            if (index >= lookupCount)
                continue;
            int64_t lookup = lookups + fontU16(data, lookups + 2 + 2 * int64_t{index});
            uint16_t type = fontU16(data, lookup);
            int64_t subtables = fontU16(data, lookup + 4);
            for (int64_t s = 0; s < subtables; ++s) {
                int64_t start = lookup + fontU16(data, lookup + 6 + 2 * s);
                uint16_t realType = type;
                if (type == 9) {
                    realType = fontU16(data, start + 2);
                    start += fontU32(data, start + 4);
                }
                if (realType != 2 || start + 10 >= gposEnd)
                    continue;
                uint16_t format = fontU16(data, start);
                if (format == 1 || format == 2)
                    font.gposPairSubtables.push_back(int32_t(start));
            }
            font.gposLookupEnds.push_back(int32_t(font.gposPairSubtables.size()));
        }
    } catch (const ValueError&) {
        font.gposPairSubtables.clear();
        font.gposLookupEnds.clear();
    }
}

// Coverage and ClassDef tables of format 2 share their layout: a count at
// + 2, then sorted (start, end, value) records from + 4. The record holding
// the glyph, or -1.
static int64_t findGlyphRange(FontData data, int64_t table, int32_t glyph)
{
    int64_t lo = 0, hi = fontU16(data, table + 2);
    while (lo < hi) {
        int64_t mid = (lo + hi) / 2;
        int64_t rec = table + 4 + 6 * mid;
        if (glyph < fontU16(data, rec))
            hi = mid;
        else if (glyph > fontU16(data, rec + 2))
            lo = mid + 1;
        else
            return rec;
    }
    return -1;
}

std::optional<int32_t> coverageIndex(const Font& font, int64_t coverage, int32_t glyph)
{
    FontData data = fontData(font);
    uint16_t format = fontU16(data, coverage);
    if (format == 1) {
        int64_t lo = 0, hi = fontU16(data, coverage + 2);
        while (lo < hi) {
            int64_t mid = (lo + hi) / 2;
            int32_t id = fontU16(data, coverage + 4 + 2 * mid);
            if (id == glyph)
                return int32_t(mid);
            if (id < glyph)
                lo = mid + 1;
            else
                hi = mid;
        }
    } else if (format == 2) {
        if (int64_t rec = findGlyphRange(data, coverage, glyph); rec >= 0)
            return fontU16(data, rec + 4) + glyph - fontU16(data, rec);
    }
    return std::nullopt;
}

int32_t classOf(const Font& font, int64_t classDef, int32_t glyph)
{
    FontData data = fontData(font);
    uint16_t format = fontU16(data, classDef);
    if (format == 1) {
        int32_t start = fontU16(data, classDef + 2), count = fontU16(data, classDef + 4);
        if (glyph >= start && glyph < start + count)
            return fontU16(data, classDef + 6 + 2 * int64_t{glyph - start});
    } else if (format == 2) {
        if (int64_t rec = findGlyphRange(data, classDef, glyph); rec >= 0)
            return fontU16(data, rec + 4);
    }
    return 0;
}

int32_t valueRecordSize(uint16_t valueFormat) { return 2 * std::popcount(unsigned(valueFormat & 0xFF)); }

double valueXAdvance(const Font& font, int64_t record, uint16_t valueFormat)
{
    if (!(valueFormat & 4))
        return 0;
    return fontI16(fontData(font), record + 2 * std::popcount(unsigned(valueFormat & 3)));
}

std::optional<double> pairAdjustment(const Font& font, int64_t subtable, int32_t left, int32_t right)
{
    FontData data = fontData(font);
    uint16_t format = fontU16(data, subtable);
    if (format != 1 && format != 2)
        return std::nullopt;
    std::optional<int32_t> coveredAt = coverageIndex(font, subtable + fontU16(data, subtable + 2), left);
    if (!coveredAt)
        return std::nullopt;
    const int32_t covered = *coveredAt;
    uint16_t format1 = fontU16(data, subtable + 4), format2 = fontU16(data, subtable + 6);
    const int64_t size1 = valueRecordSize(format1), size2 = valueRecordSize(format2);
    if (format == 1) {
        if (covered >= fontU16(data, subtable + 8))
            return std::nullopt;
        int64_t pairSet = subtable + fontU16(data, subtable + 10 + 2 * int64_t{covered});
        const int64_t recordSize = 2 + size1 + size2;
        int64_t lo = 0, hi = fontU16(data, pairSet);
        while (lo < hi) {
            int64_t mid = (lo + hi) / 2;
            int64_t rec = pairSet + 2 + recordSize * mid;
            int32_t second = fontU16(data, rec);
            if (second == right)
                return valueXAdvance(font, rec + 2, format1);
            if (second < right)
                lo = mid + 1;
            else
                hi = mid;
        }
        return std::nullopt;
    }
    // A class past the class counts would index bytes outside the matrix.
    int32_t class1 = classOf(font, subtable + fontU16(data, subtable + 8), left);
    int32_t class2 = classOf(font, subtable + fontU16(data, subtable + 10), right);
    int64_t class1Count = fontU16(data, subtable + 12), class2Count = fontU16(data, subtable + 14);
    if (class1 >= class1Count || class2 >= class2Count)
        return std::nullopt;
    int64_t rec = subtable + 16 + (class1 * class2Count + class2) * (size1 + size2);
    return valueXAdvance(font, rec, format1);
}

double kerning(Font& font, int32_t left, int32_t right)
{
    const uint64_t key = glyphPairKey(left, right);
    if (font.gposPairSubtables.empty()) {
        auto it = font.kernPairs.find(key);
        return it == font.kernPairs.end() ? 0 : it->second;
    }
    if (auto it = font.kerningCache.find(key); it != font.kerningCache.end())
        return it->second;
    double sum = 0;
    size_t first = 0;
    for (int32_t end : font.gposLookupEnds) {
        for (size_t s = first; s < size_t(end); ++s) {
            std::optional<double> found;
            try {
                found = pairAdjustment(font, font.gposPairSubtables[s], left, right);
            } catch (const ValueError&) {
            }
            if (found) {
                sum += *found;
                break;
            }
        }
        first = size_t(end);
    }
    font.kerningCache[key] = sum;
    return sum;
}

}  // namespace qm
