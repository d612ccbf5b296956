#pragma once
// Text pieces the file writers share: zero-padded numbers, trimmed decimals,
// compact dates and XML escaping.
#include "model/dates.h"
#include "model/money.h"

#include <charconv>
#include <cmath>
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

// `value` rounded to `decimals` places in fixed notation, without trailing
// zeros or a bare point. Readers of numbers in files want no exponents, no
// "nan" and no "-0", so what is not finite, and a tiny negative value that
// rounds to "-0", is written as 0.
inline void appendTrimmedDecimal(std::string& out, double value, int decimals)
{
    if (!std::isfinite(value)) {
        out += '0';
        return;
    }
    // Fixed notation of the largest double takes 309 digits before the point.
    char buf[400];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) {
        out += '0';
        return;
    }
    if (decimals > 0) {
        while (end[-1] == '0')
            --end;
        if (end[-1] == '.')
            --end;
    }
    const std::string_view digits(buf, size_t(end - buf));
    out += digits == "-0" ? std::string_view("0") : digits;
}

// An amount's magnitude with two decimals, grouped by thousands or not. Below
// the range of whole cents in 64 bits this is the money formatter's figure;
// past it (from about 9.2e16, where every double is a whole number) the
// money formatter saturates, so the exact digits of the double are written.
// A value that is not finite gives 0.00.
inline void appendExactAmount(std::string& out, double value, bool grouped)
{
    const double magnitude = std::fabs(value);
    if (!std::isfinite(magnitude)) {
        out += "0.00";
        return;
    }
    if (magnitude < 9.2e16) {
        out += grouped ? formatAmount(magnitude) : formatAmountPlain(magnitude);
        return;
    }
    char buf[400];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::fixed, 0);
    const std::string_view digits(buf, ec == std::errc() ? size_t(end - buf) : 0);
    out += grouped ? groupThousands(digits) : std::string(digits);
    out += ".00";
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
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        case '\r':
            if (crAsReference)
                out += "&#13;";
            else
                out += c;
            break;
        default:
            out += c;
        }
    }
}

}  // namespace qm
