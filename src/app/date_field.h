#pragma once
// Date entry: a box where the date is typed as YYYY-MM-DD, a calendar button
// that opens a month grid in a popover, and, while the box is idle, the date
// in its short friendly form. A mistyped date is refused with an error toast
// and never stored; the bound date changes only on a valid date, a pick in
// the grid or a clear.
#include <string>
#include <string_view>

#include "app/app_state.h"

namespace qm {

// True in the frame the date changed.
bool dateField(AppState& state, std::string_view name, Date& date, const Rect& rect, bool disabled);
// For a date that may be absent. While hasDate is false, date still holds the
// caller's last date, which seeds the grid's month. True when the date or
// its presence changed.
bool optionalDateField(AppState& state, std::string_view name, Date& date, bool& hasDate, const Rect& rect,
    std::string_view placeholder, bool disabled);
// The grid popover of the field called name, while its popup is open; true
// when a day was picked. The fields call it every frame.
bool datePickerMonth(AppState& state, std::string_view name, Date& date, const Rect& anchor);

}  // namespace qm
