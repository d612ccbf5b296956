// Draws a fixed scene with the 2D renderer into an off-screen GLX pbuffer
// and saves it as a PNG, for the checks under Xvfb. It makes its own minimal
// GL context through dlopen (no window back end is involved) and prints one
// line per exactness check ("ok NAME" or "FAIL NAME ...").
//
//   render_scene OUT.png
//   render_scene --flush-timing   prints flushRenderer times on this driver
#include "codecs/font/builtin_fonts.h"
#include "codecs/font/cmap.h"
#include "codecs/image/png.h"
#include "core/files.h"
#include "glx_pbuffer.h"
#include "platform/render/gl_entry_points.h"
#include "platform/render/primitives.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace qm;

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// A current core-profile 3.3 context on a pbuffer of the scene's size.
void makeContext() { testing_glx::makePbufferContext("render_scene", kWidth, kHeight); }

// The framebuffer as RGBA rows from the top.
ImagePtr readFramebuffer()
{
    ImagePtr image = newImage(kWidth, kHeight, 4);
    qm::glPixelStorei(GL_PACK_ALIGNMENT, 1);
    qm::glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, image->pixels.data());
    flipVertical(*image);
    return image;
}

const uint8_t* pixelAt(const Image& image, int x, int y)
{
    return &image.pixels[(size_t(y) * size_t(image.width) + size_t(x)) * 4];
}

int failures = 0;

void report(const std::string& name, bool ok, const std::string& detail = "")
{
    std::printf("%s %s%s%s\n", ok ? "ok" : "FAIL", name.c_str(), detail.empty() ? "" : " ", detail.c_str());
    failures += ok ? 0 : 1;
}

FontRef dejaVu()
{
    static std::string bytes = readFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    return parseTrueType(FontData(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

// Median time of flushRenderer (waiting for the GPU) over frames of n quads.
void flushTiming()
{
    RendererRef r = newRenderer();
    for (int quads : {2000, 10000}) {
        std::vector<double> times;
        for (int frame = 0; frame < 30; ++frame) {
            beginRendererFrame(*r, kWidth, kHeight);
            for (int i = 0; i < quads; ++i)
                fillRoundRect(*r, {double(i * 7 % 600), double(i * 13 % 440), 30, 20}, 5, rgba(0.2, 0.4, 0.6, 0.5));
            auto start = std::chrono::steady_clock::now();
            flushRenderer(*r);
            uint8_t pixel[4];  // waits for the drawing (glFinish trips llvmpipe's pbuffer path)
            qm::glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
            times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        std::sort(times.begin(), times.end());
        std::printf("flushRenderer %d quads: median %.2f ms\n", quads, times[times.size() / 2]);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: render_scene OUT.png | --flush-timing\n");
        return 2;
    }
    makeContext();
    if (std::string(argv[1]) == "--flush-timing") {
        flushTiming();
        return 0;
    }
    RendererRef r = newRenderer();
    GlyphAtlasRef plex = newGlyphAtlas(parseTrueType(builtinFontFile(BuiltinFont::sansRegular)), 1024);
    GlyphAtlasRef kerned = newGlyphAtlas(dejaVu(), 1024);
    GlyphAtlasRef growing = newGlyphAtlas(dejaVu(), 64);  // grows in the middle of the frame

    // A 4 x 4 checker of opaque colours, drawn 1:1 with nearest filtering.
    std::vector<uint8_t> checker(4 * 4 * 4);
    for (int i = 0; i < 16; ++i) {
        uint8_t* p = &checker[size_t(i) * 4];
        p[0] = uint8_t(i * 16);
        p[1] = uint8_t(255 - i * 13);
        p[2] = uint8_t((i % 4) * 80);
        p[3] = 255;
    }
    TextureRef tex = newTexture(4, 4, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, checker.data(), false, true);

    qm::glViewport(0, 0, kWidth, kHeight);
    qm::glClearColor(0.93f, 0.93f, 0.9f, 1.0f);
    qm::glClear(GL_COLOR_BUFFER_BIT);
    beginRendererFrame(*r, kWidth, kHeight);

    const Color blue = hexColor(0x336699, 1);
    fillRect(*r, {10, 10, 60, 40}, blue);                                 // mode 0
    fillRoundRect(*r, {80, 10, 60, 40}, 10, hexColor(0xCC4433, 1));       // mode 2
    strokeRoundRect(*r, {150, 10, 60, 40}, 8, 2, hexColor(0x228833, 1));  // mode 3
    strokeRect(*r, {220, 10, 60, 40}, 3, colorBlack);
    drawShadowRect(*r, {300, 14, 50, 30}, 6, 8, rgba(0, 0, 0, 0.6));  // mode 6
    drawShadowRect(*r, {370, 14, 50, 30}, 6, 0, rgba(0, 0, 0, 0.6));  // blur 0: hard edge
    strokeCircle(*r, 470, 30, 18, 3, hexColor(0x7744AA, 1));          // mode 7
    fillCircle(*r, 530, 30, 18, hexColor(0xDDAA22, 1));
    drawLine(*r, 560, 12, 630, 48, 3, colorBlack);  // mode 5
    drawDashedLine(*r, 10, 70, 300, 70, 2, hexColor(0x555555, 1), 8, 5);
    drawDashedLine(*r, 320, 62, 630, 78, 1.5, hexColor(0xAA2222, 1), 3, 3);
    drawPolyline(*r, {{10, 90}, {60, 120}, {110, 90}, {160, 120}}, 2, blue, false);
    fillConvexPolygon(*r, {{200, 90}, {260, 95}, {250, 130}, {190, 125}}, rgba(0.1, 0.6, 0.3, 0.8));
    drawTextureRect(*r, *tex, {300, 90, 4, 4}, colorWhite, 0, 0, 1, 1);  // mode 4, 1:1
    drawTextureRect(*r, *tex, {320, 90, 32, 32}, colorWhite, 0, 0, 1, 1);
    drawTextureRect(*r, *tex, {360, 90, 32, 32}, colorTransparent, 0, 0, 1, 1);

    // Text (mode 1): Plex and kerned DejaVu at several sizes.
    renderText(*r, plex, "Quenmark plans a budget: $1,234.56", 10, 160, 16, colorBlack);
    renderText(*r, plex, "Sizes 12.6 13 13.4", 10, 180, 12.6, colorBlack);
    renderText(*r, kerned, "AVATAR To Ty We LT", 10, 215, 28, hexColor(0x223366, 1));
    drawTextInRect(*r, plex, "centred", {400, 140, 200, 40}, 18, hexColor(0x884400, 1), 0.5);
    strokeRect(*r, {400, 140, 200, 40}, 1, hexColor(0x884400, 1));

    // Clips on two layers; layer 1 is drawn over layer 0 whatever the order.
    setLayer(*r, 1);
    pushClip(*r, {20.5, 240.2, 100, 50});
    fillRoundRect(*r, {0, 230, 200, 80}, 12, rgba(0.9, 0.2, 0.2, 0.7));
    popClip(*r);
    setLayer(*r, 0);
    pushClip(*r, {60, 250, 200, 80});
    pushClip(*r, {0, 260, 220, 40});  // intersected: (60, 260, 160, 40)
    fillRect(*r, {0, 230, 400, 120}, rgba(0.2, 0.2, 0.9, 0.9));
    popClip(*r);
    popClip(*r);
    setLayer(*r, 2);
    fillCircle(*r, 150, 290, 30, rgba(0.1, 0.8, 0.1, 0.5));
    setLayer(*r, 0);

    // Growth in mid-frame: earlier quads keep the texture they were made with.
    renderText(*r, growing, "small", 300, 260, 14, colorBlack);
    renderText(*r, growing, "GROW", 300, 320, 48, hexColor(0x006644, 1));
    renderText(*r, growing, "small again", 300, 345, 14, colorBlack);

    // White text on black at an integer pen position, for the exact check.
    fillRect(*r, {10, 380, 300, 90}, colorBlack);
    const int penX = 20, baseline = 440;
    renderText(*r, kerned, "g", penX, baseline, 48, colorWhite);
    flushRenderer(*r);

    ImagePtr shot = readFramebuffer();

    // Flat fill: the packed colour bytes themselves.
    const uint8_t* flat = pixelAt(*shot, 40, 30);
    report("flat-fill", flat[0] == 51 && flat[1] == 102 && flat[2] == 153 && flat[3] == 255);

    // Texture blit at 1:1: every texel.
    bool blit = true;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            blit &= std::memcmp(pixelAt(*shot, 300 + x, 90 + y), &checker[size_t(y * 4 + x) * 4], 3) == 0;
    report("texture-blit", blit);

    // White on black: the red channel is the atlas bitmap, byte for byte.
    int32_t g = glyphIndex(*kerned->font, 'g');
    const GlyphEntry& e = getGlyph(*kerned, g, 48);
    int left = penX + int(e.xOffset), top = baseline + int(e.yOffset);
    int ax = int(e.u0 * float(kerned->width) + 0.5f), ay = int(e.v0 * float(kerned->height) + 0.5f);
    int differing = 0;
    for (int y = 0; y < e.bitmapHeight; ++y)
        for (int x = 0; x < e.bitmapWidth; ++x)
            differing += pixelAt(*shot, left + x, top + y)[0]
                != kerned->pixels[size_t(ay + y) * size_t(kerned->width) + size_t(ax + x)];
    report("text-bitmap", differing == 0 && e.bitmapWidth > 0, std::to_string(differing) + " pixels differ");
    report("atlas-grew", growing->width > 64, std::to_string(growing->width));

    savePng(*shot, argv[1]);
    return failures == 0 ? 0 : 1;
}
