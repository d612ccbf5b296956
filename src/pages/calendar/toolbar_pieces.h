#pragma once
// Small pieces both calendar toolbars share: a square icon button with an
// "on" look, the account switcher popover that sets the calendar's account
// filter, the month picker popover, and stepping the calendar one period.
// The popovers are toolkit popups ("accountpop", "monthpicker") that the
// caller opens; drawing one returns at once while its popup is closed.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/app_state.h"

namespace qm {

// Opens the popup of that name at the anchor, or closes it when it is open.
void togglePopup(AppState& state, std::string_view name, const Rect& anchor);

// True when clicked this frame.
bool drawIconButton(AppState& state, std::string_view id, std::string_view icon, const Rect& rect, bool active);

void drawAccountSwitcher(AppState& state, const Rect& anchor);
// "0 accounts", "1 account", "3 accounts".
std::string accountCountText(size_t count);

// Opens "monthpicker" at the anchor, starting at the shown month's year.
void openMonthPicker(AppState& state, const Rect& anchor);
void drawMonthPicker(AppState& state, const Rect& anchor);
// The year the open picker shows.
int32_t monthPickerYear(AppState& state);

// One day or one week from the reference day in the day and week views
// (the shown month follows the day); one month from the first of the
// shown month in the month view.
void stepCalendar(AppState& state, Date reference, uint8_t view, int32_t n);

}  // namespace qm
