// Extended autolinks: bare "www." addresses and http(s) URLs in text become
// links. The candidate end, domain end and parenthesis balance are looked up
// in tables built once per text, so a text of many failed candidates still
// takes linear time.
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

// The end of the link text for the candidate text[start, end).
size_t trimmedEnd(std::string_view text, size_t start, size_t end, const ParenCounts& parens)
{
    size_t e = end;
    while (e > start) {
        const char c = text[e - 1];
        if (isTrimmedPunctuation(c)) {
            --e;
        } else if (c == ';') {
            size_t k = e - 1;
            while (k > start && isAsciiAlnum(text[k - 1]))
                --k;
            if (k > start && text[k - 1] == '&' && k < e - 1)
                e = k - 1;
            else
                break;
        } else if (c == ')') {
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

std::optional<LinkMatch> findLink(std::string_view text)
{
    std::optional<LiteralIndex> index;
    for (size_t a = 0; a + 4 <= text.size(); ++a) {
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
        const size_t linkEnd = trimmedEnd(text, a, end, index->parens);
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
        return LinkMatch{a, linkEnd - a};
    }
    return std::nullopt;
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
            if (auto m = findLink(n->literal)) {
                const std::string literal = std::move(n->literal);
                const std::string_view t = std::string_view(literal).substr(m->at, m->length);
                MarkdownNode* link = tree.newNode(mkLink);
                std::string destination = t.substr(0, 4) == "www." ? "http://" + std::string(t) : std::string(t);
                link->link = std::make_shared<const LinkReference>(LinkReference{std::move(destination), {}});
                MarkdownNode* label = tree.newNode(mkText);
                label->literal = std::string(t);
                appendChild(link, label);
                insertAfter(n, link);
                MarkdownNode* last = link;
                if (m->at + m->length < literal.size()) {
                    MarkdownNode* after = tree.newNode(mkText);
                    after->literal = literal.substr(m->at + m->length);
                    insertAfter(link, after);
                }
                if (m->at > 0) {
                    n->literal = literal.substr(0, m->at);
                } else {
                    unlinkNode(n);
                }
                n = last;  // continue after the link, with the remaining text
                descend = false;
            }
        }
        n = nextInSubtree(root, n, descend);
    }
}

}  // namespace qm
