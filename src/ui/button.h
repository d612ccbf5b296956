#pragma once
// Push buttons: one routine draws and runs every button of the toolkit;
// iconButton sizes itself from its label and takes its place from the layout.
#include <cstdint>
#include <string_view>

#include "ui/context.h"
#include "ui/icons.h"

namespace qm {

enum ButtonStyle : uint8_t {
    buttonNormal = 0,
    buttonPrimary = 1,
    buttonQuiet = 2,
    buttonDanger = 3,
};

bool drawButton(UiContext& ctx, int64_t id, std::string_view label, const Rect& rect, uint8_t style, IconKind icon,
    bool disabled, bool active);
bool iconButton(UiContext& ctx, std::string_view label, uint8_t style, IconKind icon, double width, bool disabled);
bool plainIconButton(UiContext& ctx, int64_t id, IconKind icon, const Rect& rect, std::string_view tooltipText,
    bool active, bool disabled);

}  // namespace qm
