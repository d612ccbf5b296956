// Drives inflate, deflate and the checksums for the oracle scripts:
//   deflate_tool <op> <arg> <in> <out> [<in> <out> ...]
// op: inflate (arg raw|zlib), deflate or zlib (arg = level), crc32 or adler32
// (arg ignored; the output file gets the value as 8 hex digits).
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codecs/compress/crc32.h"
#include "codecs/compress/deflate.h"
#include "codecs/compress/inflate.h"

namespace {

std::vector<uint8_t> readFile(const char* path)
{
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void writeFile(const char* path, const std::vector<uint8_t>& data)
{
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

std::vector<uint8_t> hex(uint32_t v)
{
    char s[9];
    std::snprintf(s, sizeof s, "%08x", v);
    return {s, s + 8};
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5 || argc % 2 == 0) {
        std::fprintf(stderr, "usage: deflate_tool op arg in out [in out ...]\n");
        return 2;
    }
    std::string op = argv[1], arg = argv[2];
    int status = 0;
    for (int i = 3; i + 1 < argc; i += 2) {
        auto in = readFile(argv[i]);
        try {
            std::vector<uint8_t> out;
            if (op == "inflate")
                out = qm::inflate(in, arg == "zlib", {}, 0, int64_t{1} << 32);
            else if (op == "deflate")
                out = qm::deflateData(in, std::stoi(arg), {});
            else if (op == "zlib")
                out = qm::zlibStream(in, std::stoi(arg));
            else if (op == "crc32")
                out = hex(qm::crc32(in));
            else if (op == "adler32")
                out = hex(qm::adler32(in));
            else
                return 2;
            writeFile(argv[i + 1], out);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", argv[i], e.what());
            status = 1;
        }
    }
    return status;
}
