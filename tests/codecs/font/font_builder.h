#pragma once
// Small TrueType fonts built in memory, and the system and built-in fonts the
// PDF tests draw with.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "codecs/font/font.h"

namespace qm::test {

struct FontSpec {
    int unitsPerEm = 1000;
    int numGlyphs = 64;
    int advance = 500;                           // every glyph's advance
    std::map<int, int> advances;                 // glyph -> advance, overriding
    std::map<int, int> cmap;                     // code point (BMP) -> glyph
    std::map<std::pair<int, int>, int> kern;     // (left, right) -> value
    std::map<int, std::vector<uint8_t>> glyphs;  // glyph -> glyf bytes
    bool hinting = false;                        // adds cvt, fpgm and prep
};

// The sfnt bytes of a font built as `spec` describes.
std::vector<uint8_t> buildFont(const FontSpec& spec);
FontRef makeFont(const FontSpec& spec);

// A simple glyph: one contour, a triangle (even length).
std::vector<uint8_t> simpleGlyph(int size);
// A composite glyph of the components (each offset by 0, 0).
std::vector<uint8_t> compositeGlyph(const std::vector<int>& components);

FontRef systemFont(const std::string& file);  // under the DejaVu folder
FontRef plexRegular();

}  // namespace qm::test
