#include "app/toasts.h"
#include "app/toasts_internal.h"

#include <algorithm>

#include "app/app_text_internal.h"
#include "app/icon_textures.h"
#include "app/theme_apply.h"
#include "platform/render/glyph_atlas.h"
#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/wrap.h"

namespace qm {

ToastStyle toastStyle(uint8_t kind)
{
    switch (kind) {
    case toastSuccess:
        return {slotSuccess, "check_circle"};
    case toastError:
        return {slotDanger, "warning"};
    default:
        return {slotAccent, "info"};
    }
}

namespace {

double& toastSeconds()
{
    static double seconds = 0;
    return seconds;
}

}  // namespace

void advanceToastClock(double seconds) { toastSeconds() += std::max(seconds, 0.0); }

double toastClock() { return toastSeconds(); }

void drawToasts(AppState& state)
{
    UiContext& ui = *state.ui;
    const double now = toastClock();
    std::erase_if(state.toasts, [&](const Toast& t) { return t.expiry <= now; });
    if (state.toasts.empty())
        return;
    requestUiRedraw(ui);
    Renderer& r = *state.renderer;
    int32_t previousLayer = currentLayer(r);
    // An open menu or popup stays above the toasts, so that every entry it
    // shows can be seen and clicked.
    int32_t layer = previousLayer + 4;
    if (ui.popupId != 0 && ui.popupLayer > 0 && ui.popupLayer <= layer)
        layer = ui.popupLayer - 1;
    setLayer(r, layer);
    const Theme& theme = ui.theme;
    double w = std::min(dp(*state.ui, 360), ui.viewWidth - dp(*state.ui, 24));
    double cursor = ui.viewHeight - dp(*state.ui, 20);
    double size = dp(*state.ui, 13);
    double line = lineHeight(*ui.font, size);
    double radius = dp(*state.ui, 10);
    for (auto it = state.toasts.rbegin(); it != state.toasts.rend(); ++it) {
        std::vector<std::string> lines = wrapText(ui, it->text, w - dp(*state.ui, 52), size, LongWords::breakApart);
        double h = std::max(dp(*state.ui, 44), double(lines.size()) * line + dp(*state.ui, 20));
        double x = state.compact ? (ui.viewWidth - w) / 2 : ui.viewWidth - w - dp(*state.ui, 20);
        double y = cursor - h;
        cursor = y;
        Rect card{x, y, w, h};
        drawShadowRect(r, card, radius, dp(*state.ui, 14), withAlpha(theme.base[slotShadowSoft], 0.3));
        fillRoundRect(r, card, radius, theme.base[slotRaised]);
        strokeRoundRect(r, card, radius, 1, theme.base[slotBorder]);
        ToastStyle style = toastStyle(it->kind);
        Color accent = theme.base[style.slot];
        fillRoundRect(r, {x, y, dp(*state.ui, 4), h}, dp(*state.ui, 2), accent);
        double icon = dp(*state.ui, 18);
        drawAppIcon(r, style.icon, {x + dp(*state.ui, 14), y + (h - icon) / 2, icon, icon}, accent);
        double baseline = y + dp(*state.ui, 10) + ascent(*ui.font, size);
        for (const std::string& text : lines) {
            logDrawnText(text, {x + dp(*state.ui, 40), baseline - line, w - dp(*state.ui, 52), line}, size,
                theme.base[slotText]);
            renderText(r, ui.font, text, x + dp(*state.ui, 40), baseline, size, theme.base[slotText]);
            baseline += line;
        }
        addOverlayRect(ui, card);
        cursor -= dp(*state.ui, 8);
    }
    setLayer(r, previousLayer);
}

}  // namespace qm
