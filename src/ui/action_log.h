#pragma once
// Where widgets report an action that took effect ("Button: Save"). It hands
// the text to the process-wide action trail that crash reports read.
#include <string>

namespace qm {

void recordAction(const std::string& text);

}  // namespace qm
