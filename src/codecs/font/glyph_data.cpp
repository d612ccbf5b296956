#include "codecs/font/glyph_data.h"

#include "codecs/font/font.h"

namespace qm {

int32_t glyphCount(const Font& font) { return font.numGlyphs; }

std::pair<int32_t, int32_t> glyphDataRange(const Font& font, int32_t glyph)
{
    if (glyph < 0 || glyph >= font.numGlyphs || !font.hasGlyf)
        return {0, 0};
    return locaRange(font, glyph);
}

std::vector<int32_t> compositeComponents(const Font& font, int32_t glyph)
{
    std::vector<int32_t> out;
    auto [start, length] = glyphDataRange(font, glyph);
    FontData data = fontData(font);
    if (length < 10 || fontI16(data, start) >= 0)
        return out;
    int64_t end = int64_t{start} + length;
    for (int64_t p = start + 10; p + 4 <= end;) {
        uint16_t flags = fontU16(data, p);
        out.push_back(fontU16(data, p + 2));
        p += 4 + ((flags & 1) ? 4 : 2);
        if (flags & 8)
            p += 2;
        else if (flags & 0x40)
            p += 4;
        else if (flags & 0x80)
            p += 8;
        if (!(flags & 0x20))
            break;
    }
    return out;
}

FontData fontBytes(const Font& font) { return fontData(font); }

std::pair<int32_t, int32_t> tableRange(const Font& font, const char (&tag)[5])
{
    const TableRange* t = findTable(font, tag);
    return t ? std::pair{t->offset, t->length} : std::pair{0, 0};
}

std::array<int32_t, 4> fontBoundingBox(const Font& font)
{
    FontData data = fontData(font);
    int64_t head = findTable(font, "head")->offset;
    return {fontI16(data, head + 36), fontI16(data, head + 38), fontI16(data, head + 40), fontI16(data, head + 42)};
}

}  // namespace qm
