#pragma once
// Renders a small SVG document (a custom category picture) into a square
// alpha mask: a silhouette of its filled shapes, without colour, strokes,
// opacity, gradients, clipping, text or images.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace qm {

// Documents beyond these bounds are refused whole: the pictures come from the
// network, and a hostile one must cost bounded time and memory.
inline constexpr size_t kSvgMaxBytes = 1 << 20;  // the text
inline constexpr int32_t kSvgMaxDepth = 64;      // nested elements, the root counting 1
inline constexpr int32_t kSvgMaxElements = 10000;
inline constexpr int32_t kSvgMaxShapes = 1000;  // shapes that reach the rasteriser
// The work of the whole picture, in the rasteriser's steps (lineWork and its
// kin), plus a pass over the mask per shape and the reading of the path data
// (kSvgPathByteWork a byte): well under 50 ms of drawing at the most.
inline constexpr int64_t kSvgMaxRasterWork = 4000000;
inline constexpr int64_t kSvgPathByteWork = 4;

// side x side alpha bytes, rows from the top; empty when the text is longer
// than kSvgMaxBytes, the document is not well-formed XML, its root is not
// <svg>, it has no positive size, it exceeds a bound above, or no shape was
// drawn.
std::vector<uint8_t> renderSvgMask(std::string_view text, int32_t side);

}  // namespace qm
