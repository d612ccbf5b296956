#include "wl_fake.h"

#include "platform/wayland/wl_protocols.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace qm::test {

FakeWayland* fake = nullptr;

namespace {

int idlePipe[2] = {-1, -1};

FakeProxy* P(void* p) { return static_cast<FakeProxy*>(p); }

std::vector<FakeArg> decode(const wl_message& m, const wl_argument* args)
{
    std::vector<FakeArg> out;
    bool nullable = false;
    size_t k = 0;
    for (const char* c = m.signature; *c; ++c) {
        if (*c == '?') {
            nullable = true;
            continue;
        }
        if (*c >= '0' && *c <= '9')
            continue;
        FakeArg a;
        a.type = *c;
        const wl_argument& v = args[k++];
        switch (*c) {
        case 'i':
            a.i = v.i;
            break;
        case 'u':
            a.u = v.u;
            break;
        case 'f':
            a.f = v.f / 256.0;
            break;
        case 's':
            a.null = v.s == nullptr;
            if (!nullable && a.null)
                throw std::logic_error(std::string("null string for ") + m.name);
            a.s = v.s ? v.s : "";
            break;
        case 'o':
            a.null = v.o == nullptr;
            if (!nullable && a.null)
                throw std::logic_error(std::string("null object for ") + m.name);
            a.o = P(v.o);
            break;
        case 'h':
            a.fd = dup(v.h);
            break;
        default:
            break;
        }
        nullable = false;
        out.push_back(a);
    }
    return out;
}

FakeRequest record(wl_proxy* proxy, uint32_t opcode, wl_argument* args)
{
    FakeProxy* p = P(proxy);
    if (p->destroyed)
        throw std::logic_error("request on a destroyed proxy");
    const wl_interface* iface = p->iface;
    if (!iface || opcode >= uint32_t(iface->method_count))
        throw std::logic_error("bad opcode " + std::to_string(opcode) + " on " + p->name());
    FakeRequest r;
    r.proxy = p;
    r.iface = p->name();
    r.name = iface->methods[opcode].name;
    r.opcode = opcode;
    r.args = decode(iface->methods[opcode], args);
    return r;
}

// The client library.
wl_display* fConnect(const char*)
{
    fake->calls.push_back("wl_display_connect");
    if (fake->connectFails)
        return nullptr;
    return reinterpret_cast<wl_display*>(fake->display());
}
void fDisconnect(wl_display*) { fake->calls.push_back("wl_display_disconnect"); }
int fGetFd(wl_display*) { return idlePipe[0]; }

void announceAndConfigure()
{
    FakeWayland& f = *fake;
    FakeProxy* registry = f.last("wl_registry");
    if (registry && !registry->destroyed && f.announced.insert(registry).second) {
        uint32_t name = 1;
        for (const FakeGlobal& g : f.globals)
            f.event(registry, 0, {argUint(name++), argString(g.iface.c_str()), argUint(g.version)});
    }
    if (f.autoConfigure) {
        for (const FakeRequest& r : f.requestsNamed("xdg_surface", "get_toplevel")) {
            FakeProxy* top = r.created;
            if (top->destroyed || top->id == 0xFFFFFFFF)
                continue;
            top->id = 0xFFFFFFFF;  // configured once
            if (f.boundsWidth || f.boundsHeight)
                f.event(top, 2, {argInt(f.boundsWidth), argInt(f.boundsHeight)});
            for (FakeProxy* d : f.all("zxdg_toplevel_decoration_v1"))
                if (f.decorationMode && !d->destroyed)
                    f.event(d, 0, {argUint(f.decorationMode)});
            wl_array states{f.configureStates.size() * 4, f.configureStates.size() * 4, f.configureStates.data()};
            wl_argument a[3] = {argInt(f.configureWidth), argInt(f.configureHeight), {}};
            a[2].a = &states;
            f.event(top, 0, {a[0], a[1], a[2]});
            f.event(r.proxy, 0, {argUint(f.serial++)});
        }
    }
}

int fRoundtrip(wl_display*)
{
    ++fake->roundtrips;
    announceAndConfigure();
    if (fake->onRoundtrip)
        fake->onRoundtrip();
    return fake->displayError ? -1 : 0;
}
int fDispatchPending(wl_display*)
{
    int n = 0;
    while (!fake->queued.empty()) {
        auto f = std::move(fake->queued.front());
        fake->queued.pop_front();
        f();
        ++n;
    }
    return fake->displayError ? -1 : n;
}
int fPrepareRead(wl_display*) { return 0; }
int fReadEvents(wl_display*) { return 0; }
void fCancelRead(wl_display*) { }
int fFlush(wl_display*) { return 0; }
int fGetError(wl_display*) { return fake->displayError; }

void fMarshal(wl_proxy* p, uint32_t opcode, wl_argument* args)
{
    FakeRequest r = record(p, opcode, args);
    if (r.iface == "wl_data_offer" && r.name == "receive") {
        auto it = fake->offerPayloads.find(r.args[0].s);
        int fd = r.args[1].fd;
        r.args[1].fd = -1;
        std::string payload = it == fake->offerPayloads.end() ? "" : it->second;
        fake->writers.emplace_back([fd, payload] {
            size_t done = 0;
            while (done < payload.size()) {
                ssize_t n = write(fd, payload.data() + done, payload.size() - done);
                if (n <= 0)
                    break;
                done += size_t(n);
            }
            close(fd);
        });
    }
    fake->requests.push_back(r);
}

wl_proxy* fMarshalConstructor(
    wl_proxy* p, uint32_t opcode, wl_argument* args, const wl_interface* iface, uint32_t version)
{
    FakeRequest r = record(p, opcode, args);
    r.created = fake->newProxy(iface, version);
    r.version = version;
    fake->requests.push_back(r);
    return reinterpret_cast<wl_proxy*>(r.created);
}

int fAddDispatcher(wl_proxy* p, wl_dispatcher_func_t f, const void* implementation, void*)
{
    P(p)->dispatcher = f;
    P(p)->implementation = implementation;
    return 0;
}
void fDestroy(wl_proxy* p)
{
    if (P(p)->destroyed)
        throw std::logic_error("proxy destroyed twice: " + P(p)->name());
    P(p)->destroyed = true;
}
uint32_t fGetVersion(wl_proxy* p) { return P(p)->version; }

// wayland-egl.
wl_egl_window* fEglWindowCreate(wl_surface*, int w, int h)
{
    fake->eglWindowSizes.push_back({w, h});
    return reinterpret_cast<wl_egl_window*>(fake->newProxy(nullptr, 0));
}
void fEglWindowResize(wl_egl_window*, int w, int h, int, int) { fake->eglWindowSizes.push_back({w, h}); }
void fEglWindowDestroy(wl_egl_window*) { fake->calls.push_back("wl_egl_window_destroy"); }

// EGL.
EGLDisplay fGetDisplay(EGLNativeDisplayType) { return reinterpret_cast<EGLDisplay>(0x10); }
EGLBoolean fInitialize(EGLDisplay, EGLint*, EGLint*) { return EGL_TRUE; }
EGLBoolean fBindApi(EGLenum) { return EGL_TRUE; }
EGLBoolean fChooseConfig(EGLDisplay, const EGLint*, EGLConfig* configs, EGLint size, EGLint* count)
{
    *count = 0;
    for (size_t i = 0; i < fake->eglConfigs.size() && EGLint(i) < size; ++i)
        configs[(*count)++] = reinterpret_cast<EGLConfig>(i + 1);
    return EGL_TRUE;
}
EGLBoolean fGetConfigAttrib(EGLDisplay, EGLConfig c, EGLint attribute, EGLint* value)
{
    const auto& s = fake->eglConfigs[reinterpret_cast<size_t>(c) - 1];
    int k = attribute == EGL_RED_SIZE ? 0 : attribute == EGL_GREEN_SIZE ? 1 : attribute == EGL_BLUE_SIZE ? 2 : 3;
    *value = s[size_t(k)];
    return EGL_TRUE;
}
EGLContext fCreateContext(EGLDisplay, EGLConfig c, EGLContext, const EGLint*)
{
    fake->calls.push_back("eglCreateContext " + std::to_string(reinterpret_cast<size_t>(c)));
    return reinterpret_cast<EGLContext>(0x20);
}
EGLSurface fCreateWindowSurface(EGLDisplay, EGLConfig, EGLNativeWindowType, const EGLint*)
{
    return reinterpret_cast<EGLSurface>(0x30);
}
EGLBoolean fMakeCurrent(EGLDisplay, EGLSurface, EGLSurface, EGLContext) { return EGL_TRUE; }
EGLBoolean fSwapBuffers(EGLDisplay, EGLSurface)
{
    fake->calls.push_back("eglSwapBuffers");
    return EGL_TRUE;
}
EGLBoolean fSwapInterval(EGLDisplay, EGLint) { return EGL_TRUE; }
EGLBoolean fDestroySurface(EGLDisplay, EGLSurface)
{
    fake->calls.push_back("eglDestroySurface");
    return EGL_TRUE;
}
EGLBoolean fDestroyContext(EGLDisplay, EGLContext)
{
    fake->calls.push_back("eglDestroyContext");
    return EGL_TRUE;
}
EGLBoolean fTerminate(EGLDisplay)
{
    fake->calls.push_back("eglTerminate");
    return EGL_TRUE;
}
__eglMustCastToProperFunctionPointerType fGetProcAddress(const char*) { return nullptr; }

// wayland-cursor.
wl_cursor_theme* fThemeLoad(const char*, int size, wl_shm*)
{
    fake->themeSizes.push_back(size);
    return reinterpret_cast<wl_cursor_theme*>(fake->newProxy(nullptr, 0));
}
wl_cursor* fThemeGetCursor(wl_cursor_theme*, const char*)
{
    FakeCursorImage& c = fake->cursorImage;
    c.image.width = c.image.height = uint32_t(fake->cursorImageSize);
    c.image.hotspot_x = c.image.hotspot_y = 4;
    c.list[0] = &c.image;
    c.cursor.image_count = 1;
    c.cursor.images = c.list;
    return &c.cursor;
}
wl_buffer* fImageGetBuffer(wl_cursor_image*)
{
    return reinterpret_cast<wl_buffer*>(fake->newProxy(
        fake->realClient ? static_cast<const wl_interface*>(dlsym(fake->realClient, "wl_buffer_interface")) : nullptr,
        1));
}

[[noreturn]] void unexpected()
{
    std::fprintf(stderr, "fake Wayland: a function without a fake was called\n");
    std::abort();
}

const std::map<std::string, void*>& fakeFunctions()
{
    static const std::map<std::string, void*> table = {
        {"wl_display_connect", reinterpret_cast<void*>(fConnect)},
        {"wl_display_disconnect", reinterpret_cast<void*>(fDisconnect)},
        {"wl_display_get_fd", reinterpret_cast<void*>(fGetFd)},
        {"wl_display_roundtrip", reinterpret_cast<void*>(fRoundtrip)},
        {"wl_display_dispatch_pending", reinterpret_cast<void*>(fDispatchPending)},
        {"wl_display_prepare_read", reinterpret_cast<void*>(fPrepareRead)},
        {"wl_display_read_events", reinterpret_cast<void*>(fReadEvents)},
        {"wl_display_cancel_read", reinterpret_cast<void*>(fCancelRead)},
        {"wl_display_flush", reinterpret_cast<void*>(fFlush)},
        {"wl_display_get_error", reinterpret_cast<void*>(fGetError)},
        {"wl_proxy_marshal_array", reinterpret_cast<void*>(fMarshal)},
        {"wl_proxy_marshal_array_constructor_versioned", reinterpret_cast<void*>(fMarshalConstructor)},
        {"wl_proxy_add_dispatcher", reinterpret_cast<void*>(fAddDispatcher)},
        {"wl_proxy_destroy", reinterpret_cast<void*>(fDestroy)},
        {"wl_proxy_get_version", reinterpret_cast<void*>(fGetVersion)},
        {"wl_egl_window_create", reinterpret_cast<void*>(fEglWindowCreate)},
        {"wl_egl_window_resize", reinterpret_cast<void*>(fEglWindowResize)},
        {"wl_egl_window_destroy", reinterpret_cast<void*>(fEglWindowDestroy)},
        {"eglGetDisplay", reinterpret_cast<void*>(fGetDisplay)},
        {"eglInitialize", reinterpret_cast<void*>(fInitialize)},
        {"eglBindAPI", reinterpret_cast<void*>(fBindApi)},
        {"eglChooseConfig", reinterpret_cast<void*>(fChooseConfig)},
        {"eglGetConfigAttrib", reinterpret_cast<void*>(fGetConfigAttrib)},
        {"eglCreateContext", reinterpret_cast<void*>(fCreateContext)},
        {"eglCreateWindowSurface", reinterpret_cast<void*>(fCreateWindowSurface)},
        {"eglMakeCurrent", reinterpret_cast<void*>(fMakeCurrent)},
        {"eglSwapBuffers", reinterpret_cast<void*>(fSwapBuffers)},
        {"eglSwapInterval", reinterpret_cast<void*>(fSwapInterval)},
        {"eglDestroySurface", reinterpret_cast<void*>(fDestroySurface)},
        {"eglDestroyContext", reinterpret_cast<void*>(fDestroyContext)},
        {"eglTerminate", reinterpret_cast<void*>(fTerminate)},
        {"eglGetProcAddress", reinterpret_cast<void*>(fGetProcAddress)},
        {"wl_cursor_theme_load", reinterpret_cast<void*>(fThemeLoad)},
        {"wl_cursor_theme_get_cursor", reinterpret_cast<void*>(fThemeGetCursor)},
        {"wl_cursor_image_get_buffer", reinterpret_cast<void*>(fImageGetBuffer)},
    };
    return table;
}

}  // namespace

void* fakeSymbol(const std::string& name);
void* fakeSymbol(const std::string& name)
{
    extern std::map<std::string, void*>& xkbFakeFunctions();
    auto& table = fakeFunctions();
    auto it = table.find(name);
    if (it != table.end())
        return it->second;
    auto& xkb = xkbFakeFunctions();
    auto x = xkb.find(name);
    if (x != xkb.end())
        return x->second;
    return reinterpret_cast<void*>(unexpected);
}

FakeWayland::FakeWayland()
{
    fake = this;
    if (idlePipe[0] < 0 && pipe(idlePipe) != 0)
        std::abort();
    realClient = dlopen("libwayland-client.so.0", RTLD_NOW | RTLD_LOCAL);
    static char tags[5];
    setWaylandResolver({[this](const char* soname) -> void* {
                            if (missingLibraries.count(soname))
                                return nullptr;
                            for (int i = 0; i < 5; ++i)
                                if (std::strcmp(soname, kWaylandSonames[i]) == 0)
                                    return &tags[i];
                            return nullptr;
                        },
        [this](void*, const char* symbol) -> void* {
            std::string name = symbol;
            if (missingSymbols.count(name))
                return nullptr;
            if (name.size() > 10 && name.substr(name.size() - 10) == "_interface")
                return realClient ? dlsym(realClient, symbol) : nullptr;
            return fakeSymbol(name);
        }});
    wls = WaylandState{};
    wlProcess.xkbContext = nullptr;
    wlProcess.composeState = nullptr;
    wlTestSeams = WaylandTestSeams{};
}

FakeWayland::~FakeWayland()
{
    if (wls.display)
        disconnectWayland();
    for (std::thread& t : writers)
        t.join();
    wls = WaylandState{};
    wlProcess.xkbContext = nullptr;
    wlProcess.composeState = nullptr;
    wlProcess.decorationFont.reset();
    wlTestSeams = WaylandTestSeams{};
    for (FakeRequest& r : requests)
        for (FakeArg& a : r.args)
            if (a.fd >= 0)
                close(a.fd);
    setWaylandResolver({});
    fake = nullptr;
}

FakeProxy* FakeWayland::display()
{
    for (auto& p : proxies)
        if (p->id == 1)
            return p.get();
    FakeProxy* d =
        newProxy(realClient ? static_cast<const wl_interface*>(dlsym(realClient, "wl_display_interface")) : nullptr, 0);
    d->id = 1;
    return d;
}

FakeProxy* FakeWayland::newProxy(const wl_interface* iface, uint32_t version)
{
    proxies.push_back(std::make_unique<FakeProxy>());
    FakeProxy* p = proxies.back().get();
    p->iface = iface;
    p->version = version;
    p->id = uint32_t(proxies.size()) + 1;
    return p;
}

FakeProxy* FakeWayland::last(const std::string& iface)
{
    for (auto it = proxies.rbegin(); it != proxies.rend(); ++it)
        if ((*it)->iface && (*it)->name() == iface)
            return it->get();
    return nullptr;
}

std::vector<FakeProxy*> FakeWayland::all(const std::string& iface)
{
    std::vector<FakeProxy*> out;
    for (auto& p : proxies)
        if (p->iface && p->name() == iface)
            out.push_back(p.get());
    return out;
}

std::vector<FakeRequest> FakeWayland::requestsNamed(const std::string& iface, const std::string& name) const
{
    std::vector<FakeRequest> out;
    for (const FakeRequest& r : requests)
        if (r.iface == iface && r.name == name)
            out.push_back(r);
    return out;
}

void FakeWayland::clearRequests()
{
    for (FakeRequest& r : requests)
        for (FakeArg& a : r.args)
            if (a.fd >= 0)
                close(a.fd);
    requests.clear();
}

void FakeWayland::event(FakeProxy* p, uint32_t opcode, std::vector<wl_argument> args)
{
    if (!p || !p->dispatcher || p->destroyed)
        return;
    const wl_message* m = p->iface && opcode < uint32_t(p->iface->event_count) ? &p->iface->events[opcode] : nullptr;
    p->dispatcher(p->implementation, p, opcode, m, args.data());
}

void FakeWayland::configure(const WlWindow& w, int32_t width, int32_t height, std::vector<uint32_t> states)
{
    wl_array a{states.size() * 4, states.size() * 4, states.data()};
    wl_argument s{};
    s.a = &a;
    event(w.toplevel, 0, {argInt(width), argInt(height), s});
    event(w.xdgSurface, 0, {argUint(serial++)});
}

FakeProxy* FakeWayland::offer(const std::vector<std::string>& types)
{
    FakeProxy* o = newProxy(static_cast<const wl_interface*>(dlsym(realClient, "wl_data_offer_interface")), 3);
    event(wls.dataDevice, 0, {arg(o)});
    for (const std::string& t : types)
        event(o, 0, {argString(t.c_str())});
    return o;
}

wl_argument arg(FakeProxy* p) { return argObject(p); }

}  // namespace qm::test
