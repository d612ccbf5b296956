#include "core/portable_text.h"

#include "core/utf8.h"

namespace qm {

namespace {

bool droppedControl(unsigned char c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r'; }

bool droppedCodePoint(uint32_t cp) { return cp == 0xFFFE || cp == 0xFFFF; }

}  // namespace

bool isPortableText(std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (droppedControl(c))
                return false;
            ++i;
            continue;
        }
        Utf8Step step = decodeUtf8(text, i);
        if (!step.valid || droppedCodePoint(step.codePoint))
            return false;
        i += step.length;
    }
    return true;
}

std::string portableText(std::string_view text)
{
    // Most texts are clean; they are copied once without decoding again.
    if (isPortableText(text))
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (!droppedControl(c))
                out += char(c);
            ++i;
            continue;
        }
        Utf8Step step = decodeUtf8(text, i);
        if (!droppedCodePoint(step.codePoint))
            appendUtf8(out, step.codePoint);
        i += step.length;
    }
    return out;
}

}  // namespace qm
