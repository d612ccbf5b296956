#include "app/display_elements.h"

#include "app/account_state.h"
#include "app/app_text.h"
#include "app/theme_apply.h"
#include "core/ascii.h"

#include "app/picture_cache.h"
#include "platform/render/primitives.h"
#include "ui/layout.h"

#include <algorithm>
#include <cmath>

namespace qm {

namespace {

constexpr double kCaptionSize = 10.5;
constexpr double kCardPadding = 14;

}  // namespace

void sectionCaption(AppState& state, std::string_view text, const Rect& rect, double align)
{
    drawText(
        state, asciiUpper(text), rect, dp(*state.ui, kCaptionSize), state.ui->theme.base[slotTextTertiary], align, 600);
}

void layoutCaption(AppState& state, std::string_view text)
{
    sectionCaption(state, text, nextLayoutRect(*state.ui, dp(*state.ui, 16), 0), 0);
}

void captionValue(AppState& state, const Rect& rect, std::string_view caption, std::string_view value, Color color)
{
    sectionCaption(state, caption, {rect.x, rect.y, rect.w, dp(*state.ui, 14)}, 0);
    Color ink = color.a > 0 ? color : state.ui->theme.base[slotText];
    drawTextWith(
        state, value, {rect.x, rect.y + dp(*state.ui, 15), rect.w, dp(*state.ui, 22)}, dp(*state.ui, 14.5), ink, 0, 1);
}

void infoCard(AppState& state, const Rect& rect, std::string_view caption, std::string_view value, Color color,
    const InfoCardLook& look)
{
    const bool highlighted = look.highlighted, large = look.large;
    UiContext& ui = *state.ui;
    Renderer& r = *ui.renderer;
    const Theme& t = ui.theme;
    double radius = dp(*state.ui, 12);
    fillRoundRect(r, rect, radius, t.base[slotSurface]);
    if (highlighted) {
        strokeRoundRect(r, rect, radius, 1, t.base[slotAccent]);
        fillRoundRect(r, rect, radius, t.base[slotAccentBackground]);
    } else {
        strokeRoundRect(r, rect, radius, 1, t.base[slotShadeStrong]);
    }
    double p = dp(*state.ui, kCardPadding);
    sectionCaption(state, caption, {rect.x + p, rect.y + p - dp(*state.ui, 2), rect.w - 2 * p, dp(*state.ui, 14)}, 0);
    Color ink = color.a > 0 ? color : t.base[slotText];
    // A figure wider than a narrow card (a phone's third of the width) is
    // drawn smaller rather than over the card's edge.
    double room = std::max(0.0, rect.w - 2 * p);
    double size = dp(*state.ui, large ? 18 : 14.5);
    double width = measureTextWith(state, value, size, 1);
    if (width > room && width > 0)
        size = std::floor(size * room / width * 4) / 4;
    drawTextWith(state, value, {rect.x + p, rect.y + p + dp(*state.ui, 14), room, dp(*state.ui, 24)}, size, ink, 0, 1);
}

double infoCardWidth(const AppState& state, std::string_view caption, std::string_view value, bool large)
{
    double captionW = measureText(state, asciiUpper(caption), dp(*state.ui, kCaptionSize), 600);
    double valueW = measureTextWith(state, value, dp(*state.ui, large ? 18 : 14.5), 1);
    return std::ceil(std::max(captionW, valueW) + 2 * dp(*state.ui, kCardPadding));
}

double statusPill(AppState& state, std::string_view text, std::string_view status, const Rect& rect)
{
    UiContext& ui = *state.ui;
    const Theme& t = ui.theme;
    double size = dp(*state.ui, 9.5);
    double h = dp(*state.ui, 16);
    Rect pill{rect.x, rect.y + (rect.h - h) / 2, measureText(state, text, size, 700) + dp(*state.ui, 14), h};
    Color fill = t.base[slotBackgroundDeep], ink = t.base[slotTextSecondary];
    if (status == "adjusted") {
        fill = t.base[slotWarningBackground];
        ink = t.base[slotWarning];
    } else if (status == "paid") {
        fill = t.base[slotSuccessBackground];
        ink = t.base[slotSuccess];
    }
    fillRoundRect(*ui.renderer, pill, h / 2, fill);
    drawText(state, text, pill, size, ink, 0.5, 700);
    return pill.w;
}

void fillCircleAt(AppState& state, double cx, double cy, double radius, Color color)
{
    fillCircle(*state.ui->renderer, cx, cy, radius, color);
}

void drawAvatar(AppState& state, const Rect& rect, double diameter)
{
    UiContext& ui = *state.ui;
    double d = diameter > 0 ? diameter : std::min(rect.w, rect.h);
    Rect square{rect.x + (rect.w - d) / 2, rect.y + (rect.h - d) / 2, d, d};
    std::string key = state.store ? avatarKey(isSignedIn(state), state.store->budget->user) : std::string();
    if (state.pictures && !key.empty()) {
        if (TextureRef tex = avatarTexture(*state.pictures, key)) {
            drawTextureRect(*ui.renderer, *tex, square, colorWhite, 0, 0, 1, 1);
            return;
        }
    }
    fillCircle(*ui.renderer, square.x + d / 2, square.y + d / 2, d / 2, ui.theme.base[slotAccent]);
    drawText(state, userInitials(state), square, 0.42 * d, colorWhite, 0.5, 600);
}

}  // namespace qm
