// Reads arbitrary bytes as a CFF or CFF2 table (chosen by the first byte, the
// major version) and draws its first glyphs: the table structure, INDEXes,
// DICTs, FDSelect and the charstrings of a parsed font must never crash.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "codecs/font/cff.h"
#include "core/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    auto bytes = std::make_shared<std::vector<uint8_t>>(data, data + size);
    try {
        auto font = qm::parseCff(bytes, 0, int32_t(size), data[0] == 2, 1000);
        for (int32_t g = 0; g < qm::cffGlyphCount(*font) && g < 64; ++g)
            qm::cffGlyphContours(*font, g);
    } catch (const qm::CffError&) {
    }
    return 0;
}
