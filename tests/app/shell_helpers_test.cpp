// Navigation, text helpers, colours, demo data and the splash.
#include <gtest/gtest.h>

#include <cmath>

#include "app/app_harness.h"
#include "app/app_text.h"
#include "app/app_text_internal.h"
#include "app/demo_data.h"
#include "app/frame.h"
#include "app/navigation.h"
#include "app/splash.h"
#include "app/theme_apply.h"
#include "core/utf8.h"
#include "model/builtins.h"
#include "platform/render/renderer.h"
#include "ui/text_ink_internal.h"
#include "ui/theme.h"

namespace qm {
namespace {

using testing::AppHarness;

TEST(Navigation, MonthsWeeksAndDaysClampToRealLengths)
{
    AppHarness h;
    AppState& s = h.start();
    struct Case {
        uint8_t view;
        Date from;
        int32_t n;
        Date selected;
        YearMonth shown;
    };
    const Case cases[] = {
        {viewMonth, date(2025, 1, 31), 1, date(2025, 2, 28), {2025, 2}},
        {viewMonth, date(2024, 1, 31), 1, date(2024, 2, 29), {2024, 2}},
        {viewMonth, date(2026, 1, 15), -1, date(2025, 12, 15), {2025, 12}},
        {viewMonth, date(2025, 3, 31), 13, date(2026, 4, 30), {2026, 4}},
        {viewWeek, date(2025, 12, 29), 1, date(2026, 1, 5), {2026, 1}},
        {viewDay, date(2025, 3, 1), -1, date(2025, 2, 28), {2025, 2}},
    };
    for (const Case& c : cases) {
        s.view = c.view;
        selectDate(s, c.from.year, c.from.month, c.from.day);
        shiftCalendar(s, c.n);
        EXPECT_TRUE(sameDate(s.selectedDate, c.selected)) << formatIso(c.from) << " " << formatIso(s.selectedDate);
        EXPECT_EQ(s.shownMonth, c.shown);
    }
    selectDate(s, 2025, 1, 31);
    showMonth(s, 2025, 2);
    EXPECT_TRUE(sameDate(s.selectedDate, date(2025, 2, 28)));
    selectDate(s, 2024, 1, 31);
    showMonth(s, 2024, 2);
    EXPECT_TRUE(sameDate(s.selectedDate, date(2024, 2, 29)));
    EXPECT_EQ(monthTitle(s), "February 2024");
}

TEST(Navigation, PagesAnchorsAndFilters)
{
    AppHarness h;
    AppState& s = h.start();
    registerTourAnchor(s, "x", {1, 2, 3, 4});
    EXPECT_TRUE(s.tourAnchors.empty());
    startTour(s);
    registerTourAnchor(s, "x", {1, 2, 3, 4});
    registerTourAnchor(s, "x", {5, 6, 7, 8});
    EXPECT_EQ(s.tourAnchors.at("x"), (Rect{5, 6, 7, 8}));

    showPage(s, pageSearch);
    EXPECT_TRUE(isPageActive(s, pageSearch));
    h.frame();
    EXPECT_FALSE(isPageActive(s, pageSearch));
    showPage(s, pageCalendar);
    showPage(s, pageSearch);
    EXPECT_TRUE(isPageActive(s, pageSearch));

    EXPECT_EQ(calendarViewName(viewWeek), "week");
    EXPECT_EQ(pageKindName(pageImport), "Import");
    s.store->budget->accounts.front().name = "";
    EXPECT_EQ(accountFilterLabel(s, 0), "All accounts");
    EXPECT_EQ(accountFilterLabel(s, 987654), "All accounts");
    EXPECT_EQ(accountFilterLabel(s, s.store->budget->accounts.front().id), "");
    s.store->budget->user.selected_account_id = 987654;
    EXPECT_EQ(selectedAccountId(s), 0);
}

TEST(TextHelpers, ElisionCutsBetweenCharactersWithFewMeasurements)
{
    // Every character is 10 wide, the ellipsis too.
    int measured = 0;
    auto measure = [&](std::string_view s) {
        ++measured;
        return 10.0 * double(utf8Length(s));
    };
    struct Case {
        std::string text;
        double width;
        std::string out;
    };
    const std::string e = "\xE2\x80\xA6";
    const Case cases[] = {
        {"hello", 50, "hello"},
        {"hello", 49, "hel" + e},
        {"h", 5, ""},
        {"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 30, "\xC3\xA9\xC3\xA9" + e},
        {"a\xF0\x9F\x98\x80"
         "bc",
            25, "a" + e},
        {"ab", 10, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(elideWith(c.text, c.width, measure), c.out) << c.text << " " << c.width;

    for (size_t n : {8u, 100u, 1000u, 5000u}) {
        std::string text;
        for (size_t i = 0; i < n; ++i)
            text += i % 3 ? "x" : "\xC3\xA9";
        measured = 0;
        std::string out = elideWith(text, double(n) * 5, measure);
        EXPECT_TRUE(isValidUtf8(out));
        EXPECT_EQ(utf8Length(out), n / 2);
        EXPECT_LE(measured, int(std::ceil(std::log2(double(n)))) + 2) << n;
    }
}

TEST(TextHelpers, WeightsAndSlots)
{
    AppHarness h;
    AppState& s = h.start();
    EXPECT_EQ(atlasForWeight(s, 550), s.fonts.sans400);
    EXPECT_EQ(atlasForWeight(s, 400), s.fonts.sans400);
    EXPECT_EQ(atlasForWeight(s, 500), s.fonts.sans500);
    EXPECT_EQ(atlasForWeight(s, 600), s.fonts.sans600);
    EXPECT_EQ(atlasForWeight(s, 700), s.fonts.sans700);
    EXPECT_EQ(atlasForSlot(s, 0), s.fonts.mono0);
    EXPECT_EQ(atlasForSlot(s, 1), s.fonts.mono1);
    EXPECT_GT(measureText(s, "Budget", 13, 700), measureText(s, "Budget", 13, 400));
    EXPECT_EQ(elideText(s, "Budget", 1000, 13, 400), "Budget");
}

// A narrow window gives a text a box narrower than the text: the text is
// elided to the box instead of running over what lies beside it.
TEST(TextHelpers, ATextWiderThanItsBoxIsElidedToIt)
{
    AppHarness h;
    AppState& s = h.start();
    const std::string text = "Projected end balance";
    const double size = 13, full = measureText(s, text, size, 600);
    struct Case {
        double width;  // of the box; 0 is a box without width
        double align;
        bool elided;
    };
    const Case cases[] = {{full + 1, 0, false}, {full + 1, 1, false}, {0, 0, false}, {full / 2, 0, true},
        {full / 2, 0.5, true}, {full / 2, 1, true}, {full - 4, 0, true}};
    std::string drawn;
    Rect ink;
    setTextDrawLog([&](std::string_view t, const Rect&, double, Color) { drawn = t; });
    setTextInkLog([&](std::string_view, const Rect&, const Rect& glyphs, const Rect&) { ink = glyphs; });
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << " " << c.align);
        Rect box{100, 40, c.width, 20};
        beginFrame(*s.ui, 1.0 / 60);
        drawText(s, text, box, size, s.ui->theme.base[slotText], c.align, 600);
        endFrame(*s.ui);
        if (!c.elided) {
            EXPECT_EQ(drawn, text);
            continue;
        }
        EXPECT_NE(drawn, text);
        EXPECT_TRUE(drawn.ends_with("\u2026")) << drawn;
        EXPECT_EQ(text.compare(0, drawn.size() - 3, drawn, 0, drawn.size() - 3), 0) << drawn;
        EXPECT_GE(ink.x, box.x - 0.01);
        EXPECT_LE(ink.x + ink.w, box.x + box.w + 0.01);
    }
    setTextInkLog({});
    setTextDrawLog({});
}

TEST(TextHelpers, Colours)
{
    AppHarness h;
    AppState& s = h.start();
    const Theme& t = s.ui->theme;
    EXPECT_EQ(amountColor(s, -0.003, 0), t.base[slotText]);
    EXPECT_EQ(amountColor(s, -0.005, 0), t.base[slotDanger]);
    EXPECT_EQ(amountColor(s, 50, 100), t.base[slotWarning]);
    EXPECT_EQ(amountColor(s, 100, 100), t.base[slotText]);

    const Color fallback{0.1f, 0.2f, 0.3f, 0.4f};
    EXPECT_EQ(parseHexColor("#ABCDEF", fallback), hexColor(0xABCDEF, 1));
    EXPECT_EQ(parseHexColor("#abcdef", fallback), hexColor(0xABCDEF, 1));
    for (const char* bad : {"abcdef1", "#abc", "#-12345", "# 12345", "#0x1234", "#abcdeg", "", "#abcdef "})
        EXPECT_EQ(parseHexColor(bad, fallback), fallback) << bad;

    EXPECT_EQ(categoryColor(s, ""), t.base[slotTextSecondary]);
    Category mine;
    mine.id = 900;
    mine.name = "Mine";
    mine.color = "#378450";
    Category near = mine;
    near.id = 901;
    near.name = "Near";
    near.color = "#378451";
    s.store->budget->categories.push_back(mine);
    s.store->budget->categories.push_back(near);
    EXPECT_EQ(categoryColor(s, "Mine"), hexColor(0x378450, 1));
    s.settings.themeMode = themeDark;
    applyTheme(s, true);
    EXPECT_EQ(categoryColor(s, "Mine"), s.ui->theme.base[slotChart0]);
    EXPECT_NE(s.ui->theme.base[slotChart0], hexColor(0x378450, 1));
    EXPECT_EQ(categoryColor(s, "Near"), hexColor(0x378451, 1));
}

TEST(DemoData, AnchorsCountsAndReplacement)
{
    struct Case {
        Date reference;
        size_t anchors;
    };
    for (const Case& c : {Case{date(2025, 3, 1), 1}, Case{date(2025, 3, 17), 2}, Case{date(2026, 2, 28), 2}}) {
        LocalStore store;
        store.budget = newBudget();
        seedStore(store);
        size_t ops = store.journal.size();
        size_t transactions = store.budget->transactions.size();
        loadDemoData(store, c.reference.year, c.reference.month, c.reference.day);
        const Budget& b = *store.budget;
        ASSERT_EQ(b.running_total_adjustments.size(), c.anchors);
        EXPECT_TRUE(sameDate(b.running_total_adjustments[0].date, firstOfMonth(c.reference.year, c.reference.month)));
        EXPECT_DOUBLE_EQ(b.running_total_adjustments[0].amount, 2500.00);
        if (c.anchors == 2) {
            EXPECT_TRUE(sameDate(b.running_total_adjustments[1].date, c.reference));
            EXPECT_DOUBLE_EQ(b.running_total_adjustments[1].amount, 1985.40);
        }
        EXPECT_EQ(b.transactions.size() - transactions, 9u);
        EXPECT_EQ(b.transaction_adjustments.size(), 2u);
        EXPECT_EQ(store.journal.size() - ops, c.anchors + 9 + 2);
        const int32_t days[] = {1, 1, 10, 15, 6, 4, 22};
        for (size_t i = 0; i < 7; ++i)
            EXPECT_EQ(b.transactions[transactions + i].start_date.day, days[i]);
        EXPECT_TRUE(sameDate(b.transactions[transactions + 7].start_date, c.reference));
        for (const Transaction& t : b.transactions) {
            if (t.description == "Lunch" || t.description == "Coffee Shop") {
                EXPECT_TRUE(t.is_demo && !t.is_recurring && t.recurring_period.empty());
            }
        }
        const TransactionAdjustment& coffee = b.transaction_adjustments[0];
        EXPECT_DOUBLE_EQ(coffee.amount, -62.75);
        EXPECT_TRUE(coffee.has_amount && coffee.is_paid && coffee.is_demo);
        EXPECT_DOUBLE_EQ(b.transaction_adjustments[1].amount, -15.40);
        EXPECT_EQ(b.transactions[transactions].recurring_period, "nth_1_months");
        EXPECT_TRUE(b.transactions[transactions].pay_on_business_day && b.transactions[transactions].pay_early);
        EXPECT_TRUE(store.dirty);

        loadDemoData(store, c.reference.year, c.reference.month, c.reference.day);
        EXPECT_EQ(store.budget->transactions.size() - transactions, 9u);
        EXPECT_EQ(store.budget->transaction_adjustments.size(), 2u);
        EXPECT_EQ(store.budget->running_total_adjustments.size(), c.anchors);
    }
}

TEST(Splash, Decision)
{
    struct Case {
        std::map<std::string, std::string> env;
        bool shows;
    };
    const Case cases[] = {
        {{}, true},
        {{{"QUENMRK_SPLASH", "0"}}, false},
        {{{"QUENMRK_SPLASH", "2"}}, true},
        {{{"QUENMRK_SHOT", "/tmp/x.png"}}, false},
        {{{"QUENMRK_EXPORT", "pdf:/tmp/a"}}, false},
        {{{"QUENMRK_TEST_FRAMES", "3"}}, false},
        {{{"QUENMRK_TEST_AUTH", "1"}}, false},
        {{{"QUENMRK_TEST_CLICK", "1,2"}}, false},
        {{{"QUENMRK_TEST_WHEEL", "3"}}, false},
        {{{"QUENMRK_TEST_CLICK", "1,2"}, {"QUENMRK_SPLASH", "1"}}, true},
        {{{"QUENMRK_SHOT", "/tmp/x.png"}, {"QUENMRK_SPLASH", "1"}}, true},
    };
    for (const Case& c : cases) {
        auto env = [&](const char* name) -> std::optional<std::string> {
            auto it = c.env.find(name);
            return it == c.env.end() ? std::nullopt : std::optional<std::string>(it->second);
        };
        EXPECT_EQ(splashWanted(env), c.shows) << (c.env.empty() ? "" : c.env.begin()->first);
    }
}

TEST(Splash, EndsAfterItsTimeHoweverSlowTheFrames)
{
    AppHarness h;
    AppState& s = h.start();
    s.windowIcon.reset();
    s.splashActive = true;
    s.splashStart = -1;
    h.frame(0.5);
    EXPECT_TRUE(s.splashActive);
    EXPECT_TRUE(s.ui->layoutChanged);
    // Without the icon the logo is an accent square of radius 22 dp on layer 30.
    bool accentLogo = false;
    const Renderer& r = *s.renderer;
    EXPECT_GE(r.layers.size(), 31u);
    for (int i = 0; i < 4; ++i)
        h.frame(0.5);
    EXPECT_TRUE(s.splashActive);  // 2.0 s after the first frame
    h.frame(0.5);
    EXPECT_FALSE(s.splashActive);
    EXPECT_TRUE(s.redrawRequested);
    (void)accentLogo;
    EXPECT_DOUBLE_EQ(easeOutQuart(0.5), 1 - std::pow(0.5, 4));
    EXPECT_DOUBLE_EQ(easeOutQuart(2), 1);
}

}  // namespace
}  // namespace qm
