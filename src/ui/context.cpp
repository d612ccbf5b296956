#include "ui/context.h"

#include "platform/keys.h"
#include "ui/hit_test.h"
#include "ui/input.h"

#include <algorithm>
#include <cmath>

namespace qm {

std::string recordedLabel(const WidgetRecorder& recorder, int64_t id)
{
    for (const auto* labels : {&recorder.labels, &recorder.labelsLast})
        if (auto it = labels->find(id); it != labels->end())
            return it->second;
    return {};
}

UiContext::~UiContext()
{
    if (window && window->platform)
        setScrollHitTest(*window, nullptr);
}

UiContextRef newUiContext(AppWindowRef window, RendererRef renderer, GlyphAtlasRef font, GlyphAtlasRef font2)
{
    auto ctx = std::make_shared<UiContext>();
    ctx->window = std::move(window);
    ctx->renderer = std::move(renderer);
    ctx->font = std::move(font);
    ctx->font2 = std::move(font2);
    fillLightTheme(ctx->theme);
    ctx->scale = ctx->window->scale;
    ctx->zoom = 1.0;
    ctx->renderer->atlases[0] = ctx->font;
    ctx->renderer->atlases[1] = ctx->font2;
    // The window outlives no context through this closure: it only looks.
    std::weak_ptr<UiContext> weak = ctx;
    setScrollHitTest(*ctx->window, [weak](double x, double y) {
        UiContextRef c = weak.lock();
        return c ? pointerWantsUi(*c, x, y) : false;
    });
    return ctx;
}

void beginFrame(UiContext& ctx, double dt)
{
    ctx.dt = dt;
    ctx.time += dt;
    ctx.frame += 1;

    const AppWindow& w = *ctx.window;
    ctx.viewWidth = w.width;
    ctx.windowHeight = w.height;
    int32_t inset = std::clamp(int32_t(bottomInset(w)), 0, std::max(0, 3 * w.height / 4));
    ctx.viewHeight = ctx.windowHeight - inset;

    ctx.scrollAreaStack.clear();
    ctx.menuMeasuring = false;
    if (ctx.focusId != 0 && (ctx.focusId != ctx.lastFocusId || ctx.viewHeight != ctx.lastViewHeight))
        ctx.focusVisibleFrames = 8;
    if (ctx.focusId == 0)
        ctx.focusVisibleFrames = 0;
    ctx.lastFocusId = ctx.focusId;
    ctx.lastViewHeight = ctx.viewHeight;

    ctx.scale = w.scale * ctx.zoom;
    beginRendererFrame(*ctx.renderer, w.width, w.height);

    ctx.layoutStack.clear();
    ctx.idStack.clear();
    ctx.rowCounters.clear();
    ctx.overflowRows = 0;
    ctx.rowsBegun = 0;
    LayoutFrame root;
    root.w = ctx.viewWidth;
    root.h = ctx.viewHeight;
    ctx.layoutStack.push_back(root);

    ctx.overlaysLast = std::move(ctx.overlays);
    ctx.overlays.clear();
    ctx.windowRectsLast = std::move(ctx.windowRects);
    ctx.windowRects.clear();
    ctx.windowStack.clear();
    ctx.currentWindowId = 0;

    ctx.hotIdLast = ctx.hotId;
    ctx.hotId = 0;
    ctx.hotLayer = -1;

    ctx.cursorShape = 0;
    ctx.keepAnimating = false;
    ctx.modalActive = false;
    ctx.layoutChanged = false;
    ctx.modalLayer = 0;
    ctx.modalWindowIdLast = ctx.modalWindowId;
    ctx.modalWindowId = 0;

    ctx.focusablesLast = std::move(ctx.focusables);
    ctx.focusables.clear();
    if (ctx.recorder) {
        ctx.recorder->records.clear();
        std::swap(ctx.recorder->labelsLast, ctx.recorder->labels);
        ctx.recorder->labels.clear();
    }

    if (ctx.pendingFocus != 0) {
        ctx.focusId = ctx.pendingFocus;
        ctx.pendingFocus = 0;
    }

    if (ctx.popupId != 0) {
        bool press = ctx.buttonsPressed[1] || ctx.buttonsPressed[3];
        bool outside = !rectContains(ctx.popupRect, ctx.pointerX, ctx.pointerY)
            && !rectContains(ctx.popupKeep, ctx.pointerX, ctx.pointerY);
        if (press && ctx.popupOpenedFrame < ctx.frame - 1 && outside) {
            bool onHigherOverlay = false;
            for (const OverlayRect& o : ctx.overlaysLast)
                if (o.layer > ctx.popupLayer && rectContains(o.rect, ctx.pointerX, ctx.pointerY))
                    onHigherOverlay = true;
            if (!onHigherOverlay) {
                closePopup(ctx);
                // The dismissing click reaches no widget.
                ctx.buttonsPressed[1] = false;
                ctx.buttonsPressed[3] = false;
            }
        } else if (keyPressed(ctx, keyEscape, 0, false)) {
            closePopup(ctx);
            consumeKey(ctx, keyEscape);
        }
    }

    if (ctx.buttonsPressed[1] && ctx.popupId == 0) {
        ctx.focusId = 0;
        ctx.pendingFocus = 0;
    }

    if (ctx.tabPressed && !ctx.focusablesLast.empty()) {
        const std::vector<int64_t>& f = ctx.focusablesLast;
        auto it = std::find(f.begin(), f.end(), ctx.focusId);
        ptrdiff_t c = it == f.end() ? -1 : it - f.begin();
        ptrdiff_t n = ptrdiff_t(f.size());
        ptrdiff_t next = c;
        // A widget drawn twice in a frame is listed twice: step past its
        // other entries, or Tab would never leave it.
        for (ptrdiff_t step = 0; step < n && (step == 0 || f[size_t(next)] == ctx.focusId); ++step) {
            if (ctx.tabBackwards)
                next = next < 1 ? n - 1 : next - 1;
            else
                next = next < 0 || next == n - 1 ? 0 : next + 1;
        }
        ctx.focusId = f[size_t(next)];
        consumeKey(ctx, keyTab);
    }
    ctx.tabPressed = false;
}

void endFrame(UiContext& ctx)
{
    if (ctx.focusVisibleFrames > 0) {
        --ctx.focusVisibleFrames;
        ctx.layoutChanged = true;
    }

    bool live;
    if (ctx.focusId == 0) {
        live = false;
    } else if (std::find(ctx.focusables.begin(), ctx.focusables.end(), ctx.focusId) != ctx.focusables.end()) {
        live = true;
    } else if (std::find(ctx.focusablesLast.begin(), ctx.focusablesLast.end(), ctx.focusId)
        != ctx.focusablesLast.end()) {
        ctx.focusId = 0;  // the focused widget stopped being drawn
        live = false;
    } else {
        live = true;
    }
    if (ctx.keepAnimating)
        live = true;
    if (live != ctx.liveState) {
        ctx.liveState = live;
        requestRedrawIf(*ctx.window, live);
    } else if (live && ctx.redrawRequested) {
        requestRedraw(*ctx.window);
    }
    ctx.redrawRequested = false;

    if (ctx.hotId != ctx.hotIdLast)
        ctx.hoverStart = ctx.time;
    if (!ctx.buttonsDown[1] && !ctx.buttonsDown[2] && !ctx.buttonsDown[3])
        ctx.activeId = 0;

    ctx.buttonsPressed.fill(false);
    ctx.buttonsReleased.fill(false);
    ctx.doubleClicked.fill(false);
    ctx.wheelX = ctx.wheelY = 0;
    ctx.pinchSum = 0;
    ctx.rotateSum = 0;
    ctx.rotateStarted = false;

    ctx.scrollRegionsLast = std::move(ctx.scrollRegions);
    ctx.scrollRegions.clear();
    ctx.overlaysShown = ctx.overlays;

    ctx.keyPresses.clear();
    ctx.typedRunes.clear();
    ctx.lastPointerX = ctx.pointerX;
    ctx.lastPointerY = ctx.pointerY;
    ctx.textEditingLast = ctx.textEditing;
    ctx.textEditing = false;

    setCursor(*ctx.window, CursorKind(ctx.cursorShape));
    flushRenderer(*ctx.renderer);
}

namespace {

double metric(const UiContext& ctx, ThemeMetric m) { return std::round(dp(ctx, ctx.theme.metrics[m])); }

}  // namespace

double fontSize(const UiContext& ctx) { return metric(ctx, metricFontSize); }
double smallFontSize(const UiContext& ctx) { return metric(ctx, metricSmallFontSize); }
double rowHeight(const UiContext& ctx) { return metric(ctx, metricRowHeight); }
double smallRowHeight(const UiContext& ctx) { return metric(ctx, metricSmallRowHeight); }
double spacing(const UiContext& ctx) { return metric(ctx, metricSpacing); }
double windowPadding(const UiContext& ctx) { return metric(ctx, metricWindowPadding); }
double cornerRadius(const UiContext& ctx) { return ctx.theme.metrics[metricCornerRadius] * ctx.scale; }

void requestUiRedraw(UiContext& ctx) { ctx.redrawRequested = true; }

}  // namespace qm
