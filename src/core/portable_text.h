#pragma once
// Text bound for files that other programs read. XML 1.0 forbids most C0
// controls and the noncharacters U+FFFE and U+FFFF outright, so one such byte
// in a user's description would make a whole workbook unreadable; ill-formed
// UTF-8 fails the same way. Every writer of such files passes user text
// through here first.
#include <string>
#include <string_view>

namespace qm {

// `text` with ill-formed UTF-8 replaced by U+FFFD (as repairUtf8 does) and C0
// controls other than tab, line feed and carriage return, U+FFFE and U+FFFF
// left out.
std::string portableText(std::string_view text);

// Whether portableText would return `text` unchanged.
bool isPortableText(std::string_view text);

}  // namespace qm
