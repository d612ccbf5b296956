#include "codecs/font/font.h"

#include <algorithm>
#include <cstring>

#include "codecs/font/cff.h"
#include "codecs/font/cmap.h"
#include "codecs/font/font_names.h"
#include "codecs/font/kerning.h"
#include "codecs/font/woff.h"

namespace qm {

void throwFontReadError() { throw IndexError("read outside the font data"); }

const TableRange* findTable(const Font& font, uint32_t tag)
{
    for (const FontTable& t : font.tables)
        if (t.tag == tag)
            return &t.range;
    return nullptr;
}

static bool startsWith(FontData bytes, const char* sig)
{
    return bytes.size() >= 4 && std::memcmp(bytes.data(), sig, 4) == 0;
}

int32_t faceCount(FontData bytes)
{
    if (bytes.size() < 12 || !startsWith(bytes, "ttcf"))
        return 1;
    return std::min(fontU32(bytes, 8), 4096);
}

static void readTableDirectory(Font& font, FontData data, int32_t faceIndex)
{
    int64_t face = 0;
    if (startsWith(data, "ttcf")) {
        if (faceIndex < 0 || faceIndex >= faceCount(data))
            throw ValueError("the collection has no face " + std::to_string(faceIndex));
        face = fontU32(data, 12 + 4 * int64_t{faceIndex});
    } else if (faceIndex != 0) {
        throw ValueError("not a font collection");
    }
    if (!fontRangeInside(data, face, 12))
        throw ValueError("damaged font file");
    int64_t numTables = fontU16(data, face + 4);
    if (!fontRangeInside(data, face + 12, 16 * numTables))
        throw ValueError("damaged font file");
    for (int64_t i = 0; i < numTables; ++i) {
        int64_t rec = face + 12 + 16 * i;
        uint32_t tag = fontTag(data, rec);
        int32_t offset = fontU32(data, rec + 8);
        int32_t length = fontU32(data, rec + 12);
        if (!fontRangeInside(data, offset, length))
            continue;
        auto same =
            std::find_if(font.tables.begin(), font.tables.end(), [&](const FontTable& t) { return t.tag == tag; });
        if (same != font.tables.end())
            same->range = {offset, length};
        else
            font.tables.push_back({tag, {offset, length}});
    }
}

static void readMetrics(Font& font, FontData data)
{
    const TableRange* head = findTable(font, "head");
    const TableRange* hhea = findTable(font, "hhea");
    const TableRange* hmtx = findTable(font, "hmtx");
    if (!head || !hhea || !hmtx)
        throw ValueError("not a TrueType font (missing head/hhea/hmtx)");
    if (head->length < 54 || hhea->length < 36)
        throw ValueError("damaged font file");

    font.hasGlyf = findTable(font, "glyf") && findTable(font, "loca");
    if (!font.hasGlyf && !findTable(font, "CFF ") && !findTable(font, "CFF2"))
        throw ValueError("the font has no outlines Quenmark can draw (bitmap or colour glyphs only)");

    int32_t upem = fontU16(data, head->offset + 18);
    font.unitsPerEm = upem == 0 ? 1000 : upem;
    font.indexToLocFormat = fontI16(data, head->offset + 50);
    font.ascent = fontI16(data, hhea->offset + 4);
    font.descent = fontI16(data, hhea->offset + 6);
    font.lineGap = fontI16(data, hhea->offset + 8);
    font.numberOfHMetrics = fontU16(data, hhea->offset + 34);
    if (const TableRange* maxp = findTable(font, "maxp"))
        font.numGlyphs = fontU16(data, maxp->offset + 4);
    if (font.numberOfHMetrics < 1 || hmtx->length < 4 * int64_t{font.numberOfHMetrics})
        throw ValueError("damaged font file (horizontal metrics)");
}

// Typographic metrics replace the hhea ones when the font asks for them; a
// zero hhea ascent falls back to the Windows clipping metrics.
static void applyOs2Metrics(Font& font, FontData data)
{
    const TableRange* os2 = findTable(font, "OS/2");
    if (!os2 || os2->length < 78)
        return;
    int64_t o = os2->offset;
    uint16_t fsSelection = fontU16(data, o + 62);
    int16_t typoAscender = fontI16(data, o + 68);
    if ((fsSelection & 0x80) && typoAscender != 0) {
        font.ascent = typoAscender;
        font.descent = fontI16(data, o + 70);
        font.lineGap = fontI16(data, o + 72);
    } else if (font.ascent == 0) {
        uint16_t winAscent = fontU16(data, o + 74);
        if (winAscent != 0) {
            font.ascent = winAscent;
            font.descent = -double(fontU16(data, o + 76));
        }
    }
}

static void readCffOutlines(Font& font)
{
    const TableRange* table = findTable(font, "CFF ");
    bool isCff2 = !table;
    if (isCff2)
        table = findTable(font, "CFF2");
    font.cff = parseCff(font.data, table->offset, table->length, isCff2, static_cast<int32_t>(font.unitsPerEm));
    if (font.numGlyphs < 1)
        font.numGlyphs = cffGlyphCount(*font.cff);
}

FontRef parseTrueType(FontData bytes, int32_t faceIndex)
{
    // Refused before the copy, as the shared form refuses them.
    if (bytes.size() < 12)
        throw ValueError("not a font file (too short)");
    if (startsWith(bytes, "wOFF"))
        return parseTrueType(std::make_shared<const std::vector<uint8_t>>(woffToSfnt(bytes)), faceIndex);
    return parseTrueType(std::make_shared<const std::vector<uint8_t>>(bytes.begin(), bytes.end()), faceIndex);
}

FontRef parseTrueType(std::shared_ptr<const std::vector<uint8_t>> bytes, int32_t faceIndex)
{
    if (!bytes || bytes->size() < 12)
        throw ValueError("not a font file (too short)");
    if (startsWith(*bytes, "wOF2"))
        throw ValueError("WOFF2 fonts are not supported");

    auto font = std::make_shared<Font>();
    if (startsWith(*bytes, "wOFF"))
        font->data = std::make_shared<const std::vector<uint8_t>>(woffToSfnt(*bytes));
    else
        font->data = std::move(bytes);
    FontData data = fontData(*font);

    readTableDirectory(*font, data, faceIndex);
    readMetrics(*font, data);
    if (!font->hasGlyf)
        readCffOutlines(*font);
    applyOs2Metrics(*font, data);
    parseCmap(*font);
    readKernTable(*font);
    // Only CFF-outline fonts fall back to GPOS pair kerning.
    if (font->cff && font->kernPairs.empty())
        readGposKerning(*font);
    readNames(*font);
    return font;
}

std::pair<double, double> hmtxMetrics(const Font& font, int32_t glyph)
{
    FontData data = fontData(font);
    const TableRange* hmtx = findTable(font, "hmtx");
    int64_t h = hmtx->offset;
    int64_t n = font.numberOfHMetrics;
    if (glyph >= 0 && glyph < n)
        return {fontU16(data, h + 4 * int64_t{glyph}), fontI16(data, h + 4 * int64_t{glyph} + 2)};
    double advance = fontU16(data, h + 4 * (n - 1));
    // Glyphs past the metrics array take the last advance; their own bearing
    // follows the array, but only as far as the table really goes.
    int64_t lsbAt = 4 * n + 2 * (int64_t{glyph} - n);
    if (glyph < 0 || (font.numGlyphs > 0 && glyph >= font.numGlyphs) || lsbAt + 2 > hmtx->length)
        return {advance, 0.0};
    return {advance, fontI16(data, h + lsbAt)};
}

double advanceWidth(const Font& font, int32_t glyph) { return hmtxMetrics(font, glyph).first; }

}  // namespace qm
