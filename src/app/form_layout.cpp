#include "app/form_layout.h"

#include "app/app_text.h"
#include "app/theme_apply.h"
#include "core/ascii.h"

#include "ui/checkbox.h"
#include "ui/layout.h"
#include "ui/window.h"
#include "ui/wrap.h"

#include <algorithm>
#include <string>

namespace qm {

void fieldLabel(AppState& state, std::string_view text)
{
    UiContext& ui = *state.ui;
    Rect r = nextLayoutRect(ui, dp(*state.ui, 18), 0);
    Color ink = ui.theme.base[slotTextSecondary];
    if (state.compact)
        drawText(state, asciiUpper(text), r, dp(*state.ui, 11), ink, 0, 600);
    else
        drawText(state, text, r, dp(*state.ui, 12), ink, 0, 600);
    currentLayout(ui).cursorY -= dp(*state.ui, 4);
}

std::vector<Rect> formColumns(AppState& state, int32_t count, double height, double gap, bool allowStack)
{
    UiContext& ui = *state.ui;
    double h = height > 0 ? height : rowHeight(ui) + dp(*state.ui, 22);
    double g = dp(*state.ui, gap);
    std::vector<Rect> out;
    if (count > 1 && state.compact && allowStack) {
        for (int32_t i = 0; i < count; ++i) {
            if (i > 0)
                addSpace(ui, dp(*state.ui, 6));
            out.push_back(nextLayoutRect(ui, h, 0));
        }
        return out;
    }
    Rect row = nextLayoutRect(ui, h, 0);
    if (count <= 0)
        return out;
    double c = (row.w - (count - 1) * g) / count;
    for (int32_t i = 0; i < count; ++i)
        out.push_back({row.x + (c + g) * i, row.y, c, h});
    return out;
}

void beginLayoutInRect(AppState& state, const Rect& rect) { pushLayout(*state.ui, rect); }

void endLayoutInRect(AppState& state) { endOverlayLayout(*state.ui); }

Rect labelledField(AppState& state, const Rect& column, std::string_view label)
{
    beginLayoutInRect(state, column);
    fieldLabel(state, label);
    Rect field = nextLayoutRect(*state.ui, rowHeight(*state.ui), 0);
    endLayoutInRect(state);
    return field;
}

DialogSize dialogSize(AppState& state, double width, double height)
{
    const UiContext& ui = *state.ui;
    if (state.compact)
        return {ui.viewWidth - dp(*state.ui, 8), std::min(height, ui.viewHeight - dp(*state.ui, 16))};
    return {dp(*state.ui, width), dp(*state.ui, height)};
}

void footerNote(AppState& state, std::string_view note, Color color, double leftReserve, double rightReserve)
{
    UiContext& ui = *state.ui;
    double g = leftReserve > 0 ? dp(*state.ui, 12) : 0;
    double m = currentLayout(ui).w - (leftReserve + g) - rightReserve - dp(*state.ui, 12);
    double size = dp(*state.ui, 12.5);
    std::vector<std::string> lines;
    if (!note.empty() && m > dp(*state.ui, 40))
        lines = wrapText(ui, note, m, size);
    double t = dp(*state.ui, 16), sp = spacing(ui), control = rowHeight(ui);
    double text = double(lines.size()) * t;
    double H = std::max(2 * sp + text, 2 * sp + control);
    windowFooter(ui, H);
    LayoutFrame& footer = currentLayout(ui);
    double x0 = footer.x, y0 = footer.y;
    double y = y0 + (H - 2 * sp - text) / 2;
    Color ink = color.a > 0 ? color : ui.theme.base[slotTextSecondary];
    for (const std::string& line : lines) {
        drawText(state, line, {x0 + leftReserve + g, y, m, t}, size, ink, 0, 500);
        y += t;
    }
    footer.cursorY = y0 + (H - 2 * sp - control) / 2;
}

bool checkField(AppState& state, std::string_view label, bool& value, bool disabled)
{
    return checkbox(*state.ui, label, value, {.disabled = disabled, .wrapInRow = true});
}

}  // namespace qm
