// Prints what the font reader found of a font's names, style flags and
// kerning, for the oracle scripts:
//   kern_names_dump FONT          names, flags, GPOS lists and kern pairs
//   kern_names_dump FONT pairs    then reads "left right" lines from stdin
//                                 and prints the kerning of each pair
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <vector>

#include "codecs/font/font.h"
#include "codecs/font/kerning.h"
#include "core/errors.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: kern_names_dump FONT [pairs]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    qm::FontRef font;
    try {
        font = qm::parseTrueType(bytes);
    } catch (const qm::ValueError& e) {
        std::printf("error %s\n", e.what());
        return 1;
    }
    if (argc > 2 && std::strcmp(argv[2], "pairs") == 0) {
        int left, right;
        while (std::cin >> left >> right)
            std::printf("%.17g\n", qm::kerning(*font, left, right));
        return 0;
    }
    std::printf("family %s\nsubfamily %s\nfull %s\n", font->familyName.c_str(), font->subfamilyName.c_str(),
        font->fullName.c_str());
    std::printf("bold %d\nitalic %d\n", int(font->bold), int(font->italic));
    std::printf("gpos %zu %zu\n", font->gposPairSubtables.size(), font->gposLookupEnds.size());
    std::map<std::pair<int, int>, double> pairs;
    for (auto [key, value] : font->kernPairs)
        pairs[{int(key >> 32), int(key & 0xffffffff)}] = value;
    std::printf("kern %zu\n", pairs.size());
    for (auto [pair, value] : pairs)
        std::printf("%d %d %.17g\n", pair.first, pair.second, value);
    return 0;
}
