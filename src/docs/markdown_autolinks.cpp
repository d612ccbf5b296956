// Extended autolinks: bare "www." addresses and http(s) URLs in text become
// links. The candidate end, domain end and parenthesis balance are looked up
// in tables built once per text, and a text is cut into its links in one
// pass, so a text of many candidates, failed or not, takes linear time.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "docs/markdown_internal.h"

namespace qm {

namespace {

bool isCandidateStop(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' ' || c == '<'; }

bool isTrimmedPunctuation(char c)
{
    switch (c) {
    case '!':
    case '"':
    case '\'':
    case '*':
    case ',':
    case '.':
    case ':':
    case '?':
    case '_':
    case '~':
        return true;
    default:
        return false;
    }
}

bool isAsciiAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// Running counts of "(" and ")" over a text.
struct ParenCounts {
    std::vector<uint32_t> open, close;  // counts in text[0, i)
    explicit ParenCounts(std::string_view text)
        : open(text.size() + 1)
        , close(text.size() + 1)
    {
        for (size_t i = 0; i < text.size(); ++i) {
            open[i + 1] = open[i] + (text[i] == '(');
            close[i + 1] = close[i] + (text[i] == ')');
        }
    }
};

// What a trimming walk read: the lowest index it looked at and whether it
// met a ")", whose fate depends on where the candidate starts.
struct TrimWalk {
    size_t lowest = SIZE_MAX;
    bool sawParen = false;
};

// The end of the link text for the candidate text[start, end).
size_t trimmedEnd(std::string_view text, size_t start, size_t end, const ParenCounts& parens, TrimWalk* walk = nullptr)
{
    TrimWalk ignored;
    TrimWalk& w = walk ? *walk : ignored;
    size_t e = end;
    while (e > start) {
        const char c = text[e - 1];
        w.lowest = std::min(w.lowest, e - 1);
        if (isTrimmedPunctuation(c)) {
            --e;
        } else if (c == ';') {
            size_t k = e - 1;
            while (k > start && isAsciiAlnum(text[k - 1]))
                --k;
            if (k > start)
                w.lowest = std::min(w.lowest, k - 1);
            if (k > start && text[k - 1] == '&' && k < e - 1)
                e = k - 1;
            else
                break;
        } else if (c == ')') {
            w.sawParen = true;
            const uint32_t opens = parens.open[e] - parens.open[start];
            const uint32_t closes = parens.close[e] - parens.close[start];
            if (opens >= closes)
                break;
            // Every ")" of the run beyond the balance goes at once.
            size_t runStart = e - 1;
            while (runStart > start && text[runStart - 1] == ')')
                --runStart;
            const size_t excess = closes - opens;
            const size_t run = e - runStart;
            e -= excess < run ? excess : run;
        } else {
            break;
        }
    }
    return e;
}

struct LinkMatch {
    size_t at = 0;
    size_t length = 0;
};

// Tables over one literal that answer the per-candidate questions in O(1).
struct LiteralIndex {
    std::string_view text;
    ParenCounts parens;
    std::vector<uint32_t> candidateEnd;   // first stop at or after i
    std::vector<uint32_t> domainEnd;      // first '#', '/', '?' or stop at or after i
    std::vector<int64_t> lastDot;         // last '.' before i, or -1
    std::vector<int64_t> lastUnderscore;  // last '_' before i, or -1

    explicit LiteralIndex(std::string_view t)
        : text(t)
        , parens(t)
        , candidateEnd(t.size() + 1)
        , domainEnd(t.size() + 1)
        , lastDot(t.size() + 1)
        , lastUnderscore(t.size() + 1)
    {
        const size_t n = t.size();
        candidateEnd[n] = domainEnd[n] = uint32_t(n);
        for (size_t i = n; i-- > 0;) {
            candidateEnd[i] = isCandidateStop(t[i]) ? uint32_t(i) : candidateEnd[i + 1];
            domainEnd[i] = (t[i] == '#' || t[i] == '/' || t[i] == '?') ? uint32_t(i) : domainEnd[i + 1];
        }
        lastDot[0] = lastUnderscore[0] = -1;
        for (size_t i = 0; i < n; ++i) {
            lastDot[i + 1] = t[i] == '.' ? int64_t(i) : lastDot[i];
            lastUnderscore[i + 1] = t[i] == '_' ? int64_t(i) : lastUnderscore[i];
        }
    }
};

// Every link of one text, left to right. Candidates that share an end (no
// stop between them) share the trimming walk too, so a long trimmed tail
// after many failed candidates is walked once.
std::vector<LinkMatch> findLinks(std::string_view text)
{
    std::vector<LinkMatch> links;
    std::optional<LiteralIndex> index;
    size_t walkedEnd = SIZE_MAX, walkedResult = 0;
    TrimWalk walked;
    for (size_t a = 0; a + 4 <= text.size(); ++a) {
        if (text[a] != 'w' && text[a] != 'h')
            continue;  // the quick test that nearly every position fails
        if (a > 0) {
            const char before = text[a - 1];
            if (!(before == '\t' || before == '\n' || before == ' ' || before == '(' || before == '*' || before == '_'
                    || before == '~'))
                continue;
        }
        std::string_view rest = text.substr(a);
        size_t prefix;
        if (rest.substr(0, 4) == "www.")
            prefix = 4;
        else if (rest.substr(0, 7) == "http://")
            prefix = 7;
        else if (rest.substr(0, 8) == "https://")
            prefix = 8;
        else
            continue;
        if (!index)
            index.emplace(text);
        const size_t end = index->candidateEnd[a];
        size_t linkEnd;
        // The walk read nothing at or below a and met no ")": starting at a
        // instead changes none of its steps.
        if (end == walkedEnd && !walked.sawParen && a < walked.lowest) {
            linkEnd = walkedResult;
        } else {
            walked = TrimWalk{};
            linkEnd = trimmedEnd(text, a, end, index->parens, &walked);
            walkedEnd = end;
            walkedResult = linkEnd;
        }
        if (linkEnd < a + prefix)
            continue;  // the prefix itself was trimmed away
        const size_t domainStart = a + (prefix == 4 ? 0 : prefix);
        size_t domainEnd = index->domainEnd[domainStart];
        if (domainEnd > linkEnd)
            domainEnd = linkEnd;
        if (domainEnd == domainStart)
            continue;
        const int64_t dot = index->lastDot[domainEnd];
        const bool hasDot = dot >= int64_t(domainStart);
        if (!hasDot && prefix == 4)
            continue;
        const int64_t labelStart = hasDot ? dot + 1 : int64_t(domainStart);
        if (index->lastUnderscore[domainEnd] >= labelStart)
            continue;
        links.push_back(LinkMatch{a, linkEnd - a});
        // What follows a link starts with a stop or with trimmed punctuation,
        // neither of which begins a candidate.
        a = linkEnd - 1;
    }
    return links;
}

}  // namespace

size_t autolinkTrimLength(std::string_view candidate)
{
    ParenCounts parens(candidate);
    return candidate.size() - trimmedEnd(candidate, 0, candidate.size(), parens);
}

void linkifyText(MarkdownTree& tree, MarkdownNode* root)
{
    for (MarkdownNode* n = root; n;) {
        bool descend =
            n == root || !(n->kind == mkCode || n->kind == mkLink || n->kind == mkImage || n->kind == mkHtmlInline);
        if (n->kind == mkText) {
            const std::vector<LinkMatch> links = findLinks(n->literal);
            if (!links.empty()) {
                // The text is cut once into its pieces and links, each copied
                // once, so many links in one text cost no more than a few.
                const std::string literal = std::move(n->literal);
                const std::string_view all(literal);
                MarkdownNode* last = n;
                auto addText = [&](std::string_view piece) {
                    MarkdownNode* t = tree.newNode(mkText);
                    t->literal = std::string(piece);
                    insertAfter(last, t);
                    last = t;
                };
                size_t done = 0;
                for (const LinkMatch& m : links) {
                    if (m.at > done)
                        addText(all.substr(done, m.at - done));
                    const std::string_view t = all.substr(m.at, m.length);
                    MarkdownNode* link = tree.newNode(mkLink);
                    std::string destination = t.substr(0, 4) == "www." ? "http://" + std::string(t) : std::string(t);
                    link->link = std::make_shared<const LinkReference>(LinkReference{std::move(destination), {}});
                    MarkdownNode* label = tree.newNode(mkText);
                    label->literal = std::string(t);
                    appendChild(link, label);
                    insertAfter(last, link);
                    last = link;
                    done = m.at + m.length;
                }
                if (done < all.size())
                    addText(all.substr(done));
                unlinkNode(n);
                n = last;  // continue after the pieces
                descend = false;
            }
        }
        n = nextInSubtree(root, n, descend);
    }
}

}  // namespace qm
