#include "app/popover.h"

#include "platform/cursor.h"
#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/layout.h"
#include "ui/widget_id.h"

#include <algorithm>
#include <cmath>

namespace qm {

Rect placePopover(KitApp& app, const Rect& anchor, double width, double height, bool alignRight, bool above)
{
    const UiContext& ui = kitUi(app);
    double m = scaled(app, 6);
    double x = alignRight ? anchor.x + anchor.w - width : anchor.x;
    x = std::min(x, ui.viewWidth - width - m);
    x = std::max(m, x);
    double h = std::min(height, ui.viewHeight - scaled(app, 12));
    double y = anchor.y + anchor.h + m;
    if (above || y + h > ui.viewHeight - m) {
        y = anchor.y - m - h;
        if (y < m)
            y = std::max(m, ui.viewHeight - h - m);
    }
    return {std::round(x), std::round(y), std::round(width), std::round(h)};
}

int32_t beginPopover(KitApp& app, const Rect& rect)
{
    UiContext& ui = kitUi(app);
    Renderer& r = *ui.renderer;
    const Theme& t = ui.theme;
    setPopupRect(ui, rect);
    int32_t previous = beginOverlay(ui, rect);
    double radius = scaled(app, 12);
    drawShadowRect(r, rect, radius, scaled(app, 16), withAlpha(t.base[slotShadowSoft], 0.3));
    fillRoundRect(r, rect, radius, t.base[slotRaised]);
    strokeRoundRect(r, rect, radius, 1, t.base[slotBorder]);
    popLayout(ui);
    double p = scaled(app, 8);
    pushLayout(ui, {rect.x + p, rect.y + p, rect.w - 2 * p, rect.h - 2 * p});
    pushClip(r, rect);
    return previous;
}

void endPopover(KitApp& app, int32_t previousLayer)
{
    UiContext& ui = kitUi(app);
    popClip(*ui.renderer);
    popLayout(ui);
    setLayer(*ui.renderer, previousLayer);
}

bool menuItem(KitApp& app, std::string_view id, std::string_view label, const Rect& rect, bool selected,
    std::string_view detail, const LeadingDrawing& leading, bool danger)
{
    UiContext& ui = kitUi(app);
    Renderer& r = *ui.renderer;
    Theme t = ui.theme;
    InteractResult res = interact(ui, widgetId(ui, id), rect, 1);
    double radius = scaled(app, 8);
    if (selected)
        fillRoundRect(r, rect, radius, t.base[slotAccentBackground]);
    else if (res.hovered)
        fillRoundRect(r, rect, radius, t.base[slotHover]);
    double x = rect.x + scaled(app, 10);
    if (leading) {
        leading({x, rect.y, scaled(app, 22), rect.h});
        x += scaled(app, 28);
    }
    Color ink = danger ? t.base[slotDanger] : t.base[slotText];
    double w = rect.x + rect.w - x - scaled(app, 8);
    double size = scaled(app, 13);
    std::string shown = elideText(app, label, w, size, 500);
    if (detail.empty()) {
        drawText(app, shown, {x, rect.y, w, rect.h}, size, ink, 0, 500);
    } else {
        drawText(app, shown, {x, rect.y + scaled(app, 4), w, rect.h / 2}, size, ink, 0, 500);
        double small = scaled(app, 11);
        drawText(app, elideText(app, detail, w, small, 400), {x, rect.y + rect.h / 2 - scaled(app, 2), w, rect.h / 2},
            small, t.base[slotTextTertiary], 0, 400);
    }
    if (res.hovered)
        ui.cursorShape = curHand;
    return res.clicked;
}

void drawDivider(KitApp& app, double x0, double x1, double y, Color color)
{
    fillRect(*kitUi(app).renderer, {x0, std::round(y), x1 - x0, std::max(1.0, scaled(app, 1))}, color);
}

}  // namespace qm
