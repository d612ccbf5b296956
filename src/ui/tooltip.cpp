#include "ui/tooltip.h"

#include "platform/render/primitives.h"
#include "ui/input.h"
#include "ui/text.h"

#include <algorithm>
#include <vector>

namespace qm {

void setTooltip(UiContext& ctx, std::string_view text)
{
    if (!text.empty() && ctx.lastWidgetId != 0 && ctx.lastWidgetId == ctx.hotIdLast) {
        ctx.tooltipText = std::string(text);
        ctx.tooltipRect = ctx.lastWidgetRect;
    }
}

void tooltip(UiContext& ctx, std::string_view text, const Rect& rect)
{
    if (!text.empty() && rectContains(rect, ctx.pointerX, ctx.pointerY)) {
        if (!(ctx.tooltipCandidateRect == rect && ctx.tooltipCandidateText == text)) {
            ctx.tooltipCandidateRect = rect;
            ctx.tooltipCandidateText = std::string(text);
            ctx.tooltipCandidateStart = ctx.time;
        }
        if (ctx.time - ctx.tooltipCandidateStart > kTooltipDelay) {
            ctx.tooltipText = std::string(text);
            ctx.tooltipRect = rect;
        }
    } else if (ctx.tooltipCandidateRect == rect) {
        ctx.tooltipCandidateText.clear();
    }
}

void drawTooltip(UiContext& ctx)
{
    bool anchored = ctx.hotIdLast == ctx.lastWidgetId || rectContains(ctx.tooltipRect, ctx.pointerX, ctx.pointerY);
    if (!ctx.tooltipText.empty() && anchored && ctx.time - ctx.hoverStart > kTooltipDelay && !ctx.buttonsDown[1]) {
        Renderer& r = *ctx.renderer;
        int32_t layer = currentLayer(r);
        setLayer(r, 10);
        double size = smallFontSize(ctx) + 1;
        std::vector<std::string_view> lines;
        std::string_view rest = ctx.tooltipText;
        for (;;) {
            size_t nl = rest.find('\n');
            lines.push_back(rest.substr(0, nl));
            if (nl == std::string_view::npos)
                break;
            rest.remove_prefix(nl + 1);
        }
        double widest = 0;
        for (std::string_view line : lines)
            widest = std::max(widest, uiTextWidth(ctx, line, size, 0));
        double width = widest + dp(ctx, 16);
        double lineH = dp(ctx, 17);
        double height = lines.size() == 1 ? dp(ctx, 22) : double(lines.size()) * lineH + dp(ctx, 10);
        double x = ctx.pointerX + dp(ctx, 12);
        if (x + width > ctx.viewWidth)
            x = std::max(dp(ctx, 4), ctx.viewWidth - width - dp(ctx, 4));
        double y = ctx.pointerY + dp(ctx, 18);
        if (y + height > ctx.viewHeight)
            y = ctx.pointerY - height - dp(ctx, 6);
        Rect box{x, y, width, height};
        drawShadowRect(r, box, cornerRadius(ctx), dp(ctx, 6), withAlpha(ctx.theme.base[slotShadowSoft], 0.2));
        fillRoundRect(r, box, cornerRadius(ctx), ctx.theme.derived[derivedTooltipFill]);
        Color ink = ctx.theme.derived[derivedTooltipText];
        if (lines.size() == 1) {
            uiDrawText(ctx, lines[0], box, size, ink, 0.5, 0);
        } else {
            for (size_t k = 0; k < lines.size(); ++k) {
                Rect line{x + dp(ctx, 8), y + dp(ctx, 5) + double(k) * lineH, width - dp(ctx, 16), lineH};
                uiDrawText(ctx, lines[k], line, size, ink, 0.5, 0);
            }
        }
        ctx.tooltipShown = ctx.tooltipText;
        setLayer(r, layer);
    }
    ctx.tooltipText.clear();
}

}  // namespace qm
