#include "ui/layout.h"

#include "ui/hit_test.h"
#include "ui/widget_id.h"

#include <algorithm>
#include <cmath>

namespace qm {

void pushLayout(UiContext& ctx, const Rect& rect)
{
    LayoutFrame f;
    f.x = rect.x;
    f.y = rect.y;
    f.w = rect.w;
    f.h = rect.h;
    f.cursorY = rect.y;
    f.bottom = rect.y;
    f.right = rect.x;
    ctx.layoutStack.push_back(std::move(f));
}

int32_t beginOverlay(UiContext& ctx, const Rect& rect)
{
    int32_t previous = currentLayer(*ctx.renderer);
    setLayer(*ctx.renderer, previous + 1);
    addOverlayRect(ctx, rect);
    pushLayout(ctx, rect);
    return previous;
}

void endOverlay(UiContext& ctx, int32_t previousLayer)
{
    endOverlayLayout(ctx);
    setLayer(*ctx.renderer, previousLayer);
}

LayoutFrame popLayout(UiContext& ctx)
{
    LayoutFrame f = std::move(ctx.layoutStack.back());
    // The root frame stays: widgets drawn after an unbalanced pop still get
    // a frame to lay out in.
    if (ctx.layoutStack.size() > 1)
        ctx.layoutStack.pop_back();
    return f;
}

LayoutFrame endOverlayLayout(UiContext& ctx)
{
    LayoutFrame f = popLayout(ctx);
    LayoutFrame& parent = ctx.layoutStack.back();
    parent.bottom = std::max(parent.bottom, f.bottom);
    return f;
}

LayoutFrame& currentLayout(UiContext& ctx) { return ctx.layoutStack.back(); }

Rect layoutRect(UiContext& ctx)
{
    const LayoutFrame& f = currentLayout(ctx);
    return {f.x, f.y, f.w, f.h};
}

Rect nextLayoutRect(UiContext& ctx, double h, double w)
{
    LayoutFrame& f = currentLayout(ctx);
    double s = spacing(ctx);
    if (f.kind == 0) {
        Rect r{f.x, f.cursorY, w > 0 ? w : f.w, h};
        f.cursorY += h + s;
        f.bottom = std::max(f.bottom, f.cursorY);
        return r;
    }
    if (!f.overflow && f.stacked && f.column == 0) {
        double ht = h > 0 ? h : f.rowHeight;
        Rect r{f.x, f.rowY + (f.rowHeight - ht) * 0.5, f.w, ht};
        f.rowY += f.rowHeight + s;
        f.rowX = f.x;
        f.column += 1;
        f.bottom = std::max(f.bottom, f.rowY);
        return r;
    }
    if (!f.overflow) {
        size_t c = size_t(f.column);
        double width;
        if (c < f.columnWidths.size() && f.columnWidths[c] > 0)
            width = f.columnWidths[c];
        else if (w > 0)
            width = w;
        else
            width = f.x + f.w - f.rowX;
        double ht = h > 0 ? h : f.rowHeight;
        Rect r{f.rowX, f.rowY + (f.rowHeight - ht) * 0.5, width, ht};
        f.rowX += width + s;
        f.column += 1;
        f.bottom = std::max(f.bottom, f.rowY + f.rowHeight);
        f.right = std::max(f.right, f.rowX);
        return r;
    }
    if (f.rowX > f.x)
        f.rowY += f.rowHeight + s;
    Rect r;
    if (h <= 0) {
        r = {f.x, f.rowY, f.w, f.rowHeight};
    } else if (h > f.rowHeight) {
        r = {f.x, f.rowY, f.w, h};
        f.rowY += h - f.rowHeight;
    } else {
        r = {f.x, f.rowY + (f.rowHeight - h) * 0.5, f.w, h};
    }
    f.rowX = f.x + f.w + s;
    f.column += 1;
    f.bottom = std::max(f.bottom, f.rowY + f.rowHeight);
    f.right = std::max(f.right, f.rowX);
    return r;
}

void addSpace(UiContext& ctx, double amount)
{
    LayoutFrame& f = currentLayout(ctx);
    if (f.kind == 1) {
        if (!f.overflow)
            f.rowX += amount;
        return;
    }
    f.cursorY += amount;
    f.bottom = std::max(f.bottom, f.cursorY);
}

double availableWidth(UiContext& ctx)
{
    const LayoutFrame& f = currentLayout(ctx);
    if (f.kind == 1 && !f.overflow)
        return f.x + f.w - f.rowX;
    return f.w;
}

double layoutCursor(UiContext& ctx) { return currentLayout(ctx).cursorY; }

void setLayoutCursor(UiContext& ctx, double y) { currentLayout(ctx).cursorY = y; }

void extendLayout(UiContext& ctx, double y)
{
    LayoutFrame& f = currentLayout(ctx);
    f.bottom = std::max(f.bottom, y);
}

void indent(UiContext& ctx, double amount)
{
    LayoutFrame& f = currentLayout(ctx);
    f.x += amount;
    f.w -= amount;
}

void unindent(UiContext& ctx, double amount) { indent(ctx, -amount); }

bool topWindowNarrow(const UiContext& ctx) { return !ctx.windowStack.empty() && ctx.windowStack.back().squeezed; }

bool rowOverflows(UiContext& ctx)
{
    const LayoutFrame& f = currentLayout(ctx);
    return f.kind == 1 && f.overflow;
}

void beginRow(UiContext& ctx, double height, const std::vector<double>& widths)
{
    LayoutFrame& f = currentLayout(ctx);
    double s = spacing(ctx);
    f.kind = 1;
    f.overflow = f.stacked = false;
    f.rowY = f.cursorY;
    f.rowHeight = height;
    f.rowX = f.x;
    f.column = 0;
    f.columnWidths.clear();
    f.measuredWidths.clear();
    ctx.rowsBegun += 1;

    int64_t parent = ctx.idStack.empty() ? 0 : ctx.idStack.back();
    int32_t k = ctx.rowCounters[parent];
    ctx.rowCounters[parent] = k + 1;
    f.rowId = widgetIdIndexed(ctx, "row", k);

    size_t count = widths.size();
    double fixed = 0, weights = 0;
    for (double w : widths) {
        if (w > 0)
            fixed += w;
        else if (w < 0)
            weights += -w;
    }
    // An empty list has no gaps (and no first width to read below).
    double gaps = double(count > 0 ? count - 1 : 0) * s;
    double rest = std::max(0.0, f.w - fixed - gaps);
    for (double w : widths)
        f.columnWidths.push_back(w > 0 ? w : w < 0 ? -w / weights * rest : 0);
    f.overflow = fixed + gaps > f.w + 0.5;

    bool narrow = topWindowNarrow(ctx);
    if (count >= 2 && !f.overflow && widths[0] > 0 && weights > 0 && (narrow || widths[0] >= dp(ctx, 50))) {
        double narrowest = INFINITY;
        for (size_t j = 0; j < count; ++j)
            if (widths[j] < 0)
                narrowest = std::min(narrowest, f.columnWidths[j]);
        double threshold = narrow ? 90 : 45;
        if (narrowest < dp(ctx, threshold)) {
            f.stacked = true;
            f.columnWidths[0] = f.w;
            double m = std::max(0.0, f.w - (fixed - widths[0]) - double(count - 2) * s);
            for (size_t j = 1; j < count; ++j)
                if (widths[j] < 0)
                    f.columnWidths[j] = -widths[j] / weights * m;
        }
    }

    if (!f.overflow) {
        auto it = ctx.rowWidths.find(f.rowId);
        if (it != ctx.rowWidths.end()) {
            double x = f.x;
            for (size_t j = 0; j < it->second.size(); ++j) {
                double avail = j < f.columnWidths.size() && f.columnWidths[j] > 0 ? f.columnWidths[j]
                                                                                  : std::max(0.0, f.x + f.w - x);
                if (it->second[j] > avail + 0.5) {
                    f.overflow = true;
                    f.stacked = false;
                    break;
                }
                x += avail + s;
            }
        }
    }
    if (f.overflow)
        ctx.overflowRows += 1;
}

void endRow(UiContext& ctx)
{
    LayoutFrame& f = currentLayout(ctx);
    auto it = ctx.rowWidths.find(f.rowId);
    if (f.measuredWidths.empty()) {
        if (it != ctx.rowWidths.end()) {
            ctx.rowWidths.erase(it);
            ctx.layoutChanged = true;
        }
    } else if (it == ctx.rowWidths.end() || it->second != f.measuredWidths) {
        ctx.rowWidths[f.rowId] = f.measuredWidths;
        ctx.layoutChanged = true;
    }
    f.kind = 0;
    f.overflow = false;
    f.cursorY = f.rowY + f.rowHeight + spacing(ctx);
    f.bottom = std::max(f.bottom, f.cursorY);
}

void skipRowCell(UiContext& ctx)
{
    LayoutFrame& f = currentLayout(ctx);
    if (f.kind != 1)
        return;
    if (f.overflow || (f.stacked && f.column == 0)) {
        f.column += 1;
        return;
    }
    nextLayoutRect(ctx, f.rowHeight, 0);
}

void noteColumnWidth(UiContext& ctx, double width)
{
    LayoutFrame& f = currentLayout(ctx);
    if (f.kind != 1)
        return;
    size_t c = size_t(std::max(f.column, 0));
    if (f.measuredWidths.size() <= c)
        f.measuredWidths.resize(c + 1, 0.0);
    f.measuredWidths[c] = std::max(f.measuredWidths[c], width);
}

}  // namespace qm
