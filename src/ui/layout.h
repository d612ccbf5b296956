#pragma once
// Where widgets without an explicit rectangle go: a stack of frames, each a
// column that stacks items downwards or a row of fixed and weighted columns.
// A row that does not fit, by its widths or by what its cells measured last
// frame, places its items one per line instead.
#include <vector>

#include "ui/context.h"

namespace qm {

void pushLayout(UiContext& ctx, const Rect& rect);
// Selects the layer above the current one for an overlay; returns the layer
// to give back to endOverlay.
int32_t beginOverlay(UiContext& ctx, const Rect& rect);
void endOverlay(UiContext& ctx, int32_t previousLayer);
// Pops the top frame; endOverlayLayout also carries its bottom extent into
// the parent.
LayoutFrame endOverlayLayout(UiContext& ctx);
LayoutFrame popLayout(UiContext& ctx);
LayoutFrame& currentLayout(UiContext& ctx);
Rect layoutRect(UiContext& ctx);

// height or width <= 0 asks for the frame's default.
Rect nextLayoutRect(UiContext& ctx, double height, double width);
void addSpace(UiContext& ctx, double amount);
double availableWidth(UiContext& ctx);
double layoutCursor(UiContext& ctx);
void setLayoutCursor(UiContext& ctx, double y);
void extendLayout(UiContext& ctx, double y);
void indent(UiContext& ctx, double amount);
void unindent(UiContext& ctx, double amount);

// widths: > 0 fixed, < 0 a weight of what remains, 0 the rest of the line.
void beginRow(UiContext& ctx, double height, const std::vector<double>& widths);
void endRow(UiContext& ctx);
void skipRowCell(UiContext& ctx);
void noteColumnWidth(UiContext& ctx, double width);
bool topWindowNarrow(const UiContext& ctx);
// A row frame whose items go one per line (overflowing).
bool rowOverflows(UiContext& ctx);

}  // namespace qm
