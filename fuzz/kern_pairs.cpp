// Loads arbitrary bytes as a font and asks for the kerning of pairs among its
// first glyphs: kern tables, GPOS pair adjustments of damaged or hostile
// tables, and names must never crash, and kerning must never raise.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "codecs/font/font.h"
#include "codecs/font/kerning.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qm::FontRef font;
    try {
        font = qm::parseTrueType(qm::FontData(data, size));
    } catch (const qm::ValueError&) {
        return 0;
    }
    const int32_t glyphs = std::min(font->numGlyphs + 1, 48);
    volatile double sink = 0;
    for (int32_t left = -1; left < glyphs; ++left)
        for (int32_t right = -1; right < glyphs; ++right)
            sink = sink + qm::kerning(*font, left, right);
    sink = sink + double(font->familyName.size() + font->fullName.size());
    return 0;
}
