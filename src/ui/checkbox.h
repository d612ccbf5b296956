#pragma once
#include <string_view>

#include "ui/context.h"

namespace qm {

struct CheckboxOptions {
    bool disabled = false;
    // The label may wrap inside a row whose items share a line.
    bool wrapInRow = false;
};

// A box bound to the caller's bool with its label to the right; true in the
// frame a click flipped the value.
bool checkbox(UiContext& ctx, std::string_view label, bool& value, const CheckboxOptions& options = {});

}  // namespace qm
