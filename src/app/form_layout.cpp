#include "app/form_layout.h"

#include "ui/checkbox.h"
#include "ui/layout.h"
#include "ui/window.h"
#include "ui/wrap.h"

#include <algorithm>
#include <string>

namespace qm {

void fieldLabel(KitApp& app, std::string_view text)
{
    UiContext& ui = kitUi(app);
    Rect r = nextLayoutRect(ui, scaled(app, 18), 0);
    Color ink = ui.theme.base[slotTextSecondary];
    if (app.compact)
        drawText(app, upperAscii(text), r, scaled(app, 11), ink, 0, 600);
    else
        drawText(app, text, r, scaled(app, 12), ink, 0, 600);
    currentLayout(ui).cursorY -= scaled(app, 4);
}

std::vector<Rect> formColumns(KitApp& app, int32_t count, double height, double gap, bool allowStack)
{
    UiContext& ui = kitUi(app);
    double h = height > 0 ? height : rowHeight(ui) + scaled(app, 22);
    double g = scaled(app, gap);
    std::vector<Rect> out;
    if (count > 1 && app.compact && allowStack) {
        for (int32_t i = 0; i < count; ++i) {
            if (i > 0)
                addSpace(ui, scaled(app, 6));
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

void beginLayoutInRect(KitApp& app, const Rect& rect) { pushLayout(kitUi(app), rect); }

void endLayoutInRect(KitApp& app) { endOverlayLayout(kitUi(app)); }

DialogSize dialogSize(KitApp& app, double width, double height)
{
    const UiContext& ui = kitUi(app);
    if (app.compact)
        return {ui.viewWidth - scaled(app, 8), std::min(height, ui.viewHeight - scaled(app, 16))};
    return {scaled(app, width), scaled(app, height)};
}

void footerNote(KitApp& app, std::string_view note, Color color, double leftReserve, double rightReserve)
{
    UiContext& ui = kitUi(app);
    double g = leftReserve > 0 ? scaled(app, 12) : 0;
    double m = currentLayout(ui).w - (leftReserve + g) - rightReserve - scaled(app, 12);
    double size = scaled(app, 12.5);
    std::vector<std::string> lines;
    if (!note.empty() && m > scaled(app, 40))
        lines = wrapText(ui, note, m, size);
    double t = scaled(app, 16), sp = spacing(ui), control = rowHeight(ui);
    double text = double(lines.size()) * t;
    double H = std::max(2 * sp + text, 2 * sp + control);
    windowFooter(ui, H);
    LayoutFrame& footer = currentLayout(ui);
    double x0 = footer.x, y0 = footer.y;
    double y = y0 + (H - 2 * sp - text) / 2;
    Color ink = color.a > 0 ? color : ui.theme.base[slotTextSecondary];
    for (const std::string& line : lines) {
        drawText(app, line, {x0 + leftReserve + g, y, m, t}, size, ink, 0, 500);
        y += t;
    }
    footer.cursorY = y0 + (H - 2 * sp - control) / 2;
}

bool checkField(KitApp& app, std::string_view label, bool& value, bool disabled)
{
    return checkbox(kitUi(app), label, value, disabled, true);
}

}  // namespace qm
