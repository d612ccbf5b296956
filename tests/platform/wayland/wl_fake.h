#pragma once
// Recording stand-ins for the Wayland client library, wayland-egl, EGL,
// xkbcommon and wayland-cursor, installed through the back end's resolver.
// Proxies are plain records; every request is decoded with the interface's
// own signature and kept; tests send events through the installed
// dispatcher. The client library's interface descriptions are its real
// ones (read with dlopen), so requests are decoded as the library would.
#include "platform/wayland/wl_libs.h"
#include "platform/wayland/wl_window.h"
#include "platform/wayland/wl_window_internal.h"

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace qm::test {

struct FakeProxy {
    const wl_interface* iface = nullptr;
    uint32_t version = 0;
    uint32_t id = 0;
    wl_dispatcher_func_t dispatcher = nullptr;
    const void* implementation = nullptr;
    bool destroyed = false;
    std::string name() const { return iface ? iface->name : "wl_display"; }
};

struct FakeArg {
    char type = 0;  // signature letter
    int32_t i = 0;
    uint32_t u = 0;
    double f = 0;
    std::string s;
    bool null = false;  // a null string or object
    FakeProxy* o = nullptr;
    int fd = -1;  // a duplicate the fake owns
};

struct FakeRequest {
    FakeProxy* proxy = nullptr;
    std::string iface;
    std::string name;
    uint32_t opcode = 0;
    std::vector<FakeArg> args;
    FakeProxy* created = nullptr;
    uint32_t version = 0;  // of a created object
};

struct FakeGlobal {
    std::string iface;
    uint32_t version = 1;
};

struct FakeCursorImage {
    wl_cursor_image image{};
    wl_cursor_image* list[1]{};
    wl_cursor cursor{};
};

struct FakeWayland {
    FakeWayland();
    ~FakeWayland();

    // Setup before connecting.
    std::vector<FakeGlobal> globals;         // announced at the first round trip, names 1, 2, ...
    std::set<std::string> missingSymbols;    // resolve to null
    std::set<std::string> missingLibraries;  // sonames that do not open
    bool connectFails = false;
    bool autoConfigure = true;  // answer the first toplevel's commit with a configure
    int32_t configureWidth = 0, configureHeight = 0;
    std::vector<uint32_t> configureStates;
    int32_t boundsWidth = 0, boundsHeight = 0;  // sent before the configure when set
    uint32_t decorationMode = 0;                // sent for a decoration object when not 0
    std::vector<std::array<int32_t, 4>> eglConfigs{{8, 8, 8, 0}};
    int32_t cursorImageSize = 24;  // the themed cursor's image side
    int32_t displayError = 0;
    std::function<void()> onRoundtrip;  // runs at every round trip after the built-in answers

    // What happened.
    std::deque<std::unique_ptr<FakeProxy>> proxies;
    std::vector<FakeRequest> requests;
    int roundtrips = 0;
    std::vector<std::pair<int32_t, int32_t>> eglWindowSizes;  // create, then every resize
    std::vector<int32_t> themeSizes;                          // every wl_cursor_theme_load
    std::vector<std::string> calls;                           // EGL and library calls by name
    std::deque<std::function<void()>> queued;                 // events dispatched by dispatch_pending

    FakeProxy* display();
    FakeProxy* last(const std::string& iface);
    std::vector<FakeProxy*> all(const std::string& iface);
    std::vector<FakeRequest> requestsNamed(const std::string& iface, const std::string& name) const;
    void clearRequests();

    FakeProxy* newProxy(const wl_interface* iface, uint32_t version);
    // Sends an event to a proxy through its dispatcher, now.
    void event(FakeProxy* p, uint32_t opcode, std::vector<wl_argument> args);
    void event(wl_proxy* p, uint32_t opcode, std::vector<wl_argument> args)
    {
        event(reinterpret_cast<FakeProxy*>(p), opcode, std::move(args));
    }
    // Configures the window's toplevel and surface (serial increments).
    void configure(const WlWindow& w, int32_t width, int32_t height, std::vector<uint32_t> states = {});
    // A new wl_data_offer announced on the data device, offering these types.
    FakeProxy* offer(const std::vector<std::string>& types);

    // What a wl_data_offer.receive gets written into its pipe, by MIME type
    // (from a thread, so that payloads larger than a pipe get through).
    std::map<std::string, std::string> offerPayloads;
    std::vector<std::thread> writers;
    std::set<FakeProxy*> announced;
    uint32_t serial = 100;
    FakeCursorImage cursorImage;
    void* realClient = nullptr;
};

extern FakeWayland* fake;

wl_argument arg(FakeProxy* p);

}  // namespace qm::test
