#include "app/display_elements.h"

#include "app/picture_cache.h"
#include "platform/render/primitives.h"
#include "ui/layout.h"

#include <algorithm>

namespace qm {

void sectionCaption(KitApp& app, std::string_view text, const Rect& rect, double align)
{
    drawText(app, upperAscii(text), rect, scaled(app, 10.5), kitUi(app).theme.base[slotTextTertiary], align, 600);
}

void layoutCaption(KitApp& app, std::string_view text)
{
    sectionCaption(app, text, nextLayoutRect(kitUi(app), scaled(app, 16), 0), 0);
}

void captionValue(KitApp& app, const Rect& rect, std::string_view caption, std::string_view value, Color color)
{
    sectionCaption(app, caption, {rect.x, rect.y, rect.w, scaled(app, 14)}, 0);
    Color ink = color.a > 0 ? color : kitUi(app).theme.base[slotText];
    drawTextWith(app, value, {rect.x, rect.y + scaled(app, 15), rect.w, scaled(app, 22)}, scaled(app, 14.5), ink, 0, 1);
}

void infoCard(KitApp& app, const Rect& rect, std::string_view caption, std::string_view value, Color color,
    bool highlighted, bool large)
{
    UiContext& ui = kitUi(app);
    Renderer& r = *ui.renderer;
    const Theme& t = ui.theme;
    double radius = scaled(app, 12);
    fillRoundRect(r, rect, radius, t.base[slotSurface]);
    if (highlighted) {
        strokeRoundRect(r, rect, radius, 1, t.base[slotAccent]);
        fillRoundRect(r, rect, radius, t.base[slotAccentBackground]);
    } else {
        strokeRoundRect(r, rect, radius, 1, t.base[slotShadeStrong]);
    }
    double p = scaled(app, 14);
    sectionCaption(app, caption, {rect.x + p, rect.y + p - scaled(app, 2), rect.w - 2 * p, scaled(app, 14)}, 0);
    Color ink = color.a > 0 ? color : t.base[slotText];
    drawTextWith(app, value, {rect.x + p, rect.y + p + scaled(app, 14), rect.w - 2 * p, scaled(app, 24)},
        scaled(app, large ? 18 : 14.5), ink, 0, 1);
}

double statusPill(KitApp& app, std::string_view text, std::string_view status, const Rect& rect)
{
    UiContext& ui = kitUi(app);
    const Theme& t = ui.theme;
    double size = scaled(app, 9.5);
    double h = scaled(app, 16);
    Rect pill{rect.x, rect.y + (rect.h - h) / 2, measureText(app, text, size, 700) + scaled(app, 14), h};
    Color fill = t.base[slotBackgroundDeep], ink = t.base[slotTextSecondary];
    if (status == "adjusted") {
        fill = t.base[slotWarningBackground];
        ink = t.base[slotWarning];
    } else if (status == "paid") {
        fill = t.base[slotSuccessBackground];
        ink = t.base[slotSuccess];
    }
    fillRoundRect(*ui.renderer, pill, h / 2, fill);
    drawText(app, text, pill, size, ink, 0.5, 700);
    return pill.w;
}

void fillCircleAt(KitApp& app, double cx, double cy, double radius, Color color)
{
    fillCircle(*kitUi(app).renderer, cx, cy, radius, color);
}

void drawAvatar(KitApp& app, const Rect& rect, double diameter)
{
    UiContext& ui = kitUi(app);
    double d = diameter > 0 ? diameter : std::min(rect.w, rect.h);
    Rect square{rect.x + (rect.w - d) / 2, rect.y + (rect.h - d) / 2, d, d};
    if (app.pictures && !app.avatarKey.empty()) {
        if (TextureRef tex = avatarTexture(*app.pictures, app.avatarKey)) {
            drawTextureRect(*ui.renderer, *tex, square, colorWhite, 0, 0, 1, 1);
            return;
        }
    }
    fillCircle(*ui.renderer, square.x + d / 2, square.y + d / 2, d / 2, ui.theme.base[slotAccent]);
    drawText(app, userInitials(app), square, 0.42 * d, colorWhite, 0.5, 600);
}

}  // namespace qm
