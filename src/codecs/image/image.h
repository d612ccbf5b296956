#pragma once
// The in-memory raster: decoded pictures, window icons and screenshots.
#include <cstdint>
#include <memory>
#include <vector>

namespace qm {

// Pixels stored top row first and left to right within a row, with a pixel's
// channels adjacent (a decoded PNG gives straight, not premultiplied, RGBA).
struct Image {
    int32_t width = 0;
    int32_t height = 0;
    int32_t channels = 0;
    std::vector<uint8_t> pixels;
};

using ImagePtr = std::shared_ptr<Image>;

// Zeroed pixels; raises ValueError when a dimension is negative or the pixel
// bytes would not fit in int32.
ImagePtr newImage(int32_t width, int32_t height, int32_t channels);

// Drops the caller's reference; an empty reference is ignored.
void unrefImage(ImagePtr& image);

// Reverses the row order in place.
void flipVertical(Image& image);

}  // namespace qm
