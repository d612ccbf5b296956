#pragma once
// Read-only accessors for writers that embed a subset of a font: the raw
// bytes, table ranges, each glyph's glyf bytes and the direct components of
// composites. None raises for a glyph outside the font; they answer empty.
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "codecs/font/font_bytes.h"

namespace qm {

struct Font;

int32_t glyphCount(const Font& font);

// (absolute offset, length) of the glyph's glyf data; (0, 0) for a glyph
// outside the font or a font without glyf/loca.
std::pair<int32_t, int32_t> glyphDataRange(const Font& font, int32_t glyph);

// Glyph ids that a composite glyph references at its own level, as listed (a
// glyph used twice appears twice). Nested composites are not expanded, and a
// glyph with its own contours gives an empty list.
std::vector<int32_t> compositeComponents(const Font& font, int32_t glyph);

// The sfnt bytes (a converted WOFF, or the whole collection).
FontData fontBytes(const Font& font);

// (offset, length) of a table in fontBytes, (0, 0) when absent.
std::pair<int32_t, int32_t> tableRange(const Font& font, const char (&tag)[5]);

// head's xMin, yMin, xMax, yMax.
std::array<int32_t, 4> fontBoundingBox(const Font& font);

}  // namespace qm
