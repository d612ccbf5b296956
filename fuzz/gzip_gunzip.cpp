// gunzip on arbitrary bytes: a ValueError or the data, nothing else.
#include "codecs/archive/gzip.h"
#include "core/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        qm::gunzip({data, size});
    } catch (const qm::ValueError&) {
    }
    return 0;
}
