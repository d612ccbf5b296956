#pragma once
// Push buttons: one routine draws and runs every button of the toolkit;
// iconButton sizes itself from its label and takes its place from the layout.
#include <cstdint>
#include <string_view>

#include "ui/context.h"
#include "ui/icons.h"

namespace qm {

// The shell's buttons (app/styled_buttons.h) take the same styles.
enum ButtonStyle : uint8_t {
    buttonNormal = 0,
    buttonPrimary = 1,
    buttonQuiet = 2,  // no fill or border until hovered
    buttonDanger = 3,
    buttonQuietDanger = 4,  // quiet, in the danger colour
    buttonLink = 5,         // text only, in the link colour
};

struct ButtonOptions {
    ButtonStyle style = buttonNormal;
    IconKind icon = icNone;  // drawn before the label
    bool disabled = false;
    bool active = false;  // drawn as held down (a toggled or current choice)
};

bool drawButton(
    UiContext& ctx, int64_t id, std::string_view label, const Rect& rect, const ButtonOptions& options = {});
// width <= 0: a column sizes the button to its label and a row decides.
bool iconButton(UiContext& ctx, std::string_view label, const ButtonOptions& options = {}, double width = 0);
// An icon with no label, always in the quiet style; options.style is not read.
bool plainIconButton(
    UiContext& ctx, int64_t id, const Rect& rect, std::string_view tooltipText, const ButtonOptions& options);

}  // namespace qm
