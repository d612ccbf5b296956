#pragma once
// Widgets are known by ids hashed from their labels under the id stack, and
// interact is the one place where pointer input becomes hover, press, hold
// and click.
#include <cstdint>
#include <string_view>
#include <vector>

#include "ui/context.h"

namespace qm {

struct InteractResult {
    bool hovered = false;  // over it, and no other widget is held
    bool pressed = false;  // hovered and the button went down this frame
    bool held = false;     // it took the press and the button is still down
    bool clicked = false;  // released this frame over it after taking the press
};

int64_t widgetId(UiContext& ctx, std::string_view label);
// The id of label + "#" + n.
int64_t widgetIdIndexed(UiContext& ctx, std::string_view label, int64_t n);
void pushId(UiContext& ctx, std::string_view label);
void popId(UiContext& ctx);
void pushIds(UiContext& ctx, const std::vector<int64_t>& ids);
// Removes the top min(n, depth) ids and returns them bottom first.
std::vector<int64_t> takeIds(UiContext& ctx, size_t n);

InteractResult interact(UiContext& ctx, int64_t id, const Rect& rect, uint8_t button);
void setHot(UiContext& ctx, int64_t id);
void setActive(UiContext& ctx, int64_t id);
bool isFocused(const UiContext& ctx, int64_t id);
void setFocus(UiContext& ctx, int64_t id);
void addFocusable(UiContext& ctx, int64_t id);

// The cascade alone: a label's 32-bit fingerprint mixed into a parent seed.
int64_t mixWidgetId(uint32_t seed, std::string_view label);

}  // namespace qm
