#pragma once
// libX11 and libGL, opened at start-up with dlopen and resolved into one
// table; nothing links against them. The system headers give the function
// types only. libXi is opened later, on demand.
// The core-profile header first: it and glx.h then agree on every GL type.
#include <GL/glcorearb.h>
#include <GL/glx.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>

namespace qm {

// X(library, name) in the order they are resolved; 0 is libX11, 1 libGL.
// clang-format off
#define QM_X11_FUNCTIONS(X)                                                                                            \
    X(0, XSetLocaleModifiers)                                                                                          \
    X(0, XOpenDisplay)                                                                                                 \
    X(0, XDefaultScreen)                                                                                               \
    X(0, XResourceManagerString)                                                                                       \
    X(0, XRootWindow)                                                                                                  \
    X(0, XSetErrorHandler)                                                                                             \
    X(0, XSync)                                                                                                        \
    X(1, glXChooseFBConfig)                                                                                            \
    X(1, glXGetVisualFromFBConfig)                                                                                     \
    X(0, XCreateColormap)                                                                                              \
    X(0, XCreateWindow)                                                                                                \
    X(0, XFree)                                                                                                        \
    X(0, XStoreName)                                                                                                   \
    X(0, XChangeProperty)                                                                                              \
    X(0, XInternAtom)                                                                                                  \
    X(0, XSetWMProtocols)                                                                                              \
    X(0, XMapWindow)                                                                                                   \
    X(1, glXGetProcAddressARB)                                                                                         \
    X(1, glXCreateNewContext)                                                                                          \
    X(1, glXMakeCurrent)                                                                                               \
    X(1, glXQueryExtensionsString)                                                                                     \
    X(0, XOpenIM)                                                                                                      \
    X(0, XCreateIC)                                                                                                    \
    X(0, XSetICFocus)                                                                                                  \
    X(0, XQueryExtension)                                                                                              \
    X(0, XFlush)                                                                                                       \
    X(0, XSetSelectionOwner)                                                                                           \
    X(0, XGetSelectionOwner)                                                                                           \
    X(0, XDeleteProperty)                                                                                              \
    X(0, XConvertSelection)                                                                                            \
    X(0, XPending)                                                                                                     \
    X(0, XNextEvent)                                                                                                   \
    X(0, XGetWindowProperty)                                                                                           \
    X(0, XGetEventData)                                                                                                \
    X(0, XFreeEventData)                                                                                               \
    X(0, XkbKeycodeToKeysym)                                                                                           \
    X(0, Xutf8LookupString)                                                                                            \
    X(0, XLookupString)                                                                                                \
    X(0, XSendEvent)                                                                                                   \
    X(0, XUndefineCursor)                                                                                              \
    X(0, XCreateFontCursor)                                                                                            \
    X(0, XDefineCursor)                                                                                                \
    X(0, XFilterEvent)                                                                                                 \
    X(0, XResetScreenSaver)                                                                                            \
    X(0, XMapRaised)                                                                                                   \
    X(1, glXSwapBuffers)                                                                                               \
    X(0, XDestroyIC)                                                                                                   \
    X(0, XDestroyWindow)                                                                                               \
    X(1, glXDestroyContext)                                                                                            \
    X(0, XCloseDisplay)
// clang-format on

struct X11Api {
#define QM_X11_FIELD(lib, name) decltype(&::name) name = nullptr;
    QM_X11_FUNCTIONS(QM_X11_FIELD)
#undef QM_X11_FIELD
};

// Filled by loadX11Libraries.
extern X11Api x11;

}  // namespace qm
