#pragma once
// Decoding of dropped files offered as a text/uri-list payload: local file
// URLs and bare absolute paths become paths; anything else spoils the drop.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The local paths of the payload in order; empty as soon as one entry is not
// a local absolute path (a remote host, a relative name, a NUL byte...).
std::vector<std::string> parseUriList(std::string_view payload);

// The path of a local file URL ("file:///p", "file://localhost/p",
// "file:/p"), "" when the URL is not one or its path cannot be used.
std::string fileUrlToPath(std::string_view url);

// Replaces every "%" followed by two hexadecimal digits by that byte.
std::string percentDecode(std::string_view text);

// Without surrounding whitespace and one pair of matching quotes.
std::string unquote(std::string_view text);

bool isAbsolutePath(std::string_view path);

// 0-15 for a hexadecimal digit of either case; nothing for another character.
std::optional<int32_t> hexDigitValue(char c);

}  // namespace qm
