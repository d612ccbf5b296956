// loadIconPicture and avatarTextureFromPng on arbitrary bytes (PNG or SVG):
// no texture or one of the picture's size, never a failure that escapes.
// Textures are only records here, so no GL context is needed.
#include "app/picture_cache_internal.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static qm::PictureCache cache = [] {
        qm::PictureCache c;
        c.maxTextureSize = 4096;
        c.upload = [](const qm::Image& image) {
            auto t = std::make_shared<qm::Texture>();
            t->width = image.width;
            t->height = image.height;
            return t;
        };
        c.release = [](qm::Texture&) {};
        return c;
    }();
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const qm::PictureTexture& t : {qm::loadIconPicture(cache, bytes), qm::avatarTextureFromPng(cache, bytes)}) {
        if (t.texture && (t.width != t.texture->width || t.height != t.texture->height || t.width <= 0))
            std::abort();
    }
    return 0;
}
