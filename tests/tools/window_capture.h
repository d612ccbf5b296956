#pragma once
// The window's framebuffer as a top-down RGBA picture, for the test programs
// that save screenshots of a window (the current context's back buffer).
#include "codecs/image/image.h"
#include "platform/render/gl_entry_points.h"

#include <cstddef>
#include <cstdint>

namespace qm::testing_capture {

inline ImagePtr readWindowFramebuffer(int32_t width, int32_t height)
{
    ImagePtr image = newImage(width, height, 4);
    qm::glPixelStorei(GL_PACK_ALIGNMENT, 1);
    qm::glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, image->pixels.data());
    flipVertical(*image);
    for (size_t i = 3; i < image->pixels.size(); i += 4)
        image->pixels[i] = 255;  // the window shows no alpha
    return image;
}

}  // namespace qm::testing_capture
