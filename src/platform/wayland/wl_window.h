#pragma once
// The Wayland back end: one connection to the compositor with its globals,
// a single EGL display and OpenGL 3.3 core context that all windows share, and
// WlWindow, an xdg-shell toplevel with an EGL surface, a title bar of its own
// drawn in software when the compositor leaves decorations to the client,
// and input from the first seat. Everything runs on the UI thread.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "codecs/font/font.h"
#include "platform/cursor.h"
#include "platform/events.h"
#include "platform/gestures.h"

struct wl_proxy;
struct wl_display;
struct wl_egl_window;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;
struct xkb_compose_state;
struct wl_cursor_theme;

namespace qm {

struct DecorationPart {
    wl_proxy* surface = nullptr;
    wl_proxy* subsurface = nullptr;
    int32_t x = 0, y = 0;
    int32_t width = 0, height = 0;
    bool shown = false;
};

enum DecorationPartIndex : int32_t {
    partContent = -1,
    partTitleBar = 0,
    partTop = 1,
    partLeft = 2,
    partRight = 3,
    partBottom = 4,
};

enum TitleButton : uint8_t {
    buttonNone = 0,
    buttonMinimise = 1,
    buttonMaximise = 2,
    buttonClose = 3,
};

struct WlWindow {
    wl_proxy* surface = nullptr;
    wl_proxy* xdgSurface = nullptr;
    wl_proxy* toplevel = nullptr;
    wl_proxy* decoration = nullptr;
    wl_proxy* viewport = nullptr;
    wl_proxy* fractionalScale = nullptr;
    wl_egl_window* eglWindow = nullptr;
    void* eglSurface = nullptr;  // EGLSurface
    bool child = false;
    std::string title;
    int32_t width = 0, height = 0;  // logical content size, title bar excluded
    int32_t pendingWidth = 0, pendingHeight = 0;
    std::vector<uint32_t> pendingStates;
    int32_t boundsWidth = 0, boundsHeight = 0;
    bool configured = false;
    bool maximised = false, fullscreen = false, tiled = false, activated = true, suspended = false;
    bool clientDecorations = false;
    DecorationPart parts[5];
    uint8_t hoveredButton = buttonNone, pressedButton = buttonNone;
    double lastTitleClick = 0;
    bool darkTitleBar = false;
    std::vector<wl_proxy*> enteredOutputs;
    int32_t preferredBufferScale = 0;
    int32_t fractionalScaleValue = 0;  // 120ths
    bool commitPending = false;
    wl_proxy* frameCallback = nullptr;
    CursorKind cursor = curArrow;
    int32_t bufferWidth = 0, bufferHeight = 0;
    double scale = 1.0;
    bool closeRequested = false;
    std::vector<WindowEvent> events;
    GestureRecognizer gestures;

    // Decoration buffers and what the last frame update applied.
    int32_t decorationScale = 1;
    bool applied = false;
    int32_t appliedWidth = 0, appliedHeight = 0, appliedTitleBar = 0;
    double appliedScale = 0;
    int32_t announcedWidth = 0, announcedHeight = 0;
};

using WlWindowRef = std::shared_ptr<WlWindow>;

struct WlOutput {
    wl_proxy* proxy = nullptr;
    uint32_t name = 0;
    int32_t scale = 1;
};

struct MappedBuffer {
    void* address = nullptr;
    size_t size = 0;
};

// Everything that belongs to one connection; ending it resets all of this.
struct WaylandState {
    wl_display* display = nullptr;
    wl_proxy* registry = nullptr;
    wl_proxy* compositor = nullptr;
    uint32_t compositorVersion = 0;
    wl_proxy* subcompositor = nullptr;
    wl_proxy* shm = nullptr;
    wl_proxy* wmBase = nullptr;
    wl_proxy* decorationManager = nullptr;
    wl_proxy* activation = nullptr;
    wl_proxy* viewporter = nullptr;
    wl_proxy* fractionalScaleManager = nullptr;
    wl_proxy* cursorShapeManager = nullptr;
    wl_proxy* idleInhibitManager = nullptr;
    wl_proxy* seat = nullptr;
    uint32_t seatVersion = 0;
    wl_proxy* dataDeviceManager = nullptr;
    uint32_t dataDeviceManagerVersion = 0;
    wl_proxy* dataDevice = nullptr;
    std::vector<WlOutput> outputs;
    std::vector<WlWindowRef> windows;
    void* eglDisplay = nullptr;
    void* eglConfig = nullptr;
    void* eglContext = nullptr;
    bool connectionLost = false;

    // Input.
    wl_proxy* pointer = nullptr;
    wl_proxy* keyboard = nullptr;
    wl_proxy* touch = nullptr;
    wl_proxy* cursorShapeDevice = nullptr;
    uint32_t pointerEnterSerial = 0;
    bool hasPointerEnterSerial = false;
    WlWindowRef pointerWindow;
    int32_t pointerPart = partContent;
    double pointerX = 0, pointerY = 0;
    int32_t discreteSteps[2] = {0, 0};
    uint32_t lastInputSerial = 0;
    bool hasInputSerial = false;
    xkb_keymap* keymap = nullptr;
    xkb_state* xkbState = nullptr;
    uint8_t modifiers = 0;
    WlWindowRef keyboardWindow;
    uint32_t repeatKey = 0;
    double nextRepeat = 0;
    int32_t repeatRate = 0;
    double repeatDelay = 0;
    std::map<int32_t, WlWindowRef> touchMap;

    // Clipboard, drops, activation, cursors, buffers.
    std::string ownText;
    wl_proxy* ownSource = nullptr;
    std::map<wl_proxy*, std::vector<std::string>> offers;
    wl_proxy* selectionOffer = nullptr;
    wl_proxy* dragOffer = nullptr;
    WlWindowRef dropWindow;
    uint32_t dragSerial = 0;
    double dropX = 0, dropY = 0;
    std::map<wl_proxy*, WlWindowRef> activationTokens;
    wl_cursor_theme* cursorTheme = nullptr;
    int32_t themeScale = 0;
    wl_proxy* cursorSurface = nullptr;
    std::map<wl_proxy*, MappedBuffer> mappedBuffers;
};

extern WaylandState wls;

// Process-wide, kept across connections.
struct WaylandProcessState {
    xkb_context* xkbContext = nullptr;
    xkb_compose_state* composeState = nullptr;
    bool glLoaded = false;
    FontRef decorationFont;
};

extern WaylandProcessState wlProcess;

// Connects, makes a window and its context current. Raises OSError with the
// reason (the load, connection or EGL failure, or the window's own).
WlWindowRef createWlWindow(const std::string& title, int32_t width, int32_t height, bool maximised);
WlWindowRef newWlWindow(
    const std::string& title, int32_t width, int32_t height, const WlWindowRef& parent, bool maximised);
bool connectWayland();
// Ends the connection and forgets everything that belonged to it.
void disconnectWayland();

double windowScale(const WlWindow& w);
std::pair<int32_t, int32_t> bufferSize(const WlWindow& w);
int32_t titleBarHeight(const WlWindow& w);
void layoutDecorationParts(WlWindow& w);
void swapWlBuffers(WlWindow& w);
void closeWlWindow(WlWindow& w);
void setWlScrollHitTest(WlWindow& w, ScrollHitTest hitTest);
void setWlDarkTitleBar(WlWindow& w, bool dark);
void setWlDecorationFont(FontRef font);
void redrawDecorations(WlWindow& w);
void rescaleWindows();

// Events, clipboard, cursors, activation.
// Reads and dispatches what the compositor sent within the timeout. Given
// the window the loop waits for, a wake of the UI thread ends it too (true),
// and events already dispatched to the window end it at once.
bool waitWaylandEvents(int32_t timeoutMs, const WlWindow* window = nullptr);
// What waitForEvents does on Wayland; a held key's next repeat shortens it.
bool waitWlEvents(WlWindow& w, int32_t timeoutMs);
std::vector<WindowEvent> pollWlEvents(WlWindow& w);
void setWlClipboardText(const std::string& text);
std::string getWlClipboardText();
void setWlCursor(WlWindow& w, CursorKind kind);
void applyPointerCursor(CursorKind kind);
void activateWlWindow(WlWindow& w);

double monotonicSeconds();

}  // namespace qm
