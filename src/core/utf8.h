#pragma once
// UTF-8, strictly: one decoder, one encoder and one repairer for the whole
// program. Ill-formed input is replaced by U+FFFD one maximal ill-formed
// prefix at a time (the replacement practice of the Unicode standard), so the
// same bytes always give the same text whoever reads them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

inline constexpr uint32_t kReplacementChar = 0xFFFD;

// One step of decoding: the code point at a position (U+FFFD when the bytes
// there are ill-formed), how many bytes it took (at least 1) and whether the
// bytes were well-formed.
struct Utf8Step {
    uint32_t codePoint = 0;
    size_t length = 1;
    bool valid = true;
};

// Decodes the sequence starting at `at`, which must be below text.size().
Utf8Step decodeUtf8(std::string_view text, size_t at);

// Appends the encoding of `cp`; a surrogate or a value above U+10FFFF is
// written as U+FFFD.
void appendUtf8(std::string& out, uint32_t cp);
std::string encodeUtf8(uint32_t cp);

// `text` with every ill-formed sequence replaced by U+FFFD.
std::string repairUtf8(std::string_view text);
bool isValidUtf8(std::string_view text);

// Number of code points, counting each ill-formed sequence as one.
size_t utf8Length(std::string_view text);

}  // namespace qm
