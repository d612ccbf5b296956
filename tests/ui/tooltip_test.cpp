#include "ui/text.h"
#include "ui/tooltip.h"

#include "ui/widget_id.h"
#include "ui_harness.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using testing::Shape;
using testing::UiHarness;

// The tooltip box: the rounded fill on layer 10.
std::vector<Shape> tooltipBoxes(const UiHarness& h)
{
    std::vector<Shape> out;
    for (const Shape& s : h.shapesOfMode(modeRoundRect))
        if (s.layer == 10)
            out.push_back(s);
    return out;
}

void hoverWidget(UiHarness& h, const char* text)
{
    int64_t id = widgetId(*h.ctx, "W");
    interact(*h.ctx, id, {0, 0, 200, 40}, 1);
    setTooltip(*h.ctx, text);
}

TEST(Tooltip, DelayHoldAndSizes)
{
    UiHarness h;
    h.move(20, 20);
    int shownAt = -1;
    for (int f = 0; f < 40 && shownAt < 0; ++f) {
        h.frame([&] { hoverWidget(h, "Save the budget"); });
        if (!tooltipBoxes(h).empty())
            shownAt = f;
    }
    // 0.45 s at 60 frames a second, counted from the frame the hover began.
    EXPECT_GE(shownAt, 27);
    EXPECT_LE(shownAt, 29);
    std::vector<Shape> box = tooltipBoxes(h);
    ASSERT_EQ(box.size(), 1u);
    EXPECT_DOUBLE_EQ(box[0].rect.h, 22);
    EXPECT_DOUBLE_EQ(box[0].rect.x, 32);
    EXPECT_DOUBLE_EQ(box[0].rect.y, 38);
    EXPECT_TRUE(testing::sameColor(box[0].color, h.ctx->theme.derived[derivedTooltipFill]));

    h.press();
    h.frame([&] { hoverWidget(h, "Save the budget"); });
    EXPECT_TRUE(tooltipBoxes(h).empty());  // hidden while the button is held
    h.release();
    h.frame([&] { hoverWidget(h, "Two\nlines"); });
    h.frames(30, [&] { hoverWidget(h, "Two\nlines"); });
    box = tooltipBoxes(h);
    ASSERT_EQ(box.size(), 1u);
    EXPECT_DOUBLE_EQ(box[0].rect.h, 44);
}

TEST(Tooltip, KeptInsideTheViewAtEdges)
{
    UiHarness h(400, 300);
    auto draw = [&] { tooltip(*h.ctx, "A long tooltip near the corner", {300, 250, 100, 50}); };
    h.move(390, 290);
    h.frames(40, draw);
    std::vector<Shape> box = tooltipBoxes(h);
    ASSERT_EQ(box.size(), 1u);
    EXPECT_NEAR(box[0].rect.x + box[0].rect.w, 400 - 4, 1e-3);  // vertex floats // ends 4 dp inside
    EXPECT_DOUBLE_EQ(box[0].rect.y, 290 - 22 - 6);              // above the pointer
    // Leaving the rect and coming back restarts the delay.
    h.move(10, 10);
    h.frame(draw);
    h.move(390, 290);
    h.frames(5, draw);
    EXPECT_TRUE(tooltipBoxes(h).empty());
}

TEST(Ellipsize, CutsWholeCodePoints)
{
    UiHarness h;
    h.frame();
    UiContext& c = *h.ctx;
    double size = 13;
    const std::string dots = "\xE2\x80\xA6";
    EXPECT_EQ(ellipsize(c, "fits", 1000, size), "fits");
    double three = uiTextWidth(c, "Sav", size, 0) + uiTextWidth(c, dots, size, 0);
    EXPECT_EQ(ellipsize(c, "Saving", three + 0.1, size), "Sav" + dots);
    EXPECT_EQ(ellipsize(c, "Saving", 1, size), dots);
    // "é" is two bytes: never split.
    double oneE = uiTextWidth(c, "\xC3\xA9", size, 0) + uiTextWidth(c, dots, size, 0);
    EXPECT_EQ(ellipsize(c, "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", oneE + 0.1, size), "\xC3\xA9" + dots);
    // A cut-off tail and a stray byte come back as well-formed text.
    std::string cut = ellipsize(c,
        "ab\x80"
        "cdefghijklmnop\xE2\x82",
        uiTextWidth(c, "ab\xC2\x80", size, 0) + uiTextWidth(c, dots, size, 0) + 0.1, size);
    EXPECT_EQ(cut, "ab\xC2\x80" + dots);
    std::string tail = ellipsize(c, std::string(40, 'x') + "\xE2\x82", 1e9, size);
    EXPECT_EQ(tail, std::string(40, 'x') + "\xE2\x82");  // fits: unchanged
}

}  // namespace
}  // namespace qm
