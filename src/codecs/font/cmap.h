#pragma once
// The character map: one cmap subtable, chosen by a fixed preference, read
// once at load into Font::cmap (code point -> glyph index).
#include <cstdint>

namespace qm {

struct Font;

// Fills font.cmap from the font's data and tables. Raises IndexError for a read
// outside the font data.
void parseCmap(Font& font);

// The glyph of a code point, 0 when it is not mapped.
int32_t glyphIndex(const Font& font, int32_t codePoint);

}  // namespace qm
