// Markdown to RichDoc, the model's helpers and the Markdown writer.
#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/utf8.h"
#include "docs/richdoc.h"
#include "small_stack.h"

namespace qm {
namespace {

std::string textOf(const RichCells& cells)
{
    std::string s;
    for (const auto& c : cells)
        appendUtf8(s, uint32_t(c.codePoint));
    return s;
}

std::string roundTrip(std::string_view md) { return richDocToMarkdown(*markdownToRichDoc(md)); }

TEST(RichDoc, Conversion)
{
    for (const char* md : {"", "\n\n  \n"}) {
        auto d = markdownToRichDoc(md);
        ASSERT_EQ(d->blocks.size(), 1u);
        EXPECT_EQ(d->blocks[0]->kind, rbParagraph);
        EXPECT_TRUE(d->blocks[0]->cells.empty());
        EXPECT_TRUE(d->links.empty());
    }
    auto quote = markdownToRichDoc(">");
    ASSERT_EQ(quote->blocks.size(), 1u);
    EXPECT_EQ(quote->blocks[0]->quoteDepth, 1);

    auto bullet = markdownToRichDoc("-");
    ASSERT_EQ(bullet->blocks.size(), 1u);
    ASSERT_EQ(bullet->blocks[0]->markers.size(), 1u);
    EXPECT_FALSE(bullet->blocks[0]->markers[0].emitted);

    auto item = markdownToRichDoc("1. a\n\n   b");
    ASSERT_EQ(item->blocks.size(), 2u);
    EXPECT_EQ(item->blocks[0]->markers[0], (ListMarker{lmOrdered, false, 1, false}));
    EXPECT_EQ(item->blocks[1]->markers[0], (ListMarker{lmOrdered, false, 1, true}));

    auto zero = markdownToRichDoc("0. a\n1. b");
    EXPECT_EQ(zero->blocks[0]->markers[0].number, -1);
    EXPECT_EQ(zero->blocks[1]->markers[0].number, 0);
    EXPECT_EQ(orderedListNumbers(*zero), (std::vector<int32_t>{0, 1}));

    auto task = markdownToRichDoc("- [x] done");
    EXPECT_EQ(task->blocks[0]->markers[0], (ListMarker{lmTask, true, 0, false}));

    auto tags = markdownToRichDoc("<B>bold</B> <span>x</span> a<br />b");
    const RichCells& c = tags->blocks[0]->cells;
    EXPECT_EQ(textOf(c), "bold <span>x</span> a\nb");
    EXPECT_EQ(c[0].marks, rmStrong);
    EXPECT_EQ(c[5].marks, rmRawHtml);
    EXPECT_EQ(c[11].marks, 0);  // "x" between unknown tags has no mark

    auto image = markdownToRichDoc("![logo](a.png \"T\")");
    ASSERT_EQ(image->blocks[0]->cells.size(), 1u);
    EXPECT_EQ(image->blocks[0]->cells[0], (RichCell{kObjectReplacementChar, 0, 1}));
    EXPECT_EQ(image->links[0], (RichLink{"a.png", "T", true, "logo"}));

    auto link = markdownToRichDoc("[a **b**](u)");
    for (const auto& cell : link->blocks[0]->cells)
        EXPECT_EQ(cell.link, 1);
    EXPECT_EQ(link->blocks[0]->cells.back().marks, rmStrong);

    auto code = markdownToRichDoc("```js\nx = 1\n```");
    EXPECT_EQ(code->blocks[0]->fenceLabel, "js");
    EXPECT_EQ(textOf(code->blocks[0]->cells), "x = 1");

    // An item whose first child is a list: both markers unemitted on its first block.
    auto nested = markdownToRichDoc("- - a");
    ASSERT_EQ(nested->blocks[0]->markers.size(), 2u);
    EXPECT_FALSE(nested->blocks[0]->markers[0].emitted);
    EXPECT_FALSE(nested->blocks[0]->markers[1].emitted);

    // A broken sequence in a code block keeps the line feed after it.
    auto broken = markdownToRichDoc("```\n\xE2\x82\nx\n```");
    EXPECT_EQ(broken->blocks[0]->cells, (RichCells{{0xFFFD, 0, 0}, {10, 0, 0}, {'x', 0, 0}}));

    RichCells bytes;
    utf8ToCells(std::string("\xC3", 1), 0, 0, bytes);
    utf8ToCells("\x9F", 0, 0, bytes);
    EXPECT_EQ(bytes[0].codePoint, 0xFFFD);
    EXPECT_EQ(bytes[1].codePoint, 0x9F);
}

TEST(RichDoc, ModelHelpers)
{
    auto d = markdownToRichDoc("a|b\n-|-\nc\n\n***\n\npara");
    EXPECT_TRUE(richCellValid(*d, 0, 1, 0));
    // The parser pads short rows, so the model holds both cells of row 1.
    EXPECT_EQ(richCellCount(*d, 0, 1, 1), 0u);
    EXPECT_FALSE(richCellValid(*d, 0, 2, 0));
    EXPECT_FALSE(richCellValid(*d, 1, 0, 0));
    EXPECT_TRUE(richCellValid(*d, 2, 5, 5));
    EXPECT_THROW(richCellValid(*d, 9, 0, 0), std::out_of_range);
    EXPECT_THROW(richCellValid(*d, 0, -1, 0), IndexError);
    d->blocks[0]->rows[1].pop_back();  // a shorter row from another source
    EXPECT_FALSE(richCellValid(*d, 0, 1, 1));
    EXPECT_EQ(richCellCount(*d, 0, 1, 1), 0u);

    struct Numbers {
        const char* md;
        std::vector<int32_t> numbers;
    };
    for (const auto& n : std::vector<Numbers>{
             {"7. a\n   - x\n   - y\n8. b\n9. c", {7, 0, 0, 8, 9}},
             {"3. a\n\npara\n\n5. b", {3, 0, 5}},
             {"> 1. a\n> 2. b\n\n1. c", {1, 2, 1}},
         })
        EXPECT_EQ(orderedListNumbers(*markdownToRichDoc(n.md)), n.numbers) << n.md;
    EXPECT_EQ(listContinuationIndent(true, 10), "    ");
    EXPECT_EQ(listContinuationIndent(false, 3), "  ");
}

TEST(RichDoc, Writer)
{
    struct Case {
        const char* md;
        const char* written;
    };
    for (const Case& c : std::vector<Case>{
             {"", ""}, {"a\n\n<p></p>\n\nb", "a\n\n<p></p>\n\nb\n"}, {"a\n\nb", "a\n\nb\n"},
             {"> a\n>\n> b", "> a\n>\n> b\n"}, {"> a\n\nb", "> a\n\nb\n"}, {"- a\n- b", "- a\n- b\n"},
             {"- ```\n  x\n  ```\n- b", "- ```\n  x\n  ```\n\n- b\n"},
             {"3. a\n4) b", "3. a\n4. b\n"},  // delimiters are not kept
             {"3. a\n4. b", "3. a\n4. b\n"}, {"- [x] a", "- [x] a\n"}, {"- \\[x\\] a", "- \\[x\\] a\n"},
             {"- [x](u)", "- \\[x](u)\n"}, {"1\\. a", "1\\. a\n"}, {"\\# \\+ \\- \\= \\|", "\\# + - = |\n"},
             {"# a \\#", "# a \\#\n"}, {"# a<br>b", "# a b\n"}, {"a<em>(b)</em>", "a<em>(b)</em>\n"},
             {"a *b* c", "a *b* c\n"}, {"**[t](u)**", "**[t](u)**\n"}, {"[a **b**](u)", "[a **b**](u)\n"},
             {"[a](<b c>) [d](<e(>)", "[a](<b c>) [d](<e(>)\n"}, {"[a](u \"q\\\"\")", "[a](u \"q\\\"\")\n"},
             {"``a`b``", "``a`b``\n"}, {"`` `a ``", "`` `a ``\n"},
             {"a|b\n-|-\n`\\|`|c<br>d", "| a | b |\n| --- | --- |\n| `\\|` | c d |\n"},
             {"a|b\n-|-\nc", "| a | b |\n| --- | --- |\n| c |  |\n"}, {"````\n```\n````", "````\n```\n````\n"},
             {"``` a`b\n```", "\\`\\`\\` a\\`b\n\n```\n\n```\n"}, {"&#9;a&#9;", "&#9;a&#9;\n"},
             {"a &amp;nbsp;", "a \\&nbsp;\n"},
             {"\\![foo](u)", "\\![foo](u)\n"},     // a "!" before a link must not make an image
             {"<del>*foo*</del>", "~~*foo*~~\n"},  // marks over the same text nest
         })
        EXPECT_EQ(roundTrip(c.md), c.written) << c.md;

    // An empty paragraph between two paragraphs stays as "&nbsp;".
    RichDoc doc;
    for (const char* t : {"a", "", "b"}) {
        auto b = std::make_shared<RichBlock>();
        utf8ToCells(t, 0, 0, b->cells);
        doc.blocks.push_back(b);
    }
    EXPECT_EQ(richDocToMarkdown(doc), "a\n\n&nbsp;\n\nb\n");
    doc.blocks.pop_back();
    EXPECT_EQ(richDocToMarkdown(doc), "a\n");
    // After a hard break, a line ":-|" must not turn the paragraph into a table.
    RichDoc colon;
    auto p = std::make_shared<RichBlock>();
    utf8ToCells("a\n:-|", 0, 0, p->cells);
    colon.blocks.push_back(p);
    EXPECT_EQ(richDocToMarkdown(colon), "a\\\n\\:-|\n");
    EXPECT_EQ(markdownToRichDoc(richDocToMarkdown(colon))->blocks[0]->kind, rbParagraph);
    // Text that only looks like the placeholder survives the end trim.
    RichDoc literal;
    auto b = std::make_shared<RichBlock>();
    utf8ToCells("&nbsp;", 0, 0, b->cells);
    literal.blocks.push_back(b);
    EXPECT_EQ(richDocToMarkdown(literal), "\\&nbsp;\n");
    RichDoc html;
    auto h = std::make_shared<RichBlock>();
    h->kind = rbHtml;
    utf8ToCells("&nbsp;", 0, 0, h->cells);
    html.blocks.push_back(h);
    EXPECT_EQ(richDocToMarkdown(html), "&nbsp;\n");
}

TEST(RichDoc, DeepEmphasisOnSmallStack)
{
    const size_t n = 65000;
    std::string md;
    for (size_t i = 0; i < n; ++i)
        md += "*a **a ";
    md += "b";
    for (size_t i = 0; i < n; ++i)
        md += " a** a*";
    test::runWithStack(256 * 1024, [&] {
        auto d = markdownToRichDoc(md);
        ASSERT_EQ(d->blocks.size(), 1u);
        EXPECT_EQ(d->blocks[0]->cells.size(), 8 * n + 1);
    });
}

}  // namespace
}  // namespace qm
