// The frame every editing dialog shares, drawn through the shell's dialog
// entry: headline and read-only figures in their fonts and colours, a
// window no taller than its content, Cancel closing it and the main button
// answering.
#include <gtest/gtest.h>

#include "app/page_table.h"
#include "app/theme_apply.h"
#include "pages/editing/editing.h"
#include "pages/page_harness.h"
#include "ui/theme.h"

namespace qm {
namespace {

using testing::PageHarness;

struct DialogFrameTest : ::testing::Test {
    PageHarness h;
    WindowState window;
    bool drawn = false;
    int mainClicks = 0;

    void SetUp() override
    {
        window.open = true;
        PageTable table = pageTable();
        table.drawDialogs = [this](AppState& state) {
            drawn = beginEditDialog(state, "test-dialog", "Test dialog", window, 420, 600);
            if (!drawn)
                return;
            dialogHeadline(state, "Wed, Mar 12, 2025 \u00b7 All accounts");
            readOnlyAmount(state, "Current balance", -1234.5);
            if (dialogFooter(state, window, "test-cancel", "test-apply", "Apply"))
                ++mainClicks;
            endEditDialog(state);
        };
        setPageTable(std::move(table));
        h.frames(3);  // placed, measured, fitted
    }
};

TEST_F(DialogFrameTest, HeadlineAndFiguresInTheirStyle)
{
    ASSERT_TRUE(drawn);
    const Theme& t = h->ui->theme;
    const testing::DrawnText* headline = nullptr;
    const testing::DrawnText* amount = nullptr;
    for (const testing::DrawnText& d : h.texts) {
        if (d.text == "Wed, Mar 12, 2025 \u00b7 All accounts")
            headline = &d;
        if (d.text == "-$1,234.50")
            amount = &d;
    }
    ASSERT_TRUE(headline && amount);
    EXPECT_EQ(headline->rect.h, dp(*h->ui, 20));
    EXPECT_EQ(headline->size, dp(*h->ui, 12.5));
    EXPECT_TRUE(testing::sameColor(headline->color, t.base[slotTextSecondary]));
    EXPECT_EQ(amount->size, dp(*h->ui, 13));
    EXPECT_TRUE(testing::sameColor(amount->color, t.base[slotTextSecondary]));
    // The amount starts 10 dp into its box on the track colour.
    bool box = false;
    for (const testing::Shape& s : h.shapes())
        box = box
            || (s.mode != 0 && std::abs(s.rect.x + dp(*h->ui, 10) - amount->rect.x) < 0.5
                && testing::sameColor(s.color, t.base[slotBackgroundDeep]));
    EXPECT_TRUE(box);
    // No taller than what it holds.
    EXPECT_LT(window.rect.h, dp(*h->ui, 600));
    EXPECT_GT(window.rect.h, dp(*h->ui, 120));
}

TEST_F(DialogFrameTest, MainButtonAnswersAndCancelCloses)
{
    h.clickWidget("test-apply");
    h.frame();
    EXPECT_EQ(mainClicks, 1);
    EXPECT_TRUE(window.open);
    h.clickWidget("test-cancel");
    h.frame();
    EXPECT_FALSE(window.open);
    h.frame();
    EXPECT_FALSE(drawn);
    EXPECT_EQ(mainClicks, 1);
}

}  // namespace
}  // namespace qm
