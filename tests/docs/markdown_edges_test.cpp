// The parser's own choices and edge cases, as tables of Markdown and the
// HTML that the reference-format printer gives for it.
#include <gtest/gtest.h>

#include "docs/markdown.h"
#include "docs/markdown_internal.h"
#include "html_printer.h"

namespace qm {
namespace {

std::string html(std::string_view md, bool autolinks = true)
{
    return test::markdownToHtml(parseMarkdown(md, autolinks).get());
}

struct Case {
    const char* markdown;
    const char* html;
};

void checkCases(const std::vector<Case>& cases)
{
    for (const auto& c : cases)
        EXPECT_EQ(html(c.markdown), c.html) << "markdown: " << c.markdown;
}

TEST(MarkdownEdges, ParseEntry)
{
    EXPECT_EQ(parseMarkdown("", true)->firstChild, nullptr);
    EXPECT_EQ(html("a\r\nb"), html("a\nb"));
    EXPECT_EQ(html("a\rb"), html("a\nb"));
    EXPECT_EQ(html("a\n"), "<p>a</p>\n");
    // Entities, named and numeric.
    checkCases({
        {"&AMP; &amp; &NotEqualTilde; &amp", "<p>&amp; &amp; \xE2\x89\x82\xCC\xB8 &amp;amp</p>\n"},
        {"&#0; &#12345678; &#x1234567; &#X41;", "<p>\xEF\xBF\xBD &amp;#12345678; &amp;#x1234567; A</p>\n"},
    });
    EXPECT_EQ(html(std::string_view("a\0b", 3)),
        "<p>a\xEF\xBF\xBD"
        "b</p>\n");
    // Alternative text of an image: words of text, emphasis and code.
    auto doc = parseMarkdown("![one *two* `three`](x.png)", true);
    const MarkdownNode* image = doc->firstChild->firstChild;
    ASSERT_EQ(image->kind, mkImage);
    EXPECT_EQ(plainText(image), "one two three");
    // Unclosed containers still close.
    for (const char* md : {"```\ncode", "> quote", "- item\n  - nested"}) {
        auto d = parseMarkdown(md, true);
        for (const MarkdownNode* n = d.get(); n && n->kind <= mkTableCell; n = n->lastChild)
            EXPECT_FALSE(n->open) << md;
    }
}

TEST(MarkdownEdges, Blocks)
{
    checkCases({
        {"#######", "<p>#######</p>\n"},
        {"#", "<h1></h1>\n"},
        {"## foo ##", "<h2>foo</h2>\n"},
        {"## foo##", "<h2>foo##</h2>\n"},
        {"a\n2. b", "<p>a\n2. b</p>\n"},
        {"a\n1. b", "<p>a</p>\n<ol>\n<li>b</li>\n</ol>\n"},
        {"a\n-", "<h2>a</h2>\n"},
        {"a\n+ ", "<p>a\n+</p>\n"},
        {"1) a\n2. b", "<ol>\n<li>a</li>\n</ol>\n<ol start=\"2\">\n<li>b</li>\n</ol>\n"},
        {"- a\n* b", "<ul>\n<li>a</li>\n</ul>\n<ul>\n<li>b</li>\n</ul>\n"},
        {"1234567890. x", "<p>1234567890. x</p>\n"},
        {"9999999999) x", "<p>9999999999) x</p>\n"},
        {"999999999) x", "<ol start=\"999999999\">\n<li>x</li>\n</ol>\n"},
        {"````\na\n```\n````", "<pre><code>a\n```\n</code></pre>\n"},
        {"  ```\n   a\n  b\n  ```", "<pre><code> a\nb\n</code></pre>\n"},
        {"``` a`b\n```", "<p>``` a`b</p>\n<pre><code></code></pre>\n"},
        {"~~~ a`b\nx\n~~~", "<pre><code class=\"language-a`b\">x\n</code></pre>\n"},
        {"```\nunclosed", "<pre><code>unclosed\n</code></pre>\n"},
        {"[a]: /u\n===", "<p>===</p>\n"},
        {"[a]: /u", ""},
        {"    code\n    \n  \n", "<pre><code>code\n</code></pre>\n"},
    });
}

TEST(MarkdownEdges, Tables)
{
    checkCases({
        {"a|b\n-|-\nc|d\n\ne",
            "<table>\n<thead>\n<tr>\n<th>a</th>\n<th>b</th>\n</tr>\n</thead>\n<tbody>\n<tr>\n"
            "<td>c</td>\n<td>d</td>\n</tr>\n</tbody>\n</table>\n<p>e</p>\n"},
        // A block start ends the table; any other line is a row, pipe or not.
        {"a|b\n-|-\n> q",
            "<table>\n<thead>\n<tr>\n<th>a</th>\n<th>b</th>\n</tr>\n</thead>\n</table>\n"
            "<blockquote>\n<p>q</p>\n</blockquote>\n"},
        {"a\n-|-", "<p>a\n-|-</p>\n"},  // one header cell, two columns
        {"a|b\n- | -", "<p>a|b</p>\n<ul>\n<li>| -</li>\n</ul>\n"},
        {"a|b\n|- | -", "<table>\n<thead>\n<tr>\n<th>a</th>\n<th>b</th>\n</tr>\n</thead>\n</table>\n"},
        {"a|b|c\n-|-|-\nx\ny|z|w|v",
            "<table>\n<thead>\n<tr>\n<th>a</th>\n<th>b</th>\n<th>c</th>\n</tr>\n</thead>\n<tbody>\n<tr>\n<td>x</td>\n"
            "<td></td>\n<td></td>\n</tr>\n<tr>\n<td>y</td>\n<td>z</td>\n<td>w</td>\n</tr>\n</tbody>\n</table>\n"},
        {"[r]: /u\na|b\n-|-", "<table>\n<thead>\n<tr>\n<th>a</th>\n<th>b</th>\n</tr>\n</thead>\n</table>\n"},
    });
    struct Split {
        const char* line;
        std::vector<std::string> cells;
    };
    for (const Split& s : std::vector<Split>{
             {"a \\| b", {"a | b"}},
             {"| a | b |", {"a", "b"}},
             {"a | b", {"a", "b"}},
             {"|", {""}},
             {"a\\", {"a\\"}},
             {"| a \\|", {"a |"}},
         })
        EXPECT_EQ(splitTableRow(s.line), s.cells) << s.line;
    using A = std::vector<TableAlignment>;
    EXPECT_EQ(parseTableDelimiterRow(":-:|--:|:--|--"), (A{taCenter, taRight, taLeft, taNone}));
    for (const char* bad : {": -|-", ":|-", "---", "", "-|x", "-|\\|"})
        EXPECT_FALSE(parseTableDelimiterRow(bad)) << bad;
}

TEST(MarkdownEdges, HtmlBlocks)
{
    struct Start {
        const char* line;
        bool inParagraph;
        int condition;
    };
    for (const Start& s : std::vector<Start>{
             {"<div>", true, 6}, {"<span>", false, 7}, {"<span>", true, 0}, {"<DIV class=\"x\">", true, 6},
             {"<divx>", false, 7}, {"<divx>", true, 0}, {"<scriptx>", true, 0}, {"<script>", true, 1},
             {"<pre", true, 1}, {"<!-- c -->", true, 2}, {"<?php", true, 3}, {"<!DOCTYPE html>", true, 4},
             {"<![CDATA[", true, 5}, {"<![cdata[", true, 0}, {"</div>", true, 6}, {"<br/>", true, 0},
             {"<hr/>", true, 6}, {"<textarea>", false, 1},  // raw-text names meet condition 1 first, and 7 too
         })
        EXPECT_EQ(htmlBlockStart(s.line, s.inParagraph), s.condition) << s.line;
    checkCases({
        {"<!-- a -->\nb", "<!-- a -->\n<p>b</p>\n"},
        {"<div>\na\n\nb", "<div>\na\n<p>b</p>\n"},
        {"> foo\n<span>", "<blockquote>\n<p>foo</p>\n</blockquote>\n<span>\n"},
    });
}

TEST(MarkdownEdges, ReferencesAndScanners)
{
    std::string label999 = "[" + std::string(999, 'x') + "]";
    std::string label1000 = "[" + std::string(1000, 'x') + "]";
    EXPECT_EQ(scanLinkLabel(label999, 0), 1001u);
    EXPECT_EQ(scanLinkLabel(label1000, 0), 0u);
    EXPECT_EQ(scanLinkLabel("[ \n ]", 0), 0u);
    EXPECT_EQ(scanLinkLabel("[a\\]b]", 0), 6u);

    std::string parens32 = std::string(32, '(') + std::string(32, ')');
    std::string parens33 = std::string(33, '(') + std::string(33, ')');
    EXPECT_EQ(parseLinkDestination(parens32, 0).consumed, 64);
    EXPECT_EQ(parseLinkDestination(parens33, 0).consumed, -1);
    EXPECT_EQ(parseLinkDestination("<a b>", 0).value, "a b");
    EXPECT_EQ(parseLinkDestination("<>", 0).consumed, 2);
    EXPECT_EQ(parseLinkDestination("<a\nb>", 0).consumed, -1);
    EXPECT_EQ(parseLinkDestination("a(b", 0).consumed, -1);
    EXPECT_EQ(parseLinkTitle("(a(b)", 0).consumed, -1);
    EXPECT_EQ(parseLinkTitle("'a\nb'", 0).value, "a\nb");
    EXPECT_EQ(parseLinkTitle("\"a", 0).consumed, -1);

    EXPECT_EQ(normalizeLinkLabel("  Foo \n\t BAR "), "foo bar");
    EXPECT_EQ(normalizeLinkLabel("Stra\xC3\x9F"
                                 "e"),
        normalizeLinkLabel("STRASSE"));
    EXPECT_EQ(normalizeLinkLabel("\xE1\xBA\x9E"), "ss");
    EXPECT_NE(normalizeLinkLabel("\xCF\x82"), normalizeLinkLabel("\xCF\x83"));  // final sigma is not sigma

    checkCases({
        // A title followed by text: the definition holds without the title
        // only when the destination ended the line before.
        {"[a]: /u\n'title' x\n\n[a]", "<p>'title' x</p>\n<p><a href=\"/u\">a</a></p>\n"},
        {"[a]: /u 'title' x\n\n[a]", "<p>[a]: /u 'title' x</p>\n<p>[a]</p>\n"},
        {"[Foo  Bar]: /first\n[foo bar]: /second\n\n[FOO BAR]", "<p><a href=\"/first\">FOO BAR</a></p>\n"},
        {"[Stra\xC3\x9F"
         "e]: /s\n\n[STRASSE]",
            "<p><a href=\"/s\">STRASSE</a></p>\n"},
    });
    EXPECT_EQ(parseEntity("&#12345678;", 0).consumed, 0u);
    EXPECT_EQ(parseEntity("&#x1234567;", 0).consumed, 0u);
    EXPECT_EQ(parseEntity("&#0;", 0).text, "\xEF\xBF\xBD");
    EXPECT_EQ(parseEntity("&#xD800;", 0).text, "\xEF\xBF\xBD");
    EXPECT_EQ(parseEntity("&amp", 0).consumed, 0u);
    EXPECT_EQ(lookupEntity("NotEqualTilde"), "\xE2\x89\x82\xCC\xB8");
    EXPECT_EQ(lookupEntity("nosuch"), "");
    EXPECT_EQ(unescapeString("\\*\\a&amp;&x;"), "*\\a&&x;");
}

TEST(MarkdownEdges, Inlines)
{
    checkCases({
        {"foo  \n  bar", "<p>foo<br />\nbar</p>\n"},
        {"foo \n  bar", "<p>foo\nbar</p>\n"},
        {"foo\\\nbar", "<p>foo<br />\nbar</p>\n"},
        {"\\* \\a", "<p>* \\a</p>\n"},
        {"`` ` ``", "<p><code>`</code></p>\n"},
        {"`a``", "<p>`a``</p>\n"},
        {"` `", "<p><code> </code></p>\n"},
        {"~~x~~ ~x~", "<p><del>x</del> <del>x</del></p>\n"},
        {"~~x~", "<p>~~x~</p>\n"},
        {"a ~~~x~~~", "<p>a ~~~x~~~</p>\n"},
        {"*a**", "<p><em>a</em>*</p>\n"},
        {"*foo**bar**baz*", "<p><em>foo<strong>bar</strong>baz</em></p>\n"},
        {"[a](<b c> 'd')", "<p><a href=\"b%20c\" title=\"d\">a</a></p>\n"},
        {"[a] [b]\n\n[a]: /x", "<p><a href=\"/x\">a</a> [b]</p>\n"},
        {"[foo [bar](/uri)](/uri)", "<p>[foo <a href=\"/uri\">bar</a>](/uri)</p>\n"},
        {"<ab:c> <a:b> <x@y.z>", "<p><a href=\"ab:c\">ab:c</a> &lt;a:b&gt; <a href=\"mailto:x@y.z\">x@y.z</a></p>\n"},
        {"a <!--> <!--->", "<p>a <!--> <!---></p>\n"},
        {"- [ ]", "<ul>\n<li><input disabled=\"\" type=\"checkbox\"> </li>\n</ul>\n"},
        {"- [x]foo", "<ul>\n<li>[x]foo</li>\n</ul>\n"},
        {"- [X] a", "<ul>\n<li><input checked=\"\" disabled=\"\" type=\"checkbox\"> a</li>\n</ul>\n"},
        {"a \"quoted\"", "<p>a &quot;quoted&quot;</p>\n"},
    });
    auto doc = parseMarkdown("a]", true);
    const MarkdownNode* para = doc->firstChild;
    ASSERT_EQ(para->firstChild, para->lastChild);
    EXPECT_EQ(para->firstChild->literal, "a]");
    EXPECT_TRUE(isPunctuationChar(0x2010));
    EXPECT_FALSE(isPunctuationChar(0x2102));
    EXPECT_FALSE(isPunctuationChar(0xAA));
    EXPECT_TRUE(isPunctuationChar(0x2E5D));
}

TEST(MarkdownEdges, ExtendedAutolinks)
{
    checkCases({
        {"Visit www.a.com.", "<p>Visit <a href=\"http://www.a.com\">www.a.com</a>.</p>\n"},
        {"http://a.com/x)", "<p><a href=\"http://a.com/x\">http://a.com/x</a>)</p>\n"},
        {"http://a.com/(x)", "<p><a href=\"http://a.com/(x)\">http://a.com/(x)</a></p>\n"},
        {"http://a.com/x&hl;", "<p><a href=\"http://a.com/x\">http://a.com/x</a>&amp;hl;</p>\n"},
        {"http://a.com/x\"", "<p><a href=\"http://a.com/x\">http://a.com/x</a>&quot;</p>\n"},
        {"http://a.com/x'", "<p><a href=\"http://a.com/x\">http://a.com/x</a>'</p>\n"},
        {"http://localhost:8080/x", "<p><a href=\"http://localhost:8080/x\">http://localhost:8080/x</a></p>\n"},
        {"www.a.b_c", "<p>www.a.b_c</p>\n"},
        {"www.a_b.c", "<p><a href=\"http://www.a_b.c\">www.a_b.c</a></p>\n"},
        {"see www.", "<p>see www.</p>\n"},
        {"xwww.a.com", "<p>xwww.a.com</p>\n"},
        {"(www.a.com) *www.b.com* _www.c.com_ ~www.d.com~",
            "<p>(<a href=\"http://www.a.com\">www.a.com</a>) <em><a href=\"http://www.b.com\">www.b.com</a></em> "
            "<em><a href=\"http://www.c.com\">www.c.com</a></em> <del><a "
            "href=\"http://www.d.com\">www.d.com</a></del></p>\n"},
        {"`www.a.com` <b title=\"www.a.com\"> [x](www.b.com) a@b.com",
            "<p><code>www.a.com</code> <b title=\"www.a.com\"> <a href=\"www.b.com\">x</a> a@b.com</p>\n"},
        {"WWW.A.COM HTTP://A.COM", "<p>WWW.A.COM HTTP://A.COM</p>\n"},
        {"www.a.com www.b.com",
            "<p><a href=\"http://www.a.com\">www.a.com</a> <a href=\"http://www.b.com\">www.b.com</a></p>\n"},
    });
    EXPECT_EQ(html("www.a.com", false), "<p>www.a.com</p>\n");
    EXPECT_EQ(autolinkTrimLength("http://a.com/x).,"), 3u);
    EXPECT_EQ(autolinkTrimLength("a&lt;"), 4u);
    EXPECT_EQ(autolinkTrimLength("a(b))"), 1u);
}

}  // namespace
}  // namespace qm
