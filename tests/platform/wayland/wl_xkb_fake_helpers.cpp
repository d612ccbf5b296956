// xkbcommon stand-ins for the Wayland fakes.
#include <map>
#include <string>

namespace qm::test {

std::map<std::string, void*>& xkbFakeFunctions()
{
    static std::map<std::string, void*> table;
    return table;
}

}  // namespace qm::test
