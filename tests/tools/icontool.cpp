// Renders built-in icons and SVG files for the checks against rsvg-convert
// and for review.
//
//   icontool paths               every built-in icon: "NAME\tPATH DATA" lines
//   icontool table SIZE          every built-in icon: "NAME\n" then SIZE*SIZE alpha bytes
//   icontool svg SIZE FILE...    every file: 4-byte little-endian length, then the mask (empty: 0)
//   icontool sheet OUT.png       the 70 icons at 16, 24 and 48 pixels, dark on white;
//                                prints "empty NAME@SIZE" and fails when an icon draws nothing
#include "app/path_icons.h"
#include "app/svg.h"
#include "codecs/image/png.h"
#include "core/files.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace qm;

namespace {

int table(int32_t size)
{
    for (const BuiltinIconPath& icon : builtinIconPaths()) {
        std::vector<uint8_t> mask = rasterizePath(icon.pathData, size);
        std::fwrite(icon.name.data(), 1, icon.name.size(), stdout);
        std::fputc('\n', stdout);
        std::fwrite(mask.data(), 1, mask.size(), stdout);
    }
    return 0;
}

int svgFiles(int32_t size, int argc, char** argv)
{
    for (int i = 0; i < argc; ++i) {
        std::string text = readFile(argv[i]);
        std::vector<uint8_t> mask = renderSvgMask(text, size);
        uint32_t n = static_cast<uint32_t>(mask.size());
        uint8_t length[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
        std::fwrite(length, 1, 4, stdout);
        if (!mask.empty())  // an empty vector's data() may be null, which fwrite must not get
            std::fwrite(mask.data(), 1, mask.size(), stdout);
    }
    return 0;
}

int sheet(const char* out)
{
    const int32_t sizes[] = {16, 24, 48};
    const int32_t columns = 10, cell = 16 + 24 + 48 + 4 * 8;
    auto icons = builtinIconPaths();
    const int32_t rows = static_cast<int32_t>((icons.size() + columns - 1) / columns);
    ImagePtr image = newImage(columns * cell, rows * 64, 4);
    std::fill(image->pixels.begin(), image->pixels.end(), 255);
    int failures = 0;
    for (size_t i = 0; i < icons.size(); ++i) {
        int32_t x = static_cast<int32_t>(i % columns) * cell + 8;
        int32_t y0 = static_cast<int32_t>(i / columns) * 64 + 8;
        for (int32_t size : sizes) {
            std::vector<uint8_t> mask = rasterizePath(icons[i].pathData, size);
            if (std::all_of(mask.begin(), mask.end(), [](uint8_t a) { return a == 0; })) {
                std::printf("empty %.*s@%d\n", int(icons[i].name.size()), icons[i].name.data(), size);
                ++failures;
            }
            int32_t y = y0 + (48 - size) / 2;
            for (int32_t row = 0; row < size; ++row)
                for (int32_t col = 0; col < size; ++col) {
                    uint8_t a = mask[size_t(row * size + col)];
                    uint8_t* p = &image->pixels[(size_t(y + row) * size_t(image->width) + size_t(x + col)) * 4];
                    for (int c = 0; c < 3; ++c)
                        p[c] = uint8_t(255 - a * (255 - 40) / 255);
                }
            x += size + 8;
        }
    }
    savePng(*image, out);
    std::printf("%zu icons at 16, 24 and 48 pixels: %d empty\n", icons.size(), failures);
    return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "paths" && argc == 2) {
        for (const BuiltinIconPath& icon : builtinIconPaths())
            std::printf("%.*s\t%.*s\n", int(icon.name.size()), icon.name.data(), int(icon.pathData.size()),
                icon.pathData.data());
        return 0;
    }
    if (command == "table" && argc == 3)
        return table(std::atoi(argv[2]));
    if (command == "svg" && argc >= 3)
        return svgFiles(std::atoi(argv[2]), argc - 3, argv + 3);
    if (command == "sheet" && argc == 3)
        return sheet(argv[2]);
    std::fprintf(stderr, "usage: icontool paths | table SIZE | svg SIZE FILE... | sheet OUT.png\n");
    return 2;
}
