#pragma once
// An amount typed as text behind a "$" prefix. The caller parses the text;
// a focus that arrives selects everything, so typing replaces the amount.
#include <string>
#include <string_view>

#include "app/app_state.h"
#include "ui/text_edit.h"

namespace qm {

TextEditResult amountField(AppState& state, std::string_view id, std::string& text, const Rect& rect,
    std::string_view placeholder, bool disabled);

}  // namespace qm
