#include "codecs/font/cmap.h"

#include <algorithm>

#include "codecs/font/font.h"

namespace qm {

namespace {

// Codes past the last Unicode scalar value are never asked for; refusing them
// bounds the map a hostile format 12 or 13 subtable can build.
constexpr int64_t kLastCodePoint = 0x10FFFF;
constexpr int64_t kMaxGroupSpan = 65536;
// Segments and groups may overlap, so a small hostile table could make
// reading it take billions of steps; no real map visits more codes than
// Unicode has.
constexpr int64_t kMaxCodesVisited = kLastCodePoint + 1;

int subtableScore(int platform, int encoding, int format)
{
    if (platform == 3 && encoding == 10 && format == 12)
        return 5;
    if (platform == 3 && encoding == 1 && format == 4)
        return 4;
    if (platform == 0 && format == 12)
        return 3;
    if (platform == 0 && format == 4)
        return 2;
    return format == 0 ? 1 : 0;
}

struct CmapBuilder {
    FontData data;
    std::unordered_map<int32_t, int32_t>& map;
    int64_t budget = kMaxCodesVisited;

    // Takes count codes from the budget; false once it is spent.
    bool visit(int64_t count)
    {
        budget -= std::max<int64_t>(count, 0);
        return budget >= 0;
    }

    void set(int64_t code, int64_t glyph)
    {
        if (code >= 0 && code <= kLastCodePoint)
            map[static_cast<int32_t>(code)] = static_cast<int32_t>(glyph);
    }
    void setNonZero(int64_t code, int64_t glyph)
    {
        if (glyph != 0)
            set(code, glyph);
    }

    void format0(int64_t s)
    {
        checkFontRange(data, s + 6, 256);
        for (int c = 0; c < 256; ++c)
            setNonZero(c, data[s + 6 + c]);
    }

    void format4(int64_t s)
    {
        int64_t segX2 = fontU16(data, s + 6);
        int64_t ends = s + 14, starts = s + 16 + segX2, deltas = starts + segX2, ranges = deltas + segX2;
        for (int64_t i = 0; i < segX2 / 2; ++i) {
            int64_t end = fontU16(data, ends + 2 * i);
            int64_t start = fontU16(data, starts + 2 * i);
            int64_t delta = fontU16(data, deltas + 2 * i);
            int64_t rangePos = ranges + 2 * i;
            int64_t rangeOffset = fontU16(data, rangePos);
            if (!visit(end - start + 1))
                return;
            for (int64_t c = start; c <= end; ++c) {
                if (c == 0xFFFF)
                    break;
                if (rangeOffset == 0) {
                    setNonZero(c, (c + delta) & 0xFFFF);
                    continue;
                }
                int64_t at = rangePos + rangeOffset + 2 * (c - start);
                if (!fontRangeInside(data, at, 2))
                    continue;
                int64_t g = fontU16(data, at);
                if (g != 0)
                    setNonZero(c, (g + delta) & 0xFFFF);
            }
        }
    }

    void format6(int64_t s)
    {
        int64_t first = fontU16(data, s + 6);
        int64_t count = fontU16(data, s + 8);
        for (int64_t i = 0; i < count && fontRangeInside(data, s + 10 + 2 * i, 2); ++i)
            setNonZero(first + i, fontU16(data, s + 10 + 2 * i));
    }

    void format10(int64_t s)
    {
        int64_t first = fontU32(data, s + 12);
        int64_t count = std::min<int64_t>(fontU32(data, s + 16), kMaxGroupSpan);
        for (int64_t i = 0; i < count && fontRangeInside(data, s + 20 + 2 * i, 2); ++i)
            setNonZero(first + i, fontU16(data, s + 20 + 2 * i));
    }

    void format12(int64_t s)
    {
        int64_t groups = fontU32(data, s + 12);
        for (int64_t i = 0; i < groups; ++i) {
            int64_t g = s + 16 + 12 * i;
            int64_t start = fontU32(data, g), end = fontU32(data, g + 4), glyph = fontU32(data, g + 8);
            if (end - start > kMaxGroupSpan)
                continue;
            if (!visit(end - start + 1))
                return;
            for (int64_t c = start; c <= end && c <= kLastCodePoint; ++c)
                set(c, glyph + (c - start));
        }
    }

    void format13(int64_t s)
    {
        int64_t groups = fontU32(data, s + 12);
        for (int64_t i = 0; i < groups; ++i) {
            int64_t g = s + 16 + 12 * i;
            if (!fontRangeInside(data, g, 12))
                break;
            int64_t start = fontU32(data, g), end = fontU32(data, g + 4), glyph = fontU32(data, g + 8);
            if (glyph == 0 || end - start > kMaxGroupSpan)
                continue;
            if (!visit(end - start + 1))
                return;
            for (int64_t c = start; c <= end && c <= kLastCodePoint; ++c)
                set(c, glyph);
        }
    }
};

}  // namespace

void parseCmap(Font& font)
{
    const TableRange* cmap = findTable(font, "cmap");
    if (!cmap)
        return;
    FontData data = fontData(font);
    int64_t base = cmap->offset;
    int64_t numTables = fontU16(data, base + 2);
    int best = -1;
    int64_t chosen = 0;
    int chosenPlatform = 0, chosenEncoding = 0, chosenFormat = 0;
    for (int64_t i = 0; i < numTables; ++i) {
        int64_t rec = base + 4 + 8 * i;
        int platform = fontU16(data, rec), encoding = fontU16(data, rec + 2);
        int64_t sub = base + fontU32(data, rec + 4);
        int format = fontU16(data, sub);
        int score = subtableScore(platform, encoding, format);
        if (score > best) {
            best = score;
            chosen = sub;
            chosenPlatform = platform;
            chosenEncoding = encoding;
            chosenFormat = format;
        }
    }
    if (best < 0)
        return;

    // Most glyphs have a code point: room for that many spares the map
    // rehashing as it fills (capped, since numGlyphs comes from the file).
    font.cmap.reserve(static_cast<size_t>(std::clamp(font.numGlyphs, 0, 65536)));
    CmapBuilder b{data, font.cmap};
    switch (chosenFormat) {
    case 0:
        b.format0(chosen);
        break;
    case 4:
        b.format4(chosen);
        break;
    case 6:
        b.format6(chosen);
        break;
    case 10:
        b.format10(chosen);
        break;
    case 12:
        b.format12(chosen);
        break;
    case 13:
        b.format13(chosen);
        break;
    default:
        break;
    }

    // Symbol fonts put their characters in the private area at U+F000; text
    // asks for them by their Latin-1 codes.
    if (chosenPlatform == 3 && chosenEncoding == 0) {
        for (int32_t c = 0x20; c <= 0xFF; ++c) {
            if (font.cmap.count(c))
                continue;
            auto it = font.cmap.find(0xF000 + c);
            if (it != font.cmap.end())
                font.cmap[c] = it->second;
        }
    }
}

int32_t glyphIndex(const Font& font, int32_t codePoint)
{
    auto it = font.cmap.find(codePoint);
    return it == font.cmap.end() ? 0 : it->second;
}

}  // namespace qm
