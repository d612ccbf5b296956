#include "ui/scroll_area.h"

#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/layout.h"
#include "ui/widget_id.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace qm {

namespace {

std::string prefixed(const char* prefix, std::string_view name) { return std::string(prefix) + std::string(name); }

}  // namespace

Rect beginScrollArea(UiContext& ctx, std::string_view name, const Rect& rect, Color background, bool border)
{
    Renderer& r = *ctx.renderer;
    int64_t id = widgetId(ctx, prefixed("scroll", name));
    std::shared_ptr<ScrollState> st = scrollState(ctx, id);
    if (background.a > 0)
        fillRect(r, rect, background);
    if (border)
        strokeRect(r, rect, 1, ctx.theme.derived[derivedDivider]);
    double viewH = rect.h;
    bool bar = st->contentHeight > viewH + 0.5;
    double barW = bar ? dp(ctx, ctx.theme.metrics[metricScrollbarWidth]) : 0;
    if (!ctx.windowStack.empty() && ctx.windowStack.back().firstFrame) {
        st->offset = 0;
        st->dragging = false;
    }
    double maxOffset = std::max(0.0, st->contentHeight - viewH);
    st->offset = std::clamp(st->offset, 0.0, maxOffset);
    if (bar) {
        Rect track{rect.x + rect.w - barW, rect.y, barW, rect.h};
        double ratio = viewH / st->contentHeight * viewH;
        double thumbH = std::isnan(ratio) ? dp(ctx, 24) : std::max(ratio, dp(ctx, 24));
        Rect thumb{
            track.x + dp(ctx, 2), rect.y + st->offset / maxOffset * (rect.h - thumbH), barW - dp(ctx, 4), thumbH};
        InteractResult res = interact(ctx, widgetId(ctx, prefixed("scrollbar", name)), thumb, 1);
        if (res.pressed) {
            st->dragging = true;
            st->dragStartY = ctx.pointerY;
            st->dragStartOffset = st->offset;
        }
        if (res.held && st->dragging) {
            double range = rect.h - thumbH;
            if (!(range > 1))
                range = 1;
            st->offset =
                std::clamp((ctx.pointerY - st->dragStartY) / range * maxOffset + st->dragStartOffset, 0.0, maxOffset);
        } else if (!res.held) {
            st->dragging = false;
        }
        fillRect(r, track, ctx.theme.derived[derivedScrollTrack]);
        fillRoundRect(r, thumb, 0.5 * barW - dp(ctx, 2),
            res.held || res.hovered ? ctx.theme.derived[derivedScrollThumbHover]
                                    : ctx.theme.derived[derivedScrollThumb]);
    }
    st->rect = rect;
    pushClip(r, {rect.x, rect.y, rect.w - barW, rect.h});
    pushLayout(ctx, {rect.x, rect.y - st->offset, rect.w - barW, 1e9});
    pushId(ctx, prefixed("scroll", name));
    ctx.scrollAreaStack.push_back(id);
    return {rect.x, rect.y, rect.w - barW, rect.h};
}

void endScrollArea(UiContext& ctx, std::string_view name)
{
    popId(ctx);
    if (!ctx.scrollAreaStack.empty())
        ctx.scrollAreaStack.pop_back();
    LayoutFrame content = popLayout(ctx);
    popClip(*ctx.renderer);
    int64_t id = widgetId(ctx, prefixed("scroll", name));
    std::shared_ptr<ScrollState> st = scrollState(ctx, id);
    st->contentHeight = content.bottom - content.y;
    if (ctx.popupId == 0 && st->contentHeight - st->rect.h > 0) {
        double d = wheelScroll(ctx, id, st->rect, dp(ctx, 40), dp(ctx, ctx.theme.metrics[metricScrollbarWidth]));
        st->offset = std::clamp(st->offset - d, 0.0, std::max(0.0, st->contentHeight - st->rect.h));
    }
    extendLayout(ctx, st->rect.y + st->rect.h);
}

void revealInScrollArea(UiContext& ctx, const Rect& rect)
{
    if (ctx.scrollAreaStack.empty())
        return;
    std::shared_ptr<ScrollState> st = scrollState(ctx, ctx.scrollAreaStack.back());
    double areaBottom = st->rect.y + st->rect.h;
    double visibleBottom = std::isnan(ctx.viewHeight) ? areaBottom : std::min(ctx.viewHeight, areaBottom);
    double top = st->rect.y;
    double visibleH = visibleBottom - top;
    double margin = dp(ctx, 12);
    if (rect.h + margin > visibleH)
        return;
    double delta = 0;
    if (rect.y + rect.h + margin - visibleBottom > 0)
        delta = rect.y + rect.h + margin - visibleBottom;
    else if (top > rect.y - margin)
        delta = rect.y - margin - top;
    if (std::fabs(delta) >= 0.5) {
        double next = std::clamp(st->offset + delta, 0.0, std::max(0.0, st->contentHeight - visibleH));
        if (std::fabs(next - st->offset) >= 0.5) {
            st->offset = next;
            ctx.layoutChanged = true;
        }
    }
}

}  // namespace qm
