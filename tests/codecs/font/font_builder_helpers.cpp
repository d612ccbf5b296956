#include "codecs/font/font_builder.h"

#include <algorithm>

#include "codecs/font/builtin_fonts.h"
#include "core/files.h"

namespace qm::test {

namespace {

struct Out : std::vector<uint8_t> {
    Out& u16(int v)
    {
        push_back(uint8_t(v >> 8));
        push_back(uint8_t(v));
        return *this;
    }
    Out& u32(uint32_t v)
    {
        u16(int(v >> 16));
        return u16(int(v & 0xFFFF));
    }
    Out& bytes(const std::vector<uint8_t>& b)
    {
        insert(end(), b.begin(), b.end());
        return *this;
    }
};

Out cmapTable(const std::map<int, int>& cmap)
{
    // Format 4, one segment per code point plus the closing one.
    const int segs = int(cmap.size()) + 1;
    Out t;
    t.u16(0).u16(1).u16(3).u16(1).u32(12);
    Out sub;
    sub.u16(4).u16(16 + 8 * segs).u16(0).u16(2 * segs).u16(0).u16(0).u16(0);
    for (auto [cp, g] : cmap)
        sub.u16(cp);
    sub.u16(0xFFFF).u16(0);
    for (auto [cp, g] : cmap)
        sub.u16(cp);
    sub.u16(0xFFFF);
    for (auto [cp, g] : cmap)
        sub.u16((g - cp) & 0xFFFF);
    sub.u16(1);
    for (int i = 0; i < segs; ++i)
        sub.u16(0);
    return Out(t).bytes(sub);
}

Out kernTable(const std::map<std::pair<int, int>, int>& pairs)
{
    Out t;
    t.u16(0).u16(1);
    t.u16(0).u16(14 + 6 * int(pairs.size())).u16(1).u16(int(pairs.size())).u16(0).u16(0).u16(0);
    for (auto [pair, v] : pairs)
        t.u16(pair.first).u16(pair.second).u16(v & 0xFFFF);
    return t;
}

}  // namespace

std::vector<uint8_t> simpleGlyph(int size)
{
    Out g;
    g.u16(1).u16(0).u16(0).u16(size).u16(size);  // one contour, bbox
    g.u16(2).u16(0);                             // end point 2, no instructions
    g.push_back(1);
    g.push_back(1);
    g.push_back(1);  // on-curve, 2-byte coordinates
    g.u16(0).u16(size).u16(0).u16(0).u16(0).u16(size);
    if (g.size() % 2)
        g.push_back(0);
    return g;
}

std::vector<uint8_t> compositeGlyph(const std::vector<int>& components)
{
    Out g;
    g.u16(0xFFFF).u16(0).u16(0).u16(100).u16(100);
    for (size_t i = 0; i < components.size(); ++i) {
        // Byte offsets of 0, 0; more components follow all but the last.
        g.u16(0x0002 | (i + 1 < components.size() ? 0x0020 : 0)).u16(components[i]).u16(0);
    }
    return g;
}

std::vector<uint8_t> buildFont(const FontSpec& spec)
{
    std::vector<std::pair<std::string, Out>> tables;
    Out head;
    head.u32(0x00010000).u32(0x00010000).u32(0).u32(0x5F0F3CF5).u16(0).u16(spec.unitsPerEm);
    for (int i = 0; i < 16; ++i)
        head.push_back(0);
    head.u16(0xFFF0).u16(0xFF00).u16(1000).u16(900);  // bbox -16 -256 1000 900
    head.u16(0).u16(8).u16(2).u16(1).u16(0);          // macStyle, lowest, direction, long loca, glyph format
    Out hhea;
    hhea.u32(0x00010000).u16(800).u16(0xFF38).u16(0);
    for (int i = 0; i < 12; ++i)
        hhea.u16(0);
    hhea.u16(spec.numGlyphs);
    Out maxp;
    maxp.u32(0x00010000).u16(spec.numGlyphs);
    for (int i = 0; i < 13; ++i)
        maxp.u16(0);
    Out hmtx;
    for (int g = 0; g < spec.numGlyphs; ++g) {
        auto it = spec.advances.find(g);
        hmtx.u16(it == spec.advances.end() ? spec.advance : it->second).u16(0);
    }
    Out glyf, loca;
    for (int g = 0; g <= spec.numGlyphs; ++g) {
        loca.u32(uint32_t(glyf.size()));
        if (auto it = spec.glyphs.find(g); g < spec.numGlyphs && it != spec.glyphs.end())
            glyf.bytes(it->second);
    }
    if (spec.hinting) {
        tables.push_back({"cvt ", Out().u16(10).u16(20)});
        tables.push_back({"fpgm", Out().u16(0xB001)});
        tables.push_back({"prep", Out().u16(0xB002)});
    }
    tables.push_back({"cmap", cmapTable(spec.cmap)});
    tables.push_back({"glyf", glyf});
    tables.push_back({"head", head});
    tables.push_back({"hhea", hhea});
    tables.push_back({"hmtx", hmtx});
    if (!spec.kern.empty())
        tables.push_back({"kern", kernTable(spec.kern)});
    tables.push_back({"loca", loca});
    tables.push_back({"maxp", maxp});
    std::sort(tables.begin(), tables.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

    Out file;
    file.u32(0x00010000).u16(int(tables.size())).u16(0).u16(0).u16(0);
    uint32_t offset = uint32_t(12 + 16 * tables.size());
    for (auto& [tag, data] : tables) {
        file.insert(file.end(), tag.begin(), tag.end());
        file.u32(0).u32(offset).u32(uint32_t(data.size()));
        offset += uint32_t((data.size() + 3) / 4 * 4);
    }
    for (auto& [tag, data] : tables) {
        file.bytes(data);
        file.resize((file.size() + 3) / 4 * 4);
    }
    return file;
}

FontRef makeFont(const FontSpec& spec)
{
    std::vector<uint8_t> bytes = buildFont(spec);
    FontRef font = parseTrueType(bytes);
    font->familyName = "Test Sans";
    return font;
}

FontRef systemFont(const std::string& file)
{
    std::string bytes = readFile("/usr/share/fonts/truetype/dejavu/" + file);
    return parseTrueType(FontData(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

FontRef plexRegular() { return parseTrueType(builtinFontFile(BuiltinFont::sansRegular)); }

}  // namespace qm::test
