#pragma once
// Menus: popups whose body is a panel of stacked entries, sized from what
// the entries measured last frame, kept inside the view, and scrolled by
// arrow strips when they do not fit.
#include <string_view>

#include "ui/context.h"
#include "ui/icons.h"

namespace qm {

void openContextMenu(UiContext& ctx, std::string_view name, double x, double y);
// True while the menu is open: emit entries, then endMenu.
bool contextMenu(UiContext& ctx, std::string_view name, double width);
bool beginMenu(UiContext& ctx, int64_t popupId, double width, std::string_view scope);
void beginMenuPanel(UiContext& ctx, const Rect& rect, double contentHeight, std::string_view scope);
bool menuEntry(UiContext& ctx, std::string_view label, std::string_view shortcut, bool enabled, IconKind icon);
void menuSeparator(UiContext& ctx);
void endPopup(UiContext& ctx);
inline void endMenu(UiContext& ctx) { endPopup(ctx); }

}  // namespace qm
