#pragma once
// The toolkit's text: drawing and measuring with either face, and cutting a
// text to a width with an ellipsis.
#include <string>
#include <string_view>

#include "ui/context.h"

namespace qm {

std::string ellipsize(UiContext& ctx, std::string_view text, double maxWidth, double size);
// size <= 0 means fontSize; font 0 is the text face, 1 the second face.
void uiDrawText(
    UiContext& ctx, std::string_view text, const Rect& rect, Color color, double align, double size, int font);
double uiTextWidth(UiContext& ctx, std::string_view text, double size, int font);
const GlyphAtlasRef& uiFont(const UiContext& ctx, int font);

}  // namespace qm
