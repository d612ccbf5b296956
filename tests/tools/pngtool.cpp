// Test tool for the PNG oracle checks.
//   pngtool decode IN.png OUT      OUT = width, height (little-endian uint32), RGBA
//   pngtool encode IN W H C 0|1 OUT   IN = raw pixels of C channels
// A refused file prints "error: <message>" and exits with status 3.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "codecs/image/png.h"
#include "core/errors.h"

namespace {

std::vector<uint8_t> readAll(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << "cannot read " << path << "\n";
        std::exit(2);
    }
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const char* path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace

int main(int argc, char** argv)
{
    std::string command = argc > 1 ? argv[1] : "";
    try {
        if (command == "decode" && argc == 4) {
            qm::ImagePtr image = qm::decodePng(readAll(argv[2]));
            std::vector<uint8_t> out(8);
            for (int i = 0; i < 4; i++) {
                out[i] = uint8_t(uint32_t(image->width) >> (8 * i));
                out[4 + i] = uint8_t(uint32_t(image->height) >> (8 * i));
            }
            out.insert(out.end(), image->pixels.begin(), image->pixels.end());
            writeAll(argv[3], out);
            return 0;
        }
        if (command == "encode" && argc == 8) {
            qm::Image image{std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), readAll(argv[2])};
            writeAll(argv[7], qm::encodePng(image, std::string(argv[6]) == "1"));
            return 0;
        }
    } catch (const qm::ValueError& e) {
        std::cout << "error: " << e.what() << "\n";
        return 3;
    }
    std::cerr << "usage: pngtool decode IN OUT | encode IN W H C COMPRESS OUT\n";
    return 2;
}
