#pragma once
// The toolkit's palette and size table. Widgets draw every colour from a
// numbered slot and every size from a metric in dp, so one record switches the
// whole interface between light and dark.
#include <array>
#include <cstdint>
#include <string>

#include "platform/render/color.h"

namespace qm {

enum ThemeSlot : uint8_t {
    slotBackground = 0,
    slotSurface = 1,
    slotRaised = 2,
    slotBackgroundDeep = 3,
    slotHover = 4,
    slotBackgroundAlt = 5,
    slotShadeStrong = 6,
    slotBorder = 7,
    slotText = 8,
    slotTextSecondary = 9,
    slotTextTertiary = 10,
    slotContrastLight = 11,
    slotAccent = 12,
    slotAccentHover = 13,
    slotAccentPressed = 14,
    slotLink = 15,
    slotAccentBackground = 16,
    slotContrastLight2 = 17,
    slotSuccess = 18,
    slotSuccessStrong = 19,
    slotDanger = 20,
    slotDangerStrong = 21,
    slotWarning = 22,
    slotSuccessBackground = 23,
    slotDangerBackground = 24,
    slotDangerBorder = 25,
    slotWarningBackground = 26,
    slotShadow = 27,
    slotShadowSoft = 28,
    slotChart0 = 29,
    slotChart10 = 39,
};

inline constexpr int kThemeBaseSlots = 40;
inline constexpr int kThemeDerivedSlots = 27;
inline constexpr int kThemeMetrics = 13;

struct Theme {
    std::string name;
    bool dark = false;
    std::array<Color, kThemeBaseSlots> base{};
    double overlayAlpha = 0;
    std::array<double, 4> tintLevels{};
    Color overlayTint{};
    Color neutralMid{};
    std::array<Color, kThemeDerivedSlots> derived{};
    std::array<double, kThemeMetrics> metrics{};  // dp
};

void fillLightTheme(Theme& t);
void fillDarkTheme(Theme& t);
// Derived slots (all but 19, which each palette sets itself) and metrics from
// the base slots as they stand.
void deriveThemeColors(Theme& t);
// surface mixed towards accent by tintLevels[level], level clamped to 0..3.
Color tintColor(const Theme& t, int32_t level);
Color withOverlayAlpha(const Theme& t, Color c);

}  // namespace qm
