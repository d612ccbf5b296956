#include "ui/text_input.h"

#include "ui/layout.h"
#include "ui/text.h"
#include "ui/widget_id.h"
#include "ui_harness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace qm {
namespace {

using testing::Shape;
using testing::UiHarness;

TEST(ProgressBar, FillClampsAndNaNDrawsNoFill)
{
    UiHarness h;
    struct Case {
        double fraction;
        double fillWidth;  // -1: no fill
    } cases[] = {{-0.5, -1}, {0.25, 200}, {1.5, 800}, {std::numeric_limits<double>::quiet_NaN(), -1}};
    for (const Case& c : cases) {
        h.frame([&] { progressBar(*h.ctx, c.fraction, ""); });
        std::vector<Shape> fills;
        for (const Shape& s : h.shapesOfMode(modeRoundRect))
            fills.push_back(s);
        if (c.fillWidth < 0) {
            EXPECT_TRUE(fills.empty()) << c.fraction;
        } else {
            ASSERT_EQ(fills.size(), 1u) << c.fraction;
            EXPECT_DOUBLE_EQ(fills[0].rect.w, c.fillWidth);
            EXPECT_TRUE(testing::sameColor(fills[0].color, h.ctx->theme.base[slotAccent]));
        }
        for (const Shape& s : h.shapes())
            for (float v : s.p)
                EXPECT_FALSE(std::isnan(v));
    }
}

TEST(ProgressBar, CaptionCutTenDpShort)
{
    UiHarness h(200, 100);
    const std::string caption = "Downloading the update package from the release server";
    double size = 11;
    std::string expected;
    h.frame([&] {
        expected = ellipsize(*h.ctx, caption, 200 - 10, size);
        progressBar(*h.ctx, 0.5, caption);
    });
    EXPECT_NE(expected, caption);
    EXPECT_LE(uiTextWidth(*h.ctx, expected, size, 0), 190);
    size_t glyphs = h.shapesOfMode(modeText).size();
    EXPECT_LT(glyphs, caption.size());
}

TEST(TextInput, WidthZeroFillsTheColumnAtRowHeight)
{
    UiHarness h;
    h.recordWidgets();
    std::string bound;
    h.frame([&] {
        pushLayout(*h.ctx, {20, 30, 333, 500});
        textInput(*h.ctx, "Amount", bound);
        popLayout(*h.ctx);
    });
    Rect r = h.rectOf("Amount");
    EXPECT_EQ(r, (Rect{20, 30, 333, 32}));
}

}  // namespace
}  // namespace qm
