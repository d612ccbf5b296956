// Writes a RichDoc back as Markdown that this program's parser reads back to
// the same characters, marks and links.
#include <algorithm>

#include "core/unicode.h"
#include "core/utf8.h"
#include "docs/richdoc.h"

namespace qm {

namespace {

struct MarkPiece {
    std::string text;
    int32_t firstChar = ' ';
    int32_t lastChar = ' ';
    uint8_t marks = 0;
};

struct MarkSpan {
    uint8_t kind = 0;  // 0 strong, 1 emphasis, 2 strikethrough
    int32_t startPiece = 0;
    int32_t endPiece = 0;
    bool asHtml = false;
};

constexpr uint8_t kSpanMarks = rmStrong | rmEmphasis | rmStrikethrough;

bool isUnicodeSpace(uint32_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == 0x85 || c == 0xA0
        || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F
        || c == 0x3000;
}

std::string_view trimUnicodeSpace(std::string_view s)
{
    // Leading: decode forward; trailing: step back over whole sequences.
    while (!s.empty()) {
        Utf8Step st = decodeUtf8(s, 0);
        if (!st.valid || !isUnicodeSpace(st.codePoint))
            break;
        s.remove_prefix(st.length);
    }
    while (!s.empty()) {
        size_t begin = s.size() - 1;
        while (begin > 0 && s.size() - begin < 4 && (static_cast<unsigned char>(s[begin]) & 0xC0) == 0x80)
            --begin;
        Utf8Step st = decodeUtf8(s, begin);
        if (!st.valid || begin + st.length != s.size() || !isUnicodeSpace(st.codePoint))
            break;
        s.remove_suffix(st.length);
    }
    return s;
}

std::string cellsToUtf8(const RichCells& cells, size_t from, size_t to)
{
    std::string out;
    for (size_t i = from; i < to; ++i)
        appendUtf8(out, uint32_t(cells[i].codePoint));
    return out;
}

bool isWriterPunctuation(int32_t c)
{
    return (c >= 0 && c < 128
               && ((c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60)
                   || (c >= 0x7B && c <= 0x7E)))
        || (c >= 0xA1 && c <= 0xBF) || (c >= 0x2010 && c <= 0x205E);
}

bool isWriterSpace(int32_t c) { return c == ' ' || c == '\t' || c == '\n'; }

std::string escapeMarkdownText(std::string_view text, bool inTable)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (std::string_view("&*<>[\\]_`~").find(c) != std::string_view::npos || (inTable && c == '|'))
            out += '\\';
        out += c;
    }
    return out;
}

std::string writeLinkDestination(std::string_view d)
{
    bool plain = !d.empty();
    int depth = 0;
    for (char c : d) {
        if (c == ' ' || c == '<' || c == '>' || static_cast<unsigned char>(c) < 0x20)
            plain = false;
        if (c == '(')
            ++depth;
        if (c == ')' && --depth < 0)
            plain = false;
    }
    if (depth != 0)
        plain = false;
    std::string out;
    if (plain) {
        for (char c : d) {
            if (c == '\\')
                out += '\\';
            out += c;
        }
        return out;
    }
    out += '<';
    for (char c : d) {
        if (c == '\n') {
            out += ' ';
            continue;
        }
        if (c == '<' || c == '>' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '>';
    return out;
}

std::string writeLinkTitle(std::string_view title)
{
    if (title.empty())
        return {};
    std::string out = " \"";
    for (char c : title) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

size_t longestBacktickRun(std::string_view s)
{
    size_t best = 0, run = 0;
    for (char c : s) {
        run = c == '`' ? run + 1 : 0;
        best = std::max(best, run);
    }
    return best;
}

std::string writeCodeSpan(std::string_view text)
{
    const std::string fence(longestBacktickRun(text) + 1, '`');
    bool pad = !text.empty() && (text.front() == '`' || text.back() == '`');
    if (!pad && text.size() >= 2 && text.front() == ' ' && text.back() == ' ' && !trimUnicodeSpace(text).empty())
        pad = true;
    std::string out = fence;
    if (pad)
        out += ' ';
    out += text;
    if (pad)
        out += ' ';
    return out + fence;
}

std::vector<uint8_t> normalizeMarks(const RichCells& cells)
{
    std::vector<uint8_t> marks(cells.size());
    auto isWhite = [&](size_t i) {
        int32_t c = cells[i].codePoint;
        return (c == ' ' || c == '\t' || c == '\n') && !(cells[i].marks & rmCode);
    };
    // Nearest non-white neighbour on each side, in one pass each way.
    std::vector<int64_t> before(cells.size(), -1), after(cells.size(), -1);
    int64_t last = -1;
    for (size_t i = 0; i < cells.size(); ++i) {
        before[i] = last;
        if (!isWhite(i))
            last = int64_t(i);
    }
    last = -1;
    for (size_t i = cells.size(); i-- > 0;) {
        after[i] = last;
        if (!isWhite(i))
            last = int64_t(i);
    }
    for (size_t i = 0; i < cells.size(); ++i) {
        uint8_t m = cells[i].marks;
        if (isWhite(i)) {
            const int64_t b = before[i], a = after[i];
            uint8_t keep = 0;
            if (b >= 0 && a >= 0 && cells[size_t(b)].link == cells[i].link && cells[size_t(a)].link == cells[i].link)
                keep = cells[size_t(b)].marks & cells[size_t(a)].marks & kSpanMarks;
            m = uint8_t((m & ~kSpanMarks) | (m & keep));
        }
        marks[i] = m;
    }
    return marks;
}

std::string writeInlines(const RichDoc& doc, const RichCells& cells, bool inTable);

std::vector<MarkPiece> markPieces(const RichDoc& doc, const RichCells& cells, bool inTable)
{
    const std::vector<uint8_t> norm = normalizeMarks(cells);
    std::vector<MarkPiece> pieces;
    const size_t n = cells.size();
    for (size_t i = 0; i < n;) {
        const RichCell& c = cells[i];
        const bool linked = c.link >= 1 && size_t(c.link) <= doc.links.size();
        if (linked) {
            const RichLink& l = doc.links[size_t(c.link) - 1];
            if (l.isImage) {
                pieces.push_back({"![" + escapeMarkdownText(l.alt, inTable) + "](" + writeLinkDestination(l.destination)
                        + writeLinkTitle(l.title) + ")",
                    '!', ')', uint8_t(norm[i] & kSpanMarks)});
                ++i;
                continue;
            }
            size_t j = i + 1;
            while (j < n && cells[j].link == c.link && cells[j].codePoint != kObjectReplacementChar)
                ++j;
            uint8_t common = kSpanMarks;
            for (size_t k = i; k < j; ++k)
                common &= norm[k];
            RichCells inner(cells.begin() + long(i), cells.begin() + long(j));
            for (auto& ic : inner) {
                ic.link = 0;
                ic.marks = uint8_t(ic.marks & ~common);
            }
            pieces.push_back({"[" + writeInlines(doc, inner, inTable) + "](" + writeLinkDestination(l.destination)
                    + writeLinkTitle(l.title) + ")",
                '[', ')', common});
            i = j;
            continue;
        }
        if (c.marks & rmCode) {
            size_t j = i + 1;
            while (j < n && (cells[j].marks & rmCode) && cells[j].link == c.link && norm[j] == norm[i])
                ++j;
            std::string code = writeCodeSpan(cellsToUtf8(cells, i, j));
            if (inTable) {
                std::string escaped;
                for (char ch : code) {
                    if (ch == '|')
                        escaped += '\\';
                    escaped += ch;
                }
                code = std::move(escaped);
            }
            pieces.push_back({std::move(code), '`', '`', uint8_t(norm[i] & kSpanMarks)});
            i = j;
            continue;
        }
        if (c.marks & rmRawHtml) {
            size_t j = i + 1;
            while (j < n && (cells[j].marks & rmRawHtml) && cells[j].link == c.link)
                ++j;
            pieces.push_back({cellsToUtf8(cells, i, j), '<', '>', uint8_t(norm[i] & kSpanMarks)});
            i = j;
            continue;
        }
        if (c.codePoint == 10) {
            pieces.push_back({inTable ? " " : "\\\n", ' ', ' ', uint8_t(norm[i] & kSpanMarks)});
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < n && cells[j].link == 0 && !(cells[j].marks & (rmCode | rmRawHtml)) && cells[j].codePoint != 10
            && norm[j] == norm[i])
            ++j;
        // Links that name no entry are written as plain text too.
        std::string text = cellsToUtf8(cells, i, j);
        pieces.push_back({escapeMarkdownText(text, inTable), cells[i].codePoint, cells[j - 1].codePoint,
            uint8_t(norm[i] & kSpanMarks)});
        i = j;
    }
    // A "!" of text right before a link would make the link an image.
    for (size_t p = 0; p + 1 < pieces.size(); ++p)
        if (pieces[p].lastChar == '!' && pieces[p + 1].firstChar == '[' && !pieces[p].text.empty()
            && pieces[p].text.back() == '!')
            pieces[p].text.insert(pieces[p].text.size() - 1, "\\");
    return pieces;
}

std::string markDelimiter(uint8_t kind, bool asHtml, bool closing)
{
    static const char* delims[] = {"**", "*", "~~"};
    static const char* tags[] = {"strong", "em", "del"};
    if (!asHtml)
        return delims[kind];
    return std::string(closing ? "</" : "<") + tags[kind] + ">";
}

std::string writeInlines(const RichDoc& doc, const RichCells& cells, bool inTable)
{
    const std::vector<MarkPiece> pieces = markPieces(doc, cells, inTable);
    const int32_t count = int32_t(pieces.size());
    std::vector<MarkSpan> spans;
    struct Open {
        uint8_t kind;
        int32_t start;
    };
    std::vector<Open> open;
    static constexpr uint8_t bits[] = {rmStrong, rmEmphasis, rmStrikethrough};
    for (int32_t p = 0; p <= count; ++p) {
        const uint8_t m = p < count ? pieces[size_t(p)].marks : 0;
        size_t lowest = open.size();
        for (size_t e = 0; e < open.size(); ++e)
            if (!(m & bits[open[e].kind])) {
                lowest = e;
                break;
            }
        while (open.size() > lowest) {
            spans.push_back({open.back().kind, open.back().start, p, false});
            open.pop_back();
        }
        for (uint8_t kind = 0; kind < 3; ++kind) {
            if (!(m & bits[kind]))
                continue;
            bool isOpen = false;
            for (const auto& o : open)
                isOpen |= o.kind == kind;
            if (!isOpen)
                open.push_back({kind, p});
        }
    }
    for (auto& s : spans) {
        const int32_t c = pieces[size_t(s.startPiece)].firstChar;
        const int32_t b = s.startPiece > 0 ? pieces[size_t(s.startPiece - 1)].lastChar : ' ';
        const bool canOpen =
            !isWriterSpace(c) && (!isWriterPunctuation(c) || isWriterSpace(b) || isWriterPunctuation(b));
        const int32_t t = pieces[size_t(s.endPiece - 1)].lastChar;
        const int32_t a = s.endPiece < count ? pieces[size_t(s.endPiece)].firstChar : ' ';
        const bool canClose =
            !isWriterSpace(t) && (!isWriterPunctuation(t) || isWriterSpace(a) || isWriterPunctuation(a));
        s.asHtml = !(canOpen && canClose);
    }
    std::vector<size_t> byEnd(spans.size()), byStart(spans.size());
    for (size_t i = 0; i < spans.size(); ++i)
        byEnd[i] = byStart[i] = i;
    // Spans over the same pieces close in the reverse of their opening order,
    // so that "~~*a*~~" does not come out as "~~*a~~*".
    std::stable_sort(byEnd.begin(), byEnd.end(), [&](size_t x, size_t y) {
        if (spans[x].endPiece != spans[y].endPiece)
            return spans[x].endPiece < spans[y].endPiece;
        if (spans[x].startPiece != spans[y].startPiece)
            return spans[x].startPiece > spans[y].startPiece;
        return x > y;
    });
    std::stable_sort(byStart.begin(), byStart.end(), [&](size_t x, size_t y) {
        if (spans[x].startPiece != spans[y].startPiece)
            return spans[x].startPiece < spans[y].startPiece;
        return spans[x].endPiece > spans[y].endPiece;
    });
    std::string out;
    size_t ei = 0, si = 0;
    for (int32_t p = 0; p <= count; ++p) {
        for (; ei < byEnd.size() && spans[byEnd[ei]].endPiece == p; ++ei)
            out += markDelimiter(spans[byEnd[ei]].kind, spans[byEnd[ei]].asHtml, true);
        for (; si < byStart.size() && spans[byStart[si]].startPiece == p; ++si)
            out += markDelimiter(spans[byStart[si]].kind, spans[byStart[si]].asHtml, false);
        if (p < count)
            out += pieces[size_t(p)].text;
    }
    return out;
}

std::string protectLineEdges(std::string_view line)
{
    size_t b = 0, e = line.size();
    while (b < e && (line[b] == ' ' || line[b] == '\t'))
        ++b;
    while (e > b && (line[e - 1] == ' ' || line[e - 1] == '\t'))
        --e;
    std::string out;
    for (size_t i = 0; i < b; ++i)
        if (line[i] == '\t')
            out += "&#9;";
    out += line.substr(b, e - b);
    for (size_t i = e; i < line.size(); ++i)
        if (line[i] == '\t')
            out += "&#9;";
    return out;
}

std::string escapeLineStart(std::string_view line)
{
    if (line.empty())
        return {};
    // ":" too: after a hard break a line such as ":-|" would otherwise turn
    // the paragraph into a table when read back.
    if (std::string_view("#+-=|:").find(line[0]) != std::string_view::npos)
        return "\\" + std::string(line);
    size_t d = 0;
    while (d < line.size() && d < 10 && line[d] >= '0' && line[d] <= '9')
        ++d;
    if (d >= 1 && d <= 9 && d < line.size() && (line[d] == '.' || line[d] == ')'))
        return std::string(line.substr(0, d)) + "\\" + std::string(line.substr(d));
    return std::string(line);
}

std::vector<std::string> splitLines(std::string_view s)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t nl = s.find('\n', start);
        lines.emplace_back(s.substr(start, nl - start));
        if (nl == std::string_view::npos)
            break;
        start = nl + 1;
    }
    return lines;
}

std::string writeTableRow(const RichDoc& doc, const std::vector<RichCells>& row, size_t columns)
{
    std::string out = "|";
    static const RichCells empty;
    for (size_t c = 0; c < columns; ++c) {
        out += ' ';
        out += trimUnicodeSpace(writeInlines(doc, c < row.size() ? row[c] : empty, true));
        out += " |";
    }
    return out;
}

// The lines of one block, without prefixes. `placeholder` is set when the
// block's only line is the "&nbsp;" that stands for an empty paragraph.
std::vector<std::string> blockLines(const RichDoc& doc, const RichBlock& block, bool& placeholder)
{
    std::vector<std::string> lines;
    placeholder = false;
    switch (block.kind) {
    case rbParagraph: {
        for (const std::string& raw : splitLines(writeInlines(doc, block.cells, false)))
            lines.push_back(escapeLineStart(protectLineEdges(raw)));
        if (lines.size() == 1 && lines[0].empty() && block.markers.empty() && block.quoteDepth == 0) {
            lines[0] = "&nbsp;";
            placeholder = true;
        }
        if (!block.markers.empty() && block.markers.back().kind != lmTask && !block.markers.back().emitted
            && lines[0].size() >= 3 && lines[0][0] == '[' && lines[0][2] == ']')
            lines[0] = "\\" + lines[0];
        break;
    }
    case rbHeading: {
        RichCells cells = block.cells;
        for (auto& c : cells)
            if (c.codePoint == 10)
                c.codePoint = ' ';
        std::string text(trimUnicodeSpace(writeInlines(doc, cells, false)));
        if (!text.empty() && text.back() == '#')
            text.insert(text.size() - 1, "\\");
        std::string line(size_t(std::clamp(block.level, 1, 6)), '#');
        if (!text.empty())
            line += " " + text;
        lines.push_back(line);
        break;
    }
    case rbCode: {
        std::string text = cellsToUtf8(block.cells, 0, block.cells.size());
        std::string fence(std::max<size_t>(3, longestBacktickRun(text) + 1), '`');
        std::string label;
        for (char c : block.fenceLabel)
            if (c != '`')
                label += c;
        lines.push_back(fence + label);
        for (auto& l : splitLines(text))
            lines.push_back(l);
        lines.push_back(fence);
        break;
    }
    case rbRule:
        lines.push_back("***");
        break;
    case rbTable: {
        if (block.rows.empty() || block.rows[0].empty())
            break;
        const size_t columns = block.rows[0].size();
        lines.push_back(writeTableRow(doc, block.rows[0], columns));
        std::string delim = "|";
        for (size_t c = 0; c < columns; ++c) {
            TableAlignment a = c < block.alignments.size() ? block.alignments[c] : taNone;
            delim += a == taLeft ? " :-- |" : a == taCenter ? " :-: |" : a == taRight ? " --: |" : " --- |";
        }
        lines.push_back(delim);
        for (size_t r = 1; r < block.rows.size(); ++r)
            lines.push_back(writeTableRow(doc, block.rows[r], columns));
        break;
    }
    case rbHtml:
        for (auto& l : splitLines(cellsToUtf8(block.cells, 0, block.cells.size())))
            lines.push_back(l);
        break;
    }
    return lines;
}

}  // namespace

std::string richDocToMarkdown(const RichDoc& doc)
{
    const std::vector<int32_t> numbers = orderedListNumbers(doc);
    std::string out;
    const RichBlock* previous = nullptr;
    std::vector<int32_t> previousNumbers;
    // Where the last placeholder line that this writer made begins, if it is
    // still the end of the text.
    std::vector<size_t> placeholders;
    for (size_t k = 0; k < doc.blocks.size(); ++k) {
        const RichBlock& block = *doc.blocks[k];
        const auto& markers = block.markers;
        std::vector<int32_t> itemNumbers(markers.size(), 1);
        for (size_t level = 0; level < markers.size(); ++level) {
            const bool innermost = level + 1 == markers.size();
            if (level < previousNumbers.size() && (!innermost || markers[level].emitted))
                itemNumbers[level] = previousNumbers[level];
        }
        if (!markers.empty() && markers.back().kind == lmOrdered && !markers.back().emitted)
            itemNumbers.back() = numbers[k] < 1 ? 0 : numbers[k];

        const std::string quote = [&] {
            std::string q;
            for (int32_t i = 0; i < block.quoteDepth; ++i)
                q += "> ";
            return q;
        }();
        std::string firstPrefix = quote, laterPrefix = quote;
        for (size_t level = 0; level < markers.size(); ++level) {
            const ListMarker& m = markers[level];
            const bool ordered = m.kind == lmOrdered;
            const std::string indent = listContinuationIndent(ordered, itemNumbers[level]);
            if (level + 1 == markers.size() && !m.emitted) {
                if (m.kind == lmBullet)
                    firstPrefix += "- ";
                else if (ordered)
                    firstPrefix += std::to_string(itemNumbers[level]) + ". ";
                else
                    firstPrefix += m.checked ? "- [x] " : "- [ ] ";
            } else {
                firstPrefix += indent;
            }
            laterPrefix += indent;
        }

        if (previous) {
            const bool tight = !markers.empty() && !markers.back().emitted && previous->quoteDepth == block.quoteDepth
                && (previous->kind == rbParagraph || previous->kind == rbHeading) && continuesList(*previous, block);
            if (!tight) {
                out += std::string(size_t(std::max(0, std::min(previous->quoteDepth, block.quoteDepth))), '>');
                out += '\n';
            }
        }

        bool placeholder = false;
        const std::vector<std::string> lines = blockLines(doc, block, placeholder);
        const size_t blockStart = out.size();
        for (size_t i = 0; i < lines.size(); ++i) {
            std::string line = (i == 0 ? firstPrefix : laterPrefix) + lines[i];
            if (lines[i].find_first_not_of(" \t") == std::string::npos) {
                size_t e = line.find_last_not_of(" \t");
                line.resize(e == std::string::npos ? 0 : e + 1);
            }
            out += line;
            out += '\n';
        }
        if (placeholder)
            placeholders.push_back(blockStart);
        previous = &block;
        previousNumbers = itemNumbers;
    }
    // A document that ends in empty paragraphs loses their placeholders and
    // the blank lines before them; text that merely looks like one stays.
    while (!placeholders.empty() && placeholders.back() + 7 == out.size()) {
        out.resize(placeholders.back());
        placeholders.pop_back();
        while (out.size() >= 2 && out[out.size() - 1] == '\n' && out[out.size() - 2] == '\n')
            out.pop_back();
    }
    std::string_view trimmed = out;
    while (!trimmed.empty()) {
        size_t begin = trimmed.size() - 1;
        while (begin > 0 && trimmed.size() - begin < 4 && (static_cast<unsigned char>(trimmed[begin]) & 0xC0) == 0x80)
            --begin;
        Utf8Step st = decodeUtf8(trimmed, begin);
        if (!st.valid || begin + st.length != trimmed.size() || !isUnicodeSpace(st.codePoint))
            break;
        trimmed.remove_suffix(st.length);
    }
    std::string result(trimmed);
    if (!result.empty())
        result += '\n';
    return result;
}

}  // namespace qm
