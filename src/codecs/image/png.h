#pragma once
// PNG decoding to 8-bit RGBA (every colour type and depth, Adam7, palette and
// tRNS transparency) and encoding of 8-bit images.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/compress/progress.h"
#include "codecs/image/image.h"

namespace qm {

// A new RGBA image. Chunk CRCs and signature bytes 4-7 are not checked, and
// image data that ends early leaves the missing rows as zero samples.
ImagePtr decodePng(std::span<const uint8_t> bytes, const ProgressCallback& progress = {});

// 8-bit PNG of 1 to 4 channels (grey, grey + alpha, RGB, RGBA). With compress
// the rows are Sub-filtered and deflated, otherwise stored unfiltered.
std::vector<uint8_t> encodePng(const Image& image, bool compress);

// Writes encodePng(image, false) to path, replacing the file.
void savePng(const Image& image, const std::string& path);

}  // namespace qm
