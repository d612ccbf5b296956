#include "ui/combo_box.h"

#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/icons.h"
#include "ui/layout.h"
#include "ui/text.h"
#include "ui/text_edit.h"
#include "ui/tooltip.h"
#include "ui/trail.h"
#include "ui/widget_id.h"

#include <algorithm>

namespace qm {

namespace {

constexpr int kVisibleRows = 12;

}  // namespace

void comboScrollbar(UiContext& ctx, int64_t comboId, ScrollState& st, const Rect& t, double contentHeight)
{
    double maxOffset = contentHeight - t.h;
    double ratio = maxOffset > 0 ? st.offset / maxOffset : 0;
    double thumbH = std::max(t.h / contentHeight * t.h, dp(ctx, 20));
    Rect thumb{t.x + dp(ctx, 2), t.y + (t.h - thumbH) * ratio, t.w - dp(ctx, 4), thumbH};
    int64_t id = widgetIdIndexed(ctx, "cmbbar", int64_t(uint64_t(comboId) & 0x7FFFFFFFu));
    InteractResult res = interact(ctx, id, thumb, 1);
    if (res.pressed) {
        st.dragging = true;
        st.dragStartY = ctx.pointerY;
        st.dragStartOffset = st.offset;
    }
    double top = std::max(maxOffset, 0.0);
    if (res.held && st.dragging)
        st.offset = std::clamp(
            (ctx.pointerY - st.dragStartY) / std::max(t.h - thumbH, 1.0) * top + st.dragStartOffset, 0.0, top);
    else if (!res.held)
        st.dragging = false;
    fillRect(*ctx.renderer, t, ctx.theme.derived[derivedScrollTrack]);
    fillRoundRect(*ctx.renderer, thumb, t.w * 0.5 - dp(ctx, 2),
        res.hovered || res.held ? ctx.theme.base[slotTextTertiary] : ctx.theme.derived[derivedScrollThumb]);
}

bool comboBox(UiContext& ctx, int64_t id, int32_t& selected, const std::vector<std::string>& items, const Rect& rect,
    bool disabled)
{
    const Theme& t = ctx.theme;
    Renderer& r = *ctx.renderer;
    int32_t count = int32_t(items.size());
    InteractResult bar;
    if (!disabled)
        bar = interact(ctx, id, rect, 1);
    bool open = isPopupOpen(ctx, id);
    drawFieldFrame(ctx, rect, {.hovered = bar.hovered, .focused = open, .disabled = disabled});
    std::string text = selected >= 0 && selected < count ? items[size_t(selected)] : std::string();
    std::string shown = ellipsize(ctx, text, rect.w - dp(ctx, 30), 0);
    uiDrawText(ctx, shown, {rect.x + dp(ctx, 6), rect.y, rect.w - dp(ctx, 30), rect.h}, 0,
        disabled ? t.base[slotTextTertiary] : t.base[slotText], 0, 0);
    if (shown != text && !open)
        tooltip(ctx, text, rect);
    double chevron = dp(ctx, 16);
    drawIcon(r, icChevronDown,
        {rect.x + rect.w - chevron - dp(ctx, 4), rect.y + (rect.h - chevron) * 0.5, chevron, chevron},
        t.base[slotTextSecondary], 1.0);

    bool openedNow = false;
    if (bar.clicked) {
        if (open) {
            closePopup(ctx);
        } else {
            openPopup(ctx, id, rect);
            openedNow = true;
        }
    }
    bool changed = false;
    if (!isPopupOpen(ctx, id))
        return false;

    double rowH = smallRowHeight(ctx);
    double listH = std::min(count, kVisibleRows) * rowH + dp(ctx, 8);
    double barW = count > kVisibleRows ? dp(ctx, t.metrics[metricScrollbarWidth]) : 0;
    Rect popup{rect.x, 0, std::max(rect.w, dp(ctx, 120)), listH};
    double below = rect.y + rect.h + dp(ctx, 2);
    popup.y = below + listH > ctx.viewHeight ? std::max(rect.y - listH - dp(ctx, 2), dp(ctx, 2)) : below;
    setPopupRect(ctx, popup);
    int32_t previousLayer = beginOverlay(ctx, popup);
    double radius = cornerRadius(ctx);
    drawShadowRect(r, popup, radius, dp(ctx, 10), withAlpha(t.base[slotShadowSoft], 0.18));
    fillRoundRect(r, popup, radius, t.base[slotRaised]);
    strokeRoundRect(r, popup, radius, 1, t.base[slotBorder]);

    std::shared_ptr<ScrollState> st = scrollState(ctx, id);
    double maxOffset = count > kVisibleRows ? (count - kVisibleRows) * rowH : 0;
    if (openedNow && selected >= 0)
        st->offset = std::clamp(selected * rowH - 5.5 * rowH, 0.0, maxOffset);
    st->offset = std::clamp(st->offset, 0.0, maxOffset);
    if (count > kVisibleRows) {
        // The wheel moves the list as it moves a scroll area.
        st->offset -= wheelScroll(ctx, id, popup, 2 * rowH, dp(ctx, 2) + barW);
        st->offset = std::clamp(st->offset, 0.0, maxOffset);
    }
    pushClip(r, {popup.x + 1, popup.y + 1, popup.w - 2, popup.h - 2});
    for (int32_t i = 0; i < count; ++i) {
        Rect row{popup.x + dp(ctx, 3), popup.y + dp(ctx, 4) - st->offset + i * rowH, popup.w - dp(ctx, 6) - barW, rowH};
        if (row.y + row.h <= popup.y || row.y >= popup.y + popup.h)
            continue;
        InteractResult res = interact(ctx, widgetIdIndexed(ctx, "cmbitem", i), row, 1);
        if (res.hovered)
            fillRoundRect(r, row, dp(ctx, 3), t.base[slotHover]);
        if (i == selected)
            fillRoundRect(r, row, dp(ctx, 3), t.base[slotAccentBackground]);
        uiDrawText(
            ctx, items[size_t(i)], {row.x + dp(ctx, 6), row.y, row.w - dp(ctx, 8), row.h}, 0, t.base[slotText], 0, 0);
        if (res.clicked) {
            if (i != selected) {
                selected = i;
                addTrail("List: " + items[size_t(i)]);
                changed = true;
            }
            closePopup(ctx);
        }
    }
    popClip(r);
    if (count > kVisibleRows)
        comboScrollbar(ctx, id, *st,
            {popup.x + popup.w - barW - dp(ctx, 2), popup.y + dp(ctx, 4), barW, listH - dp(ctx, 8)}, count * rowH);
    endOverlay(ctx, previousLayer);
    return changed;
}

}  // namespace qm
