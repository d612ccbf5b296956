// The application's styled buttons and segmented control through the
// harness's read-back of the drawn shapes.
#include "app/styled_buttons.h"

#include "app/app_text.h"

#include "core/utf8.h"
#include "platform/cursor.h"
#include "ui/layout.h"
#include "ui/theme.h"

#include "kit_harness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace qm {
namespace {

using testing::fillsOn;
using testing::glyphsIn;
using testing::KitHarness;
using testing::sameColor;
using testing::Shape;

const Rect kButton{100, 100, 160, 34};

std::optional<Color> outlineAt(const std::vector<Shape>& shapes, const Rect& rect)
{
    for (const Shape& s : shapes)
        if (s.mode == modeRoundOutline && std::abs(s.rect.x - rect.x) < 0.6 && std::abs(s.rect.w - rect.w) < 1.2)
            return s.color;
    return std::nullopt;
}

TEST(StyledButton, StylesTableIdleAndHovered)
{
    struct Case {
        ButtonStyle style;
        int idleFill, hotFill;  // slot, -1 none, -2 white
        int border;
        int text;
    } cases[] = {
        {buttonPrimary, slotAccent, slotAccentHover, -1, -2}, {buttonDanger, slotDanger, slotDangerStrong, -1, -2},
        {buttonQuiet, -1, slotHover, -1, slotText}, {buttonQuietDanger, -1, slotDangerBackground, -1, slotDanger},
        {buttonLink, -1, -1, -1, slotLink}, {buttonNormal, slotSurface, slotHover, slotBorder, slotText},
        {ButtonStyle(99), slotSurface, slotHover, slotBorder, slotText},  // unknown: drawn as normal
    };
    for (bool darkTheme : {false, true}) {
        for (const Case& c : cases) {
            KitHarness k;
            if (darkTheme)
                k.dark();
            const Theme& t = k.h.ctx->theme;
            auto slot = [&](int s) { return s == -2 ? colorWhite : t.base[size_t(s)]; };
            for (bool hot : {false, true}) {
                if (hot)
                    k.h.move(kButton.x + 20, kButton.y + 10);
                k.h.frames(2, [&] { button(k.state, "b", "Save", kButton, {.style = c.style}); });
                std::vector<Shape> shapes = k.h.shapes();
                std::vector<Color> fills = fillsOn(shapes, kButton);
                int want = hot ? c.hotFill : c.idleFill;
                SCOPED_TRACE(
                    std::to_string(int(c.style)) + (hot ? " hovered" : " idle") + (darkTheme ? " dark" : " light"));
                if (want == -1) {
                    EXPECT_TRUE(fills.empty());
                } else {
                    ASSERT_EQ(fills.size(), 1u);
                    EXPECT_TRUE(sameColor(fills[0], slot(want)));
                }
                std::optional<Color> border = outlineAt(shapes, kButton);
                EXPECT_EQ(border.has_value(), c.border >= 0);
                if (border && c.border >= 0) {
                    EXPECT_TRUE(sameColor(*border, slot(c.border)));
                }
                std::vector<Shape> glyphs = glyphsIn(shapes, kButton);
                ASSERT_EQ(glyphs.size(), 4u);
                for (const Shape& g : glyphs)
                    EXPECT_TRUE(sameColor(g.color, slot(c.text)));
            }
        }
    }
}

TEST(StyledButton, DisabledLookNeverReacts)
{
    for (ButtonStyle style : {buttonPrimary, buttonDanger, buttonQuiet, buttonNormal}) {
        SCOPED_TRACE(int(style));
        KitHarness k;
        const Theme& t = k.h.ctx->theme;
        bool clicked = false;
        k.h.move(kButton.x + 20, kButton.y + 10);
        k.h.frame([&] {
            clicked |= button(k.state, "b", "Save", kButton, {.style = style, .icon = "add", .disabled = true});
        });
        k.h.click(kButton.x + 20, kButton.y + 10);
        k.h.frames(2, [&] {
            clicked |= button(k.state, "b", "Save", kButton, {.style = style, .icon = "add", .disabled = true});
        });
        EXPECT_FALSE(clicked);
        EXPECT_NE(k.h.ctx->cursorShape, curHand);
        std::vector<Shape> shapes = k.h.shapes();
        std::vector<Color> fills = fillsOn(shapes, kButton);
        bool filled = style == buttonPrimary || style == buttonDanger;
        if (filled) {
            ASSERT_EQ(fills.size(), 1u);
            EXPECT_TRUE(sameColor(fills[0], t.base[slotBackgroundDeep]));
        } else if (style == buttonQuiet) {
            EXPECT_TRUE(fills.empty());  // the inactive look, though the pointer is over it
        } else {
            ASSERT_EQ(fills.size(), 1u);
            EXPECT_TRUE(sameColor(fills[0], t.base[slotSurface]));
        }
        for (const Shape& g : glyphsIn(shapes, kButton))
            EXPECT_TRUE(sameColor(g.color, t.base[slotTextTertiary]));
        std::vector<Shape> icons = testing::texturesIn(shapes, kButton);
        ASSERT_EQ(icons.size(), 1u);
        EXPECT_TRUE(sameColor(icons[0].color, t.base[slotTextTertiary]));
    }
}

TEST(StyledButton, ClickReturnsTrueOnceAndSetsTheHand)
{
    KitHarness k;
    int clicks = 0;
    k.h.move(kButton.x + 5, kButton.y + 5);
    k.h.frames(2, [&] { clicks += button(k.state, "b", "Go", kButton, {.style = buttonPrimary}); });
    EXPECT_EQ(k.h.ctx->cursorShape, curHand);
    k.h.click(kButton.x + 5, kButton.y + 5);
    k.h.frames(3, [&] { clicks += button(k.state, "b", "Go", kButton, {.style = buttonPrimary}); });
    EXPECT_EQ(clicks, 1);
}

TEST(StyledButton, LongLabelElidedFromSixDp)
{
    for (double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        KitHarness k(800, 600, scale);
        Rect rect{50, 50, 90 * scale, 34 * scale};
        const std::string label = "A label far too long for this button";
        k.h.frame([&] { button(k.state, "b", label, rect, {.icon = "add"}); });
        std::vector<Shape> shapes = k.h.shapes();
        std::vector<Shape> icons = testing::texturesIn(shapes, rect);
        ASSERT_EQ(icons.size(), 1u);
        EXPECT_NEAR(icons[0].bounds.x, rect.x + 6 * scale, 0.01);
        double textX = rect.x + 6 * scale + 15 * scale + 6 * scale;
        double room = rect.x + rect.w - textX - 6 * scale;
        std::string elided = elideText(k.state, label, room, 13 * scale, 600);
        ASSERT_NE(elided, label);
        EXPECT_EQ(elided.substr(elided.size() - 3), "\xE2\x80\xA6");
        std::vector<Shape> glyphs = glyphsIn(shapes, rect);
        size_t spaces = 0;
        for (char c : elided)
            spaces += c == ' ';
        EXPECT_EQ(glyphs.size(), utf8Length(elided) - spaces);
        for (const Shape& g : glyphs)
            EXPECT_LE(g.bounds.x + g.bounds.w, rect.x + rect.w - 6 * scale + 2);
    }
}

TEST(StyledButton, ShortLabelCentred)
{
    KitHarness k;
    k.h.frame([&] { button(k.state, "b", "OK", kButton); });
    std::vector<Shape> glyphs = glyphsIn(k.h.shapes(), kButton);
    ASSERT_EQ(glyphs.size(), 2u);
    double w = measureText(k.state, "OK", 13, 600);
    double left = glyphs[0].bounds.x, right = glyphs[1].bounds.x + glyphs[1].bounds.w;
    EXPECT_NEAR(left + (right - left) / 2, kButton.x + kButton.w / 2, 2.0);
    EXPECT_NEAR(right - left, w, 3.0);
}

// The 1 px underline of a hovered link button.
std::vector<Shape> underlines(const std::vector<Shape>& shapes)
{
    std::vector<Shape> out;
    for (const Shape& s : shapes)
        if (s.mode == modeFlat && s.bounds.h == 1)
            out.push_back(s);
    return out;
}

TEST(StyledButton, LinkUnderlinedOnlyWhenHoveredAsWideAsTheWholeLabel)
{
    for (bool elided : {false, true}) {
        SCOPED_TRACE(elided);
        KitHarness k;
        const std::string label = "Manage categories";
        Rect rect = elided ? Rect{100, 100, 70, 28} : Rect{100, 100, 200, 28};
        auto draw = [&] { button(k.state, "l", label, rect, {.style = buttonLink}); };
        k.h.frame(draw);
        EXPECT_TRUE(underlines(k.h.shapes()).empty());
        k.h.move(rect.x + 20, rect.y + 5);
        k.h.frames(2, draw);
        std::vector<Shape> lines = underlines(k.h.shapes());
        ASSERT_EQ(lines.size(), 1u);
        double full = measureText(k.state, label, 13, 600);
        EXPECT_NEAR(lines[0].bounds.w, full, 1e-3);
        EXPECT_NEAR(lines[0].bounds.y, rect.y + rect.h - 7, 1e-3);
        EXPECT_TRUE(sameColor(lines[0].color, k.h.ctx->theme.base[slotLink]));
        double x0 = elided ? rect.x + 6 : rect.x + (rect.w - full) / 2;
        EXPECT_NEAR(lines[0].bounds.x, x0, 1e-3);
    }
}

TEST(StyledButton, FlowButtonWidths)
{
    KitHarness k;
    Rect plain, withIcon, given, inRow;
    k.h.frame([&] {
        pushLayout(*k.h.ctx, {10, 10, 500, 400});
        flowButton(k.state, "a", "Import");
        plain = k.h.ctx->lastWidgetRect;
        flowButton(k.state, "b", "Import", {.icon = "upload"});
        withIcon = k.h.ctx->lastWidgetRect;
        flowButton(k.state, "c", "Import", {}, 77);
        given = k.h.ctx->lastWidgetRect;
        beginRow(*k.h.ctx, 34, {120, -1});
        flowButton(k.state, "d", "Import");
        inRow = k.h.ctx->lastWidgetRect;
        endRow(*k.h.ctx);
        popLayout(*k.h.ctx);
    });
    double label = measureText(k.state, "Import", 13, 600);
    EXPECT_NEAR(plain.w, label + 28, 1e-9);
    EXPECT_NEAR(withIcon.w, label + 28 + 22, 1e-9);
    EXPECT_EQ(plain.h, 34);
    EXPECT_EQ(given.w, 77);
    EXPECT_EQ(inRow.w, 120);
}

TEST(IconOnlyButton, Looks)
{
    KitHarness k;
    const Theme& t = k.h.ctx->theme;
    Rect rect{40, 40, 32, 32};
    Color tint = hexColor(0x336699, 1);
    struct Case {
        bool accent, disabled, hover, tinted;
        int fill;  // -1 none
        int ink;   // -2 white, -3 the tint
    } cases[] = {
        {true, false, false, false, slotAccent, -2},
        {true, false, true, false, slotAccentHover, -2},
        {true, true, false, false, slotAccent, slotTextTertiary},
        {false, false, false, false, -1, slotTextSecondary},
        {false, false, true, true, slotHover, -3},
        {false, true, true, true, -1, slotTextTertiary},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::vector<bool>{c.accent, c.disabled, c.hover, c.tinted}));
        KitHarness k2;
        if (c.hover)
            k2.h.move(rect.x + 3, rect.y + 3);
        k2.h.frames(2, [&] {
            iconOnlyButton(k2.state, "i", "today", rect,
                {.tooltip = "Pick a date",
                    .accent = c.accent,
                    .disabled = c.disabled,
                    .tint = c.tinted ? tint : colorTransparent});
        });
        std::vector<Shape> shapes = k2.h.shapes();
        std::vector<Color> fills = fillsOn(shapes, rect);
        if (c.fill < 0) {
            EXPECT_TRUE(fills.empty());
        } else {
            ASSERT_EQ(fills.size(), 1u);
            EXPECT_TRUE(sameColor(fills[0], t.base[size_t(c.fill)]));
        }
        std::vector<Shape> icons = testing::texturesIn(shapes, rect);
        ASSERT_EQ(icons.size(), 1u);
        Color ink = c.ink == -2 ? colorWhite : c.ink == -3 ? tint : t.base[size_t(c.ink)];
        EXPECT_TRUE(sameColor(icons[0].color, ink));
        double side = std::round(0.55 * 32);
        EXPECT_NEAR(icons[0].bounds.w, side, 1.0);
    }
}

TEST(SegmentedControl, ClicksAndLooks)
{
    KitHarness k;
    const Theme& t = k.h.ctx->theme;
    Rect rect{20, 20, 306, 36};
    std::vector<std::string> labels = {"Month", "Week", "Day"};
    int32_t selected = 1;
    std::vector<bool> results;
    auto draw = [&] { results.push_back(segmentedControl(k.state, "view", selected, labels, rect)); };
    double segW = (306 - 6) / 3.0;
    auto segCentre = [&](int i) { return std::pair{rect.x + 3 + segW * (i + 0.5), rect.y + 18}; };

    k.h.frame(draw);
    std::vector<Shape> shapes = k.h.shapes();
    std::vector<Color> fills = fillsOn(shapes, rect);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_TRUE(sameColor(fills[0], t.base[slotBackgroundDeep]));
    Rect seg1{rect.x + 3 + segW, rect.y + 3, segW, 30};
    fills = fillsOn(shapes, seg1);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_TRUE(sameColor(fills[0], t.base[slotSurface]));
    for (const Shape& g : glyphsIn(shapes, seg1))
        EXPECT_TRUE(sameColor(g.color, t.base[slotText]));
    Rect seg0{rect.x + 3, rect.y + 3, segW, 30};
    for (const Shape& g : glyphsIn(shapes, seg0))
        EXPECT_TRUE(sameColor(g.color, t.base[slotTextSecondary]));

    // The selected segment ignores a click.
    auto [x1, y1] = segCentre(1);
    k.h.click(x1, y1);
    results.clear();
    k.h.frames(2, draw);
    EXPECT_EQ(results, (std::vector<bool>{false, false}));
    EXPECT_EQ(selected, 1);

    // Another segment selects it once.
    auto [x2, y2] = segCentre(2);
    k.h.click(x2, y2);
    results.clear();
    k.h.frames(2, draw);
    EXPECT_EQ(results, (std::vector<bool>{true, false}));
    EXPECT_EQ(selected, 2);
}

TEST(SegmentedControl, EmptyListDrawsOnlyTheBackground)
{
    KitHarness k;
    Rect rect{20, 20, 200, 36};
    int32_t selected = 0;
    bool changed = true;
    k.h.click(40, 30);
    k.h.frames(2, [&] { changed = segmentedControl(k.state, "none", selected, {}, rect); });
    EXPECT_FALSE(changed);
    std::vector<Shape> shapes = k.h.shapes();
    ASSERT_EQ(shapes.size(), 1u);
    EXPECT_TRUE(sameColor(shapes[0].color, k.h.ctx->theme.base[slotBackgroundDeep]));
}

}  // namespace
}  // namespace qm
