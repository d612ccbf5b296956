#pragma once
// Shrinks a TrueType font to the glyphs a PDF draws. Glyph ids stay as they
// are, so the PDF's codes, widths and ToUnicode map need no renumbering: the
// kept glyphs (and the components of kept composites) keep their outlines,
// every other glyph becomes empty, and only the tables a PDF reader needs to
// draw glyphs by id are written (no cmap, name, OS/2, post or kerning).
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/font/font.h"

namespace qm {

// The glyphs to keep: .notdef, the used ids inside the font and, to any
// depth, the components of composite glyphs; sorted ascending, no repeats.
std::vector<int32_t> closeGlyphSet(const Font& font, std::span<const int32_t> used);

// The sum of the bytes as big-endian 32-bit words, a short last word padded
// with zeros.
uint32_t sfntTableChecksum(std::span<const uint8_t> bytes);

// The subset font program (sfnt 1.0 with long loca). Raises ValueError when
// the font has no head table of at least 52 bytes.
std::vector<uint8_t> subsetTrueTypeFont(const Font& font, std::span<const int32_t> used);

}  // namespace qm
