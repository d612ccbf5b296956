#include "core/unicode.h"

#include <algorithm>

#include "core/utf8.h"

namespace qm {

namespace {
#include "core/unicode_tables.inc"
}  // namespace

LenientUtf8Step decodeUtf8Lenient(std::string_view text, size_t at)
{
    auto p = reinterpret_cast<const unsigned char*>(text.data()) + at;
    const size_t left = text.size() - at;
    const unsigned char b = p[0];
    size_t need;
    if (b < 0x80)
        return {b, 1};
    if ((b & 0xE0) == 0xC0)
        need = 2;
    else if ((b & 0xF0) == 0xE0)
        need = 3;
    else if ((b & 0xF8) == 0xF0)
        need = 4;
    else if ((b & 0xFC) == 0xF8)
        need = 5;
    else if ((b & 0xFE) == 0xFC)
        need = 6;
    else
        return {b, 1};
    if (left < need)
        return {kReplacementChar, 1};
    uint64_t cp = b & (0x7F >> need);
    for (size_t i = 1; i < need; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return {kReplacementChar, i};
        cp = cp << 6 | (p[i] & 0x3F);
    }
    if (cp > 0x10FFFF)
        return {kReplacementChar, need};
    return {uint32_t(cp), need};
}

std::u32string decodeUtf8LenientAll(std::string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        LenientUtf8Step s = decodeUtf8Lenient(text, i);
        out.push_back(s.codePoint);
        i += s.length;
    }
    return out;
}

uint32_t simpleLowerCase(uint32_t cp)
{
    if (cp < 0x80)
        return cp >= 'A' && cp <= 'Z' ? cp + 32 : cp;
    auto it = std::lower_bound(std::begin(kLowerPairs), std::end(kLowerPairs), cp,
        [](const uint32_t(&pair)[2], uint32_t v) { return pair[0] < v; });
    if (it != std::end(kLowerPairs) && (*it)[0] == cp)
        return (*it)[1];
    return cp;
}

std::string lowerCaseUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += char(c >= 'A' && c <= 'Z' ? c + 32 : c);
            ++i;
            continue;
        }
        Utf8Step s = decodeUtf8(text, i);
        if (s.valid)
            appendUtf8(out, simpleLowerCase(s.codePoint));
        else
            out.append(text.substr(i, s.length));
        i += s.length;
    }
    return out;
}

bool isUnicodeLetter(uint32_t cp)
{
    if (cp < 0x80)
        return (cp | 32) >= 'a' && (cp | 32) <= 'z';
    auto it = std::upper_bound(std::begin(kLetterRanges), std::end(kLetterRanges), cp,
        [](uint32_t v, const uint32_t(&range)[2]) { return v < range[0]; });
    if (it == std::begin(kLetterRanges))
        return false;
    --it;
    return cp <= (*it)[1];
}

}  // namespace qm
