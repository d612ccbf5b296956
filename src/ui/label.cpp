#include "ui/label.h"

#include "platform/render/primitives.h"
#include "ui/layout.h"
#include "ui/text.h"
#include "ui/tooltip.h"
#include "ui/widget_id.h"
#include "ui/wrap.h"

#include <algorithm>
#include <cmath>

namespace qm {

namespace {

std::string intPart(double v) { return std::to_string(int64_t(v)); }

// Appends rather than chaining operator+, which trips a false -Wrestrict in
// GCC 12's optimiser.
std::string concat(std::initializer_list<std::string_view> parts)
{
    std::string out;
    for (std::string_view p : parts)
        out.append(p);
    return out;
}

}  // namespace

Color textColor(const UiContext& ctx, int colorIndex)
{
    // derivedText + index must stay inside the derived slots.
    int slot = std::clamp(derivedText + colorIndex, 0, kThemeDerivedSlots - 1);
    return ctx.theme.derived[size_t(slot)];
}

std::string linkTarget(std::string_view target)
{
    if (target.find("://") != std::string_view::npos)
        return std::string(target);
    if (!target.empty() && target[0] == '#')
        return std::string(target.substr(1));
    return "Open the folder";
}

std::string drawLinkedLine(UiContext& ctx, std::string_view line, double x, double baseline, double size, Color color,
    const std::vector<LinkSpan>& links, std::string_view linePrefix)
{
    if (line.empty())
        return {};
    Renderer& r = *ctx.renderer;
    GlyphAtlas& atlas = *ctx.font;
    double a = ascent(atlas, size), d = descent(atlas, size);
    Color accent = ctx.theme.base[slotAccent];
    std::string result;
    size_t p = 0;
    while (p < line.size()) {
        size_t best = std::string_view::npos;
        const LinkSpan* found = nullptr;
        for (const LinkSpan& span : links) {
            if (span.label.empty())
                continue;
            size_t at = line.find(span.label, p);
            if (at != std::string_view::npos && (best == std::string_view::npos || at < best)) {
                best = at;
                found = &span;
            }
        }
        std::string_view plain = line.substr(p, best == std::string_view::npos ? std::string_view::npos : best - p);
        x += renderText(r, ctx.font, plain, x, baseline, size, color);
        if (!found)
            break;
        double w = textWidth(atlas, found->label, size);
        std::string idText = concat({"link", linePrefix, found->label});
        int64_t id = widgetIdIndexed(ctx, idText, int64_t(best));
        InteractResult res = interact(ctx, id, {x, baseline - a, w, a - d}, 1);
        renderText(r, ctx.font, found->label, x, baseline, size, accent);
        if (res.hovered) {
            ctx.cursorShape = curHand;
            fillRect(r, {x, baseline + dp(ctx, 1.5), w, std::max(ctx.scale, 1.0)}, accent);
        }
        setTooltip(ctx, linkTarget(found->target));
        if (res.clicked)
            result = found->target;
        x += w;
        p = best + found->label.size();
    }
    return result;
}

std::string wrappedLabel(
    UiContext& ctx, std::string_view text, int colorIndex, double size, const std::vector<LinkSpan>& links)
{
    double s = size > 0 ? size : fontSize(ctx);
    GlyphAtlas& atlas = *ctx.font;
    double h = lineHeight(atlas, s);
    double avail = availableWidth(ctx);
    std::string work(text);
    for (const LinkSpan& span : links) {
        if (span.label.find(' ') == std::string::npos || textWidth(atlas, span.label, s) > avail)
            continue;
        std::string glued = span.label;
        std::replace(glued.begin(), glued.end(), ' ', '\x01');
        for (size_t at = work.find(span.label); at != std::string::npos; at = work.find(span.label, at + glued.size()))
            work.replace(at, span.label.size(), glued);
    }
    std::vector<std::string> lines = wrapText(ctx, work, avail, s, LongWords::breakApart);
    Rect rect = nextLayoutRect(ctx, double(lines.size()) * h + dp(ctx, 2), 0);
    double baseline = rect.y + ascent(atlas, s) + dp(ctx, 1);
    Color color = textColor(ctx, colorIndex);
    std::string result;
    size_t searchFrom = 0;
    for (size_t i = 0; i < lines.size(); ++i, baseline += h) {
        std::string line = lines[i];
        std::replace(line.begin(), line.end(), '\x01', ' ');
        if (links.empty()) {
            renderText(*ctx.renderer, ctx.font, line, rect.x, baseline, s, color);
            continue;
        }
        size_t start = text.find(line, searchFrom);
        std::vector<LinkSpan> lineSpans;
        if (start != std::string_view::npos && !line.empty()) {
            size_t end = start + line.size();
            searchFrom = end;
            // Every occurrence overlapping the line gives the line the part of
            // it that lies inside, with the span's target.
            for (const LinkSpan& span : links) {
                if (span.label.empty())
                    continue;
                for (size_t at = text.find(span.label); at != std::string_view::npos;
                     at = text.find(span.label, at + 1)) {
                    size_t a = std::max(at, start), b = std::min(at + span.label.size(), end);
                    if (a < b)
                        lineSpans.push_back({std::string(text.substr(a, b - a)), span.target});
                }
            }
        }
        std::string prefix = concat({"w", intPart(rect.y), ".", std::to_string(i)});
        std::string clicked = drawLinkedLine(ctx, line, rect.x, baseline, s, color, lineSpans, prefix);
        if (!clicked.empty())
            result = clicked;
    }
    ctx.lastWidgetRect = rect;
    return result;
}

std::string textBlock(UiContext& ctx, std::string_view text, double width, double align, int colorIndex, int font,
    const std::vector<LinkSpan>& links)
{
    LayoutFrame& f = currentLayout(ctx);
    if (text.empty() && f.kind == 1 && (f.overflow || (f.stacked && f.column == 0))) {
        skipRowCell(ctx);
        return {};
    }
    Color color = textColor(ctx, colorIndex);
    bool columnLike = f.kind == 0 || f.overflow;
    double avail = availableWidth(ctx);
    if (width <= 0 && !text.empty() && columnLike && uiTextWidth(ctx, text, 0, font) > avail + 0.5) {
        if (!links.empty())
            return wrappedLabel(ctx, text, colorIndex, 0, links);
        std::vector<std::string> lines = wrapText(ctx, text, font == 1 ? avail * 0.92 : avail, 0);
        if (lines.size() > 1) {
            double lh = lineHeight(*uiFont(ctx, font), fontSize(ctx));
            Rect rect = nextLayoutRect(ctx, std::max(double(lines.size()) * lh + dp(ctx, 4), smallRowHeight(ctx)), 0);
            for (size_t i = 0; i < lines.size(); ++i)
                uiDrawText(
                    ctx, lines[i], {rect.x, rect.y + dp(ctx, 2) + double(i) * lh, rect.w, lh}, 0, color, align, font);
            ctx.lastWidgetRect = rect;
            return {};
        }
    }
    Rect rect = nextLayoutRect(ctx, smallRowHeight(ctx), width);
    if (!links.empty()) {
        GlyphAtlas& atlas = *ctx.font;
        double size = fontSize(ctx);
        double a = ascent(atlas, size), d = descent(atlas, size);
        double baseline = rect.y + (rect.h - (a - d)) * 0.5 + a;
        pushClip(*ctx.renderer, rect);
        std::string clicked =
            drawLinkedLine(ctx, text, rect.x, baseline, size, color, links, concat({"l", intPart(rect.y)}));
        popClip(*ctx.renderer);
        ctx.lastWidgetRect = rect;
        return clicked;
    }
    std::string shown = ellipsize(ctx, text, rect.w, 0);
    uiDrawText(ctx, shown, rect, 0, color, align, font);
    if (shown != text)
        tooltip(ctx, text, rect);
    ctx.lastWidgetRect = rect;
    return {};
}

}  // namespace qm
