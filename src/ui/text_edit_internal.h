#pragma once
// The buffer operations of the text field, for tests.
#include <string_view>

#include "ui/widget_state.h"

namespace qm {

void deleteSelection(TextEditState& st);
void insertText(TextEditState& st, std::string_view s);
int32_t prevRuneStart(const std::string& buffer, int32_t pos);
int32_t nextRuneStart(const std::string& buffer, int32_t pos);
int32_t prevWordStart(const std::string& buffer, int32_t pos);
int32_t nextWordStart(const std::string& buffer, int32_t pos);
bool isWordByte(char c);

}  // namespace qm
