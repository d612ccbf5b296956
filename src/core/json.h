#pragma once
// JSON documents keep their members in the order written: the stored files
// rely on it. Writing is total: invalid UTF-8 in a text is replaced with
// U+FFFD, doubles take their shortest round-trip form whatever the C locale,
// and a NaN or infinity is written as null, so the output is always strict JSON.
#include "core/json_fwd.h"

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

namespace qm {

// Compact (no blanks outside texts) when indent is negative; otherwise one
// member per line, indented by that many spaces a level.
std::string dumpJson(const Json& node, int indent = -1);
// The compact form of a text and of a whole document, added to out: for
// writers that make their text directly and keep dumpJson's bytes.
void appendJsonString(std::string& out, std::string_view text);
void appendJson(std::string& out, const Json& node);
// Raises ValueError with a message naming the fault when text is not JSON.
// Lenient where nothing is lost by it: ill-formed UTF-8 and lone surrogate
// escapes read as U+FFFD, and a number too large for a double reads as an
// infinity (which the member readers refuse), so one bad amount never makes
// a whole document unreadable.
Json parseJson(std::string_view text);

}  // namespace qm
