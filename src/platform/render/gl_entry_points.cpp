#include "platform/render/gl_entry_points.h"

#include <cstring>
#include <stdexcept>

namespace qm {

#define QM_GL_DEFINE_SLOT(name, type) type name = nullptr;
QM_GL_ENTRY_POINTS(QM_GL_DEFINE_SLOT)
#undef QM_GL_DEFINE_SLOT

namespace {

bool listBusy = false;

std::vector<GlEntryPoint> registeredEntryPoints()
{
    std::vector<GlEntryPoint> list;
#define QM_GL_REGISTER(name, type) list.push_back({#name, reinterpret_cast<void*>(&name)});
    QM_GL_ENTRY_POINTS(QM_GL_REGISTER)
#undef QM_GL_REGISTER
    return list;
}

bool slotEmpty(const GlEntryPoint& entry)
{
    GlProc proc = nullptr;
    std::memcpy(&proc, entry.slot, sizeof proc);
    return proc == nullptr;
}

}  // namespace

std::vector<GlEntryPoint>& glEntryList()
{
    static std::vector<GlEntryPoint> list = registeredEntryPoints();
    return list;
}

std::vector<std::string> loadGlEntryPoints(const GlProcResolver& getProcAddress)
{
    std::vector<GlEntryPoint>& list = glEntryList();
    if (listBusy)
        throw std::logic_error("GL entry list changed while loading");
    listBusy = true;
    const size_t count = list.size();
    std::vector<std::string> missing;
    for (const GlEntryPoint& entry : list) {
        GlProc proc = getProcAddress ? getProcAddress(entry.name.c_str()) : nullptr;
        // Every slot is a function pointer variable of its own type; copying
        // the bytes stores the address without naming that type here.
        std::memcpy(entry.slot, &proc, sizeof proc);
        if (!proc)
            missing.push_back(entry.name);
    }
    listBusy = false;
    if (list.size() != count)
        throw std::logic_error("GL entry list changed while loading");
    return missing;
}

void destroyGlEntryList() { std::vector<GlEntryPoint>().swap(glEntryList()); }

std::string firstMissingGlFunction(const std::vector<std::string>& names)
{
    for (const std::string& name : names) {
        for (const GlEntryPoint& entry : glEntryList()) {
            if (entry.name == name) {
                if (slotEmpty(entry))
                    return name;
                break;
            }
        }
    }
    return "";
}

}  // namespace qm
