#include <gtest/gtest.h>

#include "codecs/font/font_builder.h"
#include "codecs/font/glyph_data.h"
#include "codecs/font/truetype_subset.h"
#include "core/bytes.h"

using namespace qm;
using namespace qm::test;

namespace {

struct Record {
    std::string tag;
    uint32_t checksum, offset, length;
};

std::vector<Record> records(const std::vector<uint8_t>& f)
{
    std::vector<Record> out;
    for (int i = 0; i < loadBe16(f.data() + 4); ++i) {
        const uint8_t* r = f.data() + 12 + 16 * i;
        out.push_back({std::string(r, r + 4), loadBe32(r + 4), loadBe32(r + 8), loadBe32(r + 12)});
    }
    return out;
}

std::vector<uint8_t> tableOf(const std::vector<uint8_t>& f, const std::string& tag)
{
    for (const Record& r : records(f))
        if (r.tag == tag)
            return {f.begin() + r.offset, f.begin() + r.offset + r.length};
    return {};
}

// Glyphs 1..3 simple, 4 a composite of 1 and 5, 5 a composite of 2 and of
// itself, 6 a composite of 4.
FontSpec compositeSpec(bool hinting)
{
    FontSpec spec;
    spec.numGlyphs = 8;
    spec.hinting = hinting;
    spec.glyphs = {{0, simpleGlyph(50)}, {1, simpleGlyph(100)}, {2, simpleGlyph(200)}, {3, simpleGlyph(300)},
        {4, compositeGlyph({1, 5})}, {5, compositeGlyph({2, 5})}, {6, compositeGlyph({4})}};
    return spec;
}

}  // namespace

TEST(TrueTypeSubset, Checksum)
{
    const std::vector<uint8_t> bytes = {0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF, 0x12, 0x34};
    EXPECT_EQ(sfntTableChecksum(bytes), 0x12340000u);  // wraps; the short word is padded
    EXPECT_EQ(sfntTableChecksum({}), 0u);
}

TEST(TrueTypeSubset, ClosesOverComposites)
{
    FontRef font = makeFont(compositeSpec(false));
    const std::pair<std::vector<int32_t>, std::vector<int32_t>> cases[] = {
        {{}, {0}},
        {{3, 3, 8, 100, -1}, {0, 3}},  // repeats and ids outside the font are dropped
        {{6}, {0, 1, 2, 4, 5, 6}},     // components of components, a self-reference does not loop
        {{5, 2}, {0, 2, 5}},
    };
    for (const auto& [used, kept] : cases)
        EXPECT_EQ(closeGlyphSet(*font, used), kept);
}

TEST(TrueTypeSubset, LayoutAndGlyphs)
{
    for (bool hinting : {false, true}) {
        FontRef font = makeFont(compositeSpec(hinting));
        const std::vector<uint8_t> out = subsetTrueTypeFont(*font, std::vector<int32_t>{4, 3});
        // numTables, searchRange, entrySelector, rangeShift.
        const std::vector<int> header = {loadBe16(&out[4]), loadBe16(&out[6]), loadBe16(&out[8]), loadBe16(&out[10])};
        EXPECT_EQ(header, hinting ? std::vector<int>({9, 128, 3, 16}) : std::vector<int>({6, 64, 2, 32}));
        EXPECT_EQ(loadBe32(out.data()), 0x00010000u);
        std::vector<std::string> tags;
        uint32_t expectOffset = 12 + 16 * uint32_t(header[0]);
        for (const Record& r : records(out)) {
            tags.push_back(r.tag);
            EXPECT_EQ(r.offset, expectOffset) << r.tag;  // each 4-aligned, in order
            expectOffset += (r.length + 3) / 4 * 4;
            std::vector<uint8_t> data = tableOf(out, r.tag);
            if (r.tag == "head")
                storeBe32(data.data() + 8, 0);
            EXPECT_EQ(r.checksum, sfntTableChecksum(data)) << r.tag;
        }
        EXPECT_EQ(expectOffset, out.size());
        EXPECT_EQ(tags,
            hinting ? std::vector<std::string>({"cvt ", "fpgm", "glyf", "head", "hhea", "hmtx", "loca", "maxp", "prep"})
                    : std::vector<std::string>({"glyf", "head", "hhea", "hmtx", "loca", "maxp"}));
        EXPECT_EQ(sfntTableChecksum(out), 0xB1B0AFBAu);
        EXPECT_EQ(loadBe16(tableOf(out, "head").data() + 50), 1);
        EXPECT_EQ(tableOf(out, "fpgm"), hinting ? std::vector<uint8_t>({0xB0, 0x01}) : std::vector<uint8_t>());
        EXPECT_EQ(tableOf(out, "fpgm").size(), hinting ? 2u : 0u);  // the record's length excludes padding

        const std::vector<uint8_t> loca = tableOf(out, "loca"), glyf = tableOf(out, "glyf");
        ASSERT_EQ(loca.size(), 4u * 9);
        EXPECT_EQ(loadBe32(&loca[32]), glyf.size());
        const FontData source = fontBytes(*font);
        for (int g = 0; g < 8; ++g) {
            const uint32_t start = loadBe32(&loca[4 * g]), end = loadBe32(&loca[4 * g + 4]);
            const bool kept = g == 0 || g == 1 || g == 2 || g == 3 || g == 4 || g == 5;
            auto [at, length] = glyphDataRange(*font, g);
            ASSERT_EQ(end - start, kept ? uint32_t(length + 3) / 4 * 4 : 0u) << g;
            if (kept) {
                EXPECT_TRUE(std::equal(source.begin() + at, source.begin() + at + length, glyf.begin() + start)) << g;
            }
        }
    }
}

TEST(TrueTypeSubset, RefusesFontWithoutUsableHead)
{
    FontRef font = makeFont(compositeSpec(false));
    for (FontTable& t : font->tables)
        if (t.tag == makeTag("head"))
            t.range.length = 51;
    EXPECT_THROW(subsetTrueTypeFont(*font, std::vector<int32_t>{1}), ValueError);
}

TEST(TrueTypeSubset, DejaVuKeepsAllNineTables)
{
    FontRef font = systemFont("DejaVuSans.ttf");
    const std::vector<uint8_t> out = subsetTrueTypeFont(*font, std::vector<int32_t>{36, 57});
    EXPECT_EQ(loadBe16(&out[4]), 9);
    EXPECT_EQ(sfntTableChecksum(out), 0xB1B0AFBAu);
    EXPECT_EQ(tableOf(out, "loca").size(), 4u * (uint32_t(glyphCount(*font)) + 1));
    EXPECT_LT(out.size(), fontBytes(*font).size() / 4);
}
