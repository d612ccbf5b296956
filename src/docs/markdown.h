#pragma once
// Markdown: CommonMark with GitHub tables, task list items, strikethrough
// and extended autolinks, parsed into a tree of MarkdownNodes. The tree is
// short-lived: the rich-text conversion reads it and drops it.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

enum MarkdownNodeKind : uint8_t {
    mkDocument,
    mkBlockQuote,
    mkList,
    mkListItem,
    mkParagraph,
    mkHeading,
    mkThematicBreak,
    mkCodeBlock,
    mkHtmlBlock,
    mkTable,
    mkTableRow,
    mkTableCell,
    mkText,
    mkSoftBreak,
    mkHardBreak,
    mkCode,
    mkEmphasis,
    mkStrong,
    mkStrikethrough,
    mkLink,
    mkImage,
    mkHtmlInline,
};

enum TableAlignment : uint8_t { taNone, taLeft, taCenter, taRight };

// Destination and title of a link; every use of one reference definition
// shares the same record.
struct LinkReference {
    std::string destination;
    std::string title;
};

// One node. Children are a doubly linked list so that the parser can move
// runs of nodes in constant time; the nodes themselves live in the tree's
// arena (MarkdownTree), so dropping a deep tree never recurses.
struct MarkdownNode {
    MarkdownNodeKind kind = mkDocument;
    MarkdownNode* parent = nullptr;
    MarkdownNode* firstChild = nullptr;
    MarkdownNode* lastChild = nullptr;
    MarkdownNode* prev = nullptr;
    MarkdownNode* next = nullptr;

    std::string literal;
    int32_t level = 0;
    std::string fenceLabel;
    bool fenced = false;
    bool ordered = false;
    int32_t start = 0;
    char delimiter = 0;
    char bulletChar = 0;
    bool tight = false;
    int32_t taskState = -1;
    std::shared_ptr<const LinkReference> link;  // mkLink, mkImage
    std::vector<TableAlignment> alignments;
    bool isHeader = false;

    // Block phase only.
    bool open = true;
    bool lastLineBlank = false;
    std::string content;
    char fenceChar = 0;
    int32_t fenceLength = 0;
    int32_t fenceOffset = 0;
    int32_t htmlBlockType = 0;
    int32_t markerOffset = 0;
    int32_t padding = 0;
    int32_t startLine = 0;
    int32_t nesting = 0;    // block quotes and list items from the document down to here
    int32_t tableRows = 0;  // rows gathered so far by a table

    const std::string& destination() const;
    const std::string& title() const;
};

// Owner of every node of one parse. Nodes are made in chunks of growing size
// (a node is too large for a deque to hold more than two per block) and never
// move once made.
struct MarkdownTree {
    std::vector<std::unique_ptr<MarkdownNode[]>> chunks;
    size_t chunkSize = 0;  // of the last chunk
    size_t chunkUsed = 0;  // nodes handed out from it
    MarkdownNode* newNode(MarkdownNodeKind kind);
};

// Parses a complete text. The returned document keeps its whole tree alive.
std::shared_ptr<MarkdownNode> parseMarkdown(std::string_view text, bool extendedAutolinks);

// Child list editing.
void appendChild(MarkdownNode* parent, MarkdownNode* child);
void insertAfter(MarkdownNode* node, MarkdownNode* sibling);
void unlinkNode(MarkdownNode* node);

// The node after `n` in document order within the subtree of `root`, or null
// once the walk is over; with `descend` false the children of `n` are
// skipped. A loop instead of recursion, since trees may be very deep.
template <typename Node>
Node* nextInSubtree(const MarkdownNode* root, Node* n, bool descend = true)
{
    if (descend && n->firstChild)
        return n->firstChild;
    while (n != root && !n->next)
        n = n->parent;
    return n == root ? nullptr : n->next;
}

// The text of a node without markup: literals of text, code and inline HTML,
// a space per soft break, a line feed per hard break.
std::string plainText(const MarkdownNode* node);

// The UTF-8 text of a named character reference (name without "&" and
// ";"), or an empty view when there is none.
std::string_view lookupEntity(std::string_view name);

// Nesting limit for block quotes and list items together.
inline constexpr int kMaxBlockNesting = 100;
// Cells a table may hold at most.
inline constexpr int kMaxTableCells = 65536;

}  // namespace qm
