#pragma once
// Budget icons on screen: an icon reference drawn as its custom picture or a
// named built-in icon, the tinted rounded badge that carries one, and the
// picker that chooses a category's icon from a grid of the budget's icons.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/app_state.h"

namespace qm {

// Answers whether the user picked another icon. An id of 0 stands for the
// category's own default; the icons are tinted with that category's colour.
bool iconPicker(AppState& state, std::string_view name, int64_t& iconId, int64_t categoryId, const Rect& rect);
// The budget icon's picture when it is a custom one and has arrived; the
// named built-in icon otherwise.
void drawIconRef(AppState& state, int64_t iconId, std::string_view fallbackIcon, const Rect& rect, Color tint);
// A square of the rectangle's shorter side tinted with the colour at the
// theme's overlay alpha, the icon on it in the full colour.
void iconBadge(AppState& state, int64_t iconId, std::string_view iconName, Color color, const Rect& rect);
// The built-in name a budget icon is drawn with while (or instead of) its
// picture: the text after "builtin:", else "tune".
std::string builtinIconName(const CustomIcon& icon);

}  // namespace qm
