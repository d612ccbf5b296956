// The drawn title bar against checked-in pictures (QM_UPDATE_GOLDEN=1
// rewrites them), and the pixel steps under it.
#include "codecs/font/builtin_fonts.h"
#include "codecs/image/png.h"
#include "core/files.h"
#include "platform/render/rasterizer.h"
#include "platform/wayland/wl_window_internal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace qm {
namespace {

struct TitleCase {
    const char* name;
    int32_t width = 400;
    const char* title = "Quenmark";
    bool dark = false;
    bool activated = true;
    uint8_t hovered = buttonNone;
    uint8_t pressed = buttonNone;
    bool maximised = false;
    double scale = 1;
};

const TitleCase kCases[] = {
    {"light_active"},
    {"light_inactive", 400, "Quenmark", false, false},
    {"dark_active", 400, "Quenmark", true},
    {"dark_inactive", 400, "Quenmark", true, false},
    {"hover_close", 400, "Quenmark", false, true, buttonClose},
    {"press_close", 400, "Quenmark", false, true, buttonClose, buttonClose},
    {"hover_maximise", 400, "Quenmark", false, true, buttonMaximise},
    {"press_maximise", 400, "Quenmark", false, true, buttonMaximise, buttonMaximise},
    {"hover_minimise", 400, "Quenmark", true, true, buttonMinimise},
    {"press_minimise", 400, "Quenmark", true, true, buttonMinimise, buttonMinimise},
    {"maximised", 400, "Quenmark", false, true, buttonNone, buttonNone, true},
    {"cut_title", 400, "Budget plan for the whole household, 2025 to 2030 — draft \xC3\xA9", false, true},
    {"scale_1_5", 400, "Quenmark", false, true, buttonClose, buttonNone, false, 1.5},
    {"scale_1_004", 400, "Quenmark", false, true, buttonClose, buttonNone, false, 1.004},
    {"demo_active", 640, "Quenmark demo"},
    {"demo_inactive", 640, "Quenmark demo", false, false},
};

FontRef titleFont()
{
    static FontRef font = parseTrueType(builtinFontFile(BuiltinFont::sansRegular));
    return font;
}

ImagePtr render(const TitleCase& c, int32_t* bufferScale = nullptr)
{
    WlWindow w;
    w.width = c.width;
    w.title = c.title;
    w.darkTitleBar = c.dark;
    w.activated = c.activated;
    w.hoveredButton = c.hovered;
    w.pressedButton = c.pressed;
    w.maximised = c.maximised;
    wlProcess.decorationFont = titleFont();
    int32_t k = decorationBufferScale(c.scale);
    if (bufferScale)
        *bufferScale = k;
    std::vector<uint32_t> pixels(size_t(c.width * k) * size_t(34 * k));
    drawTitleBar(w, c.width * k, 34 * k, pixels.data(), k);
    wlProcess.decorationFont.reset();
    ImagePtr image = newImage(c.width * k, 34 * k, 4);
    for (size_t i = 0; i < pixels.size(); ++i) {
        uint32_t p = pixels[i];
        image->pixels[i * 4] = uint8_t(p >> 16);
        image->pixels[i * 4 + 1] = uint8_t(p >> 8);
        image->pixels[i * 4 + 2] = uint8_t(p);
        image->pixels[i * 4 + 3] = uint8_t(p >> 24);
    }
    return image;
}

TEST(WaylandTitleBar, matchesTheGoldens)
{
    std::string dir = std::string(QM_SOURCE_DIR) + "/tests/golden/wl_titlebar/";
    bool update = std::getenv("QM_UPDATE_GOLDEN") != nullptr;
    for (const TitleCase& c : kCases) {
        ImagePtr image = render(c);
        std::string path = dir + c.name + ".png";
        if (update) {
            std::filesystem::create_directories(dir);
            savePng(*image, path);
            continue;
        }
        std::string bytes = readFile(path);
        ImagePtr golden = decodePng({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
        ASSERT_EQ(golden->width, image->width) << c.name;
        ASSERT_EQ(golden->height, image->height) << c.name;
        EXPECT_TRUE(golden->pixels == image->pixels) << c.name;
    }
}

TEST(WaylandTitleBar, bufferScales)
{
    int32_t k = 0;
    render(kCases[12], &k);
    EXPECT_EQ(k, 2);
    render(kCases[13], &k);
    EXPECT_EQ(k, 1);
}

TEST(WaylandTitleBar, cutTitleFitsWithOneEllipsis)
{
    Font& font = *titleFont();
    std::string title = kCases[11].title;
    std::string cut = shortenTitle(font, title, 13, 400 - 118);
    ASSERT_LT(cut.size(), title.size());
    EXPECT_EQ(cut.substr(cut.size() - 3), "\xE2\x80\xA6");
    EXPECT_EQ(title.compare(0, cut.size() - 3, cut, 0, cut.size() - 3), 0);
    EXPECT_LE(decorationTextWidth(font, cut, 13), 282);
    // One more code point would not fit.
    std::string longer = title.substr(0, cut.size() - 3 + 1) + "\xE2\x80\xA6";
    EXPECT_GT(decorationTextWidth(font, longer, 13), 282);
    // Nothing fits: the ellipsis alone. It fits: unchanged.
    EXPECT_EQ(shortenTitle(font, "Wide", 13, 3), "\xE2\x80\xA6");
    EXPECT_EQ(shortenTitle(font, "Wide", 13, 300), "Wide");
}

TEST(WaylandTitleBar, buttonCentres)
{
    // Only the close button hovered: its circle is centred at W - 18.
    ImagePtr image = render(kCases[4]);
    auto at = [&](int x, int y) { return image->pixels[size_t((y * image->width + x) * 4)]; };
    EXPECT_EQ(at(382 - 11, 17), 0xD4);
    EXPECT_EQ(at(382 + 11, 17), 0xD4);
    EXPECT_EQ(at(382 - 13, 17), 0xEB);
    EXPECT_EQ(at(382 + 13, 17), 0xEB);
}

TEST(WaylandPixels, blendPixel)
{
    uint32_t pixel = 0x80405060;
    PixelTarget t{1, 1, &pixel};
    blendPixel(t, 0, 0, 0xFF112233, 0);
    EXPECT_EQ(pixel, 0x80405060u);
    blendPixel(t, 0, 0, 0xFF112233, 255);
    EXPECT_EQ(pixel, 0xFF112233u);
    blendPixel(t, 1, 0, 0xFF000000, 255);  // outside
    EXPECT_EQ(pixel, 0xFF112233u);
}

TEST(WaylandPixels, boundingBoxFillEqualsAFullSizeMask)
{
    const std::vector<std::vector<Polygon>> shapes = {
        rectOutlinePolygons(3.5, 2.5, 12.5, 11.5), {{{-3, -2}, {40, 5}, {10, 30}}},  // crosses the left and top edges
        {{{20, 10}, {45, 10}, {45, 40}, {20, 40}}},  // crosses the right and bottom edges
    };
    for (double scale : {1.0, 1.5, 2.0}) {
        for (const auto& polygons : shapes) {
            std::vector<uint32_t> a(40 * 34, 0xFF101010), b = a;
            fillPolygons({40, 34, a.data()}, scale, polygons, 0xFFEEDDCC);
            Rasterizer r = newRasterizer(40, 34);
            for (const Polygon& p : polygons)
                for (size_t i = 0; i < p.size(); ++i)
                    addLine(r, p[i].x * scale, p[i].y * scale, p[(i + 1) % p.size()].x * scale,
                        p[(i + 1) % p.size()].y * scale);
            blitMask({40, 34, b.data()}, r, 0, 0, 0xFFEEDDCC);
            EXPECT_EQ(a, b) << scale;
        }
    }
}

}  // namespace
}  // namespace qm
