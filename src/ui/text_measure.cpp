#include "ui/text_measure.h"

#include "codecs/font/cmap.h"
#include "core/utf8.h"

namespace qm {

RunningWidth::RunningWidth(GlyphAtlas& a, double s)
    : atlas(&a)
    , size(s)
    , pixelSize(atlasPixelSize(s))
{
}

void RunningWidth::add(uint32_t codePoint)
{
    int32_t g = glyphIndex(*atlas->font, int32_t(codePoint));
    if (previous != 0)
        total += kerningPixels(*atlas, previous, g, size);
    total += getGlyph(*atlas, g, pixelSize).advance;
    previous = g;
}

void RunningWidth::add(std::string_view text)
{
    for (size_t at = 0; at < text.size();) {
        Utf8Step step = decodeUtf8(text, at);
        at += step.length;
        add(step.codePoint);
    }
}

double RunningWidth::peek(uint32_t codePoint) const
{
    RunningWidth copy = *this;
    copy.add(codePoint);
    return copy.total;
}

void RunningWidth::reset()
{
    previous = 0;
    total = 0;
}

}  // namespace qm
