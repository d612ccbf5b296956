// Loads arbitrary bytes as a font (each face of a collection, at most four)
// and asks for everything a caller can: every glyph's outline, metrics,
// subsetting data and the character map.
#include <algorithm>
#include <cstddef>
#include <cstdint>

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
        for (int32_t g = -1; g <= font->numGlyphs; ++g) {
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
