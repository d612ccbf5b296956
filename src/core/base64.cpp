#include "core/base64.h"

#include <array>
#include <cstdint>

namespace qm {

namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> makeValues()
{
    std::array<std::int8_t, 256> values{};
    values.fill(-1);
    for (int i = 0; i < 64; ++i)
        values[std::uint8_t(alphabet[i])] = std::int8_t(i);
    return values;
}

constexpr std::array<std::int8_t, 256> values = makeValues();

}  // namespace

std::string encodeBase64(std::string_view bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        std::uint32_t v = std::uint32_t(std::uint8_t(bytes[i])) << 16 | std::uint32_t(std::uint8_t(bytes[i + 1])) << 8
            | std::uint8_t(bytes[i + 2]);
        out += alphabet[v >> 18];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t v = std::uint32_t(std::uint8_t(bytes[i])) << 16;
        if (rest == 2)
            v |= std::uint32_t(std::uint8_t(bytes[i + 1])) << 8;
        out += alphabet[v >> 18];
        out += alphabet[(v >> 12) & 63];
        out += rest == 2 ? alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::optional<std::string> decodeBase64(std::string_view text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::size_t padding = 0;
    if (!text.empty() && text.back() == '=')
        padding = text[text.size() - 2] == '=' ? 2 : 1;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        bool last = i + 4 == text.size();
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            char c = text[i + k];
            int d = 0;
            if (last && k >= 4 - padding) {
                if (c != '=')
                    return std::nullopt;
            } else {
                d = values[std::uint8_t(c)];
                if (d < 0)
                    return std::nullopt;
            }
            v = v << 6 | std::uint32_t(d);
        }
        std::size_t keep = last ? 3 - padding : 3;
        // Bits that fall into the padding must be zero in the canonical form.
        if (last && padding > 0 && (v & ((1u << (8 * padding)) - 1)) != 0)
            return std::nullopt;
        out += char(v >> 16);
        if (keep > 1)
            out += char((v >> 8) & 0xff);
        if (keep > 2)
            out += char(v & 0xff);
    }
    return out;
}

}  // namespace qm
