#include "app/app_text.h"

#include "app/app_text_internal.h"

#include <algorithm>

#include "core/ascii.h"
#include "model/builtins.h"
#include "platform/render/glyph_atlas.h"
#include "platform/render/primitives.h"
#include "ui/text_ink_internal.h"

namespace qm {

namespace {

constexpr std::string_view kEllipsis = "\u2026";

constexpr std::string_view kStandardCategoryColors[10] = {
    "#378450", "#ad6351", "#ad7b3d", "#4378ad", "#2e828b", "#8160a5", "#a55d96", "#368c74", "#657b3d", "#868d95"};

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

TextDrawLog& textLog()
{
    static TextDrawLog log;
    return log;
}

void placeText(AppState& state, const GlyphAtlasRef& atlas, std::string_view text, const Rect& rect, double size,
    Color color, double align)
{
    // A box too narrow for its text (a narrow window, a large scale) gets the
    // text elided, never glyphs over whatever lies beside the box.
    double w = textWidth(*atlas, text, size);
    std::string elided;
    if (rect.w > 0 && w > rect.w + 0.5) {
        elided = elideWith(text, rect.w, [&](std::string_view s) { return textWidth(*atlas, s, size); });
        text = elided;
        w = textWidth(*atlas, text, size);
    }
    logDrawnText(text, rect, size, color);
    double up = ascent(*atlas, size);
    double down = descent(*atlas, size);
    double x = rect.x + (rect.w - w) * align;
    double baseline = rect.y + (rect.h - (up - down)) * 0.5 + up;
    logTextInk(*state.renderer, text, rect, {x, baseline - up, w, up - down});
    renderText(*state.renderer, atlas, text, x, baseline, size, color);
}

}  // namespace

void setTextDrawLog(TextDrawLog log) { textLog() = std::move(log); }

void logDrawnText(std::string_view text, const Rect& rect, double size, Color color)
{
    if (textLog())
        textLog()(text, rect, size, color);
}

const GlyphAtlasRef& atlasForWeight(const AppState& state, int32_t weight)
{
    switch (weight) {
    case 500:
        return state.fonts.sans500;
    case 600:
        return state.fonts.sans600;
    case 700:
        return state.fonts.sans700;
    default:
        return state.fonts.sans400;
    }
}

const GlyphAtlasRef& atlasForSlot(const AppState& state, int32_t slot)
{
    return slot == 1 ? state.fonts.mono1 : state.fonts.mono0;
}

void drawText(
    AppState& state, std::string_view text, const Rect& rect, double size, Color color, double align, int32_t weight)
{
    placeText(state, atlasForWeight(state, weight), text, rect, size, color, align);
}

double measureText(const AppState& state, std::string_view text, double size, int32_t weight)
{
    return textWidth(*atlasForWeight(state, weight), text, size);
}

void drawTextWith(
    AppState& state, std::string_view text, const Rect& rect, double size, Color color, double align, int32_t slot)
{
    placeText(state, atlasForSlot(state, slot), text, rect, size, color, align);
}

double measureTextWith(const AppState& state, std::string_view text, double size, int32_t slot)
{
    return textWidth(*atlasForSlot(state, slot), text, size);
}

double drawTextAt(AppState& state, std::string_view text, double x, double y, double size, Color color, int32_t slot)
{
    return drawTextAtIn(state, atlasForSlot(state, slot), text, x, y, size, color);
}

double drawTextAtIn(
    AppState& state, const GlyphAtlasRef& face, std::string_view text, double x, double y, double size, Color color)
{
    logDrawnText(text, Rect{x, y, 0, 0}, size, color);
    double w = renderText(*state.renderer, face, text, x, y, size, color);
    double up = ascent(*face, size);
    logTextInk(*state.renderer, text, Rect{x, y, 0, 0}, {x, y - up, w, up - descent(*face, size)});
    return w;
}

std::string elideWith(std::string_view text, double maxWidth, const std::function<double(std::string_view)>& measure)
{
    if (measure(text) <= maxWidth)
        return std::string(text);
    std::vector<size_t> cuts;
    for (size_t i = 1; i < text.size(); ++i)
        if ((uint8_t(text[i]) & 0xC0) != 0x80)
            cuts.push_back(i);
    auto candidate = [&](ptrdiff_t k) {
        std::string s(text.substr(0, cuts[size_t(k)]));
        s += kEllipsis;
        return s;
    };
    ptrdiff_t lo = -1, hi = ptrdiff_t(cuts.size()) - 1;
    while (lo < hi) {
        ptrdiff_t mid = (lo + hi + 1) / 2;
        if (measure(candidate(mid)) <= maxWidth)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo < 0 ? std::string() : candidate(lo);
}

std::string elideText(const AppState& state, std::string_view text, double maxWidth, double size, int32_t weight)
{
    GlyphAtlasRef atlas = atlasForWeight(state, weight);
    return elideWith(text, maxWidth, [&](std::string_view s) { return textWidth(*atlas, s, size); });
}

Color amountColor(const AppState& state, double amount, double warnBelow)
{
    const Theme& t = state.ui->theme;
    if (amount < -0.004)
        return t.base[slotDanger];
    // What is left below zero is less than half a cent: it reads as zero.
    if (std::max(amount, 0.0) < warnBelow)
        return t.base[slotWarning];
    return t.base[slotText];
}

Color parseHexColor(std::string_view text, Color fallback)
{
    if (text.size() != 7 || text[0] != '#')
        return fallback;
    int32_t rgb = 0;
    for (size_t i = 1; i < 7; ++i) {
        int d = hexDigit(text[i]);
        if (d < 0)
            return fallback;
        rgb = rgb * 16 + d;
    }
    return hexColor(rgb, 1.0);
}

Color categoryColor(const AppState& state, std::string_view categoryName)
{
    const Theme& t = state.ui->theme;
    Color fallback = t.base[slotTextSecondary];
    if (categoryName.empty())
        return fallback;
    std::string text = categoryNameColor(*state.store->budget, categoryName);
    if (t.dark) {
        std::string lower = asciiLower(text);
        for (int i = 0; i < 10; ++i)
            if (lower == kStandardCategoryColors[i])
                return t.base[size_t(slotChart0 + i)];
    }
    return parseHexColor(text, fallback);
}

Color transactionColor(const AppState& state, const LedgerEntry& entry)
{
    if (entry.transaction->is_adjustment)
        return state.ui->theme.base[slotChart10];
    return categoryColor(state, entry.transaction->category);
}

}  // namespace qm
