#include "ui/theme.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(Theme, PalettesMatchTheirTables)
{
    struct Row {
        int slot;
        int32_t light, dark;
    };
    const Row rows[] = {{slotBackground, 0xf9fafc, 0x101316}, {slotSurface, 0xffffff, 0x1c1e22},
        {slotText, 0x23272c, 0xdbdee3}, {slotAccent, 0x2a68b7, 0x4687db}, {slotAccentHover, 0x1059ac, 0x5897e9},
        {slotAccentPressed, 0x1059ac, 0x5897e9}, {slotLink, 0x2a68b7, 0x7aadf2},
        {slotContrastLight, 0xffffff, 0xffffff}, {slotContrastLight2, 0xffffff, 0xffffff},
        {slotDanger, 0xbd3838, 0xf2716a}, {slotChart0, 0x378450, 0x57a26d}, {slotChart10, 0x6e6d94, 0xa0a0c9}};
    Theme light, dark;
    fillLightTheme(light);
    fillDarkTheme(dark);
    EXPECT_EQ(light.name, "Light");
    EXPECT_EQ(dark.name, "Dark");
    EXPECT_FALSE(light.dark);
    EXPECT_TRUE(dark.dark);
    for (const Row& r : rows) {
        EXPECT_EQ(light.base[size_t(r.slot)], hexColor(r.light, 1)) << r.slot;
        EXPECT_EQ(dark.base[size_t(r.slot)], hexColor(r.dark, 1)) << r.slot;
    }
    EXPECT_EQ(light.base[slotShadow], hexColor(0x0f162c, 0.4));
    EXPECT_EQ(dark.base[slotShadowSoft], hexColor(0, 0.6));
    EXPECT_EQ(light.derived[derivedScrollThumb], hexColor(0xced1d5, 1));
    EXPECT_EQ(dark.derived[derivedScrollThumb], hexColor(0x3f4348, 1));
    EXPECT_EQ(light.derived[derivedScrollTrack], colorTransparent);
    EXPECT_EQ(light.derived[derivedTextAlt], light.base[slotText]);
    EXPECT_EQ(light.derived[derivedText], light.base[slotText]);
    EXPECT_EQ(dark.derived[derivedTooltipFill], dark.base[slotText]);
    EXPECT_EQ(dark.derived[derivedTooltipText], dark.base[slotSurface]);
    EXPECT_EQ(dark.derived[derivedSuccess], dark.base[slotSuccess]);
    EXPECT_EQ(light.neutralMid, hexColor(0x606469, 1));
    EXPECT_DOUBLE_EQ(dark.overlayAlpha, 0.22);
    EXPECT_EQ(dark.overlayTint, rgba(1, 1, 1, 0.07));
    EXPECT_DOUBLE_EQ(light.metrics[metricFontSize], 13);
    EXPECT_DOUBLE_EQ(light.metrics[metricIconSize], 18);
}

TEST(Theme, RefillLeavesNoResidue)
{
    Theme t, fresh;
    fillDarkTheme(t);
    t.base[slotBorder] = colorBlack;  // a caller's tweak is gone too
    fillLightTheme(t);
    fillLightTheme(fresh);
    EXPECT_EQ(t.name, fresh.name);
    EXPECT_EQ(t.dark, fresh.dark);
    EXPECT_EQ(t.base, fresh.base);
    EXPECT_EQ(t.derived, fresh.derived);
    EXPECT_EQ(t.tintLevels, fresh.tintLevels);
    EXPECT_EQ(t.overlayTint, fresh.overlayTint);
}

TEST(Theme, DerivationFollowsChangedBaseSlots)
{
    Theme t;
    fillLightTheme(t);
    t.base[slotAccentHover] = hexColor(0x123456, 1);
    t.base[slotText] = hexColor(0x654321, 1);
    deriveThemeColors(t);
    EXPECT_EQ(t.base[slotAccentPressed], hexColor(0x123456, 1));
    EXPECT_EQ(t.derived[derivedSelectionText], hexColor(0x654321, 1));
    EXPECT_EQ(t.derived[derivedScrollThumb], hexColor(0xced1d5, 1));  // its own colour, not derived
}

TEST(Theme, TintLevelsClamp)
{
    Theme light, dark;
    fillLightTheme(light);
    fillDarkTheme(dark);
    auto mix = [](const Theme& t, double f) { return lerpColor(t.base[slotSurface], t.base[slotAccent], f); };
    EXPECT_EQ(tintColor(light, -5), mix(light, 0.01));
    EXPECT_EQ(tintColor(light, 2), mix(light, 0.04));
    EXPECT_EQ(tintColor(light, 7), mix(light, 0.06));
    EXPECT_EQ(tintColor(dark, 7), mix(dark, 0.09));
    EXPECT_FLOAT_EQ(withOverlayAlpha(light, colorBlack).a, 0.13f);
}

}  // namespace
}  // namespace qm
