#include "codecs/font/font_test_helpers.h"

#include <algorithm>
#include <cstring>

namespace qm::test {

Bytes& Bytes::u8(int v)
{
    push_back(uint8_t(v));
    return *this;
}
Bytes& Bytes::u16(int v)
{
    push_back(uint8_t(v >> 8));
    push_back(uint8_t(v));
    return *this;
}
Bytes& Bytes::u32(uint32_t v)
{
    u16(int(v >> 16));
    return u16(int(v & 0xFFFF));
}
Bytes& Bytes::tag(const char* t)
{
    insert(end(), t, t + 4);
    return *this;
}
Bytes& Bytes::append(const std::vector<uint8_t>& b)
{
    insert(end(), b.begin(), b.end());
    return *this;
}
Bytes& Bytes::pad4()
{
    while (size() % 4)
        push_back(0);
    return *this;
}

static void writeDirectory(Bytes& out, const std::vector<Table>& tables, uint32_t version, uint32_t dataStart)
{
    out.u32(version).u16(int(tables.size())).u16(0).u16(0).u16(0);
    uint32_t offset = dataStart;
    for (const Table& t : tables) {
        out.tag(t.tag.c_str()).u32(0).u32(offset).u32(uint32_t(t.bytes.size()));
        offset += uint32_t((t.bytes.size() + 3) & ~size_t{3});
    }
}

Bytes makeSfnt(const std::vector<Table>& tables, uint32_t version)
{
    Bytes out;
    writeDirectory(out, tables, version, uint32_t(12 + 16 * tables.size()));
    for (const Table& t : tables)
        out.append(t.bytes).pad4();
    return out;
}

Bytes makeCollection(const std::vector<std::vector<Table>>& faces)
{
    Bytes out;
    out.tag("ttcf").u32(0x00010000).u32(uint32_t(faces.size()));
    uint32_t at = uint32_t(12 + 4 * faces.size());
    std::vector<uint32_t> dirs;
    for (const auto& f : faces) {
        dirs.push_back(at);
        at += uint32_t(12 + 16 * f.size());
    }
    for (uint32_t d : dirs)
        out.u32(d);
    std::vector<uint32_t> dataStarts;
    for (const auto& f : faces) {
        dataStarts.push_back(at);
        for (const Table& t : f)
            at += uint32_t((t.bytes.size() + 3) & ~size_t{3});
    }
    for (size_t i = 0; i < faces.size(); ++i)
        writeDirectory(out, faces[i], 0x00010000, dataStarts[i]);
    for (const auto& f : faces)
        for (const Table& t : f)
            out.append(t.bytes).pad4();
    return out;
}

Bytes headTable(int unitsPerEm, int indexToLocFormat)
{
    Bytes b(54, 0);
    b[18] = uint8_t(unitsPerEm >> 8);
    b[19] = uint8_t(unitsPerEm);
    b[36] = 0xFF, b[37] = 0xF6;  // xMin -10
    b[38] = 0xFF, b[39] = 0xEC;  // yMin -20
    b[40] = 0x03, b[41] = 0xE8;  // xMax 1000
    b[42] = 0x02, b[43] = 0xBC;  // yMax 700
    b[50] = uint8_t(indexToLocFormat >> 8);
    b[51] = uint8_t(indexToLocFormat);
    return b;
}

Bytes hheaTable(int ascent, int descent, int lineGap, int numberOfHMetrics)
{
    Bytes b;
    b.u32(0x00010000).u16(ascent).u16(descent).u16(lineGap);
    b.resize(34, 0);
    return b.u16(numberOfHMetrics);
}

Bytes maxpTable(int numGlyphs) { return Bytes().u32(0x00005000).u16(numGlyphs); }

Bytes hmtxTable(const std::vector<std::pair<int, int>>& metrics, const std::vector<int>& extraLsbs)
{
    Bytes b;
    for (auto [adv, lsb] : metrics)
        b.u16(adv).u16(lsb);
    for (int lsb : extraLsbs)
        b.u16(lsb);
    return b;
}

Bytes os2Table(
    int length, int fsSelection, int typoAscender, int typoDescender, int typoLineGap, int winAscent, int winDescent)
{
    Bytes b(78, 0);
    auto put = [&](size_t at, int v) {
        b[at] = uint8_t(v >> 8);
        b[at + 1] = uint8_t(v);
    };
    put(62, fsSelection);
    put(68, typoAscender);
    put(70, typoDescender);
    put(72, typoLineGap);
    put(74, winAscent);
    put(76, winDescent);
    b.resize(length, 0);
    return b;
}

Bytes simpleGlyph(const std::vector<std::vector<Pt>>& contours)
{
    Bytes b;
    b.u16(int(contours.size())).u16(0).u16(0).u16(0).u16(0);
    int end = -1;
    std::vector<Pt> all;
    for (const auto& c : contours) {
        end += int(c.size());
        b.u16(end);
        all.insert(all.end(), c.begin(), c.end());
    }
    b.u16(0);  // no instructions
    for (const Pt& p : all)
        b.u8(p.on ? 1 : 0);
    int last = 0;
    for (const Pt& p : all)
        b.u16(p.x - last), last = p.x;
    last = 0;
    for (const Pt& p : all)
        b.u16(p.y - last), last = p.y;
    return b;
}

Bytes rawSimpleGlyph(const std::vector<int>& endPts, const Bytes& body)
{
    Bytes b;
    b.u16(int(endPts.size())).u16(0).u16(0).u16(0).u16(0);
    for (int e : endPts)
        b.u16(e);
    return b.u16(0).append(body);
}

Bytes compositeGlyph(const std::vector<Component>& components)
{
    Bytes b;
    b.u16(0xFFFF).u16(0).u16(0).u16(0).u16(0);
    for (size_t i = 0; i < components.size(); ++i) {
        const Component& c = components[i];
        int flags = c.flags | (i + 1 < components.size() ? 0x20 : 0);
        b.u16(flags).u16(c.glyph);
        if (flags & 1)
            b.u16(c.arg1).u16(c.arg2);
        else
            b.u8(c.arg1).u8(c.arg2);
        for (int w : c.transform)
            b.u16(w);
    }
    return b;
}

std::pair<Bytes, Bytes> glyfLoca(const std::vector<Bytes>& glyphs)
{
    Bytes glyf, loca;
    for (const Bytes& g : glyphs) {
        loca.u32(uint32_t(glyf.size()));
        glyf.append(g);
    }
    loca.u32(uint32_t(glyf.size()));
    return {glyf, loca};
}

Bytes ttfFont(const std::vector<Bytes>& glyphs, const std::vector<Table>& extra, int unitsPerEm)
{
    auto [glyf, loca] = glyfLoca(glyphs);
    std::vector<std::pair<int, int>> metrics;
    for (size_t i = 0; i < glyphs.size(); ++i)
        metrics.push_back({500 + int(i), int(i)});
    std::vector<Table> tables = {
        {"head", headTable(unitsPerEm)},
        {"hhea", hheaTable(800, -200, 90, int(glyphs.size()))},
        {"maxp", maxpTable(int(glyphs.size()))},
        {"hmtx", hmtxTable(metrics)},
        {"loca", loca},
        {"glyf", glyf},
    };
    tables.insert(tables.end(), extra.begin(), extra.end());
    return makeSfnt(tables);
}

}  // namespace qm::test
