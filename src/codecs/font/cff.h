#pragma once
// Outlines of fonts without glyf/loca: the "CFF " and "CFF2" tables. The table
// is read once into a CffFont (byte ranges of every charstring and subroutine,
// the font DICT of every glyph); a glyph's contours come from running its
// charstring (codecs/font/charstring.h). Variable CFF2 fonts are drawn at their
// default instance. Every failure raises CffError "CFF: <reason>".
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace qm {

// An absolute byte range [start, end) of the font data.
struct CffRange {
    int32_t start = 0;
    int32_t end = 0;
};

struct CffFont {
    std::shared_ptr<const std::vector<uint8_t>> data;  // the whole font, shared with the Font
    int32_t tableStart = 0;
    int32_t tableEnd = 0;
    bool isCff2 = false;
    std::vector<CffRange> charStrings;  // one per glyph
    std::vector<CffRange> globalSubrs;
    std::vector<std::vector<CffRange>> localSubrs;  // per font DICT
    std::vector<int32_t> fdVsindex;                 // per font DICT
    std::vector<int32_t> fdSelect;                  // per glyph; empty with one font DICT
    std::vector<int32_t> regionCounts;              // CFF2: regions of each vsindex
    double scale = 1.0;
};

// A point of a charstring path: control 1 for a cubic control point.
struct CffPoint {
    double x = 0;
    double y = 0;
    uint8_t control = 0;
};
using CffContour = std::vector<CffPoint>;

// Reads the table at [offset, offset + length) of data. Raises CffError for a
// damaged table structure.
std::shared_ptr<CffFont> parseCff(
    std::shared_ptr<const std::vector<uint8_t>> data, int32_t offset, int32_t length, bool isCff2, int32_t unitsPerEm);

// The closed contours of a glyph, scaled to font units. Empty for a glyph
// outside the CharStrings or one whose charstring fails: a damaged glyph
// never fails the font.
std::vector<CffContour> cffGlyphContours(const CffFont& font, int32_t glyph);

int32_t cffGlyphCount(const CffFont& font);

struct CffIndex {
    std::vector<CffRange> elements;
    int32_t end = 0;  // the position after the INDEX
};

// The INDEX at pos (a u32 count in CFF2, u16 in CFF).
CffIndex readIndex(const CffFont& font, int64_t pos, bool isCff2);

// One DICT entry: a one-byte operator b has key b, the escaped 12 b has 1200 + b.
struct CffDictEntry {
    int32_t key = 0;
    std::vector<double> operands;
};
using CffDict = std::vector<CffDictEntry>;

// Parses the DICT bytes in range; regionCounts resolves CFF2 blends.
CffDict readDict(const CffFont& font, CffRange range, std::span<const int32_t> regionCounts);

// The operands of the first entry with this key; empty when absent.
std::span<const double> dictOperands(const CffDict& dict, int32_t key);

// A blend of n values (its count already popped) over a stack of size
// operands keeps the n defaults and drops the deltas of every region: the
// stack size after it. Raises "bad blend".
int64_t blendedSize(int64_t size, int64_t n, int32_t vsindex, std::span<const int32_t> regionCounts);

// Operands are doubles from the file; integers made from them are clamped to
// +-2^40 (NaN to the top) and truncated toward zero.
int64_t clampedInt(double v);

// The bias added to a subroutine number for a list of count subroutines.
int32_t subrBias(size_t count);

// Throws CffError "CFF: " + reason.
[[noreturn]] void throwCffError(const char* reason);

}  // namespace qm
