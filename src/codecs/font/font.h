#pragma once
// A loaded typeface. It may come from a bare sfnt whose outlines are quadratic
// (glyf/loca) or cubic (CFF, CFF2), from a single member of a collection file,
// or from a WOFF 1.0 wrapper unpacked back into an sfnt.
// Immutable after loading except for the outline and kerning caches, which
// fill as glyphs and pairs are asked for; so one Font is used by one thread.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "codecs/font/font_bytes.h"
#include "codecs/font/glyph_outline.h"

namespace qm {

struct CffFont;

struct TableRange {
    int32_t offset = 0;
    int32_t length = 0;
};

struct FontTable {
    uint32_t tag = 0;  // makeTag("glyf")
    TableRange range;
};

// Kerning maps are keyed by the glyph pair packed into one integer.
inline uint64_t glyphPairKey(int32_t left, int32_t right) { return uint64_t(uint32_t(left)) << 32 | uint32_t(right); }

struct Font {
    // The sfnt bytes: the file, the converted WOFF, or the whole collection
    // (table offsets are absolute within it). Shared with the CffFont.
    std::shared_ptr<const std::vector<uint8_t>> data;
    std::vector<FontTable> tables;
    double unitsPerEm = 1000;
    double ascent = 0;
    double descent = 0;
    double lineGap = 0;
    int32_t numGlyphs = 0;
    int32_t indexToLocFormat = 0;
    int32_t numberOfHMetrics = 1;
    std::unordered_map<int32_t, int32_t> cmap;
    std::unordered_map<uint64_t, double> kernPairs;  // glyphPairKey -> font units
    OutlineCache outlineCache;
    // Bytes the cached outlines hold, and the most they may hold: a font with
    // many huge glyphs empties the cache instead of growing it without end.
    size_t outlineCacheBytes = 0;
    size_t outlineCacheLimit = size_t{32} << 20;
    std::string familyName;
    std::string subfamilyName;
    std::string fullName;
    bool bold = false;
    bool italic = false;
    bool hasGlyf = false;
    std::shared_ptr<CffFont> cff;  // set for fonts without glyf/loca
    std::vector<int32_t> gposPairSubtables;
    std::vector<int32_t> gposLookupEnds;
    std::unordered_map<uint64_t, double> kerningCache;  // glyphPairKey -> font units
};

using FontRef = std::shared_ptr<Font>;

inline FontData fontData(const Font& font) { return FontData(*font.data); }

// The table with this tag, or null.
const TableRange* findTable(const Font& font, uint32_t tag);
inline const TableRange* findTable(const Font& font, const char (&tag)[5]) { return findTable(font, makeTag(tag)); }

// Reads a font file; faceIndex picks the face of a collection (0 otherwise).
// Raises ValueError (CffError for a damaged CFF table, IndexError for a read
// outside the data). The Font keeps a copy of the bytes.
FontRef parseTrueType(FontData bytes, int32_t faceIndex = 0);
// The same, keeping the caller's bytes themselves (unless they are WOFF,
// whose unpacked form is kept): no copy for a caller that holds them anyway.
FontRef parseTrueType(std::shared_ptr<const std::vector<uint8_t>> bytes, int32_t faceIndex = 0);

// Number of faces: the collection's count (at most 4096), else 1.
int32_t faceCount(FontData bytes);

// (advance width, left side bearing) in font units.
std::pair<double, double> hmtxMetrics(const Font& font, int32_t glyph);
double advanceWidth(const Font& font, int32_t glyph);

}  // namespace qm
