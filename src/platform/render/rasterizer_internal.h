#pragma once
// Steps of the rasteriser that tests reach directly.
#include <cstdint>
#include <vector>

#include "platform/render/rasterizer.h"

namespace qm {

// coverageToAlphaGamma(r, 1.0) by the portable code, which the build uses
// where the vector one is not available; both give the same bytes.
std::vector<uint8_t> coverageToAlphaPortable(const Rasterizer& r);

}  // namespace qm
