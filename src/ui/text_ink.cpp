#include "ui/text_ink_internal.h"

#include "platform/render/glyph_atlas.h"

namespace qm {

namespace {

TextInkLog& inkLog()
{
    static TextInkLog log;
    return log;
}

}  // namespace

void setTextInkLog(TextInkLog log) { inkLog() = std::move(log); }

void logTextInk(const Renderer& renderer, std::string_view text, const Rect& box, const Rect& ink)
{
    if (inkLog())
        inkLog()(text, box, ink, currentClip(renderer));
}

void logTextInkInRect(
    const Renderer& renderer, GlyphAtlas& atlas, std::string_view text, const Rect& rect, double size, double align)
{
    if (!inkLog())
        return;
    double w = textWidth(atlas, text, size);
    double up = ascent(atlas, size), down = descent(atlas, size);
    logTextInk(
        renderer, text, rect, {rect.x + (rect.w - w) * align, rect.y + (rect.h - (up - down)) / 2, w, up - down});
}

}  // namespace qm
