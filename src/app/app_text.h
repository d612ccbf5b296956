#pragma once
// Drawing text the way the shell does: pick a built-in face by weight (or
// one of the mono faces), put the text in a box or on a baseline, shorten it
// with an ellipsis when it is too wide, and colour amounts and states by
// what they mean. Sizes are in pixels, already scaled.
#include <string>
#include <string_view>

#include "app/app_state.h"
#include "model/ledger.h"

namespace qm {

// 400, 500, 600 and 700; any other weight draws regular.
const GlyphAtlasRef& atlasForWeight(const AppState& state, int32_t weight);
// Slot 0 is the regular mono face, slot 1 the semibold one.
const GlyphAtlasRef& atlasForSlot(const AppState& state, int32_t slot);

// One line, aligned horizontally by align (0 left, 0.5 centre, 1 right) and
// centred vertically on the face's ascent and descent; never clipped. A text
// wider than the box is elided to the box.
void drawText(
    AppState& state, std::string_view text, const Rect& rect, double size, Color color, double align, int32_t weight);
double measureText(const AppState& state, std::string_view text, double size, int32_t weight);
void drawTextWith(
    AppState& state, std::string_view text, const Rect& rect, double size, Color color, double align, int32_t slot);
double measureTextWith(const AppState& state, std::string_view text, double size, int32_t slot);
// Draws from a baseline point; returns the advance.
double drawTextAt(AppState& state, std::string_view text, double x, double y, double size, Color color, int32_t slot);
// The same in any face.
double drawTextAtIn(
    AppState& state, const GlyphAtlasRef& face, std::string_view text, double x, double y, double size, Color color);

// The text, or its longest prefix that fits with "…" after it, cut only
// between characters; empty when not even one character fits.
std::string elideText(const AppState& state, std::string_view text, double maxWidth, double size, int32_t weight);

// danger below -0.004, warning below warnBelow, else text.
Color amountColor(const AppState& state, double amount, double warnBelow);
// "#RRGGBB" exactly (either case); anything else gives the fallback.
Color parseHexColor(std::string_view text, Color fallback);
Color categoryColor(const AppState& state, std::string_view categoryName);
Color transactionColor(const AppState& state, const LedgerEntry& entry);

}  // namespace qm
