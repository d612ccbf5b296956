#include "platform/x11/x11_window.h"

#include "core/decimal.h"
#include "core/errors.h"
#include "core/ui_wake.h"
#include "core/utf8.h"
#include "platform/keys.h"
#include "platform/render/gl_entry_points.h"
#include "platform/ui_scale.h"
#include "platform/x11/x11_libs.h"
#include "platform/x11/x11_window_internal.h"

#include <X11/Xatom.h>
#include <X11/cursorfont.h>
#include <dlfcn.h>
#include <langinfo.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace qm {

X11TestSeams x11TestSeams;

namespace {

const auto startTime = std::chrono::steady_clock::now();

std::vector<X11WindowRef> windowList;
bool glLoaded = false;

// X errors are recorded, not fatal: a requestor window that has gone, or a
// context the driver refuses, must not end the program.
int lastXError = 0;
int recordXError(Display*, XErrorEvent* event)
{
    lastXError = event->error_code;
    return 0;
}

struct XInput {
    bool tried = false;
    int opcode = -1;  // remembered only when the server speaks 2.2
    decltype(&::XIQueryVersion) queryVersion = nullptr;
    decltype(&::XISelectEvents) selectEvents = nullptr;
};
XInput xinput;

void enableTouchInput(Display* display, Window window)
{
    if (!xinput.tried) {
        xinput.tried = true;
        if (void* lib = dlopen("libXi.so.6", RTLD_NOW | RTLD_GLOBAL)) {
            xinput.queryVersion = reinterpret_cast<decltype(xinput.queryVersion)>(dlsym(lib, "XIQueryVersion"));
            xinput.selectEvents = reinterpret_cast<decltype(xinput.selectEvents)>(dlsym(lib, "XISelectEvents"));
            int opcode = 0, event = 0, error = 0;
            if (xinput.queryVersion && xinput.selectEvents
                && x11.XQueryExtension(display, "XInputExtension", &opcode, &event, &error)) {
                int major = 2, minor = 2;
                if (xinput.queryVersion(display, &major, &minor) == Success
                    && (major > 2 || (major == 2 && minor >= 2)))
                    xinput.opcode = opcode;
            }
        }
    }
    if (xinput.opcode < 0)
        return;
    unsigned char mask[4] = {};
    XISetMask(mask, XI_TouchBegin);
    XISetMask(mask, XI_TouchUpdate);
    XISetMask(mask, XI_TouchEnd);
    XIEventMask eventMask{XIAllMasterDevices, sizeof mask, mask};
    xinput.selectEvents(display, window, &eventMask, 1);
}

// Format-32 properties travel as C longs in Xlib, whatever their width.
void setProperty32(X11Window& w, Atom property, Atom type, const std::vector<long>& items)
{
    x11.XChangeProperty(w.display, w.window, property, type, 32, PropModeReplace,
        reinterpret_cast<const unsigned char*>(items.data()), int(items.size()));
}

Atom atom(Display* display, const char* name) { return x11.XInternAtom(display, name, False); }

bool localeIsUtf8()
{
    std::string_view codeset = nl_langinfo(CODESET);
    return codeset == "UTF-8" || codeset == "utf8";
}

X11Window* windowFor(Display* display, Window id, X11Window& fallback)
{
    for (const X11WindowRef& w : windowList)
        if (w->window == id && w->display == display)
            return w.get();
    return &fallback;
}

void queueKeyText(X11Window& w, XKeyEvent& key, uint8_t modifiers)
{
    char buffer[64];
    int count = 0;
    bool utf8 = false;
    KeySym keysym = 0;
    if (w.inputContext) {
        Status status = 0;
        count = x11.Xutf8LookupString(w.inputContext, &key, buffer, 63, &keysym, &status);
        if (status != XLookupChars && status != XLookupBoth)
            count = 0;
        utf8 = true;
    } else {
        count = x11.XLookupString(&key, buffer, 63, &keysym, nullptr);
        // Latin-1 in principle, but Xlib follows the locale's encoding, so a
        // UTF-8 locale gets UTF-8 bytes.
        utf8 = localeIsUtf8();
    }
    if (count < 1 || (key.state & (ControlMask | Mod1Mask)))
        return;
    for (WindowEvent& e : keyTextEvents(std::string_view(buffer, size_t(std::min(count, 63))), utf8, modifiers))
        w.queue.push_back(std::move(e));
}

void answerSelectionRequest(X11Window& w, const XSelectionRequestEvent& request)
{
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.display = request.display;
    reply.requestor = request.requestor;
    reply.selection = request.selection;
    reply.target = request.target;
    reply.property = request.property;
    reply.time = request.time;
    if (request.target == w.targetsAtom) {
        std::vector<long> targets = {long(w.targetsAtom), long(w.utf8StringAtom)};
        x11.XChangeProperty(w.display, request.requestor, request.property, XA_ATOM, 32, PropModeReplace,
            reinterpret_cast<const unsigned char*>(targets.data()), 2);
    } else if (request.target == w.utf8StringAtom) {
        x11.XChangeProperty(w.display, request.requestor, request.property, w.utf8StringAtom, 8, PropModeReplace,
            reinterpret_cast<const unsigned char*>(w.clipboardText.data()), int(w.clipboardText.size()));
    } else {
        reply.property = None;
    }
    XEvent event{};
    event.xselection = reply;
    // A requestor that has gone answers BadWindow; the handler records it.
    x11.XSendEvent(w.display, request.requestor, False, 0, &event);
    x11.XFlush(w.display);
}

void translateX11Event(X11Window& w, XEvent& event)
{
    WindowEvent e;
    switch (event.type) {
    case KeyPress:
    case KeyRelease: {
        KeySym keysym = x11.XkbKeycodeToKeysym(w.display, KeyCode(event.xkey.keycode), 0, 0);
        e.kind = event.type == KeyPress ? weKeyDown : weKeyUp;
        e.key = keysymToKeyCode(uint32_t(keysym));
        e.modifiers = modifiersFromX11State(event.xkey.state);
        w.queue.push_back(e);
        if (event.type == KeyPress)
            queueKeyText(w, event.xkey, e.modifiers);
        return;
    }
    case ButtonPress:
    case ButtonRelease: {
        unsigned button = event.xbutton.button;
        e.x = event.xbutton.x;
        e.y = event.xbutton.y;
        e.modifiers = modifiersFromX11State(event.xbutton.state);
        if (button >= 4 && button <= 7) {
            if (event.type == ButtonRelease)
                return;
            e.kind = weScroll;
            e.dy = button == 4 ? 1 : button == 5 ? -1 : 0;
            e.dx = button == 6 ? -1 : button == 7 ? 1 : 0;
        } else if (button <= 3 || button == 8 || button == 9) {
            e.kind = event.type == ButtonPress ? weMouseDown : weMouseUp;
            e.button = uint8_t(button == 8 ? 4 : button == 9 ? 5 : button);
        } else {
            return;
        }
        w.queue.push_back(e);
        return;
    }
    case MotionNotify:
        e.kind = weMouseMove;
        e.x = event.xmotion.x;
        e.y = event.xmotion.y;
        e.modifiers = modifiersFromX11State(event.xmotion.state);
        w.queue.push_back(e);
        return;
    case LeaveNotify:
        e.kind = weMouseLeave;
        w.queue.push_back(e);
        return;
    case FocusIn:
        if (w.inputContext)
            x11.XSetICFocus(w.inputContext);
        e.kind = weFocusIn;
        w.queue.push_back(e);
        return;
    case FocusOut:
        e.kind = weFocusOut;
        w.queue.push_back(e);
        return;
    case ConfigureNotify:
        if (event.xconfigure.width != w.width || event.xconfigure.height != w.height) {
            w.width = event.xconfigure.width;
            w.height = event.xconfigure.height;
            e.kind = weResize;
            e.width = w.width;
            e.height = w.height;
            w.queue.push_back(e);
        }
        return;
    case Expose:
        w.exposed = true;
        return;
    case SelectionRequest:
        if (event.xselectionrequest.selection == w.clipboardAtom)
            answerSelectionRequest(w, event.xselectionrequest);
        return;
    case ClientMessage:
        if (event.xclient.format == 32 && Atom(event.xclient.data.l[0]) == w.wmDeleteWindow) {
            w.closeRequested = 1;
            e.kind = weClose;
            w.queue.push_back(e);
        }
        return;
    default:
        return;
    }
}

void handleTouchEvent(Display* display, XEvent& event)
{
    XGenericEventCookie& cookie = event.xcookie;
    if (xinput.opcode < 0 || cookie.extension != xinput.opcode || !x11.XGetEventData(display, &cookie))
        return;
    if (cookie.evtype == XI_TouchBegin || cookie.evtype == XI_TouchUpdate || cookie.evtype == XI_TouchEnd) {
        auto* touch = static_cast<XIDeviceEvent*>(cookie.data);
        for (const X11WindowRef& w : windowList) {
            if (w->window != touch->event || w->display != display)
                continue;
            GestureRecognizer& g = w->gestures;
            g.scale = w->scale;
            double t = x11SecondsSinceStart();
            if (cookie.evtype == XI_TouchBegin)
                touchDown(g, touch->detail, touch->event_x, touch->event_y, t);
            else if (cookie.evtype == XI_TouchUpdate)
                touchMotion(g, touch->detail, touch->event_x, touch->event_y, false, t);
            else
                touchUp(g, touch->detail, touch->event_x, touch->event_y, t);
            break;
        }
    }
    x11.XFreeEventData(display, &cookie);
}

void routeX11Event(X11Window& polling, XEvent& event)
{
    if (event.type == GenericEvent) {
        handleTouchEvent(polling.display, event);
        return;
    }
    translateX11Event(*windowFor(polling.display, event.xany.window, polling), event);
}

// The transfer property's bytes and type. Format 32 arrives as longs of
// which 4 bytes count, format 16 as shorts; offsets count 32-bit units.
std::string readTransferProperty(X11Window& w, Atom& type)
{
    std::string data;
    long offset = 0;
    type = None;
    for (;;) {
        Atom actualType = None;
        int format = 0;
        unsigned long items = 0, remaining = 0;
        unsigned char* bytes = nullptr;
        if (x11.XGetWindowProperty(w.display, w.window, w.transferAtom, offset, 4194304, False, AnyPropertyType,
                &actualType, &format, &items, &remaining, &bytes)
            != Success)
            break;
        type = actualType;
        if (bytes) {
            if (format == 8) {
                data.append(reinterpret_cast<const char*>(bytes), items);
            } else if (format == 16) {
                for (unsigned long i = 0; i < items; ++i) {
                    auto v = uint16_t(reinterpret_cast<const short*>(bytes)[i]);
                    data.append(reinterpret_cast<const char*>(&v), 2);
                }
            } else if (format == 32) {
                for (unsigned long i = 0; i < items; ++i) {
                    auto v = uint32_t(reinterpret_cast<const long*>(bytes)[i]);
                    data.append(reinterpret_cast<const char*>(&v), 4);
                }
            }
            x11.XFree(bytes);
        }
        offset += long(items * unsigned(format) / 32);
        if (items == 0 || remaining == 0 || format == 0)
            break;
    }
    x11.XDeleteProperty(w.display, w.window, w.transferAtom);
    return data;
}

std::optional<std::string> requestSelection(X11Window& w, Atom target)
{
    x11.XDeleteProperty(w.display, w.window, w.transferAtom);
    x11.XConvertSelection(w.display, w.clipboardAtom, target, w.transferAtom, w.window, CurrentTime);
    x11.XFlush(w.display);
    std::string result;
    bool incremental = false;
    for (int idle = 0; idle < 400;) {
        bool progress = false;
        while (x11.XPending(w.display) > 0) {
            XEvent event;
            x11.XNextEvent(w.display, &event);
            if (!incremental && event.type == SelectionNotify && event.xselection.requestor == w.window) {
                if (event.xselection.property == None)
                    return std::nullopt;
                Atom type = None;
                std::string data = readTransferProperty(w, type);
                if (type != w.incrAtom)
                    return data;
                x11.XFlush(w.display);
                incremental = true;
                progress = true;
            } else if (incremental && event.type == PropertyNotify) {
                if (event.xproperty.window != w.window || event.xproperty.atom != w.transferAtom
                    || event.xproperty.state != PropertyNewValue)
                    continue;
                Atom type = None;
                std::string chunk = readTransferProperty(w, type);
                if (chunk.empty())
                    return result;
                result += chunk;
                progress = true;
            } else if (event.type == PropertyNotify) {
                continue;
            } else {
                routeX11Event(w, event);
            }
        }
        if (progress) {
            idle = 0;
        } else {
            ++idle;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    return std::nullopt;
}

unsigned cursorShape(CursorKind kind)
{
    switch (kind) {
    case curIBeam:
        return XC_xterm;
    case curCrosshair:
        return XC_crosshair;
    case curHand:
        return XC_hand2;
    case curSizeWE:
        return XC_sb_h_double_arrow;
    case curSizeNS:
        return XC_sb_v_double_arrow;
    case curSizeAll:
        return XC_fleur;
    case curSizeNWSE:
        return XC_top_left_corner;
    case curSizeNESW:
        return XC_bottom_left_corner;
    case curWait:
        return XC_watch;
    default:
        return XC_left_ptr;
    }
}

}  // namespace

double x11SecondsSinceStart()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - startTime).count();
}

double x11ScaleFrom(const char* scaleVariable, const char* resources)
{
    if (scaleVariable) {
        if (std::optional<double> forced = parseUiScale(scaleVariable))
            return *forced;
    }
    if (!resources)
        return 1.0;
    const char* at = std::strstr(resources, "Xft.dpi:");
    if (!at)
        return 1.0;
    at += 8;
    while (*at == ' ' || *at == '\t')
        ++at;
    std::string number;
    while ((*at >= '0' && *at <= '9') || *at == '.')
        number.push_back(*at++);
    // Read as the resource writes it, with a ".", whatever LC_NUMERIC the program took.
    size_t point = number.find('.');
    bool digits = !number.empty() && number != "."
        && (point == std::string::npos || number.find('.', point + 1) == std::string::npos);
    double dpi = digits ? decimalToDouble(number) : 0;
    if (!(dpi > 30))
        return 1.0;
    // A resource is as untrusted as the variable: the same ceiling holds.
    return std::min(dpi / 96.0, kMaxUiScale);
}

std::vector<WindowEvent> keyTextEvents(std::string_view bytes, bool utf8, uint8_t modifiers)
{
    std::vector<WindowEvent> out;
    for (size_t at = 0; at < bytes.size();) {
        uint32_t cp = uint8_t(bytes[at]);
        size_t length = 1;
        if (utf8) {
            Utf8Step step = decodeUtf8(bytes, at);
            cp = step.codePoint;
            length = step.length;
        }
        at += length;
        if (cp < 32 || cp == 127)
            continue;
        WindowEvent e;
        e.kind = weText;
        e.codepoint = int32_t(cp);
        e.modifiers = modifiers;
        out.push_back(e);
    }
    return out;
}

bool hasGlxExtension(std::string_view list, std::string_view name)
{
    for (size_t at = 0; at < list.size();) {
        size_t end = list.find(' ', at);
        if (end == std::string_view::npos)
            end = list.size();
        if (list.substr(at, end - at) == name)
            return true;
        at = end + 1;
    }
    return false;
}

X11WindowRef createX11Window(const std::optional<std::string>& title, int32_t width, int32_t height, bool maximised)
{
    std::setlocale(LC_ALL, "");
    x11.XSetLocaleModifiers("");
    if (!std::getenv("MESA_GL_VERSION_OVERRIDE")) {
        setenv("MESA_GL_VERSION_OVERRIDE", "3.3", 1);
        if (!std::getenv("MESA_GLSL_VERSION_OVERRIDE"))
            setenv("MESA_GLSL_VERSION_OVERRIDE", "330", 1);
    }
    if (width < 0 || height < 0)
        throw ValueError("window size out of range");
    auto w = std::make_shared<X11Window>();
    w->display = x11.XOpenDisplay(nullptr);
    if (!w->display)
        throw OSError("Cannot open X display");
    x11.XSetErrorHandler(recordXError);
    Display* d = w->display;
    w->screen = x11.XDefaultScreen(d);
    w->scale = x11ScaleFrom(std::getenv("QUENMRK_SCALE"), x11.XResourceManagerString(d));
    Window root = x11.XRootWindow(d, w->screen);
    auto fail = [&](const char* message) {
        x11.XCloseDisplay(d);
        throw OSError(message);
    };

    const int configAttribs[] = {GLX_X_RENDERABLE, True, GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT, GLX_RENDER_TYPE,
        GLX_RGBA_BIT, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8, GLX_ALPHA_SIZE, 8, GLX_DEPTH_SIZE, 24,
        GLX_STENCIL_SIZE, 8, GLX_DOUBLEBUFFER, True, None};
    int count = 0;
    GLXFBConfig* configs = x11.glXChooseFBConfig(d, w->screen, configAttribs, &count);
    if (!configs || count < 1)
        fail("No suitable GLX framebuffer config");
    GLXFBConfig config = configs[0];
    XVisualInfo* info = x11.glXGetVisualFromFBConfig(d, config);
    if (!info) {
        x11.XFree(configs);
        fail("No suitable GLX framebuffer config");
    }
    w->visual = info->visual;
    w->depth = info->depth;
    w->colormap = x11.XCreateColormap(d, root, info->visual, AllocNone);

    XSetWindowAttributes attributes{};
    attributes.background_pixel = 0;
    attributes.border_pixel = 0;
    attributes.colormap = w->colormap;
    attributes.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | LeaveWindowMask
        | PointerMotionMask | ExposureMask | StructureNotifyMask | FocusChangeMask | PropertyChangeMask;
    w->width = std::max(1, int32_t(width * w->scale));
    w->height = std::max(1, int32_t(height * w->scale));
    w->window = x11.XCreateWindow(d, root, 0, 0, unsigned(w->width), unsigned(w->height), 0, info->depth, InputOutput,
        info->visual, CWBackPixel | CWBorderPixel | CWColormap | CWEventMask, &attributes);
    x11.XFree(info);

    x11.XStoreName(d, w->window, title ? title->c_str() : "");
    static const char wmClass[] = "quenmrk\0Quenmark";
    x11.XChangeProperty(d, w->window, XA_WM_CLASS, XA_STRING, 8, PropModeReplace,
        reinterpret_cast<const unsigned char*>(wmClass), int(sizeof wmClass));
    w->wmDeleteWindow = atom(d, "WM_DELETE_WINDOW");
    w->clipboardAtom = atom(d, "CLIPBOARD");
    w->utf8StringAtom = atom(d, "UTF8_STRING");
    w->targetsAtom = atom(d, "TARGETS");
    w->transferAtom = atom(d, "QUENMRK_SEL");
    w->incrAtom = atom(d, "INCR");
    x11.XSetWMProtocols(d, w->window, &w->wmDeleteWindow, 1);
    if (maximised) {
        setProperty32(*w, atom(d, "_NET_WM_STATE"), XA_ATOM,
            {long(atom(d, "_NET_WM_STATE_MAXIMIZED_VERT")), long(atom(d, "_NET_WM_STATE_MAXIMIZED_HORZ"))});
    }
    x11.XMapWindow(d, w->window);

    // Mesa answers glXGetProcAddressARB for any name, so the extension list
    // decides whether the attribs call exists at all.
    std::string_view extensions = x11.glXQueryExtensionsString(d, w->screen) ?: "";
    auto proc = [](const char* name) { return x11.glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)); };
    if (hasGlxExtension(extensions, "GLX_ARB_create_context_profile")) {
        using CreateContextAttribs = GLXContext (*)(Display*, GLXFBConfig, GLXContext, Bool, const int*);
        auto create = reinterpret_cast<CreateContextAttribs>(proc("glXCreateContextAttribsARB"));
        if (create) {
            int major = x11TestSeams.badContextVersion ? 9 : 3;
            int minor = x11TestSeams.badContextVersion ? 9 : 3;
            const int contextAttribs[] = {GLX_CONTEXT_MAJOR_VERSION_ARB, major, GLX_CONTEXT_MINOR_VERSION_ARB, minor,
                GLX_CONTEXT_PROFILE_MASK_ARB, GLX_CONTEXT_CORE_PROFILE_BIT_ARB, None};
            lastXError = 0;
            w->context = create(d, config, nullptr, True, contextAttribs);
            x11.XSync(d, False);
            if (lastXError != 0 && w->context) {
                x11.glXDestroyContext(d, w->context);
                w->context = nullptr;
            }
            lastXError = 0;
        }
    }
    if (!w->context)
        w->context = x11.glXCreateNewContext(d, config, GLX_RGBA_TYPE, nullptr, True);
    x11.XFree(configs);
    if (!w->context) {
        x11.XDestroyWindow(d, w->window);
        fail("Failed to create OpenGL context");
    }
    x11.glXMakeCurrent(d, w->window, w->context);
    if (!glLoaded) {
        glLoaded = true;
        loadGlEntryPoints([&](const char* name) { return reinterpret_cast<GlProc>(proc(name)); });
    }
    if (hasGlxExtension(extensions, "GLX_EXT_swap_control")) {
        using SwapInterval = void (*)(Display*, GLXDrawable, int);
        if (auto swapInterval = reinterpret_cast<SwapInterval>(proc("glXSwapIntervalEXT")))
            swapInterval(d, w->window, 1);
    }
    if (!x11TestSeams.noInputMethod) {
        w->inputMethod = x11.XOpenIM(d, nullptr, nullptr, nullptr);
        if (w->inputMethod) {
            w->inputContext = x11.XCreateIC(
                w->inputMethod, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, w->window, nullptr);
            if (w->inputContext)
                x11.XSetICFocus(w->inputContext);
        }
    }
    enableTouchInput(d, w->window);
    x11.XFlush(d);
    windowList.push_back(w);
    return w;
}

void setScrollHitTest(X11Window& w, ScrollHitTest hitTest) { w.gestures.hitTest = std::move(hitTest); }

void x11SetIcon(X11Window& w, int32_t width, int32_t height, const std::vector<uint8_t>& rgba)
{
    if (width <= 0 || height <= 0 || uint64_t(rgba.size()) < uint64_t(width) * uint64_t(height) * 4)
        return;
    std::vector<long> items;
    items.reserve(size_t(width) * size_t(height) + 2);
    items.push_back(width);
    items.push_back(height);
    for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
        const uint8_t* p = &rgba[i * 4];
        items.push_back(long(uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]));
    }
    setProperty32(w, atom(w.display, "_NET_WM_ICON"), XA_CARDINAL, items);
    x11.XFlush(w.display);
}

void x11SetDarkTitleBar(X11Window& w, bool dark)
{
    const char* variant = dark ? "dark" : "light";
    x11.XChangeProperty(w.display, w.window, atom(w.display, "_GTK_THEME_VARIANT"), w.utf8StringAtom, 8,
        PropModeReplace, reinterpret_cast<const unsigned char*>(variant), int(std::strlen(variant)));
    x11.XFlush(w.display);
}

void x11SetClipboardText(X11Window& w, const std::string& text)
{
    w.clipboardText = text;
    x11.XSetSelectionOwner(w.display, w.clipboardAtom, w.window, CurrentTime);
    x11.XFlush(w.display);
}

std::string x11GetClipboardText(X11Window& w)
{
    Window owner = x11.XGetSelectionOwner(w.display, w.clipboardAtom);
    if (owner == None)
        return "";
    if (owner == w.window)
        return w.clipboardText;
    return requestSelection(w, w.utf8StringAtom).value_or("");
}

void x11SetCursor(X11Window& w, CursorKind kind)
{
    if (kind == curNone) {
        x11.XUndefineCursor(w.display, w.window);
    } else {
        auto it = w.cursorCache.find(kind);
        if (it == w.cursorCache.end())
            it = w.cursorCache.emplace(kind, x11.XCreateFontCursor(w.display, cursorShape(kind))).first;
        x11.XDefineCursor(w.display, w.window, it->second);
    }
    x11.XFlush(w.display);
}

std::vector<WindowEvent> x11PollEvents(X11Window& w)
{
    while (x11.XPending(w.display) > 0) {
        XEvent event;
        x11.XNextEvent(w.display, &event);
        if (x11.XFilterEvent(&event, None))
            continue;
        routeX11Event(w, event);
    }
    reevaluateTouch(w.gestures, x11SecondsSinceStart());
    for (WindowEvent& e : gestureTick(w.gestures, x11SecondsSinceStart()))
        w.queue.push_back(std::move(e));
    std::vector<WindowEvent> out;
    out.swap(w.queue);
    return out;
}

bool x11WaitForEvents(X11Window& w, int32_t timeoutMs)
{
    if (!w.display)
        return false;
    // XPending sends what is buffered, so the server is never left waiting on
    // a request while the loop sleeps, and counts events already read off
    // the connection, which poll cannot see.
    if (!w.queue.empty() || x11.XPending(w.display) > 0)
        return false;
    if (gestureNeedsPolls(w.gestures))
        timeoutMs = std::min(timeoutMs, kPromptPollMs);
    return waitReadableOrWoken(ConnectionNumber(w.display), timeoutMs).woken;
}

void x11Activate(X11Window& w)
{
    x11.XMapRaised(w.display, w.window);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = w.window;
    event.xclient.message_type = atom(w.display, "_NET_ACTIVE_WINDOW");
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1;
    x11.XSendEvent(w.display, x11.XRootWindow(w.display, w.screen), False,
        SubstructureRedirectMask | SubstructureNotifyMask, &event);
    x11.XFlush(w.display);
}

void x11SwapBuffers(X11Window& w) { x11.glXSwapBuffers(w.display, w.window); }

void x11Close(X11Window& w)
{
    std::erase_if(windowList, [&](const X11WindowRef& other) { return other.get() == &w; });
    if (!w.display)
        return;
    if (w.inputContext)
        x11.XDestroyIC(w.inputContext);
    w.inputContext = nullptr;
    if (w.context) {
        x11.glXMakeCurrent(w.display, None, nullptr);
        x11.glXDestroyContext(w.display, w.context);
        w.context = nullptr;
    }
    if (w.window)
        x11.XDestroyWindow(w.display, w.window);
    w.window = 0;
    x11.XCloseDisplay(w.display);
    w.display = nullptr;
}

}  // namespace qm
