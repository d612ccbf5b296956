#pragma once
// The native window as the rest of the program sees it, whichever back end
// made it. The choice is made at creation: Wayland when a compositor is
// there (or when QUENMRK_BACKEND asks for it), X11 otherwise or when Wayland
// fails and an X display is at hand.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "codecs/font/font.h"
#include "platform/cursor.h"
#include "platform/events.h"
#include "platform/gestures.h"

namespace qm {

struct X11Window;
struct WlWindow;
struct FakePlatformWindow;

struct PlatformWindow {
    std::shared_ptr<X11Window> x11;
    std::shared_ptr<WlWindow> wayland;
    std::shared_ptr<FakePlatformWindow> fake;  // tests only
};

using PlatformWindowRef = std::shared_ptr<PlatformWindow>;

// The Wayland back end installs how it opens a window; until it does, a
// Wayland attempt fails like a compositor that cannot be reached.
using WaylandOpener =
    std::function<PlatformWindowRef(const std::string& title, int32_t width, int32_t height, bool maximised)>;
void setWaylandOpener(WaylandOpener opener);

// Raises OSError (with the back end's message) when no window opens.
PlatformWindowRef newPlatformWindow(const std::string& title, int32_t width, int32_t height, bool maximised);
bool waylandAvailable();

int32_t width(const PlatformWindow& w);
int32_t height(const PlatformWindow& w);
double scale(const PlatformWindow& w);
void setScrollHitTest(PlatformWindow& w, ScrollHitTest hitTest);
void setDecorationFont(PlatformWindow& w, FontRef font);
void setIcon(PlatformWindow& w, int32_t width, int32_t height, const std::vector<uint8_t>& rgba);
void setDarkTitleBar(PlatformWindow& w, bool dark);
void setClipboardText(PlatformWindow& w, const std::string& text);
std::string getClipboardText(PlatformWindow& w);
void setCursor(PlatformWindow& w, CursorKind kind);
std::vector<WindowEvent> pollEvents(PlatformWindow& w);
// Blocks until the display has something for the window, another thread
// wakes the UI thread (core/ui_wake.h) or the timeout passes; returns at
// once when events already wait. While touches or a held key need polls of
// their own, it waits no longer than a few milliseconds. True when another
// thread woke it.
bool waitForEvents(PlatformWindow& w, int64_t timeoutNs);
void activate(PlatformWindow& w);
bool closeRequested(const PlatformWindow& w);
void setCloseRequested(PlatformWindow& w, bool requested);
void swapBuffers(PlatformWindow& w);
// Whether the window may no longer show the last frame swapped in (X11: it
// was uncovered; Wayland: a new size or title bar waits for a commit), so
// that the next frame must be swapped in even when nothing in it changed.
// Clears what it reports, except a Wayland commit, which the swap makes.
bool takeContentLost(PlatformWindow& w);
void close(PlatformWindow& w);

}  // namespace qm
