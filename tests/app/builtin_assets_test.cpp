#include "app/app_version.h"
#include "app/fonts.h"
#include "app/icon_textures.h"
#include "app/icon_textures_internal.h"
#include "app/window_icon.h"
#include "codecs/font/cmap.h"
#include "codecs/image/png.h"
#include "platform/render/mock_gl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace qm {
namespace {

TEST(BuiltinFonts, FacesAtlasesAndPitch)
{
    mockgl::install();
    FontSet set = loadBuiltinFonts();
    const GlyphAtlasRef atlases[] = {set.sans400, set.sans500, set.sans600, set.sans700, set.mono0, set.mono1};
    for (size_t i = 0; i < 6; ++i) {
        ASSERT_TRUE(atlases[i]);
        EXPECT_EQ(atlases[i]->width, 1024);
        EXPECT_EQ(atlases[i]->font->unitsPerEm, 1000);
        EXPECT_EQ(atlases[i]->font->numGlyphs, i < 4 ? 1019 : 1125);
    }
    EXPECT_EQ(set.sans400->font, set.sansRegular);
    EXPECT_EQ(set.sans600->font, set.sansSemiBold);  // the decoration title font
    EXPECT_EQ(set.mono0->font, set.monoRegular);
    EXPECT_EQ(set.sansSemiBold->fullName, "IBM Plex Sans SmBld");
    // Every character of a line advances alike in the mono faces, not in the sans ones.
    const std::string line = "il WM.0,@|_ $19.95";
    for (const GlyphAtlasRef& atlas : atlases) {
        std::set<double> advances;
        for (char c : line)
            advances.insert(textWidth(*atlas, std::string(1, c), 14));
        EXPECT_EQ(advances.size() == 1, atlas == set.mono0 || atlas == set.mono1);
    }
}

TEST(WindowIcon, DecodesAsRgba256)
{
    ImagePtr icon = decodeWindowIcon(windowIconPng());
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->width, 256);
    EXPECT_EQ(icon->height, 256);
    EXPECT_EQ(icon->channels, 4);
    EXPECT_EQ(windowIconPng()[25], 6);  // colour type RGBA
    EXPECT_FALSE(decodeWindowIcon({}));
    EXPECT_FALSE(decodeWindowIcon(windowIconPng().subspan(0, 40)));
}

TEST(Version, Text)
{
    EXPECT_EQ(versionText("2.0.0-rc1"), "2.0.0 RC1");
    EXPECT_EQ(versionText("1.0-rc-rc"), "1.0 RC RC");
    EXPECT_EQ(appVersionText(), "1.1.0");
    EXPECT_EQ(kAppVersion, "1.1.0");
}

TEST(IconTextures, SizesKeysAndPlacement)
{
    mockgl::install();
    releaseIconTextures();
    EXPECT_EQ(iconPixelSize(20), 20);
    EXPECT_EQ(iconPixelSize(17.5), 18);
    EXPECT_EQ(iconPixelSize(8.49), 8);
    EXPECT_EQ(iconPixelSize(5), 8);
    EXPECT_EQ(iconPixelSize(std::nan("")), 8);
    EXPECT_EQ(iconSide(Rect{0, 0, 20, std::nan("")}), 20);
    EXPECT_EQ(iconTargetRect(Rect{10, 10, 20, 30}), (Rect{10, 15, 20, 20}));
    EXPECT_EQ(iconTargetRect(Rect{0.3, 0.2, 17.5, 17.5}), (Rect{0, 0, 17.5, 17.5}));

    TextureRef a = iconTexture("check", 20);
    ASSERT_TRUE(a);
    EXPECT_EQ(iconTexture("check", 20), a);
    EXPECT_EQ(a->width, 20);
    EXPECT_TRUE(iconTextureCache().contains("check@20"));
    EXPECT_FALSE(iconTexture("no-such-icon", 20));
    EXPECT_FALSE(iconTexture("no-such-icon", 20));
    EXPECT_EQ(iconTextureCache().size(), 1u);
    releaseIconTextures();
    EXPECT_EQ(mockgl::callsNamed("glDeleteTextures").size(), 1u);
}

}  // namespace
}  // namespace qm
