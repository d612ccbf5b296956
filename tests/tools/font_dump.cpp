// Writes what the font reader makes of a font file, for the oracle scripts:
//   font_dump FILE FACE OUT        metrics, character map and every glyph
//   font_dump --sfnt FILE OUT      the sfnt bytes (a WOFF file converted)
//   font_dump --error FILE FACE    the message parseTrueType raises, if any
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "codecs/font/cmap.h"
#include "codecs/font/font.h"
#include "codecs/font/glyph_data.h"

static std::vector<uint8_t> readFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--sfnt") {
        auto bytes = readFile(argv[2]);
        auto font = qm::parseTrueType(bytes, 0);
        qm::FontData out = qm::fontBytes(*font);
        std::ofstream(argv[3], std::ios::binary).write(reinterpret_cast<const char*>(out.data()), out.size());
        return 0;
    }
    if (argc == 4 && std::string(argv[1]) == "--error") {
        auto bytes = readFile(argv[2]);
        try {
            qm::parseTrueType(bytes, std::stoi(argv[3]));
            std::printf("ok\n");
        } catch (const qm::ValueError& e) {
            std::printf("%s\n", e.what());
        }
        return 0;
    }
    if (argc != 4) {
        std::fprintf(stderr, "usage: font_dump FILE FACE OUT | --sfnt FILE OUT | --error FILE FACE\n");
        return 2;
    }
    auto bytes = readFile(argv[1]);
    auto font = qm::parseTrueType(bytes, std::stoi(argv[2]));
    FILE* out = std::fopen(argv[3], "w");
    std::fprintf(out, "metrics %.17g %.17g %.17g %.17g %d %d\n", font->unitsPerEm, font->ascent, font->descent,
        font->lineGap, font->numGlyphs, qm::faceCount(bytes));
    std::map<int32_t, int32_t> cmap(font->cmap.begin(), font->cmap.end());
    for (auto [c, g] : cmap)
        if (qm::glyphIndex(*font, c) == g)
            std::fprintf(out, "cmap %d %d\n", c, g);
    for (int32_t g = 0; g < font->numGlyphs; ++g) {
        const qm::GlyphOutline& o = qm::glyphOutline(*font, g);
        std::fprintf(out, "glyph %d %.17g %.17g %.17g %.17g %.17g %.17g %zu\n", g, o.advance, o.lsb, o.xMin, o.yMin,
            o.xMax, o.yMax, o.contours.size());
        for (const qm::Contour& c : o.contours) {
            std::fprintf(out, "c");
            for (const qm::OutlinePoint& p : c)
                std::fprintf(out, " %.17g,%.17g,%d", p.x, p.y, p.onCurve);
            std::fprintf(out, "\n");
        }
    }
    std::fclose(out);
    return 0;
}
