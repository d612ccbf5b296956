#pragma once
#include <string_view>

#include "ui/context.h"

namespace qm {

// A box bound to the caller's bool with its label to the right; true in the
// frame a click flipped the value. wrapInRow lets the label wrap inside a
// row whose items share a line.
bool checkbox(UiContext& ctx, std::string_view label, bool& value, bool disabled, bool wrapInRow);

}  // namespace qm
