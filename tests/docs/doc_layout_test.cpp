// Layout with fake metrics: exact numbers for the Parts' cases, and
// invariants over random documents at random widths.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "docs/doc_layout.h"
#include "fake_metrics.h"
#include "small_stack.h"

namespace qm {
namespace {

using test::fakeMetrics;
using test::FakeMetricsState;

LayoutMetrics metrics(bool kerning = false, bool onePass = true)
{
    return fakeMetrics(std::make_shared<FakeMetricsState>(), kerning, onePass);
}

const double em = 10;  // baseSize 10, scale 1

RichCells cellsOf(std::string_view text)
{
    RichCells c;
    utf8ToCells(text, 0, 0, c);
    return c;
}

TEST(Layout, RunsAndImages)
{
    LayoutMetrics m = metrics();
    RichDoc doc;
    doc.links.push_back({"big.png", "", true, "alt"});
    RichCells image{{kObjectReplacementChar, 0, 1}};
    m.imageSize = [](std::string_view) { return ImageSize{2000, 4000}; };
    auto runs = cellsToRuns(m, doc, image, 10, {}, 50 * em);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_DOUBLE_EQ(runs[0].imageWidth, 120);
    EXPECT_DOUBLE_EQ(runs[0].imageHeight, 240);
    m.imageSize = [](std::string_view) { return ImageSize{0, 0}; };
    runs = cellsToRuns(m, doc, image, 10, {}, 5 * em);
    EXPECT_DOUBLE_EQ(runs[0].imageWidth, 50);
    EXPECT_DOUBLE_EQ(runs[0].imageHeight, 30);
    runs = cellsToRuns(m, doc, image, 10, {}, 40 * em);
    EXPECT_DOUBLE_EQ(runs[0].imageWidth, 120);

    // Runs split at marks and spaces; links keep their colour; code shrinks.
    auto d = markdownToRichDoc("a**b** c d [x y](u) `k`");
    runs = cellsToRuns(m, *d, d->blocks[0]->cells, 16, {}, 1000);
    std::vector<std::string> texts;
    for (const auto& r : runs)
        texts.push_back(r.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"a", "b", " ", "c", " ", "d", " ", "x", " ", "y", " ", "k"}));
    EXPECT_EQ(runs[7].colour, 2);
    EXPECT_EQ(runs[8].colour, 2);
    EXPECT_EQ(runs[8].link, 1);
    EXPECT_EQ(runs[11].style, fsMono);
    EXPECT_EQ(runs[11].colour, 3);
    EXPECT_DOUBLE_EQ(runs[11].size, 14.4);
    // A lone U+FFFC that is no image is a text run of its own.
    runs = cellsToRuns(m, doc, RichCells{{'a', 0, 0}, {kObjectReplacementChar, 0, 0}, {'b', 0, 0}}, 10, {}, 100);
    EXPECT_EQ(runs.size(), 3u);
    // In code a tab joins the whitespace run and counts as four spaces.
    runs = cellsToRuns(m, doc, cellsOf("a\tb"), 10, {false, 3, true}, 100);
    ASSERT_EQ(runs.size(), 3u);
    measureRun(m, runs[1]);
    EXPECT_DOUBLE_EQ(runs[1].width, 4 * 9);  // four monospace spaces
}

TEST(Layout, LinesAndTabs)
{
    LayoutMetrics m = metrics();
    RichDoc doc;
    // Tab width is 16 at size 10: "a" (8) then a tab to 16, "b" to 24.
    auto lines = layoutTextBlock(m, doc, cellsOf("a\tb"), 10, {}, {}, 0, 1000, taNone);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].xPositions, (std::vector<double>{0, 8, 16, 24}));
    lines = layoutTextBlock(m, doc, cellsOf("aa\tb"), 10, {}, {}, 0, 1000, taNone);
    EXPECT_EQ(lines[0].xPositions, (std::vector<double>{0, 8, 16, 32, 40}));  // exactly on a stop: the next one

    // Empty text: one line of base height plus the gap, first cell 0.
    lines = layoutTextBlock(m, doc, {}, 10, {}, {}, 0, 100, taNone);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_DOUBLE_EQ(lines[0].advance, 8 + 2 + 3.2);
    EXPECT_TRUE(lines[0].items.empty());

    // "aaa bbb" at 36: the space stays on line 1; right alignment ignores it.
    lines = layoutTextBlock(m, doc, cellsOf("aaa bbb"), 10, {}, {}, 0, 30, taRight);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].xPositions.size(), 5u);
    EXPECT_DOUBLE_EQ(lines[0].xPositions.front(), 6);  // 30 - 24
    EXPECT_EQ(lines[1].position.firstCell, 4);

    // A word wider than the line is cut by characters, at least one per line.
    lines = layoutTextBlock(m, doc, cellsOf("abcdefgh"), 10, {}, {}, 0, 20, taNone);
    EXPECT_EQ(lines.size(), 4u);
    lines = layoutTextBlock(m, doc, cellsOf("abc"), 10, {}, {}, 0, 3, taNone);
    EXPECT_EQ(lines.size(), 3u);
    // A long word after a short one: cut when the line is at most 70% full...
    lines = layoutTextBlock(m, doc, cellsOf("a bbbbbbbbbbbbbbbb"), 10, {}, {}, 0, 100, taNone);
    EXPECT_EQ(lines[1].position.firstCell, 13);  // "a " (12) + 11 b's (88) fill 100
    // ...and moved down whole when under 30% is left.
    lines = layoutTextBlock(m, doc, cellsOf("aaaaaaaaa bbbbbbbbbbbbbbbb"), 10, {}, {}, 0, 100, taNone);
    EXPECT_EQ(lines[1].position.firstCell, 10);

    // Line feeds end lines; two give an empty line between.
    lines = layoutTextBlock(m, doc, cellsOf("a\n\nb"), 10, {}, {}, 0, 100, taNone);
    EXPECT_EQ(lines.size(), 3u);

    // A linked space is underlined but draws no text.
    auto d = markdownToRichDoc("[a b](u)");
    lines = layoutTextBlock(m, *d, d->blocks[0]->cells, 10, {}, {}, 0, 100, taNone);
    int texts = 0, underlines = 0;
    for (const auto& item : lines[0].items) {
        texts += item.kind == piText;
        underlines += item.kind == piLine && item.colour == 2;
    }
    EXPECT_EQ(texts, 2);
    EXPECT_EQ(underlines, 3);
}

DocLayout lay(std::string_view md, double width = 400, const std::vector<HelpBox>& boxes = {})
{
    return layoutDocument(*markdownToRichDoc(md), metrics(), width, boxes);
}

TEST(Layout, DocumentSpacingAndMarkers)
{
    const double line = 8 + 2 + 3.2;
    auto empty = lay("");
    ASSERT_EQ(empty.blocks.size(), 1u);
    EXPECT_DOUBLE_EQ(empty.height, line);
    EXPECT_EQ(layoutDocument(RichDoc{}, metrics(), 400, {}).blocks.size(), 0u);
    EXPECT_EQ(layoutDocument(RichDoc{}, metrics(), 400, {}).height, 0);

    auto tight = lay("- a\n- b\n- c");
    ASSERT_EQ(tight.blocks.size(), 3u);
    EXPECT_NEAR(tight.blocks[1].height - line, 0.18 * em, 1e-9);
    auto paras = lay("a\n\nb\n\n# h\n\n***");
    EXPECT_NEAR(paras.blocks[1].height - line, 0.55 * em, 1e-9);
    EXPECT_NEAR(paras.blocks[2].items[0].y - (0.5 * 0.32 * 18.5 + 0.8 * 18.5), 1.0 * em, 1e-9);
    EXPECT_NEAR(paras.blocks[3].height, 1.2 * em + 0.55 * em, 1e-9);

    auto numbered = lay("9. a\n10. b");
    for (int i = 0; i < 2; ++i) {
        const PlacedItem* marker = nullptr;
        for (const auto& item : numbered.blocks[size_t(i)].items)
            if (item.kind == piText && item.colour == 10)
                marker = &item;
        ASSERT_TRUE(marker);
        EXPECT_EQ(marker->text, i == 0 ? "9." : "10.");
        EXPECT_NEAR(marker->x + marker->w, 1.6 * em - 0.3 * em, 1e-9);
    }
    // A nested item's first line shows only the innermost marker.
    auto nested = lay("- - a");
    int markers = 0;
    for (const auto& item : nested.blocks[0].items)
        markers += item.kind == piBullet;
    EXPECT_EQ(markers, 1);
    // The content width never drops below 4 em.
    auto narrow = lay("- - x", 2 * em);
    EXPECT_EQ(narrow.blocks.size(), 1u);
}

TEST(Layout, TablesQuotesCalloutsAndBoxes)
{
    auto table = lay("a|b\n-|-\nc|d");
    ASSERT_EQ(table.blocks.size(), 2u);
    std::vector<double> verticals;
    for (const auto& item : table.blocks[1].items)
        if (item.kind == piLine && item.colour == 7 && item.w == 0)
            verticals.push_back(item.x);
    EXPECT_EQ(verticals, (std::vector<double>{0, 30, 60}));
    EXPECT_EQ(table.blocks[0].items[0].colour, 8);  // header background

    struct Callout {
        const char* md;
        uint8_t background, bar, title;
    };
    for (const auto& c : std::vector<Callout>{
             {"> **Tip:** x", 12, 13, 13},
             {"> **Warning:** x", 15, 14, 16},
             {"> **Danger:** x", 17, 11, 11},
             {"> **Note:** x", 12, 5, 2},
             {"> **Tip** x", 12, 5, 0},
         }) {
        auto d = lay(c.md);
        const auto& items = d.blocks[0].items;
        EXPECT_EQ(items[0].colour, c.background) << c.md;
        EXPECT_EQ(items[1].colour, c.bar) << c.md;
        for (const auto& item : items)
            if (item.kind == piText) {
                EXPECT_EQ(item.colour, c.title) << c.md;
                break;
            }
    }
    auto nestedQuote = lay("> > a");
    ASSERT_EQ(nestedQuote.blocks[0].items.size() >= 3, true);
    EXPECT_NEAR(nestedQuote.blocks[0].items[2].x, 1.25 * em, 1e-9);

    auto boxed = lay("a\n\nb\n\nc", 400, {HelpBox{0, 1, "Box", 1}});
    // Header (no gap at the top), two boxed blocks, the closing band, then "c".
    ASSERT_EQ(boxed.blocks.size(), 5u);
    EXPECT_DOUBLE_EQ(boxed.blocks[0].height, 8 + 2);
    EXPECT_DOUBLE_EQ(boxed.blocks[3].height, 0.7 * em);
    for (int b : {1, 2}) {
        const auto& items = boxed.blocks[size_t(b)].items;
        ASSERT_GE(items.size(), 2u);
        EXPECT_EQ(items[items.size() - 2].x, 0);
        EXPECT_EQ(items.back().x, 400);
    }
    // Bands stack without gaps.
    for (size_t i = 1; i < boxed.blocks.size(); ++i)
        EXPECT_DOUBLE_EQ(boxed.blocks[i].y, boxed.blocks[i - 1].y + boxed.blocks[i - 1].height);
}

// Random Markdown from a few constructs.
std::string randomMarkdown(std::mt19937& rng)
{
    static const std::vector<std::string> words = {"a", "word", "longer", "**bold**", "*it*", "`code`", "[link](u)",
        "![img](i.png)", "~~gone~~", "AVATAR", "Tokyo", "abababab", "http://example.com/path", std::string(300, 'x'),
        "\t", "<b>x</b>"};
    static const std::vector<std::string> starts = {"", "", "", "- ", "1. ", "> ", "# ", "- [ ] ", "> - "};
    std::string md;
    int blocks = int(rng() % 8) + 1;
    for (int b = 0; b < blocks; ++b) {
        int kind = int(rng() % 10);
        if (kind == 0) {
            md += "```\nsome code\twith tab\n" + std::string(rng() % 200, 'c') + "\n```\n\n";
            continue;
        }
        if (kind == 1) {
            md += "| a | b |\n|---|:-:|\n| " + words[rng() % words.size()] + " | x |\n\n";
            continue;
        }
        md += starts[rng() % starts.size()];
        int n = int(rng() % 30) + 1;
        for (int i = 0; i < n; ++i) {
            md += words[rng() % words.size()];
            md += rng() % 7 == 0 ? "\\\n" : " ";
        }
        md += "\n\n";
    }
    return md;
}

void expectSameLayouts(const DocLayout& a, const DocLayout& b)
{
    ASSERT_EQ(a.blocks.size(), b.blocks.size());
    EXPECT_EQ(a.height, b.height);
    for (size_t i = 0; i < a.blocks.size(); ++i) {
        const auto& x = a.blocks[i];
        const auto& y = b.blocks[i];
        ASSERT_EQ(x.items.size(), y.items.size());
        ASSERT_EQ(x.lines.size(), y.lines.size());
        for (size_t k = 0; k < x.items.size(); ++k) {
            EXPECT_EQ(x.items[k].x, y.items[k].x);
            EXPECT_EQ(x.items[k].y, y.items[k].y);
            EXPECT_EQ(x.items[k].w, y.items[k].w);
            EXPECT_EQ(x.items[k].text, y.items[k].text);
        }
        for (size_t k = 0; k < x.lines.size(); ++k) {
            EXPECT_EQ(x.lines[k].xPositions, y.lines[k].xPositions);
            EXPECT_EQ(x.lines[k].position, y.lines[k].position);
        }
    }
}

TEST(Layout, InvariantsOnRandomDocuments)
{
    std::mt19937 rng(20261103);
    for (int round = 0; round < 150; ++round) {
        const std::string md = randomMarkdown(rng);
        auto doc = markdownToRichDoc(md);
        const double width = 60 + double(rng() % 700);
        const bool kerning = rng() % 2;
        DocLayout onePass =
            layoutDocument(*doc, fakeMetrics(std::make_shared<FakeMetricsState>(), kerning, true), width, {});
        DocLayout literal =
            layoutDocument(*doc, fakeMetrics(std::make_shared<FakeMetricsState>(), kerning, false), width, {});
        SCOPED_TRACE(md);
        expectSameLayouts(onePass, literal);

        double y = 0;
        for (const auto& band : onePass.blocks) {
            EXPECT_DOUBLE_EQ(band.y, y);
            y += band.height;
        }
        EXPECT_DOUBLE_EQ(onePass.height, y);

        // Paragraph lines: every cell on exactly one line, in order; x never decreases.
        for (size_t k = 0; k < doc->blocks.size(); ++k) {
            const RichBlock& block = *doc->blocks[k];
            if (block.kind != rbParagraph)
                continue;
            std::vector<const LaidOutLine*> lines;
            for (const auto& band : onePass.blocks)
                for (const auto& l : band.lines)
                    if (l.position.block == int32_t(k))
                        lines.push_back(&l);
            ASSERT_FALSE(lines.empty());
            EXPECT_EQ(lines.front()->position.firstCell, 0);
            EXPECT_TRUE(lines.back()->isLast);
            for (size_t i = 0; i < lines.size(); ++i) {
                const int32_t from = lines[i]->position.firstCell;
                const int32_t to =
                    i + 1 < lines.size() ? lines[i + 1]->position.firstCell : int32_t(block.cells.size());
                ASSERT_LE(from, to);
                size_t visible = 0;
                for (int32_t c = from; c < to; ++c) {
                    visible += block.cells[size_t(c)].codePoint != 10;
                }
                const auto& xs = lines[i]->xPositions;
                EXPECT_EQ(xs.size(), visible + 1);
                // x after the last cell that is not whitespace.
                size_t lastInk = 0, seen = 0;
                for (int32_t c = from; c < to; ++c) {
                    const int32_t cp = block.cells[size_t(c)].codePoint;
                    if (cp == 10)
                        continue;
                    ++seen;
                    if (cp != ' ' && cp != '\t')
                        lastInk = seen;
                }
                for (size_t j = 1; j < xs.size(); ++j)
                    EXPECT_GE(xs[j], xs[j - 1]);
                const double left = blockIndent(metrics(), block);
                const double cw = std::max(width - left, 4 * em);
                if (xs.size() == visible + 1 && xs[lastInk] > left + cw + 0.01) {
                    // Only a single word or image may run past the edge.
                    bool innerSpace = false;
                    size_t k = 0;
                    for (int32_t c = from; c < to; ++c) {
                        const int32_t cp = block.cells[size_t(c)].codePoint;
                        if (cp == 10)
                            continue;
                        ++k;
                        innerSpace |= (cp == ' ' || cp == '\t') && k < lastInk;
                    }
                    EXPECT_FALSE(innerSpace) << "line " << i;
                }
            }
        }
    }
}

TEST(Layout, MeasuringWorkIsLinear)
{
    auto state = std::make_shared<FakeMetricsState>();
    LayoutMetrics m = fakeMetrics(state, true, true);
    std::string md = std::string(100000, 'x') + "\n\n";
    for (int i = 0; i < 2000; ++i)
        md += "word **bold** [link](u) ";
    auto doc = markdownToRichDoc(md);
    size_t cells = 0;
    for (const auto& b : doc->blocks)
        cells += b->cells.size();
    for (double width : {200.0, 480.0, 760.0}) {
        state->charactersMeasured = 0;
        layoutDocument(*doc, m, width, {});
        EXPECT_LE(state->charactersMeasured, 8 * cells) << width;
    }
}

TEST(Layout, DeepEmphasisOnSmallStack)
{
    std::string md;
    for (int i = 0; i < 65000; ++i)
        md += "*a **a ";
    md += "b";
    for (int i = 0; i < 65000; ++i)
        md += " a** a*";
    test::runWithStack(256 * 1024, [&] {
        auto doc = markdownToRichDoc(md);
        DocLayout l = layoutDocument(*doc, metrics(), 500, {});
        EXPECT_GT(l.blocks.size(), 100u);
    });
}

}  // namespace
}  // namespace qm
