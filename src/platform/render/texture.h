#pragma once
// 2D textures with the few parameter sets the program uses: nearest or
// linear filtering, clamped or repeated, never mipmapped.
#include <cstdint>
#include <memory>

namespace qm {

struct Texture {
    uint32_t name = 0;  // 0 once deleted
    int32_t width = 0;
    int32_t height = 0;
    int32_t format = 0;  // pixel format of uploads (GL_RED, GL_RGBA ...)
};

// Dropping the last reference leaves the GL texture alive: its owner deletes
// it with deleteTexture.
using TextureRef = std::shared_ptr<Texture>;

// pixels may be null to allocate only. Raises ValueError for a negative
// internal format or size.
TextureRef newTexture(int32_t width, int32_t height, int32_t internalFormat, int32_t format, int32_t type,
    const void* pixels, bool linear, bool clamp);

// Replaces a sub-rectangle from tightly packed rows.
void updateTexture(
    Texture& texture, int32_t x, int32_t y, int32_t width, int32_t height, const void* pixels, int32_t type);

void deleteTexture(Texture& texture);

// Moves with every upload and deletion through the functions above: a frame
// whose shapes match the one on screen shows the same only while it stays.
uint64_t textureChanges();

}  // namespace qm
