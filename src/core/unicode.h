#pragma once
// Unicode text helpers beside core/utf8.h: a lenient UTF-8 decoder for text
// that must never be rejected (rich text, PDF strings), the simple lower-case
// mapping and the letter property. The tables come from UnicodeData.txt
// through scripts/gen/unicode_tables.py.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

struct LenientUtf8Step {
    uint32_t codePoint = 0;
    size_t length = 1;
};

// Decodes one code point at `at` (below text.size()) without ever failing:
// - a byte below 0x80 is itself;
// - a lead byte announces 2 to 6 bytes, overlong forms are accepted;
// - too few bytes left for the announced form: U+FFFD, one byte consumed;
// - a non-continuation byte inside the form: U+FFFD, decoding resumes at it;
// - a value above U+10FFFF: U+FFFD for the whole form;
// - any other byte (a lone continuation byte, FE, FF) stands for the code
//   point of the same value.
LenientUtf8Step decodeUtf8Lenient(std::string_view text, size_t at);

// Every code point of `text` through decodeUtf8Lenient.
std::u32string decodeUtf8LenientAll(std::string_view text);

// Calls fn(codePoint) for each code point of `text` through decodeUtf8Lenient,
// without building a string of them.
template <typename Fn>
void forEachLenientCodePoint(std::string_view text, Fn&& fn)
{
    for (size_t at = 0; at < text.size();) {
        LenientUtf8Step step = decodeUtf8Lenient(text, at);
        fn(step.codePoint);
        at += step.length;
    }
}

// The simple (one to one) lower-case mapping; `cp` itself when it has none.
uint32_t simpleLowerCase(uint32_t cp);

// `text` with every well-formed code point mapped by simpleLowerCase; bytes
// that are not well-formed UTF-8 are copied unchanged.
std::string lowerCaseUtf8(std::string_view text);

// General category L (Lu, Ll, Lt, Lm, Lo).
bool isUnicodeLetter(uint32_t cp);

}  // namespace qm
