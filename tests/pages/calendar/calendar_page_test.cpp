// The calendar page's frame: which days the views show, where the pieces
// go, and the first-frame focus.
#include <gtest/gtest.h>

#include <tuple>

#include "app/navigation.h"
#include "model/dates.h"
#include "pages/calendar/calendar_page.h"
#include "pages/header_bar.h"
#include "pages/page_harness.h"
#include "ui/theme.h"

namespace qm {
namespace {

using testing::PageHarness;

// Day numbers count from a Thursday (1970-01-01), so a Sunday is one whose
// number is 3 more than a multiple of 7: an oracle beside the calendar code.
bool isSunday(Date d) { return ((int64_t(dayNumber(d)) - 3) % 7 + 7) % 7 == 0; }

TEST(CalendarPage, WeekRangesAcrossAYear)
{
    struct Case {
        Date day, first, last;
    };
    const Case cases[] = {
        {{2025, 3, 12}, {2025, 3, 9}, {2025, 3, 15}},
        {{2025, 3, 9}, {2025, 3, 9}, {2025, 3, 15}},
        {{2025, 3, 15}, {2025, 3, 9}, {2025, 3, 15}},
        {{2025, 3, 1}, {2025, 2, 23}, {2025, 3, 1}},
        {{2025, 12, 31}, {2025, 12, 28}, {2026, 1, 3}},
        {{2024, 2, 29}, {2024, 2, 25}, {2024, 3, 2}},
    };
    for (const Case& c : cases) {
        WeekRange w = weekRange(c.day);
        EXPECT_EQ(w.first, c.first) << formatIso(c.day);
        EXPECT_EQ(w.last, c.last) << formatIso(c.day);
    }
    for (Date d{2024, 12, 25}; dateLess(d, Date{2026, 1, 8}); d = addDays(d, 1)) {
        WeekRange w = weekRange(d);
        ASSERT_TRUE(isSunday(w.first)) << formatIso(d);
        ASSERT_EQ(dayNumber(w.last) - dayNumber(w.first), 6);
        ASSERT_TRUE(dateLessEq(w.first, d) && dateLessEq(d, w.last)) << formatIso(d);
    }
}

TEST(CalendarPage, RowsOfTheWeekAndMonthViews)
{
    PageHarness h;
    h->view = viewWeek;
    h->selectedDate = {2025, 12, 31};
    std::vector<std::vector<DayRow>> rows = calendarRows(*h);
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_EQ(rows[0].size(), 7u);
    EXPECT_EQ(rows[0].front().date, (Date{2025, 12, 28}));
    EXPECT_EQ(rows[0].back().date, (Date{2026, 1, 3}));

    struct Case {
        int32_t year, month;
        size_t weeks;
    };
    // February 2015 starts on a Sunday; August 2020 (31 days) and November
    // 2025 (30 days) start on a Saturday.
    h->view = viewMonth;
    for (const Case& c : {Case{2015, 2, 5}, Case{2020, 8, 6}, Case{2025, 11, 6}, Case{2025, 3, 6}}) {
        h->shownMonth = {c.year, c.month};
        rows = calendarRows(*h);
        EXPECT_EQ(rows.size(), c.weeks) << c.year << "-" << c.month;
        EXPECT_TRUE(isSunday(rows[0][0].date));
        EXPECT_TRUE(rows[0][6].inMonth);
    }
}

TEST(CalendarPage, StepsThroughShortMonthsKeepingAValidDay)
{
    PageHarness h;
    h->view = viewMonth;
    for (auto [year, last] : {std::pair{2025, 28}, std::pair{2024, 29}}) {
        selectDate(*h, year, 1, 31);
        shiftCalendar(*h, 1);
        EXPECT_EQ(h->selectedDate, (Date{year, 2, last}));
    }
}

TEST(CalendarPage, FirstFrameFocusesTodayOnlyWhenNoDayIsFocused)
{
    PageHarness h;
    h->focusedDayValid = false;
    h.frame();
    EXPECT_TRUE(h->focusedDayValid);
    EXPECT_EQ(h->focusedDay, testing::kPinnedToday);

    // Cleared while the page stays: not restored until the page is shown again.
    h->focusedDayValid = false;
    h.frames(2);
    EXPECT_FALSE(h->focusedDayValid);
    showPage(*h, pageCalendar);
    h.frame();
    EXPECT_TRUE(h->focusedDayValid);

    // A day already focused is kept.
    h->focusedDay = {2025, 4, 2};
    showPage(*h, pageCalendar);
    h.frame();
    EXPECT_EQ(h->focusedDay, (Date{2025, 4, 2}));
}

TEST(CalendarPage, PiecesTakeTheirBandsAndFullNamesAbove900Dp)
{
    // The toolbar takes a second row below about 950 dp; the bands follow it.
    for (double scale : {1.0, 2.0}) {
        PageHarness h;
        h->ui->scale = scale;
        for (auto [width, full, rows] : {std::tuple{900.0, false, 2}, std::tuple{901.0, true, 2},
                 std::tuple{700.0, false, 2}, std::tuple{1280.0, true, 1}}) {
            Rect content{0, 60 * scale, width * scale, 700 * scale};
            CalendarLayout at = calendarLayout(*h, content);
            double bar = (rows == 1 ? 58 : 58 + 46) * scale;
            SCOPED_TRACE(std::to_string(width) + " at " + std::to_string(scale));
            EXPECT_EQ(at.fullWeekdayNames, full);
            EXPECT_EQ(at.toolbar.y, content.y);
            EXPECT_EQ(at.toolbar.h, bar);
            EXPECT_EQ(at.summary.y, content.y + bar);
            EXPECT_EQ(at.view.y, content.y + bar + 58 * scale);
            EXPECT_EQ(at.view.h, content.h - bar - 58 * scale);
            EXPECT_EQ(at.weekdayHeader.h, 30 * scale);
            EXPECT_EQ(at.grid.y, content.y + bar + 88 * scale);
            EXPECT_EQ(at.grid.h, content.h - bar - 88 * scale);
        }
    }
    // A window too short for the bands gives empty rectangles, never negative ones.
    PageHarness h;
    CalendarLayout tiny = calendarLayout(*h, {0, 0, 1280, 80});
    EXPECT_EQ(tiny.summary.h, 22);
    EXPECT_EQ(tiny.view.h, 0);
    EXPECT_EQ(tiny.grid.h, 0);
}

TEST(CalendarPage, TheFrameDrawsTheBandsInTheirTints)
{
    PageHarness h;
    h.frame();
    double bar = desktopHeaderLayout(*h).height;
    CalendarLayout at = calendarLayout(*h, {0, bar, 1280, 820 - bar});
    const Theme& t = h->ui->theme;
    std::vector<testing::Shape> shapes = h.shapes();
    for (auto [rect, tint] : {std::pair{at.toolbar, 1}, std::pair{at.summary, 2}, std::pair{at.weekdayHeader, 3}}) {
        bool found = false;
        for (Color c : testing::fillsAt(shapes, rect))
            found = found || testing::sameColor(c, tintColor(t, tint));
        EXPECT_TRUE(found) << "tint " << tint;
    }
}

}  // namespace
}  // namespace qm
