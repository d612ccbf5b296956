// The frame cycle, input, interaction, focus, popups and hit testing, driven
// frame by frame through the harness.
#include "ui/context.h"
#include "ui/hit_test.h"
#include "ui/input.h"
#include "ui/widget_id.h"

#include "ui_harness.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using testing::UiHarness;

// A bare widget: an id, a rect, interact, and a place in the Tab order.
InteractResult box(UiHarness& h, const char* label, Rect r, uint8_t button = 1)
{
    int64_t id = widgetId(*h.ctx, label);
    InteractResult res = interact(*h.ctx, id, r, button);
    addFocusable(*h.ctx, id);
    return res;
}

const Rect kA{10, 10, 100, 30};
const Rect kB{10, 60, 100, 30};

TEST(Interaction, PressAndReleaseInOneFrameClick)
{
    UiHarness h;
    InteractResult r;
    h.click(20, 20);
    h.frame([&] { r = box(h, "A", kA); });
    EXPECT_TRUE(r.hovered);
    EXPECT_TRUE(r.pressed);
    EXPECT_TRUE(r.clicked);
    EXPECT_FALSE(r.held);
    EXPECT_EQ(h.ctx->activeId, 0);
}

TEST(Interaction, DragFromOneWidgetToAnotherClicksNeither)
{
    UiHarness h;
    InteractResult a, b;
    auto draw = [&] {
        a = box(h, "A", kA);
        b = box(h, "B", kB);
    };
    h.move(20, 20);
    h.press();
    h.frame(draw);
    EXPECT_TRUE(a.pressed);
    h.move(20, 70);
    h.frame(draw);
    EXPECT_TRUE(a.held);
    EXPECT_FALSE(a.hovered);
    EXPECT_FALSE(b.hovered);  // A holds the pointer
    h.release();
    h.frame(draw);
    EXPECT_FALSE(a.clicked);
    EXPECT_FALSE(b.clicked);
    EXPECT_EQ(h.ctx->activeId, 0);
}

// Equal labels under one parent are one widget to the toolkit: both draws
// share hover, press and focus, and the first draw of the frame takes the
// release, so a press on the second copy clicks neither.
TEST(Interaction, EqualLabelsShareHoverPressAndFocus)
{
    UiHarness h;
    InteractResult first, second;
    auto draw = [&] {
        first = box(h, "Remember", kA);
        second = box(h, "Remember", kB);
    };
    h.click(20, 20);
    h.frame(draw);
    EXPECT_TRUE(first.clicked);
    EXPECT_FALSE(second.hovered);
    h.move(20, 70);
    h.press();
    h.frame(draw);
    EXPECT_TRUE(second.pressed);
    h.frame(draw);
    EXPECT_TRUE(first.held);  // the same id: both read as held
    EXPECT_TRUE(second.held);
    h.release();
    h.frame(draw);
    EXPECT_FALSE(first.clicked);
    EXPECT_FALSE(second.clicked);
    setFocus(*h.ctx, widgetId(*h.ctx, "Remember"));
    EXPECT_TRUE(isFocused(*h.ctx, widgetId(*h.ctx, "Remember")));
}

TEST(Focus, TabAndShiftTabWrap)
{
    UiHarness h;
    auto draw = [&] {
        box(h, "A", kA);
        box(h, "B", kB);
        box(h, "C", {10, 110, 100, 30});
    };
    int64_t a = 0, b = 0, c = 0;
    h.frame([&] {
        draw();
        a = widgetId(*h.ctx, "A");
        b = widgetId(*h.ctx, "B");
        c = widgetId(*h.ctx, "C");
    });
    struct Step {
        uint8_t mods;
        int64_t* expect;
    } steps[] = {{0, &a}, {0, &b}, {0, &c}, {0, &a}, {modShift, &c}, {modShift, &b}};
    for (const Step& s : steps) {
        h.key(keyTab, s.mods);
        bool tabSeen = true;
        h.frame([&] {
            tabSeen = keyPressed(*h.ctx, keyTab, 0, false);
            draw();
        });
        EXPECT_EQ(h.ctx->focusId, *s.expect);
        EXPECT_FALSE(tabSeen);  // Tab is taken by the focus walk
    }
    // Shift+Tab with nothing focused goes to the last.
    setFocus(*h.ctx, 0);
    h.key(keyTab, modShift);
    h.frame(draw);
    EXPECT_EQ(h.ctx->focusId, c);
}

TEST(Focus, VanishedWidgetLosesFocusAndClicksClearOnlyOnLeft)
{
    UiHarness h;
    bool showB = true;
    auto draw = [&] {
        box(h, "A", kA);
        if (showB)
            box(h, "B", kB);
    };
    h.frame(draw);
    int64_t b = widgetId(*h.ctx, "B");
    setFocus(*h.ctx, b);
    h.frame(draw);
    EXPECT_EQ(h.ctx->focusId, b);
    h.click(500, 500, 3);  // right click on empty space keeps it
    h.frame(draw);
    EXPECT_EQ(h.ctx->focusId, b);
    h.click(500, 500, 1);
    h.frame(draw);
    EXPECT_EQ(h.ctx->focusId, 0);

    setFocus(*h.ctx, b);
    h.frame(draw);
    showB = false;
    h.frame(draw);
    EXPECT_EQ(h.ctx->focusId, 0);
}

TEST(Focus, ViewHeightChangeRestartsCountdown)
{
    UiHarness h;
    h.frame([&] { box(h, "A", kA); });
    setFocus(*h.ctx, widgetId(*h.ctx, "A"));
    h.frames(10, [&] { box(h, "A", kA); });
    EXPECT_EQ(h.ctx->focusVisibleFrames, 0);
    h.setSize(800, 500);
    h.frame([&] { box(h, "A", kA); });
    EXPECT_EQ(h.ctx->focusVisibleFrames, 7);
    EXPECT_TRUE(h.ctx->layoutChanged);
}

TEST(Input, DoubleClickRule)
{
    struct Case {
        double secondDx;
        int framesBetween;
        bool expect;
    } cases[] = {{3, 18, true}, {5, 18, false}, {3, 22, false}, {0, 0, true}};
    for (const Case& c : cases) {
        UiHarness h;
        h.frames(60);  // away from time 0, which the pair reset also uses
        h.move(100, 100);
        h.press();
        h.release();
        h.frame();
        h.frames(c.framesBetween);
        h.move(100 + c.secondDx, 100);
        h.press();
        h.release();
        bool dbl = false;
        h.frame([&] { dbl = h.ctx->doubleClicked[1]; });
        EXPECT_EQ(dbl, c.expect) << c.secondDx << " " << c.framesBetween;
        if (c.expect) {
            h.press();  // a third press starts a new pair
            h.release();
            h.frame([&] { dbl = h.ctx->doubleClicked[1]; });
            EXPECT_FALSE(dbl);
        }
    }
}

TEST(Input, WheelSumsOverUndrawnFramesAndFocusOutReleases)
{
    UiHarness h;
    h.move(10, 10);
    h.wheel(1);
    h.wheel(1);
    h.wheel(-0.5);
    double seen = 0;
    h.frame([&] { seen = h.ctx->wheelY; });
    EXPECT_DOUBLE_EQ(seen, 1.5);
    h.frame([&] { seen = h.ctx->wheelY; });
    EXPECT_DOUBLE_EQ(seen, 0);

    h.press();
    h.frame([&] { box(h, "A", {0, 0, 50, 50}); });
    EXPECT_NE(h.ctx->activeId, 0);
    WindowEvent out;
    out.kind = weFocusOut;
    h.event(out);
    h.frame([&] { box(h, "A", {0, 0, 50, 50}); });
    EXPECT_EQ(h.ctx->activeId, 0);
    EXPECT_FALSE(h.ctx->buttonsDown[1]);
}

TEST(Input, KeyPressedExactOrNotAndBoundsChecks)
{
    UiHarness h;
    h.key(uint8_t(keyA + 18), modControl | modShift);
    WindowEvent bad;
    bad.kind = weKeyDown;
    bad.key = 200;  // outside the key table: dropped
    h.event(bad);
    bad.kind = weMouseDown;
    bad.button = 9;
    h.event(bad);
    h.frame([&] {
        UiContext& c = *h.ctx;
        EXPECT_TRUE(keyPressed(c, uint8_t(keyA + 18), modControl, false));
        EXPECT_FALSE(keyPressed(c, uint8_t(keyA + 18), modControl, true));
        EXPECT_TRUE(keyPressed(c, uint8_t(keyA + 18), modControl | modShift, true));
        EXPECT_TRUE(keyPressed(c, uint8_t(keyA + 18), 0, false));
        EXPECT_FALSE(keyPressed(c, keyA, 0, false));
        EXPECT_EQ(c.keyPresses.size(), 1u);
        consumeKey(c, uint8_t(keyA + 18));
        EXPECT_FALSE(keyPressed(c, uint8_t(keyA + 18), 0, false));
    });
}

TEST(Input, SuperTextIsNotTyped)
{
    UiHarness h;
    h.type("v", modSuper);
    h.type("w", modControl);  // Control text still arrives; fields filter it
    h.type("x");
    std::vector<int32_t> typed;
    h.frame([&] { typed = h.ctx->typedRunes; });
    EXPECT_EQ(typed, (std::vector<int32_t>{'w', 'x'}));
}

TEST(Popup, OutsidePressClosesOnlyFromTheSecondFrameOn)
{
    // The press comes in the frame that opens the popup (N), at N + 1, or N + 2.
    for (int at : {0, 1, 2}) {
        UiHarness h;
        int64_t popup = 77;
        InteractResult under;
        bool opened = false;
        auto draw = [&] {
            box(h, "Field", {10, 200, 100, 30});
            under = box(h, "Under", {300, 300, 100, 30});
            if (!opened) {
                openPopup(*h.ctx, popup, {0, 0, 10, 10});
                opened = true;
            }
            if (isPopupOpen(*h.ctx, popup))
                setPopupRect(*h.ctx, {0, 0, 100, 100});
        };
        h.frame([&] {
            box(h, "Field", {10, 200, 100, 30});
            setFocus(*h.ctx, widgetId(*h.ctx, "Field"));
        });
        int64_t field = h.ctx->focusId;
        h.move(310, 310);  // a right press: it neither clicks nor moves the focus by itself
        if (at == 0)
            h.press(3);
        h.frame(draw);  // opens the popup at frame N
        h.release(3);
        h.frames(at - 1, draw);
        if (at > 0)
            h.press(3);
        h.frame(draw);
        h.release(3);
        h.frame(draw);
        if (at < 2) {
            EXPECT_TRUE(isPopupOpen(*h.ctx, popup)) << at;
        } else {
            EXPECT_FALSE(isPopupOpen(*h.ctx, popup));
            EXPECT_EQ(h.ctx->focusId, field);
        }
    }
    // A left press two frames on closes it, reaches no widget and keeps the focus.
    UiHarness h;
    InteractResult under;
    auto draw = [&] {
        box(h, "Field", {10, 200, 100, 30});
        under = box(h, "Under", {300, 300, 100, 30});
        if (isPopupOpen(*h.ctx, 9))
            setPopupRect(*h.ctx, {0, 0, 100, 100});
    };
    h.frame([&] {
        draw();
        setFocus(*h.ctx, widgetId(*h.ctx, "Field"));
        openPopup(*h.ctx, 9, {});
    });
    h.frame(draw);
    h.click(310, 310);
    h.frame(draw);
    EXPECT_FALSE(isPopupOpen(*h.ctx, 9));
    EXPECT_FALSE(under.pressed);
    EXPECT_FALSE(under.clicked);
    EXPECT_EQ(h.ctx->focusId, widgetId(*h.ctx, "Field"));
}

TEST(Popup, EscapeClosesPopupAndIsHiddenOtherwiseReachesWidgets)
{
    UiHarness h;
    bool escSeen = false;
    h.frame([&] { openPopup(*h.ctx, 5, {}); });
    h.key(keyEscape);
    h.frame([&] { escSeen = keyPressed(*h.ctx, keyEscape, 0, false); });
    EXPECT_FALSE(isPopupOpen(*h.ctx, 5));
    EXPECT_FALSE(escSeen);
    h.key(keyEscape);
    h.frame([&] { escSeen = keyPressed(*h.ctx, keyEscape, 0, false); });
    EXPECT_TRUE(escSeen);
}

TEST(HitTest, OverlaysShieldFromTheNextFrame)
{
    UiHarness h;
    InteractResult under;
    auto draw = [&] {
        under = box(h, "Under", {0, 0, 200, 200});
        Renderer& r = *h.ctx->renderer;
        int32_t previous = currentLayer(r);
        setLayer(r, previous + 1);
        addOverlayRect(*h.ctx, {50, 50, 100, 100});
        setLayer(r, previous);
    };
    h.move(60, 60);
    h.frame(draw);
    EXPECT_TRUE(under.hovered);  // first frame: the overlay is not known yet
    h.frame(draw);
    EXPECT_FALSE(under.hovered);
    h.move(10, 10);
    h.frame(draw);
    EXPECT_TRUE(under.hovered);
}

TEST(HitTest, ModalLayerBlocksLowerLayersEverywhere)
{
    UiHarness h;
    InteractResult low, high;
    h.move(5, 5);
    h.frame([&] {
        h.ctx->modalActive = true;
        h.ctx->modalLayer = 3;
        low = box(h, "Low", {0, 0, 50, 50});
        setLayer(*h.ctx->renderer, 3);
        high = box(h, "High", {0, 0, 50, 50});
    });
    EXPECT_FALSE(low.hovered);
    EXPECT_TRUE(high.hovered);
}

TEST(HitTest, WindowRectsBlockOtherWindowsUnlessHeld)
{
    UiHarness h;
    InteractResult page;
    auto draw = [&] {
        page = box(h, "Page", {0, 0, 300, 300});
        h.ctx->windowRects.push_back({{100, 100, 100, 100}, 0, 42});
    };
    h.move(150, 150);
    h.frames(2, draw);
    EXPECT_FALSE(page.hovered);
    h.move(10, 10);
    h.press();
    h.frame(draw);
    h.move(150, 150);  // dragged over the window while held
    h.frame(draw);
    EXPECT_TRUE(page.hovered);
    EXPECT_TRUE(page.held);
}

TEST(WheelScroll, InnerAreaTakesTheWheelAndTouchPanLatches)
{
    UiHarness h;
    double inner = 0, outer = 0;
    int64_t innerId = 1, outerId = 2;
    auto draw = [&] {
        inner = wheelScroll(*h.ctx, innerId, {50, 50, 100, 100}, 40, 8);
        outer = wheelScroll(*h.ctx, outerId, {0, 0, 400, 400}, 40, 8);
    };
    h.move(60, 60);
    h.wheel(1);
    h.wheel(1);  // two steps before one frame
    h.frame(draw);
    EXPECT_DOUBLE_EQ(inner, 80);
    EXPECT_DOUBLE_EQ(outer, 0);
    h.move(300, 300);
    h.wheel(-1);
    h.frame(draw);
    EXPECT_DOUBLE_EQ(inner, 0);
    EXPECT_DOUBLE_EQ(outer, -40);

    // A pan that begins over the inner area keeps scrolling it over the outer.
    h.touchScroll(60, 60, 5, true);
    h.frame(draw);
    EXPECT_DOUBLE_EQ(inner, 5);
    h.touchScroll(300, 300, 7, false);
    h.frame(draw);
    EXPECT_DOUBLE_EQ(inner, 7);
    EXPECT_DOUBLE_EQ(outer, 0);
    h.touchScroll(300, 300, 3, true);  // a new gesture over the outer area
    h.frame(draw);
    EXPECT_DOUBLE_EQ(outer, 3);
    EXPECT_DOUBLE_EQ(inner, 0);
}

TEST(PointerQuery, AnswersFromLastFrameRegionsAndOverlays)
{
    UiHarness h;
    ASSERT_TRUE(h.fake->hitTest);
    EXPECT_FALSE(h.fake->hitTest(60, 60));  // nothing drawn yet
    h.frame([&] {
        wheelScroll(*h.ctx, 1, {0, 0, 200, 200}, 40, 8);
        Renderer& r = *h.ctx->renderer;
        setLayer(r, 1);
        addOverlayRect(*h.ctx, {100, 100, 50, 50});
        h.ctx->scrollRegions.push_back({{0, 150, 50, 50}, 0, regionBlocksAtLayer});
        h.ctx->scrollRegions.push_back({{150, 0, 50, 50}, 0, 9});
        setLayer(r, 0);
    });
    EXPECT_TRUE(h.fake->hitTest(10, 10));
    EXPECT_FALSE(h.fake->hitTest(195, 10));   // the scrollbar strip is not part of it
    EXPECT_FALSE(h.fake->hitTest(120, 120));  // under a higher overlay
    EXPECT_FALSE(h.fake->hitTest(10, 160));   // a blocking region at its layer
    EXPECT_FALSE(h.fake->hitTest(160, 10));   // a region that blocks at every layer
    EXPECT_FALSE(h.fake->hitTest(300, 300));
}

TEST(PointerQuery, ClosureOutlivesNoContext)
{
    UiHarness h;
    ScrollHitTest query = h.fake->hitTest;
    std::weak_ptr<UiContext> weak = h.ctx;
    h.ctx.reset();
    EXPECT_TRUE(weak.expired());  // the window's closure held no strong reference
    EXPECT_FALSE(h.fake->hitTest);
    EXPECT_FALSE(query(10, 10));
}

TEST(FrameCycle, ActiveDroppedWhenNoButtonHeldAndRedrawWhileLive)
{
    UiHarness h;
    h.ctx->activeId = 99;  // a widget that stopped being drawn
    h.frame();
    EXPECT_EQ(h.ctx->activeId, 0);
    int32_t before = h.window->redrawCounter;
    h.frame([&] { h.ctx->keepAnimating = true; });
    EXPECT_EQ(h.window->redrawCounter, before + 1);
    h.frame([&] {
        h.ctx->keepAnimating = true;
        requestUiRedraw(*h.ctx);
    });
    EXPECT_EQ(h.window->redrawCounter, before + 2);
    h.frame([&] { h.ctx->cursorShape = curHand; });
    EXPECT_EQ(h.fake->cursors.back(), curHand);
}

TEST(FrameCycle, ScaledMetricsRound)
{
    UiHarness h(800, 600, 1.5);
    h.frame();
    EXPECT_EQ(smallFontSize(*h.ctx), 17);  // 16.5 rounds away from zero
    EXPECT_EQ(fontSize(*h.ctx), 20);       // 19.5
    EXPECT_EQ(rowHeight(*h.ctx), 48);
    EXPECT_EQ(spacing(*h.ctx), 12);
    EXPECT_DOUBLE_EQ(cornerRadius(*h.ctx), 13.5);
}

}  // namespace
}  // namespace qm
