// Crafted inputs that make naive Markdown parsers quadratic or deeper than
// the stack. Each must parse to the right tree; a hang shows as a time-out.
#include <gtest/gtest.h>

#include <functional>

#include "docs/markdown.h"
#include "small_stack.h"

namespace qm {
namespace {

std::string repeat(std::string_view s, size_t n)
{
    std::string out;
    out.reserve(s.size() * n);
    for (size_t i = 0; i < n; ++i)
        out += s;
    return out;
}

size_t countKind(const MarkdownNode* root, MarkdownNodeKind kind)
{
    size_t count = 0;
    for (const MarkdownNode* n = root; n; n = nextInSubtree(root, n))
        count += n->kind == kind;
    return count;
}

// Depth of the chain of first children of the given kinds below `n`.
size_t chainDepth(const MarkdownNode* n, std::initializer_list<MarkdownNodeKind> kinds)
{
    size_t depth = 0;
    for (;;) {
        const MarkdownNode* next = nullptr;
        for (const MarkdownNode* c = n->firstChild; c; c = c->next)
            for (auto k : kinds)
                if (c->kind == k && !next)
                    next = c;
        if (!next)
            return depth;
        ++depth;
        n = next;
    }
}

// Text of the document with every piece of markup gone.
std::string textOf(std::string_view md) { return plainText(parseMarkdown(md, true).get()); }

TEST(MarkdownPathological, Emphasis)
{
    const size_t n = 65000;
    auto doc = parseMarkdown(repeat("*a **a ", n) + "b" + repeat(" a** a*", n), true);
    EXPECT_EQ(chainDepth(doc->firstChild, {mkEmphasis, mkStrong}), 2 * n);
    for (const char* unit : {"a_ ", "_a ", "*a_ "}) {
        std::string md = repeat(unit, n);
        EXPECT_EQ(textOf(md), md.substr(0, md.size() - 1)) << unit;
    }
    // Long runs of delimiters around one word nest pair by pair.
    for (const char* d : {"*", "_"}) {
        const size_t run = 200001;
        auto nested = parseMarkdown(repeat(d, run) + "a" + repeat(d, run), true);
        EXPECT_EQ(chainDepth(nested->firstChild, {mkEmphasis, mkStrong}), run / 2 + 1) << d;
        EXPECT_EQ(plainText(nested.get()), "a") << d;
    }
    // The rule of three keeps every "*" from closing the "**".
    std::string md = "a**b" + repeat("c* ", 50000);
    EXPECT_EQ(textOf(md), md.substr(0, md.size() - 1));
}

TEST(MarkdownPathological, Brackets)
{
    for (const char* unit : {"a]", "[a", "[ a_", "[ (](", "[a](<b", "[a](b"}) {
        std::string md = repeat(unit, 65000);
        std::string text = textOf(md);
        EXPECT_EQ(text.size(), md.size() - (md.back() == ' ' ? 1 : 0)) << unit;
        EXPECT_EQ(countKind(parseMarkdown(md, true).get(), mkLink), 0u) << unit;
    }
    auto doc = parseMarkdown(repeat("![[]()", 160000), true);
    EXPECT_EQ(countKind(doc.get(), mkLink), 160000u);
    EXPECT_EQ(countKind(doc.get(), mkImage), 0u);
    std::string nested = repeat("[", 50000) + "a" + repeat("]", 50000);
    EXPECT_EQ(textOf(nested), nested);
}

TEST(MarkdownPathological, Blocks)
{
    test::runWithStack(256 * 1024, [] {
        auto quotes = parseMarkdown(repeat("> ", 50000) + "a", true);
        EXPECT_EQ(chainDepth(quotes.get(), {mkBlockQuote}), size_t(kMaxBlockNesting));

        std::string levels;
        for (int i = 0; i < 1000; ++i)
            levels += std::string(size_t(i) * 2, ' ') + "- x\n";
        auto lists = parseMarkdown(levels, true);
        EXPECT_EQ(chainDepth(lists.get(), {mkList, mkListItem}), size_t(2 * kMaxBlockNesting));

        auto blanks = parseMarkdown(repeat("- ", 30000) + "x" + repeat("\n", 30000), true);
        EXPECT_EQ(chainDepth(blanks.get(), {mkList, mkListItem}), size_t(2 * kMaxBlockNesting));

        auto stars = parseMarkdown(repeat("* ", 20000) + "a", true);
        EXPECT_EQ(chainDepth(stars.get(), {mkList, mkListItem}), size_t(2 * kMaxBlockNesting));
    });

    auto alternating = parseMarkdown(repeat("a|b\n-|-|-\n", 20000), true);
    EXPECT_EQ(countKind(alternating.get(), mkTable), 0u);
    EXPECT_EQ(countKind(alternating.get(), mkParagraph), 1u);

    const size_t columns = 3000;
    std::string wide = repeat("|a", columns) + "|\n" + repeat("|-", columns) + "|\n" + repeat("x\n", 3000);
    auto table = parseMarkdown(wide, true);
    const MarkdownNode* t = table->firstChild;
    ASSERT_EQ(t->kind, mkTable);
    const size_t rows = size_t(kMaxTableCells) / columns;
    EXPECT_EQ(countKind(t, mkTableRow), rows);
    EXPECT_EQ(countKind(t, mkTableCell), rows * columns);
    ASSERT_TRUE(t->next);
    EXPECT_EQ(t->next->kind, mkParagraph);
}

TEST(MarkdownPathological, CodeHtmlAutolinks)
{
    std::string ticks;
    for (size_t i = 1; i <= 5000; ++i)
        ticks += "e" + std::string(i, '`');
    EXPECT_EQ(countKind(parseMarkdown(ticks, true).get(), mkCode), 0u);

    for (const char* unit : {"<!--", "<?", "<![CDATA[", "<!X"}) {
        std::string md = "</" + repeat(unit, 100000);
        EXPECT_EQ(textOf(md), md) << unit;
    }
    auto www = parseMarkdown(repeat("(www.a_", 100000), true);
    EXPECT_LE(countKind(www.get(), mkLink), 1u);

    auto parens = parseMarkdown("http://a" + repeat(")", 100000), true);
    const MarkdownNode* link = parens->firstChild->firstChild;
    ASSERT_EQ(link->kind, mkLink);
    EXPECT_EQ(link->destination(), "http://a");
    EXPECT_EQ(link->next->literal.size(), 100000u);

    // Many links in one text are cut out in one pass.
    const size_t links = 40000;
    auto many = parseMarkdown(repeat("www.example.com/a ", links), true);
    EXPECT_EQ(countKind(many.get(), mkLink), links);
    const MarkdownNode* first = many->firstChild->firstChild;
    ASSERT_EQ(first->kind, mkLink);
    EXPECT_EQ(first->destination(), "http://www.example.com/a");
    ASSERT_TRUE(first->next);
    EXPECT_EQ(first->next->literal, " ");

    // Candidates that share a long trimmed tail: all fail but the last.
    std::string tail = repeat("(http:///", 50000) + "(www.ok.com" + repeat(".", 200000);
    auto shared = parseMarkdown(tail, true);
    EXPECT_EQ(countKind(shared.get(), mkLink), 1u);
    EXPECT_EQ(textOf(tail), tail);

    std::string nul("a\0b\0", 4);
    EXPECT_EQ(textOf(nul),
        "a\xEF\xBF\xBD"
        "b\xEF\xBF\xBD");
}

}  // namespace
}  // namespace qm
