// The icon texture cache on a real GL driver (a GLX pbuffer under Xvfb):
// one texture per icon and pixel size, the sizes and placement drawAppIcon
// uses, and the drawn pixels. Prints "ok NAME" or "FAIL NAME ..." per check
// and exits non-zero on any failure.
#include "app/icon_textures.h"
#include "app/icon_textures_internal.h"
#include "glx_pbuffer.h"
#include "platform/render/gl_entry_points.h"
#include "platform/render/primitives.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace qm;

constexpr int kWidth = 128;
constexpr int kHeight = 96;

// A current core-profile 3.3 context on a pbuffer of the scene's size.
void makeContext() { testing_glx::makePbufferContext("icon_textures_gl", kWidth, kHeight); }

int failures = 0;

void check(bool ok, const std::string& name, const std::string& detail = {})
{
    std::printf(
        "%s %s%s%s\n", ok ? "ok" : "FAIL", name.c_str(), ok || detail.empty() ? "" : " ", ok ? "" : detail.c_str());
    if (!ok)
        ++failures;
}

// The quad drawAppIcon queued last: its corners from the vertex list.
Rect lastQuad(const Renderer& r)
{
    const Vertex* v = &r.vertices[r.vertices.size() - 6];
    float x0 = v[0].pos[0], y0 = v[0].pos[1], x1 = x0, y1 = y0;
    for (int i = 0; i < 6; ++i) {
        x0 = std::min(x0, v[i].pos[0]);
        y0 = std::min(y0, v[i].pos[1]);
        x1 = std::max(x1, v[i].pos[0]);
        y1 = std::max(y1, v[i].pos[1]);
    }
    return Rect{x0, y0, x1 - x0, y1 - y0};
}

}  // namespace

int main()
{
    makeContext();
    RendererRef renderer = newRenderer();
    Renderer& r = *renderer;
    const Color white{1, 1, 1, 1};
    beginRendererFrame(r, kWidth, kHeight);

    drawAppIcon(r, "add", Rect{0, 0, 20, 20}, white);
    Rect square = lastQuad(r);
    drawAppIcon(r, "add", Rect{30, 0, 20, 30}, white);
    Rect tall = lastQuad(r);
    auto& cache = iconTextureCache();
    check(cache.size() == 1 && cache.contains("add@20"), "one texture serves 20 x 20 and 20 x 30");
    check(tall == Rect{30, 5, 20, 20} && square == Rect{0, 0, 20, 20}, "20 x 30 draws 20 x 20 centred");
    check(cache["add@20"]->width == 20 && cache["add@20"]->name != 0, "the texture is 20 pixels wide");

    drawAppIcon(r, "add", Rect{60, 0, 5, 5}, white);
    check(cache.contains("add@8") && lastQuad(r) == Rect{60, 0, 5, 5},
        "a 5 x 5 rectangle draws the 8-pixel texture at 5 x 5");
    check(cache["add@8"]->width == 8, "the minimum texture is 8 pixels");

    drawAppIcon(r, "add", Rect{70.3, 40.4, 17.5, 17.5}, white);
    Rect half = lastQuad(r);
    check(cache.contains("add@18") && half.w == 17.5f && half.x == std::round(half.x) && half.y == std::round(half.y),
        "17.5 rasterises at 18 and draws 17.5 wide at a whole pixel",
        std::to_string(half.x) + "," + std::to_string(half.y) + " " + std::to_string(half.w));
    const size_t before = cache.size();
    drawAppIcon(r, "not-an-icon", Rect{0, 40, 20, 20}, white);
    drawAppIcon(r, "not-an-icon", Rect{0, 40, 20, 20}, white);
    check(cache.size() == before, "a name that is not built in stores nothing");

    glViewport(0, 0, kWidth, kHeight);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    flushRenderer(r);
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    // The "add" sign's centre is lit in the 20 x 20 icon; its corner is not.
    auto at = [&](int x, int y) { return pixels[(size_t(kHeight - 1 - y) * kWidth + size_t(x)) * 4]; };
    check(at(10, 10) > 200 && at(1, 1) < 20, "the drawn icon is tinted where it covers",
        std::to_string(at(10, 10)) + " " + std::to_string(at(1, 1)));
    check(at(40, 15) > 200 && at(40, 3) < 20, "the tall rectangle's icon sits 5 pixels down");
    releaseIconTextures();
    check(iconTextureCache().empty(), "release empties the cache");
    return failures ? 1 : 0;
}
