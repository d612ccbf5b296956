#include "platform/wayland/wl_libs.h"

#include "platform/wayland/wl_protocols.h"

#include <dlfcn.h>

namespace qm {

WaylandApi wl;

const char* const kWaylandSonames[5] = {
    "libwayland-client.so.0", "libwayland-egl.so.1", "libEGL.so.1", "libxkbcommon.so.0", "libwayland-cursor.so.0"};

namespace {

WaylandResolver systemResolver()
{
    return {[](const char* soname) { return dlopen(soname, RTLD_NOW | RTLD_GLOBAL); },
        [](void* library, const char* symbol) { return dlsym(library, symbol); }};
}

WaylandResolver resolver = systemResolver();

bool tryLoad()
{
    void* libs[5] = {};
    auto open = [&](int index) {
        libs[index] = resolver.open(kWaylandSonames[index]);
        if (!libs[index])
            wl.loadError = std::string(kWaylandSonames[index]) + " not found";
        return libs[index] != nullptr;
    };
    auto need = [&](int index, const char* name, void* slot) {
        void* sym = resolver.symbol(libs[index], name);
        if (!sym) {
            wl.loadError = std::string("missing ") + name;
            return false;
        }
        *static_cast<void**>(slot) = sym;
        return true;
    };
    int opened = 0;
    // Each library opens just before its first symbol is resolved.
    auto ensureOpen = [&](int index) {
        while (opened <= index) {
            if (!open(opened))
                return false;
            ++opened;
        }
        return true;
    };
#define QM_WL_NEED(lib, name)                                                                                          \
    if (!ensureOpen(lib) || !need(lib, #name, &wl.name))                                                               \
        return false;
#define QM_WL_NEED_IFACE(name)                                                                                         \
    if (!need(0, #name, &wl.name))                                                                                     \
        return false;
    if (!ensureOpen(0))
        return false;
    QM_WL_FUNCTIONS(QM_WL_NEED)
    QM_WL_INTERFACES(QM_WL_NEED_IFACE)
    QM_WL_LATER_FUNCTIONS(QM_WL_NEED)
#undef QM_WL_NEED
#undef QM_WL_NEED_IFACE
    libs[4] = resolver.open(kWaylandSonames[4]);
#define QM_WL_MAYBE(lib, name)                                                                                         \
    if (libs[lib])                                                                                                     \
        *reinterpret_cast<void**>(&wl.name) = resolver.symbol(libs[lib], #name);
    QM_WL_OPTIONAL_FUNCTIONS(QM_WL_MAYBE)
#undef QM_WL_MAYBE
    buildProtocolInterfaces();
    return true;
}

}  // namespace

void setWaylandResolver(WaylandResolver r)
{
    resolver = r.open ? std::move(r) : systemResolver();
    wl = WaylandApi{};
}

bool loadWaylandLibraries()
{
    if (wl.tried)
        return wl.loaded;
    wl.tried = true;
    wl.loaded = tryLoad();
    return wl.loaded;
}

}  // namespace qm
