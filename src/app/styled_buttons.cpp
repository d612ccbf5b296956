#include "app/styled_buttons.h"

#include "app/app_text.h"
#include "app/theme_apply.h"

#include "app/icon_textures.h"
#include "platform/cursor.h"
#include "platform/render/primitives.h"
#include "ui/layout.h"
#include "ui/spacing.h"
#include "ui/tooltip.h"
#include "ui/widget_id.h"

#include <algorithm>

namespace qm {

namespace {

struct StyleColors {
    Color fill, border, text;
};

StyleColors styleColors(const Theme& t, ButtonStyle style, bool active, bool disabled)
{
    const auto& b = t.base;
    StyleColors c;
    if (style == buttonPrimary)
        c = {disabled    ? b[slotBackgroundDeep]
                : active ? b[slotAccentHover]
                         : b[slotAccent],
            colorTransparent, colorWhite};
    else if (style == buttonDanger)
        c = {disabled    ? b[slotBackgroundDeep]
                : active ? b[slotDangerStrong]
                         : b[slotDanger],
            colorTransparent, colorWhite};
    else if (style == buttonQuiet)
        c = {active ? b[slotHover] : colorTransparent, colorTransparent, b[slotText]};
    else if (style == buttonQuietDanger)
        c = {active ? b[slotDangerBackground] : colorTransparent, colorTransparent, b[slotDanger]};
    else if (style == buttonLink)
        c = {colorTransparent, colorTransparent, b[slotLink]};
    else
        c = {active ? b[slotHover] : b[slotSurface], b[slotBorder], b[slotText]};
    if (disabled)
        c.text = b[slotTextTertiary];
    return c;
}

}  // namespace

bool button(
    AppState& state, std::string_view id, std::string_view label, const Rect& rect, const StyledButtonOptions& options)
{
    const std::string_view icon = options.icon;
    const bool disabled = options.disabled;
    const double fontSize = options.fontSize;
    UiContext& ui = *state.ui;
    Renderer& r = *ui.renderer;
    const Theme& t = ui.theme;
    int64_t wid = widgetId(ui, id);
    InteractResult res;
    if (!disabled)
        res = interact(ui, wid, rect, 1);
    bool active = res.hovered || res.held;
    StyleColors c = styleColors(t, options.style, active, disabled);
    double radius = dp(*state.ui, 9);
    if (c.fill.a > 0)
        fillRoundRect(r, rect, radius, c.fill);
    if (c.border.a > 0)
        strokeRoundRect(r, rect, radius, 1, c.border);

    double size = fontSize > 0 ? fontSize : dp(*state.ui, 13);
    double iconSize = dp(*state.ui, 15), gap = dp(*state.ui, kSpaceSmall);
    double labelWidth = measureText(state, label, size, 600);
    double content = labelWidth + (icon.empty() ? 0 : gap + iconSize);
    double x = rect.x + std::max(dp(*state.ui, 6), (rect.w - content) / 2);
    if (!icon.empty()) {
        drawAppIcon(r, icon, {x, rect.y + (rect.h - iconSize) / 2, iconSize, iconSize}, c.text);
        x += iconSize + gap;
    }
    if (options.style == buttonLink && res.hovered)
        fillRect(r, {x, rect.y + rect.h - dp(*state.ui, 7), labelWidth, 1}, c.text);
    double room = rect.x + rect.w - x - dp(*state.ui, 6);
    drawText(state, elideText(state, label, room, size, 600), {x, rect.y, room, rect.h}, size, c.text, 0, 600);
    if (res.hovered)
        ui.cursorShape = curHand;
    return res.clicked && !disabled;
}

bool flowButton(
    AppState& state, std::string_view id, std::string_view label, const StyledButtonOptions& options, double width)
{
    UiContext& ui = *state.ui;
    double w = width;
    if (w <= 0) {
        if (currentLayout(ui).kind == 0)
            w = measureText(state, label, dp(*state.ui, 13), 600) + dp(*state.ui, 28)
                + (options.icon.empty() ? 0 : dp(*state.ui, 22));
        else
            w = 0;
    }
    Rect rect = nextLayoutRect(ui, dp(*state.ui, 34), w);
    return button(state, id, label, rect, options);
}

bool iconOnlyButton(
    AppState& state, std::string_view id, std::string_view icon, const Rect& rect, const IconOnlyOptions& options)
{
    const bool accent = options.accent, disabled = options.disabled;
    const Color tint = options.tint;
    const std::string_view tooltipText = options.tooltip;
    UiContext& ui = *state.ui;
    Renderer& r = *ui.renderer;
    const Theme& t = ui.theme;
    int64_t wid = widgetId(ui, id);
    InteractResult res;
    if (disabled) {
        ui.lastWidgetRect = rect;
        ui.lastWidgetId = wid;
    } else {
        res = interact(ui, wid, rect, 1);
    }
    bool active = res.hovered || res.held;
    double radius = dp(*state.ui, 8);
    Color ink;
    if (accent) {
        fillRoundRect(r, rect, radius, active ? t.base[slotAccentHover] : t.base[slotAccent]);
        ink = disabled ? t.base[slotTextTertiary] : colorWhite;
    } else {
        if (active)
            fillRoundRect(r, rect, radius, t.base[slotHover]);
        ink = disabled ? t.base[slotTextTertiary] : tint.a > 0 ? tint : t.base[slotTextSecondary];
    }
    double side = 0.55 * std::min(rect.w, rect.h);
    drawAppIcon(r, icon, {rect.x + (rect.w - side) / 2, rect.y + (rect.h - side) / 2, side, side}, ink);
    if (!tooltipText.empty() && res.hovered)
        setTooltip(ui, tooltipText);
    return res.clicked && !disabled;
}

bool segmentedControl(
    AppState& state, std::string_view id, int32_t& selected, const std::vector<std::string>& labels, const Rect& rect)
{
    UiContext& ui = *state.ui;
    Renderer& r = *ui.renderer;
    const Theme& t = ui.theme;
    fillRoundRect(r, rect, dp(*state.ui, 9), t.base[slotBackgroundDeep]);
    if (labels.empty())
        return false;
    double b = dp(*state.ui, 3), radius = dp(*state.ui, 7);
    double segW = (rect.w - 2 * b) / double(labels.size());
    bool changed = false;
    int32_t shown = selected;  // every segment of this frame draws the selection it started with
    for (size_t i = 0; i < labels.size(); ++i) {
        Rect seg{rect.x + b + double(i) * segW, rect.y + b, segW, rect.h - 2 * b};
        InteractResult res = interact(ui, widgetIdIndexed(ui, id, int64_t(i)), seg, 1);
        bool isSelected = int32_t(i) == shown;
        if (isSelected) {
            drawShadowRect(r, seg, radius, dp(*state.ui, 4), withAlpha(t.base[slotShadowSoft], 0.12));
            fillRoundRect(r, seg, radius, t.base[slotSurface]);
        } else if (res.hovered) {
            fillRoundRect(r, seg, radius, t.base[slotHover]);
        }
        drawText(state, labels[i], seg, dp(*state.ui, 12.5), isSelected ? t.base[slotText] : t.base[slotTextSecondary],
            0.5, 600);
        if (res.clicked && !isSelected) {
            selected = int32_t(i);
            changed = true;
        }
    }
    return changed;
}

}  // namespace qm
