// decodePng on arbitrary bytes: a ValueError or an image, nothing else. A
// decoded image must survive encoding and decoding again unchanged.
#include <cstring>
#include <stdexcept>

#include "codecs/image/png.h"
#include "core/bytes.h"
#include "core/errors.h"

namespace {

// Legal but huge images only cost time here (the output alone may be 512 MB);
// their handling is the same code as for small ones.
bool declaresHugeImage(const uint8_t* data, size_t size)
{
    for (size_t i = 0; i + 12 <= size; i++) {
        if (std::memcmp(data + i, "IHDR", 4) != 0)
            continue;
        if (uint64_t(qm::loadBe32(data + i + 4)) * qm::loadBe32(data + i + 8) > (1u << 22))
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (declaresHugeImage(data, size))
        return -1;
    qm::ImagePtr image;
    int32_t last = -1;
    try {
        image = qm::decodePng({data, size}, [&](int32_t done, int32_t total) {
            if (total != 1000 || done < last || done > 1000)
                __builtin_trap();
            last = done;
        });
    } catch (const qm::ValueError&) {
        return 0;
    }
    if (image->channels != 4 || image->pixels.size() != size_t(image->width) * image->height * 4)
        __builtin_trap();
    for (bool compress : {false, true}) {
        qm::ImagePtr again = qm::decodePng(qm::encodePng(*image, compress));
        if (again->pixels != image->pixels)
            __builtin_trap();
    }
    return 0;
}
