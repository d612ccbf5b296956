#pragma once
// A current OpenGL 3.3 core context on an off-screen GLX pbuffer, made through
// dlopen like the program itself (nothing links libGL), for the test programs
// that draw with the renderer under Xvfb without a window back end. Exits
// with a message naming `tool` when the display offers no such context.
#include "platform/render/gl_entry_points.h"

#include <GL/glxtokens.h>
#include <X11/Xlib.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace qm::testing_glx {

using GLXFBConfig = struct GLXFBConfigRec*;
using GLXContext = struct GLXContextRec*;
using GLXPbuffer = XID;

template <typename F>
inline void bindSymbol(void* lib, const char* name, F& out)
{
    void* sym = lib ? dlsym(lib, name) : nullptr;
    if (!sym) {
        std::fprintf(stderr, "could not import: %s\n", name);
        std::exit(1);
    }
    out = reinterpret_cast<F>(sym);
}

inline void makePbufferContext(const char* tool, int width, int height)
{
    struct {
        Display* (*openDisplay)(const char*);
        int (*defaultScreen)(Display*);
        int (*xFree)(void*);
        GLXFBConfig* (*chooseFbConfig)(Display*, int, const int*, int*);
        GLXPbuffer (*createPbuffer)(Display*, GLXFBConfig, const int*);
        int (*makeContextCurrent)(Display*, GLXPbuffer, GLXPbuffer, GLXContext);
        GlProc (*getProcAddress)(const unsigned char*);
        GLXContext (*createContextAttribs)(Display*, GLXFBConfig, GLXContext, int, const int*);
    } g{};
    void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_GLOBAL);
    void* gl = dlopen("libGL.so.1", RTLD_NOW | RTLD_GLOBAL);
    bindSymbol(x11, "XOpenDisplay", g.openDisplay);
    bindSymbol(x11, "XDefaultScreen", g.defaultScreen);
    bindSymbol(x11, "XFree", g.xFree);
    bindSymbol(gl, "glXChooseFBConfig", g.chooseFbConfig);
    bindSymbol(gl, "glXCreatePbuffer", g.createPbuffer);
    bindSymbol(gl, "glXMakeContextCurrent", g.makeContextCurrent);
    bindSymbol(gl, "glXGetProcAddressARB", g.getProcAddress);
    g.createContextAttribs = reinterpret_cast<decltype(g.createContextAttribs)>(
        g.getProcAddress(reinterpret_cast<const unsigned char*>("glXCreateContextAttribsARB")));
    Display* display = g.openDisplay(nullptr);
    if (!display || !g.createContextAttribs) {
        std::fprintf(stderr, "%s: no X display with GLX\n", tool);
        std::exit(1);
    }
    const int configAttribs[] = {GLX_DRAWABLE_TYPE, GLX_PBUFFER_BIT, GLX_RENDER_TYPE, GLX_RGBA_BIT, GLX_RED_SIZE, 8,
        GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8, GLX_ALPHA_SIZE, 8, 0};
    int count = 0;
    GLXFBConfig* configs = g.chooseFbConfig(display, g.defaultScreen(display), configAttribs, &count);
    if (!configs || count == 0) {
        std::fprintf(stderr, "%s: no pbuffer config\n", tool);
        std::exit(1);
    }
    GLXFBConfig config = configs[0];
    g.xFree(configs);
    const int pbufferAttribs[] = {GLX_PBUFFER_WIDTH, width, GLX_PBUFFER_HEIGHT, height, 0};
    GLXPbuffer pbuffer = g.createPbuffer(display, config, pbufferAttribs);
    const int contextAttribs[] = {0x2091, 3, 0x2092, 3, 0x9126, 1, 0};  // 3.3 core
    GLXContext context = g.createContextAttribs(display, config, nullptr, 1, contextAttribs);
    if (!context || !g.makeContextCurrent(display, pbuffer, pbuffer, context)) {
        std::fprintf(stderr, "%s: no 3.3 core context\n", tool);
        std::exit(1);
    }
    loadGlEntryPoints([&](const char* name) { return g.getProcAddress(reinterpret_cast<const unsigned char*>(name)); });
}

}  // namespace qm::testing_glx
