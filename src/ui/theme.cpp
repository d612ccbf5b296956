#include "ui/theme.h"

#include <algorithm>

namespace qm {

namespace {

struct Palette {
    const char* name;
    bool dark;
    std::array<int32_t, kThemeBaseSlots> rgb;  // -1: not written by the fill
    double shadowAlpha;
    double shadowSoftAlpha;
    int32_t derived19;
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

// Which base slot each derived slot copies; -1 for the two that are not copies.
constexpr std::array<int8_t, kThemeDerivedSlots> kDerivedFrom = {
    slotBackground,
    slotSurface,
    slotShadeStrong,
    slotRaised,
    slotText,
    slotText,
    slotTextSecondary,
    slotTextTertiary,
    slotSurface,
    slotBorder,
    slotTextTertiary,
    slotAccentBackground,
    slotAccent,
    slotHover,
    slotAccentBackground,
    slotText,
    slotRaised,
    slotBorder,
    -1,
    -1,
    slotTextTertiary,
    slotBackgroundDeep,
    slotSurface,
    slotText,
    slotSurface,
    slotDanger,
    slotSuccess,
};

constexpr std::array<double, kThemeMetrics> kMetrics = {13, 11, 16, 32, 26, 9, 8, 12, 30, 58, 34, 8, 18};

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
    fresh.derived[19] = hexColor(p.derived19, 1.0);
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
    for (size_t k = 0; k < kDerivedFrom.size(); ++k) {
        if (kDerivedFrom[k] >= 0)
            t.derived[k] = t.base[size_t(kDerivedFrom[k])];
    }
    t.derived[18] = colorTransparent;
    t.metrics = kMetrics;
}

Color tintColor(const Theme& t, int32_t level)
{
    size_t i = size_t(std::clamp(level, 0, 3));
    return lerpColor(t.base[slotSurface], t.base[slotAccent], t.tintLevels[i]);
}

Color withOverlayAlpha(const Theme& t, Color c) { return withAlpha(c, t.overlayAlpha); }

}  // namespace qm
