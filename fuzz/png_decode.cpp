// decodePng on arbitrary bytes: a ValueError or an image, nothing else. A
// decoded image must survive encoding and decoding again unchanged.
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "codecs/image/png.h"
#include "core/bytes.h"
#include "core/errors.h"

namespace {

// Images up to this size make the full round trip; larger ones (the decoder
// accepts up to its own cap, and short data is filled in, so a few bytes can
// declare one) go through it by a band of their first rows.
constexpr uint64_t kRoundTripPixels = uint64_t(1) << 22;

void expectRoundTrip(const qm::Image& image)
{
    for (bool compress : {false, true}) {
        qm::ImagePtr again = qm::decodePng(qm::encodePng(image, compress));
        if (again->pixels != image.pixels)
            __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
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
    if (uint64_t(image->width) * image->height <= kRoundTripPixels) {
        expectRoundTrip(*image);
    } else {
        qm::Image band;
        band.width = image->width;
        band.height = int32_t(std::max<uint64_t>(1, kRoundTripPixels / uint64_t(image->width)));
        band.channels = 4;
        band.pixels.assign(
            image->pixels.begin(), image->pixels.begin() + ptrdiff_t(size_t(band.width) * band.height * 4));
        expectRoundTrip(band);
    }
    return 0;
}
