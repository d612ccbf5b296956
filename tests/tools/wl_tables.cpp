// Prints the Wayland protocol descriptions the back end builds at run time
// as JSON ({interface: {version, requests, events}}, each message as
// [name, signature, [argument interface or null]]), for the oracle that
// compares them with the protocol XML files.
#include "core/json.h"
#include "platform/wayland/wl_protocols.h"

#include <cstdio>

namespace {

qm::Json messages(const wl_message* list, int count)
{
    qm::Json out = qm::Json::array();
    for (int i = 0; i < count; ++i) {
        const wl_message& m = list[i];
        qm::Json types = qm::Json::array();
        size_t args = 0;
        for (const char* c = m.signature; *c; ++c)
            if (*c != '?' && (*c < '0' || *c > '9'))
                ++args;
        for (size_t k = 0; k < args; ++k)
            types.push_back(m.types[k] ? qm::Json(m.types[k]->name) : qm::Json());
        out.push_back(qm::Json::array({m.name, m.signature, types}));
    }
    return out;
}

}  // namespace

int main()
{
    if (!qm::loadWaylandLibraries()) {
        std::fprintf(stderr, "wl_tables: %s\n", qm::wl.loadError.c_str());
        return 1;
    }
    qm::Json out = qm::Json::object();
    for (const wl_interface* i : qm::wlp.all())
        out[i->name] = {{"version", i->version}, {"requests", messages(i->methods, i->method_count)},
            {"events", messages(i->events, i->event_count)}};
    std::puts(out.dump(1).c_str());
    return 0;
}
