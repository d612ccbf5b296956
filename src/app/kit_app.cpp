#include "app/kit_app.h"

#include "model/builtins.h"
#include "platform/render/primitives.h"
#include "ui/theme.h"

#include <array>
#include <optional>
#include <vector>

namespace qm {

namespace {

const GlyphAtlasRef& weightAtlas(const KitApp& app, int32_t weight)
{
    const FontSet& f = *app.fonts;
    switch (weight) {
    case 500:
        return f.sans500;
    case 600:
        return f.sans600;
    case 700:
        return f.sans700;
    default:
        return f.sans400;
    }
}

const GlyphAtlasRef& slotAtlas(const KitApp& app, int32_t slot)
{
    return slot == 1 ? app.fonts->mono1 : app.fonts->mono0;
}

void drawWithAtlas(KitApp& app, const GlyphAtlasRef& atlas, std::string_view text, const Rect& rect, double size,
    Color color, double align)
{
    if (text.empty() || size <= 0)
        return;
    double w = textWidth(*atlas, text, size);
    double asc = ascent(*atlas, size), desc = descent(*atlas, size);
    double x = rect.x + (rect.w - w) * align;
    double baseline = rect.y + (rect.h - (asc - desc)) * 0.5 + asc;
    renderText(*kitUi(app).renderer, atlas, text, x, baseline, size, color);
}

std::optional<Color> parseSixHex(std::string_view text)
{
    if (text.size() != 7 || text[0] != '#')
        return std::nullopt;
    int32_t v = 0;
    for (char c : text.substr(1)) {
        int d = c >= '0' && c <= '9' ? c - '0'
            : c >= 'a' && c <= 'f'   ? c - 'a' + 10
            : c >= 'A' && c <= 'F'   ? c - 'A' + 10
                                     : -1;
        if (d < 0)
            return std::nullopt;
        v = v * 16 + d;
    }
    return hexColor(v, 1.0);
}

constexpr std::array<std::string_view, 10> kStandardCategoryColors = {
    "#378450", "#ad6351", "#ad7b3d", "#4378ad", "#2e828b", "#8160a5", "#a55d96", "#368c74", "#657b3d", "#868d95"};

}  // namespace

double scaled(const KitApp& app, double length) { return length * app.ui->scale; }

void drawText(
    KitApp& app, std::string_view text, const Rect& rect, double size, Color color, double align, int32_t weight)
{
    drawWithAtlas(app, weightAtlas(app, weight), text, rect, size, color, align);
}

double measureText(KitApp& app, std::string_view text, double size, int32_t weight)
{
    if (text.empty() || size <= 0)
        return 0;
    return textWidth(*weightAtlas(app, weight), text, size);
}

void drawTextWith(
    KitApp& app, std::string_view text, const Rect& rect, double size, Color color, double align, int32_t slot)
{
    drawWithAtlas(app, slotAtlas(app, slot), text, rect, size, color, align);
}

std::string elideText(KitApp& app, std::string_view text, double maxWidth, double size, int32_t weight)
{
    GlyphAtlas& atlas = *weightAtlas(app, weight);
    if (textWidth(atlas, text, size) <= maxWidth)
        return std::string(text);
    std::vector<size_t> cuts;
    for (size_t i = 1; i < text.size(); ++i)
        if ((uint8_t(text[i]) & 0xC0) != 0x80)
            cuts.push_back(i);
    auto candidate = [&](size_t k) { return std::string(text.substr(0, cuts[k])) + "\xE2\x80\xA6"; };
    int64_t lo = -1, hi = int64_t(cuts.size()) - 1;
    while (lo < hi) {
        int64_t mid = (lo + hi + 1) / 2;
        if (textWidth(atlas, candidate(size_t(mid)), size) <= maxWidth)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo < 0 ? std::string() : candidate(size_t(lo));
}

Color categoryColor(KitApp& app, std::string_view categoryName)
{
    const Theme& t = app.ui->theme;
    if (categoryName.empty() || !app.budget)
        return t.base[slotTextSecondary];
    std::string text = categoryNameColor(*app.budget, categoryName);
    std::optional<Color> c = parseSixHex(text);
    if (!c)
        return t.base[slotTextSecondary];
    if (t.dark) {
        for (char& ch : text)
            if (ch >= 'A' && ch <= 'Z')
                ch = char(ch - 'A' + 'a');
        for (size_t i = 0; i < kStandardCategoryColors.size(); ++i)
            if (text == kStandardCategoryColors[i])
                return t.base[slotChart0 + i];
    }
    return *c;
}

void showError(KitApp& app, const std::string& text)
{
    if (app.showError)
        app.showError(text);
}

std::string userInitials(const KitApp& app)
{
    auto firstChar = [](std::string_view s) {
        if (s.empty())
            return std::string();
        size_t n = 1;
        while (n < s.size() && (uint8_t(s[n]) & 0xC0) == 0x80)
            ++n;
        return upperAscii(s.substr(0, n));
    };
    if (app.budget) {
        const User& u = app.budget->user;
        std::string initials = firstChar(u.first_name) + firstChar(u.last_name);
        if (!initials.empty())
            return initials;
    }
    if (!app.sessionEmail.empty())
        return firstChar(app.sessionEmail);
    return "Q";
}

std::string upperAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return out;
}

}  // namespace qm
