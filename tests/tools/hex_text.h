#pragma once
// Bytes as lower-case hex and back, for the test programs whose scripts pass
// texts that may hold any byte (a NUL, broken UTF-8) through JSON or a line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qm::testing_hex {

inline std::string toHex(std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (char c : bytes) {
        out += digits[uint8_t(c) >> 4];
        out += digits[uint8_t(c) & 15];
    }
    return out;
}

// Pairs of hex digits; a last odd digit is ignored.
inline std::string fromHex(std::string_view hex)
{
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += char(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    return out;
}

}  // namespace qm::testing_hex
