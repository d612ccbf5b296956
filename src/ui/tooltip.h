#pragma once
// Hover texts, drawn once per frame above everything.
#include <string_view>

#include "ui/context.h"

namespace qm {

inline constexpr double kTooltipDelay = 0.45;

// For the widget last passed to interact.
void setTooltip(UiContext& ctx, std::string_view text);
// For a rectangle that is not a widget.
void tooltip(UiContext& ctx, std::string_view text, const Rect& rect);
void drawTooltip(UiContext& ctx);

}  // namespace qm
