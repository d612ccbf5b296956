#include "app/message_boxes.h"

#include "app/app_state.h"

#include <algorithm>

#include "app/app_text.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "ui/label.h"
#include "ui/layout.h"
#include "ui/widget_id.h"
#include "ui/window.h"

namespace qm {

namespace {

Rect boxSize(const AppState& state, double width, double height)
{
    const UiContext& ui = *state.ui;
    if (state.compact)
        return {0, 0, ui.viewWidth - dp(*state.ui, 8), std::min(height, ui.viewHeight - dp(*state.ui, 16))};
    return {0, 0, dp(*state.ui, width), dp(*state.ui, height)};
}

}  // namespace

void drawMessageBoxes(AppState& state)
{
    UiContext& ui = *state.ui;
    state.confirm.confirmed.clear();

    if (state.message.window && state.message.window->open) {
        Rect size = boxSize(state, 440, 190);
        if (beginWindow(ui, "qmmsg", state.message.title, *state.message.window, size.w, size.h)) {
            wrappedLabel(ui, state.message.text, 0, 0);
            windowFooter(ui, 0);
            beginRow(ui, rowHeight(ui), {-1, dp(*state.ui, 100)});
            textBlock(ui, "", 0, 0, 0, 0);
            if (flowButton(state, "qmmsg-ok", "OK", {.style = buttonPrimary}))
                state.message.window->open = false;
            endRow(ui);
            endWindow(ui);
        }
    }

    if (state.confirm.window && state.confirm.window->open) {
        Rect size = boxSize(state, 460, 200);
        if (beginWindow(ui, "qmconfirm", state.confirm.title, *state.confirm.window, size.w, size.h)) {
            wrappedLabel(ui, state.confirm.message, 0, 0);
            windowFooter(ui, 0);
            double labelSize = dp(*state.ui, 13);
            double cancel = std::max(
                measureText(state, state.confirm.cancelLabel, labelSize, 600) + dp(*state.ui, 32), dp(*state.ui, 90));
            double confirm = std::max(
                measureText(state, state.confirm.confirmLabel, labelSize, 600) + dp(*state.ui, 32), dp(*state.ui, 100));
            beginRow(ui, rowHeight(ui), {-1, cancel, confirm});
            textBlock(ui, "", 0, 0, 0, 0);
            if (flowButton(state, "qmconfirm-no", state.confirm.cancelLabel))
                state.confirm.window->open = false;
            if (flowButton(state, "qmconfirm-yes", state.confirm.confirmLabel,
                    {.style = state.confirm.danger ? buttonDanger : buttonPrimary})) {
                state.confirm.window->open = false;
                state.confirm.confirmed = state.confirm.action;
            }
            endRow(ui);
            endWindow(ui);
        }
    }
}

}  // namespace qm
