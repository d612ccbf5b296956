// Opens the application window on the chosen back end, draws a fixed scene
// and reports what happens, for the window tests under Xvfb or a Wayland
// compositor.
//
// Standard output: first {"backend": ..., "window": id, "width": ..,
// "height": .., "scale": ..}, then one JSON object per WindowEvent (every
// field and a monotonic "time") and {"close": true} when the close request
// is set. Commands on standard input, one a line:
//   copy FILE         put the file's text on the clipboard
//   paste             print {"clipboard": TEXT}
//   paste-to FILE     write the clipboard's text to FILE, print {"pasted": N}
//   cursor N          set CursorKind N
//   save FILE         save the framebuffer as PNG (glReadPixels), print {"saved": FILE}
//   info              print the window's state
//   quit              close the window and exit
// Options: --title T, --size WxH, --maximised, --dark, --light, --icon,
// --no-im (key text without the input method), --bad-gl-version (ask the
// GLX attribs call for 9.9), --exit-on-close (close the window and exit 0
// once the close request is seen), --no-wayland-lib (the Wayland client
// library cannot be opened).
#include "codecs/font/builtin_fonts.h"
#include "codecs/image/png.h"
#include "core/files.h"
#include "core/json.h"
#include "platform/app_window.h"
#include "platform/render/gl_entry_points.h"
#include "platform/render/primitives.h"
#include "platform/wayland/wl_libs.h"
#include "platform/wayland/wl_window.h"
#include "platform/x11/x11_start.h"
#include "platform/x11/x11_window.h"
#include "platform/x11/x11_window_internal.h"
#include "window_capture.h"

#include <dlfcn.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>

namespace {

using namespace qm;

const char* kindName(uint8_t kind)
{
    switch (kind) {
    case weClose:
        return "weClose";
    case weResize:
        return "weResize";
    case weMouseMove:
        return "weMouseMove";
    case weMouseDown:
        return "weMouseDown";
    case weMouseUp:
        return "weMouseUp";
    case weDoubleClick:
        return "weDoubleClick";
    case weScroll:
        return "weScroll";
    case weKeyDown:
        return "weKeyDown";
    case weKeyUp:
        return "weKeyUp";
    case weText:
        return "weText";
    case weFocusIn:
        return "weFocusIn";
    case weFocusOut:
        return "weFocusOut";
    case weMouseLeave:
        return "weMouseLeave";
    case weFileDrop:
        return "weFileDrop";
    case weScaleChanged:
        return "weScaleChanged";
    case weTouchScroll:
        return "weTouchScroll";
    case weRotate:
        return "weRotate";
    default:
        return "unknown";
    }
}

double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

void emit(const Json& j)
{
    std::string line = j.dump(-1, ' ', false, Json::error_handler_t::replace);
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

Json eventJson(const WindowEvent& e)
{
    Json j;
    j["kind"] = kindName(e.kind);
    j["x"] = e.x;
    j["y"] = e.y;
    j["button"] = e.button;
    j["dx"] = e.dx;
    j["dy"] = e.dy;
    j["key"] = e.key;
    j["modifiers"] = e.modifiers;
    j["repeat"] = e.repeat;
    j["codepoint"] = e.codepoint;
    j["width"] = e.width;
    j["height"] = e.height;
    j["scale"] = e.scale;
    j["text"] = e.text;
    j["fromTouch"] = e.fromTouch;
    j["time"] = now();
    return j;
}

Json stateJson(const AppWindow& w)
{
    Json j;
    j["backend"] = w.platform->wayland ? "wayland" : "x11";
    j["window"] = w.platform->x11 ? uint64_t(w.platform->x11->window) : 0;
    j["width"] = w.width;
    j["height"] = w.height;
    j["scale"] = w.scale;
    return j;
}

void drawScene(Renderer& r, const GlyphAtlasRef& font, int32_t width, int32_t height)
{
    qm::glViewport(0, 0, width, height);
    qm::glClearColor(0.95f, 0.95f, 0.93f, 1.0f);
    qm::glClear(GL_COLOR_BUFFER_BIT);
    beginRendererFrame(r, width, height);
    fillRect(r, {0, 0, double(width), 48}, hexColor(0x2B4C7E, 1));
    renderText(r, font, "Quenmark platform demo", 16, 31, 18, colorWhite);
    fillRoundRect(r, {16, 64, 160, 96}, 12, hexColor(0xE8A33D, 1));
    strokeCircle(r, 260, 112, 40, 3, hexColor(0x2B4C7E, 1));
    drawLine(r, 320, 70, 460, 150, 2, hexColor(0x7A2E2E, 1));
    renderText(r, font, "The quick brown fox jumps over the lazy dog. 0123456789 $", 16, 200, 15, colorBlack);
    flushRenderer(r);
}

std::string readLine(std::string& buffer, bool& ended)
{
    for (;;) {
        size_t nl = buffer.find('\n');
        if (nl != std::string::npos) {
            std::string line = buffer.substr(0, nl);
            buffer.erase(0, nl + 1);
            return line;
        }
        pollfd in{STDIN_FILENO, POLLIN, 0};
        if (ended || poll(&in, 1, 0) <= 0)
            return "";
        char chunk[4096];
        ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) {
            ended = true;
            return "";
        }
        buffer.append(chunk, size_t(n));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    startPlatform();
    std::string title = "Quenmark demo";
    int32_t width = 640, height = 400;
    bool maximised = false, icon = false, exitOnClose = false;
    int dark = -1;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--title" && i + 1 < argc)
            title = argv[++i];
        else if (a == "--size" && i + 1 < argc)
            std::sscanf(argv[++i], "%dx%d", &width, &height);
        else if (a == "--maximised")
            maximised = true;
        else if (a == "--dark" || a == "--light")
            dark = a == "--dark";
        else if (a == "--icon")
            icon = true;
        else if (a == "--no-im")
            x11TestSeams.noInputMethod = true;
        else if (a == "--bad-gl-version")
            x11TestSeams.badContextVersion = true;
        else if (a == "--exit-on-close")
            exitOnClose = true;
        else if (a == "--no-wayland-lib")
            setWaylandResolver({[](const char* soname) -> void* {
                                    if (std::string(soname) == "libwayland-client.so.0")
                                        return nullptr;
                                    return dlopen(soname, RTLD_NOW | RTLD_GLOBAL);
                                },
                [](void* library, const char* symbol) { return dlsym(library, symbol); }});
        else {
            std::fprintf(stderr, "platform_demo: unknown option %s\n", a.c_str());
            return 2;
        }
    }
    AppWindowRef window;
    try {
        window = newAppWindow(title, width, height, maximised);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "platform_demo: %s\n", e.what());
        return 1;
    }
    if (dark >= 0)
        setDarkTitleBar(*window, dark == 1);
    if (icon) {
        // 2 x 1: opaque red, then half-transparent green-blue.
        setWindowIcon(*window, 2, 1, {255, 0, 0, 255, 0, 128, 255, 128});
    }
    RendererRef renderer = newRenderer();
    FontRef sans = parseTrueType(builtinFontFile(BuiltinFont::sansRegular));
    setDecorationFont(*window, sans);
    GlyphAtlasRef font = newGlyphAtlas(sans, 1024);
    emit(stateJson(*window));

    std::string input;
    bool inputEnded = false, closeReported = false;
    for (;;) {
        for (const WindowEvent& e : pollEvents(*window))
            emit(eventJson(e));
        if (window->closeRequested && !closeReported) {
            closeReported = true;
            emit(Json{{"close", true}});
            if (exitOnClose) {
                closeWindow(*window);
                return 0;
            }
        }
        drawScene(*renderer, font, window->width, window->height);
        for (std::string line; !(line = readLine(input, inputEnded)).empty();) {
            std::string command = line.substr(0, line.find(' '));
            std::string arg = line.find(' ') == std::string::npos ? "" : line.substr(line.find(' ') + 1);
            if (command == "copy") {
                setClipboardText(*window, readFile(arg));
                emit(Json{{"copied", arg}});
            } else if (command == "paste") {
                emit(Json{{"clipboard", getClipboardText(*window)}});
            } else if (command == "paste-to") {
                std::string text = getClipboardText(*window);
                writeFileAtomic(arg, text);
                emit(Json{{"pasted", text.size()}});
            } else if (command == "cursor") {
                setCursor(*window, CursorKind(std::stoi(arg)));
                emit(Json{{"cursor", std::stoi(arg)}});
            } else if (command == "save") {
                savePng(*testing_capture::readWindowFramebuffer(window->width, window->height), arg);
                emit(Json{{"saved", arg}});
            } else if (command == "info") {
                emit(stateJson(*window));
            } else if (command == "quit") {
                closeWindow(*window);
                return 0;
            } else {
                emit(Json{{"error", "unknown command " + command}});
            }
        }
        swapBuffers(*window);
        usleep(10000);
    }
}
