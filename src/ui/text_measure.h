#pragma once
// A text width kept while a text grows one code point at a time. It adds
// kerning and advances in textWidth's order, so the running total equals
// textWidth of the text so far to the last bit, without measuring it again.
#include <cstdint>
#include <string_view>

#include "platform/render/glyph_atlas.h"

namespace qm {

struct RunningWidth {
    GlyphAtlas* atlas = nullptr;
    double size = 0;
    int32_t pixelSize = 0;
    int32_t previous = 0;  // glyph of the last code point, 0 at the start
    double total = 0;

    RunningWidth(GlyphAtlas& a, double s);
    void add(uint32_t codePoint);
    // Adds every code point of well-formed or repaired text.
    void add(std::string_view text);
    // The width the text would have with one more code point, unchanged.
    double peek(uint32_t codePoint) const;
    void reset();
};

}  // namespace qm
