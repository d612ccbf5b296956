#pragma once
// The toolkit's per-window state and its frame cycle. Between frames the
// window's events are fed in (input.h); each drawn frame runs beginFrame,
// the pages' widget calls, drawTooltip and endFrame, which flushes the
// renderer. Nothing else survives from frame to frame but this record.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/app_window.h"
#include "platform/render/renderer.h"
#include "ui/theme.h"
#include "ui/widget_state.h"

namespace qm {

struct KeyPress {
    uint8_t key = 0;
    uint8_t modifiers = 0;
    uint8_t repeat = 0;
};

struct OverlayRect {
    Rect rect;
    int32_t layer = 0;
};

struct WindowRect {
    Rect rect;
    int32_t layer = 0;
    int64_t windowId = 0;
};

enum ScrollRegionKind : uint8_t {
    regionBlocksAtLayer = 0,
    regionScrollable = 1,
    regionBlocksAll = 2,
};

struct ScrollRegion {
    Rect rect;
    int32_t layer = 0;
    uint8_t kind = 0;
};

// One entry of the layout stack: a column, or a row while one is begun.
struct LayoutFrame {
    double x = 0, y = 0, w = 0, h = 0;
    double cursorY = 0;
    uint8_t kind = 0;  // 0 column, 1 row
    double rowY = 0;
    double rowHeight = 0;
    double rowX = 0;
    std::vector<double> columnWidths;
    int32_t column = 0;
    bool overflow = false;
    bool stacked = false;
    int64_t rowId = 0;
    std::vector<double> measuredWidths;
    double bottom = 0;
    double right = 0;
};

// One window being drawn (windows push it in beginWindow, pop it in endWindow).
struct WindowFrame {
    std::string name;
    std::shared_ptr<WindowState> state;
    bool contentOverflows = false;
    Rect contentRect;
    double bodyHeight = 0;
    bool firstFrame = false;
    bool footerStarted = false;
    int64_t scrollId = 0;
    bool squeezed = false;
    int32_t previousLayer = 0;
    int64_t previousWindowId = 0;
    bool firstFrameClip = false;
    std::vector<int64_t> savedIds;
    Rect windowRect;
    double footerTop = 0;
};

// Opt-in log of the widgets a frame drew, so tests and automation can reach
// a widget by its label.
struct WidgetRecord {
    int64_t id = 0;
    std::string label;
    Rect rect;
    int32_t layer = 0;
    bool focusable = false;
    // Where the pointer could reach it: the clip and window it was drawn in,
    // the button it takes (0: only focusable) and whether a scroll area
    // holds it.
    Rect clip;
    int64_t windowId = 0;
    uint8_t button = 0;
    bool inScrollArea = false;
};

// The labels are those hashed in this frame and the one before (ids hashed
// between frames belong to the next): a program left running for days hashes
// countless one-off labels (rows, days, toasts), which must not pile up.
struct WidgetRecorder {
    std::unordered_map<int64_t, std::string> labels;      // hashed in this frame
    std::unordered_map<int64_t, std::string> labelsLast;  // hashed in the frame before
    std::vector<WidgetRecord> records;                    // this frame's, in drawing order
};

// The label an id was hashed from lately; empty when there is none.
std::string recordedLabel(const WidgetRecorder& recorder, int64_t id);

struct UiContext {
    RendererRef renderer;
    AppWindowRef window;
    Theme theme;
    GlyphAtlasRef font, font2;
    double scale = 1.0;
    double zoom = 1.0;
    double viewWidth = 0, viewHeight = 0, windowHeight = 0;
    double pointerX = 0, pointerY = 0;
    double lastPointerX = 0, lastPointerY = 0;
    bool pointerFromTouch = false;
    std::array<bool, 6> buttonsDown{}, buttonsPressed{}, buttonsReleased{}, doubleClicked{};
    double pressX = 0, pressY = 0;
    double wheelX = 0, wheelY = 0;
    double pinchSum = 0;
    double rotateSum = 0;
    bool rotateStarted = false;
    int64_t gestureTarget = 0;
    double gestureX = 0, gestureY = 0;
    std::vector<ScrollRegion> scrollRegionsLast, scrollRegions;
    std::vector<OverlayRect> overlaysShown;
    uint8_t modifiers = 0;
    std::vector<KeyPress> keyPresses;
    std::vector<int32_t> typedRunes;
    std::array<bool, 98> keysHeld{};
    std::array<double, 6> lastPressTime{};
    double lastPressX = 0, lastPressY = 0;
    int64_t hotIdLast = 0, hotId = 0;
    int32_t hotLayer = -1;
    int64_t activeId = 0;
    int32_t activeLayer = 0;
    int64_t focusId = 0;
    int64_t pendingFocus = 0;
    std::vector<int64_t> focusables;
    std::vector<int64_t> scrollAreaStack;
    int32_t focusVisibleFrames = 0;
    int64_t lastFocusId = 0;
    double lastViewHeight = 0;
    std::vector<int64_t> focusablesLast;
    bool tabPressed = false, tabBackwards = false;
    std::vector<int64_t> idStack;
    std::unordered_map<int64_t, std::vector<double>> rowWidths;
    std::unordered_map<int64_t, int32_t> rowCounters;
    int32_t overflowRows = 0;
    int32_t rowsBegun = 0;
    std::vector<LayoutFrame> layoutStack;
    std::unordered_map<int64_t, WidgetStateRef> states;
    std::vector<OverlayRect> overlaysLast, overlays;
    std::vector<WindowRect> windowRectsLast, windowRects;
    int64_t currentWindowId = 0;
    int64_t popupId = 0;
    Rect popupRect;
    int32_t popupOpenedFrame = 0;
    Rect popupAnchor;
    Rect popupKeep;  // presses here leave the popup open
    int32_t popupLayer = 0;
    double menuScroll = 0;       // the open popup's scroll offset
    bool menuOverflow = false;   // the open menu is taller than the room it has
    bool menuMeasuring = false;  // the open menu's first frame: measured, not shown
    Rect menuBodyRect;           // the open menu's visible entry area
    double menuContentWidth = 0;
    int32_t modalLayer = 0;
    bool modalActive = false;
    int64_t modalWindowId = 0, modalWindowIdLast = 0;
    bool layoutChanged = false;
    bool textEditing = false, textEditingLast = false;
    std::string tooltipText;
    Rect tooltipRect;
    double hoverStart = 0;
    Rect tooltipCandidateRect;
    double tooltipCandidateStart = 0;
    std::string tooltipCandidateText;
    std::string tooltipShown;
    uint8_t cursorShape = 0;
    double time = 0, dt = 0;
    int32_t frame = 0;
    Rect lastWidgetRect;
    int64_t lastWidgetId = 0;
    bool keepAnimating = false;
    bool liveState = false;
    bool redrawRequested = false;
    std::vector<WindowFrame> windowStack;
    std::unique_ptr<WidgetRecorder> recorder;

    UiContext() = default;
    UiContext(const UiContext&) = delete;
    UiContext& operator=(const UiContext&) = delete;
    // Takes the pointer query off the window.
    ~UiContext();
};

using UiContextRef = std::shared_ptr<UiContext>;

// Installs the window's pointer query; the query holds the context weakly and
// answers false once the context is gone.
UiContextRef newUiContext(AppWindowRef window, RendererRef renderer, GlyphAtlasRef font, GlyphAtlasRef font2);

void beginFrame(UiContext& ctx, double dt);
void endFrame(UiContext& ctx);

// Halves away from zero, as std::round does.
double fontSize(const UiContext& ctx);
double smallFontSize(const UiContext& ctx);
double rowHeight(const UiContext& ctx);
double smallRowHeight(const UiContext& ctx);
double spacing(const UiContext& ctx);
double windowPadding(const UiContext& ctx);
double cornerRadius(const UiContext& ctx);  // not rounded
// dp times the scale, unrounded.
inline double dp(const UiContext& ctx, double v) { return v * ctx.scale; }

void requestUiRedraw(UiContext& ctx);

}  // namespace qm
