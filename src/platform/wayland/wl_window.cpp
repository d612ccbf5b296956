// The connection, its globals, EGL, and the life of a window: creation with
// the wait for the first configure, configures, scale, presenting, closing.
#include "platform/wayland/wl_window.h"

#include "core/errors.h"
#include "platform/render/gl_entry_points.h"
#include "platform/wayland/wl_input.h"
#include "platform/wayland/wl_protocols.h"
#include "platform/wayland/wl_window_internal.h"

#include <sys/mman.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace qm {

WaylandState wls;
WaylandProcessState wlProcess;
WaylandTestSeams wlTestSeams;

double monotonicSeconds()
{
    if (wlTestSeams.clock)
        return wlTestSeams.clock();
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

namespace {

constexpr EGLint kPlatformWayland = 0x31D8;

void forgetWindowFocus(const WlWindowRef& w)
{
    if (wls.pointerWindow == w) {
        wls.pointerWindow.reset();
        wls.pointerPart = partContent;
    }
    if (wls.keyboardWindow == w) {
        wls.keyboardWindow.reset();
        wls.repeatKey = 0;
    }
    if (wls.dropWindow == w)
        wls.dropWindow.reset();
    for (auto it = wls.touchMap.begin(); it != wls.touchMap.end();)
        it = it->second == w ? wls.touchMap.erase(it) : std::next(it);
}

// Every object of the window, in the order the compositor expects them gone.
void destroyWindowObjects(WlWindow& w)
{
    if (wls.eglDisplay) {
        wl.eglMakeCurrent(wls.eglDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (w.eglSurface)
            wl.eglDestroySurface(wls.eglDisplay, w.eglSurface);
    }
    w.eglSurface = nullptr;
    if (w.eglWindow)
        wl.wl_egl_window_destroy(w.eglWindow);
    w.eglWindow = nullptr;
    if (w.frameCallback)
        wl.wl_proxy_destroy(w.frameCallback);
    w.frameCallback = nullptr;
    for (DecorationPart& p : w.parts) {
        sendDestructorRequest(p.subsurface, 0);
        sendDestructorRequest(p.surface, 0);
        p = DecorationPart{};
    }
    sendDestructorRequest(w.decoration, 0);
    sendDestructorRequest(w.toplevel, 0);
    sendDestructorRequest(w.xdgSurface, 0);
    sendDestructorRequest(w.fractionalScale, 0);
    sendDestructorRequest(w.viewport, 0);
    sendDestructorRequest(w.surface, 0);
    w.decoration = w.toplevel = w.xdgSurface = w.fractionalScale = w.viewport = w.surface = nullptr;
}

void removeWindow(const WlWindowRef& w)
{
    auto it = std::find(wls.windows.begin(), wls.windows.end(), w);
    if (it != wls.windows.end())
        wls.windows.erase(it);
    forgetWindowFocus(w);
}

WlWindowRef windowWhere(auto match)
{
    for (const WlWindowRef& w : wls.windows)
        if (match(*w))
            return w;
    return nullptr;
}

void handleRegistry(uint32_t opcode, const wl_argument* a)
{
    if (opcode == 0) {
        uint32_t name = a[0].u, version = a[2].u;
        std::string iface = a[1].s ? a[1].s : "";
        wl_proxy* r = wls.registry;
        if (iface == "wl_compositor" && !wls.compositor) {
            wls.compositorVersion = std::min({uint32_t(wl.wl_compositor_interface->version), version, 6u});
            wls.compositor = bindGlobal(r, name, wl.wl_compositor_interface, wls.compositorVersion, okNone);
        } else if (iface == "wl_subcompositor" && !wls.subcompositor) {
            wls.subcompositor = bindGlobal(r, name, wl.wl_subcompositor_interface, 1, okNone);
        } else if (iface == "wl_shm" && !wls.shm) {
            wls.shm = bindGlobal(r, name, wl.wl_shm_interface, 1, okNone);
        } else if (iface == "xdg_wm_base" && !wls.wmBase) {
            wls.wmBase = bindGlobal(r, name, wlp.xdg_wm_base, std::min(version, 6u), okWmBase);
        } else if (iface == "wl_seat" && !wls.seat) {
            wls.seatVersion = std::min({uint32_t(wl.wl_seat_interface->version), version, 5u});
            wls.seat = bindGlobal(r, name, wl.wl_seat_interface, wls.seatVersion, okSeat);
        } else if (iface == "wl_output") {
            wl_proxy* o = bindGlobal(r, name, wl.wl_output_interface, std::min(version, 2u), okOutput);
            if (o)
                wls.outputs.push_back({o, name, 1});
        } else if (iface == "wl_data_device_manager" && !wls.dataDeviceManager) {
            wls.dataDeviceManagerVersion = std::min(version, 3u);
            wls.dataDeviceManager =
                bindGlobal(r, name, wl.wl_data_device_manager_interface, wls.dataDeviceManagerVersion, okNone);
        } else {
            struct Optional {
                const char* name;
                wl_proxy** slot;
                const wl_interface* iface;
            };
            const Optional optional[] = {
                {"zxdg_decoration_manager_v1", &wls.decorationManager, wlp.zxdg_decoration_manager_v1},
                {"xdg_activation_v1", &wls.activation, wlp.xdg_activation_v1},
                {"wp_viewporter", &wls.viewporter, wlp.wp_viewporter},
                {"wp_fractional_scale_manager_v1", &wls.fractionalScaleManager, wlp.wp_fractional_scale_manager_v1},
                {"wp_cursor_shape_manager_v1", &wls.cursorShapeManager, wlp.wp_cursor_shape_manager_v1},
                {"zwp_idle_inhibit_manager_v1", &wls.idleInhibitManager, wlp.zwp_idle_inhibit_manager_v1},
            };
            for (const Optional& o : optional)
                if (iface == o.name && !*o.slot)
                    *o.slot = bindGlobal(r, name, o.iface, 1, okNone);
        }
    } else if (opcode == 1) {
        for (auto it = wls.outputs.begin(); it != wls.outputs.end(); ++it) {
            if (it->name != a[0].u)
                continue;
            for (const WlWindowRef& w : wls.windows)
                std::erase(w->enteredOutputs, it->proxy);
            wl.wl_proxy_destroy(it->proxy);
            wls.outputs.erase(it);
            rescaleWindows();
            break;
        }
    }
}

void handleXdgSurfaceConfigure(WlWindow& w, uint32_t serial)
{
    sendRequest(w.xdgSurface, 4, {argUint(serial)});
    bool wasSuspended = w.suspended;
    w.maximised = w.fullscreen = w.tiled = w.activated = w.suspended = false;
    for (uint32_t s : w.pendingStates) {
        if (s == 1)
            w.maximised = true;
        else if (s == 2)
            w.fullscreen = true;
        else if (s == 4)
            w.activated = true;
        else if (s >= 5 && s <= 8)
            w.tiled = true;
        else if (s == 9)
            w.suspended = true;
    }
    bool wasConfigured = w.configured;
    w.configured = true;
    if (w.pendingWidth > 0 && w.pendingHeight > 0) {
        w.width = w.pendingWidth;
        w.height = std::max(1, w.pendingHeight - titleBarHeight(w));
    }
    if (!wasConfigured)
        return;
    frameUpdate(w);
    if (w.suspended != wasSuspended) {
        WindowEvent e;
        e.kind = weResize;
        e.width = w.suspended ? 0 : w.bufferWidth;
        e.height = w.suspended ? 0 : w.bufferHeight;
        w.events.push_back(e);
    }
}

void handleToplevel(WlWindow& w, uint32_t opcode, const wl_argument* a)
{
    if (opcode == 0) {
        w.pendingWidth = a[0].i;
        w.pendingHeight = a[1].i;
        w.pendingStates.clear();
        if (const wl_array* states = a[2].a) {
            const auto* p = static_cast<const uint32_t*>(states->data);
            for (size_t i = 0; i < states->size / sizeof(uint32_t); ++i)
                w.pendingStates.push_back(p[i]);
        }
    } else if (opcode == 1) {
        w.closeRequested = true;
        WindowEvent e;
        e.kind = weClose;
        w.events.push_back(e);
    } else if (opcode == 2) {
        w.boundsWidth = a[0].i;
        w.boundsHeight = a[1].i;
    }
}

void handleSurface(wl_proxy* surface, uint32_t opcode, const wl_argument* a)
{
    WlWindowRef w = windowWhere([&](const WlWindow& x) { return x.surface == surface; });
    if (!w)
        return;  // decoration parts and unknown surfaces
    if (opcode == 0) {
        wl_proxy* o = reinterpret_cast<wl_proxy*>(a[0].o);
        if (std::find(w->enteredOutputs.begin(), w->enteredOutputs.end(), o) == w->enteredOutputs.end())
            w->enteredOutputs.push_back(o);
    } else if (opcode == 1) {
        std::erase(w->enteredOutputs, reinterpret_cast<wl_proxy*>(a[0].o));
    } else if (opcode == 2) {
        w->preferredBufferScale = a[0].i;
    } else {
        return;
    }
    rescaleWindows();
}

void handleFrameDone(wl_proxy* callback)
{
    for (const WlWindowRef& w : wls.windows)
        if (w->frameCallback == callback)
            w->frameCallback = nullptr;
    wl.wl_proxy_destroy(callback);
}

}  // namespace

WlWindowRef windowOfSurface(wl_proxy* surface, int32_t* part)
{
    if (!surface)
        return nullptr;
    for (const WlWindowRef& w : wls.windows) {
        if (w->surface == surface) {
            if (part)
                *part = partContent;
            return w;
        }
        for (int32_t i = 0; i < 5; ++i) {
            if (w->parts[i].surface == surface) {
                if (part)
                    *part = i;
                return w;
            }
        }
    }
    return nullptr;
}

void dispatchWaylandEvent(uint8_t kind, wl_proxy* proxy, uint32_t opcode, const wl_argument* a)
{
    if (wlTestSeams.beforeEvent)
        wlTestSeams.beforeEvent(kind, opcode);
    switch (kind) {
    case okRegistry:
        handleRegistry(opcode, a);
        break;
    case okFrameCallback:
        if (opcode == 0)
            handleFrameDone(proxy);
        break;
    case okWmBase:
        if (opcode == 0)
            sendRequest(proxy, 3, {argUint(a[0].u)});
        break;
    case okXdgSurface:
        if (opcode == 0)
            if (WlWindowRef w = windowWhere([&](const WlWindow& x) { return x.xdgSurface == proxy; }))
                handleXdgSurfaceConfigure(*w, a[0].u);
        break;
    case okToplevel:
        if (WlWindowRef w = windowWhere([&](const WlWindow& x) { return x.toplevel == proxy; }))
            handleToplevel(*w, opcode, a);
        break;
    case okSurface:
        handleSurface(proxy, opcode, a);
        break;
    case okSeat:
    case okPointer:
    case okKeyboard:
    case okTouch:
        handleInputEvent(kind, proxy, opcode, a);
        break;
    case okOutput:
        if (opcode == 3) {
            for (WlOutput& o : wls.outputs)
                if (o.proxy == proxy)
                    o.scale = std::max(1, a[0].i);
            rescaleWindows();
        }
        break;
    case okDecoration:
        if (opcode == 0)
            if (WlWindowRef w = windowWhere([&](const WlWindow& x) { return x.decoration == proxy; })) {
                bool csd = a[0].u == 1;
                if (csd != w->clientDecorations) {
                    w->clientDecorations = csd;
                    if (w->configured)
                        frameUpdate(*w);
                }
            }
        break;
    case okFractionalScale:
        if (opcode == 0)
            if (WlWindowRef w = windowWhere([&](const WlWindow& x) { return x.fractionalScale == proxy; })) {
                w->fractionalScaleValue = int32_t(a[0].u);
                rescaleWindows();
            }
        break;
    case okActivationToken:
    case okDataDevice:
    case okDataOffer:
    case okDataSource:
    case okShmBuffer:
        handleDataEvent(kind, proxy, opcode, a);
        break;
    default:
        break;
    }
}

size_t pickEglConfig(const std::vector<std::array<int32_t, 4>>& sizes)
{
    for (size_t i = 0; i < sizes.size(); ++i)
        if (sizes[i][0] == 8 && sizes[i][1] == 8 && sizes[i][2] == 8 && sizes[i][3] == 0)
            return i;
    for (size_t i = 0; i < sizes.size(); ++i)
        if (sizes[i][3] == 0)
            return i;
    return 0;
}

namespace {

bool failConnect(const char* reason)
{
    wl.loadError = reason;
    disconnectWayland();
    return false;
}

bool setUpEgl()
{
    using GetPlatformDisplay = EGLDisplay (*)(EGLenum, void*, const EGLint*);
    auto platformDisplay = reinterpret_cast<GetPlatformDisplay>(wl.eglGetProcAddress("eglGetPlatformDisplayEXT"));
    EGLDisplay d = platformDisplay ? platformDisplay(kPlatformWayland, wls.display, nullptr)
                                   : wl.eglGetDisplay(static_cast<EGLNativeDisplayType>(wls.display));
    if (!d)
        return failConnect("EGL cannot use the Wayland display");
    wls.eglDisplay = d;
    EGLint major = 0, minor = 0;
    if (!wl.eglInitialize(d, &major, &minor)) {
        wls.eglDisplay = nullptr;  // nothing to terminate
        return failConnect("EGL cannot use the Wayland display");
    }
    if (!wl.eglBindAPI(EGL_OPENGL_API))
        return failConnect("EGL has no desktop OpenGL");
    const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_RED_SIZE, 8,
        EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_DEPTH_SIZE, 24, EGL_STENCIL_SIZE, 8, EGL_NONE};
    EGLConfig configs[64] = {};
    EGLint count = 0;
    if (!wl.eglChooseConfig(d, attributes, configs, 64, &count) || count <= 0)
        return failConnect("no suitable EGL config");
    std::vector<std::array<int32_t, 4>> sizes;
    const EGLint names[4] = {EGL_RED_SIZE, EGL_GREEN_SIZE, EGL_BLUE_SIZE, EGL_ALPHA_SIZE};
    for (EGLint i = 0; i < std::min<EGLint>(count, 64); ++i) {
        std::array<int32_t, 4> s{-1, -1, -1, -1};
        for (int k = 0; k < 4; ++k) {
            EGLint v = 0;
            if (wl.eglGetConfigAttrib(d, configs[i], names[k], &v))
                s[size_t(k)] = v;
        }
        sizes.push_back(s);
    }
    wls.eglConfig = configs[pickEglConfig(sizes)];
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
        EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
    EGLContext c = wl.eglCreateContext(d, wls.eglConfig, EGL_NO_CONTEXT, contextAttributes);
    if (!c)
        c = wl.eglCreateContext(d, wls.eglConfig, EGL_NO_CONTEXT, nullptr);
    if (!c)
        return failConnect("cannot create an OpenGL context");
    wls.eglContext = c;
    return true;
}

}  // namespace

bool connectWayland()
{
    if (wls.display)
        return true;
    if (!loadWaylandLibraries())
        return false;
    if (!std::getenv("MESA_GL_VERSION_OVERRIDE")) {
        setenv("MESA_GL_VERSION_OVERRIDE", "3.3", 1);
        if (!std::getenv("MESA_GLSL_VERSION_OVERRIDE"))
            setenv("MESA_GLSL_VERSION_OVERRIDE", "330", 1);
    }
    wls = WaylandState{};
    wls.display = wl.wl_display_connect(nullptr);
    if (!wls.display) {
        wl.loadError = "cannot connect to the Wayland compositor";
        return false;
    }
    wls.registry =
        sendConstructorRequest(reinterpret_cast<wl_proxy*>(wls.display), 1, {argNewId()}, wl.wl_registry_interface);
    setProxyKind(wls.registry, okRegistry);
    for (int i = 0; i < 2; ++i) {
        wl.wl_display_roundtrip(wls.display);
        rethrowPendingWaylandError();
    }
    if (!wls.compositor || !wls.wmBase || !wls.shm)
        return failConnect("the compositor has no xdg-shell");
    if (wls.dataDeviceManager && wls.seat) {
        wls.dataDevice = sendConstructorRequest(
            wls.dataDeviceManager, 1, {argNewId(), argObject(wls.seat)}, wl.wl_data_device_interface);
        setProxyKind(wls.dataDevice, okDataDevice);
    }
    if (!setUpEgl())
        return false;
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

void disconnectWayland()
{
    if (!wls.display)
        return;
    for (const WlWindowRef& w : std::vector<WlWindowRef>(wls.windows)) {
        destroyWindowObjects(*w);
        w->closeRequested = true;
    }
    if (wls.eglDisplay) {
        wl.eglMakeCurrent(wls.eglDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (wls.eglContext)
            wl.eglDestroyContext(wls.eglDisplay, wls.eglContext);
        wl.eglTerminate(wls.eglDisplay);
    }
    releaseInputState();
    for (auto& [buffer, mapping] : wls.mappedBuffers) {
        munmap(mapping.address, mapping.size);
        wl.wl_proxy_destroy(buffer);
    }
    for (auto& [offer, types] : wls.offers)
        wl.wl_proxy_destroy(offer);
    for (auto& [token, window] : wls.activationTokens)
        wl.wl_proxy_destroy(token);
    for (const WlOutput& o : wls.outputs)
        wl.wl_proxy_destroy(o.proxy);
    wl_proxy* proxies[] = {wls.ownSource, wls.cursorSurface, wls.dataDevice, wls.dataDeviceManager, wls.seat,
        wls.idleInhibitManager, wls.cursorShapeManager, wls.fractionalScaleManager, wls.viewporter, wls.activation,
        wls.decorationManager, wls.wmBase, wls.shm, wls.subcompositor, wls.compositor, wls.registry};
    for (wl_proxy* p : proxies)
        if (p)
            wl.wl_proxy_destroy(p);
    wl.wl_display_disconnect(wls.display);
    wls = WaylandState{};
}

int32_t titleBarHeight(const WlWindow& w) { return w.clientDecorations && !w.fullscreen ? 34 : 0; }

double windowScale(const WlWindow& w)
{
    if (w.fractionalScaleValue > 0 && w.viewport)
        return std::max(1.0, w.fractionalScaleValue / 120.0);
    if (w.preferredBufferScale > 0)
        return std::max(1, w.preferredBufferScale);
    int32_t entered = 0, all = 0;
    for (const WlOutput& o : wls.outputs) {
        all = std::max(all, o.scale);
        if (std::find(w.enteredOutputs.begin(), w.enteredOutputs.end(), o.proxy) != w.enteredOutputs.end())
            entered = std::max(entered, o.scale);
    }
    return std::max(1, entered > 0 ? entered : all);
}

std::pair<int32_t, int32_t> bufferSize(const WlWindow& w)
{
    return {
        std::max(1, int32_t(std::lround(w.width * w.scale))), std::max(1, int32_t(std::lround(w.height * w.scale)))};
}

void layoutDecorationParts(WlWindow& w)
{
    int32_t T = titleBarHeight(w), W = w.width, H = w.height;
    bool bar = w.clientDecorations && !w.fullscreen;
    bool borders = w.clientDecorations && !w.maximised && !w.fullscreen && !w.tiled;
    w.parts[partTitleBar] = {w.parts[0].surface, w.parts[0].subsurface, 0, -T, W, T, bar};
    w.parts[partTop] = {w.parts[1].surface, w.parts[1].subsurface, -8, -T - 8, W + 16, 8, borders};
    w.parts[partLeft] = {w.parts[2].surface, w.parts[2].subsurface, -8, -T, 8, T + H, borders};
    w.parts[partRight] = {w.parts[3].surface, w.parts[3].subsurface, W, -T, 8, T + H, borders};
    w.parts[partBottom] = {w.parts[4].surface, w.parts[4].subsurface, -8, H, W + 16, 8, borders};
}

WlWindowRef newWlWindow(
    const std::string& title, int32_t width, int32_t height, const WlWindowRef& parent, bool maximised)
{
    auto w = std::make_shared<WlWindow>();
    w->child = parent != nullptr;
    w->title = title;
    w->surface = sendConstructorRequest(wls.compositor, 0, {argNewId()}, wl.wl_surface_interface);
    setProxyKind(w->surface, okSurface);
    if (wls.viewporter) {
        w->viewport = sendConstructorRequest(wls.viewporter, 1, {argNewId(), argObject(w->surface)}, wlp.wp_viewport);
        if (wls.fractionalScaleManager) {
            w->fractionalScale = sendConstructorRequest(
                wls.fractionalScaleManager, 1, {argNewId(), argObject(w->surface)}, wlp.wp_fractional_scale_v1);
            setProxyKind(w->fractionalScale, okFractionalScale);
        }
    }
    w->xdgSurface = sendConstructorRequest(wls.wmBase, 2, {argNewId(), argObject(w->surface)}, wlp.xdg_surface);
    setProxyKind(w->xdgSurface, okXdgSurface);
    w->toplevel = sendConstructorRequest(w->xdgSurface, 1, {argNewId()}, wlp.xdg_toplevel);
    setProxyKind(w->toplevel, okToplevel);
    wls.windows.push_back(w);
    auto fail = [&](const char* message) {
        destroyWindowObjects(*w);
        removeWindow(w);
        throw OSError(message);
    };
    try {
        sendRequest(w->toplevel, 2, {argString(title.c_str())});
        sendRequest(w->toplevel, 3, {argString("quenmrk")});
        if (parent)
            sendRequest(w->toplevel, 1, {argObject(parent->toplevel)});
        sendRequest(w->toplevel, 8, {argInt(360), argInt(240)});
        if (maximised)
            sendRequest(w->toplevel, 9);
        w->clientDecorations = wls.subcompositor != nullptr;
        if (wls.decorationManager) {
            w->decoration = sendConstructorRequest(
                wls.decorationManager, 1, {argNewId(), argObject(w->toplevel)}, wlp.zxdg_toplevel_decoration_v1);
            setProxyKind(w->decoration, okDecoration);
            sendRequest(w->decoration, 1, {argUint(2)});
            w->clientDecorations = false;
        }
        sendRequest(w->surface, 6);
        for (int i = 0; i < 50 && !w->configured; ++i) {
            wl.wl_display_roundtrip(wls.display);
            rethrowPendingWaylandError();
        }
    } catch (...) {
        destroyWindowObjects(*w);
        removeWindow(w);
        throw;
    }
    if (!w->configured)
        fail("The Wayland compositor did not configure the window");
    w->scale = windowScale(*w);
    w->gestures.scale = w->scale;
    if (w->width < 1 || w->height < 1) {
        w->width = w->boundsWidth > 0 && w->boundsWidth < width ? w->boundsWidth : width;
        w->height = height;
        if (w->boundsHeight > 0)
            w->height = std::min(height, w->clientDecorations ? w->boundsHeight - 34 : w->boundsHeight);
        w->width = std::max(1, w->width);
        w->height = std::max(1, w->height);
    }
    auto [bw, bh] = bufferSize(*w);
    w->eglWindow = wl.wl_egl_window_create(reinterpret_cast<wl_surface*>(w->surface), bw, bh);
    if (!w->eglWindow)
        fail("Cannot create a Wayland EGL window");
    w->eglSurface = wl.eglCreateWindowSurface(
        wls.eglDisplay, wls.eglConfig, reinterpret_cast<EGLNativeWindowType>(w->eglWindow), nullptr);
    if (!w->eglSurface)
        fail("Cannot create an EGL surface");
    w->bufferWidth = bw;
    w->bufferHeight = bh;
    frameUpdate(*w);
    w->events.clear();
    return w;
}

WlWindowRef createWlWindow(const std::string& title, int32_t width, int32_t height, bool maximised)
{
    if (!connectWayland())
        throw OSError(wl.loadError);
    WlWindowRef w;
    try {
        w = newWlWindow(title, width, height, nullptr, maximised);
    } catch (...) {
        // Nothing stays half-open for the fall-back to X11.
        if (wls.windows.empty())
            disconnectWayland();
        throw;
    }
    wl.eglMakeCurrent(wls.eglDisplay, w->eglSurface, w->eglSurface, wls.eglContext);
    if (!wlProcess.glLoaded) {
        wlProcess.glLoaded = true;
        loadGlEntryPoints([](const char* name) { return reinterpret_cast<GlProc>(wl.eglGetProcAddress(name)); });
    }
    wl.eglSwapInterval(wls.eglDisplay, 0);
    wl.wl_display_flush(wls.display);
    return w;
}

void swapWlBuffers(WlWindow& w)
{
    bool timedOut = false;
    if (!w.child && w.frameCallback) {
        double deadline = monotonicSeconds() + 0.05;
        while (w.frameCallback && !wls.connectionLost) {
            double remaining = deadline - monotonicSeconds();
            if (remaining <= 0) {
                timedOut = true;
                break;
            }
            waitWaylandEvents(std::max(1, int32_t(remaining * 1000)));
        }
    }
    if (!w.child && !w.frameCallback && !timedOut && w.surface) {
        w.frameCallback = sendConstructorRequest(w.surface, 3, {argNewId()}, wl.wl_callback_interface);
        setProxyKind(w.frameCallback, okFrameCallback);
    }
    if (wls.eglDisplay && w.eglSurface)
        wl.eglSwapBuffers(wls.eglDisplay, w.eglSurface);
    w.commitPending = false;
    if (wls.display)
        wl.wl_display_flush(wls.display);
}

void closeWlWindow(WlWindow& w)
{
    WlWindowRef ref = windowWhere([&](const WlWindow& x) { return &x == &w; });
    if (!ref)
        return;
    removeWindow(ref);
    destroyWindowObjects(w);
    if (w.child)
        wl.wl_display_flush(wls.display);
    else
        disconnectWayland();
}

void setWlScrollHitTest(WlWindow& w, ScrollHitTest hitTest) { w.gestures.hitTest = std::move(hitTest); }

void redrawDecorations(WlWindow& w)
{
    if (!w.clientDecorations)
        return;
    syncDecorationSurfaces(w);
    if (!w.commitPending && w.eglSurface)
        sendRequest(w.surface, 6);
}

void setWlDarkTitleBar(WlWindow& w, bool dark)
{
    if (w.darkTitleBar == dark)
        return;
    w.darkTitleBar = dark;
    redrawDecorations(w);
}

void setWlDecorationFont(FontRef font)
{
    wlProcess.decorationFont = std::move(font);
    for (const WlWindowRef& w : std::vector<WlWindowRef>(wls.windows))
        redrawDecorations(*w);
}

}  // namespace qm
