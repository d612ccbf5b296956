#include "core/decimal.h"

#include <charconv>
#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace qm {

double decimalToDouble(std::string_view text)
{
    double v = 0;
    const char* first = text.data();
    if (!text.empty() && text[0] == '+')
        ++first;
    auto res = std::from_chars(first, text.data() + text.size(), v);
    if (res.ec == std::errc())
        return v;
    // Out of range: the C locale's strtod tells overflow (an infinity) from
    // underflow (zero or a subnormal).
    static locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return strtod_l(std::string(text).c_str(), nullptr, c);
}

std::string shortestDouble(double v)
{
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, res.ptr);
    if (s.find_first_of(".e") == std::string::npos)
        s += ".0";
    return s;
}

std::string fixedDecimal(double v, int decimals)
{
    // Fixed notation of the largest double takes 309 digits before the point.
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return res.ec == std::errc() ? std::string(buf, res.ptr) : std::string();
}

}  // namespace qm
