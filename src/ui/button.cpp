#include "ui/button.h"

#include "platform/render/primitives.h"
#include "ui/layout.h"
#include "ui/text.h"
#include "ui/tooltip.h"
#include "ui/trail.h"
#include "ui/widget_id.h"
#include "ui/wrap.h"

#include <algorithm>
#include <string>
#include <vector>

namespace qm {

namespace {

struct ButtonColors {
    Color fill, outline, ink;
};

ButtonColors buttonColors(const Theme& t, ButtonStyle style, bool hovered, bool held, bool active, bool disabled)
{
    const auto& b = t.base;
    if (disabled) {
        if (style == buttonQuiet || style == buttonQuietDanger || style == buttonLink)
            return {active ? b[slotAccentBackground] : colorTransparent, active ? b[slotBorder] : colorTransparent,
                b[slotTextTertiary]};
        return {b[slotBackground], b[slotBorder], b[slotTextTertiary]};
    }
    switch (style) {
    case buttonPrimary: {
        Color fill = held ? b[slotAccentPressed] : hovered ? b[slotAccentHover] : b[slotAccent];
        return {fill, fill, b[slotContrastLight2]};
    }
    case buttonQuiet: {
        Color fill = held || active ? b[slotAccentBackground] : hovered ? b[slotHover] : colorTransparent;
        return {fill, active ? b[slotBorder] : colorTransparent, b[slotText]};
    }
    case buttonDanger: {
        Color fill = held ? darken(b[slotDanger], 0.15) : hovered ? lighten(b[slotDanger], 0.1) : b[slotDanger];
        return {fill, fill, colorWhite};
    }
    case buttonQuietDanger: {
        Color fill = held || active || hovered ? b[slotDangerBackground] : colorTransparent;
        return {fill, colorTransparent, b[slotDanger]};
    }
    case buttonLink:
        return {colorTransparent, colorTransparent, b[slotLink]};
    default: {
        Color fill = held || active ? b[slotAccentBackground] : hovered ? b[slotHover] : b[slotSurface];
        return {fill, hovered ? b[slotTextTertiary] : b[slotBorder], b[slotText]};
    }
    }
}

}  // namespace

bool drawButton(UiContext& ctx, int64_t id, std::string_view label, const Rect& rect, const ButtonOptions& options)
{
    const IconKind icon = options.icon;
    const bool disabled = options.disabled;
    Theme t = ctx.theme;
    Renderer& r = *ctx.renderer;
    InteractResult res;
    if (disabled) {
        ctx.lastWidgetRect = rect;
        ctx.lastWidgetId = id;
    } else {
        res = interact(ctx, id, rect, 1);
    }
    ButtonColors c = buttonColors(t, options.style, res.hovered, res.held, options.active, disabled);
    double radius = cornerRadius(ctx);
    fillRoundRect(r, rect, radius, c.fill);
    if (c.outline.a > 0)
        strokeRoundRect(r, rect, radius, 1, c.outline);

    double iconSize = dp(ctx, t.metrics[metricIconSize]);
    double gap = dp(ctx, 4);
    double size = fontSize(ctx);
    double iconRoom = icon != icNone ? iconSize + gap : 0;
    double room = std::max(rect.w - dp(ctx, 8) - iconRoom, 0.0);
    std::vector<std::string> lines;
    std::string single(label);
    double lh = lineHeight(*ctx.font, size);
    if (!label.empty() && uiTextWidth(ctx, label, size, 0) > room) {
        lines = wrapText(ctx, label, room, size);
        if (lines.size() < 2 || rect.h < double(lines.size()) * lh + dp(ctx, 4)) {
            lines.clear();
            single = ellipsize(ctx, label, room, size);
        }
    }
    double labelWidth = 0;
    if (lines.empty()) {
        labelWidth = single.empty() ? 0 : uiTextWidth(ctx, single, size, 0);
    } else {
        for (const std::string& line : lines)
            labelWidth = std::max(labelWidth, uiTextWidth(ctx, line, size, 0));
    }
    double iconBlock = icon == icNone ? 0 : label.empty() ? iconSize : iconSize + gap;
    double x = rect.x + (rect.w - (iconBlock + labelWidth)) * 0.5;
    if (icon != icNone) {
        drawIcon(r, icon, {x, rect.y + (rect.h - iconSize) * 0.5, iconSize, iconSize}, c.ink, 1.0);
        x += iconSize + gap;
    }
    if (lines.empty()) {
        if (!single.empty())
            uiDrawText(ctx, single, {x, rect.y, rect.w - (x - rect.x), rect.h}, size, c.ink, 0, 0);
    } else {
        double y = rect.y + (rect.h - double(lines.size()) * lh) * 0.5;
        for (const std::string& line : lines) {
            uiDrawText(ctx, line, {x, y, labelWidth, lh}, size, c.ink, 0.5, 0);
            y += lh;
        }
    }
    if (res.hovered && !disabled)
        ctx.cursorShape = curArrow;
    if (res.clicked)
        addTrail("Button: " + (label.empty() ? std::string(iconName(icon)) : std::string(label)));
    return res.clicked;
}

bool iconButton(UiContext& ctx, std::string_view label, const ButtonOptions& options, double width)
{
    const IconKind icon = options.icon;
    int64_t id = widgetId(ctx, label);
    double size = fontSize(ctx);
    double natural = uiTextWidth(ctx, label, size, 0) + dp(ctx, 24) + (icon != icNone ? dp(ctx, 22) : 0);
    LayoutFrame& f = currentLayout(ctx);
    bool column = f.kind == 0;
    if (width <= 0)
        width = column ? std::min(natural, std::max(availableWidth(ctx), dp(ctx, 40))) : 0;
    double height = rowHeight(ctx);
    if (!label.empty()) {
        noteColumnWidth(ctx, natural - dp(ctx, 16));
        if (column || f.overflow) {
            double given = column ? width : f.w;
            double room =
                given - dp(ctx, 8) - (icon != icNone ? dp(ctx, ctx.theme.metrics[metricIconSize]) + dp(ctx, 4) : 0);
            if (uiTextWidth(ctx, label, size, 0) > room) {
                std::vector<std::string> lines = wrapText(ctx, label, room, size);
                if (lines.size() >= 2)
                    height = std::max(rowHeight(ctx), double(lines.size()) * lineHeight(*ctx.font, size) + dp(ctx, 8));
            }
        }
    }
    Rect rect = nextLayoutRect(ctx, height, width);
    return drawButton(ctx, id, label, rect, options);
}

bool plainIconButton(
    UiContext& ctx, int64_t id, const Rect& rect, std::string_view tooltipText, const ButtonOptions& options)
{
    ButtonOptions quiet = options;
    quiet.style = buttonQuiet;
    bool clicked = drawButton(ctx, id, "", rect, quiet);
    if (!tooltipText.empty())
        setTooltip(ctx, tooltipText);
    return clicked;
}

}  // namespace qm
