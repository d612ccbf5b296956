// Form rows, labels, dialog sizes, footers with notes and the money field.
#include "app/form_layout.h"

#include "app/app_text.h"
#include "app/money_field.h"

#include "platform/keys.h"
#include "ui/layout.h"
#include "ui/theme.h"
#include "ui/widget_id.h"
#include "ui/window.h"
#include "ui/wrap.h"

#include "kit_harness.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qm {
namespace {

using testing::KitHarness;
using testing::Shape;

TEST(FormColumns, StackedOnCompactColumnsOtherwise)
{
    struct Case {
        bool compact, allowStack;
        int32_t count;
        double scale;
    } cases[] = {{true, true, 3, 1}, {false, true, 3, 1}, {true, false, 3, 1}, {true, true, 1, 1}, {true, true, 3, 2},
        {false, false, 2, 2}, {false, false, 0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.compact << c.allowStack << c.count << " x" << c.scale);
        KitHarness k(1000, 800, c.scale);
        k.state.compact = c.compact;
        std::vector<Rect> cols;
        double after = 0;
        k.frame([&] {
            pushLayout(*k.h.ctx, {10, 20, 600, 700});
            cols = formColumns(k.state, c.count, 0, 12, c.allowStack);
            after = layoutCursor(*k.h.ctx);
            popLayout(*k.h.ctx);
        });
        double s = c.scale, h = std::round(32 * s) + 22 * s, sp = std::round(8 * s);
        ASSERT_EQ(cols.size(), size_t(std::max(c.count, 0)));
        bool stacked = c.compact && c.allowStack && c.count > 1;
        for (size_t i = 0; i < cols.size(); ++i) {
            EXPECT_EQ(cols[i].h, h);
            if (stacked) {
                EXPECT_EQ(cols[i].x, 10);
                EXPECT_EQ(cols[i].w, 600);
                EXPECT_NEAR(cols[i].y, 20 + double(i) * (h + sp + 6 * s), 1e-9);
            } else {
                double w = (600 - (c.count - 1) * 12 * s) / c.count;
                EXPECT_NEAR(cols[i].w, w, 1e-9);
                EXPECT_NEAR(cols[i].x, 10 + double(i) * (w + 12 * s), 1e-9);
                EXPECT_EQ(cols[i].y, 20);
            }
        }
        // The row (or the stack) is taken from the layout even with no columns.
        double rows = stacked ? c.count : 1;
        EXPECT_NEAR(after, 20 + rows * (h + sp) + (stacked ? (c.count - 1) * 6 * s : 0), 1e-9);
    }
}

TEST(FieldLabel, UpperCasedOnCompactAndPullsTheFieldUp)
{
    for (bool compact : {false, true}) {
        KitHarness k;
        k.state.compact = compact;
        double cursor = 0;
        k.frame([&] {
            pushLayout(*k.h.ctx, {10, 10, 300, 300});
            fieldLabel(k.state, "Amount");
            cursor = layoutCursor(*k.h.ctx);
            popLayout(*k.h.ctx);
        });
        EXPECT_EQ(cursor, 10 + 18 + 8 - 4);
        std::vector<Shape> glyphs = testing::glyphsIn(k.h.shapes(), {10, 10, 300, 18});
        ASSERT_EQ(glyphs.size(), 6u);
        for (const Shape& g : glyphs)
            EXPECT_TRUE(testing::sameColor(g.color, k.h.ctx->theme.base[slotTextSecondary]));
        // "AMOUNT" at 11 dp is as wide as measured in that size, "Amount" at 12 dp.
        double w = glyphs.back().bounds.x + glyphs.back().bounds.w - glyphs.front().bounds.x;
        double want = compact ? measureText(k.state, "AMOUNT", 11, 600) : measureText(k.state, "Amount", 12, 600);
        EXPECT_NEAR(w, want, 3.5);
        // Capitals stand as tall as the first letter; "mount" is shorter than "A".
        double lo = 1e9, hi = 0;
        for (const Shape& g : glyphs) {
            lo = std::min(lo, g.bounds.h);
            hi = std::max(hi, g.bounds.h);
        }
        if (compact)
            EXPECT_LE(hi - lo, 1.01);
        else
            EXPECT_GE(hi - lo, 2);
    }
}

TEST(DialogSize, CompactAndWide)
{
    struct Case {
        bool compact;
        double scale;
        int32_t vw, vh;
        DialogSize want;
    } cases[] = {
        {false, 1, 1000, 800, {400, 300}},
        {false, 2, 2000, 1600, {800, 600}},
        {true, 2, 700, 1200, {700 - 16, 300}},  // the height stays in pixels: at most 300
        {true, 1, 360, 250, {352, 250 - 16}},
    };
    for (const Case& c : cases) {
        KitHarness k(c.vw, c.vh, c.scale);
        k.state.compact = c.compact;
        DialogSize got;
        k.frame([&] { got = dialogSize(k.state, 400, 300); });
        EXPECT_NEAR(got.width, c.want.width, 1e-9);
        EXPECT_NEAR(got.height, c.want.height, 1e-9);
        if (c.compact) {
            EXPECT_LE(got.height, 300);
        }
    }
}

struct FooterRig {
    KitHarness k{900, 700};
    WindowState st;
    double buttonsY = 0;
    Rect footer;

    void draw(const std::string& note, double leftReserve, double rightReserve)
    {
        st.open = true;
        k.frame([&] {
            if (beginWindow(*k.h.ctx, "dlg", "Title", st, 500, 400)) {
                footerNote(k.state, note, colorTransparent, leftReserve, rightReserve);
                const LayoutFrame& f = currentLayout(*k.h.ctx);
                footer = {f.x, f.y, f.w, f.h};
                buttonsY = f.cursorY;
                endWindow(*k.h.ctx);
            }
        });
    }
};

TEST(FooterNote, NarrowNoteNotDrawnThreeLinesSetTheHeight)
{
    const std::string note = "Changes are saved on this device and sent with the next sync of the budget.";
    {
        FooterRig rig;
        for (int i = 0; i < 2; ++i)
            rig.draw(note, 200, 220);  // leaves less than 40 dp
        EXPECT_EQ(rig.st.footerHeight, 2 * 8 + 32);
        EXPECT_TRUE(testing::glyphsIn(rig.k.h.shapes(), rig.footer).empty());
        EXPECT_EQ(rig.buttonsY, rig.footer.y);
    }
    {
        FooterRig rig;
        for (int i = 0; i < 2; ++i)
            rig.draw(note, 0, 250);
        double m = rig.footer.w - 250 - 12;
        std::vector<std::string> lines;
        rig.k.frame([&] { lines = wrapText(*rig.k.h.ctx, note, m, 12.5); });
        ASSERT_EQ(lines.size(), 3u);
        rig.draw(note, 0, 250);
        EXPECT_EQ(rig.st.footerHeight, 2 * 8 + 48);
        EXPECT_EQ(rig.buttonsY, rig.footer.y + (48 - 32) / 2.0);
        std::vector<Shape> glyphs = testing::glyphsIn(rig.k.h.shapes(), {rig.footer.x, rig.footer.y, m, 48});
        EXPECT_GT(glyphs.size(), 40u);
        for (const Shape& g : glyphs)
            EXPECT_TRUE(testing::sameColor(g.color, rig.k.h.ctx->theme.base[slotTextSecondary]));
    }
}

TEST(AmountField, SelectsAllOnFocusAndDrawsTheDollar)
{
    KitHarness k;
    std::string text = "12.50";
    Rect rect{50, 50, 160, 32};
    TextEditResult last = editNone;
    auto draw = [&] { last = amountField(k.state, "amt", text, rect, "0.00", false); };
    k.frame(draw);
    // The "$" sits left of the box in the first mono face, textSecondary.
    std::vector<Shape> dollar = testing::glyphsIn(k.h.shapes(), {rect.x, rect.y, 18 + 8, rect.h});
    ASSERT_EQ(dollar.size(), 1u);
    EXPECT_TRUE(testing::sameColor(dollar[0].color, k.h.ctx->theme.base[slotTextSecondary]));
    EXPECT_EQ(
        testing::glyphTextureIn(*k.h.renderer, {rect.x, rect.y, 20, rect.h}), testing::kitFonts().mono0->texture->name);

    // A focus from Tab or the program selects everything; typing replaces it.
    int64_t id = widgetId(*k.h.ctx, "amt");
    setFocus(*k.h.ctx, id);
    k.frame(draw);
    std::shared_ptr<TextEditState> st = textEditState(*k.h.ctx, id);
    EXPECT_EQ(st->anchor, 0);
    EXPECT_EQ(st->caret, 5);
    // A double click selects all of it as well, not a word.
    setFocus(*k.h.ctx, 0);
    k.frame(draw);
    text = "1 234.50";
    k.h.click(rect.x + 40, rect.y + 10);
    k.frame(draw);
    k.h.click(rect.x + 40, rect.y + 10);
    k.frame(draw);
    EXPECT_EQ(st->anchor, 0);
    EXPECT_EQ(st->caret, 8);
    k.h.type("99");
    k.frame(draw);
    k.h.key(keyEnter);
    k.frame(draw);
    EXPECT_EQ(last, editEnter);
    EXPECT_EQ(text, "99");
}

}  // namespace
}  // namespace qm
