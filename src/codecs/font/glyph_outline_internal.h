#pragma once
// Point and curve helpers of the outline decoder, open to the tests that check
// them on their own. Callers use glyph_outline.h.
#include "codecs/font/glyph_outline.h"

#include <cstdint>

namespace qm {

OutlinePoint newOutlinePoint(double x, double y, uint8_t onCurve, uint8_t cubic);

// The cubic Bezier through p0..p3 at t, and its derivative.
Point2 cubicPoint(
    const OutlinePoint& p0, const OutlinePoint& p1, const OutlinePoint& p2, const OutlinePoint& p3, double t);
Point2 cubicTangent(
    const OutlinePoint& p0, const OutlinePoint& p1, const OutlinePoint& p2, const OutlinePoint& p3, double t);

}  // namespace qm
