// Subsets and embeds damaged fonts. Input: one byte n, then n big-endian
// 16-bit glyph ids, then the font file. A font the reader refuses, or one the
// subsetter refuses, is fine; anything else must give a well-formed subset.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "codecs/font/font.h"
#include "codecs/font/truetype_subset.h"
#include "formats/pdf/pdf_font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t n = data[0];
    if (size < 1 + 2 * n)
        return 0;
    std::vector<int32_t> glyphs;
    for (size_t i = 0; i < n; ++i)
        glyphs.push_back(data[1 + 2 * i] << 8 | data[2 + 2 * i]);
    qm::FontRef font;
    try {
        font = qm::parseTrueType(qm::FontData(data + 1 + 2 * n, size - 1 - 2 * n));
    } catch (const qm::ValueError&) {
        return 0;
    }
    try {
        const std::vector<uint8_t> subset = qm::subsetTrueTypeFont(*font, glyphs);
        if (qm::sfntTableChecksum(subset) != 0xB1B0AFBAu)
            std::abort();
    } catch (const qm::ValueError&) {
        return 0;
    }
    qm::PdfDocument doc;
    qm::PdfWriter writer;
    writer.doc = &doc;
    try {
        qm::embedPdfFont(writer, *font, glyphs, "TAVEKR", true, true);
    } catch (const qm::ValueError&) {
        return 0;
    }
    if (writer.objects.size() != 5)
        std::abort();
    return 0;
}
