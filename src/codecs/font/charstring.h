#pragma once
// The Type 2 / CFF2 charstring interpreter. Hints are skipped, widths are
// dropped (advances come from hmtx) and CFF2 blends keep their default values.
// Charstrings come from the file, so the work per glyph is bounded: stack
// depth, subroutine nesting and the number of tokens all have limits, and
// breaking one raises CffError instead of crashing or hanging.
#include <cstdint>
#include <vector>

#include "codecs/font/cff.h"

namespace qm {

inline constexpr int kCffStackLimit = 48;
inline constexpr int kCff2StackLimit = 513;
inline constexpr int kCharstringMaxDepth = 10;
inline constexpr int32_t kCharstringMaxTokens = 200000;

struct PathBuilder {
    double x = 0;
    double y = 0;
    double stack[kCff2StackLimit];
    int32_t stackSize = 0;
    std::vector<CffContour> contours;  // finished
    CffContour open;
    bool isOpen = false;
    bool ended = false;  // endchar seen
    bool widthSeen = false;
    int32_t stems = 0;
    int32_t vsindex = 0;
    int32_t tokens = 0;
};

// Runs one charstring or subroutine (depth 0 for the glyph's own) into b.
void runCharstring(
    const CffFont& font, PathBuilder& b, CffRange range, const std::vector<CffRange>& localSubrs, int depth);

// Path steps, relative to the current point.
void moveTo(PathBuilder& b, double dx, double dy);
void lineTo(PathBuilder& b, double dx, double dy);
void curveTo(PathBuilder& b, double dx1, double dy1, double dx2, double dy2, double dx3, double dy3);
// Ends the open contour; a last point back on the first is dropped, and a
// contour left with fewer than 2 points is discarded.
void closePath(PathBuilder& b);

}  // namespace qm
