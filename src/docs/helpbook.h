#pragma once
// The help book: Markdown pages (compiled in, or a folder named by
// QUENMRK_HELP) cut into sections at their headings, with anchors for links
// between sections, ":::" boxes and search data.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "docs/doc_layout.h"
#include "docs/richdoc.h"

namespace qm {

struct HelpPage {
    std::string title;
    std::string name;
    std::shared_ptr<RichDoc> doc;
    std::vector<HelpBox> boxes;
    int32_t firstSection = 0;
    int32_t lastSection = -1;
};

struct HelpSection {
    std::vector<std::string> anchors;
    std::string title;
    int32_t level = 1;
    int32_t page = 0;
    int32_t headingBlock = 0;
    std::string bodyText;
};

struct HelpSearchEntry {
    std::string titleLower;
    std::string bodyLower;
    std::string body;
};

// A file of a help folder that is not a page. Its bytes are read only when
// asked for (helpResourceBytes), so a folder of large files costs nothing.
struct HelpResource {
    std::string path;  // where the file is on disk
};

struct HelpBook {
    std::vector<HelpPage> pages;
    std::vector<HelpSearchEntry> searchEntries;
    std::vector<HelpSection> sections;
    std::unordered_map<std::string, int32_t> anchors;
    std::unordered_map<std::string, HelpResource> resources;  // relative path with "/" -> file
};

struct NamedText {
    std::string name;
    std::string text;
};

struct HelpDirectory {
    std::vector<NamedText> pages;      // file name, text
    std::vector<NamedText> resources;  // relative path, path on disk
};

// Reads QUENMRK_HELP's folder when it names one, else the compiled-in pages.
std::shared_ptr<HelpBook> loadHelp();
// The nine compiled-in pages, with the service addresses filled in.
std::vector<NamedText> compiledHelpPages();
// Lists a help folder's pages (read) and resources (opened, not read).
// Raises IOError when a page or resource cannot be read.
HelpDirectory readHelpDirectory(const std::string& directory);
std::shared_ptr<HelpBook> buildHelpBook(const std::vector<NamedText>& pages, const std::vector<NamedText>& resources);

int32_t findHelpAnchor(const HelpBook& book, std::string_view id);
std::optional<int32_t> helpSectionPage(const HelpBook& book, int32_t section);
// The section a link target leads to: "#id" and "help:NAME#id" by anchor,
// "help:NAME" to the page's first section; -1 for anything else.
int32_t resolveHelpTarget(const HelpBook& book, std::string_view target);
std::optional<std::string> helpResourceBytes(const HelpBook& book, const std::string& path);

// Text steps (help pages' own Markdown additions).
bool isFenceLine(std::string_view line);
struct HeadingAnchors {
    std::string title;
    std::vector<std::string> ids;
};
HeadingAnchors parseHeadingAnchors(std::string_view line);
struct StrippedAnchors {
    std::string text;
    std::vector<std::vector<std::string>> anchorLists;
};
StrippedAnchors stripHeadingAnchors(std::string_view text);
std::string headingAnchorId(std::string_view title);
struct HelpBoxes {
    std::shared_ptr<RichDoc> doc;
    std::vector<HelpBox> boxes;
};
HelpBoxes parseHelpBoxes(std::string_view text);
uint8_t helpBoxStyle(std::string_view kind);
std::string resolveHelpLink(std::string_view target);
std::string richBlockPlainText(const RichBlock& block);

// Search.
struct HelpSearchHit {
    int32_t section = 0;
    int32_t score = 0;
    std::string snippet;
};
std::vector<std::string> splitSearchWords(std::string_view query);
std::vector<HelpSearchHit> searchHelp(const std::vector<HelpSearchEntry>& entries, std::string_view query,
    int32_t maximum, const std::function<bool()>& cancel = {});
std::string makeSearchSnippet(std::string_view body, std::string_view bodyLower, std::string_view word, int32_t width);
std::vector<HelpSearchHit> searchHelpBook(const HelpBook* book, std::string_view query, int32_t maximum);

}  // namespace qm
