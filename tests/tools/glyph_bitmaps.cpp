// Prints the glyph atlas's bitmaps of a font's glyphs, for the oracle
// scripts: one line per code point and size,
//   CODEPOINT SIZE WIDTH HEIGHT XOFFSET YOFFSET ADVANCE HEXBYTES
// (offsets from the pen and baseline, y down; "-" for no bitmap).
//
//   glyph_bitmaps FONT SIZE[,SIZE...] < code points, one decimal a line
//   glyph_bitmaps FONT SIZE[,SIZE...] glyphs < glyph indices, one a line
// (a collection's first face; the first column is then the glyph index)
#include "codecs/font/cmap.h"
#include "codecs/font/font.h"
#include "core/files.h"
#include "platform/render/glyph_atlas_internal.h"

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    bool byIndex = argc == 4 && std::string(argv[3]) == "glyphs";
    if (argc != 3 && !byIndex) {
        std::fprintf(stderr, "usage: glyph_bitmaps FONT SIZES [glyphs] < CODEPOINTS\n");
        return 2;
    }
    std::string bytes = qm::readFile(argv[1]);
    qm::FontRef font = qm::parseTrueType(qm::FontData(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    std::vector<int> sizes;
    std::stringstream list(argv[2]);
    for (std::string item; std::getline(list, item, ',');)
        sizes.push_back(std::stoi(item));
    static const char* digits = "0123456789abcdef";
    for (int32_t cp; std::cin >> cp;) {
        int32_t glyph = byIndex ? cp : qm::glyphIndex(*font, cp);
        for (int size : sizes) {
            qm::GlyphBitmap b = qm::renderGlyphBitmap(*font, glyph, size, 1.0);
            std::string hex;
            for (uint8_t v : b.pixels) {
                hex.push_back(digits[v >> 4]);
                hex.push_back(digits[v & 15]);
            }
            std::printf("%d %d %d %d %g %g %.9g %s\n", cp, size, b.width, b.height, b.xOffset, b.yOffset, b.advance,
                hex.empty() ? "-" : hex.c_str());
        }
    }
    return 0;
}
