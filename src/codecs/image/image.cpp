#include "codecs/image/image.h"

#include <algorithm>
#include <string>

#include "core/errors.h"

namespace qm {

ImagePtr newImage(int32_t width, int32_t height, int32_t channels)
{
    int64_t bytes = int64_t(width) * height * channels;
    if (width < 0 || height < 0 || channels < 0 || bytes > INT32_MAX)
        throw ValueError("unsupported image size " + std::to_string(width) + " x " + std::to_string(height) + " x "
            + std::to_string(channels));
    auto image = std::make_shared<Image>();
    image->width = width;
    image->height = height;
    image->channels = channels;
    image->pixels.assign(size_t(bytes), 0);
    return image;
}

void unrefImage(ImagePtr& image) { image.reset(); }

void flipVertical(Image& image)
{
    size_t stride = size_t(image.width) * size_t(image.channels);
    if (stride == 0 || image.pixels.size() < stride * size_t(image.height))
        return;
    uint8_t* pixels = image.pixels.data();
    for (int32_t i = 0; i < image.height / 2; i++)
        std::swap_ranges(pixels + size_t(i) * stride, pixels + size_t(i + 1) * stride,
            pixels + size_t(image.height - 1 - i) * stride);
}

}  // namespace qm
