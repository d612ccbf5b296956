// Prints the contours of every glyph of a CFF or CFF2 table for the oracle
// scripts: "G <glyph> <contours>", then one line per contour of
// "x y control" triples.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "codecs/cff.h"
#include "core/errors.h"

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: cff_outlines FONT OFFSET LENGTH IS_CFF2 UNITS_PER_EM\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    auto data = std::make_shared<std::vector<uint8_t>>(std::istreambuf_iterator<char>(in),
                                                       std::istreambuf_iterator<char>());
    try {
        auto font = qm::parseCff(data, std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]) != 0,
                                 std::atoi(argv[5]));
        for (int32_t g = 0; g < qm::cffGlyphCount(*font); ++g) {
            auto contours = qm::cffGlyphContours(*font, g);
            std::printf("G %d %zu\n", g, contours.size());
            for (const auto& c : contours) {
                for (const auto& p : c)
                    std::printf("%.17g %.17g %d ", p.x, p.y, p.control);
                std::printf("\n");
            }
        }
    } catch (const qm::ValueError& e) {
        std::printf("E %s\n", e.what());
    }
    return 0;
}
