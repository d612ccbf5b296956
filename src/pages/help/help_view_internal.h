#pragma once
// The document view's steps, for tests and the benchmark.
#include <cstdint>
#include <string>
#include <vector>

#include "pages/help/help_view.h"

namespace qm {

// Measures with the application's faces at the toolkit's body size x 1.08.
// The callbacks point at the state, so the metrics must not outlive the call
// they are made for.
LayoutMetrics newHelpLayoutMetrics(AppState& state);
double helpMargin(const AppState& state);
double helpColumnWidth(const AppState& state, double rectWidth);
// Lays out the page (or keeps the cached layout) and returns it.
const DocLayout& helpPageLayout(AppState& state, int32_t page, double width);

// The y of the first laid-out block made from that block index; 0 for none.
double laidOutBlockY(const DocLayout& layout, int32_t blockIndex);
// The 1-based link under (x, y), relative to the document's top left; 0 for none.
int32_t helpLinkAtPoint(const RichDoc& doc, const std::vector<LaidOutBlock>& blocks, double x, double y);
void highlightHelpMatches(AppState& state, const RichDoc& doc, const LaidOutBlock& block, double originX,
    double originY, const std::vector<std::u32string>& words);
Color helpRunColour(const AppState& state, uint8_t code);
void drawLaidOutBlock(AppState& state, const PlacedItem& item, double originX, double originY);

// What a click on a link does: a target inside the book opens its section,
// anything else goes to the desktop's opener.
void followHelpLink(AppState& state, const std::string& target);
// Whether a target leaves the book (its hover text shows it).
bool helpTargetLeavesBook(const std::string& target);

struct HelpScrollBar {
    Rect track;
    Rect thumb;
};
HelpScrollBar helpScrollBar(
    const AppState& state, const Rect& rect, double scroll, double maxScroll, double contentHeight);

}  // namespace qm
