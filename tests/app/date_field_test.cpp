// Typing, picking and clearing dates, and the month grid's look.
#include "app/date_field.h"

#include "platform/keys.h"
#include "ui/hit_test.h"
#include "ui/theme.h"
#include "ui/widget_id.h"

#include "kit_harness.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using testing::KitHarness;
using testing::Shape;

const Rect kField{40, 40, 240, 32};

struct DateRig {
    KitHarness k{800, 600};
    Date value = date(2024, 12, 25);
    bool has = true;
    bool optional = false;
    std::vector<bool> results;

    void frame()
    {
        k.frame([&] {
            bool r = optional ? optionalDateField(k.state, "d", value, has, kField, "No end", false)
                              : dateField(k.state, "d", value, kField, false);
            results.push_back(r);
        });
    }
    // Focus the text box, replace its text and end with Enter (or by leaving).
    void typeInto(const std::string& text, bool enter)
    {
        k.h.click(kField.x + 10, kField.y + 10);
        frame();
        k.h.key(keyA, modControl);
        k.h.key(keyBackspace);
        k.h.type(text);
        frame();
        if (enter)
            k.h.key(keyEnter);
        else
            k.h.click(600, 500);
        results.clear();
        frame();
        frame();
    }
    bool changedOnce() const { return results == std::vector<bool>{true, false}; }
};

TEST(DateField, TypedDates)
{
    struct Case {
        const char* text;
        bool enter;
        Date want;
        bool changed;
        bool error;
    } cases[] = {
        {" 2025-03-07 ", true, date(2025, 3, 7), true, false},
        {"2025-03-07", false, date(2025, 3, 7), true, false},
        {"2025-3-7", true, date(2024, 12, 25), false, true},
        {"2025-02-30", false, date(2024, 12, 25), false, true},
        {"2024-12-25", true, date(2024, 12, 25), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        DateRig rig;
        rig.frame();
        rig.typeInto(c.text, c.enter);
        EXPECT_TRUE(sameDate(rig.value, c.want)) << formatIso(rig.value);
        EXPECT_EQ(rig.changedOnce(), c.changed);
        if (!c.changed) {
            EXPECT_EQ(rig.results, (std::vector<bool>{false, false}));
        }
        EXPECT_EQ(rig.k.errors(),
            c.error ? std::vector<std::string>{"Dates are written as YYYY-MM-DD"} : std::vector<std::string>{});
    }
}

TEST(DateField, EnterOnUnchangedTextReturnsFalse)
{
    DateRig rig;
    rig.frame();
    rig.k.h.click(kField.x + 10, kField.y + 10);
    rig.frame();
    rig.k.h.key(keyEnter);
    rig.results.clear();
    rig.frame();
    EXPECT_EQ(rig.results, std::vector<bool>{false});
    EXPECT_TRUE(sameDate(rig.value, date(2024, 12, 25)));
    EXPECT_TRUE(rig.k.errors().empty());
}

TEST(OptionalDateField, ClearingTheTextThenAgain)
{
    DateRig rig;
    rig.optional = true;
    rig.frame();
    rig.typeInto("", false);
    EXPECT_FALSE(rig.has);
    EXPECT_TRUE(rig.changedOnce());
    rig.typeInto("  ", false);
    EXPECT_FALSE(rig.has);
    EXPECT_EQ(rig.results, (std::vector<bool>{false, false}));
    // A date typed into the empty field comes back present.
    rig.typeInto("2026-01-31", true);
    EXPECT_TRUE(rig.has);
    EXPECT_TRUE(sameDate(rig.value, date(2026, 1, 31)));
    EXPECT_TRUE(rig.changedOnce());
    EXPECT_TRUE(rig.k.errors().empty());
}

TEST(OptionalDateField, ClearButtonMakesTheDateAbsent)
{
    DateRig rig;
    rig.optional = true;
    rig.k.h.recordWidgets();
    rig.frame();
    Rect clear = rig.k.h.rectOf("dateclrd");
    EXPECT_NEAR(clear.x, kField.x + kField.w - 36 - 28 + 2, 1e-9);
    EXPECT_EQ(clear.w, 26);
    rig.k.h.click(clear.x + 5, clear.y + 5);
    rig.results.clear();
    rig.frame();
    rig.frame();
    EXPECT_FALSE(rig.has);
    EXPECT_TRUE(rig.changedOnce());
    EXPECT_EQ(rig.k.h.widget("dateclrd"), nullptr);  // gone with the date
}

struct GridRig : DateRig {
    GridRig(Date d)
    {
        value = d;
        k.h.recordWidgets();
        frame();
        Rect btn = k.h.rectOf("datebtnd");
        k.h.click(btn.x + 5, btn.y + 5);
        frame();
        frame();
    }
    std::vector<WidgetRecord> cells() { return testing::recordsStarting(k.h, "cpdd#"); }
};

TEST(DatePicker, WeeksOfTheGrid)
{
    struct Case {
        Date d;
        size_t cells;
        Date first;
    } cases[] = {
        {date(2025, 3, 10), 42, date(2025, 2, 23)},  // 1st on a Saturday, 31 days
        {date(2026, 2, 14), 35, date(2026, 2, 1)},   // 1st on a Sunday, 28 days
        {date(2025, 6, 1), 35, date(2025, 6, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(formatIso(c.d));
        GridRig rig(c.d);
        std::vector<WidgetRecord> cells = rig.cells();
        ASSERT_EQ(cells.size(), c.cells);
        EXPECT_EQ(cells[0].label, "cpdd#" + std::to_string(dayNumber(c.first)));
        EXPECT_GT(cells[0].layer, 0);
    }
}

TEST(DatePicker, ArrowsMoveTheMonthAndNeighbouringDaysArePicked)
{
    GridRig rig(date(2025, 3, 10));
    Rect next = rig.k.h.rectOf("cp-nextd");
    rig.k.h.click(next.x + 5, next.y + 5);
    rig.frame();
    rig.frame();
    std::vector<WidgetRecord> cells = rig.cells();
    ASSERT_EQ(cells.size(), 35u);  // April 2025 starts on a Tuesday
    EXPECT_EQ(cells[0].label, "cpdd#" + std::to_string(dayNumber(date(2025, 3, 30))));
    Rect prev = rig.k.h.rectOf("cp-prevd");
    for (int i = 0; i < 2; ++i) {
        rig.k.h.click(prev.x + 5, prev.y + 5);
        rig.frame();
    }
    rig.frame();
    cells = rig.cells();
    ASSERT_EQ(cells.size(), 35u);  // February 2025
    EXPECT_EQ(cells[0].label, "cpdd#" + std::to_string(dayNumber(date(2025, 1, 26))));

    // 28 January, a day of the neighbouring month, is drawn in textTertiary and can be picked.
    Rect jan28 = rig.k.h.rectOf("cpdd#" + std::to_string(dayNumber(date(2025, 1, 28))));
    std::vector<Shape> glyphs = testing::glyphsIn(rig.k.h.shapes(), jan28);
    ASSERT_EQ(glyphs.size(), 2u);
    for (const Shape& g : glyphs)
        EXPECT_TRUE(testing::sameColor(g.color, rig.k.h.ctx->theme.base[slotTextTertiary]));
    rig.k.h.click(jan28.x + jan28.w / 2, jan28.y + jan28.h / 2);
    rig.results.clear();
    rig.frame();
    rig.frame();
    EXPECT_TRUE(rig.changedOnce());
    EXPECT_TRUE(sameDate(rig.value, date(2025, 1, 28)));
    EXPECT_FALSE(isPopupOpen(*rig.k.h.ctx, widgetId(*rig.k.h.ctx, "calpopd")));
}

TEST(DatePicker, ChosenTodayIsAFilledCircleWithAWhiteSemiboldNumber)
{
    for (bool darkTheme : {false, true}) {
        GridRig rig(date(2025, 3, 12));  // the harness's today
        if (darkTheme) {
            rig.k.dark();
            rig.frame();
        }
        const Theme& t = rig.k.h.ctx->theme;
        Rect cell = rig.k.h.rectOf("cpdd#" + std::to_string(dayNumber(date(2025, 3, 12))));
        std::vector<Shape> shapes = rig.k.h.shapes();
        int circles = 0;
        for (const Shape& s : shapes)
            if (s.mode != modeText && testing::inside(cell, s.bounds, 2) && std::abs(s.rect.w - 0.84 * 32) < 0.01) {
                ++circles;
                EXPECT_TRUE(testing::sameColor(s.color, t.base[slotAccent]));
                EXPECT_NE(s.mode, modeRing);
            }
        EXPECT_EQ(circles, 1);
        std::vector<Shape> glyphs = testing::glyphsIn(shapes, cell);
        ASSERT_EQ(glyphs.size(), 2u);
        for (const Shape& g : glyphs)
            EXPECT_TRUE(testing::sameColor(g.color, colorWhite));
        const FontSet& f = testing::kitFonts();
        EXPECT_EQ(testing::glyphTextureIn(*rig.k.h.renderer, cell), f.sans600->texture->name);
        // Another day of the month: 400 in text.
        Rect other = rig.k.h.rectOf("cpdd#" + std::to_string(dayNumber(date(2025, 3, 13))));
        EXPECT_EQ(testing::glyphTextureIn(*rig.k.h.renderer, other), f.sans400->texture->name);
    }
}

TEST(DatePicker, TodayNotChosenIsARing)
{
    GridRig rig(date(2025, 3, 20));
    Rect cell = rig.k.h.rectOf("cpdd#" + std::to_string(dayNumber(date(2025, 3, 12))));
    int rings = 0;
    for (const Shape& s : rig.k.h.shapes())
        if (s.mode == modeRing && testing::inside(cell, s.bounds, 2))
            ++rings;
    EXPECT_EQ(rings, 1);
    EXPECT_EQ(testing::glyphTextureIn(*rig.k.h.renderer, cell), testing::kitFonts().sans600->texture->name);
}

TEST(DatePicker, CalendarButtonTogglesAndEscapeCloses)
{
    GridRig rig(date(2025, 3, 10));
    int64_t popup = widgetId(*rig.k.h.ctx, "calpopd");
    EXPECT_TRUE(isPopupOpen(*rig.k.h.ctx, popup));
    rig.k.h.key(keyEscape);
    rig.frame();
    EXPECT_FALSE(isPopupOpen(*rig.k.h.ctx, popup));
    EXPECT_TRUE(sameDate(rig.value, date(2025, 3, 10)));
}

}  // namespace
}  // namespace qm
