// unzipBytes on arbitrary bytes: a ValueError or a table, with progress that
// never runs backwards or past its total.
#include "codecs/archive/zip.h"
#include "core/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int64_t last = 0;
    auto progress = [&](int32_t done, int32_t total) {
        if (done < last || done > total)
            __builtin_trap();
        last = done;
    };
    try {
        qm::unzipBytes({data, size}, progress);
    } catch (const qm::ValueError&) {
    }
    return 0;
}
