// Scroll areas and menus through the frame driver.
#include "ui/menu.h"
#include "ui/scroll_area.h"

#include "ui/hit_test.h"
#include "ui/input.h"
#include "ui/layout.h"
#include "ui/trail.h"
#include "ui/widget_id.h"
#include "ui_harness.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using testing::Shape;
using testing::UiHarness;

const Rect kArea{100, 100, 200, 100};

// An area whose column content is exactly `content` pixels tall.
Rect area(UiHarness& h, const char* name, Rect rect, double content)
{
    Rect inner = beginScrollArea(*h.ctx, name, rect, colorTransparent, false);
    nextLayoutRect(*h.ctx, content - spacing(*h.ctx), 0);
    endScrollArea(*h.ctx, name);
    return inner;
}

ScrollState& stateOf(UiHarness& h, const char* name, const char* parent = nullptr)
{
    std::vector<int64_t> saved = h.ctx->idStack;
    h.ctx->idStack.clear();
    if (parent)
        pushId(*h.ctx, std::string("scroll") + parent);
    int64_t id = widgetId(*h.ctx, std::string("scroll") + name);
    h.ctx->idStack = saved;
    return *scrollState(*h.ctx, id);
}

TEST(ScrollArea, HalfAPixelTooTallShowsNoBar)
{
    UiHarness h;
    Rect inner;
    h.move(150, 150);
    h.frame([&] { inner = area(h, "a", kArea, kArea.h + 0.5); });
    h.wheel(-5);
    h.frame([&] { inner = area(h, "a", kArea, kArea.h + 0.5); });
    EXPECT_DOUBLE_EQ(inner.w, kArea.w);
    EXPECT_LE(stateOf(h, "a").offset, 0.5);
}

TEST(ScrollArea, MinimumThumbDragsTopToBottom)
{
    UiHarness h;
    h.recordWidgets();
    auto draw = [&] { area(h, "a", kArea, 10 * kArea.h); };
    h.frames(2, draw);
    Rect thumb = h.rectOf("scrollbara");
    EXPECT_DOUBLE_EQ(thumb.h, 24);
    EXPECT_DOUBLE_EQ(thumb.y, kArea.y);
    h.move(thumb.x + 1, thumb.y + 5);
    h.press();
    h.frame(draw);
    h.move(thumb.x + 1, thumb.y + 5 + (kArea.h - thumb.h));
    h.frame(draw);
    EXPECT_DOUBLE_EQ(stateOf(h, "a").offset, 9 * kArea.h);
    h.release();
    h.frame(draw);
    EXPECT_DOUBLE_EQ(h.rectOf("scrollbara").y, kArea.y + kArea.h - 24);
}

TEST(ScrollArea, NestedInnerTakesWheelPopupBlocksAndNamesShareState)
{
    UiHarness h;
    auto draw = [&] {
        beginScrollArea(*h.ctx, "outer", {0, 0, 400, 300}, colorTransparent, false);
        area(h, "inner", {10, 10, 200, 100}, 500);
        nextLayoutRect(*h.ctx, 900, 0);
        endScrollArea(*h.ctx, "outer");
    };
    h.frames(2, draw);
    h.move(50, 50);
    h.wheel(-1);
    h.frame(draw);
    EXPECT_DOUBLE_EQ(stateOf(h, "inner", "outer").offset, 40);
    EXPECT_DOUBLE_EQ(stateOf(h, "outer").offset, 0);
    h.move(300, 250);
    h.wheel(-1);
    h.frame(draw);
    EXPECT_DOUBLE_EQ(stateOf(h, "outer").offset, 40);

    openPopup(*h.ctx, 5, {});
    h.wheel(-1);
    h.frame(draw);
    EXPECT_DOUBLE_EQ(stateOf(h, "outer").offset, 40);
    closePopup(*h.ctx);

    // One name, two areas: one state.
    h.frame([&] {
        area(h, "same", {0, 0, 100, 100}, 150);
        area(h, "same", {200, 0, 100, 100}, 700);
    });
    EXPECT_DOUBLE_EQ(stateOf(h, "same").contentHeight, 700);
}

TEST(ScrollArea, TouchPanScrollsTheAreaItBeganOver)
{
    UiHarness h;
    auto draw = [&] {
        area(h, "left", {0, 0, 200, 200}, 1000);
        area(h, "right", {300, 0, 200, 200}, 1000);
    };
    h.frames(2, draw);
    h.touchScroll(50, 50, -30, true);
    h.frame(draw);
    h.touchScroll(350, 50, -20, false);  // the finger crossed over to the right
    h.frame(draw);
    EXPECT_DOUBLE_EQ(stateOf(h, "left").offset, 50);
    EXPECT_DOUBLE_EQ(stateOf(h, "right").offset, 0);
}

TEST(ScrollArea, RevealBringsFieldsIntoViewUnlessTooTall)
{
    UiHarness h;
    Rect target;
    auto draw = [&](double fieldH) {
        return [&, fieldH] {
            beginScrollArea(*h.ctx, "a", kArea, colorTransparent, false);
            nextLayoutRect(*h.ctx, 300, 0);
            target = nextLayoutRect(*h.ctx, fieldH, 0);
            revealInScrollArea(*h.ctx, target);
            nextLayoutRect(*h.ctx, 300, 0);
            endScrollArea(*h.ctx, "a");
        };
    };
    h.frames(2, draw(30));
    // Field bottom 100 + 308 + 30 + 12 margin must reach the area bottom 200.
    EXPECT_DOUBLE_EQ(stateOf(h, "a").offset, 308 + 30 + 12 - 100);
    stateOf(h, "a").offset = 0;
    h.frames(2, draw(100 - 12 + 1));
    EXPECT_DOUBLE_EQ(stateOf(h, "a").offset, 0);
}

// A menu of n entries opened at (x, y); returns the entries' rects.
struct MenuFx {
    UiHarness h{800, 600};
    int entries = 3;
    std::vector<Rect> rects;
    std::vector<bool> chosen;
    bool disabledSecond = false;
    bool separator = false;
    void frame()
    {
        h.frame([&] {
            rects.clear();
            chosen.clear();
            if (contextMenu(*h.ctx, "m", 0)) {
                for (int i = 0; i < entries; ++i) {
                    if (separator && i == 1)
                        menuSeparator(*h.ctx);
                    std::string label = "Entry " + std::to_string(i);
                    chosen.push_back(
                        menuEntry(*h.ctx, label, i == 0 ? "Ctrl+E" : "", !(disabledSecond && i == 1), icNone));
                    rects.push_back(h.ctx->lastWidgetRect);
                }
                endMenu(*h.ctx);
            }
        });
    }
    void open(double x, double y)
    {
        h.frame([&] { openContextMenu(*h.ctx, "m", x, y); });
        frame();
        frame();
    }
};

TEST(Menu, NeverOpensItselfAndStaysInsideTheView)
{
    MenuFx m;
    m.frame();
    EXPECT_TRUE(m.rects.empty());
    m.open(790, 590);
    EXPECT_DOUBLE_EQ(m.h.ctx->popupRect.x + m.h.ctx->popupRect.w, 800 - 2);
    EXPECT_DOUBLE_EQ(m.h.ctx->popupRect.y + m.h.ctx->popupRect.h, 600 - 2);
    MenuFx tall;
    tall.entries = 40;
    tall.open(100, 300);
    EXPECT_DOUBLE_EQ(tall.h.ctx->popupRect.y, 2);
    EXPECT_DOUBLE_EQ(tall.h.ctx->popupRect.h, 596);
}

TEST(Menu, TheFirstFrameMeasuresUnseenWhereTheGuessWasWrong)
{
    MenuFx m;
    m.entries = 8;
    m.h.recordWidgets();
    m.h.frame([&] { openContextMenu(*m.h.ctx, "m", 100, 500); });
    // A click where the guess puts the first entry, before any frame showed it.
    m.h.click(140, 515);
    m.frame();
    ASSERT_EQ(m.rects.size(), 8u);
    Rect guessed = m.rects[0];
    EXPECT_TRUE(rectContains(guessed, 140, 515));
    EXPECT_FALSE(m.chosen[0]);
    EXPECT_EQ(m.h.widget("miEntry 0"), nullptr);
    m.frame();  // measured, it does not fit below the point and opens upwards
    ASSERT_NE(m.h.widget("miEntry 0"), nullptr);
    Rect shown = m.rects.at(0);
    EXPECT_EQ(m.h.widget("miEntry 0")->rect, shown);
    EXPECT_LT(shown.y, guessed.y);
    EXPECT_LE(m.h.ctx->popupRect.y + m.h.ctx->popupRect.h, 600);
    m.h.click(shown.x + 30, shown.y + shown.h / 2);
    m.frame();
    EXPECT_TRUE(m.chosen.at(0));
}

TEST(Menu, SpacingDisabledEntriesAndTrail)
{
    MenuFx m;
    m.disabledSecond = true;
    m.separator = true;
    m.open(100, 100);
    ASSERT_EQ(m.rects.size(), 3u);
    EXPECT_DOUBLE_EQ(m.rects[0].h, 28);
    // Separator 7 plus a 1-pixel gap on each side of it.
    EXPECT_DOUBLE_EQ(m.rects[1].y - (m.rects[0].y + m.rects[0].h), 1 + 7 + 1);
    EXPECT_DOUBLE_EQ(m.rects[2].y - (m.rects[1].y + m.rects[1].h), 1);
    Rect off = m.rects[1];
    m.h.click(off.x + 30, off.y + 10);
    m.frame();
    EXPECT_FALSE(m.chosen[1]);
    EXPECT_TRUE(isPopupOpen(*m.h.ctx, widgetId(*m.h.ctx, "ctxm")));
    bool hoverFill = false;
    for (const Shape& s : m.h.shapes())
        hoverFill = hoverFill || (s.mode == modeRoundRect && s.rect == off);
    EXPECT_FALSE(hoverFill);
    Rect on = m.rects[2];
    m.h.click(on.x + 30, on.y + 10);
    m.frame();
    EXPECT_TRUE(m.chosen.at(2));
    EXPECT_FALSE(isPopupOpen(*m.h.ctx, widgetId(*m.h.ctx, "ctxm")));
    EXPECT_EQ(actionTrail().back(), "Menu: Entry 2");
}

TEST(Menu, OverflowStripsScrollAtFourteenRowsASecond)
{
    MenuFx m;
    m.entries = 40;
    m.open(100, 100);
    UiContext& c = *m.h.ctx;
    ASSERT_TRUE(c.menuOverflow || c.popupRect.h < 40 * 29);
    Rect r = c.popupRect;
    // Up arrow in the tertiary colour at the top.
    Color upInk;
    for (const Shape& s : m.h.shapes())
        if (s.mode == modeLine && s.p[1] > r.y && s.p[1] < r.y + 18 && s.layer > 0)
            upInk = s.color;
    EXPECT_TRUE(testing::sameColor(upInk, c.theme.derived[derivedTextTertiary]));

    double step = 26 * 14 / 60.0;
    m.h.move(r.x + 20, r.y + r.h - 5);
    m.frame();
    EXPECT_NEAR(c.menuScroll, step, 1e-9);
    m.frame();
    EXPECT_NEAR(c.menuScroll, 2 * step, 1e-9);
    m.h.press();
    m.frame();
    EXPECT_NEAR(c.menuScroll, 2 * step + 3 * step, 1e-9);
    m.h.release();
    m.frame();

    // An entry half under the top strip ignores the pointer over the strip.
    m.h.move(r.x + 20, r.y + 17);
    m.frame();
    bool anyHot = false;
    for (const Rect& e : m.rects)
        anyHot = anyHot || (m.h.ctx->hotId != 0 && e.y < r.y + 18 && e.y + e.h > r.y + 17);
    EXPECT_FALSE(anyHot);
}

}  // namespace
}  // namespace qm
