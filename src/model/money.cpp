#include "model/money.h"

#include "core/ascii.h"
#include "core/decimal.h"

#include <cmath>

namespace qm {

namespace {

// Saturating conversion of an integral double; NaN gives 0.
int64_t toInt64(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 9223372036854775807.0)
        return INT64_MAX;
    if (v <= -9223372036854775808.0)
        return INT64_MIN;
    return static_cast<int64_t>(v);
}

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
    int64_t c = toInt64(roundCentsCount(std::fabs(x)));
    int64_t units = c / 100;
    std::string digits = std::to_string(units);
    return (grouped ? groupThousands(digits) : digits) + "." + twoDigits(c - units * 100);
}

}  // namespace

double roundHalfAway(double p, double residual)
{
    if (!std::isfinite(p) || std::fabs(p) >= 4503599627370496.0)  // 2^52: already integral
        return p;
    double f = std::floor(p);
    double diff = p - f;
    if (diff < 0.5)
        return f;
    if (diff > 0.5)
        return f + 1;
    if (residual > 0)
        return f + 1;
    if (residual < 0)
        return f;
    return p < 0 ? f : f + 1;
}

double roundCentsCount(double x)
{
    double p = x * 100;
    return roundHalfAway(p, std::fma(x, 100, -p));
}

double roundCents(double x) { return roundCentsCount(x) / 100; }

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

std::string formatMoneySigned(double x)
{
    return (x < -0.004999 ? "\u2212$" : "+$") + formatAmount(x);
}

std::string formatMoneyCompact(double x)
{
    double a = std::fabs(x);
    std::string body;
    if (a >= 10000) {
        double q = a / 1000;
        body = std::to_string(toInt64(roundHalfAway(q, std::fma(-q, 1000, a)))) + "k";
    } else if (a >= 1000) {
        double q = a / 100;
        int64_t tenths = toInt64(roundHalfAway(q, std::fma(-q, 100, a)));
        body = std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + "k";
    } else {
        body = std::to_string(toInt64(roundHalfAway(a)));
    }
    return (x < -0.5 ? "\u2212$" : "$") + body;
}

bool parseFloatText(std::string_view s, double& out)
{
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    std::string_view rest = s.substr(i);
    if (asciiLower(rest) == "inf" || asciiLower(rest) == "infinity") {
        out = negative ? -HUGE_VAL : HUGE_VAL;
        return true;
    }
    if (asciiLower(rest) == "nan") {
        out = std::nan("");
        return true;
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
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        clean += 'e';
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            clean += s[i++];
        if (!digitPart(s, i, clean))
            return false;
    }
    if (i != s.size())
        return false;
    double v = decimalToDouble(clean);
    out = negative ? -v : v;
    return true;
}

bool parseMoney(std::string_view text, double& out)
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
    double v;
    if (t.empty() || !parseFloatText(t, v) || std::isnan(v) || !(std::fabs(v) < 1e12))
        return false;
    out = v;
    return true;
}

}  // namespace qm
