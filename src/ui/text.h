#pragma once
// Every widget's label goes through here: one call draws a run in the
// regular or bold face, one measures it, and one shortens a run that would
// overflow its box so that it ends in "…".
#include <string>
#include <string_view>

#include "ui/context.h"

namespace qm {

std::string ellipsize(UiContext& ctx, std::string_view text, double maxWidth, double size);
// size <= 0 means fontSize; font 0 is the text face, 1 the second face. The
// arguments go in the order of the shell's drawText (app/app_text.h).
void uiDrawText(
    UiContext& ctx, std::string_view text, const Rect& rect, double size, Color color, double align, int font);
double uiTextWidth(UiContext& ctx, std::string_view text, double size, int font);
const GlyphAtlasRef& uiFont(const UiContext& ctx, int font);

}  // namespace qm
