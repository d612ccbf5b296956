#include "ui/wrap.h"

#include "core/utf8.h"
#include "ui/text_measure.h"
#include "ui/wrap_internal.h"

#include <algorithm>

namespace qm {

namespace {

template <typename F>
void forEachPiece(std::string_view text, char sep, F f)
{
    size_t start = 0;
    for (;;) {
        size_t at = text.find(sep, start);
        f(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos)
            return;
        start = at + 1;
    }
}

// Adds a text's code points, a 0x01 counting as a space.
void addMeasured(RunningWidth& w, std::string_view text)
{
    for (size_t at = 0; at < text.size();) {
        Utf8Step step = decodeUtf8(text, at);
        at += step.length;
        w.add(step.codePoint == 1 ? uint32_t(' ') : step.codePoint);
    }
}

// Splits a word wider than the line between code points: every piece but
// the last fills a line of its own (at least one code point each), and the
// last one starts the line that follows.
void breakWord(
    std::string_view word, double maxWidth, std::vector<std::string>& lines, std::string& line, RunningWidth& lineWidth)
{
    lineWidth.reset();
    size_t start = 0;
    for (size_t at = 0; at < word.size();) {
        Utf8Step step = decodeUtf8(word, at);
        uint32_t codePoint = step.codePoint == 1 ? uint32_t(' ') : step.codePoint;
        if (at > start && lineWidth.peek(codePoint) > maxWidth) {
            lines.emplace_back(word.substr(start, at - start));
            start = at;
            lineWidth.reset();
        }
        lineWidth.add(codePoint);
        at += step.length;
    }
    line = std::string(word.substr(start));
}

}  // namespace

std::vector<std::string> wrapText(
    UiContext& ctx, std::string_view text, double maxWidth, double size, LongWords longWords)
{
    if (size <= 0)
        size = fontSize(ctx);
    std::vector<std::string> lines;
    GlyphAtlas& atlas = *ctx.font;
    forEachPiece(text, '\n', [&](std::string_view paragraph) {
        std::string line;
        // The line's width so far, kept instead of measuring every candidate
        // from its start: the sums run in textWidth's order, so the widths
        // are the same to the bit.
        RunningWidth lineWidth(atlas, size);
        forEachPiece(paragraph, ' ', [&](std::string_view word) {
            RunningWidth candidate = lineWidth;
            if (!line.empty())
                candidate.add(uint32_t(' '));
            addMeasured(candidate, word);
            if (candidate.total > maxWidth && (!line.empty() || longWords == LongWords::breakApart)) {
                if (!line.empty())
                    lines.push_back(std::move(line));
                line = std::string(word);
                lineWidth.reset();
                addMeasured(lineWidth, word);
                if (lineWidth.total > maxWidth && longWords == LongWords::breakApart)
                    breakWord(word, maxWidth, lines, line, lineWidth);
            } else {
                if (!line.empty())
                    line += ' ';
                line += word;
                lineWidth = candidate;
            }
        });
        lines.push_back(std::move(line));
    });
    return lines;
}

std::vector<std::string> wrapTextLiteral(UiContext& ctx, std::string_view text, double maxWidth, double size)
{
    if (size <= 0)
        size = fontSize(ctx);
    std::vector<std::string> lines;
    forEachPiece(text, '\n', [&](std::string_view paragraph) {
        std::string line;
        forEachPiece(paragraph, ' ', [&](std::string_view word) {
            std::string candidate = line.empty() ? std::string(word) : line + " " + std::string(word);
            std::string measured = candidate;
            std::replace(measured.begin(), measured.end(), '\x01', ' ');
            double width = textWidth(*ctx.font, measured, size);
            if (width > maxWidth && !line.empty()) {
                lines.push_back(line);
                line = std::string(word);
            } else {
                line = candidate;
            }
        });
        lines.push_back(line);
    });
    return lines;
}

}  // namespace qm
