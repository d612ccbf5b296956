#pragma once
// RichDoc: a flat list of styled blocks made from Markdown, with block quotes
// and lists kept as per-block depth and markers, plus the side table of links
// and images. Made by markdownToRichDoc, written back by richDocToMarkdown.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "docs/markdown.h"

namespace qm {

enum RichBlockKind : uint8_t { rbParagraph, rbHeading, rbCode, rbRule, rbTable, rbHtml };

enum ListMarkerKind : uint8_t { lmBullet, lmOrdered, lmTask };

enum RichMark : uint8_t {
    rmStrong = 1,
    rmEmphasis = 2,
    rmStrikethrough = 4,
    rmCode = 8,
    rmRawHtml = 16,
};

inline constexpr int32_t kObjectReplacementChar = 0xFFFC;

struct ListMarker {
    ListMarkerKind kind = lmBullet;
    bool checked = false;
    int32_t number = 0;  // first item of an ordered list: its start, or -1 for 0
    bool emitted = false;

    bool operator==(const ListMarker&) const = default;
};

struct RichCell {
    int32_t codePoint = 0;
    uint8_t marks = 0;
    int32_t link = 0;  // 1-based into RichDoc::links; 0 for none

    bool operator==(const RichCell&) const = default;
};

using RichCells = std::vector<RichCell>;

struct RichLink {
    std::string destination;
    std::string title;
    bool isImage = false;
    std::string alt;

    bool operator==(const RichLink&) const = default;
};

struct RichBlock {
    RichBlockKind kind = rbParagraph;
    int32_t level = 0;
    std::string fenceLabel;
    int32_t quoteDepth = 0;
    std::vector<ListMarker> markers;
    RichCells cells;
    std::vector<std::vector<RichCells>> rows;
    std::vector<TableAlignment> alignments;
};

struct RichDoc {
    std::vector<std::shared_ptr<RichBlock>> blocks;
    std::vector<RichLink> links;
};

std::shared_ptr<RichDoc> markdownToRichDoc(std::string_view text);
std::string richDocToMarkdown(const RichDoc& document);

bool isTextBlock(RichBlockKind kind);
bool richCellValid(const RichDoc& document, size_t block, int32_t row, int32_t column);
const RichCells& richCells(const RichDoc& document, size_t block, int32_t row, int32_t column);
size_t richCellCount(const RichDoc& document, size_t block, int32_t row, int32_t column);
std::shared_ptr<RichBlock> cloneRichBlock(const RichBlock& block);
std::vector<int32_t> orderedListNumbers(const RichDoc& document);
bool markerKindsMatch(ListMarkerKind a, ListMarkerKind b);
bool continuesList(const RichBlock& a, const RichBlock& b);
std::string listContinuationIndent(bool ordered, int32_t number);

// Code points of a byte string, decoded leniently (core/unicode.h), as cells.
void utf8ToCells(std::string_view text, uint8_t marks, int32_t link, RichCells& out);

}  // namespace qm
