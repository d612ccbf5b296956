#include "ui/checkbox.h"

#include "platform/render/primitives.h"
#include "ui/icons.h"
#include "ui/layout.h"
#include "ui/text.h"
#include "ui/trail.h"
#include "ui/widget_id.h"
#include "ui/wrap.h"

#include <string>

namespace qm {

bool checkbox(UiContext& ctx, std::string_view label, bool& value, const CheckboxOptions& options)
{
    const bool disabled = options.disabled;
    const Theme& t = ctx.theme;
    Renderer& r = *ctx.renderer;
    int64_t id = widgetId(ctx, "chk" + std::string(label));
    LayoutFrame& f = currentLayout(ctx);
    bool inRow = f.kind == 1;
    bool mayWrap = !inRow || options.wrapInRow || f.overflow;
    double box = dp(ctx, 16), labelX = dp(ctx, 23);
    double size = fontSize(ctx);
    if (inRow && !label.empty())
        noteColumnWidth(ctx, box + dp(ctx, 7) + uiTextWidth(ctx, label, size, 0));

    std::vector<std::string> lines;
    double lh = lineHeight(*ctx.font, size);
    double height = smallRowHeight(ctx);
    if (mayWrap && uiTextWidth(ctx, label, size, 0) > availableWidth(ctx) - labelX) {
        lines = wrapText(ctx, label, availableWidth(ctx) - labelX, size);
        if (lines.size() >= 2)
            height = double(lines.size()) * lh + dp(ctx, 4);
    }
    bool wrapped = lines.size() >= 2;
    Rect rect = nextLayoutRect(ctx, height, 0);

    InteractResult res;
    if (!disabled) {
        res = interact(ctx, id, rect, 1);
    } else {
        ctx.lastWidgetRect = rect;
        ctx.lastWidgetId = id;
    }

    double bandH = wrapped ? dp(ctx, 4) + lh : rect.h;
    Rect boxRect{rect.x, rect.y + (bandH - box) * 0.5, box, box};
    double radius = dp(ctx, 3);
    if (value) {
        Color fill = disabled ? t.base[slotTextTertiary]
            : res.held        ? t.base[slotAccentPressed]
            : res.hovered     ? t.base[slotAccentHover]
                              : t.base[slotAccent];
        fillRoundRect(r, boxRect, radius, fill);
        double inset = dp(ctx, 1);
        drawIcon(r, icCheck, {boxRect.x + inset, boxRect.y + inset, box - 2 * inset, box - 2 * inset}, colorWhite, 1);
    } else {
        fillRoundRect(r, boxRect, radius, disabled ? t.base[slotBackground] : t.base[slotSurface]);
        strokeRoundRect(r, boxRect, radius, 1, res.hovered ? t.base[slotTextTertiary] : t.base[slotBorder]);
    }

    Color ink = disabled ? t.base[slotTextTertiary] : t.base[slotText];
    if (wrapped) {
        double baseline = rect.y + dp(ctx, 3) + ascent(*ctx.font, size);
        for (const std::string& line : lines) {
            renderText(r, ctx.font, line, rect.x + labelX, baseline, size, ink);
            baseline += lh;
        }
    } else {
        uiDrawText(ctx, label, {rect.x + labelX, rect.y, rect.w - labelX, rect.h}, size, ink, 0, 0);
    }

    if (res.clicked) {
        value = !value;
        addTrail("Tick box: " + std::string(label) + (value ? " (on)" : " (off)"));
        return true;
    }
    return false;
}

}  // namespace qm
