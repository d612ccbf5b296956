#include "platform/app_window.h"

#include "core/errors.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <limits>

extern char** environ;

namespace qm {

namespace {

PlatformWindow& platformOf(AppWindow& w) { return w.owner ? *w.owner->platform : *w.platform; }

// The program's exit status, -1 when it could not start.
int runProgram(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0)
        return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

AppWindowRef newAppWindow(const std::string& title, int32_t width, int32_t height, bool maximised)
{
    return newAppWindowOn(newPlatformWindow(title, width, height, maximised), title);
}

AppWindowRef newAppWindowOn(PlatformWindowRef platform, const std::string& title)
{
    auto w = std::make_shared<AppWindow>();
    w->platform = std::move(platform);
    w->title = title;
    w->width = width(*w->platform);
    w->height = height(*w->platform);
    w->scale = scale(*w->platform);
    return w;
}

void setScrollHitTest(AppWindow& w, ScrollHitTest hitTest) { setScrollHitTest(*w.platform, std::move(hitTest)); }

void setDecorationFont(AppWindow& w, FontRef font) { setDecorationFont(*w.platform, std::move(font)); }

void setWindowIcon(AppWindow& w, int32_t width, int32_t height, const std::vector<uint8_t>& rgba)
{
    setIcon(*w.platform, width, height, rgba);
}

void setDarkTitleBar(AppWindow& w, bool dark) { setDarkTitleBar(*w.platform, dark); }

bool updateIfChanged(AppWindow& w, double r, double g, double b)
{
    if (w.backgroundColor == std::array<double, 3>{r, g, b})
        return true;
    w.backgroundColor = {r, g, b};
    return false;
}

bool openUrl(const std::string& url)
{
    // Quotes and semicolons have no business in a URL handed to a browser;
    // refusing them keeps any launcher that does use a shell safe.
    if (url.empty() || url.find_first_of("\"'`;") != std::string::npos)
        return false;
    if (runProgram({"xdg-open", url}) == 0)
        return true;
    const char* browsers = std::getenv("BROWSER");
    std::string list = browsers ? browsers : "";
    for (size_t at = 0; at < list.size();) {
        size_t end = list.find(':', at);
        if (end == std::string::npos)
            end = list.size();
        std::string program = list.substr(at, end - at);
        if (!program.empty() && runProgram({program, url}) == 0)
            return true;
        at = end + 1;
    }
    return false;
}

void setClipboardText(AppWindow& w, const std::string& text) { setClipboardText(platformOf(w), text); }

std::string getClipboardText(AppWindow& w) { return getClipboardText(platformOf(w)); }

bool hasAsyncFileDialog() { return false; }

void startAsyncFileDialog() { }

bool hasNativeFileDialog() { return false; }

std::string runNativeFileDialog() { return ""; }

void requestRedraw(AppWindow& w)
{
    if (w.redrawCounter == std::numeric_limits<int32_t>::max())
        throw ValueError("redraw counter overflow");
    ++w.redrawCounter;
}

void requestRedrawIf(AppWindow& w, bool flag)
{
    if (flag)
        requestRedraw(w);
}

void setCursor(AppWindow& w, CursorKind kind)
{
    if (kind == w.cursor)
        return;
    w.cursor = kind;
    setCursor(*w.platform, kind);
}

std::vector<WindowEvent> pollEvents(AppWindow& w)
{
    std::vector<WindowEvent> events = pollEvents(*w.platform);
    if (w.modal && !events.empty()) {
        bool attention = false;
        std::vector<WindowEvent> kept;
        for (WindowEvent& e : events) {
            switch (e.kind) {
            case weMouseMove:
            case weMouseUp:
            case weScroll:
            case weKeyUp:
            case weText:
            case weFileDrop:
            case weTouchScroll:
            case weRotate:
                break;
            case weClose:
            case weMouseDown:
            case weDoubleClick:
            case weKeyDown:
                attention = true;
                break;
            default:
                kept.push_back(std::move(e));
            }
        }
        if (attention)
            activate(*w.modal->platform);
        events.swap(kept);
    }
    for (const WindowEvent& e : events) {
        switch (e.kind) {
        case weClose:
            w.closeRequested = 1;
            break;
        case weResize:
            w.width = e.width;
            w.height = e.height;
            break;
        case weMouseMove:
        case weMouseDown:
        case weMouseUp:
        case weScroll:
        case weTouchScroll:
        case weRotate:
            w.pointerX = e.x;
            w.pointerY = e.y;
            break;
        case weFocusIn:
            w.focused = 1;
            break;
        case weFocusOut:
            w.focused = 0;
            break;
        case weScaleChanged:
            w.scale = e.scale;
            break;
        default:
            break;
        }
    }
    if (closeRequested(*w.platform)) {
        w.closeRequested = 1;
        setCloseRequested(*w.platform, false);
    }
    return events;
}

bool waitForEvents(AppWindow& w, int64_t timeoutNs) { return waitForEvents(*w.platform, timeoutNs); }

bool isMinimised(const AppWindow& w) { return w.width < 2 || w.height < 2; }

void swapBuffers(AppWindow& w) { swapBuffers(*w.platform); }

bool takeContentLost(AppWindow& w) { return takeContentLost(*w.platform); }

void closeWindow(AppWindow& w) { close(*w.platform); }

}  // namespace qm
