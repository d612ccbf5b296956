#pragma once
// Standard base64 (RFC 4648 alphabet with "+" and "/", "=" padding), used for
// signatures, keys and pictures sent to the web service.
#include <optional>
#include <string>
#include <string_view>

namespace qm {

std::string encodeBase64(std::string_view bytes);

// Strict: only the standard alphabet, padded to a multiple of four, padding
// only at the end and unused low bits zero. Anything else (blanks included)
// gives nothing, so one text has exactly one meaning.
std::optional<std::string> decodeBase64(std::string_view text);

}  // namespace qm
