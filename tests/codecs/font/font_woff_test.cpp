#include <gtest/gtest.h>

#include "codecs/font/font.h"
#include "codecs/font/font_test_helpers.h"
#include "codecs/font/glyph_data.h"
#include "codecs/font/woff.h"

using namespace qm;
using namespace qm::test;

namespace {

// Bytes 0..31 ten times, and the same as a zlib stream (made by Python's zlib).
Bytes pattern()
{
    Bytes b;
    for (int i = 0; i < 320; ++i)
        b.u8(i % 32);
    return b;
}
const Bytes kPatternZlib = {0x78, 0xda, 0x63, 0x60, 0x64, 0x62, 0x66, 0x61, 0x65, 0x63, 0xe7, 0xe0, 0xe4, 0xe2, 0xe6,
    0xe1, 0xe5, 0xe3, 0x17, 0x10, 0x14, 0x12, 0x16, 0x11, 0x15, 0x13, 0x97, 0x90, 0x94, 0x92, 0x96, 0x91, 0x95, 0x93,
    0x67, 0x18, 0x95, 0xc7, 0x2b, 0x0f, 0x00, 0xbd, 0x05, 0x13, 0x61};

struct WoffTable {
    std::string tag;
    Bytes data;       // the original table
    bool compressed;  // the pattern, stored as its zlib stream
    uint32_t checksum = 0x12345678;
};

Bytes makeWoff(const std::vector<WoffTable>& tables, uint32_t flavor = 0x00010000)
{
    std::vector<Bytes> stored;
    for (const WoffTable& t : tables)
        stored.push_back(t.compressed ? kPatternZlib : t.data);
    Bytes out;
    out.tag("wOFF").u32(flavor).u32(0).u16(int(tables.size())).u16(0).u32(0);
    out.u16(1).u16(0).u32(0).u32(0).u32(0).u32(0).u32(0);
    uint32_t at = uint32_t(44 + 20 * tables.size());
    for (size_t i = 0; i < tables.size(); ++i) {
        out.tag(tables[i].tag.c_str()).u32(at).u32(uint32_t(stored[i].size()));
        out.u32(uint32_t(tables[i].data.size())).u32(tables[i].checksum);
        at += uint32_t((stored[i].size() + 3) & ~size_t{3});
    }
    for (const Bytes& s : stored)
        out.append(s).pad4();
    return out;
}

std::string woffError(const Bytes& b)
{
    try {
        woffToSfnt(b);
    } catch (const ValueError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(Woff, ConvertsToAnSfntWithAlignedTables)
{
    auto [glyf, loca] = glyfLoca({simpleGlyph({{{0, 0}, {100, 0}, {50, 70}}})});
    std::vector<WoffTable> tables = {
        {"glyf", glyf, false},
        {"head", headTable(), false},
        {"hhea", hheaTable(800, -200, 90, 1), false},
        {"hmtx", Bytes(hmtxTable({{500, 10}})), false},
        {"loca", loca, false},
        {"zzzz", pattern(), true},
    };
    tables[3].data.push_back(7);  // an odd length is padded in the output
    Bytes woff = makeWoff(tables);
    std::vector<uint8_t> sfnt = woffToSfnt(woff);
    FontData data(sfnt);
    EXPECT_EQ(fontU32(data, 0), 0x00010000);
    EXPECT_EQ(fontU16(data, 4), 6);
    EXPECT_EQ(fontU16(data, 6), 64);   // searchRange
    EXPECT_EQ(fontU16(data, 8), 2);    // entrySelector
    EXPECT_EQ(fontU16(data, 10), 32);  // rangeShift
    int64_t expectedOffset = 12 + 16 * 6;
    for (size_t i = 0; i < tables.size(); ++i) {
        int64_t rec = 12 + 16 * int64_t(i);
        EXPECT_EQ(std::string(sfnt.begin() + rec, sfnt.begin() + rec + 4), tables[i].tag);
        EXPECT_EQ(fontU32(data, rec + 4), 0x12345678);
        EXPECT_EQ(fontU32(data, rec + 8), expectedOffset);
        EXPECT_EQ(fontU32(data, rec + 12), int64_t(tables[i].data.size()));
        EXPECT_TRUE(std::equal(tables[i].data.begin(), tables[i].data.end(), sfnt.begin() + expectedOffset));
        expectedOffset += (tables[i].data.size() + 3) & ~size_t{3};
    }
    EXPECT_EQ(int64_t(sfnt.size()), expectedOffset);

    FontRef font = parseTrueType(woff);
    EXPECT_EQ(font->ascent, 800);
    EXPECT_EQ(glyphOutline(*font, 0).xMax, 100);

    std::vector<uint8_t> one = woffToSfnt(makeWoff({{"head", headTable(), false}}));
    EXPECT_EQ(fontU16(FontData(one), 6), 16);
    EXPECT_EQ(fontU16(FontData(one), 8), 0);
    EXPECT_EQ(fontU16(FontData(one), 10), 0);
}

TEST(Woff, RefusesDamagedFiles)
{
    Bytes good = makeWoff({{"zzzz", pattern(), true}});
    Bytes tooLong = good;  // claims 17 more bytes than the stream inflates to
    tooLong[44 + 12 + 3] += 17;
    Bytes pastEnd = good;
    pastEnd[44 + 8 + 2] = 0x7F;
    Bytes huge = makeWoff({{"head", Bytes(10, 0), false}});
    huge[44 + 12] = 0x04;  // origLength 64 MiB + 10
    Bytes hugeTotal = makeWoff(std::vector<WoffTable>(17, {"zzzz", pattern(), true}));
    for (int i = 0; i < 17; ++i)  // 17 tables of 64 MiB pass 2^30 together
        hugeTotal[44 + 20 * i + 12] = 0x04, hugeTotal[44 + 20 * i + 14] = 0, hugeTotal[44 + 20 * i + 15] = 0;
    Bytes noTables = good;
    noTables[13] = 0;
    Bytes cutDirectory(good.begin(), good.begin() + 50);
    Bytes badStream = good;
    badStream[good.size() - 8] ^= 0xFF;

    EXPECT_EQ(woffError(Bytes(43, 0)), "not a WOFF font");
    EXPECT_EQ(woffError(Bytes().tag("OTTO").append(Bytes(40, 0))), "not a WOFF font");
    EXPECT_EQ(woffError(noTables), "damaged WOFF font");
    EXPECT_EQ(woffError(cutDirectory), "damaged WOFF font");
    EXPECT_EQ(woffError(tooLong), "damaged WOFF table");
    EXPECT_EQ(woffError(pastEnd), "damaged WOFF table");
    EXPECT_EQ(woffError(huge), "damaged WOFF table");
    EXPECT_EQ(woffError(hugeTotal), "damaged WOFF font");
    EXPECT_NE(woffError(badStream), "");
}
