// The Help page driven frame by frame: history, search, the narrow layout,
// anchors from other pages and the contents' marks.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/app_text.h"
#include "app/navigation.h"
#include "help_harness.h"
#include "pages/help/help_page.h"
#include "pages/help/help_page_internal.h"
#include "pages/help/help_view_internal.h"
#include "platform/keys.h"
#include "ui/widget_id.h"

namespace qm {
namespace {

using testing::HelpHarness;
using testing::TempDir;

constexpr uint8_t keyF = uint8_t(keyA + ('f' - 'a'));

int32_t firstOf(HelpHarness& h, int page) { return h.view().book->pages[size_t(page)].firstSection; }

TEST(HelpPage, BackAndForwardRetraceTheSectionsOpened)
{
    HelpHarness h;
    h.frame();
    // A disabled button is no widget: press where Back is drawn.
    auto press = [&](const char* button) {
        if (h.widget(button)) {
            h.clickWidget(button);
            return;
        }
        ASSERT_STREQ(button, "help-back");
        h.click(24 + 16, 18 + 16);
        h.frame();
    };
    press("help-back");  // nothing to go back to
    EXPECT_EQ(h.view().currentSection, 0);
    for (int page : {1, 2, 3})
        h.clickWidget("htc" + std::to_string(page));
    EXPECT_EQ(h.view().backStack, (std::vector<int32_t>{0, firstOf(h, 1), firstOf(h, 2)}));

    const struct {
        const char* button;
        int32_t section;
        size_t back, forward;
    } steps[] = {{"help-back", firstOf(h, 2), 2, 1}, {"help-back", firstOf(h, 1), 1, 2}, {"help-back", 0, 0, 3},
        {"help-back", 0, 0, 3}, {"help-fwd", firstOf(h, 1), 1, 2}, {"help-fwd", firstOf(h, 2), 2, 1}};
    for (const auto& s : steps) {
        press(s.button);
        EXPECT_EQ(h.view().currentSection, s.section) << s.button;
        EXPECT_EQ(h.view().backStack.size(), s.back);
        EXPECT_EQ(h.view().forwardStack.size(), s.forward);
    }
    h.clickWidget("htc4");  // a new section empties Forward
    EXPECT_TRUE(h.view().forwardStack.empty());
    EXPECT_EQ(h.view().backStack, (std::vector<int32_t>{0, firstOf(h, 1), firstOf(h, 2)}));
    h.clickWidget("htc4");  // the one shown: nothing to remember
    EXPECT_EQ(h.view().backStack.size(), 3u);
}

TEST(HelpPage, SearchFollowsTypingAndEnterOpensTheFirstHit)
{
    HelpHarness h;
    h.frame();
    const int64_t field = widgetId(h.ui(), "help-search");
    h.key(keyF, modControl);
    h.frame();
    EXPECT_TRUE(isFocused(h.ui(), field));

    h.type("shortcuts");
    h.frame();
    EXPECT_EQ(h.view().searchText, "shortcuts");
    EXPECT_FALSE(h.labelsStartingWith("hres").empty());
    EXPECT_TRUE(h.labelsStartingWith("htc").empty());

    h.key(keyEscape);  // drops the query: the contents come back at once
    h.frame();
    EXPECT_EQ(h.view().searchText, "");
    EXPECT_TRUE(h.labelsStartingWith("hres").empty());
    EXPECT_FALSE(h.labelsStartingWith("htc").empty());

    h.key(keyF, modControl);
    h.frame();
    h.type("tour");
    h.frame();
    EXPECT_FALSE(h.labelsStartingWith("hres").empty());
    for (int i = 0; i < 4; ++i)
        h.key(keyBackspace);
    h.frame();
    EXPECT_FALSE(h.labelsStartingWith("htc").empty());

    h.type("zzqqxx");  // no hit: Enter keeps the query and opens nothing
    h.frame();
    h.key(keyEnter);
    h.frame();
    EXPECT_EQ(h.view().searchText, "zzqqxx");
    EXPECT_EQ(h.view().currentSection, 0);
    EXPECT_TRUE(h.view().backStack.empty());

    h.key(keyF, modControl);
    h.frame();
    h.type("shortcuts");  // the refocused field selected its text: typing replaces it
    h.frame();
    h.key(keyEnter);
    h.frame();
    const auto hits = searchHelpBook(h.view().book.get(), "shortcuts", 60);
    ASSERT_FALSE(hits.empty());
    EXPECT_EQ(h.view().currentSection, hits[0].section);
    EXPECT_EQ(h.view().searchText, "");
    EXPECT_EQ(h.view().highlightWords, splitSearchWords("shortcuts"));
    h.frame();
    EXPECT_FALSE(h.labelsStartingWith("htc").empty());
}

TEST(HelpPage, AClickedResultOpensItsSectionWithHighlights)
{
    HelpHarness h;
    h.view().searchText = "recurring";
    h.frame();
    const auto hits = searchHelpBook(h.view().book.get(), "recurring", 60);
    ASSERT_GT(hits.size(), 1u);
    h.clickWidget("hres#1");
    EXPECT_EQ(h.view().currentSection, hits[1].section);
    EXPECT_EQ(h.view().highlightWords, (std::vector<std::string>{"recurring"}));
    EXPECT_EQ(h.view().searchText, "");
    EXPECT_EQ(h.view().backStack, (std::vector<int32_t>{0}));
}

TEST(HelpPage, TheSearchRunsOncePerChangeOfTheText)
{
    HelpHarness h;
    h.frame();
    h.key(keyF, modControl);
    h.frame();
    for (char c : std::string("short")) {
        h.type(std::string(1, c));
        h.frames(3);
    }
    EXPECT_EQ(h.view().searchesRun, 5);
    h.frames(10);
    h.key(keyBackspace);
    h.frames(4);
    EXPECT_EQ(h.view().searchesRun, 6);
    EXPECT_EQ(h.view().resultsQuery, "shor");
}

TEST(HelpPage, NarrowWindowsShowOnePanelAndTheContentsToggle)
{
    HelpHarness wide(1280, 820);
    wide.frame();
    EXPECT_FALSE(wide.widget("help-toc"));
    EXPECT_FALSE(wide.labelsStartingWith("htc").empty());
    EXPECT_TRUE(wide.widget("help-tour"));

    HelpHarness h(700, 820);
    h.frame();
    ASSERT_TRUE(h.widget("help-toc"));
    EXPECT_TRUE(h.labelsStartingWith("htc").empty());  // the page is read
    h.clickWidget("help-toc");
    EXPECT_TRUE(h.view().contentsOpen);
    h.frame();
    const std::vector<HelpSection>& sections = h.view().book->sections;
    EXPECT_EQ(h.labelsStartingWith("htc").size(),
        size_t(std::count_if(sections.begin(), sections.end(), [](const HelpSection& s) { return s.level == 1; })));
    h.clickWidget("htc2");
    EXPECT_FALSE(h.view().contentsOpen);
    EXPECT_EQ(h.view().currentSection, firstOf(h, 2));
    h.frame();
    EXPECT_TRUE(h.labelsStartingWith("htc").empty());
}

TEST(HelpPage, AnchorsFromOtherPagesSwitchToHelp)
{
    HelpHarness h;
    h.state().page = pageCalendar;
    h.state().framesOnPage = 9;
    openHelpAnchor(h.state(), "no-such-anchor");
    EXPECT_EQ(h.state().page, pageHelp);
    EXPECT_EQ(h.state().previousPage, pageCalendar);
    EXPECT_EQ(h.state().framesOnPage, 0);
    EXPECT_EQ(h.view().currentSection, 0);

    h.state().page = pageReports;
    openHelpAnchor(h.state(), "shortcuts");
    EXPECT_EQ(h.state().previousPage, pageReports);
    const int32_t shortcuts = findHelpAnchor(*h.view().book, "shortcuts");
    EXPECT_EQ(h.view().currentSection, shortcuts);
    EXPECT_EQ(h.view().backStack, (std::vector<int32_t>{0}));

    openHelpAnchor(h.state(), "terms");  // already on Help: the page to return to stays
    EXPECT_EQ(h.state().previousPage, pageReports);
    h.frame();
    EXPECT_EQ(h.view().pendingSection, -1);
}

TEST(HelpPage, AnEmptyFolderSaysTheHelpIsNotAvailable)
{
    TempDir empty;
    HelpHarness h(1000, 700, empty.path());
    h.frame();
    EXPECT_FALSE(h.widget("help-back"));
    const double width = measureText(h.state(), "The help is not available in this build.", 13, 400);
    double left = 1e9, right = -1e9;
    for (const testing::Shape& s : h.shapes())
        if (s.mode == modeText) {
            left = std::min(left, s.bounds.x);
            right = std::max(right, s.bounds.x + s.bounds.w);
        }
    EXPECT_NEAR(left, (1000 - width) / 2, 3);
    EXPECT_NEAR(right, (1000 + width) / 2, 3);
}

TEST(HelpPage, TheViewAloneKeepsNoHistory)
{
    HelpHarness h;
    std::shared_ptr<HelpBook> book = sharedHelpBook(h.state());
    for (const char* anchor : {"terms", "privacy", "terms"}) {
        openHelpSection(h.state(), findHelpAnchor(*book, anchor), false);
        h.frame([&] { helpDocumentView(h.state(), {0, 0, 800, 600}); });
        EXPECT_EQ(h.view().currentSection, findHelpAnchor(*book, anchor));
    }
    openHelpSection(h.state(), int32_t(book->sections.size()), true);  // out of range: nothing
    EXPECT_EQ(h.view().currentSection, findHelpAnchor(*book, "terms"));
    EXPECT_TRUE(h.view().backStack.empty());
    EXPECT_TRUE(h.view().forwardStack.empty());
}

TEST(HelpPage, ContentsMarkTheLevelTwoParentOfTheHeadingRead)
{
    TempDir dir;
    std::string text = "# Top {#top}\n\n";
    for (const char* heading : {"## Two {#two}", "### Three {#three}", "## Four {#four}"}) {
        for (int i = 0; i < 25; ++i)
            text += "Line " + std::to_string(i) + " of text.\n\n";
        text += std::string(heading) + "\n\n";
    }
    for (int i = 0; i < 25; ++i)
        text += "Closing line " + std::to_string(i) + ".\n\n";
    testing::writeHelpFolder(dir.path(), {{"a.md", text}});
    HelpHarness h(1280, 820, dir.path());
    h.frame();
    const HelpBook& book = *h.view().book;
    const Color marked = h.ui().theme.base[slotAccentBackground];
    auto markedRows = [&] {
        std::vector<std::string> out;
        for (const char* label : {"htc0", "hts1", "hts3"}) {
            const WidgetRecord* w = h.widget(label);
            if (w && !testing::fillsAt(h.shapes(), w->rect).empty()
                && testing::sameColor(testing::fillsAt(h.shapes(), w->rect).front(), marked))
                out.push_back(label);
        }
        return out;
    };
    EXPECT_EQ(markedRows(), (std::vector<std::string>{"htc0"}));
    EXPECT_FALSE(h.widget("hts2"));  // level 3 has no row

    const struct {
        const char* anchor;
        const char* row;
    } cases[] = {{"two", "hts1"}, {"three", "hts1"}, {"four", "hts3"}, {"top", "htc0"}};
    for (const auto& c : cases) {
        openHelpSection(h.state(), findHelpAnchor(book, c.anchor), true);
        h.frames(2);
        const int32_t heading = currentHelpHeading(h.state(), h.view().layout, h.view().scroll);
        EXPECT_EQ(heading, findHelpAnchor(book, c.anchor)) << c.anchor;
        EXPECT_EQ(markedRows(), (std::vector<std::string>{c.row})) << c.anchor;
    }
}

// A file may hold several level-1 topics: each has its own row, and the
// level-2 sections listed are those of the topic being read.
TEST(HelpPage, EveryLevelOneTopicHasAContentsRow)
{
    TempDir dir;
    testing::writeHelpFolder(dir.path(),
        {{"a.md",
             "# One {#one}\n\nText.\n\n## Sub {#sub}\n\nText.\n\n# Two {#two}\n\nText.\n\n## Keys {#shortcuts}\n\n"
             "Text.\n"},
            {"b.md", "# Three {#three}\n\nText.\n"}});
    HelpHarness h(1280, 820, dir.path());
    h.frame();
    const HelpBook& book = *h.view().book;
    const int32_t two = findHelpAnchor(book, "two");
    const std::string twoRow = "htc0-" + std::to_string(two);
    EXPECT_EQ(h.labelsStartingWith("htc"), (std::vector<std::string>{"htc0", twoRow, "htc1"}));
    EXPECT_TRUE(h.widget("hts" + std::to_string(findHelpAnchor(book, "sub"))));
    h.clickWidget(twoRow);
    h.frame();
    EXPECT_EQ(h.view().currentSection, two);
    EXPECT_FALSE(h.widget("hts" + std::to_string(findHelpAnchor(book, "sub"))));
    EXPECT_TRUE(h.widget("hts" + std::to_string(findHelpAnchor(book, "shortcuts"))));
}

// "?" opens the keyboard shortcuts, unless it is typed into a field.
TEST(HelpPage, QuestionMarkOpensTheKeyboardShortcuts)
{
    TempDir dir;
    testing::writeHelpFolder(dir.path(),
        {{"a.md", "# One {#one}\n\nText.\n"}, {"b.md", "# Keys {#keys}\n\n## Keyboard {#shortcuts}\n\nText.\n"}});
    HelpHarness h(1280, 820, dir.path());
    h.frame();
    const int32_t shortcuts = findHelpAnchor(*h.view().book, "shortcuts");
    h.clickWidget("help-search");
    h.type("?");
    h.frames(2);
    EXPECT_EQ(h.view().currentSection, 0) << "typed into the search field";
    h.key(keyEscape);
    h.click(900, 500);
    h.frames(2);
    h.type("?");
    h.frames(2);
    EXPECT_EQ(h.view().currentSection, shortcuts);
}

TEST(HelpPage, TheLayoutIsMadeOncePerWidthAndScale)
{
    HelpHarness h;
    Rect rect{0, 0, 900, 600};
    auto draw = [&](int n) { h.frames(n, [&] { helpDocumentView(h.state(), rect); }); };
    sharedHelpBook(h.state());
    draw(5);
    EXPECT_EQ(h.view().layoutsMade, 1);
    for (double w : {500.0, 600.0, 700.0}) {
        rect.w = w;
        draw(3);
    }
    EXPECT_EQ(h.view().layoutsMade, 4);
    rect.w = 1200;  // the column stops growing at 760 dp
    draw(2);
    rect.w = 1300;
    draw(2);
    EXPECT_EQ(h.view().layoutsMade, 5);
    h.ui().zoom = 1.25;  // same rectangle, larger text
    draw(3);
    EXPECT_EQ(h.view().layoutsMade, 6);
    openHelpSection(h.state(), firstOf(h, 3), true);
    draw(3);
    EXPECT_EQ(h.view().layoutsMade, 7);
}

}  // namespace
}  // namespace qm
