#include "model/money.h"

#include "core/ascii.h"
#include "core/decimal.h"

#include <cmath>

namespace qm {

namespace {

// Digits with single "_" between them; appends the digits to out.
bool digitPart(std::string_view s, size_t& i, std::string& out)
{
    if (i >= s.size() || !isAsciiDigit(s[i]))
        return false;
    out += s[i++];
    while (i < s.size()) {
        if (isAsciiDigit(s[i])) {
            out += s[i++];
        } else if (s[i] == '_' && i + 1 < s.size() && isAsciiDigit(s[i + 1])) {
            out += s[i + 1];
            i += 2;
        } else {
            break;
        }
    }
    return true;
}

std::string twoDigits(int64_t v)
{
    std::string s = std::to_string(v);
    return s.size() < 2 ? "0" + s : s;
}

std::string formatCents(double x, bool grouped)
{
    int64_t c = roundCentsCount(std::fabs(x));
    int64_t units = c / 100;
    std::string digits = std::to_string(units);
    return (grouped ? groupThousands(digits) : digits) + "." + twoDigits(c - units * 100);
}

// The nearest integer to the exact value p + residual as whole + adjust: for
// |p| below 2^52 the residual only breaks a tie; above, p is already a whole
// number and the residual itself is rounded.
void splitRound(double p, double residual, double& whole, double& adjust)
{
    adjust = 0;
    if (!std::isfinite(p)) {
        whole = p;
        return;
    }
    bool large = std::fabs(p) >= 4503599627370496.0;  // 2^52
    double v = large ? residual : p;
    double f = std::floor(v);
    double diff = v - f;
    bool up = diff > 0.5 || (diff == 0.5 && (large ? p > 0 : residual > 0 || (residual == 0 && p > 0)));
    double n = diff < 0.5 ? f : (up ? f + 1 : f);
    if (large) {
        whole = p;
        adjust = n;
    } else {
        whole = n;
    }
}

}  // namespace

double roundHalfAway(double p, double residual)
{
    double whole, adjust;
    splitRound(p, residual, whole, adjust);
    return whole + adjust;
}

int64_t roundHalfAwayInt64(double p, double residual)
{
    if (std::isnan(p))
        return 0;
    double whole, adjust;
    splitRound(p, residual, whole, adjust);
    if (whole >= 9223372036854775808.0)
        return INT64_MAX;
    if (whole < -9223372036854775808.0)
        return INT64_MIN;
    // |adjust| is at most half a unit in the last place of whole, 1024.
    int64_t sum;
    if (__builtin_add_overflow(static_cast<int64_t>(whole), static_cast<int64_t>(adjust), &sum))
        return adjust > 0 ? INT64_MAX : INT64_MIN;
    return sum;
}

int64_t roundCentsCount(double x)
{
    double p = x * 100;
    return roundHalfAwayInt64(p, std::fma(x, 100, -p));
}

double roundCents(double x)
{
    double p = x * 100;
    // The product's rounding error can only matter when the rounded product
    // is an exact half (a half is a double, so the product would be nearer
    // to it than to anything across it) or too large for cents: every row
    // of a report rounds its balance, and most skip the exact product.
    if (std::fabs(p) < 4503599627370496.0) {  // 2^52
        // floor by the whole part, exact here, without a library call
        double f = double(int64_t(p));
        if (f > p)
            f -= 1;
        if (p - f != 0.5)
            return ((p - f < 0.5 ? f : f + 1) + 0.0) / 100;  // + 0.0: no negative zero, as below
    }
    return roundHalfAway(p, std::fma(x, 100, -p)) / 100;
}

std::string groupThousands(std::string_view digits)
{
    std::string out;
    size_t n = digits.size();
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

std::string formatAmount(double x) { return formatCents(x, true); }
std::string formatAmountPlain(double x) { return formatCents(x, false); }

std::string formatMoney(double x)
{
    if (std::isnan(x))
        return "$0.00";
    return (x < -0.004999 ? "-$" : "$") + formatAmount(x);
}

std::string formatMoneySigned(double x) { return (x < -0.004999 ? "\u2212$" : "+$") + formatAmount(x); }

std::string formatMoneyCompact(double x)
{
    double a = std::fabs(x);
    std::string body;
    // The residual a - q * d is exact; divided by d it is the quotient's.
    if (a >= 10000) {
        double q = a / 1000;
        body = std::to_string(roundHalfAwayInt64(q, std::fma(-q, 1000, a) / 1000)) + "k";
    } else if (a >= 1000) {
        double q = a / 100;
        int64_t tenths = roundHalfAwayInt64(q, std::fma(-q, 100, a) / 100);
        body = std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + "k";
    } else {
        body = std::to_string(roundHalfAwayInt64(a));
    }
    return (x < -0.5 ? "\u2212$" : "$") + body;
}

std::optional<double> parseFloatText(std::string_view s)
{
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    std::string_view rest = s.substr(i);
    if (asciiLower(rest) == "inf" || asciiLower(rest) == "infinity") {
        return negative ? -HUGE_VAL : HUGE_VAL;
    }
    if (asciiLower(rest) == "nan") {
        return std::nan("");
    }
    std::string clean;
    bool intDigits = digitPart(s, i, clean);
    bool fracDigits = false;
    if (i < s.size() && s[i] == '.') {
        clean += '.';
        ++i;
        fracDigits = digitPart(s, i, clean);
    }
    if (!intDigits && !fracDigits)
        return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        clean += 'e';
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            clean += s[i++];
        if (!digitPart(s, i, clean))
            return std::nullopt;
    }
    if (i != s.size())
        return std::nullopt;
    double v = decimalToDouble(clean);
    return negative ? -v : v;
}

std::optional<double> parseMoney(std::string_view text)
{
    text = trimAsciiBlanks(text);
    std::string t;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ',' || text[i] == '$')
            continue;
        if (text.substr(i, 3) == "\u2212") {
            t += '-';
            i += 2;
            continue;
        }
        t += text[i];
    }
    std::optional<double> v = t.empty() ? std::nullopt : parseFloatText(t);
    if (!v || std::isnan(*v) || !(std::fabs(*v) < 1e12))
        return std::nullopt;
    return v;
}

}  // namespace qm
