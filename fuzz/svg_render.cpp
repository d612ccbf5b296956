// renderSvgMask on arbitrary bytes: an empty result or side * side bytes,
// nothing else, within bounded time and memory. Run by hand with the XML
// dictionary: fuzz_svg_render -dict=fuzz/svg_render.dict -timeout=1 CORPUS
#include "app/svg.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    for (int32_t side : {24, 64}) {
        std::vector<uint8_t> mask = qm::renderSvgMask(text, side);
        if (!mask.empty() && mask.size() != size_t(side) * size_t(side))
            std::abort();
    }
    return 0;
}
