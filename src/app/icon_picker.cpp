#include "app/icon_picker.h"

#include "app/app_text.h"
#include "app/theme_apply.h"

#include "app/icon_textures.h"
#include "app/picture_cache.h"
#include "app/popover.h"
#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/spacing.h"
#include "ui/text_edit.h"
#include "ui/tooltip.h"
#include "ui/widget_id.h"

#include <algorithm>
#include <cmath>

namespace qm {

namespace {

constexpr std::string_view kBuiltinPrefix = "builtin:";

std::string named(std::string_view prefix, std::string_view name)
{
    std::string s(prefix);
    s += name;
    return s;
}

const CustomIcon* iconById(const AppState& state, int64_t id)
{
    if (!state.store)
        return nullptr;
    std::optional<size_t> at = findIcon(*state.store->budget, id);
    return at ? &state.store->budget->icons[*at] : nullptr;
}

std::string_view categoryName(const AppState& state, int64_t categoryId)
{
    if (state.store)
        for (const Category& c : state.store->budget->categories)
            if (c.id == categoryId)
                return c.name;
    return {};
}

Rect inset(const Rect& r, double d) { return {r.x + d, r.y + d, r.w - 2 * d, r.h - 2 * d}; }

}  // namespace

std::string builtinIconName(const CustomIcon& icon)
{
    if (icon.url.rfind(kBuiltinPrefix, 0) == 0)
        return icon.url.substr(kBuiltinPrefix.size());
    return "tune";
}

void drawIconRef(AppState& state, int64_t iconId, std::string_view fallbackIcon, const Rect& rect, Color tint)
{
    Renderer& r = *state.ui->renderer;
    const CustomIcon* icon = iconById(state, iconId);
    if (icon && state.pictures && isCustomIconRef(icon->url)) {
        PictureTexture pic = customIconTexture(*state.pictures, icon->url);
        if (pic.texture && pic.width > 0 && pic.height > 0) {
            double k = std::min(rect.w / pic.width, rect.h / pic.height);
            double w = pic.width * k, h = pic.height * k;
            drawTextureRect(
                r, *pic.texture, {rect.x + (rect.w - w) / 2, rect.y + (rect.h - h) / 2, w, h}, tint, 0, 0, 1, 1);
            return;
        }
    }
    drawAppIcon(r, fallbackIcon, rect, tint);
}

void iconBadge(AppState& state, int64_t iconId, std::string_view iconName, Color color, const Rect& rect)
{
    UiContext& ui = *state.ui;
    double d = std::min(rect.w, rect.h);
    Rect square{rect.x + (rect.w - d) / 2, rect.y + (rect.h - d) / 2, d, d};
    fillRoundRect(*ui.renderer, square, 0.32 * d, withOverlayAlpha(ui.theme, color));
    double inner = std::round(0.62 * d);
    drawIconRef(state, iconId, iconName, {square.x + (d - inner) / 2, square.y + (d - inner) / 2, inner, inner}, color);
}

bool iconPicker(AppState& state, std::string_view name, int64_t& iconId, int64_t categoryId, const Rect& rect)
{
    UiContext& ui = *state.ui;
    Renderer& r = *ui.renderer;
    const Theme& t = ui.theme;
    int64_t id = widgetId(ui, named("iconpick", name));
    InteractResult res = interact(ui, id, rect, 1);
    bool open = isPopupOpen(ui, id);
    drawFieldFrame(ui, rect, {.hovered = res.hovered, .focused = open});
    Color c = categoryColor(state, categoryName(state, categoryId));
    double badge = dp(*state.ui, 22);
    Rect square{rect.x + dp(*state.ui, 6), rect.y + (rect.h - badge) / 2, badge, badge};
    std::string label;
    if (const CustomIcon* icon = iconById(state, iconId)) {
        iconBadge(state, icon->id, builtinIconName(*icon), c, square);
        label = icon->name;
    } else {
        fillRoundRect(r, square, dp(*state.ui, 7), t.base[slotBackgroundDeep]);
        drawNoneSign(r, inset(square, dp(*state.ui, 4)), t.base[slotTextTertiary]);
        label = "Category default";
    }
    double x = square.x + square.w + dp(*state.ui, 8), size = dp(*state.ui, 13);
    double room = rect.x + rect.w - dp(*state.ui, 28) - x;
    drawText(
        state, elideText(state, label, room, size, 400), {x, rect.y, room, rect.h}, size, t.base[slotText], 0, 400);
    double chevron = dp(*state.ui, 16);
    drawAppIcon(r, "chevron_down",
        {rect.x + rect.w - dp(*state.ui, 8) - chevron, rect.y + (rect.h - chevron) / 2, chevron, chevron},
        t.base[slotTextTertiary]);
    if (res.clicked) {
        if (open)
            closePopup(ui);
        else
            openPopup(ui, id, rect);
    }
    if (!isPopupOpen(ui, id))
        return false;

    static const std::vector<CustomIcon> kNoIcons;
    const std::vector<CustomIcon>& icons = state.store ? state.store->budget->icons : kNoIcons;
    double s = dp(*state.ui, 44), pad = dp(*state.ui, kSpaceBase);
    size_t n = icons.size();
    Rect panel = placePopover(state, rect, 6 * s + 2 * pad, double((n + 6) / 6) * s + 2 * pad);
    int32_t previous = beginPopover(state, panel);
    auto cellAt = [&](size_t k) {
        return Rect{panel.x + pad + double(k % 6) * s, panel.y + pad + double(k / 6) * s, s, s};
    };
    bool changed = false;
    double radius = dp(*state.ui, 8);

    Rect none = cellAt(0);
    InteractResult noneRes = interact(ui, widgetId(ui, named("ic", name) + "none"), none, 1);
    if (iconId == 0)
        fillRoundRect(r, inset(none, dp(*state.ui, 3)), radius, t.base[slotAccentBackground]);
    else if (noneRes.hovered)
        fillRoundRect(r, inset(none, dp(*state.ui, 3)), radius, t.base[slotHover]);
    drawNoneSign(r, inset(none, dp(*state.ui, 13)), t.base[slotTextTertiary]);
    if (noneRes.hovered)
        setTooltip(ui, "No icon (category default)");
    if (noneRes.clicked) {
        changed = iconId != 0;
        iconId = 0;
        closePopup(ui);
    }

    std::string cellPrefix = named("ic", name);
    for (size_t k = 1; k <= n; ++k) {
        const CustomIcon& icon = icons[k - 1];
        Rect cell = cellAt(k);
        InteractResult cellRes = interact(ui, widgetIdIndexed(ui, cellPrefix, int64_t(k)), cell, 1);
        if (icon.id == iconId)
            fillRoundRect(r, inset(cell, dp(*state.ui, 3)), radius, t.base[slotAccentBackground]);
        else if (cellRes.hovered)
            fillRoundRect(r, inset(cell, dp(*state.ui, 3)), radius, t.base[slotHover]);
        drawIconRef(state, icon.id, builtinIconName(icon), inset(cell, dp(*state.ui, 12)), c);
        if (cellRes.hovered)
            setTooltip(ui, icon.name);
        if (cellRes.clicked) {
            changed = changed || iconId != icon.id;
            iconId = icon.id;
            closePopup(ui);
        }
    }
    endPopover(state, previous);
    return changed;
}

}  // namespace qm
