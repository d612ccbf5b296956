// Loads arbitrary bytes as a font (each face of a collection, at most four)
// and asks for everything a caller can: glyph outlines, metrics, subsetting
// data and the character map. A font may claim 65535 glyphs, so a sample of
// them is asked for: the ends, the ones the character map names first, and
// a stride through the rest from a start the input picks.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codecs/font/cmap.h"
#include "codecs/font/font.h"
#include "codecs/font/glyph_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qm::FontData bytes(data, size);
    int faces = std::min(qm::faceCount(bytes), 4);
    for (int face = 0; face < faces; ++face) {
        qm::FontRef font;
        try {
            font = qm::parseTrueType(bytes, face);
        } catch (const qm::ValueError&) {
            continue;
        }
        volatile double sink = 0;
        std::vector<int32_t> sample = {-1, 0, 1, font->numGlyphs - 1, font->numGlyphs};
        for (auto [code, glyph] : font->cmap) {
            if (sample.size() >= 24)
                break;
            sample.push_back(glyph);
        }
        const int32_t stride = std::max(1, font->numGlyphs / 40);
        for (int32_t g = int32_t(size % size_t(stride)); g < font->numGlyphs; g += stride)
            sample.push_back(g);
        for (int32_t g : sample) {
            try {
                const qm::GlyphOutline& o = qm::glyphOutline(*font, g);
                sink = sink + o.xMax + o.advance;
                for (int32_t c : qm::compositeComponents(*font, g))
                    sink = sink + c;
                sink = sink + qm::glyphDataRange(*font, g).second;
            } catch (const qm::ValueError&) {
            }
        }
        for (auto [code, glyph] : font->cmap)
            sink = sink + qm::glyphIndex(*font, code) + glyph;
        sink = sink + qm::fontBoundingBox(*font)[0] + qm::tableRange(*font, "glyf").second;
    }
    return 0;
}
