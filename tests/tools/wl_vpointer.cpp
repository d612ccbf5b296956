// A virtual pointer for the Wayland input tests: connects to the compositor
// named by WAYLAND_DISPLAY, creates a pointer on its seat through the wlroots
// virtual-pointer protocol and sends what it is told.
//
// Commands come from the arguments (one command an argument) or, without
// arguments, from standard input (one a line). After each command the
// requests are flushed and a round trip made, then "ok" (or "error: ...")
// is printed, so a driver knows the compositor has seen it:
//   abs X Y W H                 motion_absolute to X/W, Y/H of the layout
//   move DX DY                  relative motion
//   button CODE press|release   a button by its Linux code (272 left ...)
//   axis A VALUE                axis A (0 vertical, 1 horizontal) by VALUE
//   axis A VALUE discrete N     the same as a discrete step of N
//   source N                    axis_source
//   stop A                      axis_stop
//   frame                       ends a group of the above
//   sleep MS                    waits
// A command ending in " frame" sends the frame after it.
//
// The protocol's description is written out here by hand, the same way the
// back end describes the extensions the client library does not carry.
#include "platform/wayland/wl_libs.h"
#include "platform/wayland/wl_protocols.h"

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace qm;

extern const wl_interface virtualPointerInterface;

// Argument interfaces of the manager's requests. The seat's and the
// output's descriptions live in the client library, so those slots are
// filled once it is loaded.
const wl_interface* managerTypes[] = {
    nullptr, &virtualPointerInterface,           // create_virtual_pointer(seat, id)
    nullptr, nullptr, &virtualPointerInterface,  // create_virtual_pointer_with_output(seat, output, id)
};
const wl_interface* noTypes[5] = {};

const wl_message managerRequests[] = {
    {"create_virtual_pointer", "?on", managerTypes},
    {"destroy", "", noTypes},
    {"create_virtual_pointer_with_output", "2?o?on", managerTypes + 2},
};

const wl_message pointerRequests[] = {
    {"motion", "uff", noTypes},
    {"motion_absolute", "uuuuu", noTypes},
    {"button", "uuu", noTypes},
    {"axis", "uuf", noTypes},
    {"frame", "", noTypes},
    {"axis_source", "u", noTypes},
    {"axis_stop", "uu", noTypes},
    {"axis_discrete", "uufi", noTypes},
    {"destroy", "", noTypes},
};

const wl_interface managerInterface = {"zwlr_virtual_pointer_manager_v1", 2, 3, managerRequests, 0, nullptr};
const wl_interface virtualPointerInterface = {"zwlr_virtual_pointer_v1", 2, 9, pointerRequests, 0, nullptr};

enum PointerRequest : uint32_t {
    prMotion = 0,
    prMotionAbsolute = 1,
    prButton = 2,
    prAxis = 3,
    prFrame = 4,
    prAxisSource = 5,
    prAxisStop = 6,
    prAxisDiscrete = 7,
    prDestroy = 8,
};

struct Globals {
    uint32_t seatName = 0, seatVersion = 0;
    uint32_t managerName = 0, managerVersion = 0;
};

Globals* found = nullptr;

int onRegistry(const void*, void*, uint32_t opcode, const wl_message*, wl_argument* a)
{
    if (opcode != 0 || !found)
        return 0;
    std::string iface = a[1].s ? a[1].s : "";
    if (iface == "wl_seat" && !found->seatName) {
        found->seatName = a[0].u;
        found->seatVersion = a[2].u;
    } else if (iface == managerInterface.name) {
        found->managerName = a[0].u;
        found->managerVersion = a[2].u;
    }
    return 0;
}

uint32_t milliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return uint32_t(uint64_t(t.tv_sec) * 1000 + uint64_t(t.tv_nsec) / 1000000);
}

// Sends one command; false with a reason when it is not understood.
bool run(wl_proxy* pointer, const std::string& line, std::string& error)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    bool frameAfter = words.size() > 1 && words.back() == "frame";
    if (frameAfter)
        words.pop_back();
    if (words.empty())
        return true;
    const std::string& c = words[0];
    auto number = [&](size_t i) { return std::stod(words.at(i)); };
    auto unsignedAt = [&](size_t i) { return uint32_t(std::stoul(words.at(i))); };
    try {
        if (c == "abs" && words.size() == 5) {
            sendRequest(pointer, prMotionAbsolute,
                {argUint(milliseconds()), argUint(unsignedAt(1)), argUint(unsignedAt(2)), argUint(unsignedAt(3)),
                    argUint(unsignedAt(4))});
        } else if (c == "move" && words.size() == 3) {
            sendRequest(pointer, prMotion, {argUint(milliseconds()), argFixed(number(1)), argFixed(number(2))});
        } else if (c == "button" && words.size() == 3 && (words[2] == "press" || words[2] == "release")) {
            sendRequest(pointer, prButton,
                {argUint(milliseconds()), argUint(unsignedAt(1)), argUint(words[2] == "press" ? 1 : 0)});
        } else if (c == "axis" && words.size() == 3) {
            sendRequest(pointer, prAxis, {argUint(milliseconds()), argUint(unsignedAt(1)), argFixed(number(2))});
        } else if (c == "axis" && words.size() == 5 && words[3] == "discrete") {
            sendRequest(pointer, prAxisDiscrete,
                {argUint(milliseconds()), argUint(unsignedAt(1)), argFixed(number(2)),
                    argInt(int32_t(std::stol(words[4])))});
        } else if (c == "source" && words.size() == 2) {
            sendRequest(pointer, prAxisSource, {argUint(unsignedAt(1))});
        } else if (c == "stop" && words.size() == 2) {
            sendRequest(pointer, prAxisStop, {argUint(milliseconds()), argUint(unsignedAt(1))});
        } else if (c == "frame" && words.size() == 1) {
            frameAfter = true;
        } else if (c == "sleep" && words.size() == 2) {
            usleep(useconds_t(unsignedAt(1)) * 1000);
        } else {
            error = "unknown command: " + line;
            return false;
        }
    } catch (const std::exception&) {
        error = "bad number in: " + line;
        return false;
    }
    if (frameAfter)
        sendRequest(pointer, prFrame);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!loadWaylandLibraries()) {
        std::fprintf(stderr, "wl_vpointer: %s\n", wl.loadError.c_str());
        return 1;
    }
    managerTypes[0] = managerTypes[2] = wl.wl_seat_interface;
    managerTypes[3] = wl.wl_output_interface;
    wl_display* display = wl.wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "wl_vpointer: cannot connect to the Wayland compositor\n");
        return 1;
    }
    Globals globals;
    found = &globals;
    wl_proxy* registry =
        sendConstructorRequest(reinterpret_cast<wl_proxy*>(display), 1, {argNewId()}, wl.wl_registry_interface);
    wl.wl_proxy_add_dispatcher(registry, onRegistry, nullptr, nullptr);
    wl.wl_display_roundtrip(display);
    if (!globals.seatName || !globals.managerName) {
        std::fprintf(stderr, "wl_vpointer: the compositor offers no %s\n",
            globals.seatName ? "virtual pointer manager" : "seat");
        wl.wl_display_disconnect(display);
        return 1;
    }
    wl_proxy* seat = bindGlobal(registry, globals.seatName, wl.wl_seat_interface, 1, okNone);
    wl_proxy* manager = bindGlobal(registry, globals.managerName, &managerInterface, 1, okNone);
    wl_proxy* pointer = sendConstructorRequest(manager, 0, {argObject(seat), argNewId()}, &virtualPointerInterface);
    if (wl.wl_display_roundtrip(display) < 0) {
        std::fprintf(stderr, "wl_vpointer: the compositor refused the virtual pointer\n");
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);

    auto runOne = [&](const std::string& line) {
        std::string error;
        bool ok = run(pointer, line, error);
        if (wl.wl_display_roundtrip(display) < 0) {
            std::fprintf(stderr, "wl_vpointer: the connection failed (error %d)\n", wl.wl_display_get_error(display));
            return false;
        }
        std::puts(ok ? "ok" : ("error: " + error).c_str());
        std::fflush(stdout);
        return true;
    };
    bool alive = true;
    if (argc > 1) {
        for (int i = 1; i < argc && alive; ++i)
            alive = runOne(argv[i]);
    } else {
        for (std::string line; alive && std::getline(std::cin, line);)
            alive = runOne(line);
    }
    sendDestructorRequest(pointer, prDestroy);
    sendDestructorRequest(manager, 1);
    wl.wl_proxy_destroy(seat);
    wl.wl_proxy_destroy(registry);
    wl.wl_display_roundtrip(display);
    wl.wl_display_disconnect(display);
    return alive ? 0 : 1;
}
