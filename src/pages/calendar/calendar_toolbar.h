#pragma once
// The desktop calendar's two bands: the toolbar (account switcher, period
// navigation, view switch, search field with its popover of hits, Add) and
// the month summary strip. Both draw from the calendar state each frame;
// the only thing kept is the popover's hits, which a large budget makes
// dear to find again every frame.
#include <cstdint>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "model/reports.h"

namespace qm {

// The period title: "March 2025", "Wednesday, March 12, 2025" or a week.
std::string calendarTitle(const AppState& state);
// The Sunday-to-Saturday week that holds the day: "Mar 9 – 15, 2025",
// "Dec 29 – Jan 4, 2025" (the year of the last day).
std::string weekTitle(Date day);

// Where the toolbar puts its controls, in pixels. A window too narrow for
// one row moves the view switch and the search field to a second row;
// texts that still do not fit take a shorter form or an ellipsis.
struct ToolbarLayout {
    double height = 0;  // of the whole band: one row or two
    bool twoRows = false;
    Rect switcher;
    Rect add;
    Rect views;
    Rect search;
    Rect prev;
    Rect title;
    Rect next;
    Rect today;
    std::string titleText;      // as drawn: perhaps shortened to fit
    std::string switcherLabel;  // as drawn: perhaps elided
    std::string switcherFigure;
    double switcherAmount = 0;
};
// rect.h is not read: the layout says how high the band is.
ToolbarLayout toolbarLayout(const AppState& state, const Rect& rect);
// The search field's hint, cut to the room the field keeps for text.
inline constexpr const char* kSearchPlaceholder = "Search transactions";

// The popover's hits: the first rows and how many there are, kept while
// the text, the filter, the shown month, today and the budget stay the same.
inline constexpr size_t kPopoverRows = 8;
struct SearchPopoverCache {
    const Budget* budget = nullptr;
    int32_t revision = -1;
    std::string text;
    int64_t accountId = 0;
    YearMonth month;
    Date today;
    std::vector<SearchHit> rows;  // at most kPopoverRows, nearest today first
    size_t count = 0;
    int64_t runs = 0;
};
const SearchPopoverCache& searchPopoverHits(AppState& state, const std::string& text);
// "1 match", "23 matches", "8 of 23 matches · see Search for all".
std::string searchPopoverFooter(size_t count);
// The text the popover searches: what is being typed in the field, else
// the toolbar's search text.
std::string searchPopoverText(AppState& state);

void drawSearchPopover(AppState& state, const Rect& anchor);

// The spending bar's fill: past 0.9 of the planned spending it warns.
Color spendingBarColor(const Theme& theme, double ratio);

}  // namespace qm
