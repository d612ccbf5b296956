// Substring search over the help book's sections.
#include <algorithm>

#include "core/ascii.h"
#include "core/unicode.h"
#include "docs/helpbook.h"

namespace qm {

namespace {

size_t countOccurrences(std::string_view text, std::string_view word)
{
    size_t count = 0;
    for (size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + word.size()))
        ++count;
    return count;
}

bool isStrippedPunctuation(char c) { return std::string_view("!\"'(),.:;?").find(c) != std::string_view::npos; }

}  // namespace

std::vector<std::string> splitSearchWords(std::string_view query)
{
    const std::string lower = lowerCaseUtf8(query);
    std::vector<std::string> words;
    size_t i = 0;
    while (i < lower.size()) {
        while (i < lower.size() && isAsciiBlank(lower[i]))
            ++i;
        size_t j = i;
        while (j < lower.size() && !isAsciiBlank(lower[j]))
            ++j;
        std::string_view piece = std::string_view(lower).substr(i, j - i);
        while (!piece.empty() && isStrippedPunctuation(piece.front()))
            piece.remove_prefix(1);
        while (!piece.empty() && isStrippedPunctuation(piece.back()))
            piece.remove_suffix(1);
        if (!piece.empty())
            words.emplace_back(piece);
        i = j;
    }
    return words;
}

std::string makeSearchSnippet(std::string_view body, std::string_view bodyLower, std::string_view word, int32_t width)
{
    const int64_t size = int64_t(body.size());
    size_t found = bodyLower.find(word);
    int64_t pos = found == std::string_view::npos ? 0 : int64_t(found);
    pos = std::min(pos, size);
    const int64_t start = pos - width / 3;
    int64_t begin = std::max<int64_t>(start, 0);
    int64_t end = begin + width;
    auto blank = [&](int64_t at) { return isAsciiBlank(body[size_t(at)]); };
    if (start > 0)
        while (begin > 0 && !blank(begin))
            --begin;
    if (end < size) {
        while (end < size && !blank(end))
            ++end;
    } else {
        end = size;
    }
    auto continuation = [&](int64_t at) { return (static_cast<unsigned char>(body[size_t(at)]) & 0xC0) == 0x80; };
    while (begin > 0 && begin < size && continuation(begin))
        --begin;
    while (end < size && continuation(end))
        ++end;
    std::string piece(body.substr(size_t(begin), size_t(end - begin)));
    std::replace(piece.begin(), piece.end(), '\n', ' ');
    std::string out(trimAsciiBlanks(piece));
    if (begin > 0)
        out = "..." + out;
    if (end < size)
        out += "...";
    return out;
}

std::vector<HelpSearchHit> searchHelp(const std::vector<HelpSearchEntry>& entries, std::string_view query,
    int32_t maximum, const std::function<bool()>& cancel)
{
    const std::vector<std::string> words = splitSearchWords(query);
    std::vector<HelpSearchHit> hits;
    if (words.empty())
        return hits;
    const std::string whole(trimAsciiBlanks(lowerCaseUtf8(query)));
    for (size_t i = 0; i < entries.size(); ++i) {
        if (cancel && i % 64 == 63 && cancel())
            break;
        const HelpSearchEntry& e = entries[i];
        int32_t score = 0;
        bool hit = true;
        for (const std::string& w : words) {
            const size_t t = countOccurrences(e.titleLower, w);
            const size_t b = countOccurrences(e.bodyLower, w);
            if (t == 0 && b == 0) {
                hit = false;
                break;
            }
            score += int32_t(20 * t + std::min<size_t>(b, 10));
            if (e.titleLower.compare(0, w.size(), w) == 0)
                score += 10;
        }
        if (!hit)
            continue;
        if (e.titleLower == whole)
            score += 50;
        std::string_view snippetWord = words.front();
        for (const std::string& w : words)
            if (e.bodyLower.find(w) != std::string::npos) {
                snippetWord = w;
                break;
            }
        std::string snippet = e.body.empty() ? std::string() : makeSearchSnippet(e.body, e.bodyLower, snippetWord, 110);
        hits.push_back({int32_t(i), score, std::move(snippet)});
    }
    std::stable_sort(hits.begin(), hits.end(), [](const HelpSearchHit& a, const HelpSearchHit& b) {
        return a.score != b.score ? a.score > b.score : a.section < b.section;
    });
    if (maximum >= 0 && hits.size() > size_t(maximum))
        hits.resize(size_t(maximum));
    return hits;
}

std::vector<HelpSearchHit> searchHelpBook(const HelpBook* book, std::string_view query, int32_t maximum)
{
    if (!book)
        return {};
    return searchHelp(book->searchEntries, query, maximum);
}

}  // namespace qm
