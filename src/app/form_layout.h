#pragma once
// Helpers that give every form and dialog the same look, built on the
// toolkit's layout stack: field labels, rows split into equal columns (one
// per line on narrow windows), layout inside a given rectangle, dialog sizes
// that still fit a small window, footers with a note next to the buttons,
// and a tick box tied to a flag.
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
// Rectangles for `count` equal columns of the next row (a height of 0 or
// less: room for a label and its field; `gap` in dp). On narrow windows,
// when `allowStack` is set, each column becomes a full-width row instead.
std::vector<Rect> formColumns(AppState& state, int32_t count, double height, double gap, bool allowStack);
void beginLayoutInRect(AppState& state, const Rect& rect);
// Draws the field label at the column's top; gives the one-row field below it.
Rect labelledField(AppState& state, const Rect& column, std::string_view label);
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
