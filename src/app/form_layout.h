#pragma once
// The house style of the program's forms and dialogs on top of the layout
// stack: a label line above a field, rows of equal columns that stack on the
// compact layout, a layout confined to a rectangle, a dialog size that fits
// a phone-sized window, a footer with a wrapped note beside its buttons, and
// a check box bound to a flag.
#include <string_view>
#include <vector>

#include "app/app_state.h"

namespace qm {

struct DialogSize {
    double width = 0;
    double height = 0;
};

// A label line; on the compact layout upper-cased at a smaller size.
void fieldLabel(AppState& state, std::string_view text);
// The next form row split into count columns; height <= 0 means a field and
// its label. gap in dp. On the compact layout, with allowStack, the columns
// are full-width rows one below the other.
std::vector<Rect> formColumns(AppState& state, int32_t count, double height, double gap, bool allowStack);
void beginLayoutInRect(AppState& state, const Rect& rect);
void endLayoutInRect(AppState& state);
// Pixels from dp; on the compact layout the window's width and, as given in
// pixels, a height capped by the window's.
DialogSize dialogSize(AppState& state, double width, double height);
// Opens the current window's footer with the note wrapped beside reserves
// (pixels) for the buttons, and centres the caller's button row in it. An
// alpha 0 colour means textSecondary.
void footerNote(AppState& state, std::string_view note, Color color, double leftReserve, double rightReserve);
// True when the flag was toggled. The label may wrap.
bool checkField(AppState& state, std::string_view label, bool& value, bool disabled);

}  // namespace qm
