#include "ui/text_input.h"

#include "platform/render/primitives.h"
#include "ui/layout.h"
#include "ui/text.h"
#include "ui/widget_id.h"

#include <algorithm>
#include <cmath>

namespace qm {

TextEditResult textInput(
    UiContext& ctx, std::string_view label, std::string& text, const TextEditOptions& options, double width)
{
    Rect rect = nextLayoutRect(ctx, rowHeight(ctx), width);
    int64_t id = widgetId(ctx, label);
    return textEdit(ctx, id, text, rect, options);
}

void progressBar(UiContext& ctx, double fraction, std::string_view label)
{
    const Theme& t = ctx.theme;
    Renderer& r = *ctx.renderer;
    Rect rect = nextLayoutRect(ctx, dp(ctx, 16), 0);
    double radius = dp(ctx, 3);
    fillRoundRect(r, rect, radius, t.derived[derivedScrollTrack]);
    // A fraction that is not a number draws no fill rather than NaN vertices.
    if (!std::isnan(fraction)) {
        double f = std::clamp(fraction, 0.0, 1.0);
        if (f > 0)
            fillRoundRect(r, {rect.x, rect.y, f * rect.w, rect.h}, radius, t.base[slotAccent]);
    }
    strokeRoundRect(r, rect, radius, 1, t.base[slotBorder]);
    if (!label.empty()) {
        double size = smallFontSize(ctx);
        std::string caption = ellipsize(ctx, label, rect.w - dp(ctx, 10), size);
        uiDrawText(ctx, caption, rect, size, t.base[slotText], 0.5, 0);
    }
}

}  // namespace qm
