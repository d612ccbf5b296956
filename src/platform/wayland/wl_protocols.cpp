#include "platform/wayland/wl_protocols.h"

#include "core/errors.h"

#include <deque>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

namespace qm {

WaylandProtocols wlp;

std::vector<const wl_interface*> WaylandProtocols::all() const
{
    return {xdg_wm_base, xdg_surface, xdg_toplevel, zxdg_decoration_manager_v1, zxdg_toplevel_decoration_v1,
        xdg_activation_v1, xdg_activation_token_v1, wp_viewporter, wp_viewport, wp_fractional_scale_manager_v1,
        wp_fractional_scale_v1, wp_cursor_shape_manager_v1, wp_cursor_shape_device_v1, zwp_idle_inhibit_manager_v1,
        zwp_idle_inhibitor_v1};
}

namespace {

struct MessageSpec {
    const char* name;
    const char* signature;
    std::vector<const wl_interface*> types;  // one per argument, null without an interface
};

// The descriptions live for the process; keeping the blocks here keeps
// them reachable (and lets tests build them again).
std::deque<std::unique_ptr<wl_interface>> interfaceStore;
std::deque<std::unique_ptr<wl_message[]>> messageStore;
std::deque<std::unique_ptr<const wl_interface*[]>> typeStore;

wl_interface* newInterface(const char* name, int version)
{
    interfaceStore.push_back(std::make_unique<wl_interface>());
    wl_interface* i = interfaceStore.back().get();
    *i = wl_interface{};
    i->name = name;
    i->version = version;
    return i;
}

const wl_message* messageList(const std::vector<MessageSpec>& specs)
{
    if (specs.empty())
        return nullptr;
    size_t argCount = 0;
    for (const MessageSpec& m : specs)
        argCount += m.types.size();
    messageStore.push_back(std::make_unique<wl_message[]>(specs.size()));
    typeStore.push_back(std::make_unique<const wl_interface*[]>(argCount ? argCount : 1));
    wl_message* messages = messageStore.back().get();
    const wl_interface** types = typeStore.back().get();
    size_t at = 0;
    for (size_t k = 0; k < specs.size(); ++k) {
        messages[k].name = specs[k].name;
        messages[k].signature = specs[k].signature;
        messages[k].types = types + at;
        for (const wl_interface* t : specs[k].types)
            types[at++] = t;
    }
    return messages;
}

void setMessages(wl_interface* i, const std::vector<MessageSpec>& requests, const std::vector<MessageSpec>& events)
{
    i->methods = messageList(requests);
    i->method_count = int(requests.size());
    i->events = messageList(events);
    i->event_count = int(events.size());
}

// Set by tests to make a handler fail.
std::exception_ptr pendingError;

}  // namespace

void buildProtocolInterfaces()
{
    WaylandProtocols& p = wlp;
    p.xdg_wm_base = newInterface("xdg_wm_base", 6);
    p.xdg_surface = newInterface("xdg_surface", 6);
    p.xdg_toplevel = newInterface("xdg_toplevel", 6);
    p.zxdg_decoration_manager_v1 = newInterface("zxdg_decoration_manager_v1", 1);
    p.zxdg_toplevel_decoration_v1 = newInterface("zxdg_toplevel_decoration_v1", 1);
    p.xdg_activation_v1 = newInterface("xdg_activation_v1", 1);
    p.xdg_activation_token_v1 = newInterface("xdg_activation_token_v1", 1);
    p.wp_viewporter = newInterface("wp_viewporter", 1);
    p.wp_viewport = newInterface("wp_viewport", 1);
    p.wp_fractional_scale_manager_v1 = newInterface("wp_fractional_scale_manager_v1", 1);
    p.wp_fractional_scale_v1 = newInterface("wp_fractional_scale_v1", 1);
    p.wp_cursor_shape_manager_v1 = newInterface("wp_cursor_shape_manager_v1", 1);
    p.wp_cursor_shape_device_v1 = newInterface("wp_cursor_shape_device_v1", 1);
    p.zwp_idle_inhibit_manager_v1 = newInterface("zwp_idle_inhibit_manager_v1", 1);
    p.zwp_idle_inhibitor_v1 = newInterface("zwp_idle_inhibitor_v1", 1);

    const wl_interface* none = nullptr;
    const wl_interface* surface = wl.wl_surface_interface;
    const wl_interface* seat = wl.wl_seat_interface;
    const wl_interface* output = wl.wl_output_interface;
    const wl_interface* pointer = wl.wl_pointer_interface;

    setMessages(p.xdg_wm_base,
        {{"destroy", "", {}}, {"create_positioner", "n", {none}}, {"get_xdg_surface", "no", {p.xdg_surface, surface}},
            {"pong", "u", {none}}},
        {{"ping", "u", {none}}});
    setMessages(p.xdg_surface,
        {{"destroy", "", {}}, {"get_toplevel", "n", {p.xdg_toplevel}},
            {"get_popup", "n?oo", {none, p.xdg_surface, none}},
            {"set_window_geometry", "iiii", {none, none, none, none}}, {"ack_configure", "u", {none}}},
        {{"configure", "u", {none}}});
    setMessages(p.xdg_toplevel,
        {{"destroy", "", {}}, {"set_parent", "?o", {p.xdg_toplevel}}, {"set_title", "s", {none}},
            {"set_app_id", "s", {none}}, {"show_window_menu", "ouii", {seat, none, none, none}},
            {"move", "ou", {seat, none}}, {"resize", "ouu", {seat, none, none}}, {"set_max_size", "ii", {none, none}},
            {"set_min_size", "ii", {none, none}}, {"set_maximized", "", {}}, {"unset_maximized", "", {}},
            {"set_fullscreen", "?o", {output}}, {"unset_fullscreen", "", {}}, {"set_minimized", "", {}}},
        {{"configure", "iia", {none, none, none}}, {"close", "", {}}, {"configure_bounds", "4ii", {none, none}},
            {"wm_capabilities", "5a", {none}}});
    setMessages(p.zxdg_decoration_manager_v1,
        {{"destroy", "", {}}, {"get_toplevel_decoration", "no", {p.zxdg_toplevel_decoration_v1, p.xdg_toplevel}}}, {});
    setMessages(p.zxdg_toplevel_decoration_v1, {{"destroy", "", {}}, {"set_mode", "u", {none}}, {"unset_mode", "", {}}},
        {{"configure", "u", {none}}});
    setMessages(p.xdg_activation_v1,
        {{"destroy", "", {}}, {"get_activation_token", "n", {p.xdg_activation_token_v1}},
            {"activate", "so", {none, surface}}},
        {});
    setMessages(p.xdg_activation_token_v1,
        {{"set_serial", "uo", {none, seat}}, {"set_app_id", "s", {none}}, {"set_surface", "o", {surface}},
            {"commit", "", {}}, {"destroy", "", {}}},
        {{"done", "s", {none}}});
    setMessages(p.wp_viewporter, {{"destroy", "", {}}, {"get_viewport", "no", {p.wp_viewport, surface}}}, {});
    setMessages(p.wp_viewport,
        {{"destroy", "", {}}, {"set_source", "ffff", {none, none, none, none}},
            {"set_destination", "ii", {none, none}}},
        {});
    setMessages(p.wp_fractional_scale_manager_v1,
        {{"destroy", "", {}}, {"get_fractional_scale", "no", {p.wp_fractional_scale_v1, surface}}}, {});
    setMessages(p.wp_fractional_scale_v1, {{"destroy", "", {}}}, {{"preferred_scale", "u", {none}}});
    setMessages(p.wp_cursor_shape_manager_v1,
        {{"destroy", "", {}}, {"get_pointer", "no", {p.wp_cursor_shape_device_v1, pointer}},
            {"get_tablet_tool_v2", "no", {p.wp_cursor_shape_device_v1, none}}},
        {});
    setMessages(p.wp_cursor_shape_device_v1, {{"destroy", "", {}}, {"set_shape", "uu", {none, none}}}, {});
    setMessages(p.zwp_idle_inhibit_manager_v1,
        {{"destroy", "", {}}, {"create_inhibitor", "no", {p.zwp_idle_inhibitor_v1, surface}}}, {});
    setMessages(p.zwp_idle_inhibitor_v1, {{"destroy", "", {}}}, {});
}

wl_proxy* sendConstructorRequest(
    wl_proxy* proxy, uint32_t opcode, std::vector<wl_argument> args, const wl_interface* iface)
{
    if (!proxy)
        return nullptr;
    return wl.wl_proxy_marshal_array_constructor_versioned(
        proxy, opcode, args.data(), iface, wl.wl_proxy_get_version(proxy));
}

void sendRequest(wl_proxy* proxy, uint32_t opcode, std::vector<wl_argument> args)
{
    if (proxy)
        wl.wl_proxy_marshal_array(proxy, opcode, args.data());
}

void sendDestructorRequest(wl_proxy* proxy, uint32_t opcode)
{
    if (!proxy)
        return;
    wl.wl_proxy_marshal_array(proxy, opcode, nullptr);
    wl.wl_proxy_destroy(proxy);
}

void setProxyKind(wl_proxy* proxy, uint8_t kind)
{
    if (proxy && kind != okNone)
        wl.wl_proxy_add_dispatcher(proxy, eventTrampoline, reinterpret_cast<const void*>(uintptr_t(kind)), nullptr);
}

wl_proxy* bindGlobal(wl_proxy* registry, uint32_t name, const wl_interface* iface, uint32_t version, uint8_t kind)
{
    if (!registry)
        return nullptr;
    std::vector<wl_argument> args{argUint(name), argString(iface->name), argUint(version), argNewId()};
    wl_proxy* proxy = wl.wl_proxy_marshal_array_constructor_versioned(registry, 0, args.data(), iface, version);
    setProxyKind(proxy, kind);
    return proxy;
}

int eventTrampoline(const void* implementation, void* proxy, uint32_t opcode, const wl_message*, wl_argument* args)
{
    try {
        uintptr_t kind = reinterpret_cast<uintptr_t>(implementation);
        if (kind > okShmBuffer)
            throw std::logic_error("Wayland dispatcher installed with an unknown object kind");
        dispatchWaylandEvent(uint8_t(kind), static_cast<wl_proxy*>(proxy), opcode, args);
    } catch (const std::bad_alloc&) {
        if (!pendingError)
            pendingError = std::current_exception();
    } catch (const std::logic_error&) {
        if (!pendingError)
            pendingError = std::current_exception();
    } catch (const std::exception&) {
        // An ordinary failure ends this event's handling; dispatching goes on.
    } catch (...) {
        if (!pendingError)
            pendingError = std::current_exception();
    }
    return 0;
}

void rethrowPendingWaylandError()
{
    if (pendingError) {
        std::exception_ptr e = pendingError;
        pendingError = nullptr;
        std::rethrow_exception(e);
    }
}

}  // namespace qm
