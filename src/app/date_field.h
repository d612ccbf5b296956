#pragma once
// Entering a date: the user types YYYY-MM-DD in a box or picks a day from a
// month grid that a calendar button opens; when the box is not being edited
// it shows the date in a short readable form. A mistyped date is refused with an error toast
// and never stored: the bound date moves only when the text parses, when a
// day is picked, or when the field is emptied.
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
// Draws the month grid of field `name` while its popover is open and
// answers whether a day was chosen; both date fields call it each frame.
bool datePickerMonth(AppState& state, std::string_view name, Date& date, const Rect& anchor);

}  // namespace qm
