// The help pages' additions to Markdown: anchor lists after headings, ":::"
// boxes and links to other pages, plus the searchable text of a block.
#include <algorithm>

#include "core/ascii.h"
#include "core/unicode.h"
#include "core/utf8.h"
#include "docs/helpbook.h"

namespace qm {

namespace {

constexpr std::string_view kBoxOpen = "<!--quenmrk-box ";
constexpr std::string_view kBoxClose = "<!--quenmrk-box-end-->";

std::vector<std::string_view> splitHelpLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            lines.push_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    lines.push_back(text.substr(start));
    return lines;
}

std::string joinLines(const std::vector<std::string>& lines)
{
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i)
            out += '\n';
        out += lines[i];
    }
    return out;
}

std::string cellsText(const RichCells& cells)
{
    std::string s;
    for (const RichCell& c : cells)
        if (c.codePoint != kObjectReplacementChar)
            appendUtf8(s, uint32_t(c.codePoint));
    return s;
}

}  // namespace

bool isFenceLine(std::string_view line)
{
    line = trimAsciiBlanks(line);
    return line.substr(0, 3) == "```" || line.substr(0, 3) == "~~~";
}

HeadingAnchors parseHeadingAnchors(std::string_view line)
{
    HeadingAnchors result{std::string(line), {}};
    if (line.empty() || line.back() != '}')
        return result;
    const size_t brace = line.rfind('{');
    if (brace == std::string_view::npos)
        return result;
    std::string_view inside = trimAsciiBlanks(line.substr(brace + 1, line.size() - 1 - (brace + 1)));
    if (inside.empty() || inside.front() != '#')
        return result;
    std::vector<std::string> ids;
    size_t i = 0;
    while (i < inside.size()) {
        while (i < inside.size() && isAsciiBlank(inside[i]))
            ++i;
        size_t j = i;
        while (j < inside.size() && !isAsciiBlank(inside[j]))
            ++j;
        std::string_view piece = inside.substr(i, j - i);
        if (piece.size() > 1 && piece.front() == '#')
            ids.emplace_back(piece.substr(1));
        i = j;
    }
    if (ids.empty())
        return result;
    std::string_view title = line.substr(0, brace);
    while (!title.empty() && isAsciiBlank(title.back()))
        title.remove_suffix(1);
    return {std::string(title), std::move(ids)};
}

StrippedAnchors stripHeadingAnchors(std::string_view text)
{
    StrippedAnchors out;
    std::vector<std::string> lines;
    bool inFence = false;
    for (std::string_view line : splitHelpLines(text)) {
        if (isFenceLine(line))
            inFence = !inFence;
        if (inFence) {
            lines.emplace_back(line);
            continue;
        }
        size_t lead = 0;
        while (lead < line.size() && isAsciiBlank(line[lead]))
            ++lead;
        size_t hashes = 0;
        while (lead + hashes < line.size() && line[lead + hashes] == '#')
            ++hashes;
        const size_t after = lead + hashes;
        const bool heading = lead < 4 && hashes >= 1 && hashes <= 6
            && (after == line.size() || line[after] == ' ' || line[after] == '\t');
        if (!heading) {
            lines.emplace_back(line);
            continue;
        }
        HeadingAnchors h = parseHeadingAnchors(line);
        out.anchorLists.push_back(std::move(h.ids));
        lines.push_back(std::move(h.title));
    }
    out.text = joinLines(lines);
    return out;
}

std::string headingAnchorId(std::string_view title)
{
    std::string t(title);
    std::replace(t.begin(), t.end(), '\n', ' ');
    if (size_t p = t.find(" ("); p != std::string::npos)
        t.resize(p);
    if (size_t p = t.find(':'); p != std::string::npos)
        t.resize(p);
    const std::string lower = lowerCaseUtf8(trimAsciiBlanks(t));
    std::string id;
    bool pending = false;
    for (size_t i = 0; i < lower.size();) {
        Utf8Step s = decodeUtf8(lower, i);
        const uint32_t cp = s.valid ? s.codePoint : kReplacementChar;
        if (isUnicodeLetter(cp) || (cp >= '0' && cp <= '9')) {
            if (!id.empty() && pending)
                id += '-';
            pending = false;
            appendUtf8(id, cp);
        } else {
            pending = true;
        }
        i += s.length;
    }
    return id;
}

uint8_t helpBoxStyle(std::string_view kind)
{
    const std::string k = asciiLower(kind);
    return k == "warning" || k == "danger" || k == "experimental" ? 11 : 1;
}

HelpBoxes parseHelpBoxes(std::string_view text)
{
    std::vector<std::string> lines;
    for (std::string_view line : splitHelpLines(text)) {
        std::string_view s = trimAsciiBlanks(line);
        if (s == ":::") {
            lines.emplace_back();
            lines.emplace_back(kBoxClose);
            lines.emplace_back();
        } else if (s.substr(0, 3) == ":::") {
            lines.emplace_back();
            lines.push_back(std::string(kBoxOpen) + std::string(trimAsciiBlanks(s.substr(3))) + "-->");
            lines.emplace_back();
        } else {
            lines.emplace_back(line);
        }
    }
    HelpBoxes result;
    result.doc = markdownToRichDoc(joinLines(lines));
    std::vector<std::shared_ptr<RichBlock>> kept;
    std::vector<HelpBox> boxes;
    std::vector<size_t> open;
    for (auto& block : result.doc->blocks) {
        const std::string marker = block->kind == rbHtml ? std::string(trimAsciiBlanks(cellsText(block->cells))) : "";
        if (marker.size() >= kBoxOpen.size() + 3 && marker.compare(0, kBoxOpen.size(), kBoxOpen) == 0
            && marker.compare(marker.size() - 3, 3, "-->") == 0) {
            std::string_view inner =
                trimAsciiBlanks(std::string_view(marker).substr(kBoxOpen.size(), marker.size() - 3 - kBoxOpen.size()));
            const size_t space = inner.find(' ');
            std::string_view kind = inner.substr(0, space);
            std::string_view title = space == std::string_view::npos ? "" : trimAsciiBlanks(inner.substr(space + 1));
            HelpBox box;
            box.firstBlock = int32_t(kept.size());
            box.lastBlock = int32_t(kept.size()) - 1;
            box.title = std::string(title);
            box.style = helpBoxStyle(kind);
            open.push_back(boxes.size());
            boxes.push_back(std::move(box));
            continue;
        }
        if (marker == kBoxClose) {
            if (!open.empty()) {
                boxes[open.back()].lastBlock = int32_t(kept.size()) - 1;
                open.pop_back();
            }
            continue;
        }
        kept.push_back(block);
    }
    for (size_t i : open)
        boxes[i].lastBlock = int32_t(kept.size()) - 1;
    result.doc->blocks = std::move(kept);
    for (auto& b : boxes)
        if (b.lastBlock >= b.firstBlock)
            result.boxes.push_back(std::move(b));
    return result;
}

std::string resolveHelpLink(std::string_view target)
{
    if (target.empty())
        return {};
    if (target.find("://") != std::string_view::npos || target.front() == '#' || target.substr(0, 7) == "mailto:"
        || target.substr(0, 5) == "help:")
        return std::string(target);
    if (target.substr(0, 2) == "./")
        target.remove_prefix(2);
    return "help:" + std::string(target);
}

std::string richBlockPlainText(const RichBlock& block)
{
    switch (block.kind) {
    case rbRule:
        return {};
    case rbTable: {
        std::string s;
        for (const auto& row : block.rows)
            for (const auto& cell : row) {
                s += cellsText(cell);
                s += ' ';
            }
        return s;
    }
    default:
        return cellsText(block.cells);
    }
}

}  // namespace qm
