// Loading and building the help book.
#include "docs/helpbook.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/ascii.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/unicode.h"
#include "core/utf8.h"
#include "docs/help_links.h"

namespace qm {

namespace {

struct CompiledPage {
    const char* name;
    const char* text;
};

constexpr CompiledPage kCompiledPages[] = {
#include "help_pages.inc"
};

bool endsWithMd(std::string_view path)
{
    const std::string lower = asciiLower(path);
    return lower.size() >= 3 && lower.compare(lower.size() - 3, 3, ".md") == 0;
}

std::vector<std::string> listDirectory(const std::string& dir)
{
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (!d)
        return names;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(std::move(name));
    }
    closedir(d);
    return names;
}

void replaceAll(std::string& s, std::string_view from, std::string_view to)
{
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
}

std::string withoutExtension(const std::string& name)
{
    const size_t slash = name.rfind('/');
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return name;
    return name.substr(0, dot);
}

std::string cellsTitle(const RichCells& cells)
{
    std::string s;
    for (const RichCell& c : cells)
        if (c.codePoint != kObjectReplacementChar)
            appendUtf8(s, uint32_t(c.codePoint));
    return std::string(trimAsciiBlanks(s));
}

}  // namespace

std::vector<NamedText> compiledHelpPages()
{
    std::vector<NamedText> pages;
    for (const CompiledPage& p : kCompiledPages) {
        std::string text = p.text;
        replaceAll(text, "@SITE_URL@", kHelpSiteUrl);
        replaceAll(text, "@CONTACT_ADDRESS@", kHelpContactAddress);
        pages.push_back({p.name, std::move(text)});
    }
    return pages;
}

HelpDirectory readHelpDirectory(const std::string& directory)
{
    HelpDirectory out;
    std::vector<std::string> pagePaths;
    for (const std::string& name : listDirectory(directory)) {
        const std::string path = directory + "/" + name;
        struct stat st;
        if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;  // directories, links to directories and entries of unknown type
        if (endsWithMd(path) && asciiLower(name) != "readme.md")
            pagePaths.push_back(path);
    }
    std::sort(pagePaths.begin(), pagePaths.end());
    for (const std::string& path : pagePaths)
        out.pages.push_back({path.substr(path.rfind('/') + 1), readFile(path)});

    // Resources: opened to prove they can be read, read only when asked for.
    std::vector<std::string> stack{""};
    while (!stack.empty()) {
        const std::string rel = stack.back();
        stack.pop_back();
        const std::string dir = rel.empty() ? directory : directory + "/" + rel;
        for (const std::string& name : listDirectory(dir)) {
            const std::string childRel = rel.empty() ? name : rel + "/" + name;
            const std::string path = directory + "/" + childRel;
            struct stat st;
            if (lstat(path.c_str(), &st) != 0)
                continue;
            if (S_ISDIR(st.st_mode)) {
                stack.push_back(childRel);
            } else if (S_ISREG(st.st_mode) && !endsWithMd(childRel)) {
                int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
                if (fd < 0)
                    throw IOError("cannot read " + path + ": " + std::strerror(errno));
                close(fd);
                std::string key = childRel;
                std::replace(key.begin(), key.end(), '\\', '/');
                out.resources.push_back({std::move(key), path});
            }
        }
    }
    return out;
}

std::shared_ptr<HelpBook> buildHelpBook(const std::vector<NamedText>& pages, const std::vector<NamedText>& resources)
{
    auto book = std::make_shared<HelpBook>();
    for (const auto& r : resources)
        book->resources[r.name] = HelpResource{r.text};
    for (size_t p = 0; p < pages.size(); ++p) {
        StrippedAnchors stripped = stripHeadingAnchors(pages[p].text);
        HelpBoxes parsed = parseHelpBoxes(stripped.text);
        for (RichLink& link : parsed.doc->links)
            link.destination = resolveHelpLink(link.destination);
        HelpPage page;
        page.name = pages[p].name;
        page.doc = parsed.doc;
        page.boxes = std::move(parsed.boxes);
        page.firstSection = int32_t(book->sections.size());
        page.lastSection = page.firstSection - 1;
        size_t h = 0;
        const auto& blocks = page.doc->blocks;
        for (size_t k = 0; k < blocks.size(); ++k) {
            const RichBlock& block = *blocks[k];
            if (block.kind == rbHeading && block.quoteDepth == 0 && block.markers.empty()) {
                HelpSection section;
                section.title = cellsTitle(block.cells);
                section.level = block.level;
                section.page = int32_t(p);
                section.headingBlock = int32_t(k);
                if (h < stripped.anchorLists.size() && !stripped.anchorLists[h].empty())
                    section.anchors = stripped.anchorLists[h];
                else
                    section.anchors = {headingAnchorId(section.title)};
                ++h;
                if (page.title.empty() && block.level == 1)
                    page.title = section.title;
                book->sections.push_back(std::move(section));
                page.lastSection = int32_t(book->sections.size()) - 1;
                continue;
            }
            if (page.lastSection < page.firstSection)
                continue;
            const std::string text = richBlockPlainText(block);
            if (text.empty())
                continue;
            std::string& body = book->sections.back().bodyText;
            if (!body.empty())
                body += '\n';
            body += text;
        }
        if (page.title.empty())
            page.title = withoutExtension(page.name);
        book->pages.push_back(std::move(page));
    }
    for (size_t s = 0; s < book->sections.size(); ++s)
        for (const std::string& id : book->sections[s].anchors)
            book->anchors.emplace(id, int32_t(s));
    for (const HelpSection& s : book->sections)
        book->searchEntries.push_back({lowerCaseUtf8(s.title), lowerCaseUtf8(s.bodyText), s.bodyText});
    return book;
}

std::shared_ptr<HelpBook> loadHelp()
{
    const char* env = std::getenv("QUENMRK_HELP");
    if (env && *env) {
        struct stat st;
        if (stat(env, &st) == 0 && S_ISDIR(st.st_mode)) {
            try {
                HelpDirectory dir = readHelpDirectory(env);
                return buildHelpBook(dir.pages, dir.resources);
            } catch (const IOError&) {
            } catch (const ValueError&) {
            }
        }
    }
    return buildHelpBook(compiledHelpPages(), {});
}

int32_t findHelpAnchor(const HelpBook& book, std::string_view id)
{
    while (!id.empty() && id.front() == '#')
        id.remove_prefix(1);
    while (!id.empty() && id.back() == '#')
        id.remove_suffix(1);
    auto it = book.anchors.find(std::string(id));
    return it == book.anchors.end() ? -1 : it->second;
}

std::optional<int32_t> helpSectionPage(const HelpBook& book, int32_t section)
{
    if (section < 0 || size_t(section) >= book.sections.size())
        return std::nullopt;
    return book.sections[size_t(section)].page;
}

int32_t resolveHelpTarget(const HelpBook& book, std::string_view target)
{
    if (!target.empty() && target.front() == '#')
        return findHelpAnchor(book, target.substr(1));
    if (target.substr(0, 5) != "help:")
        return -1;
    target.remove_prefix(5);
    const size_t hash = target.find('#');
    if (hash != std::string_view::npos)
        return findHelpAnchor(book, target.substr(hash + 1));
    for (const HelpPage& page : book.pages)
        if (page.name == target)
            return page.lastSection >= page.firstSection ? page.firstSection : -1;
    return -1;
}

std::optional<std::string> helpResourceBytes(const HelpBook& book, const std::string& path)
{
    auto it = book.resources.find(path);
    if (it == book.resources.end())
        return std::nullopt;
    try {
        return readFile(it->second.path);
    } catch (const IOError&) {
        return std::nullopt;
    }
}

}  // namespace qm
