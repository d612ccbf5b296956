#pragma once
// The wrap as first written: every candidate line measured from its start.
// Quadratic in the line's length; kept as the reference the fast wrap is
// checked and timed against.
#include "ui/wrap.h"

namespace qm {

std::vector<std::string> wrapTextLiteral(UiContext& ctx, std::string_view text, double maxWidth, double size);

}  // namespace qm
