#pragma once
// The window as the application sees it: the platform window plus the state
// the UI reads every frame (size, scale, pointer, focus, close request,
// cursor), the links that let a modal window take the input and a secondary
// window use its owner's clipboard, and a redraw counter.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform_window.h"

namespace qm {

struct AppWindow {
    PlatformWindowRef platform;
    int32_t width = 0;  // pixels
    int32_t height = 0;
    double scale = 1.0;
    uint8_t closeRequested = 0;
    double pointerX = 0;
    double pointerY = 0;
    uint8_t focused = 1;
    CursorKind cursor = curArrow;
    std::string title;
    std::shared_ptr<AppWindow> owner;  // its clipboard is used
    std::shared_ptr<AppWindow> modal;  // takes this window's input while set
    int32_t redrawCounter = 0;
    std::array<double, 3> backgroundColor{};
};

using AppWindowRef = std::shared_ptr<AppWindow>;

// Raises what newPlatformWindow raises.
AppWindowRef newAppWindow(const std::string& title, int32_t width, int32_t height, bool maximised);
// Over an existing platform window (tests use a fake one).
AppWindowRef newAppWindowOn(PlatformWindowRef platform, const std::string& title);

// Buffer pixels are window pixels on both back ends, and nothing covers the
// bottom of the window.
inline int32_t framebufferWidth(const AppWindow& w) { return w.width; }
inline int32_t framebufferHeight(const AppWindow& w) { return w.height; }
inline double bottomInset(const AppWindow&) { return 0; }

void setScrollHitTest(AppWindow& w, ScrollHitTest hitTest);
void setDecorationFont(AppWindow& w, FontRef font);
void setWindowIcon(AppWindow& w, int32_t width, int32_t height, const std::vector<uint8_t>& rgba);
void setDarkTitleBar(AppWindow& w, bool dark);
// True when the colour is the stored one; otherwise stores it.
bool updateIfChanged(AppWindow& w, double r, double g, double b);
// Runs xdg-open, then each BROWSER entry, with the URL as one argument and
// no shell. False when nothing could open it.
bool openUrl(const std::string& url);
void setClipboardText(AppWindow& w, const std::string& text);
std::string getClipboardText(AppWindow& w);
bool hasAsyncFileDialog();
void startAsyncFileDialog();
bool hasNativeFileDialog();
std::string runNativeFileDialog();
// Raise ValueError when the counter would overflow.
void requestRedraw(AppWindow& w);
void requestRedrawIf(AppWindow& w, bool flag);
void setCursor(AppWindow& w, CursorKind kind);
std::vector<WindowEvent> pollEvents(AppWindow& w);
// See waitForEvents(PlatformWindow&, ...).
bool waitForEvents(AppWindow& w, int64_t timeoutNs);
bool isMinimised(const AppWindow& w);
void swapBuffers(AppWindow& w);
bool takeContentLost(AppWindow& w);
void closeWindow(AppWindow& w);

}  // namespace qm
