#include "platform/platform_window.h"

#include "core/errors.h"
#include "core/ui_wake.h"
#include "platform/platform_window_internal.h"
#include "platform/wayland/wl_window.h"
#include "platform/x11/x11_window.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace qm {

namespace {

PlatformWindowRef openWaylandWindow(const std::string& title, int32_t width, int32_t height, bool maximised)
{
    auto w = std::make_shared<PlatformWindow>();
    w->wayland = createWlWindow(title, width, height, maximised);
    return w;
}

WaylandOpener waylandOpener = openWaylandWindow;

std::string envOrEmpty(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

}  // namespace

void setWaylandOpener(WaylandOpener opener)
{
    waylandOpener = opener ? std::move(opener) : WaylandOpener(openWaylandWindow);
}

bool waylandAvailable()
{
    if (!envOrEmpty("WAYLAND_DISPLAY").empty())
        return true;
    if (envOrEmpty("XDG_SESSION_TYPE") != "wayland")
        return false;
    std::string socket = envOrEmpty("XDG_RUNTIME_DIR") + "/wayland-0";
    struct stat info;
    return stat(socket.c_str(), &info) == 0;
}

PlatformWindowRef newPlatformWindow(const std::string& title, int32_t width, int32_t height, bool maximised)
{
    std::string choice = envOrEmpty("QUENMRK_BACKEND");
    for (char& c : choice)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    if (choice != "x11" && (choice == "wayland" || waylandAvailable())) {
        try {
            if (!waylandOpener)
                throw OSError("Wayland back end not built");
            return waylandOpener(title, width, height, maximised);
        } catch (const OSError& e) {
            if (choice == "wayland" || envOrEmpty("DISPLAY").empty())
                throw;
            std::fprintf(stderr, "Quenmark: Wayland not used (%s), using X11\n", e.what());
        }
    }
    auto w = std::make_shared<PlatformWindow>();
    w->x11 = createX11Window(title, width, height, maximised);
    return w;
}

PlatformWindowRef newFakePlatformWindow()
{
    auto w = std::make_shared<PlatformWindow>();
    w->fake = std::make_shared<FakePlatformWindow>();
    return w;
}

int32_t width(const PlatformWindow& w)
{
    if (w.wayland)
        return w.wayland->bufferWidth;
    return w.fake ? w.fake->width : w.x11->width;
}

int32_t height(const PlatformWindow& w)
{
    if (w.wayland)
        return w.wayland->bufferHeight;
    return w.fake ? w.fake->height : w.x11->height;
}

double scale(const PlatformWindow& w)
{
    if (w.wayland)
        return w.wayland->scale;
    return w.fake ? w.fake->scale : w.x11->scale;
}

void setScrollHitTest(PlatformWindow& w, ScrollHitTest hitTest)
{
    if (w.wayland)
        setWlScrollHitTest(*w.wayland, std::move(hitTest));
    else if (w.fake)
        w.fake->hitTest = std::move(hitTest);
    else if (w.x11)
        setScrollHitTest(*w.x11, std::move(hitTest));
}

void setDecorationFont(PlatformWindow& w, FontRef font)
{
    // Only Wayland windows draw their own title bars; the font serves them all.
    if (w.wayland)
        setWlDecorationFont(std::move(font));
}

void setIcon(PlatformWindow& w, int32_t width, int32_t height, const std::vector<uint8_t>& rgba)
{
    if (w.x11)
        x11SetIcon(*w.x11, width, height, rgba);
}

void setDarkTitleBar(PlatformWindow& w, bool dark)
{
    if (w.wayland)
        setWlDarkTitleBar(*w.wayland, dark);
    else if (w.fake)
        w.fake->dark = dark;
    else
        x11SetDarkTitleBar(*w.x11, dark);
}

void setClipboardText(PlatformWindow& w, const std::string& text)
{
    if (w.wayland)
        setWlClipboardText(text);
    else if (w.fake)
        w.fake->clipboard = text;
    else
        x11SetClipboardText(*w.x11, text);
}

std::string getClipboardText(PlatformWindow& w)
{
    if (w.wayland)
        return getWlClipboardText();
    return w.fake ? w.fake->clipboard : x11GetClipboardText(*w.x11);
}

void setCursor(PlatformWindow& w, CursorKind kind)
{
    if (w.wayland)
        setWlCursor(*w.wayland, kind);
    else if (w.fake)
        w.fake->cursors.push_back(kind);
    else
        x11SetCursor(*w.x11, kind);
}

std::vector<WindowEvent> pollEvents(PlatformWindow& w)
{
    if (w.wayland)
        return pollWlEvents(*w.wayland);
    if (w.fake) {
        std::vector<WindowEvent> out;
        out.swap(w.fake->pending);
        return out;
    }
    return x11PollEvents(*w.x11);
}

bool waitForEvents(PlatformWindow& w, int64_t timeoutNs)
{
    // Rounded up, so that a wait for the next frame never ends just before it.
    const int64_t ms = std::clamp<int64_t>((timeoutNs + 999'999) / 1'000'000, 0, 60'000);
    if (w.wayland)
        return waitWlEvents(*w.wayland, int32_t(ms));
    if (w.fake) {
        // No display to wait on: only the wake, so that a loop over a fake
        // window rests like one over a real one.
        if (!w.fake->pending.empty())
            return false;
        return waitReadableOrWoken(-1, int(ms)).woken;
    }
    return x11WaitForEvents(*w.x11, int32_t(ms));
}

void activate(PlatformWindow& w)
{
    if (w.wayland)
        activateWlWindow(*w.wayland);
    else if (w.fake)
        ++w.fake->activations;
    else
        x11Activate(*w.x11);
}

bool closeRequested(const PlatformWindow& w)
{
    if (w.wayland)
        return w.wayland->closeRequested;
    return w.fake ? w.fake->closeRequested : w.x11->closeRequested != 0;
}

void setCloseRequested(PlatformWindow& w, bool requested)
{
    if (w.wayland)
        w.wayland->closeRequested = requested;
    else if (w.fake)
        w.fake->closeRequested = requested;
    else
        w.x11->closeRequested = requested ? 1 : 0;
}

void swapBuffers(PlatformWindow& w)
{
    if (w.wayland)
        swapWlBuffers(*w.wayland);
    else if (w.fake)
        ++w.fake->swaps;
    else
        x11SwapBuffers(*w.x11);
}

bool takeContentLost(PlatformWindow& w)
{
    if (w.wayland)
        return w.wayland->commitPending;
    if (w.fake)
        return std::exchange(w.fake->contentLost, false);
    return std::exchange(w.x11->exposed, false);
}

void close(PlatformWindow& w)
{
    if (w.wayland)
        closeWlWindow(*w.wayland);
    else if (w.fake)
        w.fake->closed = true;
    else
        x11Close(*w.x11);
}

}  // namespace qm
