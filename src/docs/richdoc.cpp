// The RichDoc model and the conversion of a Markdown tree into it. Both walks
// are iterative, so deeply nested quotes, lists or emphasis cost no stack.
#include "docs/richdoc.h"

#include "core/errors.h"
#include "core/unicode.h"
#include "core/utf8.h"

namespace qm {

bool isTextBlock(RichBlockKind kind)
{
    return kind == rbParagraph || kind == rbHeading || kind == rbCode || kind == rbHtml;
}

bool richCellValid(const RichDoc& document, size_t block, int32_t row, int32_t column)
{
    const RichBlock& b = *document.blocks.at(block);
    if (isTextBlock(b.kind))
        return true;
    if (b.kind != rbTable)
        return false;
    if (row < 0)
        throw IndexError("row index out of range");
    if (size_t(row) >= b.rows.size())
        return false;
    return column >= 0 && size_t(column) < b.rows[size_t(row)].size();
}

const RichCells& richCells(const RichDoc& document, size_t block, int32_t row, int32_t column)
{
    const RichBlock& b = *document.blocks.at(block);
    if (b.kind != rbTable)
        return b.cells;
    if (row < 0 || column < 0 || size_t(row) >= b.rows.size() || size_t(column) >= b.rows[size_t(row)].size())
        throw IndexError("table cell out of range");
    return b.rows[size_t(row)][size_t(column)];
}

size_t richCellCount(const RichDoc& document, size_t block, int32_t row, int32_t column)
{
    return richCellValid(document, block, row, column) ? richCells(document, block, row, column).size() : 0;
}

std::shared_ptr<RichBlock> cloneRichBlock(const RichBlock& block) { return std::make_shared<RichBlock>(block); }

bool markerKindsMatch(ListMarkerKind a, ListMarkerKind b) { return a == b || (a != lmOrdered && b != lmOrdered); }

bool continuesList(const RichBlock& a, const RichBlock& b)
{
    if (b.markers.empty())
        return false;
    const size_t last = b.markers.size() - 1;
    if (a.markers.size() < last)
        return false;
    for (size_t k = 0; k < last; ++k)
        if (!markerKindsMatch(a.markers[k].kind, b.markers[k].kind))
            return false;
    if (a.markers.size() == last)
        return last >= 1;
    return markerKindsMatch(a.markers[last].kind, b.markers[last].kind);
}

std::string listContinuationIndent(bool ordered, int32_t number)
{
    if (!ordered)
        return "  ";
    return std::string(std::to_string(number).size() + 2, ' ');
}

std::vector<int32_t> orderedListNumbers(const RichDoc& document)
{
    std::vector<int32_t> result;
    result.reserve(document.blocks.size());
    std::vector<ListMarkerKind> kinds;
    std::vector<int32_t> counters;
    int32_t lastDepth = -1;
    for (const auto& block : document.blocks) {
        if (block->quoteDepth != lastDepth) {
            kinds.clear();
            counters.clear();
            lastDepth = block->quoteDepth;
        }
        const auto& markers = block->markers;
        size_t common = 0;
        while (common < markers.size() && common < kinds.size() && markers[common].kind == kinds[common])
            ++common;
        kinds.resize(common);
        counters.resize(common);
        for (size_t k = 0; k < markers.size(); ++k) {
            if (kinds.size() < k + 1) {
                kinds.push_back(markers[k].kind);
                counters.push_back(0);
            }
            if (k + 1 == markers.size() && !markers[k].emitted) {
                if (markers[k].number != 0)
                    counters[k] = markers[k].number < 0 ? 0 : markers[k].number;
                else if (__builtin_add_overflow(counters[k], 1, &counters[k]))
                    throw ValueError("list number overflow");
            }
        }
        if (!markers.empty() && markers.back().kind == lmOrdered)
            result.push_back(counters[markers.size() - 1]);
        else
            result.push_back(0);
        if (markers.empty()) {
            kinds.clear();
            counters.clear();
        }
    }
    return result;
}

void utf8ToCells(std::string_view text, uint8_t marks, int32_t link, RichCells& out)
{
    for (size_t i = 0; i < text.size();) {
        LenientUtf8Step s = decodeUtf8Lenient(text, i);
        out.push_back({int32_t(s.codePoint), marks, link});
        i += s.length;
    }
}

namespace {

// Inline HTML tags that set or clear a mark instead of showing as text.
struct TagEffect {
    std::string_view tag;
    uint8_t add, remove;
    bool lineBreak;
};

const TagEffect* inlineTagEffect(std::string_view literal)
{
    static constexpr TagEffect effects[] = {
        {"<b>", rmStrong, 0, false},
        {"<strong>", rmStrong, 0, false},
        {"</b>", 0, rmStrong, false},
        {"</strong>", 0, rmStrong, false},
        {"<i>", rmEmphasis, 0, false},
        {"<em>", rmEmphasis, 0, false},
        {"</i>", 0, rmEmphasis, false},
        {"</em>", 0, rmEmphasis, false},
        {"<s>", rmStrikethrough, 0, false},
        {"<del>", rmStrikethrough, 0, false},
        {"<strike>", rmStrikethrough, 0, false},
        {"</s>", 0, rmStrikethrough, false},
        {"</del>", 0, rmStrikethrough, false},
        {"</strike>", 0, rmStrikethrough, false},
        {"<br>", 0, 0, true},
        {"<br/>", 0, 0, true},
        {"<br />", 0, 0, true},
    };
    if (literal.size() > 9)
        return nullptr;
    std::string lower(literal);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = char(c + 32);
    for (const auto& e : effects)
        if (e.tag == lower)
            return &e;
    return nullptr;
}

// Appends the cells of a container's inline children. The walk keeps one
// frame per open container: the marks in force there (tags change them up
// to the end of that container) and the link index.
void inlinesToCells(RichDoc& doc, const MarkdownNode* container, uint8_t marks, int32_t link, RichCells& out)
{
    struct Frame {
        const MarkdownNode* next;
        uint8_t marks;
        int32_t link;
    };
    std::vector<Frame> stack{{container->firstChild, marks, link}};
    while (!stack.empty()) {
        Frame& f = stack.back();
        const MarkdownNode* n = f.next;
        if (!n) {
            stack.pop_back();
            continue;
        }
        f.next = n->next;
        const uint8_t m = f.marks;
        const int32_t k = f.link;
        switch (n->kind) {
        case mkText:
            utf8ToCells(n->literal, m, k, out);
            break;
        case mkSoftBreak:
            out.push_back({32, m, k});
            break;
        case mkHardBreak:
            out.push_back({10, m, k});
            break;
        case mkCode:
            utf8ToCells(n->literal, uint8_t(m | rmCode), k, out);
            break;
        case mkEmphasis:
            stack.push_back({n->firstChild, uint8_t(m | rmEmphasis), k});
            break;
        case mkStrong:
            stack.push_back({n->firstChild, uint8_t(m | rmStrong), k});
            break;
        case mkStrikethrough:
            stack.push_back({n->firstChild, uint8_t(m | rmStrikethrough), k});
            break;
        case mkLink:
            doc.links.push_back({n->destination(), n->title(), false, {}});
            stack.push_back({n->firstChild, m, int32_t(doc.links.size())});
            break;
        case mkImage:
            doc.links.push_back({n->destination(), n->title(), true, plainText(n)});
            out.push_back({kObjectReplacementChar, m, int32_t(doc.links.size())});
            break;
        case mkHtmlInline:
            if (const TagEffect* e = inlineTagEffect(n->literal)) {
                if (e->lineBreak)
                    out.push_back({10, m, k});
                f.marks = uint8_t((m | e->add) & ~e->remove);
            } else {
                utf8ToCells(n->literal, uint8_t(m | rmRawHtml), k, out);
            }
            break;
        default:
            break;
        }
    }
}

// Walks the block tree with one stack of list markers: a block copies the
// markers as they stand, after which every marker counts as emitted.
struct BlockBuilder {
    RichDoc& doc;
    std::vector<ListMarker> markers;

    std::shared_ptr<RichBlock> newBlock(RichBlockKind kind, int32_t depth)
    {
        auto b = std::make_shared<RichBlock>();
        b->kind = kind;
        b->quoteDepth = depth;
        b->markers = markers;
        doc.blocks.push_back(b);
        markEmitted();
        return b;
    }

    void markEmitted()
    {
        for (auto& m : markers)
            m.emitted = true;
    }

    void leaf(const MarkdownNode* n, int32_t depth)
    {
        switch (n->kind) {
        case mkParagraph:
            inlinesToCells(doc, n, 0, 0, newBlock(rbParagraph, depth)->cells);
            break;
        case mkHeading: {
            auto b = newBlock(rbHeading, depth);
            b->level = n->level;
            inlinesToCells(doc, n, 0, 0, b->cells);
            break;
        }
        case mkThematicBreak:
            newBlock(rbRule, depth);
            break;
        case mkCodeBlock: {
            auto b = newBlock(rbCode, depth);
            b->fenceLabel = n->fenceLabel;
            std::string_view text = n->literal;
            if (!text.empty() && text.back() == '\n')
                text.remove_suffix(1);
            utf8ToCells(text, 0, 0, b->cells);
            break;
        }
        case mkHtmlBlock:
            utf8ToCells(n->literal, 0, 0, newBlock(rbHtml, depth)->cells);
            break;
        case mkTable: {
            auto b = newBlock(rbTable, depth);
            b->alignments = n->alignments;
            for (const MarkdownNode* row = n->firstChild; row; row = row->next) {
                auto& r = b->rows.emplace_back();
                for (const MarkdownNode* cell = row->firstChild; cell; cell = cell->next)
                    inlinesToCells(doc, cell, 0, 0, r.emplace_back());
            }
            break;
        }
        default:
            break;
        }
    }

    void run(const MarkdownNode* document)
    {
        // A frame per open container; `item` is the position in a list.
        struct Frame {
            const MarkdownNode* node;
            const MarkdownNode* next;  // next child to visit
            int32_t depth;             // quote depth of the children
            size_t markersAtEntry;     // marker stack size when the container was entered
            int32_t itemIndex;
        };
        std::vector<Frame> stack{{document, document->firstChild, 0, 0, 0}};
        while (!stack.empty()) {
            Frame& f = stack.back();
            const MarkdownNode* child = f.next;
            if (!child) {
                const MarkdownNode* done = f.node;
                const size_t entry = f.markersAtEntry;
                stack.pop_back();
                if (done->kind == mkListItem) {
                    markers.resize(entry);  // drop this item's marker
                    markEmitted();          // after the item, the list's context is emitted
                }
                if (!stack.empty()
                    && (stack.back().node->kind == mkBlockQuote || stack.back().node->kind == mkListItem))
                    markEmitted();  // after each child of a quote or item
                continue;
            }
            f.next = child->next;
            const int32_t depth = f.depth;
            switch (child->kind) {
            case mkBlockQuote:
                if (!child->firstChild)
                    newBlock(rbParagraph, depth + 1);
                stack.push_back({child, child->firstChild, depth + 1, markers.size(), 0});
                break;
            case mkList:
                stack.push_back({child, child->firstChild, depth, markers.size(), 0});
                break;
            case mkListItem: {
                if (f.node->kind != mkList)
                    break;
                const MarkdownNode* list = f.node;
                ListMarker marker;
                marker.kind = child->taskState >= 0 ? lmTask : list->ordered ? lmOrdered : lmBullet;
                marker.checked = child->taskState == 1;
                if (f.itemIndex == 0 && list->ordered)
                    marker.number = list->start == 0 ? -1 : list->start;
                ++f.itemIndex;
                const size_t entry = markers.size();
                markers.push_back(marker);
                if (!child->firstChild)
                    newBlock(rbParagraph, depth);
                stack.push_back({child, child->firstChild, depth, entry, 0});
                break;
            }
            default:
                leaf(child, depth);
                if (f.node->kind == mkBlockQuote || f.node->kind == mkListItem)
                    markEmitted();
                break;
            }
        }
    }
};

}  // namespace

std::shared_ptr<RichDoc> markdownToRichDoc(std::string_view text)
{
    auto doc = std::make_shared<RichDoc>();
    auto tree = parseMarkdown(text, true);
    BlockBuilder builder{*doc, {}};
    builder.run(tree.get());
    if (doc->blocks.empty())
        doc->blocks.push_back(std::make_shared<RichBlock>());
    return doc;
}

}  // namespace qm
