#include "ui/window.h"

#include "platform/keys.h"
#include "platform/render/primitives.h"
#include "ui/button.h"
#include "ui/hit_test.h"
#include "ui/input.h"
#include "ui/layout.h"
#include "ui/scroll_area.h"
#include "ui/text.h"
#include "ui/trail.h"
#include "ui/widget_id.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace qm {

namespace {

std::string named(const char* prefix, std::string_view name)
{
    std::string s(prefix);
    s.append(name);
    return s;
}

double centredX(double viewW, double w) { return std::round((viewW - w) * 0.5); }

double centredY(double viewH, double h) { return std::round((viewH - h) * 0.4); }

}  // namespace

bool beginWindow(UiContext& ctx, std::string_view name, std::string_view title, WindowState& st, double width,
    double height, const WindowOptions& options)
{
    const bool modal = options.modal, closeButton = options.closeButton, resizable = options.resizable;
    const bool dimBackdrop = options.dimBackdrop;
    if (!st.open)
        return false;
    const Theme& t = ctx.theme;
    Renderer& r = *ctx.renderer;
    int64_t id = widgetId(ctx, named("win", name));
    double vw = ctx.viewWidth, vh = ctx.viewHeight;
    bool fits = vw >= dp(ctx, 160) && vh >= dp(ctx, 120);
    bool placed = st.positioned && st.rect.w > 0;
    if (!fits && !placed)
        return false;
    if (!placed) {
        addTrail(named("Window: ", title));
        st.rect = {centredX(vw, width), centredY(vh, height), width, height};
        st.positioned = true;
        if (resizable)
            st.squeezed = false;
        st.contentHeight = 0;
    }
    double margin = dp(ctx, 8);
    double p = windowPadding(ctx);
    double titleH = dp(ctx, 32);
    Rect& rc = st.rect;
    if (fits) {
        double roomW = vw - 2 * margin, roomH = vh - 2 * margin;
        if (!resizable) {
            bool tooWide = width > roomW;
            rc.w = tooWide ? std::max(roomW, dp(ctx, 200)) : width;
            rc.h = height;
            if (tooWide && st.contentHeight > 0)
                rc.h = std::max(rc.h, std::ceil(2 * p + dp(ctx, 32) + st.contentHeight + st.footerHeight));
            if (rc.h > roomH)
                rc.h = std::max(roomH, dp(ctx, 120));
            if (tooWide) {
                rc.x = centredX(vw, rc.w);
                if (!st.moved)
                    rc.y = std::max(centredY(vh, rc.h), margin);
                st.squeezed = true;
            } else {
                if (st.squeezed) {
                    st.squeezed = false;
                    st.recentreFrames = 4;
                }
                if (st.recentreFrames > 0) {
                    --st.recentreFrames;
                    if (!st.moved) {
                        rc.x = centredX(vw, rc.w);
                        rc.y = centredY(vh, rc.h);
                    }
                }
            }
        } else {
            if (roomW < rc.w || st.squeezed) {
                if (!st.squeezed) {
                    st.savedRect = rc;
                    st.squeezed = true;
                }
                if (st.savedRect.w <= roomW && st.savedRect.h <= roomH) {
                    rc = st.savedRect;
                    st.squeezed = false;
                } else {
                    rc.w = std::min(st.savedRect.w, std::max(roomW, dp(ctx, 200)));
                    rc.h = std::min(st.savedRect.h, std::max(roomH, dp(ctx, 120)));
                    rc.x = centredX(vw, rc.w);
                    if (!st.moved)
                        rc.y = std::max(centredY(vh, rc.h), margin);
                }
            }
            if (rc.h > roomH)
                rc.h = std::max(roomH, dp(ctx, 120));
            if (rc.w > roomW)
                rc.w = std::max(roomW, dp(ctx, 200));
        }
        rc.x = std::clamp(rc.x, 0.0, std::max(vw - rc.w, 0.0));
        rc.y = std::clamp(rc.y, 0.0, std::max(vh - rc.h, 0.0));
    }

    // Frames count from 1, so a lastFrame of 0 means never drawn (in frame 1
    // it would otherwise pass for "drawn in the frame before").
    bool first = st.lastFrame == 0 || (st.lastFrame != ctx.frame && st.lastFrame != ctx.frame - 1);
    st.lastFrame = ctx.frame;
    if (first)
        ctx.layoutChanged = true;

    WindowFrame frame;
    frame.name = std::string(name);
    frame.previousLayer = currentLayer(r);
    frame.previousWindowId = ctx.currentWindowId;
    frame.firstFrame = first;
    if (modal) {
        int32_t base = currentLayer(r);
        if (ctx.modalActive)
            base = std::max(base, ctx.modalLayer + 2);
        setLayer(r, base + 1);
        Rect all{0, 0, vw, ctx.windowHeight};
        if (dimBackdrop && !first)
            fillRect(r, all, withAlpha(colorBlack, 0.25));
        addOverlayRect(ctx, all);
        ctx.modalActive = true;
        ctx.modalLayer = base + 1;
        ctx.modalWindowId = id;
        beginOverlay(ctx, rc);
        setLayer(r, ctx.modalLayer + 1);
    } else {
        beginOverlay(ctx, rc);
    }
    ctx.windowRects.push_back({rc, currentLayer(r), id});
    ctx.currentWindowId = id;
    if (first) {
        pushClip(r, Rect{0, 0, 0, 0});  // measured, not shown, in the first frame
        frame.firstFrameClip = true;
    }

    double radius = dp(ctx, 6);
    drawShadowRect(r, rc, radius, dp(ctx, 20), t.base[slotShadowSoft]);
    fillRoundRect(r, rc, radius, t.base[slotSurface]);
    strokeRoundRect(r, rc, radius, 1, t.base[slotShadeStrong]);
    // Rounded at the top only: the rounded fill reaches below the title bar
    // and is cut at its foot, where a band of it would otherwise show.
    pushClip(r, {rc.x, rc.y, rc.w, titleH});
    fillRoundRect(r, {rc.x, rc.y, rc.w, titleH + radius}, radius, t.base[slotRaised]);
    popClip(r);
    fillRect(r, {rc.x, rc.y + titleH - 1, rc.w, 1}, t.base[slotShadeStrong]);
    uiDrawText(
        ctx, title, {rc.x + dp(ctx, 12), rc.y, rc.w - dp(ctx, 60), titleH}, fontSize(ctx), t.base[slotText], 0, 1);

    InteractResult drag =
        interact(ctx, widgetId(ctx, named("windrag", name)), {rc.x, rc.y, rc.w - dp(ctx, 36), titleH}, 1);
    if (drag.pressed) {
        st.dragging = true;
        st.dragOffsetX = ctx.pointerX - rc.x;
        st.dragOffsetY = ctx.pointerY - rc.y;
    }
    if (drag.held && st.dragging) {
        double nx = ctx.pointerX - st.dragOffsetX, ny = ctx.pointerY - st.dragOffsetY;
        if (nx != rc.x || ny != rc.y)
            st.moved = true;
        rc.x = std::clamp(nx, 0.0, std::max(vw - rc.w, 0.0));
        rc.y = std::clamp(ny, 0.0, std::max(vh - rc.h, 0.0));
    } else if (!drag.held) {
        st.dragging = false;
    }

    if (resizable) {
        double g = dp(ctx, 16);
        InteractResult grip =
            interact(ctx, widgetId(ctx, named("wingrip", name)), {rc.x + rc.w - g, rc.y + rc.h - g, g, g}, 1);
        if (grip.pressed) {
            st.dragOffsetX = rc.x + rc.w - ctx.pointerX;
            st.dragOffsetY = rc.y + rc.h - ctx.pointerY;
        }
        if (grip.held) {
            rc.w = std::clamp(ctx.pointerX + st.dragOffsetX - rc.x, std::max(width * 0.5, dp(ctx, 200)),
                std::max(vw - rc.x, dp(ctx, 200)));
            rc.h = std::clamp(ctx.pointerY + st.dragOffsetY - rc.y, std::max(height * 0.5, dp(ctx, 120)),
                std::max(vh - rc.y, dp(ctx, 120)));
        }
        if (grip.hovered || grip.held)
            ctx.cursorShape = curSizeNWSE;
        Color ink = grip.hovered || grip.held ? t.base[slotAccent] : t.base[slotTextSecondary];
        double right = rc.x + rc.w, bottom = rc.y + rc.h;
        for (int k = 1; k <= 3; ++k)
            drawLine(
                r, right - dp(ctx, 4 * k), bottom - dp(ctx, 3), right - dp(ctx, 3), bottom - dp(ctx, 4 * k), 1, ink);
    }
    if (closeButton) {
        Rect button{rc.x + rc.w - dp(ctx, 30), rc.y + dp(ctx, 4), dp(ctx, 24), dp(ctx, 24)};
        if (drawButton(
                ctx, widgetId(ctx, named("winclose", name)), "", button, {.style = buttonQuiet, .icon = icClose}))
            st.open = false;
    }

    if (modal && keyPressed(ctx, keyEscape, 0, true) && (ctx.modalWindowIdLast == 0 || ctx.modalWindowIdLast == id)) {
        st.open = false;
        consumeKey(ctx, keyEscape);
    }

    popLayout(ctx);  // the overlay's own frame
    frame.contentRect = {rc.x + p, rc.y + titleH + p, rc.w - 2 * p, 0};
    frame.bodyHeight = std::max(rc.h - titleH - 2 * p - st.footerHeight, dp(ctx, 20));
    frame.contentRect.h = frame.bodyHeight;
    frame.contentOverflows = st.contentHeight > frame.bodyHeight + 0.5;
    frame.scrollId = widgetId(ctx, named("scrollwin", name));
    frame.squeezed = st.squeezed;
    frame.windowRect = rc;
    if (first) {
        std::shared_ptr<ScrollState> body = scrollState(ctx, frame.scrollId);
        body->offset = 0;
        body->dragging = false;
    }
    const Rect& c = frame.contentRect;
    if (frame.contentOverflows) {
        beginScrollArea(ctx, named("win", name), {c.x, c.y, c.w, frame.bodyHeight}, colorTransparent, false);
    } else {
        pushClip(r, {rc.x + 1, rc.y + titleH, rc.w - 2, frame.bodyHeight + p + (st.footerHeight <= 0 ? p : 0)});
        pushLayout(ctx, c);
        pushId(ctx, named("scrollwin", name));
    }
    pushId(ctx, named("win", name));
    if (!st.focusOnOpen.empty()) {
        setFocus(ctx, widgetId(ctx, st.focusOnOpen));
        st.focusOnOpen.clear();
    }
    // The frame holds the state by reference: the caller keeps it alive.
    frame.state = std::shared_ptr<WindowState>(std::shared_ptr<WindowState>(), &st);
    ctx.windowStack.push_back(std::move(frame));
    return true;
}

void scrollWindow(UiContext& ctx, WindowFrame& frame)
{
    popId(ctx);
    WindowState& st = *frame.state;
    if (!frame.contentOverflows) {
        popId(ctx);
        LayoutFrame body = popLayout(ctx);
        popClip(*ctx.renderer);
        st.contentHeight = std::max(body.cursorY, body.bottom) - body.y;
    } else {
        endScrollArea(ctx, named("win", frame.name));
        st.contentHeight = scrollState(ctx, frame.scrollId)->contentHeight;
    }
}

void windowFooter(UiContext& ctx, double height)
{
    if (ctx.windowStack.empty() || ctx.windowStack.back().footerStarted)
        return;
    WindowFrame& frame = ctx.windowStack.back();
    WindowState& st = *frame.state;
    if (height <= 0)
        height = 2 * spacing(ctx) + rowHeight(ctx);
    st.footerRowMark = ctx.rowsBegun;
    double d = st.footerHeight = std::max(height, st.footerMeasured);
    scrollWindow(ctx, frame);
    double p = windowPadding(ctx), titleH = dp(ctx, 32);
    double bandTop = frame.contentRect.y + (frame.windowRect.h - titleH - 2 * p) - d;
    if (frame.contentOverflows)
        fillRect(
            *ctx.renderer, {frame.contentRect.x, bandTop, frame.contentRect.w, 1}, ctx.theme.base[slotShadeStrong]);
    pushLayout(ctx, {frame.contentRect.x, bandTop + spacing(ctx), frame.contentRect.w, d - spacing(ctx)});
    pushId(ctx, named("scrollwin", frame.name));
    frame.footerStarted = true;
    frame.footerTop = bandTop;
}

void endWindow(UiContext& ctx)
{
    if (ctx.windowStack.empty()) {
        popId(ctx);
        popLayout(ctx);
        return;
    }
    WindowFrame frame = std::move(ctx.windowStack.back());
    ctx.windowStack.pop_back();
    WindowState& st = *frame.state;
    if (frame.footerStarted) {
        popId(ctx);
        LayoutFrame footer = popLayout(ctx);
        bool measure = st.squeezed || ctx.rowsBegun > st.footerRowMark;
        st.footerMeasured = measure ? std::ceil(std::max(footer.cursorY, footer.bottom) + spacing(ctx) - footer.y) : 0;
    } else {
        scrollWindow(ctx, frame);
        st.footerHeight = 0;
    }
    if (frame.firstFrameClip)
        popClip(*ctx.renderer);
    // Back to exactly the layer and window of the caller, whatever was
    // drawn inside.
    setLayer(*ctx.renderer, frame.previousLayer);
    ctx.currentWindowId = frame.previousWindowId;
}

Rect windowContentRect(UiContext& ctx)
{
    if (ctx.windowStack.empty())
        return layoutRect(ctx);
    return ctx.windowStack.back().contentRect;
}

void resetScroll(UiContext& ctx, std::string_view name)
{
    std::shared_ptr<ScrollState> st = scrollState(ctx, widgetId(ctx, named("scroll", name)));
    st->offset = 0;
    st->dragging = false;
}

double fitWindowHeight(const UiContext& ctx, const WindowState& st, double height)
{
    if (st.contentHeight <= 0)
        return height;
    double p = windowPadding(ctx);
    return std::min(height, std::ceil(2 * p + dp(ctx, 32) + st.contentHeight + st.footerHeight));
}

}  // namespace qm
