// Test tool for the zip, gzip and tar oracle checks.
//   archivetool unzip IN              one line per member: name and data in hex
//   archivetool zip OUT LEVEL NAME=PATH...
//   archivetool gunzip IN OUT
//   archivetool tar IN SUFFIX OUT
// A refused archive prints "error: <message>" and exits with status 3.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "codecs/archive/gzip.h"
#include "codecs/archive/tar.h"
#include "codecs/archive/zip.h"
#include "codecs/archive/zip_writer.h"
#include "core/errors.h"

namespace {

std::vector<uint8_t> readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << "cannot read " << path << "\n";
        std::exit(2);
    }
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

template <typename Range>
std::string hex(const Range& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 2 && args[0] == "unzip") {
            qm::ZipContents contents = qm::unzipFile(args[1]);
            for (const auto& [name, data] : contents)
                std::cout << hex(name) << " " << hex(data) << "\n";
            return 0;
        }
        if (args.size() >= 3 && args[0] == "zip") {
            std::vector<qm::ZipEntry> entries;
            for (size_t i = 3; i < args.size(); i++) {
                size_t eq = args[i].find('=');
                entries.push_back({args[i].substr(0, eq), readAll(args[i].substr(eq + 1))});
            }
            writeAll(args[1], qm::zipFiles(entries, std::atoi(args[2].c_str())));
            return 0;
        }
        if (args.size() == 3 && args[0] == "gunzip") {
            writeAll(args[2], qm::gunzip(readAll(args[1])));
            return 0;
        }
        if (args.size() == 4 && args[0] == "tar") {
            writeAll(args[3], qm::tarFile(readAll(args[1]), args[2]));
            return 0;
        }
    } catch (const qm::ValueError& e) {
        std::cout << "error: " << e.what() << "\n";
        return 3;
    }
    std::cerr << "usage: archivetool unzip IN | zip OUT LEVEL NAME=PATH... | gunzip IN OUT | tar IN SUFFIX OUT\n";
    return 2;
}
