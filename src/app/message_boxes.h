#pragma once
// The program's one message box (title, text, OK) and one confirmation box
// (title, text, cancel, confirm). Confirming calls nothing: it hands the
// box's action id to the state, and the next frame carries it out.
#include <memory>
#include <string>

#include "ui/widget_state.h"

namespace qm {

struct AppState;

struct MessageBox {
    std::shared_ptr<WindowState> window;
    std::string title;
    std::string text;
};

struct ConfirmBox {
    std::shared_ptr<WindowState> window;
    std::string title;
    std::string message;
    std::string confirmLabel;
    std::string cancelLabel;
    std::string action;  // handed on when the user confirms
    bool danger = false;
    // The action confirmed in the last frame, waiting for this frame to run it.
    std::string confirmed;
};

// Every frame, after the pages and before the toasts.
void drawMessageBoxes(AppState& state);

}  // namespace qm
