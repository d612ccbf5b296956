// The guided tour over the desktop calendar: its steps and buttons, the
// keys it takes, where its card goes, and that the user's own records come
// through it untouched while the demo records come and go.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/budget_io.h"
#include "app/demo_data.h"
#include "app/navigation.h"
#include "model/store.h"
#include "model/transaction_edits.h"
#include "pages/page_harness.h"
#include "pages/tour.h"
#include "platform/keys.h"
#include "ui/hit_test.h"
#include "ui/input.h"
#include "ui/widget_id.h"

namespace qm {
namespace {

using testing::PageHarness;

size_t demoCount(const Budget& b)
{
    return size_t(
        std::count_if(b.transactions.begin(), b.transactions.end(), [](const Transaction& t) { return t.is_demo; }));
}

struct Tour {
    PageHarness h;
    int64_t mine = 0;
    explicit Tour(int32_t width = 1280, int32_t height = 820)
        : h(width, height)
    {
        Transaction t;
        t.description = "My own rent";
        t.amount = -900;
        t.start_date = {2025, 3, 3};
        t.account = "Checking";
        EditResult r = addTransaction(h.store(), t);
        mine = r.id;
        saveBudget(*h);
        h.frame();
    }
    // The demo records load on step 0, before the tour moves on.
    void start(int32_t step = 0)
    {
        startTour(*h);
        h.frame();
        h->tourStep = step;
        h.frames(2);
    }
    void press(const std::string& id)
    {
        h.clickWidget(id);
        h.frames(2);
    }
    LocalStorePtr disk() { return openStore(h.store().folder); }
};

TEST(GuidedTour, UserRecordsSurviveEveryWayOut)
{
    struct Case {
        const char* name;
        std::function<void(Tour&)> leave;
    };
    const Case cases[] = {
        {"finish",
            [](Tour& t) {
                t.h->tourStep = 10;
                t.h.frame();
                t.press("tour-next");
            }},
        {"skip", [](Tour& t) { t.press("tour-skip"); }},
        {"escape",
            [](Tour& t) {
                t.h.key(keyEscape);
                t.h.frames(2);
            }},
    };
    for (const Case& c : cases) {
        Tour t;
        t.start(3);
        ASSERT_GT(demoCount(t.h.budget()), 0u) << c.name;
        c.leave(t);
        EXPECT_EQ(t.h->tourStep, -1) << c.name;
        LocalStorePtr disk = t.disk();
        EXPECT_EQ(demoCount(*disk->budget), 0u) << c.name;
        EXPECT_TRUE(findTransaction(*disk->budget, t.mine).has_value()) << c.name;
        EXPECT_TRUE(disk->budget->user.has_completed_tour) << c.name;
    }
}

TEST(GuidedTour, DemoDataLoadsOnce)
{
    Tour t;
    t.start(0);
    size_t loaded = demoCount(t.h.budget());
    ASSERT_GT(loaded, 0u);
    EXPECT_EQ(t.h->focusedDay, testing::kPinnedToday);
    int64_t firstId = 0;
    for (const Transaction& tx : t.h.budget().transactions)
        if (tx.is_demo && !firstId)
            firstId = tx.id;
    // Next, then Back to step 0: the same records, not a fresh load.
    t.press("tour-next");
    ASSERT_EQ(t.h->tourStep, 1);
    t.press("tour-back");
    ASSERT_EQ(t.h->tourStep, 0);
    EXPECT_EQ(demoCount(t.h.budget()), loaded);
    EXPECT_TRUE(findTransaction(t.h.budget(), firstId).has_value());

    // A budget that already holds demo records gets none more.
    Tour u;
    loadDemoData(u.h.store(), 2025, 3, 12);
    size_t before = u.h.budget().transactions.size();
    u.start(0);
    EXPECT_EQ(u.h.budget().transactions.size(), before);
}

TEST(GuidedTour, ButtonsAndKeys)
{
    Tour t;
    t.start(0);
    EXPECT_EQ(t.h.widget("tour-back"), nullptr);
    EXPECT_NE(t.h.widget("tour-skip"), nullptr);
    EXPECT_TRUE(t.h.drewText("Next"));
    EXPECT_TRUE(t.h.drewText("STEP 1 OF 11"));
    t.h->view = viewMonth;
    setFocus(*t.h->ui, widgetId(*t.h->ui, "tb-search"));  // a field the page drew
    t.h.frame();
    t.h.key(keyEnter);
    t.h.frames(2);
    EXPECT_EQ(t.h->tourStep, 1);
    EXPECT_EQ(t.h->view, viewMonth);  // Enter is the tour's, not the day's
    t.h.key(keyRight);
    t.h.frames(2);
    EXPECT_EQ(t.h->tourStep, 2);
    EXPECT_NE(t.h.widget("tour-back"), nullptr);

    t.h->tourStep = 10;
    t.h.frame();
    EXPECT_TRUE(t.h.drewText("Finish"));
    EXPECT_FALSE(t.h.drewText("Next"));
    EXPECT_TRUE(t.h.drewText("Yours everywhere"));
}

TEST(GuidedTour, CardPlacement)
{
    Tour t(1000, 700);
    const double w = 420, lines = 3, h = lines * 19 + 126;
    struct Case {
        const char* name;
        std::optional<Rect> anchor;
        Rect want;
    };
    const Case cases[] = {
        {"no anchor", std::nullopt, {(1000 - w) / 2, (700 - h) / 2, w, h}},
        {"below the anchor", Rect{400, 100, 200, 40}, {500 - w / 2, 156, w, h}},
        {"near the bottom: above", Rect{400, 600, 200, 40}, {500 - w / 2, 600 - h - 16, w, h}},
        {"near the right edge", Rect{960, 100, 30, 30}, {1000 - w - 12, 146, w, h}},
        {"near the left edge", Rect{0, 100, 30, 30}, {12, 146, w, h}},
    };
    for (const Case& c : cases) {
        TourCardLayout at = tourCardLayout(*t.h, c.anchor, size_t(lines));
        EXPECT_EQ(at.card, c.want) << c.name;
        EXPECT_EQ(at.hole.has_value(), c.anchor.has_value()) << c.name;
    }
    // Each wrapped line adds 19 dp.
    EXPECT_EQ(tourCardLayout(*t.h, std::nullopt, 5).card.h - tourCardLayout(*t.h, std::nullopt, 4).card.h, 19);

    // An anchor the page did not draw (the day view hides the tiles) gives
    // the centred card.
    t.start(2);
    t.h->view = viewDay;
    t.h.frames(2);
    EXPECT_EQ(t.h->tourAnchors.count("tile"), 0u);
    Rect skip = t.h.rectOf("tour-skip");
    EXPECT_NEAR(skip.y + 46, (820 + tourCardLayout(*t.h, std::nullopt, 0).card.h) / 2, 80);
}

TEST(GuidedTour, TheDrawnCardGrowsWithItsLines)
{
    // Step 0 has no spotlight: its card is centred, so its height shows in
    // where the buttons sit.
    Tour t;
    t.start(0);
    size_t lines = 0;
    for (const testing::DrawnText& d : t.h.texts)
        lines += d.size == 13 && d.rect.h == 19;
    ASSERT_GE(lines, 2u);
    double height = 2 * (t.h.rectOf("tour-skip").y + 46) - 820;
    EXPECT_NEAR(height, 19.0 * double(lines) + 126, 1);
    EXPECT_EQ(height, tourCardLayout(*t.h, std::nullopt, lines).card.h);
}

TEST(GuidedTour, NarrowWindowEndsIt)
{
    Tour t;
    t.start(4);
    ASSERT_GT(demoCount(t.h.budget()), 0u);
    t.h.resize(390, 844);
    t.h.app.env.set("QUENMRK_PHONE", "1");
    t.h.frames(2);
    EXPECT_EQ(t.h->tourStep, -1);
    EXPECT_EQ(demoCount(t.h.budget()), 0u);
    std::vector<std::string> toasts = t.h.toasts();
    EXPECT_NE(
        std::find(toasts.begin(), toasts.end(), "The tour is for wider screens; the Help page explains everything."),
        toasts.end());
    EXPECT_TRUE(t.disk()->budget->user.has_completed_tour);
}

TEST(GuidedTour, PausesOffTheCalendar)
{
    Tour t;
    t.start(5);
    showPage(*t.h, pageSearch);
    t.h.frames(2);
    EXPECT_EQ(t.h->tourStep, 5);
    EXPECT_EQ(t.h.widget("tour-next"), nullptr);
    showPage(*t.h, pageCalendar);
    t.h.frames(2);
    EXPECT_NE(t.h.widget("tour-next"), nullptr);
}

}  // namespace
}  // namespace qm
