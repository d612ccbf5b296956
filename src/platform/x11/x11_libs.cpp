#include "platform/x11/x11_libs.h"
#include "platform/x11/x11_start.h"

#include <dlfcn.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace qm {

X11Api x11;

namespace {

void* openFirst(const char* first, const char* second, const char* shown)
{
    void* lib = dlopen(first, RTLD_NOW | RTLD_GLOBAL);
    if (!lib)
        lib = dlopen(second, RTLD_NOW | RTLD_GLOBAL);
    if (!lib) {
        std::fprintf(stderr, "could not load: %s\n", shown);
        std::exit(1);
    }
    return lib;
}

}  // namespace

void loadX11Libraries()
{
    void* libs[2];
    libs[0] = openFirst("libX11.so.6", "libX11.so", "libX11.so(.6|)");
    libs[1] = openFirst("libGL.so.1", "libGL.so", "libGL.so(.1|)");
#define QM_X11_RESOLVE(lib, name)                                                                                      \
    {                                                                                                                  \
        void* sym = dlsym(libs[lib], #name);                                                                           \
        if (!sym) {                                                                                                    \
            std::fprintf(stderr, "could not import: %s\n", #name);                                                     \
            std::exit(1);                                                                                              \
        }                                                                                                              \
        x11.name = reinterpret_cast<decltype(x11.name)>(sym);                                                          \
    }
    QM_X11_FUNCTIONS(QM_X11_RESOLVE)
#undef QM_X11_RESOLVE
}

void startPlatform()
{
    std::signal(SIGPIPE, SIG_IGN);
    loadX11Libraries();
}

}  // namespace qm
