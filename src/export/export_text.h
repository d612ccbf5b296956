#pragma once
// Text pieces the file writers share: zero-padded numbers, compact dates and
// XML escaping.
#include "model/dates.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

// `value` with at least `width` digits, a minus sign before the padding.
inline void appendZeroPadded(std::string& out, int64_t value, size_t width)
{
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (value < 0)
        out += '-';
    if (digits.size() < width)
        out.append(width - digits.size(), '0');
    out += digits;
}

// YYYYMMDD, as OFX and iCalendar write dates.
inline void appendCompactDate(std::string& out, Date d)
{
    appendZeroPadded(out, d.year, 4);
    appendZeroPadded(out, d.month, 2);
    appendZeroPadded(out, d.day, 2);
}

// Escapes the five markup characters. With `crAsReference` a carriage return
// goes as a character reference, since XML readers turn a literal one into a
// line feed.
inline void appendXmlEscaped(std::string& out, std::string_view text, bool crAsReference)
{
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        case '\r':
            if (crAsReference)
                out += "&#13;";
            else
                out += c;
            break;
        default: out += c;
        }
    }
}

}  // namespace qm
