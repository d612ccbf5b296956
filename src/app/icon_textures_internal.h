#pragma once
// The icon cache's size and placement rules, open to the tests.
#include <cstdint>
#include <string>
#include <unordered_map>

#include "platform/render/rect.h"
#include "platform/render/texture.h"

namespace qm {

// name@size -> texture.
std::unordered_map<std::string, TextureRef>& iconTextureCache();

// The side an icon is drawn at in a rectangle: the shorter side, or the
// width when the height is not a number.
double iconSide(const Rect& rect);
// The pixel size rasterised for a side: rounded half away from zero, at least 8.
int32_t iconPixelSize(double side);
// The square the texture is drawn into: centred, origin snapped to whole pixels.
Rect iconTargetRect(const Rect& rect);

}  // namespace qm
