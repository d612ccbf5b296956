#include "ui/menu.h"

#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/input.h"
#include "ui/layout.h"
#include "ui/text.h"
#include "ui/trail.h"
#include "ui/widget_id.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace qm {

void openContextMenu(UiContext& ctx, std::string_view name, double x, double y)
{
    openPopup(ctx, widgetId(ctx, "ctx" + std::string(name)), {x, y, 1, 1});
}

bool contextMenu(UiContext& ctx, std::string_view name, double width)
{
    return beginMenu(ctx, widgetId(ctx, "ctx" + std::string(name)), width, "ctxitems" + std::string(name));
}

bool beginMenu(UiContext& ctx, int64_t popupId, double width, std::string_view scope)
{
    if (!isPopupOpen(ctx, popupId))
        return false;
    std::shared_ptr<PopupState> ps = popupState(ctx, popupId);
    double w = width > 0 ? width : dp(ctx, 200);
    if (!std::isnan(ps->contentWidth))
        w = std::max(w, ps->contentWidth);
    double contentH = ps->contentHeight > 0 ? ps->contentHeight : dp(ctx, 60);
    const Rect& anchor = ctx.popupAnchor;
    double x = anchor.x + w > ctx.viewWidth ? ctx.viewWidth - w - dp(ctx, 2) : anchor.x;
    double maxH = std::max(dp(ctx, 60), ctx.viewHeight - dp(ctx, 4));
    double h = std::min(contentH, maxH);
    double y = h + anchor.y > ctx.viewHeight ? std::max(dp(ctx, 2), ctx.viewHeight - h - dp(ctx, 2)) : anchor.y;
    // Its size is known only once its entries are laid out: until then it
    // would show (and take clicks) at a guessed size and place.
    ctx.menuMeasuring = !(ps->contentHeight > 0);
    if (ctx.menuMeasuring)
        ctx.layoutChanged = true;
    beginMenuPanel(ctx, {x, y, w, h}, contentH, scope);
    return true;
}

void beginMenuPanel(UiContext& ctx, const Rect& rect, double contentH, std::string_view scope)
{
    Renderer& r = *ctx.renderer;
    const Theme& t = ctx.theme;
    setPopupRect(ctx, rect);
    ctx.menuContentWidth = 0;
    beginOverlay(ctx, rect);
    if (ctx.menuMeasuring)
        pushClip(r, Rect{0, 0, 0, 0});
    double radius = cornerRadius(ctx);
    drawShadowRect(r, rect, radius, dp(ctx, 12), withAlpha(t.base[slotShadowSoft], 0.2));
    fillRoundRect(r, rect, radius, t.derived[derivedMenuFill]);
    strokeRoundRect(r, rect, radius, 1, t.derived[derivedMenuBorder]);
    endOverlayLayout(ctx);
    ctx.menuOverflow = contentH > rect.h + 0.5;
    double contentTop;
    if (ctx.menuOverflow) {
        double strip = dp(ctx, 18);
        ctx.menuBodyRect = {rect.x, rect.y + strip, rect.w, rect.h - 2 * strip};
        double maxScroll = std::max(0.0, contentH - ctx.menuBodyRect.h);
        ctx.menuScroll -= wheelScroll(ctx, ctx.popupId, ctx.menuBodyRect, 2 * smallRowHeight(ctx), 0);
        double speed = smallRowHeight(ctx) * 14 * std::max(ctx.dt, 1.0 / 120);
        if (ctx.buttonsDown[1])
            speed *= 3;
        double px = ctx.pointerX, py = ctx.pointerY;
        if (px >= rect.x && px < rect.x + rect.w) {
            if (py >= rect.y && py < rect.y + strip && ctx.menuScroll > 0) {
                ctx.menuScroll -= speed;
                ctx.layoutChanged = true;
            } else if (py >= rect.y + rect.h - strip && py < rect.y + rect.h && ctx.menuScroll < maxScroll) {
                ctx.menuScroll += speed;
                ctx.layoutChanged = true;
            }
        }
        ctx.menuScroll = std::clamp(ctx.menuScroll, 0.0, maxScroll);
        double arrow = dp(ctx, 14);
        Color up = ctx.menuScroll > 0 ? t.derived[derivedText] : t.derived[derivedTextTertiary];
        Color down = ctx.menuScroll < maxScroll ? t.derived[derivedText] : t.derived[derivedTextTertiary];
        drawIcon(r, icChevronUp, {rect.x + (rect.w - arrow) / 2, rect.y + (strip - arrow) / 2, arrow, arrow}, up, 1);
        drawIcon(r, icChevronDown,
            {rect.x + (rect.w - arrow) / 2, rect.y + rect.h - strip + (strip - arrow) / 2, arrow, arrow}, down, 1);
        pushClip(r, ctx.menuBodyRect);
        contentTop = ctx.menuBodyRect.y + dp(ctx, 4) - ctx.menuScroll;
    } else {
        contentTop = rect.y + dp(ctx, 4);
    }
    pushLayout(ctx, {rect.x + dp(ctx, 4), contentTop, rect.w - dp(ctx, 8), 1e9});
    pushId(ctx, scope);
}

bool menuEntry(UiContext& ctx, std::string_view label, std::string_view shortcut, bool enabled, IconKind icon)
{
    const Theme& t = ctx.theme;
    int64_t id = widgetId(ctx, "mi" + std::string(label));
    Rect rect = nextLayoutRect(ctx, smallRowHeight(ctx) + dp(ctx, 2), 0);
    setLayoutCursor(ctx, layoutCursor(ctx) - (spacing(ctx) - dp(ctx, 1)));
    InteractResult res;
    if (enabled && (!ctx.menuOverflow || rectContains(ctx.menuBodyRect, ctx.pointerX, ctx.pointerY))) {
        res = interact(ctx, id, rect, 1);
        if (res.hovered)
            fillRoundRect(*ctx.renderer, rect, dp(ctx, 3), t.derived[derivedMenuHover]);
    } else {
        ctx.lastWidgetRect = rect;  // a disabled entry is still the last widget drawn
        ctx.lastWidgetId = id;
    }
    if (icon != icNone) {
        double side = dp(ctx, 16);
        drawIcon(*ctx.renderer, icon, {rect.x + dp(ctx, 4), rect.y + (rect.h - side) / 2, side, side},
            enabled ? t.derived[derivedTextSecondary] : t.derived[derivedTextTertiary], 1);
    }
    uiDrawText(ctx, label, {rect.x + dp(ctx, 26), rect.y, rect.w - dp(ctx, 30), rect.h}, 0,
        enabled ? t.derived[derivedText] : t.derived[derivedTextTertiary], 0, 0);
    double width = dp(ctx, 26) + uiTextWidth(ctx, label, 0, 0) + dp(ctx, 14);
    if (!shortcut.empty()) {
        uiDrawText(ctx, shortcut, {rect.x, rect.y, rect.w - dp(ctx, 10), rect.h}, smallFontSize(ctx),
            t.derived[derivedTextSecondary], 1, 0);
        width += dp(ctx, 18) + uiTextWidth(ctx, shortcut, smallFontSize(ctx), 0);
    }
    ctx.menuContentWidth = std::max(ctx.menuContentWidth, width);
    if (res.clicked) {
        addTrail("Menu: " + std::string(label));
        closePopup(ctx);
        return true;
    }
    return false;
}

void menuSeparator(UiContext& ctx)
{
    Rect rect = nextLayoutRect(ctx, dp(ctx, 7), 0);
    setLayoutCursor(ctx, layoutCursor(ctx) - (spacing(ctx) - dp(ctx, 1)));
    fillRect(*ctx.renderer, {rect.x + dp(ctx, 4), rect.y + rect.h * 0.5, rect.w - dp(ctx, 8), 1},
        ctx.theme.derived[derivedDivider]);
}

void endPopup(UiContext& ctx)
{
    popId(ctx);
    LayoutFrame content = popLayout(ctx);
    if (ctx.menuOverflow) {
        popClip(*ctx.renderer);
        ctx.menuOverflow = false;
    }
    if (ctx.menuMeasuring) {
        popClip(*ctx.renderer);
        ctx.menuMeasuring = false;
    }
    if (ctx.popupId != 0) {
        std::shared_ptr<PopupState> ps = popupState(ctx, ctx.popupId);
        ps->contentHeight = content.bottom - content.y + dp(ctx, 8);
        ps->contentWidth = dp(ctx, 8) + ctx.menuContentWidth;
    }
    setLayer(*ctx.renderer, std::max(0, currentLayer(*ctx.renderer) - 1));
}

}  // namespace qm
