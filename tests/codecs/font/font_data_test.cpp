#include <gtest/gtest.h>

#include "codecs/font/builtin_fonts.h"
#include "codecs/font/cmap.h"
#include "codecs/font/font.h"
#include "codecs/font/font_test_helpers.h"
#include "codecs/font/glyph_data.h"

using namespace qm;
using namespace qm::test;

TEST(GlyphData, AnswersForSubsetting)
{
    Bytes square = simpleGlyph({{{0, 0}, {10, 0}, {10, 10}}});
    Bytes composite = compositeGlyph(
        {{3, 5, 1, 2, {}}, {2 | 8, 7, 0, 0, {0x4000}}, {2 | 0x40, 5, 0, 0, {1, 2}}, {2 | 0x80, 6, 0, 0, {1, 2, 3, 4}}});
    // The same composite cut inside its last component header.
    Bytes cut = composite;
    cut.resize(composite.size() - 14 + 2);
    FontRef font = parseTrueType(ttfFont({square, composite, cut, Bytes()}));

    auto [glyfAt, glyfLength] = tableRange(*font, "glyf");
    EXPECT_GT(glyfLength, 0);
    EXPECT_EQ(glyphDataRange(*font, 0), std::make_pair(glyfAt, int32_t(square.size())));
    EXPECT_EQ(glyphDataRange(*font, 3).second, 0);
    EXPECT_EQ(glyphDataRange(*font, 4), std::make_pair(0, 0));
    EXPECT_EQ(glyphDataRange(*font, -1), std::make_pair(0, 0));
    EXPECT_EQ(tableRange(*font, "CFF "), std::make_pair(0, 0));

    EXPECT_EQ(compositeComponents(*font, 1), (std::vector<int32_t>{5, 7, 5, 6}));
    EXPECT_EQ(compositeComponents(*font, 2), (std::vector<int32_t>{5, 7, 5}));
    EXPECT_TRUE(compositeComponents(*font, 0).empty());
    EXPECT_TRUE(compositeComponents(*font, 3).empty());
    EXPECT_TRUE(compositeComponents(*font, 4).empty());

    EXPECT_EQ(glyphCount(*font), 4);
    EXPECT_EQ(fontBoundingBox(*font), (std::array<int32_t, 4>{-10, -20, 1000, 700}));
    FontData bytes = fontBytes(*font);
    EXPECT_EQ(bytes[glyfAt + 1], square[1]);
}

TEST(BuiltinFonts, LoadAsTheExpectedFaces)
{
    struct Case {
        BuiltinFont which;
        const char* name;
        int glyphs;
    } cases[] = {
        {BuiltinFont::sansRegular, "Sans Regular", 1019},
        {BuiltinFont::sansMedium, "Sans Medium", 1019},
        {BuiltinFont::sansSemiBold, "Sans SemiBold", 1019},
        {BuiltinFont::sansBold, "Sans Bold", 1019},
        {BuiltinFont::monoRegular, "Mono Regular", 1125},
        {BuiltinFont::monoSemiBold, "Mono SemiBold", 1125},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(builtinFontFile(c.which).empty()) << "built without the fonts (scripts/setup fetches them)";
        FontRef font = parseTrueType(builtinFontFile(c.which));
        EXPECT_TRUE(font->hasGlyf) << c.name;
        EXPECT_EQ(font->unitsPerEm, 1000) << c.name;
        EXPECT_EQ(font->numGlyphs, c.glyphs) << c.name;
        EXPECT_NE(glyphIndex(*font, 'A'), 0) << c.name;
    }
    FontRef mono = parseTrueType(builtinFontFile(BuiltinFont::monoRegular));
    EXPECT_EQ(advanceWidth(*mono, glyphIndex(*mono, 'i')), advanceWidth(*mono, glyphIndex(*mono, 'W')));
}
