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

// The derived slots are named by the part of a widget they paint; several hold
// the same base colour so that one role can change without the others.
enum ThemeDerivedSlot : uint8_t {
    derivedBackground = 0,
    derivedSurface = 1,
    derivedDivider = 2,
    derivedRaised = 3,
    derivedTextAlt = 4,
    derivedText = 5,
    derivedTextSecondary = 6,
    derivedTextTertiary = 7,
    derivedFieldFill = 8,
    derivedFieldBorder = 9,
    derivedFieldBorderHover = 10,
    derivedAccentBackground = 11,
    derivedFieldFocus = 12,
    derivedMenuHover = 13,
    derivedSelection = 14,
    derivedSelectionText = 15,
    derivedMenuFill = 16,
    derivedMenuBorder = 17,
    derivedScrollTrack = 18,
    derivedScrollThumb = 19,
    derivedScrollThumbHover = 20,
    derivedBackgroundDeep = 21,
    derivedSurfaceAlt = 22,
    derivedTooltipFill = 23,
    derivedTooltipText = 24,
    derivedDanger = 25,
    derivedSuccess = 26,
};

// Sizes in dp. The four no widget reads yet are named after the sizes the
// pages draw at by hand.
enum ThemeMetric : uint8_t {
    metricFontSize = 0,
    metricSmallFontSize = 1,
    metricTitleFontSize = 2,
    metricRowHeight = 3,
    metricSmallRowHeight = 4,
    metricCornerRadius = 5,
    metricSpacing = 6,
    metricWindowPadding = 7,
    metricCompactButtonHeight = 8,
    metricToolbarHeight = 9,
    metricHeaderButtonHeight = 10,
    metricScrollbarWidth = 11,
    metricIconSize = 12,
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
// Derived slots (all but derivedScrollThumb, which each palette sets itself)
// and metrics from the base slots as they stand.
void deriveThemeColors(Theme& t);
// surface mixed towards accent by tintLevels[level], level clamped to 0..3.
Color tintColor(const Theme& t, int32_t level);
Color withOverlayAlpha(const Theme& t, Color c);

}  // namespace qm
