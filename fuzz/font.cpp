// Loads arbitrary bytes as a font (each face of a collection, at most four)
// and asks for everything a caller can: glyph outlines, metrics, subsetting
// data and the character map. Glyphs are sampled: the first ones, the edges
// of the range and a stride through the rest whose phase the input picks, so
// a font of 65,535 glyphs costs about as much as one of 300.
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
        std::vector<int32_t> glyphs = {-1, font->numGlyphs - 1, font->numGlyphs, font->numGlyphs + 1, 65535};
        const int32_t head = std::min(font->numGlyphs, 64);
        for (int32_t g = 0; g < head; ++g)
            glyphs.push_back(g);
        const int32_t stride = std::max(1, (font->numGlyphs - head) / 192);
        const int32_t phase = int32_t((size + data[size / 2]) % uint32_t(stride));
        for (int32_t g = head + phase; g < font->numGlyphs; g += stride)
            glyphs.push_back(g);
        for (int32_t g : glyphs) {
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
