#include "ui/theme.h"

#include <algorithm>
#include <iterator>

namespace qm {

namespace {

struct Palette {
    const char* name;
    bool dark;
    std::array<int32_t, kThemeBaseSlots> rgb;  // -1: not written by the fill
    double shadowAlpha;
    double shadowSoftAlpha;
    int32_t scrollThumb;
    double overlayAlpha;
    std::array<double, 4> tints;
    Color overlayTint;
    int32_t neutralMid;
};

const Palette kLight = {
    "Light",
    false,
    {0xf9fafc, 0xffffff, 0xffffff, 0xedeff1, 0xf2f4f6, 0xf9fafc, 0xe3e5e7, 0xdbdee2, 0x23272c, 0x5f646a, 0x8d939a, -1,
        0x2a68b7, 0x1059ac, -1, 0x2a68b7, 0xe2f0ff, -1, 0x21763c, 0x09672e, 0xbd3838, 0xac262a, 0xaa6a00, 0xecf9ee,
        0xfff4f2, 0xeac8c4, 0xfff6e3, 0x0f162c, 0x141e3c, 0x378450, 0xad6351, 0xad7b3d, 0x4378ad, 0x2e828b, 0x8160a5,
        0xa55d96, 0x368c74, 0x657b3d, 0x868d95, 0x6e6d94},
    0.4,
    0.28,
    0xced1d5,
    0.13,
    {0.01, 0.02, 0.04, 0.06},
    {float(20 / 255.0), float(30 / 255.0), float(60 / 255.0), 0.06f},
    0x606469,
};

const Palette kDark = {
    "Dark",
    true,
    {0x101316, 0x1c1e22, 0x23272b, 0x0b0d11, 0x2b2e33, 0x16191c, 0x303338, 0x393d44, 0xdbdee3, 0xa1a5ab, 0x767b80, -1,
        0x4687db, 0x5897e9, -1, 0x7aadf2, 0x182e4b, -1, 0x62bb78, 0x73cb87, 0xf2716a, 0xff8179, 0xe5a14b, 0x152318,
        0x2c1a18, 0x643a37, 0x2e1e0a, 0x000000, 0x000000, 0x57a26d, 0xce816e, 0xcd995c, 0x6197cd, 0x4fa0a9, 0x9f7dc5,
        0xc67bb6, 0x57aa92, 0x83995b, 0x9aa0ad, 0xa0a0c9},
    0.55,
    0.6,
    0x3f4348,
    0.22,
    {0.02, 0.04, 0.07, 0.09},
    {1, 1, 1, 0.07f},
    0x9aa0ad,
};

struct DerivedCopy {
    ThemeDerivedSlot slot;
    ThemeSlot from;
};

// The derived slots that copy a base slot; derivedScrollTrack and
// derivedScrollThumb are the two that do not.
// clang-format off
constexpr DerivedCopy kDerivedFrom[] = {
    {derivedBackground, slotBackground},
    {derivedSurface, slotSurface},
    {derivedDivider, slotShadeStrong},
    {derivedRaised, slotRaised},
    {derivedTextAlt, slotText},
    {derivedText, slotText},
    {derivedTextSecondary, slotTextSecondary},
    {derivedTextTertiary, slotTextTertiary},
    {derivedFieldFill, slotSurface},
    {derivedFieldBorder, slotBorder},
    {derivedFieldBorderHover, slotTextTertiary},
    {derivedAccentBackground, slotAccentBackground},
    {derivedFieldFocus, slotAccent},
    {derivedMenuHover, slotHover},
    {derivedSelection, slotAccentBackground},
    {derivedSelectionText, slotText},
    {derivedMenuFill, slotRaised},
    {derivedMenuBorder, slotBorder},
    {derivedScrollThumbHover, slotTextTertiary},
    {derivedBackgroundDeep, slotBackgroundDeep},
    {derivedSurfaceAlt, slotSurface},
    {derivedTooltipFill, slotText},
    {derivedTooltipText, slotSurface},
    {derivedDanger, slotDanger},
    {derivedSuccess, slotSuccess},
};

struct MetricSize {
    ThemeMetric metric;
    double size;  // dp
};

constexpr MetricSize kMetrics[] = {
    {metricFontSize, 13},
    {metricSmallFontSize, 11},
    {metricTitleFontSize, 16},
    {metricRowHeight, 32},
    {metricSmallRowHeight, 26},
    {metricCornerRadius, 9},
    {metricSpacing, 8},
    {metricWindowPadding, 12},
    {metricCompactButtonHeight, 30},
    {metricToolbarHeight, 58},
    {metricHeaderButtonHeight, 34},
    {metricScrollbarWidth, 8},
    {metricIconSize, 18},
};
// clang-format on

// Each slot written exactly once, so a slot left out or named twice fails here.
constexpr bool coversOnce(auto first, auto last, auto key, int count, int skipped)
{
    std::array<int, 32> seen{};
    for (auto i = first; i != last; ++i)
        ++seen[size_t(key(*i))];
    int once = 0;
    for (int k = 0; k < count; ++k)
        once += seen[size_t(k)] == 1;
    return once == count - skipped && int(last - first) == count - skipped;
}
static_assert(coversOnce(
    std::begin(kDerivedFrom), std::end(kDerivedFrom), [](DerivedCopy c) { return int(c.slot); }, kThemeDerivedSlots,
    2));
static_assert(coversOnce(
    std::begin(kMetrics), std::end(kMetrics), [](MetricSize m) { return int(m.metric); }, kThemeMetrics, 0));

void fill(Theme& t, const Palette& p)
{
    Theme fresh;
    fresh.name = p.name;
    fresh.dark = p.dark;
    for (int i = 0; i < kThemeBaseSlots; ++i)
        if (p.rgb[size_t(i)] >= 0)
            fresh.base[size_t(i)] = hexColor(p.rgb[size_t(i)], 1.0);
    fresh.base[slotShadow].a = float(p.shadowAlpha);
    fresh.base[slotShadowSoft].a = float(p.shadowSoftAlpha);
    fresh.derived[derivedScrollThumb] = hexColor(p.scrollThumb, 1.0);
    fresh.overlayAlpha = p.overlayAlpha;
    fresh.tintLevels = p.tints;
    fresh.overlayTint = p.overlayTint;
    fresh.neutralMid = hexColor(p.neutralMid, 1.0);
    deriveThemeColors(fresh);
    t = std::move(fresh);
}

}  // namespace

void fillLightTheme(Theme& t) { fill(t, kLight); }

void fillDarkTheme(Theme& t) { fill(t, kDark); }

void deriveThemeColors(Theme& t)
{
    t.base[slotAccentPressed] = t.base[slotAccentHover];
    t.base[slotContrastLight] = colorWhite;
    t.base[slotContrastLight2] = colorWhite;
    for (const DerivedCopy& c : kDerivedFrom)
        t.derived[c.slot] = t.base[c.from];
    t.derived[derivedScrollTrack] = colorTransparent;
    for (const MetricSize& m : kMetrics)
        t.metrics[m.metric] = m.size;
}

Color tintColor(const Theme& t, int32_t level)
{
    size_t i = size_t(std::clamp(level, 0, 3));
    return lerpColor(t.base[slotSurface], t.base[slotAccent], t.tintLevels[i]);
}

Color withOverlayAlpha(const Theme& t, Color c) { return withAlpha(c, t.overlayAlpha); }

}  // namespace qm
