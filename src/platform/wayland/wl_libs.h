#pragma once
// The Wayland client library, wayland-egl, EGL, xkbcommon and (optionally)
// wayland-cursor, opened with dlopen on first use and resolved into one
// table. Nothing links against them; their headers give the types only.
// Where the symbols come from can be replaced, so tests stand in recording
// fakes for the real libraries.
#define EGL_NO_PLATFORM_SPECIFIC_TYPES
#include <EGL/egl.h>
#include <wayland-client-core.h>
#include <wayland-cursor.h>
#include <wayland-egl-core.h>
#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon.h>

#include <functional>
#include <string>

namespace qm {

// F(library, name): functions, required, in loading order. Library 0 is the
// client library, 1 wayland-egl, 2 EGL, 3 xkbcommon.
// clang-format off
#define QM_WL_FUNCTIONS(F)                                                                                             \
    F(0, wl_display_connect)                                                                                           \
    F(0, wl_display_disconnect)                                                                                        \
    F(0, wl_display_get_fd)                                                                                            \
    F(0, wl_display_roundtrip)                                                                                         \
    F(0, wl_display_dispatch_pending)                                                                                  \
    F(0, wl_display_prepare_read)                                                                                      \
    F(0, wl_display_read_events)                                                                                       \
    F(0, wl_display_cancel_read)                                                                                       \
    F(0, wl_display_flush)                                                                                             \
    F(0, wl_display_get_error)                                                                                         \
    F(0, wl_proxy_marshal_array)                                                                                       \
    F(0, wl_proxy_marshal_array_constructor_versioned)                                                                 \
    F(0, wl_proxy_add_dispatcher)                                                                                      \
    F(0, wl_proxy_destroy)                                                                                             \
    F(0, wl_proxy_get_version)
// clang-format on

// I(name): the client library's interface descriptions, required.
// clang-format off
#define QM_WL_INTERFACES(I)                                                                                            \
    I(wl_registry_interface)                                                                                           \
    I(wl_callback_interface)                                                                                           \
    I(wl_compositor_interface)                                                                                         \
    I(wl_subcompositor_interface)                                                                                      \
    I(wl_surface_interface)                                                                                            \
    I(wl_subsurface_interface)                                                                                         \
    I(wl_region_interface)                                                                                             \
    I(wl_seat_interface)                                                                                               \
    I(wl_pointer_interface)                                                                                            \
    I(wl_keyboard_interface)                                                                                           \
    I(wl_touch_interface)                                                                                              \
    I(wl_output_interface)                                                                                             \
    I(wl_shm_interface)                                                                                                \
    I(wl_shm_pool_interface)                                                                                           \
    I(wl_buffer_interface)                                                                                             \
    I(wl_data_device_manager_interface)                                                                                \
    I(wl_data_device_interface)                                                                                        \
    I(wl_data_source_interface)                                                                                        \
    I(wl_data_offer_interface)
// clang-format on

// clang-format off
#define QM_WL_LATER_FUNCTIONS(F)                                                                                       \
    F(1, wl_egl_window_create)                                                                                         \
    F(1, wl_egl_window_resize)                                                                                         \
    F(1, wl_egl_window_destroy)                                                                                        \
    F(2, eglGetDisplay)                                                                                                \
    F(2, eglInitialize)                                                                                                \
    F(2, eglBindAPI)                                                                                                   \
    F(2, eglChooseConfig)                                                                                              \
    F(2, eglGetConfigAttrib)                                                                                           \
    F(2, eglCreateContext)                                                                                             \
    F(2, eglCreateWindowSurface)                                                                                       \
    F(2, eglMakeCurrent)                                                                                               \
    F(2, eglSwapBuffers)                                                                                               \
    F(2, eglSwapInterval)                                                                                              \
    F(2, eglDestroySurface)                                                                                            \
    F(2, eglDestroyContext)                                                                                            \
    F(2, eglTerminate)                                                                                                 \
    F(2, eglGetProcAddress)                                                                                            \
    F(3, xkb_context_new)                                                                                              \
    F(3, xkb_keymap_new_from_string)                                                                                   \
    F(3, xkb_keymap_unref)                                                                                             \
    F(3, xkb_keymap_key_repeats)                                                                                       \
    F(3, xkb_keymap_key_get_syms_by_level)                                                                             \
    F(3, xkb_state_new)                                                                                                \
    F(3, xkb_state_unref)                                                                                              \
    F(3, xkb_state_update_mask)                                                                                        \
    F(3, xkb_state_key_get_one_sym)                                                                                    \
    F(3, xkb_state_key_get_utf32)                                                                                      \
    F(3, xkb_state_mod_name_is_active)                                                                                 \
    F(3, xkb_keysym_to_utf32)
// clang-format on

// Optional: xkbcommon's compose functions (library 3), then wayland-cursor (4).
// clang-format off
#define QM_WL_OPTIONAL_FUNCTIONS(F)                                                                                    \
    F(3, xkb_compose_table_new_from_locale)                                                                            \
    F(3, xkb_compose_state_new)                                                                                        \
    F(3, xkb_compose_state_feed)                                                                                       \
    F(3, xkb_compose_state_reset)                                                                                      \
    F(3, xkb_compose_state_get_status)                                                                                 \
    F(3, xkb_compose_state_get_one_sym)                                                                                \
    F(4, wl_cursor_theme_load)                                                                                         \
    F(4, wl_cursor_theme_get_cursor)                                                                                   \
    F(4, wl_cursor_image_get_buffer)
// clang-format on

extern const char* const kWaylandSonames[5];

struct WaylandApi {
#define QM_WL_FIELD(lib, name) decltype(&::name) name = nullptr;
    QM_WL_FUNCTIONS(QM_WL_FIELD)
    QM_WL_LATER_FUNCTIONS(QM_WL_FIELD)
    QM_WL_OPTIONAL_FUNCTIONS(QM_WL_FIELD)
#undef QM_WL_FIELD
#define QM_WL_IFACE_FIELD(name) const wl_interface* name = nullptr;
    QM_WL_INTERFACES(QM_WL_IFACE_FIELD)
#undef QM_WL_IFACE_FIELD
    bool tried = false;
    bool loaded = false;
    std::string loadError;  // last failure of loading, connecting or EGL set-up

    bool hasCompose() const
    {
        return xkb_compose_table_new_from_locale && xkb_compose_state_new && xkb_compose_state_feed
            && xkb_compose_state_reset && xkb_compose_state_get_status && xkb_compose_state_get_one_sym;
    }
    bool hasCursorLibrary() const
    {
        return wl_cursor_theme_load && wl_cursor_theme_get_cursor && wl_cursor_image_get_buffer;
    }
};

extern WaylandApi wl;

// Where libraries and symbols come from: dlopen and dlsym unless replaced.
struct WaylandResolver {
    std::function<void*(const char* soname)> open;
    std::function<void*(void* library, const char* symbol)> symbol;
};

// Replaces the resolver and forgets any earlier load (tests only).
void setWaylandResolver(WaylandResolver resolver);

// True when every required library and symbol is there and the protocol
// descriptions are built. Only the first call does the work; a failure
// leaves its reason in wl.loadError and is not retried.
bool loadWaylandLibraries();

}  // namespace qm
