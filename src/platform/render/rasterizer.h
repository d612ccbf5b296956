#pragma once
// Anti-aliased coverage masks from outlines of lines and Bezier curves.
// Every edge adds the signed area it contributes to the cells of the rows it
// crosses; a running sum along each row then turns those differences into
// coverage. Pixel (x, y) is the square [x, x+1) x [y, y+1), y downwards.
#include <cstdint>
#include <vector>

namespace qm {

struct Rasterizer {
    int32_t width = 0;
    int32_t height = 0;
    // width * height cells, row-major, plus one spare cell at the end.
    std::vector<float> accumulation;
};

// Raises ValueError when the cell count overflows 32 bits or a side is negative.
Rasterizer newRasterizer(int32_t width, int32_t height);

// Sets every cell back to 0 so the buffer can take the next shape.
void clearRasterizer(Rasterizer& r);

// One directed edge: going down adds area, going up removes it. Contours are
// closed by the caller. Parts above row 0, below the last row or right of the
// mask add nothing; parts left of column 0 count as lying on it.
void addLine(Rasterizer& r, double x0, double y0, double x1, double y1);
void addQuadratic(Rasterizer& r, double x0, double y0, double x1, double y1, double x2, double y2);
void addCubic(Rasterizer& r, double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3);

// The lines addQuadratic and addCubic cut a curve into (1 to 256); 0 when it
// lies wholly above, below or right of the mask and adds nothing.
int quadraticLineCount(const Rasterizer& r, double x0, double y0, double x1, double y1, double x2, double y2);
int cubicLineCount(
    const Rasterizer& r, double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3);

// A bound on the work of addLine, addQuadratic and addCubic, in steps of
// about the same cost: kEdgeBaseWork for the call (which also covers reading
// the edge from text and mapping it), one per line a curve is cut into, and
// one per row and per column of the mask that its lines cross. Callers that
// take outlines from strangers add these up to refuse an outline before
// drawing it costs too much.
inline constexpr int64_t kEdgeBaseWork = 24;
int64_t lineWork(const Rasterizer& r, double x0, double y0, double x1, double y1);
int64_t quadraticWork(const Rasterizer& r, double x0, double y0, double x1, double y1, double x2, double y2);
int64_t cubicWork(
    const Rasterizer& r, double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3);

// Non-zero winding: min(|sum|, 1) raised to power (skipped for 1.0), as bytes.
std::vector<uint8_t> coverageToAlphaGamma(const Rasterizer& r, double power);
// Even-odd: |sum| folded into 0..1 with period 2, as bytes.
std::vector<uint8_t> coverageToAlpha(const Rasterizer& r);

}  // namespace qm
