// The document view: colours, geometry, hit-testing and highlights as
// tables, then whole frames over a help folder made for the cases.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/theme_apply.h"
#include "docs/fake_metrics.h"
#include "help_harness.h"
#include "pages/help/help_view_internal.h"
#include "platform/keys.h"
#include "platform/render/renderer.h"
#include "ui/text_edit.h"
#include "ui/widget_id.h"

namespace qm {
namespace {

using testing::HelpHarness;
using testing::Shape;
using testing::TempDir;

std::string longPage()
{
    std::string text = "# Long {#long}\n\n";
    for (int i = 0; i < 30; ++i)
        text += "Paragraph " + std::to_string(i) + " of the long page, with enough words to fill a line or two.\n\n";
    text += "Links: [out](https://example.org/a?b=1) and [rel](other.md#id) and [page](other.md) and [gone](#nowhere) "
            "and ![pic](https://example.org/p.png) end.\n\n";
    text += "## Middle {#mid}\n\n";
    for (int i = 0; i < 30; ++i)
        text += "Middle paragraph " + std::to_string(i) + " says something.\n\n";
    text += "### Deep {#deep}\n\n";
    for (int i = 0; i < 30; ++i)
        text += "Deep paragraph " + std::to_string(i) + ".\n\n";
    return text;
}

// long.md, other.md, short.md: pages 0, 1 and 2.
struct HelpFolder {
    TempDir dir;
    HelpFolder()
    {
        testing::writeHelpFolder(dir.path(),
            {{"long.md", longPage()}, {"other.md", "# Other {#other-top}\n\nText.\n\n## Target {#id}\n\nMore.\n"},
                {"short.md", "# Short {#short}\n\nOne line.\n"}});
    }
};

// Where a link's first cell is laid out, relative to the document; the
// image's placeholder counts as one cell.
std::optional<std::pair<double, double>> linkPoint(const RichDoc& doc, const DocLayout& layout, int32_t link)
{
    for (const LaidOutBlock& block : layout.blocks)
        for (const LaidOutLine& line : block.lines) {
            const CellPosition& at = line.position;
            if (!richCellValid(doc, size_t(at.block), at.row, at.column))
                continue;
            const RichCells& cells = richCells(doc, size_t(at.block), at.row, at.column);
            for (size_t i = 0; i + 1 < line.xPositions.size(); ++i) {
                const size_t c = size_t(at.firstCell) + i;
                if (c < cells.size() && cells[c].link == link)
                    return std::make_pair(
                        (line.xPositions[i] + line.xPositions[i + 1]) / 2, block.y + (line.top + line.bottom) / 2);
            }
        }
    return std::nullopt;
}

int32_t linkTo(const RichDoc& doc, std::string_view destination)
{
    for (size_t i = 0; i < doc.links.size(); ++i)
        if (doc.links[i].destination == destination)
            return int32_t(i + 1);
    return 0;
}

// The point of the window where the view draws a link, after scrolling the
// view so that it lies in the middle of the rectangle.
std::pair<double, double> showLink(HelpHarness& h, const Rect& rect, int32_t link)
{
    HelpViewState& v = h.view();
    const RichDoc& doc = *v.book->pages[size_t(v.layoutPage)].doc;
    auto at = linkPoint(doc, v.layout, link);
    EXPECT_TRUE(at) << "link " << link << " is not laid out";
    if (!at)
        return {0, 0};
    const double m = helpMargin(h.state());
    v.scroll = std::max(0.0, at->second + m - rect.h / 2);
    h.frame([&] { helpDocumentView(h.state(), rect); });
    const double left = rect.x + std::max(m, (rect.w - helpColumnWidth(h.state(), rect.w)) / 2);
    return {left + at->first, rect.y + m - v.scroll + at->second};
}

bool near(double a, double b) { return std::fabs(a - b) < 0.01; }

std::vector<Shape> shapesOfColour(const std::vector<Shape>& shapes, Color c)
{
    std::vector<Shape> out;
    for (const Shape& s : shapes)
        if (testing::sameColor(s.color, c))
            out.push_back(s);
    return out;
}

TEST(HelpView, RunColours)
{
    HelpHarness h(800, 600);
    const Theme& t = h.ui().theme;
    const struct {
        uint8_t code;
        Color colour;
    } cases[] = {{0, t.base[slotText]}, {3, t.base[slotText]}, {1, t.base[slotTextSecondary]},
        {9, t.base[slotTextSecondary]}, {10, t.base[slotTextSecondary]}, {18, t.base[slotTextSecondary]},
        {255, t.base[slotTextSecondary]}, {2, t.base[slotLink]}, {4, withAlpha(t.base[slotText], 0.06)},
        {5, t.base[slotAccent]}, {6, t.base[6]}, {7, t.base[6]}, {8, t.base[3]}, {11, t.base[slotDanger]},
        {12, withAlpha(t.base[slotAccentBackground], 0.5)}, {13, t.base[slotSuccess]}, {14, t.base[slotWarning]},
        {16, t.base[slotWarning]}, {15, withAlpha(t.base[slotWarning], 0.1)}, {17, withAlpha(t.base[slotDanger], 0.1)}};
    for (const auto& c : cases)
        EXPECT_EQ(helpRunColour(h.state(), c.code), c.colour) << int(c.code);
}

TEST(HelpView, LaidOutBlockYAndLinkAtPoint)
{
    auto doc = markdownToRichDoc("[ab](#x) cd [ef](#y)\n\nnext [gh](#z)");
    DocLayout layout =
        layoutDocument(*doc, test::fakeMetrics(std::make_shared<test::FakeMetricsState>(), false, true), 1000, {});
    ASSERT_EQ(layout.blocks.size(), 2u);
    EXPECT_EQ(laidOutBlockY(layout, 0), layout.blocks[0].y);
    EXPECT_EQ(laidOutBlockY(layout, 1), layout.blocks[1].y);
    EXPECT_EQ(laidOutBlockY(layout, 7), 0);
    EXPECT_EQ(laidOutBlockY(DocLayout{}, 0), 0);

    const LaidOutBlock& first = layout.blocks[0];
    const LaidOutBlock& second = layout.blocks[1];
    const LaidOutLine& a = first.lines[0];
    const LaidOutLine& b = second.lines[0];
    const double ya = first.y + (a.top + a.bottom) / 2, yb = second.y + (b.top + b.bottom) / 2;
    const double gap = (first.y + first.height + second.y) / 2;
    const struct {
        double x, y;
        int32_t link;
    } cases[] = {
        {a.xPositions.front(), ya, 1},        // the first x-position is the first cell
        {a.xPositions[2] + 0.5, ya, 0},       // the space after it
        {a.xPositions.back(), ya, 2},         // the last x-position is the last cell
        {a.xPositions.back() + 0.5, ya, 0},   // past the line's end
        {a.xPositions.front() - 0.5, ya, 0},  // before its start
        {b.xPositions.back(), yb, 3},
        {b.xPositions.front(), yb, 0},
        {a.xPositions.back(), gap, 0},  // between the paragraphs
        {a.xPositions.back(), first.y + first.height + second.y + 1000, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(helpLinkAtPoint(*doc, layout.blocks, c.x, c.y), c.link) << c.x << "," << c.y;
}

TEST(HelpView, HighlightsMatchAcrossCaseWithoutOverlapAndWithinLines)
{
    HelpHarness h(800, 600);
    const Color match = rgba(1.0, 0.82, 0.2, 0.45);
    auto fake = test::fakeMetrics(std::make_shared<test::FakeMetricsState>(), false, true);
    const struct {
        const char* markdown;
        double width;
        std::u32string word;
        size_t rects;
    } cases[] = {
        {"Budget budget BUDGET", 1000, U"budget", 3},
        {"aaaa", 1000, U"aa", 2},
        {"aaaaa", 1000, U"aa", 2},
        {"abcdefghij", 40, U"abcdefghij", 0},  // broken over lines: longer than each of them
        {"abcdefghij", 40, U"abc", 1},
        {"plain text", 1000, U"", 0},
    };
    for (const auto& c : cases) {
        auto doc = markdownToRichDoc(c.markdown);
        DocLayout layout = layoutDocument(*doc, fake, c.width, {});
        h.frame([&] {
            for (const LaidOutBlock& block : layout.blocks)
                highlightHelpMatches(h.state(), *doc, block, 100, 50, {c.word});
        });
        EXPECT_EQ(shapesOfColour(h.shapes(), match).size(), c.rects) << c.markdown;
    }

    // The rectangle runs from one pixel before the first character to one
    // pixel after the last, over the line's height.
    auto doc = markdownToRichDoc("xx Budget yy");
    DocLayout layout = layoutDocument(*doc, fake, 1000, {});
    h.frame([&] { highlightHelpMatches(h.state(), *doc, layout.blocks[0], 100, 50, {U"budget"}); });
    auto rects = shapesOfColour(h.shapes(), match);
    ASSERT_EQ(rects.size(), 1u);
    const LaidOutLine& line = layout.blocks[0].lines[0];
    const Rect& r = rects[0].rect;
    EXPECT_NEAR(r.x, 100 + line.xPositions[3] - 1, 0.01);
    EXPECT_NEAR(r.x + r.w, 100 + line.xPositions[9] + 1, 0.01);
    EXPECT_NEAR(r.y, 50 + layout.blocks[0].y + line.top, 0.01);
    EXPECT_NEAR(r.h, line.bottom - line.top, 0.01);
}

TEST(HelpView, ScrollBarGeometry)
{
    HelpHarness h(800, 600);
    const Rect rect{0, 0, 400, 500};
    const struct {
        double scroll, maxScroll, content;
        Rect thumb;
    } cases[] = {
        {0, 500, 1000, {392, 4, 4, 246}},
        {500, 500, 1000, {392, 4 + 492 - 246, 4, 246}},
        {250, 500, 1000, {392, 4 + 123, 4, 246}},
        {0, 99500, 100000, {392, 4, 4, 24}},  // never thinner than 24 dp
        {99500, 99500, 100000, {392, 4 + 492 - 24, 4, 24}},
    };
    for (const auto& c : cases) {
        HelpScrollBar bar = helpScrollBar(h.state(), rect, c.scroll, c.maxScroll, c.content);
        EXPECT_EQ(bar.track, (Rect{390, 4, 8, 492}));
        EXPECT_TRUE(near(bar.thumb.x, c.thumb.x) && near(bar.thumb.y, c.thumb.y) && near(bar.thumb.w, c.thumb.w)
            && near(bar.thumb.h, c.thumb.h))
            << c.scroll << " " << c.content << ": " << bar.thumb.y << " " << bar.thumb.h;
    }
}

struct ViewCase : ::testing::Test {
    HelpFolder folder;
    HelpHarness h{1000, 700, folder.dir.path()};
    Rect rect{100, 50, 600, 500};

    void SetUp() override
    {
        sharedHelpBook(h.state());
        h.frame([&] { helpDocumentView(h.state(), rect); });
    }
    void draw(int n = 1)
    {
        h.frames(n, [&] { helpDocumentView(h.state(), rect); });
    }
    const HelpBook& book() { return *h.view().book; }
    double maxScroll() { return h.view().layout.height + 2 * helpMargin(h.state()) - rect.h; }
};

TEST_F(ViewCase, DragsOnTheTrackScrollToTopMiddleAndBottom)
{
    const double top = maxScroll();
    ASSERT_GT(top, 0);
    HelpScrollBar bar = helpScrollBar(h.state(), rect, 0, top, h.view().layout.height + 2 * helpMargin(h.state()));
    const double x = bar.track.x + bar.track.w / 2;
    const struct {
        double y, scroll;
    } cases[] = {{bar.track.y + bar.track.h / 2, top / 2}, {bar.track.y + bar.track.h - 1, top}, {bar.track.y, 0},
        {bar.track.y + bar.track.h / 2, top / 2}};
    h.move(x, bar.track.y);
    h.press();
    draw();
    for (const auto& c : cases) {
        h.move(x, c.y);
        draw();
        EXPECT_NEAR(h.view().scroll, c.scroll, 0.01) << c.y;
    }
    h.release();
    draw();
    EXPECT_TRUE(h.widget("helpscroll"));
}

// A column wider than the view would cut every line's end at the clip: a
// narrow rectangle lays the page out at the width it has, within the margins.
TEST_F(ViewCase, ANarrowRectangleLaysOutAtItsOwnWidthAtTheMargin)
{
    rect = {20, 40, 150, 400};
    draw();
    EXPECT_EQ(h.view().layoutWidth, 150 - 2 * 32);
    const Rect inner{21, 41, 148, 398};
    double leftmost = 1e9, rightmost = 0;
    for (const Shape& s : h.shapes())
        if (s.mode == modeText && s.layer == 0 && s.bounds.y > 40 && s.bounds.y < 440) {
            leftmost = std::min(leftmost, s.bounds.x);
            rightmost = std::max(rightmost, s.bounds.x + s.bounds.w);
            EXPECT_TRUE(s.clipped && s.clip == inner);
        }
    EXPECT_GE(leftmost, 20 + 32 - 1);  // a glyph's quad starts a pixel early
    EXPECT_LT(leftmost, 20 + 32 + 4);
    EXPECT_LE(rightmost, inner.x + inner.w);
}

TEST_F(ViewCase, AShortPageNeitherScrollsNorShowsABar)
{
    openHelpSection(h.state(), findHelpAnchor(book(), "short"), true);
    draw();
    h.move(rect.x + 50, rect.y + 50);
    for (uint8_t key : {keyPageDown, keyDown, keyEnd}) {
        h.wheel(-3);
        h.key(key);
        draw();
        EXPECT_EQ(h.view().scroll, 0);
        EXPECT_FALSE(h.widget("helpscroll"));
    }
}

TEST_F(ViewCase, KeysAndWheelScrollOnlyWhileHoveredAndUnfocused)
{
    const double step = 0.9 * rect.h;
    h.move(rect.x + 50, rect.y + 50);
    const struct {
        uint8_t key;
        double scroll;
    } keys[] = {
        {keyPageDown, step}, {keyDown, step + 40}, {keyUp, step}, {keyPageUp, 0}, {keyEnd, maxScroll()}, {keyHome, 0}};
    for (const auto& k : keys) {
        h.key(k.key);
        draw();
        EXPECT_NEAR(h.view().scroll, k.scroll, 0.01) << int(k.key);
    }
    h.wheel(-2);
    draw();
    EXPECT_NEAR(h.view().scroll, 96, 0.01);

    // Another field holds the keyboard: PageDown is its own.
    std::string text;
    const int64_t other = widgetId(h.ui(), "other-field");
    setFocus(h.ui(), other);
    h.key(keyPageDown);
    h.frame([&] {
        helpDocumentView(h.state(), rect);
        textEdit(h.ui(), other, text, {0, 0, 90, 30});
    });
    EXPECT_NEAR(h.view().scroll, 96, 0.01);

    // Nor does the view take keys while the pointer is elsewhere.
    setFocus(h.ui(), 0);
    h.move(5, 5);
    h.key(keyPageDown);
    draw();
    EXPECT_NEAR(h.view().scroll, 96, 0.01);
}

TEST_F(ViewCase, OpeningASectionScrollsToItsHeading)
{
    const double m = helpMargin(h.state());
    const int32_t mid = findHelpAnchor(book(), "mid");
    openHelpSection(h.state(), mid, true);
    draw();
    EXPECT_NEAR(
        h.view().scroll, laidOutBlockY(h.view().layout, book().sections[size_t(mid)].headingBlock) + m - 12, 0.01);
    EXPECT_EQ(h.view().pendingSection, -1);

    openHelpSection(h.state(), findHelpAnchor(book(), "long"), true);
    draw();
    EXPECT_EQ(h.view().scroll, 0);  // a page's first section shows the page from its top

    h.view().book->sections[size_t(mid)].headingBlock = 100000;
    openHelpSection(h.state(), mid, true);
    draw();
    EXPECT_NEAR(h.view().scroll, m - 12, 0.01);
}

TEST_F(ViewCase, LinksInsideTheBookOpenTheirSections)
{
    const RichDoc& doc = *book().pages[0].doc;
    const struct {
        const char* destination;
        int32_t section;
    } cases[] = {{"help:other.md#id", findHelpAnchor(book(), "id")}, {"help:other.md", book().pages[1].firstSection}};
    for (const auto& c : cases) {
        openHelpSection(h.state(), 0, false);
        h.view().highlightWords = {"paragraph"};
        draw();
        auto [x, y] = showLink(h, rect, linkTo(doc, c.destination));
        h.click(x, y);
        draw();
        EXPECT_EQ(h.view().currentSection, c.section) << c.destination;
        EXPECT_TRUE(h.view().highlightWords.empty());
        EXPECT_TRUE(h.state().toasts.empty());
    }
    EXPECT_EQ(h.view().backStack, (std::vector<int32_t>{0, 0}));

    // A dead in-book link does nothing at all.
    openHelpSection(h.state(), 0, false);
    draw();
    auto [x, y] = showLink(h, rect, linkTo(doc, "#nowhere"));
    h.click(x, y);
    draw();
    EXPECT_EQ(h.view().currentSection, 0);
    EXPECT_EQ(h.view().backStack.size(), 2u);
    EXPECT_TRUE(h.state().toasts.empty());
}

TEST_F(ViewCase, OutsideLinksGoToTheOpenerAsOneArgument)
{
    TempDir bin;
    const std::string record = bin / "args";
    testing::writeText(bin / "xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" + record + "'\n");
    std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    h.app.env.set("PATH", bin.path() + ":/usr/bin:/bin").set("BROWSER", std::nullopt);
    const RichDoc& doc = *book().pages[0].doc;

    // Hovering shows where the link goes; an image link neither shows nor opens.
    const int32_t image = linkTo(doc, "https://example.org/p.png");
    auto [ix, iy] = showLink(h, rect, image);
    auto at = linkPoint(doc, h.view().layout, image);
    ASSERT_TRUE(at);
    EXPECT_EQ(helpLinkAtPoint(doc, h.view().layout.blocks, at->first, at->second), image);  // it is there to click
    h.click(ix, iy);
    draw(2);
    EXPECT_TRUE(h.ui().tooltipCandidateText.empty());
    EXPECT_NE(h.ui().cursorShape, curHand);
    EXPECT_FALSE(std::filesystem::exists(record));
    auto [rx, ry] = showLink(h, rect, linkTo(doc, "help:other.md"));
    (void)rx;
    h.move(rx, ry);
    draw();
    EXPECT_TRUE(h.ui().tooltipCandidateText.empty());  // a link inside the book shows no address

    auto [x, y] = showLink(h, rect, linkTo(doc, "https://example.org/a?b=1"));
    h.move(x, y);
    draw();
    EXPECT_EQ(h.ui().tooltipCandidateText, "https://example.org/a?b=1");
    EXPECT_EQ(h.ui().cursorShape, curHand);
    h.click(x, y);
    draw();
    std::ifstream in(record);
    std::stringstream got;
    got << in.rdbuf();
    EXPECT_EQ(got.str(), "1\nhttps://example.org/a?b=1\n");
    EXPECT_TRUE(h.state().toasts.empty());

    // Without any opener: one error toast, and the view goes on.
    TempDir empty;
    h.app.env.set("PATH", empty.path());
    h.click(x, y);
    draw();
    ASSERT_EQ(h.state().toasts.size(), 1u);
    EXPECT_EQ(h.state().toasts[0].text, "Could not open https://example.org/a?b=1");
    EXPECT_EQ(h.state().toasts[0].kind, toastError);
    h.key(keyHome);
    draw(2);
    EXPECT_EQ(h.view().scroll, 0);
}

TEST(HelpView, EveryLinkOfTheCompiledPagesOpensItsSection)
{
    HelpHarness h(1000, 700);
    const Rect rect{100, 50, 700, 500};
    std::shared_ptr<HelpBook> book = sharedHelpBook(h.state());
    int clicked = 0;
    for (size_t p = 0; p < book->pages.size(); ++p) {
        const RichDoc& doc = *book->pages[p].doc;
        for (size_t k = 0; k < doc.links.size(); ++k) {
            const int32_t target = resolveHelpTarget(*book, doc.links[k].destination);
            if (doc.links[k].destination.rfind("#", 0) != 0 && doc.links[k].destination.rfind("help:", 0) != 0)
                continue;
            EXPECT_GE(target, 0) << doc.links[k].destination;
            openHelpSection(h.state(), book->pages[p].firstSection, false);
            h.frame([&] { helpDocumentView(h.state(), rect); });
            auto [x, y] = showLink(h, rect, int32_t(k + 1));
            h.click(x, y);
            h.frame([&] { helpDocumentView(h.state(), rect); });
            EXPECT_EQ(h.view().currentSection, target) << book->pages[p].name << " " << doc.links[k].destination;
            ++clicked;
        }
    }
    EXPECT_GE(clicked, 10);
}

}  // namespace
}  // namespace qm
