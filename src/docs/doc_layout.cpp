// Document layout. Runs are measured lazily: a text run is measured only as
// far as the line it must fit on, so that a long token cut over many lines
// costs time linear in its length, and a run that fits is measured whole.
#include "docs/doc_layout.h"

#include <algorithm>
#include <cmath>

#include "core/unicode.h"
#include "core/utf8.h"

namespace qm {

namespace {

bool isSpaceCode(int32_t cp) { return cp == 32 || cp == 9; }

struct Em {
    double em;
    explicit Em(const LayoutMetrics& m)
        : em(m.baseSize * m.scale)
    {
    }
    double operator()(double f) const { return f * em; }
};

// Byte offsets of the cell boundaries of a run's text; tabs widen to four
// spaces for measuring.
void measuredText(std::string_view text, size_t cells, std::string& out, std::vector<size_t>& ends)
{
    out.clear();
    ends.clear();
    for (size_t i = 0; i < text.size() && ends.size() < cells;) {
        Utf8Step s = decodeUtf8(text, i);
        if (text[i] == '\t')
            out += "    ";
        else
            out.append(text.substr(i, s.length));
        i += s.length;
        ends.push_back(out.size());
    }
}

size_t cellCount(const StyledRun& run) { return size_t(std::max(0, run.end - run.start)); }

// Measures the first `cells` cells of a text run into its advances.
void measurePrefix(const LayoutMetrics& metrics, StyledRun& run, size_t cells)
{
    std::string text;
    std::vector<size_t> ends;
    measuredText(run.text, cells, text, ends);
    run.advances.assign(1, 0.0);
    if (metrics.prefixWidths) {
        std::vector<double> widths;
        metrics.prefixWidths(text, ends, run.style, run.size, widths);
        widths.resize(ends.size(), 0.0);
        run.advances.insert(run.advances.end(), widths.begin(), widths.end());
    } else {
        for (size_t e : ends)
            run.advances.push_back(metrics.measureText(std::string_view(text).substr(0, e), run.style, run.size));
    }
}

// Measures a run whole, or, for a text run wider than `limit`, only far
// enough to know that and to find where it must be cut.
void measureUpTo(const LayoutMetrics& metrics, StyledRun& run, double limit)
{
    if (run.isImage || run.isLineFeed || run.isSpace) {
        measureRun(metrics, run);
        return;
    }
    const size_t total = cellCount(run);
    size_t cells = std::min<size_t>(total, 64);
    for (;;) {
        measurePrefix(metrics, run, cells);
        if (cells == total) {
            run.partial = false;
            run.width = run.advances.back();
            return;
        }
        if (!(run.advances.back() <= limit)) {  // a NaN width counts as too wide
            run.partial = true;
            run.width = HUGE_VAL;
            return;
        }
        cells = std::min(total, cells * 2);
    }
}

// A run of the cells [from, to) of `run` (offsets relative to the run). Only
// the cells up to the cut are decoded, so cutting a long run line by line
// stays linear.
StyledRun subRun(const StyledRun& run, size_t from, size_t to)
{
    auto skipCells = [&](size_t byte, size_t cells) {
        for (; cells > 0 && byte < run.text.size(); --cells)
            byte += decodeUtf8(run.text, byte).length;
        return byte;
    };
    const size_t byteFrom = skipCells(0, from);
    const size_t byteTo = to >= cellCount(run) ? run.text.size() : skipCells(byteFrom, to - from);
    StyledRun r;
    r.text = run.text.substr(byteFrom, byteTo - byteFrom);
    r.start = run.start + int32_t(from);
    r.end = run.start + int32_t(to);
    r.style = run.style;
    r.size = run.size;
    r.colour = run.colour;
    r.marks = run.marks;
    r.link = run.link;
    r.isSpace = run.isSpace;
    return r;
}

struct WorkLine {
    std::vector<StyledRun> runs;
    double width = 0;
    double ascent = 0;
    double descent = 0;
};

double tabWidth(const LayoutMetrics& metrics, double size)
{
    double t = metrics.measureText("    ", fsRegular, size);
    return (t <= 1e-6 || std::isnan(t)) ? 1e-6 : t;
}

void appendRunToLine(StyledRun run, WorkLine& line, double tab)
{
    if (run.isTab) {
        const double x = line.width;
        const double w = (std::floor(x / tab + 1e-6) + 1) * tab - x;
        run.width = w;
        run.advances = {0.0, w};
    }
    line.width += run.width;
    line.runs.push_back(std::move(run));
}

std::vector<WorkLine> wrapRunsIntoLines(
    const LayoutMetrics& metrics, std::vector<StyledRun> runs, double width, double size, BlockStyle style)
{
    const double limit = width + 0.01;
    for (auto& r : runs)
        measureUpTo(metrics, r, limit);
    const double tab = tabWidth(metrics, size);
    std::vector<WorkLine> lines(1);
    auto newLine = [&] { lines.emplace_back(); };
    size_t o = 0;
    // The run being treated; a split puts the rest of a run here.
    std::optional<StyledRun> pending;
    auto current = [&]() -> StyledRun& { return pending ? *pending : runs[o]; };
    auto advance = [&] {
        if (pending)
            pending.reset();
        ++o;
    };
    while (o < runs.size()) {
        StyledRun& run = current();
        WorkLine& line = lines.back();
        if (run.isLineFeed) {
            appendRunToLine(run, line, tab);
            advance();
            newLine();
            continue;
        }
        if (run.isSpace) {
            appendRunToLine(run, line, tab);
            advance();
            continue;
        }
        // The word: runs up to the next whitespace or line feed.
        size_t wordEnd = o + 1;
        double r = run.width;
        while (wordEnd < runs.size() && !runs[wordEnd].isSpace && !runs[wordEnd].isLineFeed) {
            r += runs[wordEnd].width;
            ++wordEnd;
        }
        const double remaining = width - line.width;
        const bool holdsRuns = !line.runs.empty();
        if (r <= remaining + 0.01 || (!holdsRuns && r <= width + 0.01)) {
            appendRunToLine(run, line, tab);
            advance();
            for (; o < wordEnd; ++o)
                appendRunToLine(runs[o], lines.back(), tab);
            continue;
        }
        if (holdsRuns && r <= width + 0.01) {
            newLine();
            continue;
        }
        if (remaining < 0.3 * width && holdsRuns) {
            newLine();
            continue;
        }
        // Split the word run by run, from this run on.
        const double left = width - line.width;
        if (!run.partial && run.width <= left + 0.01) {
            appendRunToLine(run, line, tab);
            advance();
            continue;
        }
        if (run.isImage) {
            if (holdsRuns)
                newLine();
            appendRunToLine(run, lines.back(), tab);
            advance();
            newLine();
            continue;
        }
        size_t n = 0;
        for (size_t i = 1; i < run.advances.size(); ++i)
            if (run.advances[i] <= left + 0.01)
                n = i;
        if (n == 0 && holdsRuns) {
            newLine();
            continue;
        }
        n = std::max<size_t>(n, 1);
        const size_t cells = cellCount(run);
        if (n >= cells) {
            // A single character wider than the line: it has no rest to carry over.
            appendRunToLine(run, line, tab);
            advance();
            continue;
        }
        StyledRun head = subRun(run, 0, n);
        measureRun(metrics, head);
        StyledRun rest = subRun(run, n, cells);
        appendRunToLine(std::move(head), line, tab);
        newLine();
        measureUpTo(metrics, rest, limit);
        pending = std::move(rest);
    }
    const uint8_t base = style.preformatted ? fsMono : fsRegular;
    for (auto& l : lines) {
        l.ascent = metrics.ascent(base, size);
        l.descent = metrics.descent(base, size);
        for (const auto& r : l.runs) {
            if (r.isImage) {
                l.ascent = std::max(l.ascent, r.imageHeight);
            } else {
                l.ascent = std::max(l.ascent, metrics.ascent(r.style, r.size));
                l.descent = std::max(l.descent, metrics.descent(r.style, r.size));
            }
        }
    }
    return lines;
}

}  // namespace

uint8_t fontStyleCode(uint8_t marks, bool forceBold)
{
    if (marks & (rmCode | rmRawHtml))
        return fsMono;
    const bool bold = (marks & rmStrong) || forceBold;
    const bool italic = marks & rmEmphasis;
    return bold && italic ? fsBoldItalic : bold ? fsBold : italic ? fsItalic : fsRegular;
}

double scaledSize(const LayoutMetrics& metrics, double factor) { return metrics.baseSize * factor * metrics.scale; }

std::vector<StyledRun> cellsToRuns(const LayoutMetrics& metrics, const RichDoc& document, const RichCells& cells,
    double size, BlockStyle style, double availableWidth)
{
    const Em em(metrics);
    const bool pre = style.preformatted;
    std::vector<StyledRun> runs;
    const size_t n = cells.size();
    for (size_t i = 0; i < n;) {
        const RichCell& c = cells[i];
        StyledRun run;
        run.start = int32_t(i);
        run.size = size;
        run.colour = style.colour;
        if (c.codePoint == 10) {
            run.end = int32_t(i + 1);
            run.style = pre ? fsMono : fsRegular;
            run.isLineFeed = true;
            runs.push_back(std::move(run));
            ++i;
            continue;
        }
        const bool image = !pre && c.codePoint == kObjectReplacementChar && c.link >= 1
            && size_t(c.link) <= document.links.size() && document.links[size_t(c.link) - 1].isImage;
        if (image) {
            const RichLink& l = document.links[size_t(c.link) - 1];
            run.end = int32_t(i + 1);
            run.text = l.alt;
            run.destination = l.destination;
            run.style = fsRegular;
            run.link = c.link;
            run.marks = c.marks;
            run.isImage = true;
            double w = 0, h = 0;
            bool sized = false;
            if (metrics.imageSize) {
                ImageSize s = metrics.imageSize(l.destination);
                if (s.width > 0 && s.height > 0) {
                    w = s.width;
                    h = s.height;
                    sized = true;
                }
            }
            if (!sized) {
                w = std::min(availableWidth, em(12));
                h = em(3);
            }
            if (availableWidth < w && w > 0) {
                h = h * availableWidth / w;
                w = availableWidth;
            }
            if (h > em(24)) {
                w = w * em(24) / h;
                h = em(24);
            }
            run.imageWidth = w;
            run.imageHeight = h;
            runs.push_back(std::move(run));
            ++i;
            continue;
        }
        if (!pre && c.codePoint == 9) {
            run.end = int32_t(i + 1);
            run.text = "\t";
            run.isSpace = run.isTab = true;
            run.style = fontStyleCode(c.marks, style.forceBold);
            run.marks = c.marks;
            run.link = c.link;
            runs.push_back(std::move(run));
            ++i;
            continue;
        }
        const bool space = isSpaceCode(c.codePoint);
        const int32_t link = pre ? 0 : c.link;
        size_t j = i + 1;
        // A U+FFFC that is no image stays a run of its own.
        while (j < n && !(!pre && c.codePoint == kObjectReplacementChar)) {
            const RichCell& d = cells[j];
            if (d.codePoint == 10)
                break;
            if (!pre && (d.marks != c.marks || d.codePoint == 9 || d.codePoint == kObjectReplacementChar))
                break;
            if ((pre ? 0 : d.link) != link)
                break;
            if (isSpaceCode(d.codePoint) != space)
                break;
            ++j;
        }
        run.end = int32_t(j);
        for (size_t k = i; k < j; ++k)
            appendUtf8(run.text, uint32_t(cells[k].codePoint));
        run.marks = pre ? 0 : c.marks;
        run.link = link;
        run.isSpace = space;
        if (pre) {
            run.style = fsMono;
        } else {
            run.style = fontStyleCode(c.marks, style.forceBold);
            if (link)
                run.colour = 2;
            else if (c.marks & rmRawHtml)
                run.colour = 9;
            else if (c.marks & rmCode)
                run.colour = 3;
            if (c.marks & (rmCode | rmRawHtml))
                run.size = 0.9 * size;
        }
        runs.push_back(std::move(run));
        i = j;
    }
    return runs;
}

void measureRun(const LayoutMetrics& metrics, StyledRun& run)
{
    run.partial = false;
    if (run.isImage) {
        run.width = run.imageWidth;
        run.advances = {0.0, run.imageWidth};
        return;
    }
    if (run.isLineFeed) {
        run.width = 0;
        run.advances = {0.0};
        return;
    }
    measurePrefix(metrics, run, cellCount(run));
    run.width = run.advances.back();
}

std::vector<TextLine> layoutTextBlock(const LayoutMetrics& metrics, const RichDoc& document, const RichCells& cells,
    double size, BlockStyle style, CellPosition position, double leftX, double width, TableAlignment alignment)
{
    const Em em(metrics);
    std::vector<WorkLine> work =
        wrapRunsIntoLines(metrics, cellsToRuns(metrics, document, cells, size, style, width), width, size, style);
    const double gap = 0.32 * size * metrics.scale;
    std::vector<TextLine> out;
    out.reserve(work.size());
    int32_t lastEnd = 0;
    bool previousHadRuns = false;
    for (size_t li = 0; li < work.size(); ++li) {
        const WorkLine& wl = work[li];
        TextLine line;
        const double baseline = 0.5 * gap + wl.ascent;
        line.advance = wl.ascent + wl.descent + gap;
        line.top = 0.25 * gap;
        line.bottom = 0.75 * gap + wl.ascent + wl.descent;
        double visible = wl.width;
        for (size_t r = wl.runs.size(); r-- > 0;) {
            if (!(wl.runs[r].isSpace || wl.runs[r].isLineFeed))
                break;
            visible -= wl.runs[r].width;
        }
        double x = leftX;
        if (alignment == taRight)
            x = leftX + std::max(0.0, width - visible);
        else if (alignment == taCenter)
            x = leftX + std::max(0.0, (width - visible) * 0.5);
        line.position = position;
        if (!wl.runs.empty())
            line.position.firstCell = wl.runs.front().start;
        else
            line.position.firstCell = previousHadRuns ? lastEnd : 0;
        line.xPositions.push_back(x);
        for (const StyledRun& run : wl.runs) {
            for (size_t a = 1; a < run.advances.size(); ++a)
                line.xPositions.push_back(x + run.advances[a]);
            if (run.isImage) {
                PlacedItem item;
                item.kind = piImage;
                item.x = x;
                item.y = baseline - run.imageHeight;
                item.w = run.imageWidth;
                item.h = run.imageHeight;
                item.text = run.text;
                item.destination = run.destination;
                line.items.push_back(std::move(item));
            } else if (!run.isSpace || (run.marks & (rmCode | rmStrikethrough)) || run.link) {
                const double a = metrics.ascent(run.style, run.size);
                const double d = metrics.descent(run.style, run.size);
                if ((run.marks & rmCode) && !style.preformatted) {
                    PlacedItem rect;
                    rect.kind = piRect;
                    rect.x = x - em(0.12);
                    rect.y = baseline - a - em(0.05);
                    rect.w = run.width + em(0.24);
                    rect.h = a + d + em(0.1);
                    rect.colour = 4;
                    line.items.push_back(std::move(rect));
                }
                if (!run.isSpace) {
                    PlacedItem text;
                    text.kind = piText;
                    text.x = x;
                    text.y = baseline;
                    text.w = run.width;
                    for (char ch : run.text) {
                        if (ch == '\t')
                            text.text += "    ";
                        else
                            text.text += ch;
                    }
                    text.style = run.style;
                    text.size = run.size;
                    text.colour = run.colour;
                    line.items.push_back(std::move(text));
                }
                if (run.marks & rmStrikethrough) {
                    PlacedItem strike;
                    strike.kind = piLine;
                    strike.x = x;
                    strike.y = baseline - 0.32 * a;
                    strike.w = run.width;
                    strike.colour = run.colour;
                    line.items.push_back(std::move(strike));
                }
                if (run.link) {
                    PlacedItem underline;
                    underline.kind = piLine;
                    underline.x = x;
                    underline.y = baseline + 0.45 * d;
                    underline.w = run.width;
                    underline.colour = 2;
                    line.items.push_back(std::move(underline));
                }
            }
            x += run.width;
        }
        if (!wl.runs.empty()) {
            lastEnd = wl.runs.back().end;
            previousHadRuns = true;
        } else {
            previousHadRuns = false;
        }
        line.isLast = li + 1 == work.size();
        out.push_back(std::move(line));
    }
    return out;
}

double blockIndent(const LayoutMetrics& metrics, const RichBlock& block)
{
    const Em em(metrics);
    double left = double(block.markers.size()) * em(1.6);
    if (block.quoteDepth >= 1)
        left += em(1) + double(block.quoteDepth - 1) * em(1.1);
    return left;
}

double headingSizeFactor(int32_t level)
{
    switch (level) {
    case 1:
        return 1.85;
    case 2:
        return 1.5;
    case 3:
        return 1.25;
    case 4:
        return 1.1;
    case 5:
        return 1.0;
    default:
        return 0.92;
    }
}

int calloutKind(const RichBlock& block)
{
    std::string text;
    for (const RichCell& c : block.cells) {
        if (!(c.marks & rmStrong))
            break;
        appendUtf8(text, uint32_t(c.codePoint));
    }
    std::u32string cps = decodeUtf8LenientAll(text);
    auto space = [](char32_t c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == 0x85 || c == 0xA0
            || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F
            || c == 0x3000;
    };
    while (!cps.empty() && space(cps.front()))
        cps.erase(cps.begin());
    while (!cps.empty() && space(cps.back()))
        cps.pop_back();
    if (cps.size() < 2 || cps.size() > 22 || cps.back() != ':')
        return 0;
    auto letter = [](char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!letter(cps.front()))
        return 0;
    std::string word;
    for (size_t i = 0; i + 1 < cps.size(); ++i) {
        if (!letter(cps[i]) && cps[i] != ' ')
            return 0;
        word += char(cps[i] >= 'A' && cps[i] <= 'Z' ? cps[i] + 32 : cps[i]);
    }
    if (word == "tip")
        return 2;
    if (word == "warning" || word == "caution")
        return 3;
    if (word == "danger")
        return 4;
    return 1;
}

namespace {

LaidOutLine laidOut(const TextLine& t) { return {t.position, t.xPositions, t.top, t.bottom, t.isLast}; }

// Adds a text line to a band, `dy` below the band's top.
void placeLine(LaidOutBlock& band, const TextLine& l, double dy)
{
    for (PlacedItem item : l.items) {
        item.y += dy;
        band.items.push_back(std::move(item));
    }
    LaidOutLine ll = laidOut(l);
    ll.top += dy;
    ll.bottom += dy;
    band.lines.push_back(std::move(ll));
}

void shiftBand(LaidOutBlock& band, double dy)
{
    for (auto& item : band.items)
        item.y += dy;
    for (auto& line : band.lines) {
        line.top += dy;
        line.bottom += dy;
    }
}

PlacedItem lineItem(double x, double y, double w, double h, uint8_t colour)
{
    PlacedItem item;
    item.kind = piLine;
    item.x = x;
    item.y = y;
    item.w = w;
    item.h = h;
    item.colour = colour;
    return item;
}

PlacedItem rectItem(double x, double y, double w, double h, uint8_t colour)
{
    PlacedItem item = lineItem(x, y, w, h, colour);
    item.kind = piRect;
    return item;
}

void layoutTable(const LayoutMetrics& metrics, const RichDoc& doc, const RichBlock& block, int32_t k, double left,
    double cw, std::vector<LaidOutBlock>& bands)
{
    const Em em(metrics);
    if (block.rows.empty() || block.rows[0].empty())
        return;
    const size_t columns = block.rows[0].size();
    static const RichCells empty;
    auto cellAt = [&](size_t r, size_t c) -> const RichCells& {
        return c < block.rows[r].size() ? block.rows[r][c] : empty;
    };
    std::vector<double> widths(columns, 0.0);
    for (size_t r = 0; r < block.rows.size(); ++r) {
        for (size_t c = 0; c < columns; ++c) {
            BlockStyle style{r == 0, 0, false};
            double sum = 0;
            for (auto& run : cellsToRuns(metrics, doc, cellAt(r, c), metrics.baseSize, style, cw)) {
                measureRun(metrics, run);
                sum += run.width;
            }
            widths[c] = std::max(widths[c], sum + em(1));
        }
    }
    for (auto& w : widths)
        w = std::max(w, em(3));
    double total = 0, slack = 0;
    for (double w : widths)
        total += w;
    if (total > cw) {
        for (double w : widths)
            slack += std::max(0.0, w - em(3));
        if (slack > 0) {
            const double excess = total - cw;
            for (auto& w : widths)
                w -= std::max(0.0, w - em(3)) * excess / slack;
        }
    }
    double tw = 0;
    for (double w : widths)
        tw += w;
    for (size_t r = 0; r < block.rows.size(); ++r) {
        double x = left, rowHeight = 0;
        std::vector<std::vector<TextLine>> cellLines(columns);
        for (size_t c = 0; c < columns; ++c) {
            const TableAlignment a = c < block.alignments.size() ? block.alignments[c] : taNone;
            cellLines[c] = layoutTextBlock(metrics, doc, cellAt(r, c), metrics.baseSize, BlockStyle{r == 0, 0, false},
                CellPosition{k, int32_t(r), int32_t(c), 0}, x + em(0.5), std::max(widths[c] - em(1), em(1)), a);
            double h = 0;
            for (const auto& l : cellLines[c])
                h += l.advance;
            rowHeight = std::max(rowHeight, h + em(0.6));
            x += widths[c];
        }
        LaidOutBlock band;
        band.blockIndex = k;
        band.height = rowHeight;
        if (r == 0)
            band.items.push_back(rectItem(left, 0, tw, rowHeight, 8));
        for (size_t c = 0; c < columns; ++c) {
            double dy = em(0.3);
            for (const auto& l : cellLines[c]) {
                placeLine(band, l, dy);
                dy += l.advance;
            }
        }
        band.items.push_back(lineItem(left, 0, tw, 0, 7));
        if (r + 1 == block.rows.size())
            band.items.push_back(lineItem(left, rowHeight, tw, 0, 7));
        double bx = left;
        band.items.push_back(lineItem(bx, 0, 0, rowHeight, 7));
        for (size_t c = 0; c < columns; ++c) {
            bx += widths[c];
            band.items.push_back(lineItem(bx, 0, 0, rowHeight, 7));
        }
        bands.push_back(std::move(band));
    }
}

struct CalloutColours {
    uint8_t background, bar, title;
};

CalloutColours calloutColours(int kind)
{
    switch (kind) {
    case 2:
        return {12, 13, 13};
    case 3:
        return {15, 14, 16};
    case 4:
        return {17, 11, 11};
    case 1:
        return {12, 5, 2};
    default:
        return {12, 5, 0};
    }
}

}  // namespace

DocLayout layoutDocument(
    const RichDoc& doc, const LayoutMetrics& metrics, double width, const std::vector<HelpBox>& boxes)
{
    const Em em(metrics);
    const double W = width;
    DocLayout layout;
    layout.width = width;
    double y = 0;
    const std::vector<int32_t> numbers = orderedListNumbers(doc);
    int groupCallout = 0;
    auto place = [&](LaidOutBlock band) {
        band.y = y;
        y += band.height;
        layout.blocks.push_back(std::move(band));
    };
    const size_t count = doc.blocks.size();
    for (size_t k = 0; k < count; ++k) {
        const RichBlock& block = *doc.blocks[k];
        const RichBlock* prev = k > 0 ? doc.blocks[k - 1].get() : nullptr;
        const RichBlock* next = k + 1 < count ? doc.blocks[k + 1].get() : nullptr;
        const HelpBox* box = nullptr;
        for (const auto& b : boxes)
            if (int32_t(k) >= b.firstBlock && int32_t(k) <= b.lastBlock)
                box = &b;

        double s = 0;
        if (k > 0) {
            s = em(0.55);
            if (!block.markers.empty() && prev && !prev->markers.empty() && block.kind == rbParagraph
                && prev->kind == rbParagraph && !block.markers.back().emitted)
                s = em(0.18);
            if (block.kind == rbHeading)
                s = block.level <= 2 ? em(1.0) : em(0.8);
        }
        if (box && box->firstBlock == int32_t(k)) {
            const double g = k == 0 ? 0 : em(0.9);
            const double a = metrics.ascent(fsRegular, metrics.baseSize);
            const double d = metrics.descent(fsRegular, metrics.baseSize);
            const double tw = metrics.measureText(box->title, fsRegular, metrics.baseSize);
            const double h = g + a + d;
            const double m = g + (a + d) * 0.5;
            LaidOutBlock header;
            header.blockIndex = int32_t(k);
            header.height = h;
            header.items.push_back(lineItem(0, m, em(0.6), 0, box->style));
            PlacedItem title;
            title.kind = piText;
            title.x = em(0.9);
            title.y = g + a;
            title.w = tw;
            title.text = box->title;
            title.style = fsRegular;
            title.size = metrics.baseSize;
            title.colour = box->style;
            header.items.push_back(std::move(title));
            header.items.push_back(lineItem(tw + em(1.2), m, std::max(0.0, W - em(1.2) - tw), 0, box->style));
            header.items.push_back(lineItem(0, m, 0, h - m, box->style));
            header.items.push_back(lineItem(W, m, 0, h - m, box->style));
            place(std::move(header));
            s = em(0.35);
        }
        const double boxPad = box ? em(1) : 0;
        const double left = blockIndent(metrics, block) + boxPad;
        const double cw = std::max(W - left - boxPad, em(4));

        std::vector<LaidOutBlock> bands;
        auto textBands = [&](const std::vector<TextLine>& lines) {
            for (const auto& l : lines) {
                LaidOutBlock band;
                band.blockIndex = int32_t(k);
                band.height = l.advance;
                placeLine(band, l, 0);
                bands.push_back(std::move(band));
            }
        };
        const CellPosition pos{int32_t(k), 0, 0, 0};
        switch (block.kind) {
        case rbParagraph:
            textBands(
                layoutTextBlock(metrics, doc, block.cells, metrics.baseSize, BlockStyle{}, pos, left, cw, taNone));
            break;
        case rbHeading: {
            const double size = metrics.baseSize * headingSizeFactor(block.level);
            textBands(layoutTextBlock(metrics, doc, block.cells, size,
                BlockStyle{true, uint8_t(block.level == 6 ? 1 : 0), false}, pos, left, cw, taNone));
            if (block.level <= 2 && !bands.empty()) {
                LaidOutBlock& last = bands.back();
                last.height += em(0.3);
                last.items.push_back(lineItem(left, last.height - em(0.12), cw, 0, 6));
            }
            break;
        }
        case rbCode:
        case rbHtml: {
            const bool code = block.kind == rbCode;
            const double p = em(0.6);
            auto lines = layoutTextBlock(metrics, doc, block.cells, 0.9 * metrics.baseSize,
                BlockStyle{false, uint8_t(code ? 3 : 9), true}, pos, left + p, std::max(cw - 2 * p, em(2)), taNone);
            for (size_t i = 0; i < lines.size(); ++i) {
                const TextLine& l = lines[i];
                LaidOutBlock band;
                band.blockIndex = int32_t(k);
                const double topPad = i == 0 ? 0.7 * p : 0;
                const double bottomPad = i + 1 == lines.size() ? 0.7 * p : 0;
                band.height = l.advance + topPad + bottomPad;
                band.items.push_back(rectItem(left, 0, cw, band.height, code ? 4 : 8));
                placeLine(band, l, topPad);
                bands.push_back(std::move(band));
            }
            if (!block.fenceLabel.empty() && !bands.empty()) {
                const double size = 0.72 * metrics.baseSize;
                PlacedItem label;
                label.kind = piText;
                label.w = metrics.measureText(block.fenceLabel, fsRegular, size);
                label.x = left + cw - label.w - em(0.4);
                label.y = metrics.ascent(fsRegular, size) + em(0.2);
                label.text = block.fenceLabel;
                label.style = fsRegular;
                label.size = size;
                label.colour = 1;
                bands.front().items.push_back(std::move(label));
            }
            break;
        }
        case rbRule: {
            LaidOutBlock band;
            band.blockIndex = int32_t(k);
            band.height = em(1.2);
            band.items.push_back(lineItem(left, em(0.6), cw, 0, 6));
            band.lines.push_back({pos, {left}, em(1.2) * 0.15, em(1.2) * 0.85, true});
            bands.push_back(std::move(band));
            break;
        }
        case rbTable:
            layoutTable(metrics, doc, block, int32_t(k), left, cw, bands);
            break;
        }
        if (bands.empty())
            continue;

        // Spacing above.
        bands.front().height += s;
        shiftBand(bands.front(), s);

        // List marker of an item's first block.
        if (!block.markers.empty() && !block.markers.back().emitted) {
            LaidOutBlock& band = bands.front();
            const ListMarker& marker = block.markers.back();
            const double mx = left - em(1.6);
            double b = metrics.ascent(fsRegular, metrics.baseSize) + s + em(0.16);
            if (!band.lines.empty())
                for (const auto& item : band.items)
                    if (item.kind == piText) {
                        b = item.y;
                        break;
                    }
            PlacedItem item;
            item.colour = 10;
            if (marker.kind == lmTask) {
                item.kind = piTaskBox;
                item.x = mx + em(0.3);
                item.y = b - em(0.72);
                item.w = item.h = em(0.85);
                item.checked = marker.checked;
                item.tag = int32_t(k);
            } else if (marker.kind == lmOrdered) {
                item.kind = piText;
                item.text = std::to_string(numbers[k]) + ".";
                item.style = fsRegular;
                item.size = metrics.baseSize;
                item.w = metrics.measureText(item.text, fsRegular, metrics.baseSize);
                item.x = mx + em(1.3) - item.w;
                item.y = b;
            } else {
                item.kind = piBullet;
                item.x = mx + em(0.58);
                item.y = b - em(0.49);
                item.w = item.h = em(0.34);
                item.tag = int32_t((block.markers.size() - 1) % 3);
            }
            band.items.push_back(std::move(item));
        }

        // Block quotes and callouts.
        if (block.quoteDepth >= 1) {
            const bool starts = !prev || prev->quoteDepth == 0;
            const bool ends = !next || next->quoteDepth == 0;
            if (starts) {
                groupCallout = calloutKind(block);
                bands.front().height += em(0.55);
                shiftBand(bands.front(), em(0.55));
            }
            if (ends)
                bands.back().height += em(0.55);
            const CalloutColours colours = calloutColours(groupCallout);
            if (starts && groupCallout != 0) {
                for (auto& item : bands.front().items)
                    if (item.kind == piText) {
                        if (item.style == fsBold || item.style == fsBoldItalic)
                            item.colour = colours.title;
                        break;
                    }
            }
            for (size_t bi = 0; bi < bands.size(); ++bi) {
                LaidOutBlock& band = bands[bi];
                const double t = (bi == 0 && starts) ? s : 0;
                std::vector<PlacedItem> front;
                front.push_back(rectItem(0, t, W, band.height - t, colours.background));
                front.push_back(rectItem(0, t, em(0.25), band.height - t, colours.bar));
                for (int32_t j = block.quoteDepth - 1; j >= 1; --j) {
                    const double tj = (bi == 0 && !(prev && prev->quoteDepth > j)) ? s : 0;
                    front.push_back(rectItem(em(1.1) * j + em(0.15), tj, em(0.22), band.height - tj, 5));
                }
                band.items.insert(band.items.begin(), front.begin(), front.end());
            }
        }

        if (box) {
            for (auto& band : bands) {
                band.items.push_back(lineItem(0, 0, 0, band.height, box->style));
                band.items.push_back(lineItem(W, 0, 0, band.height, box->style));
            }
        }
        for (auto& band : bands)
            place(std::move(band));
        if (box && box->lastBlock == int32_t(k)) {
            LaidOutBlock end;
            end.blockIndex = int32_t(k);
            end.height = em(0.7);
            end.items.push_back(lineItem(0, 0, 0, em(0.7), box->style));
            end.items.push_back(lineItem(W, 0, 0, em(0.7), box->style));
            end.items.push_back(lineItem(0, em(0.7), W, 0, box->style));
            place(std::move(end));
        }
    }
    layout.height = y;
    return layout;
}

}  // namespace qm
