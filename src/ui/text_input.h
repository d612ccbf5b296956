#pragma once
// A text field placed by the layout, and a progress bar.
#include <string>
#include <string_view>

#include "ui/context.h"
#include "ui/text_edit.h"

namespace qm {

// The label names the field (its id) and is not drawn.
TextEditResult textInput(UiContext& ctx, std::string_view label, std::string& text, std::string_view placeholder,
    double width, bool disabled, bool masked);
void progressBar(UiContext& ctx, double fraction, std::string_view label);

}  // namespace qm
