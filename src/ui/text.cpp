#include "ui/text.h"

#include "core/utf8.h"
#include "platform/render/primitives.h"
#include "ui/text_ink_internal.h"
#include "ui/text_measure.h"

namespace qm {

namespace {

// One code point of ellipsize's walk: an ill-formed lead byte stands for
// U+FFFD, any other ill-formed byte for the code point of its value.
Utf8Step ellipsisStep(std::string_view text, size_t at)
{
    Utf8Step step = decodeUtf8(text, at);
    if (step.valid)
        return step;
    uint8_t b = uint8_t(text[at]);
    bool lead = b >= 0xC2 && b <= 0xF4;
    return {lead ? kReplacementChar : b, 1, false};
}

}  // namespace

const GlyphAtlasRef& uiFont(const UiContext& ctx, int font) { return font == 1 && ctx.font2 ? ctx.font2 : ctx.font; }

std::string ellipsize(UiContext& ctx, std::string_view text, double maxWidth, double size)
{
    if (size <= 0)
        size = fontSize(ctx);
    GlyphAtlas& atlas = *ctx.font;
    if (textWidth(atlas, text, size) <= maxWidth)
        return std::string(text);
    static constexpr std::string_view kEllipsis = "\xE2\x80\xA6";
    double ellipsisWidth = textWidth(atlas, kEllipsis, size);
    // The prefix grows a code point at a time; its width is kept running
    // rather than measured afresh for every candidate.
    std::string prefix;
    RunningWidth width(atlas, size);
    for (size_t at = 0; at < text.size();) {
        Utf8Step step = ellipsisStep(text, at);
        RunningWidth next = width;
        next.add(step.codePoint);
        if (next.total + ellipsisWidth > maxWidth)
            break;
        width = next;
        appendUtf8(prefix, step.codePoint);
        at += step.length;
    }
    return prefix + std::string(kEllipsis);
}

void uiDrawText(
    UiContext& ctx, std::string_view text, const Rect& rect, double size, Color color, double align, int font)
{
    if (size <= 0)
        size = fontSize(ctx);
    const GlyphAtlasRef& atlas = uiFont(ctx, font);
    logTextInkInRect(*ctx.renderer, *atlas, text, rect, size, align);
    drawTextInRect(*ctx.renderer, atlas, text, rect, size, color, align);
}

double uiTextWidth(UiContext& ctx, std::string_view text, double size, int font)
{
    if (size <= 0)
        size = fontSize(ctx);
    return textWidth(*uiFont(ctx, font), text, size);
}

}  // namespace qm
