// tarFile on arbitrary bytes. The first byte gives the length of the suffix,
// taken from the bytes after it; the rest is the archive.
#include <algorithm>
#include <string_view>
#include <vector>

#include "codecs/archive/tar.h"
#include "core/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    size_t n = std::min<size_t>(data[0] % 32, size - 1);
    std::string_view suffix(reinterpret_cast<const char*>(data + 1), n);
    try {
        std::vector<uint8_t> found = qm::tarFile({data + 1 + n, size - 1 - n}, suffix);
        if (found.size() > size)
            __builtin_trap();
    } catch (const qm::ValueError&) {
    }
    return 0;
}
