// Any two version texts: parsing, comparing and display never fail, and the
// order is antisymmetric and reflexive.
#include "net/version.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace qm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::size_t cut = text.find('\n');
    std::string_view a = text.substr(0, cut);
    std::string_view b = cut == std::string_view::npos ? std::string_view() : text.substr(cut + 1);
    int ab = compareVersions(a, b), ba = compareVersions(b, a);
    if (ab != -ba || ab < -1 || ab > 1)
        std::abort();
    if (compareVersions(a, a) != 0)
        std::abort();
    parseVersion(a);
    displayVersion(b);
    isNewerVersion(a);
    return 0;
}
