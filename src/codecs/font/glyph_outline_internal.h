#pragma once
// Point and curve helpers of the outline decoder, open to the tests that check
// them on their own. Callers use glyph_outline.h.
#include "codecs/font/glyph_outline.h"

#include <cstdint>

namespace qm {

OutlinePoint newOutlinePoint(double x, double y, uint8_t onCurve, uint8_t cubic);

}  // namespace qm
