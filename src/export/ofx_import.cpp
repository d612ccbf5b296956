#include "export/ofx_import.h"
#include "export/ofx_import_internal.h"

#include "core/ascii.h"
#include "core/utf8.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace qm {

namespace {

constexpr char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

// name is upper case; letters of tag match it in either case.
bool tagIs(std::string_view tag, std::string_view name)
{
    if (tag.size() != name.size())
        return false;
    for (size_t i = 0; i < tag.size(); ++i)
        if (asciiUpper(tag[i]) != name[i])
            return false;
    return true;
}

bool equalFoldingCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (asciiUpper(a[i]) != asciiUpper(b[i]))
            return false;
    return true;
}

// Optional sign, digits with an optional fraction (either side of the point
// may be empty but not both), an optional exponent, nothing else. A general
// float reader would also take "inf", "nan" and hexadecimal.
bool isPlainDecimal(std::string_view s)
{
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < s.size() && isAsciiDigit(s[i]))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isAsciiDigit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        size_t expDigits = 0;
        while (i < s.size() && isAsciiDigit(s[i]))
            ++i, ++expDigits;
        if (expDigits == 0)
            return false;
    }
    return i == s.size();
}

// Four, two and two digits: no sign, no blank.
std::optional<int32_t> digitsValue(std::string_view s)
{
    int32_t v = 0;
    for (char c : s) {
        if (!isAsciiDigit(c))
            return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

struct OpenTransaction {
    std::string name;
    std::string memo;
    std::string dateText;
    std::string fitId;
    double amount = 0;
};

std::string describe(const OpenTransaction& t)
{
    if (!t.name.empty() && !t.memo.empty() && !equalFoldingCase(t.name, t.memo))
        return t.name + " - " + t.memo;
    if (!t.name.empty())
        return t.name;
    if (!t.memo.empty())
        return t.memo;
    return "Unknown";
}

void finish(const OpenTransaction& t, std::vector<ImportRow>& rows)
{
    std::optional<Date> posted = parseOfxDate(t.dateText);
    if (!posted)
        return;
    ImportRow& row = rows.emplace_back();
    row.date = *posted;
    row.description = describe(t);
    row.amount = t.amount;
    row.fitId = t.fitId;
}

// Windows-1252 at 0x80..0x9f; the rest of the upper half is Latin-1.
constexpr uint16_t kCp1252High[32] = {
    0x20AC,
    0x0081,
    0x201A,
    0x0192,
    0x201E,
    0x2026,
    0x2020,
    0x2021,
    0x02C6,
    0x2030,
    0x0160,
    0x2039,
    0x0152,
    0x008D,
    0x017D,
    0x008F,
    0x0090,
    0x2018,
    0x2019,
    0x201C,
    0x201D,
    0x2022,
    0x2013,
    0x2014,
    0x02DC,
    0x2122,
    0x0161,
    0x203A,
    0x0153,
    0x009D,
    0x017E,
    0x0178,
};

}  // namespace

double parseOfxAmount(std::string_view value)
{
    std::string s(value);
    std::replace(s.begin(), s.end(), ',', '.');
    if (!isPlainDecimal(s))
        return 0;
    // from_chars takes no plus sign.
    const char* begin = s.data() + (s[0] == '+' ? 1 : 0);
    const char* end = s.data() + s.size();
    double v = 0;
    auto [ptr, ec] = std::from_chars(begin, end, v);
    if (ec != std::errc() || ptr != end || !std::isfinite(v) || std::fabs(v) >= 1e12)
        return 0;
    return v;
}

std::string windows1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80)
            out += ch;
        else
            appendUtf8(out, b < 0xA0 ? kCp1252High[b - 0x80] : b);
    }
    return out;
}

std::optional<Date> parseOfxDate(std::string_view text)
{
    text = trimAsciiBlanks(text);
    if (text.size() < 8)
        return std::nullopt;
    std::optional<int32_t> year = digitsValue(text.substr(0, 4));
    std::optional<int32_t> month = digitsValue(text.substr(4, 2));
    std::optional<int32_t> day = digitsValue(text.substr(6, 2));
    // Year 0 lies before the model's calendar.
    if (!year || !month || !day || *year == 0 || !isValidDate(*year, *month, *day))
        return std::nullopt;
    return Date{*year, *month, *day};
}

std::string unescapeXmlEntities(std::string_view text)
{
    static constexpr struct {
        std::string_view entity;
        char ch;
    } kEntities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        size_t amp = text.find('&', i);
        if (amp == std::string_view::npos) {
            out.append(text.substr(i));
            break;
        }
        out.append(text.substr(i, amp - i));
        i = amp + 1;
        char decoded = '&';
        for (const auto& e : kEntities) {
            if (text.substr(amp, e.entity.size()) == e.entity) {
                decoded = e.ch;
                i = amp + e.entity.size();
                break;
            }
        }
        out += decoded;
    }
    return out;
}

std::vector<ImportRow> parseOfx(std::string_view input)
{
    // Valid UTF-8 is taken as it is; anything else is almost always an SGML
    // statement in the code page its header names (CHARSET:1252). The
    // conversion keeps every ASCII byte, so the scan below sees the same tags.
    std::string converted;
    std::string_view text = input;
    if (!isValidUtf8(input)) {
        converted = windows1252ToUtf8(input);
        text = converted;
    }

    std::vector<ImportRow> rows;
    OpenTransaction t;
    bool open = false;
    size_t start = text.find("<OFX>");
    size_t pos = start == std::string_view::npos ? 0 : start;
    for (;;) {
        const size_t lt = text.find('<', pos);
        if (lt == std::string_view::npos)
            break;
        const size_t gt = text.find('>', lt + 1);
        if (gt == std::string_view::npos)
            break;
        const std::string_view tag = trimAsciiBlanks(text.substr(lt + 1, gt - lt - 1));
        pos = gt + 1;
        if (tag.empty() || tag[0] == '?' || tag[0] == '!')
            continue;
        if (tag[0] == '/') {
            if (open && tagIs(tag, "/STMTTRN")) {
                finish(t, rows);
                open = false;
            }
            continue;
        }
        if (tagIs(tag, "STMTTRN")) {
            if (open)
                finish(t, rows);
            t = OpenTransaction{};
            open = true;
            continue;
        }
        if (!open)
            continue;
        std::string* target = nullptr;
        if (tagIs(tag, "NAME"))
            target = &t.name;
        else if (tagIs(tag, "MEMO"))
            target = &t.memo;
        else if (tagIs(tag, "FITID"))
            target = &t.fitId;
        else if (tagIs(tag, "DTPOSTED"))
            target = &t.dateText;
        else if (!tagIs(tag, "TRNAMT"))
            continue;
        const size_t next = text.find('<', pos);
        const std::string_view raw = text.substr(pos, next == std::string_view::npos ? text.size() - pos : next - pos);
        std::string value = unescapeXmlEntities(trimAsciiBlanks(raw));
        if (target)
            *target = std::move(value);
        else
            t.amount = parseOfxAmount(value);
    }
    // SGML statements may leave their last transaction unclosed.
    if (open)
        finish(t, rows);

    std::stable_sort(
        rows.begin(), rows.end(), [](const ImportRow& a, const ImportRow& b) { return dateCmp(a.date, b.date) < 0; });
    return rows;
}

}  // namespace qm
