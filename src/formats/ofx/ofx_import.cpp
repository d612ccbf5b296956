#include "formats/ofx/ofx_import.h"
#include "formats/ofx/ofx_import_internal.h"

#include "core/ascii.h"
#include "core/radix_sort.h"
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

// The scan of a statement's tags, shared by the counting and the reading
// pass. The sink hears open() at each <STMTTRN>, field(tag, raw value) for
// the tags a row reads while one is open, and close() when it ends.
enum StatementField : uint8_t { sfName, sfMemo, sfFitId, sfDate, sfAmount };

template <typename Sink>
void scanStatement(std::string_view text, Sink& sink)
{
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
                sink.close();
                open = false;
            }
            continue;
        }
        if (tagIs(tag, "STMTTRN")) {
            if (open)
                sink.close();
            sink.open();
            open = true;
            continue;
        }
        if (!open)
            continue;
        StatementField field;
        if (tagIs(tag, "NAME"))
            field = sfName;
        else if (tagIs(tag, "MEMO"))
            field = sfMemo;
        else if (tagIs(tag, "FITID"))
            field = sfFitId;
        else if (tagIs(tag, "DTPOSTED"))
            field = sfDate;
        else if (tagIs(tag, "TRNAMT"))
            field = sfAmount;
        else
            continue;
        const size_t next = text.find('<', pos);
        sink.field(
            field, trimAsciiBlanks(text.substr(pos, next == std::string_view::npos ? text.size() - pos : next - pos)));
    }
    // SGML statements may leave their last transaction unclosed.
    if (open)
        sink.close();
}

// The first pass: how many transactions the statement holds and how many of
// them make a row. Entities never give digits, so a date is judged on the
// raw text as the reading pass judges the decoded one.
struct CountingSink {
    size_t transactions = 0;
    size_t rows = 0;
    bool dated = false;
    void open()
    {
        ++transactions;
        dated = false;
    }
    void field(StatementField f, std::string_view raw)
    {
        if (f == sfDate)
            dated = parseOfxDate(raw).has_value();
    }
    void close() { rows += dated; }
};

struct ReadingSink {
    std::vector<ImportRow>& rows;
    OpenTransaction t;
    void open() { t = OpenTransaction{}; }
    void field(StatementField f, std::string_view raw)
    {
        std::string value = unescapeXmlEntities(raw);
        switch (f) {
        case sfName:
            t.name = std::move(value);
            break;
        case sfMemo:
            t.memo = std::move(value);
            break;
        case sfFitId:
            t.fitId = std::move(value);
            break;
        case sfDate:
            t.dateText = std::move(value);
            break;
        case sfAmount:
            t.amount = parseOfxAmount(value);
            break;
        }
    }
    void close()
    {
        std::optional<Date> posted = parseOfxDate(t.dateText);
        if (!posted)
            return;
        ImportRow& row = rows.emplace_back();
        row.date = *posted;
        // Each text is made at its own size, never with the slack of the
        // strings it came from.
        const std::string text = describe(t);
        row.description.assign(text.data(), text.size());
        row.amount = t.amount;
        row.fitId.assign(t.fitId.data(), t.fitId.size());
    }
};

size_t heapBytes(const std::string& s) { return s.capacity() > std::string().capacity() ? s.capacity() + 1 : 0; }

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

std::string_view importStatusText(ImportStatus status)
{
    switch (status) {
    case importPossibleDuplicate:
        return ImportRowStatus::statusPossibleDuplicate;
    case importDuplicate:
        return ImportRowStatus::statusDuplicate;
    default:
        return ImportRowStatus::statusNew;
    }
}

ImportRow::ImportRow(const ImportRow& other)
    : date(other.date)
    , recurringGroup(other.recurringGroup)
    , amount(other.amount)
    , description(other.description)
    , fitId(other.fitId)
    , extra(other.extra ? std::make_unique<ImportRowMore>(*other.extra) : nullptr)
    , status(other.status)
    , isRecurring(other.isRecurring)
    , selected(other.selected)
{
}

ImportRow& ImportRow::operator=(const ImportRow& other)
{
    if (this != &other)
        *this = ImportRow(other);
    return *this;
}

ImportRowMore& more(ImportRow& row)
{
    if (!row.extra)
        row.extra = std::make_unique<ImportRowMore>();
    return *row.extra;
}

const ImportRowMore& more(const ImportRow& row)
{
    static const ImportRowMore none;
    return row.extra ? *row.extra : none;
}

size_t importRowBytes(const std::vector<ImportRow>& rows)
{
    size_t bytes = rows.capacity() * sizeof(ImportRow);
    for (const ImportRow& row : rows) {
        bytes += heapBytes(row.description) + heapBytes(row.fitId);
        if (const ImportRowMore* m = row.extra.get())
            bytes += sizeof(ImportRowMore) + heapBytes(m->matchedDescription) + heapBytes(m->suggestedPeriod)
                + heapBytes(m->suggestedLabel) + heapBytes(m->category) + heapBytes(m->account)
                + heapBytes(m->recurringPeriod);
    }
    return bytes;
}

std::vector<ImportRow> parseOfx(std::string_view input)
{
    if (input.size() > kMaxStatementBytes)
        throw StatementTooLarge("The statement is larger than 64 MiB. Export a shorter date range from the bank.");
    // Valid UTF-8 is taken as it is; anything else is almost always an SGML
    // statement in the code page its header names (CHARSET:1252). The
    // conversion keeps every ASCII byte, so the scan below sees the same tags.
    std::string converted;
    std::string_view text = input;
    if (!isValidUtf8(input)) {
        converted = windows1252ToUtf8(input);
        text = converted;
    }

    // Counted first, so the list is made once at its final size instead of
    // doubling past it.
    CountingSink counted;
    scanStatement(text, counted);
    if (counted.transactions > kMaxStatementTransactions)
        throw StatementTooLarge("The statement holds more than 1,000,000 transactions. Export a shorter date range "
                                "from the bank.");
    std::vector<ImportRow> rows;
    rows.reserve(counted.rows);
    ReadingSink reading{rows, {}};
    scanStatement(text, reading);

    // By date, file order within a day: the keys are sorted and the rows
    // then moved into place along the permutation's cycles, so no second
    // list of rows is ever made.
    std::vector<uint64_t> keys(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const Date d = rows[i].date;
        keys[i] = uint64_t((d.year * 13 + d.month) * 32 + d.day) << 32 | i;
    }
    if (!std::is_sorted(keys.begin(), keys.end())) {
        radixSortBy(keys, [](uint64_t k) { return k; });
        // keys[i] now names the row that belongs at i.
        for (size_t i = 0; i < rows.size(); ++i) {
            size_t from = size_t(keys[i] & 0xFFFFFFFF);
            if (from == i || keys[i] == UINT64_MAX)
                continue;
            ImportRow held = std::move(rows[i]);
            size_t at = i;
            while (from != i) {
                rows[at] = std::move(rows[from]);
                keys[at] = UINT64_MAX;
                at = from;
                from = size_t(keys[at] & 0xFFFFFFFF);
            }
            rows[at] = std::move(held);
            keys[at] = UINT64_MAX;
        }
    }
    return rows;
}

}  // namespace qm
