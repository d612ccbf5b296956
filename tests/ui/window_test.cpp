// Windows and dialogs, and the combo box, through the frame driver.
#include "ui/combo_box.h"
#include "ui/window.h"

#include "ui/button.h"
#include "ui/hit_test.h"
#include "ui/label.h"
#include "ui/layout.h"
#include "ui/text_input.h"
#include "ui/trail.h"
#include "ui/widget_id.h"
#include "ui_harness.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using testing::Shape;
using testing::UiHarness;

struct Dialog {
    WindowState st;
    std::string name = "dlg";
    double width = 400, height = 300;
    bool modal = true, resizable = false;
    std::function<void()> body;
    bool shown = false;

    void draw(UiContext& ctx)
    {
        shown = beginWindow(ctx, name, "Settings", st, width, height, {.modal = modal, .resizable = resizable});
        if (shown) {
            if (body)
                body();
            endWindow(ctx);
        }
    }
};

TEST(Window, TinyViewNeverPlaces)
{
    UiHarness h(150, 100);
    Dialog d;
    d.st.open = true;
    h.frame([&] { d.draw(*h.ctx); });
    EXPECT_FALSE(d.shown);
    EXPECT_TRUE(d.st.open);
    EXPECT_FALSE(d.st.positioned);
    h.setSize(800, 600);
    h.frame([&] { d.draw(*h.ctx); });
    EXPECT_TRUE(d.shown);
}

TEST(Window, TooWideDialogIsSqueezedCentredAndRecentredAfterWidening)
{
    UiHarness h(600, 500);
    Dialog d;
    d.width = 700;
    d.st.open = true;
    h.frames(2, [&] { d.draw(*h.ctx); });
    EXPECT_DOUBLE_EQ(d.st.rect.w, 584);
    EXPECT_DOUBLE_EQ(d.st.rect.x, 8);
    EXPECT_TRUE(d.st.squeezed);
    h.setSize(1000, 700);
    h.frame([&] { d.draw(*h.ctx); });
    EXPECT_DOUBLE_EQ(d.st.rect.w, 700);
    EXPECT_DOUBLE_EQ(d.st.rect.x, 150);
    EXPECT_EQ(d.st.recentreFrames, 3);
    h.frames(3, [&] { d.draw(*h.ctx); });
    EXPECT_EQ(d.st.recentreFrames, 0);

    // A window the user moved keeps its y while re-centring.
    Dialog m;
    m.width = 700;
    m.st.open = true;
    UiHarness k(600, 500);
    k.frames(2, [&] { m.draw(*k.ctx); });
    m.st.moved = true;
    m.st.rect.y = 20;
    k.setSize(1000, 700);
    k.frames(5, [&] { m.draw(*k.ctx); });
    EXPECT_DOUBLE_EQ(m.st.rect.y, 20);
}

TEST(Window, TitleDragStaysInViewAndGripHasAMinimum)
{
    UiHarness h(800, 600);
    Dialog d;
    d.resizable = true;
    d.width = 500;
    d.st.open = true;
    h.frames(2, [&] { d.draw(*h.ctx); });
    Rect r = d.st.rect;
    h.move(r.x + 50, r.y + 10);
    h.press();
    h.frame([&] { d.draw(*h.ctx); });
    h.move(-500, -500);
    h.frame([&] { d.draw(*h.ctx); });
    EXPECT_DOUBLE_EQ(d.st.rect.x, 0);
    EXPECT_DOUBLE_EQ(d.st.rect.y, 0);
    EXPECT_TRUE(d.st.moved);
    h.release();
    h.frame([&] { d.draw(*h.ctx); });
    r = d.st.rect;
    h.move(r.x + r.w - 4, r.y + r.h - 4);
    h.press();
    h.frame([&] { d.draw(*h.ctx); });
    h.move(10, 10);
    h.frame([&] { d.draw(*h.ctx); });
    EXPECT_DOUBLE_EQ(d.st.rect.w, 250);  // max(500 / 2, 200)
    EXPECT_DOUBLE_EQ(d.st.rect.h, 150);  // max(300 / 2, 120)
    h.release();
    h.frame([&] { d.draw(*h.ctx); });
}

TEST(Window, EscapeClosesOnlyTheTopmostModalOncePerPress)
{
    UiHarness h;
    Dialog a, b;
    b.name = "second";
    a.st.open = b.st.open = true;
    auto draw = [&] {
        a.draw(*h.ctx);
        b.draw(*h.ctx);
    };
    h.frames(2, draw);
    h.key(keyEscape);
    h.frame(draw);
    EXPECT_TRUE(a.st.open);
    EXPECT_FALSE(b.st.open);
    h.frame(draw);
    EXPECT_TRUE(a.st.open);  // the press was used up
    h.key(keyEscape);
    h.frames(2, draw);
    EXPECT_FALSE(a.st.open);
}

TEST(Window, BackdropFromTheSecondFrameAndTrailOnFirstPlacement)
{
    UiHarness h(800, 600);
    Dialog d;
    d.st.open = true;
    auto backdrop = [&] {
        for (const Shape& s : h.shapes())
            if (s.mode == modeFlat && s.rect == Rect{0, 0, 800, 600})
                return s.color;
        return colorTransparent;
    };
    h.frame([&] { d.draw(*h.ctx); });
    EXPECT_EQ(backdrop().a, 0);
    EXPECT_EQ(actionTrail().back(), "Window: Settings");
    int32_t version = trailVersion();
    h.frame([&] { d.draw(*h.ctx); });
    EXPECT_TRUE(testing::sameColor(backdrop(), withAlpha(colorBlack, 0.25)));
    d.st.open = false;
    h.frame([&] { d.draw(*h.ctx); });
    d.st.open = true;
    h.frames(2, [&] { d.draw(*h.ctx); });
    EXPECT_EQ(trailVersion(), version);  // opened again: no new entry
}

TEST(Window, FocusOnOpenEditsWithAllSelected)
{
    UiHarness h;
    Dialog d;
    std::string bound = "Groceries";
    int64_t fieldId = 0;
    d.body = [&] {
        textInput(*h.ctx, "Name", bound);
        fieldId = h.ctx->lastWidgetId;
    };
    d.st.open = true;
    d.st.focusOnOpen = "Name";
    h.frames(2, [&] { d.draw(*h.ctx); });
    auto st = textEditState(*h.ctx, fieldId);
    EXPECT_EQ(h.ctx->focusId, fieldId);
    EXPECT_TRUE(st->editing);
    EXPECT_EQ(st->anchor, 0);
    EXPECT_EQ(st->caret, 9);
}

TEST(Window, EscapeThenReopenShowsTheBoundText)
{
    UiHarness h;
    Dialog d;
    std::string bound = "Rent";
    int64_t fieldId = 0;
    TextEditResult result = editNone;
    d.body = [&] {
        result = textInput(*h.ctx, "Name", bound);
        fieldId = h.ctx->lastWidgetId;
    };
    d.st.open = true;
    d.st.focusOnOpen = "Name";
    h.frames(2, [&] { d.draw(*h.ctx); });
    h.type("Typed");
    h.frame([&] { d.draw(*h.ctx); });
    h.key(keyEscape);
    h.frame([&] { d.draw(*h.ctx); });
    EXPECT_FALSE(d.st.open);
    EXPECT_NE(result, editEscape);  // the window took Escape first
    h.frames(2, [&] { d.draw(*h.ctx); });
    bound = "Mortgage";  // the page loads another record
    d.st.open = true;
    d.st.focusOnOpen = "Name";
    h.frames(2, [&] { d.draw(*h.ctx); });
    EXPECT_EQ(bound, "Mortgage");
    EXPECT_EQ(textEditState(*h.ctx, fieldId)->buffer, "Mortgage");
}

TEST(Window, FooterBandAndFitHeight)
{
    UiHarness h;
    Dialog d;
    d.height = 500;
    Rect footerButton;
    d.body = [&] {
        for (int i = 0; i < 3; ++i)
            textInput(*h.ctx, "f" + std::to_string(i), d.name);
        windowFooter(*h.ctx, 0);
        beginRow(*h.ctx, rowHeight(*h.ctx), {-1, 100});
        skipRowCell(*h.ctx);
        iconButton(*h.ctx, "OK", {.style = buttonPrimary});
        footerButton = h.ctx->lastWidgetRect;
        endRow(*h.ctx);
    };
    d.st.open = true;
    h.frames(3, [&] { d.draw(*h.ctx); });
    double p = 12, title = 32;
    EXPECT_DOUBLE_EQ(d.st.contentHeight, 3 * (32 + 8));
    EXPECT_DOUBLE_EQ(d.st.footerHeight, 2 * 8 + 32);
    // The band sits at the bottom of the window above the inner margin; its
    // row starts a spacing below the band's top.
    EXPECT_DOUBLE_EQ(footerButton.y + footerButton.h, d.st.rect.y + d.st.rect.h - p - 8);
    double fit = fitWindowHeight(*h.ctx, d.st, 500);
    EXPECT_DOUBLE_EQ(fit, 2 * p + title + 120 + 48);
}

TEST(Window, OverflowingBodyScrollsAndStartsAtTheTopWhenReopened)
{
    UiHarness h;
    Dialog d;
    d.height = 200;
    d.body = [&] {
        for (int i = 0; i < 20; ++i)
            textBlock(*h.ctx, "Line " + std::to_string(i), 0, 0, 0, 0);
    };
    d.st.open = true;
    h.frames(3, [&] { d.draw(*h.ctx); });
    Rect r = d.st.rect;
    h.move(r.x + 50, r.y + 100);
    h.wheel(-2);
    h.frame([&] { d.draw(*h.ctx); });
    auto body = [&] {
        std::vector<int64_t> saved = h.ctx->idStack;
        h.ctx->idStack.clear();
        int64_t id = widgetId(*h.ctx, "scrollwindlg");
        h.ctx->idStack = saved;
        return scrollState(*h.ctx, id);
    };
    EXPECT_DOUBLE_EQ(body()->offset, 80);
    d.st.open = false;
    h.frames(2, [&] { d.draw(*h.ctx); });
    d.st.open = true;
    h.frames(2, [&] { d.draw(*h.ctx); });
    EXPECT_DOUBLE_EQ(body()->offset, 0);
}

TEST(Window, LayerRestoredAfterTwoModalsAndANonModalInsideAModal)
{
    UiHarness h;
    Dialog a, b, inner;
    b.name = "b";
    inner.name = "inner";
    inner.modal = false;
    inner.width = inner.height = 200;  // centred: clear of the pointer below
    a.st.open = b.st.open = inner.st.open = true;
    int32_t afterTwo = -1, afterInner = -1, insideBefore = -1;
    InteractResult late;
    h.frames(3, [&] {
        a.draw(*h.ctx);
        b.draw(*h.ctx);
        afterTwo = currentLayer(*h.ctx->renderer);
        Dialog* outer = &a;
        (void)outer;
    });
    EXPECT_EQ(afterTwo, 0);
    a.body = [&] {
        insideBefore = currentLayer(*h.ctx->renderer);
        inner.draw(*h.ctx);
        afterInner = currentLayer(*h.ctx->renderer);
        late = interact(*h.ctx, widgetId(*h.ctx, "late"), {0, 0, 2000, 2000}, 1);
    };
    b.st.open = false;
    Rect ar = a.st.rect;
    h.move(ar.x + 5, ar.y + ar.h - 5);
    h.frames(3, [&] { a.draw(*h.ctx); });
    EXPECT_EQ(afterInner, insideBefore);
    EXPECT_TRUE(late.hovered);  // not hidden under the inner window's layer
}

TEST(Window, ManyOpenCloseCyclesLeaveNoState)
{
    UiHarness h;
    Dialog d;
    for (int i = 0; i < 50; ++i) {
        d.st.open = i % 3 != 0;
        h.frame([&] { d.draw(*h.ctx); });
    }
    EXPECT_TRUE(h.ctx->windowStack.empty());
    EXPECT_EQ(h.ctx->layoutStack.size(), 1u);
    EXPECT_TRUE(h.ctx->idStack.empty());
}

struct Combo {
    UiHarness h{800, 600};
    int32_t selected = -1;
    std::vector<std::string> items;
    Rect bar{100, 100, 200, 32};
    bool changed = false, disabled = false;
    Combo(int n)
    {
        for (int i = 0; i < n; ++i)
            items.push_back("Item " + std::to_string(i));
        h.recordWidgets();
    }
    int64_t id() { return widgetId(*h.ctx, "combo"); }
    void frame()
    {
        h.frame([&] { changed = comboBox(*h.ctx, id(), selected, items, bar, disabled); });
    }
    void open()
    {
        h.click(bar.x + 10, bar.y + 10);
        frame();
        frame();
    }
    ScrollState& scroll() { return *scrollState(*h.ctx, id()); }
};

TEST(Combo, TwelveAndThirteenItems)
{
    Combo twelve(12);
    twelve.open();
    EXPECT_DOUBLE_EQ(twelve.h.ctx->popupRect.h, 12 * 26 + 8);
    EXPECT_EQ(twelve.h.widget("cmbbar#" + std::to_string(twelve.id() & 0x7FFFFFFF)), nullptr);
    twelve.h.move(150, 200);
    twelve.h.wheel(-3);
    twelve.frame();
    EXPECT_DOUBLE_EQ(twelve.scroll().offset, 0);

    Combo thirteen(13);
    thirteen.open();
    const WidgetRecord* thumb = thirteen.h.widget("cmbbar#" + std::to_string(thirteen.id() & 0x7FFFFFFF));
    ASSERT_NE(thumb, nullptr);
    EXPECT_DOUBLE_EQ(thumb->rect.w, 8 - 4);
    thirteen.h.move(150, 200);
    thirteen.h.wheel(-3);
    thirteen.frame();
    EXPECT_DOUBLE_EQ(thirteen.scroll().offset, 26);  // one row at most
}

TEST(Combo, NoCentringWithoutSelectionCentringWithOne)
{
    Combo c(40);
    c.scroll().offset = 52;
    c.open();
    EXPECT_DOUBLE_EQ(c.scroll().offset, 52);  // index -1 keeps the offset
    c.h.key(keyEscape);
    c.frame();
    c.selected = 20;
    c.open();
    EXPECT_DOUBLE_EQ(c.scroll().offset, 20 * 26 - 5.5 * 26);
}

TEST(Combo, ChoosingRowsAndTheTrail)
{
    Combo c(5);
    c.selected = 2;
    c.open();
    int32_t version = trailVersion();
    Rect row = c.h.rectOf("cmbitem#2");
    c.h.click(row.x + 5, row.y + 5);
    c.frame();
    EXPECT_FALSE(c.changed);
    EXPECT_FALSE(isPopupOpen(*c.h.ctx, c.id()));
    EXPECT_EQ(trailVersion(), version);
    c.open();
    row = c.h.rectOf("cmbitem#4");
    c.h.click(row.x + 5, row.y + 5);
    c.frame();
    EXPECT_TRUE(c.changed);
    EXPECT_EQ(c.selected, 4);
    EXPECT_EQ(actionTrail().back(), "List: Item 4");
}

TEST(Combo, OpensAboveNearTheBottomAndDisabledNeverOpens)
{
    Combo c(12);
    c.bar = {100, 300, 200, 32};
    c.open();
    EXPECT_DOUBLE_EQ(c.h.ctx->popupRect.y, 2);  // 300 - 320 - 2 < 2: kept 2 from the top
    Combo d(3);
    d.bar = {100, 550, 200, 32};
    d.open();
    EXPECT_DOUBLE_EQ(d.h.ctx->popupRect.y, 550 - (3 * 26 + 8) - 2);
    Combo off(3);
    off.disabled = true;
    off.open();
    EXPECT_FALSE(isPopupOpen(*off.h.ctx, off.id()));
}

TEST(Combo, ThumbHasATwentyDpMinimum)
{
    Combo c(400);
    c.open();
    const WidgetRecord* thumb = c.h.widget("cmbbar#" + std::to_string(c.id() & 0x7FFFFFFF));
    ASSERT_NE(thumb, nullptr);
    EXPECT_DOUBLE_EQ(thumb->rect.h, 20);
}

}  // namespace
}  // namespace qm
