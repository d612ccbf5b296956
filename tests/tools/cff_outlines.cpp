// Prints the outline of every glyph of a font as the font reader gives it, for
// the CFF oracle scripts: "G <glyph> <contours>", then one line per contour
// of "x y control" triples (control 1 for a cubic control point).
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "codecs/font/font.h"
#include "codecs/font/glyph_outline.h"
#include "core/errors.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: cff_outlines FONT\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    try {
        qm::FontRef font = qm::parseTrueType(bytes);
        for (int32_t g = 0; g < font->numGlyphs; ++g) {
            const qm::GlyphOutline& outline = qm::glyphOutline(*font, g);
            std::printf("G %d %zu\n", g, outline.contours.size());
            for (const auto& c : outline.contours) {
                for (const auto& p : c) {
                    if (p.onCurve == p.cubic)
                        std::printf("bad point flags ");
                    std::printf("%.17g %.17g %d ", p.x, p.y, int(p.cubic));
                }
                std::printf("\n");
            }
        }
    } catch (const qm::ValueError& e) {
        std::printf("E %s\n", e.what());
    }
    return 0;
}
