#pragma once
// Floating titled panels: every dialog of the program. A page calls
// beginWindow each frame while the dialog is shown, lays out the body with
// the ordinary layout calls, optionally a footer band, and ends with
// endWindow. Placement, dragging and sizing persist in the WindowState.
#include <string_view>

#include "ui/context.h"

namespace qm {

// The defaults are the program's dialog: modal, closed by its button or
// Escape, of the size asked, over a dimmed view.
struct WindowOptions {
    bool modal = true;
    bool closeButton = true;
    bool resizable = false;
    bool dimBackdrop = true;  // only the first of stacked modal windows dims
};

// False when nothing is shown this frame (then no endWindow).
bool beginWindow(UiContext& ctx, std::string_view name, std::string_view title, WindowState& state, double width,
    double height, const WindowOptions& options = {});
void endWindow(UiContext& ctx);
// Ends the scrolled body and starts the button band at the bottom; height
// <= 0 asks for two spacings and a row.
void windowFooter(UiContext& ctx, double height);
void scrollWindow(UiContext& ctx, WindowFrame& frame);
Rect windowContentRect(UiContext& ctx);
void resetScroll(UiContext& ctx, std::string_view name);
// The height to request so the window is no taller than its content.
double fitWindowHeight(const UiContext& ctx, const WindowState& state, double height);

}  // namespace qm
