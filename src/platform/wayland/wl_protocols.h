#pragma once
// The extension protocols the client library does not carry, described at
// run time in its own wl_interface and wl_message records, and the few calls
// through which every request goes out and every event comes back.
#include "platform/wayland/wl_libs.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <vector>

namespace qm {

// What a proxy is. The client library hands it back to our dispatcher as
// the per-proxy pointer, which lets a single dispatcher serve all objects.
enum ObjectKind : uint8_t {
    okNone = 0,
    okRegistry = 1,
    okFrameCallback = 2,
    okWmBase = 3,
    okXdgSurface = 4,
    okToplevel = 5,
    okSurface = 6,
    okSeat = 7,
    okPointer = 8,
    okKeyboard = 9,
    okTouch = 10,
    okOutput = 11,
    okDecoration = 12,
    okActivationToken = 13,
    okFractionalScale = 14,
    okDataDevice = 15,
    okDataOffer = 16,
    okDataSource = 17,
    okShmBuffer = 18,
};

struct WaylandProtocols {
    wl_interface* xdg_wm_base = nullptr;
    wl_interface* xdg_surface = nullptr;
    wl_interface* xdg_toplevel = nullptr;
    wl_interface* zxdg_decoration_manager_v1 = nullptr;
    wl_interface* zxdg_toplevel_decoration_v1 = nullptr;
    wl_interface* xdg_activation_v1 = nullptr;
    wl_interface* xdg_activation_token_v1 = nullptr;
    wl_interface* wp_viewporter = nullptr;
    wl_interface* wp_viewport = nullptr;
    wl_interface* wp_fractional_scale_manager_v1 = nullptr;
    wl_interface* wp_fractional_scale_v1 = nullptr;
    wl_interface* wp_cursor_shape_manager_v1 = nullptr;
    wl_interface* wp_cursor_shape_device_v1 = nullptr;
    wl_interface* zwp_idle_inhibit_manager_v1 = nullptr;
    wl_interface* zwp_idle_inhibitor_v1 = nullptr;

    // The fifteen, in the order above.
    std::vector<const wl_interface*> all() const;
};

extern WaylandProtocols wlp;

// Fills wlp; needs the client library's interface descriptions in wl. Run
// once, by loadWaylandLibraries.
void buildProtocolInterfaces();

// Argument constructors for request argument lists.
// clang-format off
inline wl_argument argInt(int32_t v) { wl_argument a{}; a.i = v; return a; }
inline wl_argument argUint(uint32_t v) { wl_argument a{}; a.u = v; return a; }
inline wl_argument argFixed(double v) { wl_argument a{}; a.f = wl_fixed_t(v * 256.0); return a; }
inline wl_argument argString(const char* v) { wl_argument a{}; a.s = v; return a; }
inline wl_argument argObject(void* v) { wl_argument a{}; a.o = static_cast<wl_object*>(v); return a; }
inline wl_argument argFd(int32_t v) { wl_argument a{}; a.h = v; return a; }
inline wl_argument argNewId() { wl_argument a{}; a.o = nullptr; return a; }
// clang-format on
inline double fixedToDouble(wl_fixed_t f) { return double(f) / 256.0; }

wl_proxy* bindGlobal(wl_proxy* registry, uint32_t name, const wl_interface* iface, uint32_t version, uint8_t kind);
wl_proxy* sendConstructorRequest(
    wl_proxy* proxy, uint32_t opcode, std::vector<wl_argument> args, const wl_interface* iface);
void sendRequest(wl_proxy* proxy, uint32_t opcode, std::vector<wl_argument> args = {});
void sendDestructorRequest(wl_proxy* proxy, uint32_t opcode);
// Installs the one dispatcher with this kind on a proxy (null: nothing).
void setProxyKind(wl_proxy* proxy, uint8_t kind);

// The dispatcher installed on every proxy. No exception leaves it: an
// ordinary failure of a handler ends that event's handling only, anything
// else is kept and raised by rethrowPendingWaylandError once the client
// library's call has returned.
int eventTrampoline(
    const void* implementation, void* proxy, uint32_t opcode, const wl_message* message, wl_argument* args);
void rethrowPendingWaylandError();

// Selects on kind, then on opcode (defined by the window back end).
void dispatchWaylandEvent(uint8_t kind, wl_proxy* proxy, uint32_t opcode, const wl_argument* args);

}  // namespace qm
