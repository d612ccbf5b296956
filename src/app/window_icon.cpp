#include "app/window_icon.h"

#include "codecs/image/png.h"
#include "platform/render/gl_entry_points.h"

#include <exception>

// The build names the PNG as this object's input (src/app/CMakeLists.txt).
asm(".pushsection .rodata\n"
    ".global qm_window_icon_png\n"
    ".type qm_window_icon_png, @object\n"
    ".balign 16\n"
    "qm_window_icon_png:\n"
    ".incbin \"" QM_SOURCE_DIR "/assets/window_icon.png\"\n"
    ".global qm_window_icon_png_end\n"
    "qm_window_icon_png_end:\n"
    ".popsection\n");
extern "C" const uint8_t qm_window_icon_png[];
extern "C" const uint8_t qm_window_icon_png_end[];

namespace qm {

std::span<const uint8_t> windowIconPng()
{
    return std::span<const uint8_t>(
        qm_window_icon_png, static_cast<size_t>(qm_window_icon_png_end - qm_window_icon_png));
}

ImagePtr decodeWindowIcon(std::span<const uint8_t> png)
{
    try {
        ImagePtr image = decodePng(png);
        if (image && image->channels == 4 && image->width > 0)
            return image;
    } catch (const std::exception&) {
    }
    return nullptr;
}

TextureRef loadWindowIcon(AppWindow& window)
{
    ImagePtr image = decodeWindowIcon(windowIconPng());
    if (!image)
        return nullptr;
    try {
        TextureRef texture = newTexture(
            image->width, image->height, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, image->pixels.data(), true, true);
        setWindowIcon(window, image->width, image->height, image->pixels);
        return texture;
    } catch (const std::exception&) {
        return nullptr;
    }
}

}  // namespace qm
