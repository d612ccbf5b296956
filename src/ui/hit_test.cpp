#include "ui/hit_test.h"

#include "ui/hit_test_internal.h"
#include "ui/input.h"

#include <limits>

namespace qm {

namespace {

bool hitTestIn(
    const UiContext& ctx, const Rect& rect, const Rect& clip, int32_t layer, int64_t windowId, double x, double y)
{
    if (ctx.modalActive && layer < ctx.modalLayer)
        return false;
    if (!rectContains(rect, x, y) || !rectContains(clip, x, y))
        return false;
    for (const OverlayRect& o : ctx.overlaysLast)
        if (o.layer > layer && rectContains(o.rect, x, y))
            return false;
    for (const WindowRect& w : ctx.windowRectsLast) {
        if (w.windowId == windowId || w.layer < layer || !rectContains(w.rect, x, y))
            continue;
        // A held widget keeps the pointer while it is dragged over a window.
        if (ctx.activeId == 0 || ctx.activeId == w.windowId)
            return false;
    }
    return true;
}

}  // namespace

bool hitTest(const UiContext& ctx, const Rect& rect, double x, double y)
{
    return hitTestIn(ctx, rect, currentClip(*ctx.renderer), currentLayer(*ctx.renderer), ctx.currentWindowId, x, y);
}

bool hitTestRecorded(const UiContext& ctx, const WidgetRecord& w, double x, double y)
{
    return hitTestIn(ctx, w.rect, w.clip, w.layer, w.windowId, x, y);
}

const WidgetRecord* pressTarget(const UiContext& ctx, uint8_t button, double x, double y)
{
    if (!ctx.recorder)
        return nullptr;
    // interact hands a press to the first widget drawn under the pointer
    // that passes the hit test; those after it see it held by another.
    for (const WidgetRecord& w : ctx.recorder->records)
        if (w.button == button && hitTestRecorded(ctx, w, x, y))
            return &w;
    return nullptr;
}

bool mouseIn(const UiContext& ctx, const Rect& rect) { return hitTest(ctx, rect, ctx.pointerX, ctx.pointerY); }

Rect uiClip(const UiContext& ctx) { return currentClip(*ctx.renderer); }

void addOverlayRect(UiContext& ctx, const Rect& rect) { ctx.overlays.push_back({rect, currentLayer(*ctx.renderer)}); }

void openPopup(UiContext& ctx, int64_t id, const Rect& anchor)
{
    ctx.popupId = id;
    ctx.popupAnchor = anchor;
    ctx.popupOpenedFrame = ctx.frame;
    ctx.popupRect = Rect{};
    ctx.popupKeep = Rect{};
    ctx.popupLayer = std::numeric_limits<int32_t>::max();
    ctx.menuScroll = 0;
}

void setPopupRect(UiContext& ctx, const Rect& rect)
{
    ctx.popupRect = rect;
    ctx.popupLayer = currentLayer(*ctx.renderer) + 1;
}

bool isPopupOpen(const UiContext& ctx, int64_t id) { return ctx.popupId == id; }

void closePopup(UiContext& ctx) { ctx.popupId = 0; }

void keepPopupOpenOver(UiContext& ctx, const Rect& rect) { ctx.popupKeep = rect; }

double wheelScroll(UiContext& ctx, int64_t id, const Rect& rect, double step, double barWidth)
{
    bool over = hitTest(ctx, rect, ctx.pointerX, ctx.pointerY);
    Rect region = intersectRect(Rect{rect.x, rect.y, rect.w - barWidth, rect.h}, currentClip(*ctx.renderer));
    ctx.scrollRegions.push_back({region, currentLayer(*ctx.renderer), regionScrollable});
    double result = 0;
    if (over && ctx.wheelY != 0) {
        result = ctx.wheelY * step;
        ctx.wheelX = 0;
        ctx.wheelY = 0;
    }
    if (ctx.pinchSum != 0) {
        if (ctx.gestureTarget != 0 && ctx.gestureTarget != id)
            return result;
        if (ctx.gestureTarget == 0 && !hitTest(ctx, rect, ctx.gestureX, ctx.gestureY))
            return result;
        ctx.gestureTarget = id;
        result += ctx.pinchSum;
        ctx.pinchSum = 0;
    }
    return result;
}

}  // namespace qm
