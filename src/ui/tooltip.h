#pragma once
// Hover texts, drawn once per frame above everything, and the toolkit's text
// helpers: drawing and measuring with either face, and cutting a text to a
// width with an ellipsis.
#include <string>
#include <string_view>

#include "ui/context.h"

namespace qm {

inline constexpr double kTooltipDelay = 0.45;

// For the widget last passed to interact.
void setTooltip(UiContext& ctx, std::string_view text);
// For a rectangle that is not a widget.
void tooltip(UiContext& ctx, std::string_view text, const Rect& rect);
void drawTooltip(UiContext& ctx);

std::string ellipsize(UiContext& ctx, std::string_view text, double maxWidth, double size);
// size <= 0 means fontSize; font 0 is the text face, 1 the second face.
void uiDrawText(
    UiContext& ctx, std::string_view text, const Rect& rect, Color color, double align, double size, int font);
double uiTextWidth(UiContext& ctx, std::string_view text, double size, int font);
const GlyphAtlasRef& uiFont(const UiContext& ctx, int font);

}  // namespace qm
