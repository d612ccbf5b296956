// The help book: its text steps, search, loading from folders, and the
// compiled-in pages with their authoring rules.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "core/utf8.h"
#include "docs/helpbook.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

TEST(HelpText, AnchorListsAndDefaultIds)
{
    struct Case {
        const char* line;
        const char* title;
        std::vector<std::string> ids;
    };
    for (const Case& c : std::vector<Case>{
             {"## Views {#views}", "## Views", {"views"}},
             {"# Terms of Use {#terms #eula}", "# Terms of Use", {"terms", "eula"}},
             {"## Sets {a, b}", "## Sets {a, b}", {}},
             {"## Odd {#}", "## Odd {#}", {}},
             {"## Both {#a #b} {#c}", "## Both {#a #b}", {"c"}},
         }) {
        HeadingAnchors h = parseHeadingAnchors(c.line);
        EXPECT_EQ(h.title, c.title) << c.line;
        EXPECT_EQ(h.ids, c.ids) << c.line;
    }
    struct Id {
        const char* title;
        const char* id;
    };
    for (const Id& c : std::vector<Id>{
             {"Views and navigation", "views-and-navigation"},
             {"Calendar Sync (iCal)", "calendar-sync"},
             {"Step 2: Add", "step-2"},
             {"Adding & editing", "adding-editing"},
             {"?!", ""},
             {"\xC3\x9C"
              "ber uns",
                 "\xC3\xBC"
                 "ber-uns"},
         })
        EXPECT_EQ(headingAnchorId(c.title), c.id) << c.title;

    StrippedAnchors s = stripHeadingAnchors(
        "# A {#a}\n```\n# In code {#x}\n~~~\n    # Four {#f}\n   # Three {#t}\n####### Seven\n#Letter\n#\r\n## B");
    EXPECT_EQ(s.text, "# A\n```\n# In code {#x}\n~~~\n    # Four {#f}\n   # Three\n####### Seven\n#Letter\n#\n## B");
    ASSERT_EQ(s.anchorLists.size(), 4u);
    EXPECT_EQ(s.anchorLists[1], std::vector<std::string>{"t"});
    EXPECT_TRUE(s.anchorLists[2].empty());
}

TEST(HelpText, BoxesLinksAndPlainText)
{
    HelpBoxes nested = parseHelpBoxes("a\n\n::: warning\nb\n\n:::Tip Hint\nc\n:::\nd\n:::\ne\n:::");
    ASSERT_EQ(nested.boxes.size(), 2u);
    EXPECT_EQ(nested.boxes[0].firstBlock, 1);
    EXPECT_EQ(nested.boxes[0].lastBlock, 3);
    EXPECT_EQ(nested.boxes[0].style, 11);
    EXPECT_EQ(nested.boxes[0].title, "");
    EXPECT_EQ(nested.boxes[1].firstBlock, 2);
    EXPECT_EQ(nested.boxes[1].lastBlock, 2);
    EXPECT_EQ(nested.boxes[1].title, "Hint");
    EXPECT_EQ(nested.boxes[1].style, 1);
    EXPECT_EQ(nested.doc->blocks.size(), 5u);  // a, b, c, d, e: markers removed

    HelpBoxes unclosed = parseHelpBoxes("a\n::: note\nb\n\nc");
    ASSERT_EQ(unclosed.boxes.size(), 1u);
    EXPECT_EQ(unclosed.boxes[0].lastBlock, 2);
    HelpBoxes empty = parseHelpBoxes("::: note\n:::\nx");
    EXPECT_TRUE(empty.boxes.empty());
    EXPECT_EQ(empty.doc->blocks.size(), 1u);

    struct Link {
        const char* target;
        const char* resolved;
    };
    for (const Link& l : std::vector<Link>{{"", ""}, {"https://a.b/c", "https://a.b/c"}, {"#x", "#x"},
             {"mailto:a@b", "mailto:a@b"}, {"help:p.md", "help:p.md"}, {"a.md", "help:a.md"},
             {"./img/a.png", "help:img/a.png"}, {"02-calendar.md#views", "help:02-calendar.md#views"}})
        EXPECT_EQ(resolveHelpLink(l.target), l.resolved) << l.target;

    auto doc = markdownToRichDoc("a|b\n-|-\n\n***\n\nx ![i](p.png) y\\\nz");
    EXPECT_EQ(richBlockPlainText(*doc->blocks[0]), "a b ");
    EXPECT_EQ(richBlockPlainText(*doc->blocks[1]), "");
    EXPECT_EQ(richBlockPlainText(*doc->blocks[2]), "x  y\nz");
}

std::vector<HelpSearchEntry> entries(const std::vector<std::pair<std::string, std::string>>& sections)
{
    std::vector<NamedText> pages;
    std::string text;
    for (const auto& [title, body] : sections)
        text += "# " + title + "\n\n" + body + "\n\n";
    return buildHelpBook({{"p.md", text}}, {})->searchEntries;
}

std::string repeat(const std::string& s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

TEST(HelpSearch, ScoresSnippetsAndLimit)
{
    auto e = entries({{"About budget", repeat("budget ", 12)}, {"Budget", repeat("budget ", 3)}, {"Other", "nothing"}});
    auto hits = searchHelp(e, "budget", 60);
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].section, 1);
    EXPECT_EQ(hits[0].score, 83);
    EXPECT_EQ(hits[1].score, 30);
    EXPECT_EQ(searchHelp(e, "  BUDGET  ", 60)[0].score, 83);  // case and spaces do not matter
    EXPECT_EQ(searchHelp(e, "(budget),", 60).size(), 2u);
    EXPECT_TRUE(searchHelp(e, " ,.() ", 60).empty());
    EXPECT_TRUE(searchHelp(e, "budget missing", 60).empty());

    EXPECT_EQ(splitSearchWords("Hello, (World)! \"x\""), (std::vector<std::string>{"hello", "world", "x"}));
    std::string shortBody = "a short body with the word";
    EXPECT_EQ(makeSearchSnippet(shortBody, shortBody, "word", 110), shortBody);
    std::string longBody = repeat("lorem ipsum ", 30) + "needle " + repeat("dolor sit ", 30);
    std::string snippet = makeSearchSnippet(longBody, longBody, "needle", 110);
    EXPECT_EQ(snippet.substr(0, 3), "...");
    EXPECT_EQ(snippet.substr(snippet.size() - 3), "...");
    EXPECT_NE(snippet.find("needle"), std::string::npos);
    std::string early = "needle " + repeat("dolor sit ", 30);
    EXPECT_NE(makeSearchSnippet(early, early, "needle", 110).substr(0, 3), "...");
    // Multi-byte text: the window never cuts a character.
    std::string wide = repeat("\xC3\xA9\xC3\xA9\xC3\xA9", 40) + " needle " + repeat("\xE2\x82\xAC", 60);
    EXPECT_TRUE(isValidUtf8(makeSearchSnippet(wide, wide, "needle", 110)));

    std::vector<std::pair<std::string, std::string>> many;
    for (int i = 0; i < 70; ++i)
        many.push_back({"Topic " + std::to_string(i), "common"});
    hits = searchHelp(entries(many), "common", 60);
    ASSERT_EQ(hits.size(), 60u);
    for (int i = 0; i < 60; ++i)
        EXPECT_EQ(hits[size_t(i)].section, i);  // ties keep section order
}

struct TempDir {
    fs::path path;
    TempDir()
    {
        char name[] = "/tmp/qmhelpXXXXXX";
        path = mkdtemp(name);
        fs::permissions(path,
            fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read
                | fs::perms::others_exec);
    }
    ~TempDir() { fs::remove_all(path); }
    void write(const std::string& rel, const std::string& text) const
    {
        fs::create_directories((path / rel).parent_path());
        std::ofstream(path / rel) << text;
    }
};

// Runs loadHelp with QUENMRK_HELP set, as the user nobody when running as
// root (root reads files of mode 000), and returns the first page's name.
std::string firstPageAsNobody(const fs::path& dir)
{
    int pipefd[2];
    if (pipe(pipefd) != 0)
        return "pipe failed";
    pid_t child = fork();
    if (child == 0) {
        close(pipefd[0]);
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        setenv("QUENMRK_HELP", dir.c_str(), 1);
        auto book = loadHelp();
        std::string name = book->pages.empty() ? "<empty>" : book->pages[0].name;
        (void)!write(pipefd[1], name.data(), name.size());
        _exit(0);
    }
    close(pipefd[1]);
    std::string out;
    char buf[256];
    for (ssize_t n; (n = read(pipefd[0], buf, sizeof buf)) > 0;)
        out.append(buf, size_t(n));
    close(pipefd[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return out;
}

TEST(HelpFolder, PagesResourcesAndFallbacks)
{
    TempDir dir;
    dir.write("README.md", "# Readme");
    dir.write("b.md", "# Bee {#bee}\n\nSee [a](a.md) and [x](a.md#second).");
    dir.write("a.md", "# Ay {#ay}\n\n## Second {#second}\n\n![pic](./img/x.png)");
    dir.write("10-ten.md", "# Ten");
    dir.write("notes.MD", "## Only level two\n\ntext");
    dir.write("img/x.png", "png");
    dir.write("sub/more.md", "# Not a page");
    fs::create_directory_symlink(dir.path / "img", dir.path / "linkdir");
    fs::create_symlink(dir.path / "a.md", dir.path / "c.md");
    fs::create_symlink(dir.path / "img/x.png", dir.path / "img/link.png");

    HelpDirectory read = readHelpDirectory(dir.path);
    std::vector<std::string> names;
    for (const auto& p : read.pages)
        names.push_back(p.name);
    EXPECT_EQ(names, (std::vector<std::string>{"10-ten.md", "a.md", "b.md", "c.md", "notes.MD"}));
    ASSERT_EQ(read.resources.size(), 1u);
    EXPECT_EQ(read.resources[0].name, "img/x.png");

    auto book = buildHelpBook(read.pages, read.resources);
    EXPECT_EQ(book->pages[4].title, "notes");  // no level-1 heading: the file name
    EXPECT_EQ(helpResourceBytes(*book, "img/x.png"), "png");
    const HelpPage& b = book->pages[2];
    ASSERT_EQ(b.doc->links.size(), 2u);
    EXPECT_EQ(resolveHelpTarget(*book, b.doc->links[0].destination), book->pages[1].firstSection);
    EXPECT_EQ(resolveHelpTarget(*book, b.doc->links[1].destination), findHelpAnchor(*book, "second"));
    EXPECT_EQ(resolveHelpTarget(*book, "#bee"), findHelpAnchor(*book, "bee"));
    EXPECT_EQ(resolveHelpTarget(*book, "help:nosuch.md"), -1);
    EXPECT_EQ(resolveHelpTarget(*book, "https://x.example"), -1);
    EXPECT_EQ(book->pages[1].doc->links[0].destination, "help:img/x.png");
    EXPECT_EQ(findHelpAnchor(*book, "##bee#"), findHelpAnchor(*book, "bee"));
    EXPECT_EQ(helpSectionPage(*book, 999), std::nullopt);

    EXPECT_EQ(firstPageAsNobody(dir.path), "10-ten.md");
    chmod((dir.path / "b.md").c_str(), 0);
    EXPECT_EQ(firstPageAsNobody(dir.path), "01-getting-started.md");  // an unreadable page gives up the folder
    chmod((dir.path / "b.md").c_str(), 0644);
    chmod((dir.path / "img/x.png").c_str(), 0);
    EXPECT_EQ(firstPageAsNobody(dir.path), "01-getting-started.md");  // so does an unreadable resource
    chmod((dir.path / "img/x.png").c_str(), 0644);

    TempDir empty;
    EXPECT_EQ(firstPageAsNobody(empty.path), "<empty>");
    EXPECT_EQ(firstPageAsNobody(empty.path / "missing"), "01-getting-started.md");

    // A 1 GiB sparse file is listed without being read: the kernel reports
    // every read of it to a watch, which must see none.
    TempDir big;
    big.write("a.md", "# A");
    const std::string huge = (big.path / "huge.bin").string();
    int fd = open(huge.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t(1) << 30), 0);
    close(fd);
    int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, huge.c_str(), IN_ACCESS), 0);
    auto reads = [&] {
        alignas(inotify_event) char events[4096];
        int count = 0;
        for (ssize_t n; (n = ::read(watch, events, sizeof events)) > 0;) {
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                count += (event->mask & IN_ACCESS) != 0;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        return count;
    };
    HelpDirectory bigRead = readHelpDirectory(big.path);
    ASSERT_EQ(bigRead.resources.size(), 1u);
    EXPECT_EQ(buildHelpBook(bigRead.pages, bigRead.resources)->resources.size(), 1u);
    EXPECT_EQ(reads(), 0);
    // The watch does see a read, even of one byte.
    char byte;
    fd = open(huge.c_str(), O_RDONLY);
    ASSERT_EQ(pread(fd, &byte, 1, 0), 1);
    close(fd);
    EXPECT_EQ(reads(), 1);
    close(watch);
}

TEST(HelpBook, SectionsTitlesAndDuplicateIds)
{
    auto book = buildHelpBook(
        {{"p.md", "intro\n\n## Two\n\nbody\n\n# One\n\n> # quoted\n\n# Two\n\nmore"}, {"none.md", "no headings"}}, {});
    EXPECT_EQ(book->pages[0].title, "One");
    ASSERT_EQ(book->sections.size(), 3u);
    EXPECT_EQ(book->sections[1].bodyText, "quoted");
    EXPECT_EQ(findHelpAnchor(*book, "two"), 0);  // the first claimant keeps the id
    EXPECT_EQ(book->pages[1].lastSection, book->pages[1].firstSection - 1);
    EXPECT_EQ(book->pages[1].title, "none");
}

// The compiled-in pages.

TEST(HelpPages, MatchTheBookTable)
{
    auto book = buildHelpBook(compiledHelpPages(), {});
    struct Expected {
        const char* name;
        std::vector<std::pair<int, std::string>> headings;  // level, title
        std::vector<std::string> boxKinds;
    };
    const std::vector<Expected> table = {
        {"01-getting-started.md", {{1, "Getting started"}, {2, "Working offline"}}, {}},
        {"02-calendar.md",
            {{1, "The calendar"}, {2, "Views and navigation"}, {2, "What each day shows"}, {2, "The summary strip"}},
            {"tip"}},
        {"03-accounts.md", {{1, "Accounts"}, {2, "Give each account a starting balance"}}, {"note"}},
        {"04-transactions.md",
            {{1, "Adding & editing transactions"}, {2, "Ways to add"}, {2, "The transaction form"},
                {1, "Recurring transactions"}, {2, "Extra options"}, {1, "Changing a single occurrence"}},
            {}},
        {"05-balance.md",
            {{1, "Running balance & anchors"}, {1, "Clipboard & keyboard shortcuts"}, {2, "Keyboard shortcuts"}},
            {"note"}},
        {"06-search-reports.md",
            {{1, "Search"}, {1, "Reports"}, {1, "Calendar Sync (iCal)"}, {1, "Import & export"},
                {2, "Import from OFX / QFX"}, {2, "Export to OFX"}},
            {}},
        {"07-account.md",
            {{1, "Appearance"}, {1, "Your account"}, {1, "Security"}, {1, "Terms and privacy"}, {1, "Need more help?"}},
            {}},
    };
    const std::vector<std::vector<std::string>> anchors = {{"getting-started"}, {"offline"}, {"calendar"}, {"views"},
        {"day-cells"}, {"summary"}, {"accounts"}, {"starting-balance"}, {"transactions"}, {"adding"}, {"form"},
        {"recurring"}, {"recurring-options"}, {"occurrences"}, {"balance-anchors"}, {"clipboard"}, {"shortcuts"},
        {"search"}, {"reports"}, {"calendar-sync"}, {"import-export"}, {"import"}, {"export"}, {"appearance"},
        {"account"}, {"security"}, {"legal"}, {"more-help"}, {"terms", "eula"}};
    ASSERT_EQ(book->pages.size(), 9u);
    size_t s = 0;
    for (size_t p = 0; p < table.size(); ++p) {
        const HelpPage& page = book->pages[p];
        EXPECT_EQ(page.name, table[p].name);
        ASSERT_EQ(page.lastSection - page.firstSection + 1, int32_t(table[p].headings.size())) << page.name;
        for (const auto& [level, title] : table[p].headings) {
            EXPECT_EQ(book->sections[s].level, level);
            EXPECT_EQ(book->sections[s].title, title);
            EXPECT_EQ(book->sections[s].anchors, anchors[s]);
            ++s;
        }
        ASSERT_EQ(page.boxes.size(), table[p].boxKinds.size()) << page.name;
    }
    EXPECT_EQ(book->pages[1].boxes[0].style, 1);
    const HelpPage& terms = book->pages[7];
    const HelpPage& privacy = book->pages[8];
    EXPECT_EQ(terms.name, "08-terms.md");
    EXPECT_EQ(terms.title, "Terms of Use");
    EXPECT_EQ(book->sections[size_t(terms.firstSection)].anchors, anchors.back());
    EXPECT_EQ(terms.lastSection - terms.firstSection, 16);
    EXPECT_EQ(privacy.name, "09-privacy.md");
    EXPECT_EQ(privacy.title, "Privacy Policy");
    EXPECT_EQ(privacy.lastSection - privacy.firstSection, 18);
    for (int32_t i = terms.firstSection + 1; i <= terms.lastSection; ++i) {
        EXPECT_EQ(book->sections[size_t(i)].level, 2);
        EXPECT_EQ(book->sections[size_t(i)].anchors[0].rfind("terms-", 0), 0u);
    }
    for (int32_t i = privacy.firstSection + 1; i <= privacy.lastSection; ++i) {
        EXPECT_EQ(book->sections[size_t(i)].level, 2);
        EXPECT_EQ(book->sections[size_t(i)].anchors[0].rfind("privacy-", 0), 0u);
    }
    for (const char* id : {"terms", "eula", "privacy", "privacy-delete"})
        EXPECT_GE(findHelpAnchor(*book, id), 0) << id;
    // Both legal texts carry the date of the acceptance stamp.
    for (const HelpPage& legal : {terms, privacy}) {
        bool dated = false;
        for (int32_t i = legal.firstSection; i <= legal.lastSection; ++i)
            dated |= book->sections[size_t(i)].bodyText.find("2026-11-03") != std::string::npos;
        EXPECT_TRUE(dated) << legal.name;
    }
}

TEST(HelpPages, FollowTheAuthoringRules)
{
    const auto pages = compiledHelpPages();
    auto book = buildHelpBook(pages, {});
    std::set<std::string> ids;
    for (size_t p = 0; p < pages.size(); ++p) {
        const std::string& text = pages[p].text;
        SCOPED_TRACE(pages[p].name);
        StrippedAnchors stripped = stripHeadingAnchors(text);
        const HelpPage& page = book->pages[p];
        // Every heading is a top-level ATX heading with its own anchor list.
        ASSERT_EQ(stripped.anchorLists.size(), size_t(page.lastSection - page.firstSection + 1));
        for (const auto& list : stripped.anchorLists) {
            EXPECT_FALSE(list.empty());
            for (const auto& id : list)
                EXPECT_TRUE(ids.insert(id).second) << "duplicate id " << id;
        }
        size_t headingBlocks = 0, codeBlocks = 0, boxFences = 0, fenceLines = 0;
        for (const auto& block : page.doc->blocks) {
            headingBlocks += block->kind == rbHeading;
            codeBlocks += block->kind == rbCode;
            EXPECT_NE(block->kind, rbHtml);
            if (block->quoteDepth > 0 && block->kind == rbParagraph && !block->cells.empty()) {
                // A quote is a callout: it opens with a bold "Tip:", "Warning:", "Caution:" or "Danger:".
                std::string lead;
                for (const auto& c : block->cells) {
                    if (!(c.marks & rmStrong))
                        break;
                    appendUtf8(lead, uint32_t(c.codePoint));
                }
                EXPECT_TRUE(lead == "Tip:" || lead == "Warning:" || lead == "Caution:" || lead == "Danger:") << lead;
            }
        }
        EXPECT_EQ(headingBlocks, stripped.anchorLists.size());  // no setext or nested headings
        size_t start = 0;
        while (start <= text.size()) {
            size_t nl = text.find('\n', start);
            std::string_view line = std::string_view(text).substr(start, nl - start);
            if (line.substr(0, 3) == ":::")
                ++boxFences;
            if (isFenceLine(line))
                ++fenceLines;
            if (nl == std::string::npos)
                break;
            start = nl + 1;
        }
        EXPECT_EQ(boxFences, 2 * page.boxes.size());
        EXPECT_EQ(fenceLines, 2 * codeBlocks);
        for (const RichLink& link : page.doc->links) {
            const std::string& d = link.destination;
            const bool external = d.find("://") != std::string::npos || d.rfind("mailto:", 0) == 0;
            EXPECT_TRUE(external || d.rfind("#", 0) == 0) << "relative link " << d;
            if (d.rfind("#", 0) == 0) {
                EXPECT_GE(resolveHelpTarget(*book, d), 0) << d;
            }
            EXPECT_EQ(d.find('@' + std::string("SITE")), std::string::npos);
        }
    }
}

TEST(HelpPages, SearchForEachTitleFindsItsSection)
{
    auto book = buildHelpBook(compiledHelpPages(), {});
    for (size_t s = 0; s < book->sections.size(); ++s) {
        auto hits = searchHelpBook(book.get(), book->sections[s].title, 60);
        ASSERT_FALSE(hits.empty()) << book->sections[s].title;
        EXPECT_EQ(hits[0].section, int32_t(s)) << book->sections[s].title;
    }
}

}  // namespace
}  // namespace qm
