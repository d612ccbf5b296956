// The block phase: lines go into a tree of open container blocks, as in the
// two-phase design of CommonMark, with GitHub tables added.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "docs/markdown.h"
#include "docs/markdown_internal.h"

namespace qm {

const std::string& MarkdownNode::destination() const
{
    static const std::string empty;
    return link ? link->destination : empty;
}

const std::string& MarkdownNode::title() const
{
    static const std::string empty;
    return link ? link->title : empty;
}

MarkdownNode* MarkdownTree::newNode(MarkdownNodeKind kind)
{
    if (chunkUsed == chunkSize) {
        // Small documents take little; large ones a few hundred kilobytes a chunk.
        chunkSize = chunkSize == 0 ? 16 : std::min<size_t>(chunkSize * 2, 1024);
        chunks.push_back(std::make_unique<MarkdownNode[]>(chunkSize));
        chunkUsed = 0;
    }
    MarkdownNode& n = chunks.back()[chunkUsed++];
    n.kind = kind;
    return &n;
}

void appendChild(MarkdownNode* parent, MarkdownNode* child)
{
    child->parent = parent;
    child->next = nullptr;
    child->prev = parent->lastChild;
    if (parent->lastChild)
        parent->lastChild->next = child;
    else
        parent->firstChild = child;
    parent->lastChild = child;
}

void insertAfter(MarkdownNode* node, MarkdownNode* sibling)
{
    sibling->parent = node->parent;
    sibling->prev = node;
    sibling->next = node->next;
    if (node->next)
        node->next->prev = sibling;
    else if (node->parent)
        node->parent->lastChild = sibling;
    node->next = sibling;
}

void unlinkNode(MarkdownNode* node)
{
    if (node->prev)
        node->prev->next = node->next;
    else if (node->parent)
        node->parent->firstChild = node->next;
    if (node->next)
        node->next->prev = node->prev;
    else if (node->parent)
        node->parent->lastChild = node->prev;
    node->parent = node->prev = node->next = nullptr;
}

std::string plainText(const MarkdownNode* node)
{
    std::string out;
    const MarkdownNode* n = node;
    while (n) {
        bool descend = false;
        switch (n->kind) {
        case mkText:
        case mkCode:
        case mkHtmlInline:
            out += n->literal;
            break;
        case mkSoftBreak:
            out += ' ';
            break;
        case mkHardBreak:
            out += '\n';
            break;
        default:
            descend = true;
        }
        n = nextInSubtree(node, n, descend);
    }
    return out;
}

namespace {

bool isSpaceOrTab(char c) { return c == ' ' || c == '\t'; }

std::string_view trimLineBlanks(std::string_view s)
{
    auto blankChar = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!s.empty() && blankChar(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blankChar(s.back()))
        s.remove_suffix(1);
    return s;
}

bool canContain(MarkdownNodeKind parent, MarkdownNodeKind child)
{
    switch (parent) {
    case mkList:
        return child == mkListItem;
    case mkDocument:
    case mkBlockQuote:
    case mkListItem:
        return child != mkListItem;
    default:
        return false;
    }
}

bool acceptsLines(MarkdownNodeKind k)
{
    return k == mkParagraph || k == mkCodeBlock || k == mkHtmlBlock || k == mkTable;
}

struct ListData {
    bool ordered = false;
    int32_t start = 0;
    char delimiter = 0;
    char bulletChar = 0;
    int32_t markerOffset = 0;
    int32_t padding = 0;
};

struct MarkdownParser {
    MarkdownTree* tree = nullptr;
    MarkdownNode* document = nullptr;
    MarkdownNode* tip = nullptr;
    MarkdownNode* oldTip = nullptr;
    std::string_view line;
    int32_t lineNumber = 0;
    size_t offset = 0;
    int32_t column = 0;
    size_t nextNonspace = 0;
    size_t scannedFrom = SIZE_MAX;  // where the scan behind nextNonspace started; SIZE_MAX: none this line
    int32_t nextNonspaceColumn = 0;
    int32_t indent = 0;
    bool indented = false;
    bool blank = false;
    bool partiallyConsumedTab = false;
    bool allClosed = true;
    MarkdownNode* lastMatchedContainer = nullptr;
    ReferenceMap references;

    // Where a thematic break may start on this line, worked out once per line.
    bool thematicKnown = false;
    size_t thematicFirst = 0;
    size_t thematicLast = 0;  // last start position that still leaves three characters

    char peek(size_t at) const { return at < line.size() ? line[at] : '\0'; }
    bool atEnd(size_t at) const { return at >= line.size(); }

    void findNextNonspace()
    {
        // Each container of a deeply nested line asks again from a little
        // further on. While the offset stays inside the blank run the last
        // scan crossed, its answer stands (columns are counted from the line's
        // start, so tab stops agree), and a wide indent is crossed once.
        if (!(scannedFrom <= offset && offset <= nextNonspace)) {
            size_t i = offset;
            int32_t cols = column;
            while (i < line.size()) {
                char c = line[i];
                if (c == ' ') {
                    ++i;
                    ++cols;
                } else if (c == '\t') {
                    ++i;
                    cols += 4 - cols % 4;
                } else {
                    break;
                }
            }
            scannedFrom = offset;
            nextNonspace = i;
            nextNonspaceColumn = cols;
        }
        blank = nextNonspace >= line.size() || line[nextNonspace] == '\n' || line[nextNonspace] == '\r';
        indent = nextNonspaceColumn - column;
        indented = indent >= 4;
    }

    void advanceNextNonspace()
    {
        offset = nextNonspace;
        column = nextNonspaceColumn;
        partiallyConsumedTab = false;
    }

    void advanceOffset(int32_t count, bool columns)
    {
        while (count > 0 && offset < line.size()) {
            if (line[offset] == '\t') {
                int32_t toTab = 4 - column % 4;
                if (columns) {
                    partiallyConsumedTab = toTab > count;
                    int32_t step = toTab > count ? count : toTab;
                    column += step;
                    offset += partiallyConsumedTab ? 0 : 1;
                    count -= step;
                } else {
                    partiallyConsumedTab = false;
                    column += toTab;
                    offset += 1;
                    count -= 1;
                }
            } else {
                partiallyConsumedTab = false;
                offset += 1;
                column += 1;
                count -= 1;
            }
        }
    }

    void addBlockLine()
    {
        if (partiallyConsumedTab) {
            offset += 1;
            tip->content.append(size_t(4 - column % 4), ' ');
        }
        tip->content.append(line.substr(offset));
        tip->content += '\n';
    }

    MarkdownNode* addChild(MarkdownNodeKind kind)
    {
        while (!canContain(tip->kind, kind))
            closeBlock(tip);
        MarkdownNode* node = tree->newNode(kind);
        node->startLine = lineNumber;
        node->nesting = tip->nesting + (kind == mkBlockQuote || kind == mkListItem ? 1 : 0);
        appendChild(tip, node);
        tip = node;
        return node;
    }

    void closeUnmatchedBlocks()
    {
        if (allClosed)
            return;
        while (oldTip != lastMatchedContainer) {
            MarkdownNode* parent = oldTip->parent;
            closeBlock(oldTip);
            oldTip = parent;
        }
        allClosed = true;
    }

    // Takes link reference definitions off the front of a paragraph; true when
    // anything but whitespace is left.
    bool extractReferenceDefinitions(MarkdownNode* para)
    {
        std::string& s = para->content;
        size_t pos = 0;
        while (pos < s.size() && s[pos] == '[') {
            size_t used = parseReferenceDefinition(s, pos, references);
            if (!used)
                break;
            pos += used;
        }
        if (pos)
            s.erase(0, pos);
        return s.find_first_not_of(" \t\n\r") != std::string::npos;
    }

    void closeBlock(MarkdownNode* block);
    int continueBlock(MarkdownNode* container);
    int openBlocks(MarkdownNode* container);
    bool parseListMarker(MarkdownNode* container, ListData& data);
    bool thematicBreakAt(size_t at);
    void processLine(std::string_view text);
};

bool endsWithBlankLine(const MarkdownNode* block)
{
    while (block) {
        if (block->lastLineBlank)
            return true;
        if (block->kind != mkList && block->kind != mkListItem)
            return false;
        block = block->lastChild;
    }
    return false;
}

void MarkdownParser::closeBlock(MarkdownNode* block)
{
    MarkdownNode* parent = block->parent;
    block->open = false;
    switch (block->kind) {
    case mkList: {
        block->tight = true;
        for (const MarkdownNode* item = block->firstChild; item && block->tight; item = item->next) {
            if (endsWithBlankLine(item) && item->next) {
                block->tight = false;
                break;
            }
            for (const MarkdownNode* sub = item->firstChild; sub; sub = sub->next)
                if (endsWithBlankLine(sub) && (item->next || sub->next)) {
                    block->tight = false;
                    break;
                }
        }
        break;
    }
    case mkParagraph:
        if (!extractReferenceDefinitions(block))
            unlinkNode(block);
        break;
    case mkCodeBlock:
        if (block->fenced) {
            size_t nl = block->content.find('\n');
            std::string_view first = std::string_view(block->content).substr(0, nl);
            while (!first.empty() && (isSpaceOrTab(first.front()) || first.front() == '\r'))
                first.remove_prefix(1);
            while (!first.empty() && (isSpaceOrTab(first.back()) || first.back() == '\r'))
                first.remove_suffix(1);
            block->fenceLabel = unescapeString(first);
            block->literal = nl == std::string::npos ? std::string() : block->content.substr(nl + 1);
        } else {
            std::string_view s = block->content;  // every line ends with a line feed
            size_t end = s.size();
            // Drop trailing lines that hold nothing but whitespace.
            while (end > 0) {
                size_t prevNl = end >= 2 ? s.rfind('\n', end - 2) : std::string_view::npos;
                size_t lineStart = prevNl == std::string_view::npos ? 0 : prevNl + 1;
                if (s.substr(lineStart, end - lineStart).find_first_not_of(" \t\r\n") != std::string_view::npos)
                    break;
                end = lineStart;
            }
            block->literal = std::string(s.substr(0, end));
            if (!block->literal.empty() && block->literal.back() != '\n')
                block->literal += '\n';
        }
        block->content.clear();
        block->content.shrink_to_fit();
        break;
    case mkHtmlBlock: {
        std::string& s = block->content;
        for (;;) {
            size_t nl = s.rfind('\n');
            if (nl == std::string::npos || s.find_first_not_of(" \t", nl + 1) != std::string::npos)
                break;
            s.resize(nl);
        }
        block->literal = std::move(s);
        s.clear();
        break;
    }
    default:
        break;
    }
    tip = parent;
}

int MarkdownParser::continueBlock(MarkdownNode* container)
{
    switch (container->kind) {
    case mkDocument:
    case mkList:
        return 0;
    case mkBlockQuote:
        if (!indented && peek(nextNonspace) == '>') {
            advanceNextNonspace();
            advanceOffset(1, false);
            if (isSpaceOrTab(peek(offset)))
                advanceOffset(1, true);
            return 0;
        }
        return 1;
    case mkListItem:
        if (blank) {
            if (!container->firstChild)
                return 1;
            advanceNextNonspace();
        } else if (indent >= container->markerOffset + container->padding) {
            advanceOffset(container->markerOffset + container->padding, true);
        } else {
            return 1;
        }
        return 0;
    case mkCodeBlock:
        if (container->fenced) {
            if (indent <= 3 && peek(nextNonspace) == container->fenceChar) {
                size_t i = nextNonspace;
                while (i < line.size() && line[i] == container->fenceChar)
                    ++i;
                size_t run = i - nextNonspace;
                while (i < line.size() && isSpaceOrTab(line[i]))
                    ++i;
                if (run >= size_t(container->fenceLength) && i == line.size()) {
                    closeBlock(container);
                    return 2;
                }
            }
            for (int32_t k = container->fenceOffset; k > 0 && isSpaceOrTab(peek(offset)); --k)
                advanceOffset(1, true);
            return 0;
        }
        if (indent >= 4)
            advanceOffset(4, true);
        else if (blank)
            advanceNextNonspace();
        else
            return 1;
        return 0;
    case mkHtmlBlock:
        return blank && (container->htmlBlockType == 6 || container->htmlBlockType == 7) ? 1 : 0;
    case mkParagraph:
    case mkTable:
        return blank ? 1 : 0;
    default:
        return 1;
    }
}

bool MarkdownParser::thematicBreakAt(size_t at)
{
    if (!thematicKnown) {
        thematicKnown = true;
        thematicFirst = 1;
        thematicLast = 0;  // empty range
        size_t i = line.size();
        while (i > 0 && isSpaceOrTab(line[i - 1]))
            --i;
        if (i > 0 && std::strchr("*-_", line[i - 1]) && line[i - 1] != '\0') {
            const char c = line[i - 1];
            int found = 0;
            size_t first = i;
            while (i > 0 && (line[i - 1] == c || isSpaceOrTab(line[i - 1]))) {
                --i;
                if (line[i] == c) {
                    ++found;
                    if (found == 3)
                        thematicLast = i;
                    first = i;
                }
            }
            if (found >= 3)
                thematicFirst = first;
        }
    }
    return at >= thematicFirst && at <= thematicLast;
}

bool MarkdownParser::parseListMarker(MarkdownNode* container, ListData& data)
{
    if (indent >= 4)
        return false;
    size_t i = nextNonspace;
    char c = peek(i);
    size_t markerLength;
    if (c == '*' || c == '+' || c == '-') {
        data.bulletChar = c;
        markerLength = 1;
    } else {
        size_t d = i;
        int64_t value = 0;  // ten digits are read to tell that nine is the most
        while (d < line.size() && d - i < 10 && line[d] >= '0' && line[d] <= '9') {
            value = value * 10 + (line[d] - '0');
            ++d;
        }
        size_t digits = d - i;
        if (digits == 0 || digits > 9 || d >= line.size() || (line[d] != '.' && line[d] != ')'))
            return false;
        if (container->kind == mkParagraph && !(digits == 1 && line[i] == '1'))
            return false;
        data.ordered = true;
        data.start = int32_t(value);
        data.delimiter = line[d];
        markerLength = digits + 1;
    }
    size_t after = i + markerLength;
    char next = peek(after);
    if (!(atEnd(after) || next == ' ' || next == '\t' || next == '\n' || next == '\r'))
        return false;
    if (container->kind == mkParagraph) {
        size_t k = after;
        while (k < line.size() && isSpaceOrTab(line[k]))
            ++k;
        if (k >= line.size())
            return false;
    }
    advanceNextNonspace();
    advanceOffset(int32_t(markerLength), true);
    const int32_t spacesStartColumn = column;
    const size_t spacesStartOffset = offset;
    do {
        advanceOffset(1, true);
    } while (column - spacesStartColumn < 5 && isSpaceOrTab(peek(offset)));
    const bool blankItem = atEnd(offset);
    const int32_t spaces = column - spacesStartColumn;
    if (spaces >= 5 || spaces < 1 || blankItem) {
        data.padding = int32_t(markerLength) + 1;
        column = spacesStartColumn;
        offset = spacesStartOffset;
        if (isSpaceOrTab(peek(offset)))
            advanceOffset(1, true);
    } else {
        data.padding = int32_t(markerLength) + spaces;
    }
    data.markerOffset = indent;
    return true;
}

int MarkdownParser::openBlocks(MarkdownNode* container)
{
    const char c = peek(nextNonspace);
    const bool nestingLeft = container->nesting < kMaxBlockNesting;

    // Block quote.
    if (!indented && c == '>' && nestingLeft) {
        advanceNextNonspace();
        advanceOffset(1, false);
        if (isSpaceOrTab(peek(offset)))
            advanceOffset(1, true);
        closeUnmatchedBlocks();
        addChild(mkBlockQuote);
        return 1;
    }

    // ATX heading.
    if (!indented && c == '#') {
        size_t i = nextNonspace;
        while (i < line.size() && line[i] == '#' && i - nextNonspace < 7)
            ++i;
        size_t run = i - nextNonspace;
        if (run <= 6 && (atEnd(i) || line[i] == ' ' || line[i] == '\t' || line[i] == '\n' || line[i] == '\r')) {
            advanceNextNonspace();
            advanceOffset(int32_t(run), false);
            closeUnmatchedBlocks();
            MarkdownNode* h = addChild(mkHeading);
            h->level = int32_t(run);
            std::string_view rest = line.substr(offset);
            while (!rest.empty() && (isSpaceOrTab(rest.back()) || rest.back() == '\r'))
                rest.remove_suffix(1);
            size_t k = rest.size();
            while (k > 0 && rest[k - 1] == '#')
                --k;
            if (k < rest.size() && (k == 0 || isSpaceOrTab(rest[k - 1])))
                rest = rest.substr(0, k);
            while (!rest.empty() && isSpaceOrTab(rest.front()))
                rest.remove_prefix(1);
            while (!rest.empty() && isSpaceOrTab(rest.back()))
                rest.remove_suffix(1);
            h->content = std::string(rest);
            advanceOffset(int32_t(line.size() - offset), false);
            return 2;
        }
    }

    // Fenced code block.
    if (!indented && (c == '`' || c == '~')) {
        size_t i = nextNonspace;
        while (i < line.size() && line[i] == c)
            ++i;
        size_t run = i - nextNonspace;
        if (run >= 3 && (c == '~' || line.find('`', i) == std::string_view::npos)) {
            closeUnmatchedBlocks();
            MarkdownNode* code = addChild(mkCodeBlock);
            code->fenced = true;
            code->fenceChar = c;
            code->fenceLength = int32_t(run);
            code->fenceOffset = indent;
            advanceNextNonspace();
            advanceOffset(int32_t(run), false);
            return 2;
        }
    }

    // HTML block.
    if (!indented && c == '<') {
        int condition = htmlBlockStart(line.substr(nextNonspace), container->kind == mkParagraph);
        if (condition) {
            closeUnmatchedBlocks();
            MarkdownNode* html = addChild(mkHtmlBlock);
            html->htmlBlockType = condition;
            return 2;
        }
    }

    // Setext heading underline.
    if (!indented && container->kind == mkParagraph && (c == '=' || c == '-')) {
        size_t i = nextNonspace;
        while (i < line.size() && line[i] == c)
            ++i;
        while (i < line.size() && isSpaceOrTab(line[i]))
            ++i;
        if (i == line.size()) {
            closeUnmatchedBlocks();
            if (extractReferenceDefinitions(container)) {
                MarkdownNode* h = tree->newNode(mkHeading);
                h->level = c == '=' ? 1 : 2;
                h->startLine = container->startLine;
                h->nesting = container->nesting;
                std::string_view text = container->content;
                text = trimLineBlanks(text);
                h->content = std::string(text);
                insertAfter(container, h);
                unlinkNode(container);
                container->open = false;
                tip = h;
                advanceOffset(int32_t(line.size() - offset), false);
                return 2;
            }
        }
    }

    // Thematic break.
    if (!indented && (c == '*' || c == '-' || c == '_') && thematicBreakAt(nextNonspace)) {
        closeUnmatchedBlocks();
        addChild(mkThematicBreak);
        advanceOffset(int32_t(line.size() - offset), false);
        return 2;
    }

    // List item.
    if ((!indented || container->kind == mkList) && nestingLeft) {
        ListData data;
        if (parseListMarker(container, data)) {
            closeUnmatchedBlocks();
            if (tip->kind != mkList || tip->ordered != data.ordered || tip->delimiter != data.delimiter
                || tip->bulletChar != data.bulletChar) {
                MarkdownNode* list = addChild(mkList);
                list->ordered = data.ordered;
                list->start = data.start;
                list->delimiter = data.delimiter;
                list->bulletChar = data.bulletChar;
                list->tight = true;
            }
            MarkdownNode* item = addChild(mkListItem);
            item->ordered = data.ordered;
            item->delimiter = data.delimiter;
            item->bulletChar = data.bulletChar;
            item->markerOffset = data.markerOffset;
            item->padding = data.padding;
            return 1;
        }
    }

    // Table: a delimiter row under a paragraph whose last line is the header.
    if (!indented && container->kind == mkParagraph && (c == '-' || c == ':' || c == '|')) {
        if (auto alignments = parseTableDelimiterRow(line.substr(nextNonspace))) {
            std::string_view content = container->content;
            while (!content.empty() && content.back() == '\n')
                content.remove_suffix(1);
            size_t nl = content.rfind('\n');
            size_t headerStart = nl == std::string_view::npos ? 0 : nl + 1;
            std::string_view header = content.substr(headerStart);
            if (countTableCells(header) == alignments->size() && alignments->size() <= size_t(kMaxTableCells)) {
                closeUnmatchedBlocks();
                MarkdownNode* parent = container->parent;
                MarkdownNode* table = tree->newNode(mkTable);
                table->startLine = lineNumber;
                table->nesting = container->nesting;
                table->alignments = std::move(*alignments);
                table->content = std::string(header) + '\n';
                table->tableRows = 1;
                container->content.resize(headerStart);
                if (container->content.empty()) {
                    unlinkNode(container);
                    container->open = false;
                } else if (extractReferenceDefinitions(container)) {
                    closeBlock(container);
                } else {
                    unlinkNode(container);
                    container->open = false;
                }
                appendChild(parent, table);
                tip = table;
                advanceOffset(int32_t(line.size() - offset), false);
                return 2;
            }
        }
    }

    // Indented code block.
    if (indented && tip->kind != mkParagraph && !blank) {
        advanceOffset(4, true);
        closeUnmatchedBlocks();
        addChild(mkCodeBlock);
        return 2;
    }
    return 0;
}

void MarkdownParser::processLine(std::string_view text)
{
    line = text;
    oldTip = tip;
    offset = 0;
    column = 0;
    scannedFrom = SIZE_MAX;
    blank = false;
    partiallyConsumedTab = false;
    thematicKnown = false;
    ++lineNumber;

    MarkdownNode* container = document;
    while (container->lastChild && container->lastChild->open) {
        container = container->lastChild;
        findNextNonspace();
        int r = continueBlock(container);
        if (r == 1) {
            container = container->parent;
            break;
        }
        if (r == 2)
            return;
    }
    allClosed = container == oldTip;
    lastMatchedContainer = container;

    bool matchedLeaf = container->kind == mkCodeBlock || container->kind == mkHtmlBlock;
    while (!matchedLeaf) {
        findNextNonspace();
        const char c = peek(nextNonspace);
        if (!indented && (atEnd(nextNonspace) || !std::strchr("#*+-0123456789:<=>_`|~", c))) {
            advanceNextNonspace();
            break;
        }
        int r = openBlocks(container);
        if (r == 0) {
            advanceNextNonspace();
            break;
        }
        container = tip;
        if (r == 2)
            matchedLeaf = true;
    }

    if (!allClosed && !blank && tip->kind == mkParagraph) {
        addBlockLine();
        return;
    }
    closeUnmatchedBlocks();
    if (blank && container->lastChild)
        container->lastChild->lastLineBlank = true;
    const MarkdownNodeKind k = container->kind;
    const bool lastLineBlank = blank
        && !(k == mkBlockQuote || (k == mkCodeBlock && container->fenced)
            || (k == mkListItem && !container->firstChild && container->startLine == lineNumber));
    for (MarkdownNode* n = container; n; n = n->parent)
        n->lastLineBlank = lastLineBlank;

    if (k == mkTable) {
        if (!blank && offset < line.size()) {
            const size_t columns = container->alignments.size();
            if (size_t(container->tableRows + 1) * columns > size_t(kMaxTableCells)) {
                closeBlock(container);
                addChild(mkParagraph);
                advanceNextNonspace();
            } else {
                ++container->tableRows;
            }
            addBlockLine();
        }
    } else if (acceptsLines(k)) {
        addBlockLine();
        if (k == mkHtmlBlock && container->htmlBlockType >= 1 && container->htmlBlockType <= 5
            && htmlBlockEnds(container->htmlBlockType, line.substr(offset)))
            closeBlock(container);
    } else if (offset < line.size() && !blank) {
        addChild(mkParagraph);
        advanceNextNonspace();
        addBlockLine();
    }
}

}  // namespace

std::shared_ptr<MarkdownNode> parseMarkdown(std::string_view input, bool extendedAutolinks)
{
    // Line ends become line feeds and NUL becomes U+FFFD once, up front.
    std::string text;
    text.reserve(input.size());
    for (size_t i = 0; i < input.size(); ++i) {
        char c = input[i];
        if (c == '\r') {
            text += '\n';
            if (i + 1 < input.size() && input[i + 1] == '\n')
                ++i;
        } else if (c == '\0') {
            text += "\xEF\xBF\xBD";
        } else {
            text += c;
        }
    }

    auto tree = std::make_shared<MarkdownTree>();
    MarkdownParser p;
    p.tree = tree.get();
    p.document = tree->newNode(mkDocument);
    p.tip = p.oldTip = p.document;

    std::string_view rest = text;
    while (!rest.empty()) {
        size_t nl = rest.find('\n');
        p.processLine(rest.substr(0, nl));
        if (nl == std::string_view::npos)
            break;
        rest.remove_prefix(nl + 1);
    }
    while (p.tip)
        p.closeBlock(p.tip);
    parseInlines(*tree, p.document, p.references, extendedAutolinks);
    return std::shared_ptr<MarkdownNode>(tree, p.document);
}

}  // namespace qm
