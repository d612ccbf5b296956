// Labels, links, check boxes and buttons through the vertex read-back.
#include "ui/button.h"
#include "ui/checkbox.h"
#include "ui/label.h"
#include "ui/layout.h"
#include "ui/text.h"
#include "ui/tooltip.h"
#include "ui/trail.h"
#include "ui/widget_id.h"

#include "platform/render/glyph_atlas.h"
#include "ui_harness.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using testing::fillsAt;
using testing::sameColor;
using testing::Shape;
using testing::UiHarness;

std::string lastAction()
{
    std::vector<std::string> trail = actionTrail();
    return trail.empty() ? "" : trail.back();
}

TEST(Links, TargetTexts)
{
    struct Case {
        const char* target;
        const char* shown;
    } cases[] = {{"https://example.org/a", "https://example.org/a"}, {"#budgets", "budgets"}, {"#", ""},
        {"/home/u/exports", "Open the folder"}, {"mailto://x", "mailto://x"}};
    for (const Case& c : cases)
        EXPECT_EQ(linkTarget(c.target), c.shown) << c.target;
}

// The link boxes a frame recorded, in drawing order.
std::vector<WidgetRecord> linkRecords(UiHarness& h)
{
    std::vector<WidgetRecord> out;
    for (const WidgetRecord& w : h.ctx->recorder->records)
        if (w.label.rfind("link", 0) == 0)
            out.push_back(w);
    return out;
}

TEST(Links, GluedLabelStaysWholeLongLabelSplitsRepeatsGetTwoIds)
{
    UiHarness h(400, 400);
    h.recordWidgets();
    std::string result;
    const std::string text = "Read the user guide today, then read the user guide again.";
    std::vector<LinkSpan> spans = {{"user guide", "#guide"}};
    double narrow = 0;
    h.frame([&] {
        narrow = textWidth(*h.ctx->font, "Read the user", 13) + 2;  // "user guide" would break after "user"
        pushLayout(*h.ctx, {0, 0, narrow, 400});
        wrappedLabel(*h.ctx, text, 0, 0, spans);
        popLayout(*h.ctx);
    });
    std::vector<WidgetRecord> links = linkRecords(h);
    ASSERT_EQ(links.size(), 2u);  // two occurrences, each whole on one line
    EXPECT_NE(links[0].id, links[1].id);
    for (const WidgetRecord& w : links)
        EXPECT_NEAR(w.rect.w, textWidth(*h.ctx->font, "user guide", 13), 1e-9);

    // Clicking the second occurrence returns the target.
    Rect second = links[1].rect;
    h.click(second.x + 2, second.y + second.h / 2);
    h.frame([&] {
        pushLayout(*h.ctx, {0, 0, narrow, 400});
        result = wrappedLabel(*h.ctx, text, 0, 0, spans);
        popLayout(*h.ctx);
    });
    EXPECT_EQ(result, "#guide");

    // A label wider than the line may wrap: two links, one target.
    std::vector<LinkSpan> wide = {{"a very long link label that cannot fit", "https://x.example"}};
    auto drawWide = [&] {
        pushLayout(*h.ctx, {0, 0, 150, 400});
        result = wrappedLabel(*h.ctx, "See a very long link label that cannot fit here", 0, 0, wide);
        popLayout(*h.ctx);
    };
    h.frame(drawWide);
    links = linkRecords(h);
    ASSERT_GE(links.size(), 2u);
    EXPECT_GT(links[1].rect.y, links[0].rect.y);  // on the next line
    Rect tail = links.back().rect;
    h.click(tail.x + 2, tail.y + tail.h / 2);
    h.frame(drawWide);
    EXPECT_EQ(result, "https://x.example");
}

TEST(Links, EarliestOccurrenceWinsTieGoesToFirstSpan)
{
    UiHarness h;
    h.recordWidgets();
    std::vector<LinkSpan> spans = {{"budget", "#one"}, {"budget plan", "#two"}, {"plan", "#three"}};
    h.frame([&] { textBlock(*h.ctx, "My budget plan", 0, 0, 0, 0, spans); });
    std::vector<WidgetRecord> links = linkRecords(h);
    ASSERT_EQ(links.size(), 2u);  // "budget" (first listed wins the tie), then "plan"
    EXPECT_EQ(links[0].label.substr(0, 10), "linkl0budg");
    EXPECT_NE(links[1].label.find("plan"), std::string::npos);
}

TEST(Labels, LongLabelEllipsizedInRowWrappedInColumn)
{
    UiHarness h(400, 400);
    const std::string text = "A label much too long to fit in the cell it was given by its row";
    h.move(50, 10);
    size_t rowTextQuads = 0, columnTextQuads = 0;
    h.frames(40, [&] {
        pushLayout(*h.ctx, {0, 0, 250, 400});
        beginRow(*h.ctx, 26, {100, -1});
        textBlock(*h.ctx, text, 0, 0, 0, 0);
        endRow(*h.ctx);
        popLayout(*h.ctx);
    });
    for (const Shape& s : h.shapesOfMode(modeText))
        rowTextQuads += s.layer == 0;
    bool tooltipShown = false;
    for (const Shape& s : h.shapes())
        tooltipShown = tooltipShown || s.layer == 10;
    EXPECT_TRUE(tooltipShown);  // the cut text shows the whole as a tooltip
    double cursor = 0;
    h.frame([&] {
        pushLayout(*h.ctx, {0, 0, 250, 400});
        textBlock(*h.ctx, text, 0, 0, 0, 0);
        cursor = layoutCursor(*h.ctx);
        popLayout(*h.ctx);
    });
    for (const Shape& s : h.shapesOfMode(modeText))
        columnTextQuads += s.layer == 0;
    EXPECT_LT(rowTextQuads + 20, columnTextQuads);  // the column draws all of it, wrapped
    EXPECT_GT(cursor, 26 + 8 + 1);
}

// The fills a check box drew for its box, by state.
TEST(Checkbox, StatesAndToggle)
{
    UiHarness h;
    h.recordWidgets();
    const Theme& t = h.ctx->theme;
    bool value = true, toggled = false;
    auto draw = [&](bool disabled) {
        return [&, disabled] { toggled = checkbox(*h.ctx, "Remember", value, {.disabled = disabled}); };
    };
    Rect box{0, 5, 16, 16};  // 26-high row, box centred
    h.move(500, 500);
    h.frame(draw(false));
    EXPECT_TRUE(sameColor(fillsAt(h.shapes(), box).at(0), t.base[slotAccent]));
    h.move(100, 10);  // over the label
    h.frame(draw(false));
    EXPECT_TRUE(sameColor(fillsAt(h.shapes(), box).at(0), t.base[slotAccentHover]));
    h.press();
    h.frame(draw(false));
    EXPECT_TRUE(sameColor(fillsAt(h.shapes(), box).at(0), t.base[slotAccentPressed]));
    h.release();
    h.frame(draw(false));
    EXPECT_TRUE(toggled);
    EXPECT_FALSE(value);
    EXPECT_EQ(lastAction(), "Tick box: Remember (off)");
    h.frame(draw(false));  // the flip shows from the next frame
    std::vector<Color> fills = fillsAt(h.shapes(), box);
    ASSERT_EQ(fills.size(), 2u);  // fill and outline
    EXPECT_TRUE(sameColor(fills[0], t.base[slotSurface]));
    EXPECT_TRUE(sameColor(fills[1], t.base[slotTextTertiary]));  // hovered outline

    value = true;
    h.click(100, 10);
    h.frame(draw(true));
    EXPECT_FALSE(toggled);
    EXPECT_TRUE(value);
    EXPECT_TRUE(sameColor(fillsAt(h.shapes(), box).at(0), t.base[slotTextTertiary]));
}

struct ButtonCase {
    ButtonStyle style;
    bool disabled;
    bool active;
    int state;  // 0 normal, 1 hovered, 2 held
    Color fill;
    Color outline;  // alpha 0: none drawn
};

TEST(Button, FillsAndOutlinesByStyleAndState)
{
    UiHarness h;
    Theme t;
    fillLightTheme(t);
    const auto& b = t.base;
    Color none = colorTransparent;
    Color danger = b[slotDanger];
    const ButtonCase cases[] = {
        {buttonPrimary, false, false, 0, b[slotAccent], b[slotAccent]},
        {buttonPrimary, false, false, 1, b[slotAccentHover], b[slotAccentHover]},
        {buttonPrimary, false, false, 2, b[slotAccentPressed], b[slotAccentPressed]},
        {buttonPrimary, false, true, 0, b[slotAccent], b[slotAccent]},  // active ignored
        {buttonPrimary, true, false, 1, b[slotBackground], b[slotBorder]},
        {buttonQuiet, false, false, 0, none, none},
        {buttonQuiet, false, false, 1, b[slotHover], none},
        {buttonQuiet, false, false, 2, b[slotAccentBackground], none},
        {buttonQuiet, false, true, 0, b[slotAccentBackground], b[slotBorder]},
        {buttonQuiet, true, true, 0, b[slotAccentBackground], b[slotBorder]},
        {buttonDanger, false, false, 0, danger, danger},
        {buttonDanger, false, false, 1, lighten(danger, 0.1), lighten(danger, 0.1)},
        {buttonDanger, false, false, 2, darken(danger, 0.15), darken(danger, 0.15)},
        {buttonDanger, true, false, 0, b[slotBackground], b[slotBorder]},
        {buttonNormal, false, false, 0, b[slotSurface], b[slotBorder]},
        {buttonNormal, false, false, 1, b[slotHover], b[slotTextTertiary]},
        {buttonNormal, false, false, 2, b[slotAccentBackground], b[slotTextTertiary]},
        {buttonNormal, true, false, 0, b[slotBackground], b[slotBorder]},
        {buttonQuietDanger, false, false, 0, none, none},
        {buttonQuietDanger, false, false, 1, b[slotDangerBackground], none},
        {buttonLink, false, false, 1, none, none},
    };
    Rect rect{100, 100, 120, 32};
    for (const ButtonCase& c : cases) {
        UiHarness k;
        auto draw = [&] {
            drawButton(*k.ctx, widgetId(*k.ctx, "OK"), "OK", rect,
                {.style = c.style, .disabled = c.disabled, .active = c.active});
        };
        k.move(c.state ? 150 : 10, c.state ? 110 : 10);
        if (c.state == 2)
            k.press();
        k.frame(draw);
        k.frame(draw);
        std::vector<Shape> s = k.shapes();
        std::vector<Color> fills;
        std::vector<Color> outlines;
        for (const Shape& sh : s) {
            if (sh.rect == rect && sh.mode == modeRoundRect)
                fills.push_back(sh.color);
            if (sh.rect == rect && sh.mode == modeRoundOutline)
                outlines.push_back(sh.color);
        }
        std::string what = "style " + std::to_string(c.style) + " state " + std::to_string(c.state)
            + (c.disabled ? " disabled" : "") + (c.active ? " active" : "");
        if (c.fill.a > 0) {
            ASSERT_EQ(fills.size(), 1u) << what;
            EXPECT_TRUE(sameColor(fills[0], c.fill)) << what;
        } else {
            EXPECT_TRUE(fills.empty()) << what;
        }
        if (c.outline.a > 0) {
            ASSERT_EQ(outlines.size(), 1u) << what;
            EXPECT_TRUE(sameColor(outlines[0], c.outline)) << what;
        } else {
            EXPECT_TRUE(outlines.empty()) << what;
        }
    }
}

TEST(Button, WrapOrEllipsisByHeightAndTrail)
{
    UiHarness h;
    const std::string label = "Save all the changes now";
    auto textLines = [&] {
        std::vector<double> ys;
        for (const Shape& s : h.shapesOfMode(modeText))
            if (std::find(ys.begin(), ys.end(), s.rect.y + s.rect.h) == ys.end())
                ys.push_back(s.rect.y + s.rect.h);
        return ys;
    };
    h.frame([&] { drawButton(*h.ctx, 1, label, {0, 0, 90, 32}); });
    size_t shortQuads = h.shapesOfMode(modeText).size();
    h.frame([&] { drawButton(*h.ctx, 1, label, {0, 0, 90, 60}); });
    size_t tallQuads = h.shapesOfMode(modeText).size();
    EXPECT_LT(shortQuads, tallQuads);  // cut with an ellipsis vs every letter on two lines
    EXPECT_GE(textLines().size(), 2u);

    h.click(10, 10);
    bool clicked = false;
    h.frame([&] { clicked = drawButton(*h.ctx, 2, "", {0, 0, 32, 32}, {.style = buttonQuiet, .icon = icClose}); });
    EXPECT_TRUE(clicked);
    EXPECT_EQ(lastAction(), "Button: icClose");
}

TEST(Button, IconButtonSizesAndNotesItsColumn)
{
    UiHarness h;
    Rect got;
    h.recordWidgets();
    h.frame([&] { iconButton(*h.ctx, "Add", {.style = buttonPrimary, .icon = icPlus}); });
    got = h.rectOf("Add");
    double natural = uiTextWidth(*h.ctx, "Add", 0, 0) + 24 + 22;
    EXPECT_DOUBLE_EQ(got.w, natural);
    EXPECT_DOUBLE_EQ(got.h, 32);
    std::vector<double> noted;
    h.frame([&] {
        beginRow(*h.ctx, 32, {-1, -1});
        iconButton(*h.ctx, "Add", {.style = buttonPrimary, .icon = icPlus});
        noted = currentLayout(*h.ctx).measuredWidths;
        endRow(*h.ctx);
    });
    ASSERT_EQ(noted.size(), 1u);
    EXPECT_DOUBLE_EQ(noted[0], natural - 16);
}

}  // namespace
}  // namespace qm
