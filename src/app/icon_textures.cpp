#include "app/icon_textures.h"

#include "app/icon_textures_internal.h"
#include "app/path_icons.h"
#include "platform/render/gl_entry_points.h"
#include "platform/render/primitives.h"

#include <cmath>
#include <string>
#include <vector>

namespace qm {

std::unordered_map<std::string, TextureRef>& iconTextureCache()
{
    static std::unordered_map<std::string, TextureRef> cache(32);
    return cache;
}

double iconSide(const Rect& rect) { return std::isnan(rect.h) ? rect.w : std::min(rect.w, rect.h); }

int32_t iconPixelSize(double side)
{
    // Below 8.5 (and for a side that is not a number) the floor of 8 holds;
    // the cap keeps a huge rectangle from asking for an absurd texture.
    if (!(side >= 8.5))
        return 8;
    return static_cast<int32_t>(std::round(std::min(side, 16384.0)));
}

Rect iconTargetRect(const Rect& rect)
{
    double side = iconSide(rect);
    return Rect{std::round(rect.x + (rect.w - side) * 0.5), std::round(rect.y + (rect.h - side) * 0.5), side, side};
}

TextureRef iconTexture(std::string_view name, int32_t size)
{
    std::string key = std::string(name) + "@" + std::to_string(size);
    auto& cache = iconTextureCache();
    if (auto it = cache.find(key); it != cache.end())
        return it->second;
    std::optional<std::string_view> path = builtinIconPath(name);
    if (!path || size < 1)
        return nullptr;
    std::vector<uint8_t> mask = rasterizePath(*path, size);
    std::vector<uint8_t> pixels(mask.size() * 4, 255);
    for (size_t i = 0; i < mask.size(); ++i)
        pixels[i * 4 + 3] = mask[i];
    TextureRef texture = newTexture(size, size, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data(), true, true);
    cache.emplace(std::move(key), texture);
    return texture;
}

void drawAppIcon(Renderer& renderer, std::string_view name, const Rect& rect, Color color)
{
    TextureRef texture = iconTexture(name, iconPixelSize(iconSide(rect)));
    if (!texture)
        return;
    drawTextureRect(renderer, *texture, iconTargetRect(rect), color, 0, 0, 1, 1);
}

void drawNoneSign(Renderer& renderer, const Rect& rect, Color color)
{
    double side = iconSide(rect);
    double cx = rect.x + rect.w / 2, cy = rect.y + rect.h / 2;
    double width = 0.11 * side;
    if (!(width >= 1))
        width = 1;
    strokeCircle(renderer, cx, cy, 0.42 * side, width, color);
    drawLine(renderer, cx - 0.25 * side, cy - 0.25 * side, cx + 0.25 * side, cy + 0.25 * side, width, color);
}

void releaseIconTextures()
{
    for (auto& [key, texture] : iconTextureCache())
        deleteTexture(*texture);
    iconTextureCache().clear();
}

}  // namespace qm
