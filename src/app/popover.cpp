#include "app/popover.h"

#include "app/app_text.h"
#include "app/theme_apply.h"

#include "platform/cursor.h"
#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/layout.h"
#include "ui/widget_id.h"

#include <algorithm>
#include <cmath>

namespace qm {

Rect placePopover(AppState& state, const Rect& anchor, double width, double height, const PopoverPlacement& placement)
{
    const bool alignRight = placement.alignRight, above = placement.above;
    const UiContext& ui = *state.ui;
    double m = dp(*state.ui, 6);
    double x = alignRight ? anchor.x + anchor.w - width : anchor.x;
    x = std::min(x, ui.viewWidth - width - m);
    x = std::max(m, x);
    double h = std::min(height, ui.viewHeight - dp(*state.ui, 12));
    double y = anchor.y + anchor.h + m;
    if (above || y + h > ui.viewHeight - m) {
        y = anchor.y - m - h;
        if (y < m)
            y = std::max(m, ui.viewHeight - h - m);
    }
    return {std::round(x), std::round(y), std::round(width), std::round(h)};
}

int32_t beginPopover(AppState& state, const Rect& rect)
{
    UiContext& ui = *state.ui;
    Renderer& r = *ui.renderer;
    const Theme& t = ui.theme;
    setPopupRect(ui, rect);
    int32_t previous = beginOverlay(ui, rect);
    double radius = dp(*state.ui, 12);
    drawShadowRect(r, rect, radius, dp(*state.ui, 16), withAlpha(t.base[slotShadowSoft], 0.3));
    fillRoundRect(r, rect, radius, t.base[slotRaised]);
    strokeRoundRect(r, rect, radius, 1, t.base[slotBorder]);
    popLayout(ui);
    double p = dp(*state.ui, 8);
    pushLayout(ui, {rect.x + p, rect.y + p, rect.w - 2 * p, rect.h - 2 * p});
    pushClip(r, rect);
    return previous;
}

void endPopover(AppState& state, int32_t previousLayer)
{
    UiContext& ui = *state.ui;
    popClip(*ui.renderer);
    popLayout(ui);
    setLayer(*ui.renderer, previousLayer);
}

bool menuItem(AppState& state, std::string_view id, std::string_view label, const Rect& rect, bool selected,
    std::string_view detail, const LeadingDrawing& leading, bool danger)
{
    UiContext& ui = *state.ui;
    Renderer& r = *ui.renderer;
    const Theme& t = ui.theme;
    InteractResult res = interact(ui, widgetId(ui, id), rect, 1);
    double radius = dp(*state.ui, 8);
    if (selected)
        fillRoundRect(r, rect, radius, t.base[slotAccentBackground]);
    else if (res.hovered)
        fillRoundRect(r, rect, radius, t.base[slotHover]);
    double x = rect.x + dp(*state.ui, 10);
    if (leading) {
        leading({x, rect.y, dp(*state.ui, 22), rect.h});
        x += dp(*state.ui, 28);
    }
    Color ink = danger ? t.base[slotDanger] : t.base[slotText];
    double w = rect.x + rect.w - x - dp(*state.ui, 8);
    double size = dp(*state.ui, 13);
    std::string shown = elideText(state, label, w, size, 500);
    if (detail.empty()) {
        drawText(state, shown, {x, rect.y, w, rect.h}, size, ink, 0, 500);
    } else {
        drawText(state, shown, {x, rect.y + dp(*state.ui, 4), w, rect.h / 2}, size, ink, 0, 500);
        double small = dp(*state.ui, 11);
        drawText(state, elideText(state, detail, w, small, 400),
            {x, rect.y + rect.h / 2 - dp(*state.ui, 2), w, rect.h / 2}, small, t.base[slotTextTertiary], 0, 400);
    }
    if (res.hovered)
        ui.cursorShape = curHand;
    return res.clicked;
}

void drawDivider(AppState& state, double x0, double x1, double y, Color color)
{
    fillRect(*state.ui->renderer, {x0, std::round(y), x1 - x0, std::max(1.0, dp(*state.ui, 1))}, color);
}

}  // namespace qm
