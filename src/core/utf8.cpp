#include "core/utf8.h"

namespace qm {

Utf8Step decodeUtf8(std::string_view text, size_t at)
{
    auto p = reinterpret_cast<const unsigned char*>(text.data()) + at;
    const size_t n = text.size() - at;
    unsigned char b = p[0];
    if (b < 0x80)
        return {b, 1, true};
    size_t need;
    uint32_t cp;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        need = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        need = 3;
        cp = b & 0x0F;
        if (b == 0xE0)
            lo = 0xA0;
        else if (b == 0xED)
            hi = 0x9F;  // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        need = 4;
        cp = b & 0x07;
        if (b == 0xF0)
            lo = 0x90;
        else if (b == 0xF4)
            hi = 0x8F;  // nothing above U+10FFFF
    } else {
        return {kReplacementChar, 1, false};
    }
    for (size_t i = 1; i < need; ++i) {
        if (i >= n || p[i] < lo || p[i] > hi)
            return {kReplacementChar, i, false};
        cp = cp << 6 | (p[i] & 0x3F);
        lo = 0x80;
        hi = 0xBF;
    }
    return {cp, need, true};
}

void appendUtf8(std::string& out, uint32_t cp)
{
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        cp = kReplacementChar;
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | cp >> 6);
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | cp >> 12);
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | cp >> 18);
        out += char(0x80 | (cp >> 12 & 0x3F));
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

std::string encodeUtf8(uint32_t cp)
{
    std::string out;
    appendUtf8(out, cp);
    return out;
}

std::string repairUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            out += text[i++];
            continue;
        }
        Utf8Step s = decodeUtf8(text, i);
        if (s.valid)
            out.append(text.data() + i, s.length);
        else
            out += "\xEF\xBF\xBD";
        i += s.length;
    }
    return out;
}

bool isValidUtf8(std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        Utf8Step s = decodeUtf8(text, i);
        if (!s.valid)
            return false;
        i += s.length;
    }
    return true;
}

size_t utf8Length(std::string_view text)
{
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++count)
        i += static_cast<unsigned char>(text[i]) < 0x80 ? 1 : decodeUtf8(text, i).length;
    return count;
}

}  // namespace qm
