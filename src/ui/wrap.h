#pragma once
// Greedy word wrapping: lines break at "\n" and between words at single
// spaces; a word is never split, so a word wider than the width stands on a
// line of its own. A byte 0x01 is measured as a space but never breaks.
#include <string>
#include <string_view>
#include <vector>

#include "ui/context.h"

namespace qm {

// size <= 0 means fontSize. Measures with the regular face.
std::vector<std::string> wrapText(UiContext& ctx, std::string_view text, double maxWidth, double size);

}  // namespace qm
