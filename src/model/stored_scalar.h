#pragma once
// One plain value of a stored record's member as the text holds it (null, a
// boolean, a number or a text), and the lenient readings every member rule
// takes from it: whatever is of another type reads as the member's default.
// The quick reader of data.json hands these over as it parses, the document
// readers make them from a tree, so both read a member by the same rule.
#include "core/ascii.h"
#include "core/json.h"
#include "model/dates.h"
#include "model/money.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// Numbers are classed as the JSON parser classes them (int64, then uint64,
// then double).
struct StoredScalar {
    enum Type : uint8_t { null, boolean, integer, unsignedInteger, floating, text } type = null;
    bool b = false;
    int64_t i = 0;
    uint64_t u = 0;
    double d = 0;
    std::string_view s;

    bool isInteger() const { return type == integer || type == unsignedInteger; }
    bool isNumber() const { return isInteger() || type == floating; }

    int64_t asInt() const
    {
        if (type == integer)
            return i;
        if (type == unsignedInteger && u <= uint64_t(std::numeric_limits<int64_t>::max()))
            return int64_t(u);
        return 0;
    }
    void textInto(std::string& out) const
    {
        if (type == text)
            out.assign(s);
        else
            out.clear();
    }
    bool asBool() const
    {
        switch (type) {
        case boolean:
            return b;
        case integer:
            return i != 0;
        case unsignedInteger:
            return u != 0;
        case text: {
            std::string lower = asciiLower(s);
            return lower == "1" || lower == "on" || lower == "yes" || lower == "true";
        }
        default:
            return false;
        }
    }
    // Never a NaN or an infinity: those, and numbers too large for a double,
    // read as 0.
    double asFloat() const
    {
        double v;
        if (type == unsignedInteger)
            v = double(u);
        else if (type == integer)
            v = double(i);
        else if (type == floating)
            v = d;
        else if (type != text)
            return 0;
        else if (std::optional<double> parsed = parseFloatText(s))
            v = *parsed;
        else
            return 0;
        return std::isfinite(v) ? v : 0;
    }
    // Nothing unless an ISO date text with a year from 1 to 9999: only such
    // years are written in a form that reads back as the same date.
    std::optional<Date> asDate() const
    {
        if (type != text)
            return std::nullopt;
        // The form every date of a saved file has is read here; any other
        // goes through the general reader.
        auto digits = [&](size_t at, size_t n) {
            int32_t v = 0;
            for (size_t i = at; i < at + n; ++i) {
                if (!isAsciiDigit(s[i]))
                    return -1;
                v = v * 10 + (s[i] - '0');
            }
            return v;
        };
        if (s.size() == 10 && s[4] == '-' && s[7] == '-') {
            const int32_t year = digits(0, 4), month = digits(5, 2), day = digits(8, 2);
            if (year >= 1 && month >= 0 && day >= 0)
                return isValidDate(year, month, day) ? std::optional<Date>(Date{year, month, day}) : std::nullopt;
        }
        std::optional<Date> d = tryParseIso(s);
        if (d && (d->year < 1 || d->year > 9999))
            return std::nullopt;
        return d;
    }
    Json toJson() const
    {
        switch (type) {
        case boolean:
            return Json(b);
        case integer:
            return Json(i);
        case unsignedInteger:
            return Json(u);
        case floating:
            return Json(d);
        case text:
            return Json(std::string(s));
        default:
            return Json(nullptr);
        }
    }
};

// A plain value of a document; an object or a list reads as null. The text
// stays the document's.
inline StoredScalar storedScalar(const Json& node)
{
    StoredScalar v;
    switch (node.type()) {
    case Json::value_t::boolean:
        v.type = StoredScalar::boolean;
        v.b = node.get<bool>();
        break;
    case Json::value_t::number_integer:
        v.type = StoredScalar::integer;
        v.i = node.get<int64_t>();
        break;
    case Json::value_t::number_unsigned:
        v.type = StoredScalar::unsignedInteger;
        v.u = node.get<uint64_t>();
        break;
    case Json::value_t::number_float:
        v.type = StoredScalar::floating;
        v.d = node.get<double>();
        break;
    case Json::value_t::string:
        v.type = StoredScalar::text;
        v.s = node.get_ref<const std::string&>();
        break;
    default:
        break;
    }
    return v;
}

}  // namespace qm
