// Moving between pages: the page to return to, the restarted frame count,
// the popup that closes and the redraw.
#include <gtest/gtest.h>

#include "app/app_harness.h"
#include "app/navigation.h"
#include "ui/hit_test.h"

namespace qm {
namespace {

using testing::AppHarness;

TEST(SwitchPage, RemembersThePageLeftExceptTheAsides)
{
    AppHarness h;
    AppState& s = h.start();
    struct Step {
        uint8_t to;
        uint8_t previous;  // afterwards
    };
    // Help and Account are asides: leaving them never makes them the page
    // to return to.
    const Step steps[] = {
        {pageSearch, pageCalendar},
        {pageHelp, pageSearch},
        {pageCalendar, pageSearch},
        {pageAccount, pageCalendar},
        {pageHelp, pageCalendar},
        {pageReports, pageCalendar},
        {pageReports, pageCalendar},  // the page shown: nothing changes
        {pageWelcome, pageReports},
        {pageCalendar, pageWelcome},
    };
    showPage(s, pageCalendar);
    for (const Step& step : steps) {
        h.frame();
        int64_t popup = 77;
        openPopup(*s.ui, popup, {0, 0, 10, 10});
        s.redrawRequested = false;
        bool moves = s.page != step.to;
        switchPage(s, step.to);
        EXPECT_EQ(s.page, step.to);
        EXPECT_EQ(s.previousPage, step.previous) << pageKindName(step.to);
        EXPECT_EQ(isPopupOpen(*s.ui, popup), !moves) << pageKindName(step.to);
        EXPECT_EQ(s.framesOnPage == 0, moves) << pageKindName(step.to);
        EXPECT_EQ(s.redrawRequested, moves);
    }
}

}  // namespace
}  // namespace qm
