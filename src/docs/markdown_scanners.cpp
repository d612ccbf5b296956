// Scanners shared by both phases of the Markdown parser: link labels,
// destinations and titles, reference definitions, character references,
// HTML tags and block conditions, and table rows.
#include <algorithm>
#include <array>
#include <cstring>

#include "core/unicode.h"
#include "core/utf8.h"
#include "docs/markdown_internal.h"

namespace qm {

namespace {

struct EntityEntry {
    const char* name;
    const char* text;
};
#include "docs/entity_table.inc"

bool isSpaceOrTab(char c) { return c == ' ' || c == '\t'; }
bool isLineBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isTagWhitespace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }
bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAsciiAlnum(char c) { return isAsciiLetter(c) || (c >= '0' && c <= '9'); }

std::string_view trimLineBlanks(std::string_view s)
{
    while (!s.empty() && isLineBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isLineBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

}  // namespace

std::string_view lookupEntity(std::string_view name)
{
    auto it = std::lower_bound(std::begin(kEntities), std::end(kEntities), name,
        [](const EntityEntry& e, std::string_view n) { return std::string_view(e.name) < n; });
    if (it != std::end(kEntities) && std::string_view(it->name) == name)
        return it->text;
    return {};
}

bool isMarkdownWhitespace(uint32_t cp)
{
    return cp == '\t' || cp == '\n' || cp == '\f' || cp == '\r' || cp == ' ' || cp == 0xA0 || cp == 0x1680
        || (cp >= 0x2000 && cp <= 0x200A) || cp == 0x202F || cp == 0x205F || cp == 0x3000;
}

bool isPunctuationChar(uint32_t cp)
{
    if (cp < 0x80)
        return isAsciiPunctuation(static_cast<unsigned char>(cp));
    if (cp >= 0xA1 && cp <= 0xBF)
        return cp != 0xAA && cp != 0xB2 && cp != 0xB3 && cp != 0xB5 && cp != 0xB9 && cp != 0xBA && cp != 0xBC
            && cp != 0xBD && cp != 0xBE;
    if (cp >= 0x2100 && cp <= 0x214F)
        return cp != 0x2102 && cp != 0x2107 && cp != 0x210A && cp != 0x2115 && cp != 0x2124 && cp != 0x2126
            && cp != 0x2128 && cp != 0x212D;
    static constexpr uint32_t ranges[][2] = {
        {0xD7, 0xD7},
        {0xF7, 0xF7},
        {0x589, 0x58A},
        {0x5BE, 0x5C6},
        {0x60C, 0x61F},
        {0x66A, 0x66D},
        {0x6D4, 0x6D4},
        {0x964, 0x965},
        {0x970, 0x970},
        {0xE4F, 0xE5B},
        {0x2010, 0x2027},
        {0x2030, 0x205E},
        {0x20A0, 0x20C0},
        {0x2190, 0x2BFF},
        {0x2E00, 0x2E5D},
        {0x3001, 0x303F},
        {0xFE30, 0xFE4F},
        {0xFF01, 0xFF0F},
        {0xFF1A, 0xFF20},
        {0xFF3B, 0xFF40},
        {0xFF5B, 0xFF65},
    };
    for (const auto& r : ranges)
        if (cp >= r[0] && cp <= r[1])
            return true;
    return false;
}

size_t scanLinkLabel(std::string_view text, size_t pos)
{
    const size_t n = text.size();
    if (pos >= n || text[pos] != '[')
        return 0;
    bool content = false;
    for (size_t i = pos + 1; i < n && i - pos - 1 <= 999;) {
        char c = text[i];
        if (c == '\\' && i + 1 < n && isAsciiPunctuation(static_cast<unsigned char>(text[i + 1]))) {
            content = true;
            i += 2;
            continue;
        }
        if (c == '[')
            return 0;
        if (c == ']')
            return content ? i - pos + 1 : 0;
        if (!isLineBlank(c))
            content = true;
        ++i;
    }
    return 0;
}

void skipSpacesAndOneNewline(std::string_view text, size_t& pos)
{
    while (pos < text.size() && isSpaceOrTab(text[pos]))
        ++pos;
    if (pos < text.size() && text[pos] == '\n') {
        ++pos;
        while (pos < text.size() && isSpaceOrTab(text[pos]))
            ++pos;
    }
}

ScannedText parseLinkDestination(std::string_view text, size_t pos)
{
    const size_t n = text.size();
    if (pos < n && text[pos] == '<') {
        for (size_t i = pos + 1; i < n; ++i) {
            char c = text[i];
            if (c == '\\' && i + 1 < n && isAsciiPunctuation(static_cast<unsigned char>(text[i + 1]))) {
                ++i;
                continue;
            }
            if (c == '>')
                return {int64_t(i + 1 - pos), unescapeString(text.substr(pos + 1, i - pos - 1))};
            if (c == '\n' || c == '\r' || c == '<')
                break;
        }
        return {-1, {}};
    }
    size_t i = pos;
    int depth = 0;
    while (i < n) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '\\' && i + 1 < n && isAsciiPunctuation(static_cast<unsigned char>(text[i + 1]))) {
            i += 2;
        } else if (c == '(') {
            if (depth == 32)
                return {-1, {}};
            ++depth;
            ++i;
        } else if (c == ')') {
            if (depth == 0)
                break;
            --depth;
            ++i;
        } else if (c <= 0x20 || c == 0x7F) {
            break;
        } else {
            ++i;
        }
    }
    if (depth != 0)
        return {-1, {}};
    if (i == pos && (i >= n || text[i] != ')'))
        return {-1, {}};
    return {int64_t(i - pos), unescapeString(text.substr(pos, i - pos))};
}

ScannedText parseLinkTitle(std::string_view text, size_t pos)
{
    const size_t n = text.size();
    if (pos >= n)
        return {0, {}};
    const char open = text[pos];
    const char close = open == '"' ? '"' : open == '\'' ? '\'' : open == '(' ? ')' : 0;
    if (!close)
        return {0, {}};
    for (size_t i = pos + 1; i < n; ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < n && isAsciiPunctuation(static_cast<unsigned char>(text[i + 1]))) {
            ++i;
            continue;
        }
        if (c == close)
            return {int64_t(i + 1 - pos), unescapeString(text.substr(pos + 1, i - pos - 1))};
        if (open == '(' && c == '(')
            return {-1, {}};
    }
    return {-1, {}};
}

std::string normalizeLinkLabel(std::string_view label)
{
    label = trimLineBlanks(label);
    std::string out;
    out.reserve(label.size());
    bool space = false;
    for (size_t i = 0; i < label.size();) {
        char c = label[i];
        if (isLineBlank(c)) {
            space = true;
            ++i;
            continue;
        }
        if (space) {
            out += ' ';
            space = false;
        }
        if (static_cast<unsigned char>(c) < 0x80) {
            out += char(c >= 'A' && c <= 'Z' ? c + 32 : c);
            ++i;
            continue;
        }
        Utf8Step s = decodeUtf8(label, i);
        if (!s.valid) {
            out.append(label.substr(i, s.length));
        } else {
            uint32_t lower = simpleLowerCase(s.codePoint);
            if (lower == 0xDF || s.codePoint == 0x1E9E)
                out += "ss";
            else
                appendUtf8(out, lower);
        }
        i += s.length;
    }
    return out;
}

size_t parseReferenceDefinition(std::string_view text, size_t pos, ReferenceMap& references)
{
    const size_t n = text.size();
    const size_t labelLength = scanLinkLabel(text, pos);
    if (labelLength == 0)
        return 0;
    size_t p = pos + labelLength;
    if (p >= n || text[p] != ':')
        return 0;
    ++p;
    skipSpacesAndOneNewline(text, p);
    ScannedText dest = parseLinkDestination(text, p);
    if (dest.consumed <= 0)
        return 0;
    p += size_t(dest.consumed);
    const size_t afterDest = p;
    std::string title;
    bool hasTitle = false;
    const size_t beforeSpace = p;
    skipSpacesAndOneNewline(text, p);
    if (p != beforeSpace) {
        ScannedText t = parseLinkTitle(text, p);
        if (t.consumed > 0) {
            title = std::move(t.value);
            hasTitle = true;
            p += size_t(t.consumed);
        } else {
            p = afterDest;
        }
    }
    auto atLineEnd = [&] {
        while (p < n && isSpaceOrTab(text[p]))
            ++p;
        return p >= n || text[p] == '\n';
    };
    if (!atLineEnd()) {
        if (!hasTitle)
            return 0;
        title.clear();
        p = afterDest;
        if (!atLineEnd())
            return 0;
    }
    std::string key = normalizeLinkLabel(text.substr(pos + 1, labelLength - 2));
    if (key.empty())
        return 0;
    if (!references.count(key))
        references.emplace(std::move(key),
            std::make_shared<const LinkReference>(LinkReference{std::move(dest.value), std::move(title)}));
    if (p < n)
        ++p;  // the line feed
    return p - pos;
}

ScannedEntity parseEntity(std::string_view text, size_t pos)
{
    const size_t n = text.size();
    if (pos + 1 >= n || text[pos] != '&')
        return {};
    size_t i = pos + 1;
    if (text[i] == '#') {
        ++i;
        uint32_t value = 0;
        size_t digits = 0;
        if (i < n && (text[i] == 'x' || text[i] == 'X')) {
            ++i;
            while (i < n && digits < 7 && std::isxdigit(static_cast<unsigned char>(text[i]))) {
                char c = text[i];
                value = value * 16 + uint32_t(c <= '9' ? c - '0' : (c | 32) - 'a' + 10);
                ++digits;
                ++i;
            }
            if (digits == 0 || digits > 6)
                return {};
        } else {
            while (i < n && digits < 8 && text[i] >= '0' && text[i] <= '9') {
                value = value * 10 + uint32_t(text[i] - '0');
                ++digits;
                ++i;
            }
            if (digits == 0 || digits > 7)
                return {};
        }
        if (i >= n || text[i] != ';')
            return {};
        if (value == 0 || (value >= 0xD800 && value <= 0xDFFF) || value >= 0x110000)
            value = kReplacementChar;
        return {i + 1 - pos, encodeUtf8(value)};
    }
    size_t len = 0;
    while (i + len < n && len <= 40 && isAsciiAlnum(text[i + len]))
        ++len;
    if (len == 0 || len > 40 || i + len >= n || text[i + len] != ';')
        return {};
    std::string_view value = lookupEntity(text.substr(i, len));
    if (value.empty())
        return {};
    return {len + 2, std::string(value)};
}

std::string unescapeString(std::string_view text)
{
    if (text.find_first_of("\\&") == std::string_view::npos)
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size() && isAsciiPunctuation(static_cast<unsigned char>(text[i + 1]))) {
            out += text[i + 1];
            i += 2;
        } else if (c == '&') {
            ScannedEntity e = parseEntity(text, i);
            if (e.consumed) {
                out += e.text;
                i += e.consumed;
            } else {
                out += c;
                ++i;
            }
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

// ---- HTML ----

bool isHtmlBlockTag(std::string_view name)
{
    static constexpr std::string_view tags[] = {"address", "article", "aside", "base", "basefont", "blockquote", "body",
        "caption", "center", "col", "colgroup", "dd", "details", "dialog", "dir", "div", "dl", "dt", "fieldset",
        "figcaption", "figure", "footer", "form", "frame", "frameset", "h1", "h2", "h3", "h4", "h5", "h6", "head",
        "header", "hr", "html", "iframe", "legend", "li", "link", "main", "menu", "menuitem", "nav", "noframes", "ol",
        "optgroup", "option", "p", "param", "search", "section", "summary", "table", "tbody", "td", "tfoot", "th",
        "thead", "title", "tr", "track", "ul"};
    return std::binary_search(std::begin(tags), std::end(tags), name);
}

namespace {

size_t scanTagName(std::string_view text, size_t i)
{
    if (i >= text.size() || !isAsciiLetter(text[i]))
        return 0;
    size_t j = i + 1;
    while (j < text.size() && (isAsciiAlnum(text[j]) || text[j] == '-'))
        ++j;
    return j - i;
}

size_t skipTagWhitespace(std::string_view text, size_t i)
{
    while (i < text.size() && isTagWhitespace(text[i]))
        ++i;
    return i;
}

std::string asciiLowerPrefix(std::string_view s, size_t max)
{
    std::string out(s.substr(0, max));
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c + 32);
    return out;
}

bool startsWithLower(std::string_view lower, size_t at, std::string_view word)
{
    return lower.size() >= at + word.size() && lower.substr(at, word.size()) == word;
}

bool findLowerCase(std::string_view line, std::string_view needle)
{
    if (line.size() < needle.size())
        return false;
    for (size_t i = 0; i + needle.size() <= line.size(); ++i) {
        size_t k = 0;
        while (k < needle.size()) {
            char c = line[i + k];
            if (c >= 'A' && c <= 'Z')
                c = char(c + 32);
            if (c != needle[k])
                break;
            ++k;
        }
        if (k == needle.size())
            return true;
    }
    return false;
}

}  // namespace

size_t scanOpenTag(std::string_view text, size_t pos)
{
    const size_t n = text.size();
    if (pos >= n || text[pos] != '<')
        return 0;
    size_t name = scanTagName(text, pos + 1);
    if (!name)
        return 0;
    size_t i = pos + 1 + name;
    for (;;) {
        size_t ws = skipTagWhitespace(text, i);
        if (ws == i)
            break;
        // An attribute needs the whitespace before it.
        if (ws >= n)
            return 0;
        char c = text[ws];
        if (!(isAsciiLetter(c) || c == '_' || c == ':')) {
            i = ws;
            break;
        }
        size_t j = ws + 1;
        while (j < n && (isAsciiAlnum(text[j]) || text[j] == '_' || text[j] == '.' || text[j] == ':' || text[j] == '-'))
            ++j;
        i = j;
        size_t k = skipTagWhitespace(text, j);
        if (k < n && text[k] == '=') {
            k = skipTagWhitespace(text, k + 1);
            if (k >= n)
                return 0;
            char q = text[k];
            if (q == '"' || q == '\'') {
                size_t end = text.find(q, k + 1);
                if (end == std::string_view::npos)
                    return 0;
                i = end + 1;
            } else {
                size_t e = k;
                while (e < n && !isTagWhitespace(text[e]) && std::strchr("\"'=<>`", text[e]) == nullptr)
                    ++e;
                if (e == k)
                    return 0;
                i = e;
            }
        }
    }
    i = skipTagWhitespace(text, i);
    if (i < n && text[i] == '/')
        ++i;
    if (i < n && text[i] == '>')
        return i + 1 - pos;
    return 0;
}

size_t scanClosingTag(std::string_view text, size_t pos)
{
    if (pos + 1 >= text.size() || text[pos] != '<' || text[pos + 1] != '/')
        return 0;
    size_t name = scanTagName(text, pos + 2);
    if (!name)
        return 0;
    size_t i = skipTagWhitespace(text, pos + 2 + name);
    if (i < text.size() && text[i] == '>')
        return i + 1 - pos;
    return 0;
}

int htmlBlockStart(std::string_view line, bool inParagraph)
{
    if (line.size() < 2 || line[0] != '<')
        return 0;
    // Only the first few bytes decide conditions 1 to 6; condition 7 scans the line itself.
    std::string lower = asciiLowerPrefix(line, 16);
    auto endsName = [&](size_t at) { return at >= line.size() || isTagWhitespace(line[at]) || line[at] == '>'; };
    for (std::string_view tag : {"script", "pre", "textarea", "style"})
        if (startsWithLower(lower, 1, tag) && endsName(1 + tag.size()))
            return 1;
    if (line.substr(0, 4) == "<!--")
        return 2;
    if (line.substr(0, 2) == "<?")
        return 3;
    if (line.size() > 2 && line[1] == '!' && isAsciiLetter(line[2]))
        return 4;
    if (line.substr(0, 9) == "<![CDATA[")
        return 5;
    {
        size_t at = line[1] == '/' ? 2 : 1;
        size_t end = at;
        while (end < line.size() && end - at <= 10 && isAsciiAlnum(line[end]))
            ++end;
        if (end > at && end - at <= 10) {
            std::string name = asciiLowerPrefix(line.substr(at, end - at), 16);
            if (isHtmlBlockTag(name)
                && (endsName(end) || (line.size() >= end + 2 && line[end] == '/' && line[end + 1] == '>')))
                return 6;
        }
    }
    if (!inParagraph) {
        size_t len = line[1] == '/' ? scanClosingTag(line, 0) : scanOpenTag(line, 0);
        if (len) {
            size_t i = len;
            while (i < line.size() && isLineBlank(line[i]))
                ++i;
            if (i == line.size())
                return 7;
        }
    }
    return 0;
}

bool htmlBlockEnds(int condition, std::string_view line)
{
    switch (condition) {
    case 1:
        return findLowerCase(line, "</script>") || findLowerCase(line, "</pre>") || findLowerCase(line, "</textarea>")
            || findLowerCase(line, "</style>");
    case 2:
        return line.find("-->") != std::string_view::npos;
    case 3:
        return line.find("?>") != std::string_view::npos;
    case 4:
        return line.find('>') != std::string_view::npos;
    case 5:
        return line.find("]]>") != std::string_view::npos;
    default:
        return false;
    }
}

// ---- tables ----

namespace {

// Calls cell(begin, end, escapedPipes) for each cell of a row, untrimmed.
template <typename F>
void forEachTableCell(std::string_view line, F&& cell)
{
    line = trimLineBlanks(line);
    if (!line.empty() && line.front() == '|')
        line.remove_prefix(1);
    if (!line.empty() && line.back() == '|' && !(line.size() >= 2 && line[line.size() - 2] == '\\'))
        line.remove_suffix(1);
    size_t begin = 0;
    bool escaped = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '|') {
            escaped = true;
            ++i;
        } else if (line[i] == '|') {
            cell(line.substr(begin, i - begin), escaped);
            begin = i + 1;
            escaped = false;
        }
    }
    cell(line.substr(begin), escaped);
}

std::string_view trimSpacesTabs(std::string_view s)
{
    while (!s.empty() && isSpaceOrTab(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpaceOrTab(s.back()))
        s.remove_suffix(1);
    return s;
}

}  // namespace

std::vector<std::string> splitTableRow(std::string_view line)
{
    std::vector<std::string> cells;
    forEachTableCell(line, [&](std::string_view raw, bool escaped) {
        std::string cell;
        if (!escaped) {
            cell = std::string(raw);
        } else {
            cell.reserve(raw.size());
            for (size_t i = 0; i < raw.size(); ++i) {
                if (raw[i] == '\\' && i + 1 < raw.size() && raw[i + 1] == '|')
                    continue;
                cell += raw[i];
            }
        }
        cells.emplace_back(trimSpacesTabs(cell));
    });
    return cells;
}

size_t countTableCells(std::string_view line)
{
    size_t count = 0;
    forEachTableCell(line, [&](std::string_view, bool) { ++count; });
    return count;
}

std::optional<std::vector<TableAlignment>> parseTableDelimiterRow(std::string_view line)
{
    line = trimLineBlanks(line);
    if (line.empty() || line.find('|') == std::string_view::npos)
        return std::nullopt;
    std::vector<TableAlignment> alignments;
    bool ok = true;
    forEachTableCell(line, [&](std::string_view raw, bool escaped) {
        std::string_view cell = trimSpacesTabs(raw);
        if (!ok || escaped) {
            ok = false;
            return;
        }
        bool left = false, right = false;
        if (!cell.empty() && cell.front() == ':') {
            left = true;
            cell.remove_prefix(1);
        }
        if (!cell.empty() && cell.back() == ':') {
            right = true;
            cell.remove_suffix(1);
        }
        if (cell.empty() || cell.find_first_not_of('-') != std::string_view::npos) {
            ok = false;
            return;
        }
        alignments.push_back(left && right ? taCenter : left ? taLeft : right ? taRight : taNone);
    });
    if (!ok)
        return std::nullopt;
    return alignments;
}

}  // namespace qm
