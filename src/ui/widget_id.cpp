#include "ui/widget_id.h"

#include "ui/farmhash.h"
#include "ui/hit_test.h"

#include <string>

namespace qm {

namespace {

void remember(UiContext& ctx, int64_t id, std::string_view label)
{
    if (ctx.recorder)
        ctx.recorder->labels[id] = std::string(label);
}

void record(UiContext& ctx, int64_t id, const Rect& rect, bool focusable, uint8_t button)
{
    // A menu's first frame places its entries by a guess, unseen.
    if (!ctx.recorder || ctx.menuMeasuring)
        return;
    ctx.recorder->records.push_back({id, recordedLabel(*ctx.recorder, id), rect, currentLayer(*ctx.renderer), focusable,
        uiClip(ctx), ctx.currentWindowId, button, !ctx.scrollAreaStack.empty()});
}

}  // namespace

int64_t mixWidgetId(uint32_t seed, std::string_view label)
{
    uint32_t h = seed + uint32_t(fingerprint64(label));
    h += h << 10;
    h ^= h >> 6;
    h += h << 3;
    h ^= h >> 11;
    h += h << 15;
    return int64_t(int32_t(h));
}

int64_t widgetId(UiContext& ctx, std::string_view label)
{
    uint32_t seed = ctx.idStack.empty() ? 0x9e3779b9u : uint32_t(uint64_t(ctx.idStack.back()));
    int64_t id = mixWidgetId(seed, label);
    remember(ctx, id, label);
    return id;
}

int64_t widgetIdIndexed(UiContext& ctx, std::string_view label, int64_t n)
{
    std::string text(label);
    text += '#';
    text += std::to_string(n);
    return widgetId(ctx, text);
}

void pushId(UiContext& ctx, std::string_view label) { ctx.idStack.push_back(widgetId(ctx, label)); }

void popId(UiContext& ctx)
{
    if (!ctx.idStack.empty())
        ctx.idStack.pop_back();
}

void pushIds(UiContext& ctx, const std::vector<int64_t>& ids)
{
    ctx.idStack.insert(ctx.idStack.end(), ids.begin(), ids.end());
}

std::vector<int64_t> takeIds(UiContext& ctx, size_t n)
{
    size_t k = std::min(n, ctx.idStack.size());
    std::vector<int64_t> out(ctx.idStack.end() - ptrdiff_t(k), ctx.idStack.end());
    ctx.idStack.resize(ctx.idStack.size() - k);
    return out;
}

InteractResult interact(UiContext& ctx, int64_t id, const Rect& rect, uint8_t button)
{
    InteractResult r;
    size_t b = button < 6 ? button : 0;
    bool over = hitTest(ctx, rect, ctx.pointerX, ctx.pointerY);
    r.hovered = over && (ctx.activeId == 0 || ctx.activeId == id);
    if (r.hovered) {
        setHot(ctx, id);
        if (ctx.buttonsPressed[b] && ctx.activeId == 0)
            setActive(ctx, id);
    }
    if (ctx.activeId == id) {
        r.held = ctx.buttonsDown[b];
        if (ctx.buttonsReleased[b]) {
            ctx.activeId = 0;
            r.clicked = r.hovered;
        }
    }
    r.pressed = r.hovered && ctx.buttonsPressed[b];
    ctx.lastWidgetRect = rect;
    ctx.lastWidgetId = id;
    record(ctx, id, rect, false, button);
    return r;
}

void setHot(UiContext& ctx, int64_t id)
{
    ctx.hotId = id;
    ctx.hotLayer = currentLayer(*ctx.renderer);
}

void setActive(UiContext& ctx, int64_t id)
{
    ctx.activeId = id;
    ctx.activeLayer = currentLayer(*ctx.renderer);
}

bool isFocused(const UiContext& ctx, int64_t id) { return id != 0 && ctx.focusId == id; }

void setFocus(UiContext& ctx, int64_t id)
{
    ctx.focusId = id;
    ctx.pendingFocus = 0;
}

void addFocusable(UiContext& ctx, int64_t id)
{
    ctx.focusables.push_back(id);
    if (ctx.recorder) {
        // The widget usually went through interact just before.
        for (auto it = ctx.recorder->records.rbegin(); it != ctx.recorder->records.rend(); ++it) {
            if (it->id == id) {
                it->focusable = true;
                return;
            }
        }
        record(ctx, id, ctx.lastWidgetRect, true, 0);
    }
}

}  // namespace qm
