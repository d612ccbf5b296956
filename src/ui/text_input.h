#pragma once
// A text field placed by the layout, and a progress bar.
#include <string>
#include <string_view>

#include "ui/context.h"
#include "ui/text_edit.h"

namespace qm {

// The label names the field (its id) and is not drawn.
// width <= 0 leaves the width to the layout.
TextEditResult textInput(
    UiContext& ctx, std::string_view label, std::string& text, const TextEditOptions& options = {}, double width = 0);
void progressBar(UiContext& ctx, double fraction, std::string_view label);

}  // namespace qm
