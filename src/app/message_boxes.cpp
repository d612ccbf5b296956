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
        return {0, 0, ui.viewWidth - scaled(state, 8), std::min(height, ui.viewHeight - scaled(state, 16))};
    return {0, 0, scaled(state, width), scaled(state, height)};
}

}  // namespace

void drawMessageBoxes(AppState& state)
{
    UiContext& ui = *state.ui;
    state.confirm.confirmed.clear();

    if (state.message.window && state.message.window->open) {
        Rect size = boxSize(state, 440, 190);
        if (beginWindow(
                ui, "qmmsg", state.message.title, *state.message.window, size.w, size.h, true, true, false, true)) {
            wrappedLabel(ui, state.message.text, 0, 0);
            windowFooter(ui, 0);
            beginRow(ui, rowHeight(ui), {-1, scaled(state, 100)});
            textBlock(ui, "", 0, 0, 0, 0);
            if (flowButton(state, "qmmsg-ok", "OK", "primary", "", 0, false))
                state.message.window->open = false;
            endRow(ui);
            endWindow(ui);
        }
    }

    if (state.confirm.window && state.confirm.window->open) {
        Rect size = boxSize(state, 460, 200);
        if (beginWindow(
                ui, "qmconfirm", state.confirm.title, *state.confirm.window, size.w, size.h, true, true, false, true)) {
            wrappedLabel(ui, state.confirm.message, 0, 0);
            windowFooter(ui, 0);
            double labelSize = scaled(state, 13);
            double cancel = std::max(
                measureText(state, state.confirm.cancelLabel, labelSize, 600) + scaled(state, 32), scaled(state, 90));
            double confirm = std::max(
                measureText(state, state.confirm.confirmLabel, labelSize, 600) + scaled(state, 32), scaled(state, 100));
            beginRow(ui, rowHeight(ui), {-1, cancel, confirm});
            textBlock(ui, "", 0, 0, 0, 0);
            if (flowButton(state, "qmconfirm-no", state.confirm.cancelLabel, "secondary", "", 0, false))
                state.confirm.window->open = false;
            if (flowButton(state, "qmconfirm-yes", state.confirm.confirmLabel,
                    state.confirm.danger ? "danger" : "primary", "", 0, false)) {
                state.confirm.window->open = false;
                state.confirm.confirmed = state.confirm.action;
            }
            endRow(ui);
            endWindow(ui);
        }
    }
}

}  // namespace qm
