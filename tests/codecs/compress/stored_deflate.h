#pragma once
// Hand-made DEFLATE streams of stored blocks, so that container tests can
// choose every byte of the data they wrap.
#include <algorithm>
#include <cstdint>
#include <vector>

namespace qm::test {

// Raw DEFLATE: stored blocks of at most 65,535 bytes, the last one final.
inline std::vector<uint8_t> storedDeflate(const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> out;
    size_t pos = 0;
    do {
        size_t n = std::min<size_t>(data.size() - pos, 65535);
        bool last = pos + n == data.size();
        out.insert(out.end(), {uint8_t(last), uint8_t(n), uint8_t(n >> 8), uint8_t(~n), uint8_t(~n >> 8)});
        out.insert(out.end(), data.begin() + long(pos), data.begin() + long(pos + n));
        pos += n;
    } while (pos < data.size());
    return out;
}

// zlib wrapping of storedDeflate; the Adler-32 is left zero (never read).
inline std::vector<uint8_t> storedZlib(const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> out = {0x78, 0x01};
    std::vector<uint8_t> body = storedDeflate(data);
    out.insert(out.end(), body.begin(), body.end());
    out.insert(out.end(), {0, 0, 0, 0});
    return out;
}

}  // namespace qm::test
