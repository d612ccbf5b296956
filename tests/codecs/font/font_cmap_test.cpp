#include <gtest/gtest.h>

#include "codecs/font/cmap.h"
#include "codecs/font/font.h"
#include "codecs/font/font_test_helpers.h"

using namespace qm;
using namespace qm::test;

namespace {

struct Sub {
    int platform, encoding;
    Bytes body;
};

Bytes cmapTable(const std::vector<Sub>& subs)
{
    Bytes b;
    b.u16(0).u16(int(subs.size()));
    uint32_t at = uint32_t(4 + 8 * subs.size());
    for (const Sub& s : subs) {
        b.u16(s.platform).u16(s.encoding).u32(at);
        at += uint32_t(s.body.size());
    }
    for (const Sub& s : subs)
        b.append(s.body);
    return b;
}

struct Segment {
    int start, end, delta, rangeOffset;
};

// Format 4 with the segments given, then the glyph words idRangeOffset points at.
Bytes format4(const std::vector<Segment>& segs, const std::vector<int>& glyphWords = {})
{
    Bytes b;
    int n = int(segs.size());
    b.u16(4).u16(0).u16(0).u16(2 * n).u16(0).u16(0).u16(0);
    for (const Segment& s : segs)
        b.u16(s.end);
    b.u16(0);
    for (const Segment& s : segs)
        b.u16(s.start);
    for (const Segment& s : segs)
        b.u16(s.delta);
    for (const Segment& s : segs)
        b.u16(s.rangeOffset);
    for (int g : glyphWords)
        b.u16(g);
    return b;
}

struct Group {
    uint32_t start, end, glyph;
};

Bytes format12(const std::vector<Group>& groups, int format = 12)
{
    Bytes b;
    b.u16(format).u16(0).u32(uint32_t(16 + 12 * groups.size())).u32(0).u32(uint32_t(groups.size()));
    for (const Group& g : groups)
        b.u32(g.start).u32(g.end).u32(g.glyph);
    return b;
}

FontRef fontWithCmap(const std::vector<Sub>& subs)
{
    return parseTrueType(ttfFont({simpleGlyph({})}, {{"cmap", cmapTable(subs)}}));
}

}  // namespace

TEST(CharacterMap, PrefersTheBestSubtable)
{
    Bytes mapsAto7 = format4({{65, 65, 7 - 65, 0}, {0xFFFF, 0xFFFF, 1, 0}});
    Bytes mapsAto9 = format4({{65, 65, 9 - 65, 0}, {0xFFFF, 0xFFFF, 1, 0}});
    Bytes full12 = format12({{65, 65, 11}});
    struct Case {
        const char* name;
        std::vector<Sub> subs;
        int glyphOfA;
    } cases[] = {
        {"(3,10) format 12 over (3,1) format 4", {{3, 1, mapsAto7}, {3, 10, full12}}, 11},
        {"(3,1) format 4 over (0,3) format 4", {{0, 3, mapsAto9}, {3, 1, mapsAto7}}, 7},
        {"(0,4) format 12 over (0,3) format 4", {{0, 3, mapsAto9}, {0, 4, full12}}, 11},
        {"first of equal scores", {{3, 1, mapsAto7}, {3, 1, mapsAto9}}, 7},
        {"(3,0) format 4 when nothing scores", {{3, 0, mapsAto9}}, 9},
        {"(3,1) format 12 scores 0, below format 0",
            {{3, 1, full12}, {1, 0, Bytes().u16(0).u16(262).u16(0).append(Bytes(256, 3))}}, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(glyphIndex(*fontWithCmap(c.subs), 65), c.glyphOfA) << c.name;
}

TEST(CharacterMap, DecodesEveryFormat)
{
    // Segment 2 maps 'a'..'c' through glyph words; its idRangeOffset counts
    // from its own entry: 2 bytes to the end of the array, then the words.
    Bytes f4 = format4({{65, 67, -32 & 0xFFFF, 0}, {97, 99, 5, 4}, {0xFFFF, 0xFFFF, 1, 0}}, {40, 0, 60});
    FontRef font = fontWithCmap({{3, 1, f4}});
    EXPECT_EQ(glyphIndex(*font, 65), 33);
    EXPECT_EQ(glyphIndex(*font, 67), 35);
    EXPECT_EQ(glyphIndex(*font, 97), 45);
    EXPECT_EQ(glyphIndex(*font, 98), 0);  // a glyph word of 0
    EXPECT_EQ(glyphIndex(*font, 99), 65);
    EXPECT_EQ(glyphIndex(*font, 0xFFFF), 0);
    EXPECT_EQ(glyphIndex(*font, 100), 0);
    EXPECT_EQ(font->cmap.size(), 5u);

    FontRef f12 =
        fontWithCmap({{3, 10, format12({{0x10000, 0x10010, 100}, {0x20000, 0x20000 + 70000, 5}, {48, 49, 0}})}});
    EXPECT_EQ(glyphIndex(*f12, 0x10000), 100);
    EXPECT_EQ(glyphIndex(*f12, 0x10010), 116);
    EXPECT_EQ(glyphIndex(*f12, 0x20001), 0);
    EXPECT_EQ(f12->cmap.count(48), 1u);  // format 12 enters glyph 0 too
    EXPECT_EQ(glyphIndex(*f12, 49), 1);

    Bytes f13 = format12({{0x2600, 0x2602, 9}, {0x2700, 0x2701, 0}}, 13);
    f13.resize(f13.size() - 4);  // the last group is cut off by the end of the font
    FontRef g13 = parseTrueType(
        makeSfnt({{"head", headTable()}, {"hhea", hheaTable(800, -200, 0, 1)}, {"hmtx", hmtxTable({{500, 0}})},
            {"loca", Bytes().u32(0).u32(0)}, {"glyf", Bytes()}, {"cmap", cmapTable({{0, 6, f13}})}}));
    EXPECT_EQ(glyphIndex(*g13, 0x2601), 9);
    EXPECT_EQ(g13->cmap.size(), 3u);

    Bytes f6 = Bytes().u16(6).u16(0).u16(0).u16(0x41).u16(3).u16(4).u16(0).u16(6);
    FontRef g6 = fontWithCmap({{1, 0, f6}, {3, 1, Bytes().u16(99)}});
    EXPECT_EQ(glyphIndex(*g6, 0x41), 4);
    EXPECT_EQ(glyphIndex(*g6, 0x42), 0);
    EXPECT_EQ(glyphIndex(*g6, 0x43), 6);

    Bytes f10 = Bytes().u16(10).u16(0).u32(0).u32(0).u32(0x1F600).u32(2).u16(7).u16(8);
    FontRef g10 = fontWithCmap({{0, 4, f10}});
    EXPECT_EQ(glyphIndex(*g10, 0x1F601), 8);
}

TEST(CharacterMap, SymbolFontsAnswerForLatin1Codes)
{
    FontRef font = fontWithCmap({{3, 0, format4({{0xF041, 0xF041, 36 - 0xF041, 0}, {0xFFFF, 0xFFFF, 1, 0}})}});
    EXPECT_EQ(glyphIndex(*font, 0x41), 36);
    EXPECT_EQ(glyphIndex(*font, 0xF041), 36);
    EXPECT_EQ(glyphIndex(*font, 0x42), 0);
}

TEST(CharacterMap, DamagedSubtablesFailTheLoad)
{
    Bytes cut = format4({{65, 67, 1, 0}, {0xFFFF, 0xFFFF, 1, 0}});
    Bytes table = cmapTable({{3, 1, cut}});
    table.resize(table.size() - 6);  // idDelta and idRangeOffset arrays cut short
    Bytes font = makeSfnt({{"head", headTable()}, {"hhea", hheaTable(800, -200, 0, 1)}, {"hmtx", hmtxTable({{500, 0}})},
        {"loca", Bytes().u32(0).u32(0)}, {"glyf", Bytes()}, {"cmap", table}});
    EXPECT_THROW(parseTrueType(font), IndexError);
    // No cmap, or one without subtables, maps nothing.
    EXPECT_TRUE(parseTrueType(ttfFont({simpleGlyph({})}))->cmap.empty());
    EXPECT_TRUE(fontWithCmap({})->cmap.empty());
}

TEST(CharacterMap, OverlappingGroupsCannotStallTheLoad)
{
    // 2000 groups over the same 65,537 codes would take 131 million steps.
    std::vector<Group> groups(2000, {0, 65536, 1});
    FontRef font = fontWithCmap({{3, 10, format12(groups)}});
    EXPECT_EQ(glyphIndex(*font, 65), 66);
    EXPECT_EQ(font->cmap.size(), 65537u);
}
