// Captions, pills, cards, circles and the avatar, by their drawn shapes.
#include "app/display_elements.h"

#include "app/app_text.h"

#include "app/account_state.h"

#include "codecs/image/png.h"
#include "core/ascii.h"
#include "ui/layout.h"
#include "ui/theme.h"

#include "kit_harness.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace qm {
namespace {

using testing::KitHarness;
using testing::Shape;

TEST(StatusPill, ColoursByExactStatusWord)
{
    struct Case {
        const char* status;
        int fill, text;
    } cases[] = {{"paid", slotSuccessBackground, slotSuccess}, {"adjusted", slotWarningBackground, slotWarning},
        {"Paid", slotBackgroundDeep, slotTextSecondary}, {"paid ", slotBackgroundDeep, slotTextSecondary},
        {"", slotBackgroundDeep, slotTextSecondary}};
    for (bool darkTheme : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string("'") + c.status + "'" + (darkTheme ? " dark" : ""));
            KitHarness k;
            if (darkTheme)
                k.dark();
            const Theme& t = k.h.ctx->theme;
            Rect rect{20, 20, 200, 30};
            double w = 0;
            k.frame([&] { w = statusPill(k.state, "PAID", c.status, rect); });
            EXPECT_NEAR(w, measureText(k.state, "PAID", 9.5, 700) + 14, 1e-9);
            std::vector<Color> fills = testing::fillsOn(k.h.shapes(), {20, 27, w, 16});
            ASSERT_EQ(fills.size(), 1u);
            EXPECT_TRUE(testing::sameColor(fills[0], t.base[size_t(c.fill)]));
            std::vector<Shape> glyphs = testing::glyphsIn(k.h.shapes(), rect);
            ASSERT_EQ(glyphs.size(), 4u);
            for (const Shape& g : glyphs)
                EXPECT_TRUE(testing::sameColor(g.color, t.base[size_t(c.text)]));
        }
    }
}

TEST(SectionCaption, UpperCasesAsciiOnly)
{
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {{"Balance today", "BALANCE TODAY"}, {"caf\xC3\xA9 & co 2", "CAF\xC3\xA9 & CO 2"}, {"", ""}};
    for (const Case& c : cases)
        EXPECT_EQ(asciiUpper(c.in), c.out);
    KitHarness k;
    k.h.recordWidgets();
    double after = 0;
    k.frame([&] {
        pushLayout(*k.h.ctx, {10, 10, 300, 300});
        layoutCaption(k.state, "Balance today");
        after = layoutCursor(*k.h.ctx);
        popLayout(*k.h.ctx);
    });
    EXPECT_EQ(after, 10 + 16 + 8);
    std::vector<Shape> glyphs = testing::glyphsIn(k.h.shapes(), {10, 10, 300, 16});
    ASSERT_EQ(glyphs.size(), 12u);
    for (const Shape& g : glyphs)
        EXPECT_TRUE(testing::sameColor(g.color, k.h.ctx->theme.base[slotTextTertiary]));
    EXPECT_EQ(testing::glyphTextureIn(*k.h.renderer, {10, 10, 300, 16}), testing::kitFonts().sans600->texture->name);
    // Right-aligned: the last glyph ends at the right edge.
    k.frame([&] { sectionCaption(k.state, "Total", {10, 10, 300, 16}, 1); });
    glyphs = testing::glyphsIn(k.h.shapes(), {10, 10, 300, 16});
    ASSERT_EQ(glyphs.size(), 5u);
    EXPECT_NEAR(glyphs.back().bounds.x + glyphs.back().bounds.w, 310, 2.5);
}

TEST(InfoCard, HighlightedAndPlain)
{
    for (bool highlighted : {false, true}) {
        SCOPED_TRACE(highlighted);
        KitHarness k;
        const Theme& t = k.h.ctx->theme;
        Rect rect{30, 30, 220, 80};
        k.frame([&] {
            infoCard(
                k.state, rect, "Income", "$1,200.00", colorTransparent, {.highlighted = highlighted, .large = true});
        });
        std::vector<Shape> shapes = k.h.shapes();
        std::vector<Color> fills = testing::fillsOn(shapes, rect);
        if (highlighted) {
            ASSERT_EQ(fills.size(), 2u);
            EXPECT_TRUE(testing::sameColor(fills[1], t.base[slotAccentBackground]));
        } else {
            ASSERT_EQ(fills.size(), 1u);
            EXPECT_TRUE(testing::sameColor(fills[0], t.base[slotSurface]));
        }
        int outlines = 0;
        for (const Shape& s : shapes)
            if (s.mode == modeRoundOutline) {
                ++outlines;
                EXPECT_TRUE(testing::sameColor(s.color, t.base[highlighted ? slotAccent : slotShadeStrong]));
            }
        EXPECT_EQ(outlines, 1);
        // The value in the second mono face, in text by default.
        Rect value{rect.x + 14, rect.y + 28, rect.w - 28, 24};
        std::vector<Shape> glyphs = testing::glyphsIn(shapes, value);
        ASSERT_FALSE(glyphs.empty());
        for (const Shape& g : glyphs)
            EXPECT_TRUE(testing::sameColor(g.color, t.base[slotText]));
        EXPECT_EQ(testing::glyphTextureIn(*k.h.renderer, {value.x, value.y + 4, value.w, value.h - 4}),
            testing::kitFonts().mono1->texture->name);
    }
}

// The filled disc shapes of the last frame.
std::vector<Shape> discs(const std::vector<Shape>& shapes)
{
    std::vector<Shape> out;
    for (const Shape& s : shapes)
        if (s.mode == modeRoundRect && std::abs(s.rect.w - s.rect.h) < 1e-6 && std::abs(s.p[2] - s.p[3]) < 1e-6)
            out.push_back(s);
    return out;
}

TEST(Avatar, InitialsOnAnAccentDisc)
{
    struct Case {
        const char* first;
        const char* last;
        const char* email;
        const char* initials;
    } cases[] = {{"", "", "", "Q"}, {"ada", "lovelace", "", "AL"}, {"", "", "zoe@example.org", "Z"},
        {"\xC3\xA9mile", "", "x@y.z", "\xC3\xA9"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.initials);
        KitHarness k;
        k.budget.user.first_name = c.first;
        k.budget.user.last_name = c.last;
        k.state.session.email = c.email;
        EXPECT_EQ(userInitials(k.state), c.initials);
    }
    KitHarness k;
    Rect rect{100, 100, 40, 30};
    k.frame([&] { drawAvatar(k.state, rect, 0); });
    std::vector<Shape> shapes = k.h.shapes();
    std::vector<Shape> d = discs(shapes);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_NEAR(d[0].rect.w, 30, 1e-6);
    EXPECT_NEAR(d[0].rect.x, 105, 1e-6);
    EXPECT_NEAR(d[0].rect.y, 100, 1e-6);
    EXPECT_TRUE(testing::sameColor(d[0].color, k.h.ctx->theme.base[slotAccent]));
    std::vector<Shape> glyphs = testing::glyphsIn(shapes, rect);
    ASSERT_EQ(glyphs.size(), 1u);  // "Q"
    EXPECT_TRUE(testing::sameColor(glyphs[0].color, colorWhite));
}

TEST(Avatar, PictureWhenTheCacheHasIt)
{
    KitHarness k;
    k.pictures.configDir = ::testing::TempDir() + "kit_avatar_" + std::to_string(::getpid());
    k.state.session.token = "t";
    k.budget.user.gravatar_hash = "abc";
    Rect rect{10, 10, 60, 40};
    k.frame([&] { drawAvatar(k.state, rect, 32); });
    EXPECT_EQ(discs(k.h.shapes()).size(), 1u);  // initials until it arrives
    Image img{8, 8, 4, std::vector<uint8_t>(8 * 8 * 4, 255)};
    std::vector<uint8_t> png = encodePng(img, false);
    storeAvatar(k.pictures, "g:abc", true, std::string(png.begin(), png.end()));
    k.frame([&] { drawAvatar(k.state, rect, 32); });
    std::vector<Shape> shapes = k.h.shapes();
    EXPECT_TRUE(discs(shapes).empty());
    std::vector<Shape> quads = testing::texturesIn(shapes, rect);
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_EQ(quads[0].bounds, (Rect{24, 14, 32, 32}));
    EXPECT_TRUE(testing::sameColor(quads[0].color, colorWhite));
}

TEST(CaptionValue, CaptionAboveValue)
{
    KitHarness k(800, 600, 2);
    Color c = hexColor(0xaa3333, 1);
    Rect rect{10, 10, 300, 80};
    k.frame([&] {
        captionValue(k.state, rect, "Spent", "$12.00", c);
        fillCircleAt(k.state, 400, 300, 5, c);
    });
    std::vector<Shape> shapes = k.h.shapes();
    for (const Shape& g : testing::glyphsIn(shapes, {10, 10 + 30, 300, 44}))
        EXPECT_TRUE(testing::sameColor(g.color, c));
    EXPECT_EQ(testing::glyphsIn(shapes, {10, 10, 300, 28}).size(), 5u);
    ASSERT_EQ(discs(shapes).size(), 1u);
    EXPECT_EQ(discs(shapes)[0].rect, (Rect{395, 295, 10, 10}));
}

}  // namespace
}  // namespace qm
