#pragma once
// The forgiving UTF-8 reading the PDF writer uses for drawn text, titles and
// outline entries: it never fails and never loses a character that follows a
// damaged one. Unlike core/utf8.h it accepts the old 5- and 6-byte forms and
// lets a stray byte stand for the code point of its own value.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qm {

struct LenientUtf8Step {
    uint32_t codePoint = 0;
    size_t length = 1;  // at least 1
};

// Decodes the character starting at `at` (below text.size()):
// - a sequence cut short by the end of the text gives U+FFFD and takes only
//   its lead byte;
// - a lead byte whose sequence meets a byte that is not a continuation gives
//   U+FFFD and stops before that byte;
// - a value above U+10FFFF gives U+FFFD;
// - a byte that cannot start a sequence (0x80..0xBF, 0xFE, 0xFF) is itself.
LenientUtf8Step decodeLenientUtf8(std::string_view text, size_t at);

// Calls fn(codePoint) for each character of the text in order.
template <typename Fn>
void forEachLenientCodePoint(std::string_view text, Fn&& fn)
{
    for (size_t at = 0; at < text.size();) {
        LenientUtf8Step step = decodeLenientUtf8(text, at);
        fn(step.codePoint);
        at += step.length;
    }
}

}  // namespace qm
