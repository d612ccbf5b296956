#pragma once
// Greedy word wrapping: lines break at "\n" and between words at single
// spaces. A word wider than the width stands on a line of its own, or is
// broken between code points when asked (paths and addresses in messages,
// which would otherwise run out of their box). A byte 0x01 is measured as a
// space but never breaks.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/context.h"

namespace qm {

enum class LongWords : uint8_t { keep, breakApart };

// size <= 0 means fontSize. Measures with the regular face.
std::vector<std::string> wrapText(
    UiContext& ctx, std::string_view text, double maxWidth, double size, LongWords longWords = LongWords::keep);

}  // namespace qm
