#include "ui/layout.h"

#include "ui/checkbox.h"
#include "ui/widget_id.h"
#include "ui_harness.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using testing::UiHarness;

// Lays a row out in a frame of the given width and returns the cells' rects.
std::vector<Rect> rowCells(UiHarness& h, double frameWidth, const std::vector<double>& widths, int items)
{
    std::vector<Rect> cells;
    h.frame([&] {
        pushLayout(*h.ctx, {0, 0, frameWidth, 1000});
        beginRow(*h.ctx, 32, widths);
        for (int i = 0; i < items; ++i)
            cells.push_back(nextLayoutRect(*h.ctx, 0, 0));
        endRow(*h.ctx);
        popLayout(*h.ctx);
    });
    return cells;
}

TEST(Layout, RowsTable)
{
    UiHarness h;  // scale 1, spacing 8
    struct Case {
        double frame;
        std::vector<double> widths;
        std::vector<Rect> expect;
    } cases[] = {
        {300, {100, -1}, {{0, 0, 100, 32}, {108, 0, 192, 32}}},
        // Fixed widths over the frame + 0.5: one full-width item per line.
        {300, {200, 100}, {{0, 0, 300, 32}, {0, 40, 300, 32}}},
        {260, {120, -1, -1}, {{0, 0, 120, 32}, {128, 0, 62, 32}, {198, 0, 62, 32}}},
        // The weighted columns would get 32 < 45: the first takes a line.
        {200, {120, -1, -1}, {{0, 0, 200, 32}, {0, 40, 96, 32}, {104, 40, 96, 32}}},
    };
    for (const Case& c : cases) {
        std::vector<Rect> got = rowCells(h, c.frame, c.widths, int(c.expect.size()));
        for (size_t i = 0; i < c.expect.size(); ++i) {
            EXPECT_DOUBLE_EQ(got[i].x, c.expect[i].x) << c.frame << " cell " << i;
            EXPECT_DOUBLE_EQ(got[i].y, c.expect[i].y) << c.frame << " cell " << i;
            EXPECT_DOUBLE_EQ(got[i].w, c.expect[i].w) << c.frame << " cell " << i;
        }
    }
}

TEST(Layout, RowIdsAvailableWidthAndEmptyRow)
{
    UiHarness h;
    h.frame([&] {
        UiContext& c = *h.ctx;
        pushId(c, "parent");
        beginRow(c, 32, {100, -1});
        int64_t first = currentLayout(c).rowId;
        nextLayoutRect(c, 0, 0);
        EXPECT_DOUBLE_EQ(availableWidth(c), 800 - 100 - 8);
        endRow(c);
        beginRow(c, 32, {});
        int64_t second = currentLayout(c).rowId;
        // No widths: nothing to read, no gaps; items take the rest of the line.
        Rect r = nextLayoutRect(c, 0, 0);
        EXPECT_DOUBLE_EQ(r.w, 800);
        endRow(c);
        EXPECT_EQ(first, widgetId(c, "row#0"));
        EXPECT_EQ(second, widgetId(c, "row#1"));
        popId(c);
    });
}

TEST(Layout, OverlayRestoresLayerAndCarriesBottom)
{
    UiHarness h;
    h.frame([&] {
        UiContext& c = *h.ctx;
        setLayer(*c.renderer, 2);
        double before = currentLayout(c).bottom;
        int32_t previous = beginOverlay(c, {10, 500, 100, 100});
        EXPECT_EQ(currentLayer(*c.renderer), 3);
        nextLayoutRect(c, 50, 0);
        endOverlay(c, previous);
        EXPECT_EQ(currentLayer(*c.renderer), 2);
        EXPECT_GT(currentLayout(c).bottom, before);
        EXPECT_EQ(c.overlays.size(), 1u);
    });
}

TEST(Layout, CheckboxTooWideOverflowsTheRowFromTheNextFrame)
{
    UiHarness h;
    bool value = false;
    bool changed = false, overflow = false;
    auto draw = [&] {
        beginRow(*h.ctx, 26, {120, -1});
        overflow = currentLayout(*h.ctx).overflow;
        checkbox(*h.ctx, "A label far too wide to fit in its cell of the row", value);
        checkbox(*h.ctx, "B", value);
        endRow(*h.ctx);
        changed = h.ctx->layoutChanged;
    };
    h.frame(draw);
    EXPECT_FALSE(overflow);
    EXPECT_TRUE(changed);  // first measurement
    h.frame(draw);
    EXPECT_TRUE(overflow);
    EXPECT_EQ(h.ctx->overflowRows, 1);
    h.frame(draw);
    EXPECT_FALSE(changed);  // the measurement settled
}

}  // namespace
}  // namespace qm
