// The inline phase: text of paragraphs, headings and table cells becomes
// text, breaks, code spans, emphasis, strikethrough, links, images and raw
// HTML, with the delimiter and bracket stacks of the CommonMark reference
// design. Every search that could be repeated on crafted text remembers its
// result, so a text is parsed in time linear in its length.
#include <deque>
#include <unordered_map>

#include "core/utf8.h"
#include "docs/markdown_internal.h"

namespace qm {

namespace {

struct Delimiter {
    char delimChar = 0;
    int32_t numDelims = 0;
    int32_t origDelims = 0;
    MarkdownNode* node = nullptr;
    Delimiter* previous = nullptr;
    Delimiter* next = nullptr;
    bool canOpen = false;
    bool canClose = false;
    uint64_t serial = 0;  // grows with every push; 0 stands for "below everything"
};

struct Bracket {
    MarkdownNode* node = nullptr;
    Bracket* previous = nullptr;
    Delimiter* previousDelimiter = nullptr;
    size_t index = 0;
    bool image = false;
    bool bracketAfter = false;
    uint64_t serial = 0;
};

bool isSpecial(unsigned char c)
{
    switch (c) {
    case '\n':
    case '!':
    case '&':
    case '*':
    case '<':
    case '[':
    case '\\':
    case ']':
    case '_':
    case '`':
    case '~':
        return true;
    default:
        return false;
    }
}

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAsciiAlnum(char c) { return isAsciiLetter(c) || (c >= '0' && c <= '9'); }

struct InlineParser {
    MarkdownTree& tree;
    std::string_view subject;
    size_t pos = 0;
    Delimiter* delimiters = nullptr;
    Bracket* brackets = nullptr;
    const ReferenceMap& references;

    std::deque<Delimiter> delimiterPool;
    std::deque<Bracket> bracketPool;
    uint64_t delimiterSerial = 0;
    uint64_t bracketSerial = 0;
    // Brackets (not images) with a serial below this can no longer form a link.
    uint64_t linkWatermark = 0;

    // Searches that failed once fail again from any later position.
    std::unordered_map<size_t, size_t> lastBacktickRun;  // run length -> start of the last such run
    bool backticksScanned = false;
    bool noCommentEnd = false, noProcessingEnd = false, noCdataEnd = false, noDeclarationEnd = false;

    InlineParser(MarkdownTree& t, std::string_view s, const ReferenceMap& refs)
        : tree(t)
        , subject(s)
        , references(refs)
    {
    }

    char peek(size_t at) const { return at < subject.size() ? subject[at] : '\0'; }

    MarkdownNode* text(MarkdownNode* container, std::string_view s)
    {
        MarkdownNode* n = tree.newNode(mkText);
        n->literal = std::string(s);
        appendChild(container, n);
        return n;
    }

    MarkdownNode* add(MarkdownNode* container, MarkdownNodeKind kind)
    {
        MarkdownNode* n = tree.newNode(kind);
        appendChild(container, n);
        return n;
    }

    bool bracketActive(const Bracket* b) const { return b->image || b->serial >= linkWatermark; }

    void parse(MarkdownNode* container);
    void handleNewline(MarkdownNode* container);
    void handleBackslash(MarkdownNode* container);
    void handleBackticks(MarkdownNode* container);
    void handleDelimiters(MarkdownNode* container, char c);
    void handleLessThan(MarkdownNode* container);
    void handleEntity(MarkdownNode* container);
    void pushBracket(MarkdownNode* node, size_t index, bool image);
    void closeLinkBracket(MarkdownNode* container);
    void processEmphasis(Delimiter* stackBottom);
    void removeDelimiter(Delimiter* d);
    size_t scanAutolinkUri(size_t at) const;
    size_t scanAutolinkEmail(size_t at) const;
    size_t scanRawHtml(size_t at);
    uint32_t codePointBefore(size_t at) const;
    uint32_t codePointAt(size_t at) const;
};

void InlineParser::parse(MarkdownNode* container)
{
    while (pos < subject.size()) {
        const char c = subject[pos];
        switch (c) {
        case '\n':
            handleNewline(container);
            break;
        case '!':
            ++pos;
            if (peek(pos) == '[') {
                ++pos;
                pushBracket(text(container, "!["), pos - 1, true);
            } else {
                text(container, "!");
            }
            break;
        case '&':
            handleEntity(container);
            break;
        case '*':
        case '_':
        case '~':
            handleDelimiters(container, c);
            break;
        case '<':
            handleLessThan(container);
            break;
        case '[':
            pushBracket(text(container, "["), pos, false);
            ++pos;
            break;
        case '\\':
            handleBackslash(container);
            break;
        case ']':
            closeLinkBracket(container);
            break;
        case '`':
            handleBackticks(container);
            break;
        default: {
            size_t end = pos + 1;
            while (end < subject.size() && !isSpecial(static_cast<unsigned char>(subject[end])))
                ++end;
            text(container, subject.substr(pos, end - pos));
            pos = end;
        }
        }
    }
    processEmphasis(nullptr);
}

void InlineParser::handleNewline(MarkdownNode* container)
{
    ++pos;
    MarkdownNode* last = container->lastChild;
    bool hard = false;
    if (last && last->kind == mkText && !last->literal.empty() && last->literal.back() == ' ') {
        std::string& s = last->literal;
        hard = s.size() >= 2 && s[s.size() - 2] == ' ';
        size_t keep = s.find_last_not_of(' ');
        s.resize(keep == std::string::npos ? 0 : keep + 1);
    }
    add(container, hard ? mkHardBreak : mkSoftBreak);
    while (pos < subject.size() && subject[pos] == ' ')
        ++pos;
}

void InlineParser::handleBackslash(MarkdownNode* container)
{
    ++pos;
    const char c = peek(pos);
    if (pos < subject.size() && c == '\n') {
        ++pos;
        add(container, mkHardBreak);
    } else if (pos < subject.size() && isAsciiPunctuation(static_cast<unsigned char>(c))) {
        text(container, subject.substr(pos, 1));
        ++pos;
    } else {
        text(container, "\\");
    }
}

void InlineParser::handleBackticks(MarkdownNode* container)
{
    const size_t start = pos;
    while (pos < subject.size() && subject[pos] == '`')
        ++pos;
    const size_t n = pos - start;
    const size_t afterOpen = pos;
    size_t closeAt = std::string_view::npos;
    auto known = lastBacktickRun.find(n);
    if (!(backticksScanned && (known == lastBacktickRun.end() || known->second < afterOpen))) {
        size_t i = afterOpen;
        while (i < subject.size()) {
            size_t tick = subject.find('`', i);
            if (tick == std::string_view::npos)
                break;
            size_t e = tick;
            while (e < subject.size() && subject[e] == '`')
                ++e;
            lastBacktickRun[e - tick] = tick;
            if (e - tick == n) {
                closeAt = tick;
                break;
            }
            i = e;
        }
        if (closeAt == std::string_view::npos)
            backticksScanned = true;
    }
    if (closeAt == std::string_view::npos) {
        text(container, subject.substr(start, n));
        return;
    }
    std::string content(subject.substr(afterOpen, closeAt - afterOpen));
    for (char& ch : content)
        if (ch == '\n')
            ch = ' ';
    if (content.size() >= 2 && content.front() == ' ' && content.back() == ' '
        && content.find_first_not_of(' ') != std::string::npos)
        content = content.substr(1, content.size() - 2);
    MarkdownNode* code = add(container, mkCode);
    code->literal = std::move(content);
    pos = closeAt + n;
}

uint32_t InlineParser::codePointBefore(size_t at) const
{
    if (at == 0)
        return '\n';
    size_t begin = at - 1;
    while (begin > 0 && at - begin < 4 && (static_cast<unsigned char>(subject[begin]) & 0xC0) == 0x80)
        --begin;
    Utf8Step s = decodeUtf8(subject, begin);
    if (begin + s.length == at)
        return s.codePoint;
    return kReplacementChar;
}

uint32_t InlineParser::codePointAt(size_t at) const
{
    if (at >= subject.size())
        return '\n';
    return decodeUtf8(subject, at).codePoint;
}

void InlineParser::handleDelimiters(MarkdownNode* container, char c)
{
    const size_t start = pos;
    while (pos < subject.size() && subject[pos] == c)
        ++pos;
    const int32_t n = int32_t(pos - start);
    const uint32_t before = codePointBefore(start);
    const uint32_t after = codePointAt(pos);
    const bool afterSpace = isMarkdownWhitespace(after), beforeSpace = isMarkdownWhitespace(before);
    const bool afterPunct = isPunctuationChar(after), beforePunct = isPunctuationChar(before);
    const bool leftFlanking = !afterSpace && (!afterPunct || beforeSpace || beforePunct);
    const bool rightFlanking = !beforeSpace && (!beforePunct || afterSpace || afterPunct);
    bool canOpen, canClose;
    if (c == '_') {
        canOpen = leftFlanking && (!rightFlanking || beforePunct);
        canClose = rightFlanking && (!leftFlanking || afterPunct);
    } else {
        canOpen = leftFlanking;
        canClose = rightFlanking;
    }
    MarkdownNode* node = text(container, subject.substr(start, size_t(n)));
    if (c == '~' && n >= 3)
        return;
    if (!canOpen && !canClose)
        return;
    Delimiter& d = delimiterPool.emplace_back();
    d.delimChar = c;
    d.numDelims = d.origDelims = n;
    d.node = node;
    d.canOpen = canOpen;
    d.canClose = canClose;
    d.serial = ++delimiterSerial;
    d.previous = delimiters;
    if (delimiters)
        delimiters->next = &d;
    delimiters = &d;
}

size_t InlineParser::scanAutolinkUri(size_t at) const
{
    size_t i = at + 1;
    if (i >= subject.size() || !isAsciiLetter(subject[i]))
        return 0;
    size_t s = i + 1;
    while (s < subject.size() && s - i < 33
        && (isAsciiAlnum(subject[s]) || subject[s] == '+' || subject[s] == '.' || subject[s] == '-'))
        ++s;
    const size_t schemeLength = s - i;
    if (schemeLength < 2 || schemeLength > 32 || peek(s) != ':')
        return 0;
    for (size_t k = s + 1; k < subject.size(); ++k) {
        auto ch = static_cast<unsigned char>(subject[k]);
        if (ch == '>')
            return k + 1 - at;
        if (ch <= 0x20 || ch == '<' || ch == 0x7F)
            return 0;
    }
    return 0;
}

size_t InlineParser::scanAutolinkEmail(size_t at) const
{
    static constexpr std::string_view localExtra = "!#$%&'*+-./=?^_`{|}~";
    size_t i = at + 1;
    while (i < subject.size() && (isAsciiAlnum(subject[i]) || localExtra.find(subject[i]) != std::string_view::npos))
        ++i;
    if (i == at + 1 || peek(i) != '@')
        return 0;
    ++i;
    for (;;) {
        size_t labelStart = i;
        while (i < subject.size() && i - labelStart < 64 && (isAsciiAlnum(subject[i]) || subject[i] == '-'))
            ++i;
        size_t len = i - labelStart;
        if (len == 0 || len > 63 || subject[labelStart] == '-' || subject[i - 1] == '-')
            return 0;
        if (peek(i) == '.') {
            ++i;
            continue;
        }
        if (peek(i) == '>')
            return i + 1 - at;
        return 0;
    }
}

size_t InlineParser::scanRawHtml(size_t at)
{
    const char c = peek(at + 1);
    if (isAsciiLetter(c))
        return scanOpenTag(subject, at);
    if (c == '/')
        return scanClosingTag(subject, at);
    if (c == '?') {
        if (noProcessingEnd)
            return 0;
        size_t end = subject.find("?>", at + 2);
        if (end == std::string_view::npos) {
            noProcessingEnd = true;
            return 0;
        }
        return end + 2 - at;
    }
    if (c != '!')
        return 0;
    std::string_view rest = subject.substr(at);
    if (rest.substr(0, 4) == "<!--") {
        if (rest.substr(0, 5) == "<!-->")
            return 5;
        if (rest.substr(0, 6) == "<!--->")
            return 6;
        if (noCommentEnd)
            return 0;
        size_t end = subject.find("-->", at + 4);
        if (end == std::string_view::npos) {
            noCommentEnd = true;
            return 0;
        }
        return end + 3 - at;
    }
    if (rest.substr(0, 9) == "<![CDATA[") {
        if (noCdataEnd)
            return 0;
        size_t end = subject.find("]]>", at + 9);
        if (end == std::string_view::npos) {
            noCdataEnd = true;
            return 0;
        }
        return end + 3 - at;
    }
    if (isAsciiLetter(peek(at + 2))) {
        if (noDeclarationEnd)
            return 0;
        size_t end = subject.find('>', at + 2);
        if (end == std::string_view::npos) {
            noDeclarationEnd = true;
            return 0;
        }
        return end + 1 - at;
    }
    return 0;
}

void InlineParser::handleLessThan(MarkdownNode* container)
{
    if (size_t n = scanAutolinkUri(pos)) {
        std::string_view uri = subject.substr(pos + 1, n - 2);
        MarkdownNode* link = add(container, mkLink);
        link->link = std::make_shared<const LinkReference>(LinkReference{std::string(uri), {}});
        text(link, uri);
        pos += n;
        return;
    }
    if (size_t n = scanAutolinkEmail(pos)) {
        std::string_view address = subject.substr(pos + 1, n - 2);
        MarkdownNode* link = add(container, mkLink);
        link->link = std::make_shared<const LinkReference>(LinkReference{"mailto:" + std::string(address), {}});
        text(link, address);
        pos += n;
        return;
    }
    if (size_t n = scanRawHtml(pos)) {
        MarkdownNode* html = add(container, mkHtmlInline);
        html->literal = std::string(subject.substr(pos, n));
        pos += n;
        return;
    }
    text(container, "<");
    ++pos;
}

void InlineParser::handleEntity(MarkdownNode* container)
{
    ScannedEntity e = parseEntity(subject, pos);
    if (e.consumed) {
        text(container, e.text);
        pos += e.consumed;
    } else {
        text(container, "&");
        ++pos;
    }
}

void InlineParser::pushBracket(MarkdownNode* node, size_t index, bool image)
{
    if (brackets)
        brackets->bracketAfter = true;
    Bracket& b = bracketPool.emplace_back();
    b.node = node;
    b.previous = brackets;
    b.previousDelimiter = delimiters;
    b.index = index;
    b.image = image;
    b.serial = ++bracketSerial;
    brackets = &b;
}

void InlineParser::closeLinkBracket(MarkdownNode* container)
{
    ++pos;
    const size_t startPos = pos;
    Bracket* opener = brackets;
    if (!opener) {
        text(container, "]");
        return;
    }
    if (!bracketActive(opener)) {
        brackets = opener->previous;
        text(container, "]");
        return;
    }
    std::shared_ptr<const LinkReference> target;
    if (peek(pos) == '(') {
        size_t p = pos + 1;
        skipSpacesAndOneNewline(subject, p);
        ScannedText dest = parseLinkDestination(subject, p);
        if (dest.consumed >= 0) {
            p += size_t(dest.consumed);
            const size_t beforeSpace = p;
            skipSpacesAndOneNewline(subject, p);
            std::string title;
            if (p != beforeSpace) {
                ScannedText t = parseLinkTitle(subject, p);
                if (t.consumed > 0) {
                    title = std::move(t.value);
                    p += size_t(t.consumed);
                }
            }
            skipSpacesAndOneNewline(subject, p);
            if (peek(p) == ')') {
                target = std::make_shared<const LinkReference>(LinkReference{std::move(dest.value), std::move(title)});
                pos = p + 1;
            }
        }
    }
    if (!target) {
        std::string_view label;
        bool haveLabel = false;
        if (subject.substr(pos, 2) == "[]") {
            pos += 2;
        } else {
            size_t n = scanLinkLabel(subject, pos);
            if (n > 2) {
                label = subject.substr(pos + 1, n - 2);
                haveLabel = true;
                pos += n;
            } else if (n == 2) {
                pos += 2;
            }
        }
        if (!haveLabel && !opener->bracketAfter) {
            label = subject.substr(opener->index + 1, startPos - 1 - (opener->index + 1));
            haveLabel = true;
        }
        if (haveLabel && !label.empty()) {
            auto it = references.find(normalizeLinkLabel(label));
            if (it != references.end())
                target = it->second;
        }
        if (!target)
            pos = startPos;
    }
    if (!target) {
        brackets = opener->previous;
        text(container, "]");
        return;
    }
    MarkdownNode* link = tree.newNode(opener->image ? mkImage : mkLink);
    link->link = std::move(target);
    for (MarkdownNode* n = opener->node->next; n;) {
        MarkdownNode* next = n->next;
        unlinkNode(n);
        appendChild(link, n);
        n = next;
    }
    appendChild(container, link);
    processEmphasis(opener->previousDelimiter);
    brackets = opener->previous;
    unlinkNode(opener->node);
    if (!opener->image)
        linkWatermark = bracketSerial + 1;
}

void InlineParser::removeDelimiter(Delimiter* d)
{
    if (d->previous)
        d->previous->next = d->next;
    if (d->next)
        d->next->previous = d->previous;
    else
        delimiters = d->previous;
}

void InlineParser::processEmphasis(Delimiter* stackBottom)
{
    const uint64_t bottom = stackBottom ? stackBottom->serial : 0;
    // Per closer kind (character, can-open, length modulo 3): openers at or
    // below this serial were already searched in vain.
    uint64_t openersBottom[3][2][3];
    for (auto& a : openersBottom)
        for (auto& b : a)
            for (auto& v : b)
                v = bottom;
    auto charIndex = [](char c) { return c == '*' ? 0 : c == '_' ? 1 : 2; };

    Delimiter* closer = delimiters;
    while (closer && closer->previous && closer->previous->serial > bottom)
        closer = closer->previous;
    if (closer && closer->serial <= bottom)
        closer = nullptr;

    while (closer) {
        if (!closer->canClose) {
            closer = closer->next;
            continue;
        }
        const char c = closer->delimChar;
        uint64_t& openerBottom = openersBottom[charIndex(c)][closer->canOpen ? 1 : 0][closer->origDelims % 3];
        Delimiter* opener = closer->previous;
        bool found = false;
        while (opener && opener->serial > bottom && opener->serial > openerBottom) {
            if (opener->delimChar == c && opener->canOpen) {
                bool match;
                if (c == '~') {
                    match = opener->numDelims == closer->numDelims;
                } else {
                    const bool oddMatch = (closer->canOpen || opener->canClose) && closer->origDelims % 3 != 0
                        && (opener->origDelims + closer->origDelims) % 3 == 0;
                    match = !oddMatch;
                }
                if (match) {
                    found = true;
                    break;
                }
            }
            opener = opener->previous;
        }
        Delimiter* oldCloser = closer;
        if (found) {
            int32_t use;
            if (c == '~')
                use = closer->numDelims;
            else
                use = closer->numDelims >= 2 && opener->numDelims >= 2 ? 2 : 1;
            opener->numDelims -= use;
            closer->numDelims -= use;
            MarkdownNode* openerText = opener->node;
            MarkdownNode* closerText = closer->node;
            // Both texts are runs of one character, so taking the used ones
            // off the closer's end instead of its front is the same text, and
            // a long run does not move its rest once per pair.
            openerText->literal.resize(openerText->literal.size() - size_t(use));
            closerText->literal.resize(closerText->literal.size() - size_t(use));
            MarkdownNode* emph = tree.newNode(c == '~' ? mkStrikethrough : use == 1 ? mkEmphasis : mkStrong);
            for (MarkdownNode* n = openerText->next; n && n != closerText;) {
                MarkdownNode* next = n->next;
                unlinkNode(n);
                appendChild(emph, n);
                n = next;
            }
            insertAfter(openerText, emph);
            // Delimiters between the pair can no longer match anything.
            opener->next = closer;
            closer->previous = opener;
            if (opener->numDelims == 0) {
                unlinkNode(openerText);
                removeDelimiter(opener);
            }
            if (closer->numDelims == 0) {
                unlinkNode(closerText);
                Delimiter* next = closer->next;
                removeDelimiter(closer);
                closer = next;
            }
        } else {
            closer = closer->next;
            openerBottom = std::max(bottom, oldCloser->previous ? oldCloser->previous->serial : 0);
            if (!oldCloser->canOpen)
                removeDelimiter(oldCloser);
        }
    }
    while (delimiters && delimiters->serial > bottom)
        removeDelimiter(delimiters);
}

void parseText(MarkdownTree& tree, MarkdownNode* container, std::string_view text, const ReferenceMap& references,
    bool extendedAutolinks)
{
    {
        InlineParser p(tree, text, references);
        p.parse(container);
    }
    mergeTextNodes(container);
    if (extendedAutolinks)
        linkifyText(tree, container);
}

std::string_view trimBlanks(std::string_view s)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

void parseLeaf(MarkdownTree& tree, MarkdownNode* node, const ReferenceMap& references, bool extendedAutolinks)
{
    std::string content = std::move(node->content);
    node->content.clear();
    if (node->kind == mkTable) {
        std::string_view rows = content;
        while (!rows.empty() && rows.back() == '\n')
            rows.remove_suffix(1);
        const size_t columns = node->alignments.size();
        bool header = true;
        while (true) {
            size_t nl = rows.find('\n');
            std::string_view line = rows.substr(0, nl);
            MarkdownNode* row = tree.newNode(mkTableRow);
            row->open = false;
            row->isHeader = header;
            header = false;
            std::vector<std::string> cells = splitTableRow(line);
            for (size_t c = 0; c < columns; ++c) {
                MarkdownNode* cell = tree.newNode(mkTableCell);
                cell->open = false;
                if (c < cells.size())
                    parseText(tree, cell, cells[c], references, extendedAutolinks);
                appendChild(row, cell);
            }
            appendChild(node, row);
            if (nl == std::string_view::npos)
                break;
            rows.remove_prefix(nl + 1);
        }
        return;
    }
    std::string_view text = content;
    if (node->kind == mkParagraph && node->parent && node->parent->kind == mkListItem
        && node->parent->firstChild == node && text.size() >= 3 && text[0] == '[' && text[2] == ']'
        && (text[1] == ' ' || text[1] == 'x' || text[1] == 'X')
        && (text.size() == 3 || text[3] == ' ' || text[3] == '\t' || text[3] == '\n')) {
        node->parent->taskState = text[1] == ' ' ? 0 : 1;
        text.remove_prefix(text.size() == 3 ? 3 : 4);
    }
    parseText(tree, node, trimBlanks(text), references, extendedAutolinks);
}

}  // namespace

void mergeTextNodes(MarkdownNode* root)
{
    for (MarkdownNode* n = root; n; n = nextInSubtree(root, n)) {
        for (MarkdownNode* c = n->firstChild; c;) {
            if (c->kind == mkText) {
                while (c->next && c->next->kind == mkText) {
                    c->literal += c->next->literal;
                    unlinkNode(c->next);
                }
                if (c->literal.empty()) {
                    MarkdownNode* next = c->next;
                    unlinkNode(c);
                    c = next;
                    continue;
                }
            }
            c = c->next;
        }
    }
}

void parseInlines(MarkdownTree& tree, MarkdownNode* document, const ReferenceMap& references, bool extendedAutolinks)
{
    for (MarkdownNode* n = document; n;) {
        const MarkdownNodeKind k = n->kind;
        const bool container = k == mkDocument || k == mkBlockQuote || k == mkList || k == mkListItem;
        if (k == mkParagraph || k == mkHeading || k == mkTable)
            parseLeaf(tree, n, references, extendedAutolinks);
        else
            n->content.clear();
        n = nextInSubtree(document, n, container);
    }
}

}  // namespace qm
