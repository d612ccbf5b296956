#pragma once
// The X11 back end: a window with an OpenGL 3.3 core context through Xlib
// and GLX (loaded at run time), its input as WindowEvent records, XInput2
// touches fed to its gesture recogniser, and the CLIPBOARD selection. Each
// window has its own display connection; everything runs on the UI thread.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/cursor.h"
#include "platform/events.h"
#include "platform/gestures.h"

// Xlib's own record types, named without including Xlib (whose macros
// would leak into every includer).
struct _XDisplay;
struct _XIM;
struct _XIC;
struct __GLXcontextRec;

namespace qm {

using X11Id = unsigned long;  // XID: windows, atoms, colormaps, cursors

struct X11Window {
    _XDisplay* display = nullptr;
    int32_t screen = 0;
    X11Id window = 0;
    __GLXcontextRec* context = nullptr;
    void* visual = nullptr;  // Visual*
    int32_t depth = 0;
    X11Id colormap = 0;
    _XIM* inputMethod = nullptr;
    _XIC* inputContext = nullptr;
    X11Id wmDeleteWindow = 0, clipboardAtom = 0, utf8StringAtom = 0, targetsAtom = 0, transferAtom = 0, incrAtom = 0;
    int32_t width = 0;  // pixels
    int32_t height = 0;
    double scale = 1.0;
    uint8_t closeRequested = 0;
    bool exposed = false;  // uncovered since takeContentLost last asked
    std::vector<WindowEvent> queue;
    std::map<uint8_t, X11Id> cursorCache;
    std::string clipboardText;
    GestureRecognizer gestures;
};

using X11WindowRef = std::shared_ptr<X11Window>;

// Opens a window of width x height logical pixels (times the scale) with its
// context current. Raises OSError ("Cannot open X display", "No suitable GLX
// framebuffer config", "Failed to create OpenGL context") and ValueError for
// a negative size.
X11WindowRef createX11Window(const std::optional<std::string>& title, int32_t width, int32_t height, bool maximised);

void setScrollHitTest(X11Window& w, ScrollHitTest hitTest);
void x11SetIcon(X11Window& w, int32_t width, int32_t height, const std::vector<uint8_t>& rgba);
void x11SetDarkTitleBar(X11Window& w, bool dark);
void x11SetClipboardText(X11Window& w, const std::string& text);
std::string x11GetClipboardText(X11Window& w);
void x11SetCursor(X11Window& w, CursorKind kind);
std::vector<WindowEvent> x11PollEvents(X11Window& w);
// What waitForEvents does on X11; the timeout in milliseconds.
bool x11WaitForEvents(X11Window& w, int32_t timeoutMs);
void x11Activate(X11Window& w);
void x11SwapBuffers(X11Window& w);
void x11Close(X11Window& w);

// Seconds on the monotonic clock since the module started.
double x11SecondsSinceStart();

}  // namespace qm
