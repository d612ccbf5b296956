#pragma once
// Lays a RichDoc out at a width: styled runs, line breaking, text blocks,
// tables, list markers, quotes, callouts and help boxes. It measures through
// the callbacks of LayoutMetrics and knows nothing of fonts or windows.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "docs/richdoc.h"

namespace qm {

struct ImageSize {
    double width = 0;
    double height = 0;
};

struct LayoutMetrics {
    std::function<double(std::string_view text, uint8_t style, double size)> measureText;
    std::function<double(uint8_t style, double size)> ascent;
    std::function<double(uint8_t style, double size)> descent;
    std::function<ImageSize(std::string_view destination)> imageSize;  // may be empty
    double baseSize = 16;
    double scale = 1;
    // Optional: the widths of text[0, ends[i]) for every i, in one pass; each
    // must equal measureText of that prefix. Without it every prefix is
    // measured on its own.
    std::function<void(std::string_view text, const std::vector<size_t>& ends, uint8_t style, double size,
        std::vector<double>& widths)>
        prefixWidths;
};

// Font style codes.
enum : uint8_t { fsRegular, fsBold, fsItalic, fsBoldItalic, fsMono };

struct BlockStyle {
    bool forceBold = false;
    uint8_t colour = 0;
    bool preformatted = false;
};

struct StyledRun {
    int32_t start = 0;
    int32_t end = 0;
    std::string text;
    uint8_t style = 0;
    double size = 0;
    uint8_t colour = 0;
    uint8_t marks = 0;
    int32_t link = 0;
    double width = 0;
    std::vector<double> advances;
    bool isImage = false;
    double imageWidth = 0;
    double imageHeight = 0;
    std::string destination;
    bool isSpace = false;
    bool isTab = false;
    bool isLineFeed = false;
    // Only the first advances.size() - 1 cells were measured: the run is known
    // to be wider than the line it was measured for.
    bool partial = false;
};

enum PlacedItemKind : uint8_t { piText, piRect, piLine, piImage, piTaskBox, piBullet };

struct PlacedItem {
    PlacedItemKind kind = piText;
    double x = 0, y = 0, w = 0, h = 0;
    std::string text;
    uint8_t style = 0;
    double size = 0;
    uint8_t colour = 0;
    std::string destination;
    bool checked = false;
    int32_t tag = 0;
};

struct CellPosition {
    int32_t block = 0;
    int32_t row = 0;
    int32_t column = 0;
    int32_t firstCell = 0;
    bool operator==(const CellPosition&) const = default;
};

struct TextLine {
    double advance = 0;
    std::vector<PlacedItem> items;
    CellPosition position;
    std::vector<double> xPositions;
    double top = 0;
    double bottom = 0;
    bool isLast = false;
};

struct LaidOutLine {
    CellPosition position;
    std::vector<double> xPositions;
    double top = 0;
    double bottom = 0;
    bool isLast = false;
};

struct LaidOutBlock {
    double y = 0;
    double height = 0;
    int32_t blockIndex = 0;
    std::vector<PlacedItem> items;
    std::vector<LaidOutLine> lines;
};

struct DocLayout {
    std::vector<LaidOutBlock> blocks;
    double width = 0;
    double height = 0;
};

// A ":::" box of a help page around blocks firstBlock..lastBlock.
struct HelpBox {
    int32_t firstBlock = 0;
    int32_t lastBlock = 0;
    std::string title;
    uint8_t style = 1;  // run colour code of its frame and title
};

uint8_t fontStyleCode(uint8_t marks, bool forceBold);
double scaledSize(const LayoutMetrics& metrics, double factor);
std::vector<StyledRun> cellsToRuns(const LayoutMetrics& metrics, const RichDoc& document, const RichCells& cells,
    double size, BlockStyle style, double availableWidth);
void measureRun(const LayoutMetrics& metrics, StyledRun& run);
std::vector<TextLine> layoutTextBlock(const LayoutMetrics& metrics, const RichDoc& document, const RichCells& cells,
    double size, BlockStyle style, CellPosition position, double leftX, double width, TableAlignment alignment);
DocLayout layoutDocument(
    const RichDoc& document, const LayoutMetrics& metrics, double width, const std::vector<HelpBox>& boxes);
double blockIndent(const LayoutMetrics& metrics, const RichBlock& block);
double headingSizeFactor(int32_t level);
int calloutKind(const RichBlock& block);

}  // namespace qm
