// Popover placement as a pure function, its frame and layers, menu entries
// and dividers.
#include "app/popover.h"

#include "ui/hit_test.h"
#include "ui/layout.h"
#include "ui/theme.h"

#include "kit_harness.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using testing::KitHarness;
using testing::Shape;

TEST(PlacePopover, Table)
{
    struct Case {
        const char* what;
        double scale;
        Rect anchor;
        double w, h;
        bool alignRight, above;
        Rect want;
    } cases[] = {
        {"below, left-aligned", 1, {100, 100, 80, 30}, 200, 150, false, false, {100, 136, 200, 150}},
        {"right edge on the anchor's", 1, {300, 100, 80, 30}, 200, 150, true, false, {180, 136, 200, 150}},
        {"wider than the view", 1, {100, 100, 80, 30}, 900, 150, false, false, {6, 136, 900, 150}},
        {"pushed in from the right", 1, {700, 100, 80, 30}, 200, 150, false, false, {594, 136, 200, 150}},
        {"flips above near the bottom", 1, {100, 500, 80, 30}, 200, 150, false, false, {100, 344, 200, 150}},
        {"above when asked", 1, {100, 300, 80, 30}, 200, 150, false, true, {100, 144, 200, 150}},
        {"no room either way", 1, {100, 200, 80, 30}, 200, 400, false, false, {100, 194, 200, 400}},
        {"cut to the view less 12", 1, {100, 10, 80, 30}, 200, 900, false, false, {100, 6, 200, 588}},
        {"rounded halves away from zero", 1, {100.5, 100.25, 80, 30}, 200.5, 150.5, false, false, {101, 136, 201, 151}},
        {"scale 2 margins", 2, {100, 100, 80, 30}, 200, 150, false, false, {100, 142, 200, 150}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        KitHarness k(800, 600, c.scale);
        Rect got;
        k.frame(
            [&] { got = placePopover(k.state, c.anchor, c.w, c.h, {.alignRight = c.alignRight, .above = c.above}); });
        EXPECT_EQ(got, c.want) << got.x << "," << got.y << " " << got.w << "x" << got.h;
    }
}

TEST(Popover, FrameLayerLayoutAndClip)
{
    KitHarness k;
    const Theme& t = k.h.ctx->theme;
    Rect panel{100, 100, 200, 150};
    int32_t before = -1, inside = -1, after = -1;
    Rect content, clip;
    k.frame([&] {
        before = currentLayer(*k.h.renderer);
        int32_t previous = beginPopover(k.state, panel);
        inside = currentLayer(*k.h.renderer);
        content = layoutRect(*k.h.ctx);
        clip = currentClip(*k.h.renderer);
        endPopover(k.state, previous);
        after = currentLayer(*k.h.renderer);
    });
    EXPECT_EQ(inside, before + 1);
    EXPECT_EQ(after, before);
    EXPECT_EQ(content, (Rect{108, 108, 184, 134}));
    EXPECT_EQ(clip, panel);
    EXPECT_EQ(k.h.ctx->layoutStack.size(), 1u);
    std::vector<Color> fills = testing::fillsOn(k.h.shapes(), panel);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_TRUE(testing::sameColor(fills[0], t.base[slotRaised]));
}

TEST(MenuItem, SelectedWinsOverHoverAndClicks)
{
    KitHarness k;
    const Theme& t = k.h.ctx->theme;
    Rect rect{50, 50, 220, 34};
    struct Case {
        bool selected, hover;
        int fill;  // -1 none
    } cases[] = {{false, false, -1}, {false, true, slotHover}, {true, false, slotAccentBackground},
        {true, true, slotAccentBackground}};
    for (const Case& c : cases) {
        KitHarness k2;
        if (c.hover)
            k2.h.move(rect.x + 5, rect.y + 5);
        k2.h.frames(2, [&] { menuItem(k2.state, "m", "Groceries", rect, c.selected); });
        std::vector<Color> fills = testing::fillsOn(k2.h.shapes(), rect);
        if (c.fill < 0) {
            EXPECT_TRUE(fills.empty());
        } else {
            ASSERT_EQ(fills.size(), 1u);
            EXPECT_TRUE(testing::sameColor(fills[0], t.base[size_t(c.fill)]));
        }
    }
    // A leading drawing gets its box; the label moves past it; danger is red.
    Rect box;
    int clicks = 0;
    k.h.click(rect.x + 5, rect.y + 5);
    k.h.frames(2, [&] {
        clicks += menuItem(
            k.state, "m", "Delete", rect, false, "detail", [&](const Rect& b) { box = b; }, true);
    });
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(box, (Rect{60, 50, 22, 34}));
    std::vector<Shape> label = testing::glyphsIn(k.h.shapes(), {88, 54, 174, 17});
    ASSERT_EQ(label.size(), 6u);
    for (const Shape& g : label)
        EXPECT_TRUE(testing::sameColor(g.color, t.base[slotDanger]));
    std::vector<Shape> detail = testing::glyphsIn(k.h.shapes(), {88, 65, 174, 19});
    ASSERT_EQ(detail.size(), 6u);
    for (const Shape& g : detail)
        EXPECT_TRUE(testing::sameColor(g.color, t.base[slotTextTertiary]));
}

TEST(Divider, AtLeastOnePixel)
{
    for (double scale : {0.5, 1.0, 2.5}) {
        KitHarness k(800, 600, scale);
        Color c = k.h.ctx->theme.base[slotShadeStrong];
        k.frame([&] { drawDivider(k.state, 10, 110, 20.6, c); });
        std::vector<Shape> s = k.h.shapes();
        ASSERT_EQ(s.size(), 1u);
        EXPECT_EQ(s[0].bounds, (Rect{10, 21, 100, std::max(1.0, scale)}));
    }
}

}  // namespace
}  // namespace qm
