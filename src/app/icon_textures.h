#pragma once
// Built-in icons drawn as white coverage textures, one per icon and pixel
// size, made on first use and kept for the run; tinted when drawn. Used on
// the GL thread only.
#include <cstdint>
#include <string_view>

#include "platform/render/color.h"
#include "platform/render/rect.h"
#include "platform/render/renderer.h"
#include "platform/render/texture.h"

namespace qm {

// The icon at size x size pixels, or null for a name that is not built in
// (nothing is stored then) or a size below 1.
TextureRef iconTexture(std::string_view name, int32_t size);

// Draws the icon centred in the rectangle as a square of its shorter side,
// tinted with the colour; nothing for a name that is not built in.
void drawAppIcon(Renderer& renderer, std::string_view name, const Rect& rect, Color color);

// The no-entry sign (a ring crossed from top left to bottom right) that
// stands for "no icon".
void drawNoneSign(Renderer& renderer, const Rect& rect, Color color);

// Deletes every cached texture; call while the GL context is still current.
void releaseIconTextures();

}  // namespace qm
