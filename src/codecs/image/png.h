#pragma once
// PNG decoding to 8-bit RGBA (every colour type and depth, Adam7, palette and
// tRNS transparency) and encoding of 8-bit images.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/image/image.h"
#include "codecs/compress/progress.h"

namespace qm {

// A new RGBA image. Chunk CRCs and signature bytes 4-7 are not checked, and
// image data that ends early leaves the missing rows as zero samples.
ImagePtr decodePng(std::span<const uint8_t> bytes, const ProgressCallback& progress = {});

// Reverses one row's filter in place; `previous` is the row above, already
// unfiltered (zeros above the first row). `unit` is the byte distance to the
// pixel on the left.
void unfilterRow(int filterType, uint8_t* row, const uint8_t* previous, size_t length, int unit);

// 8-bit PNG of 1 to 4 channels (grey, grey + alpha, RGB, RGBA). With compress
// the rows are Sub-filtered and deflated, otherwise stored unfiltered.
std::vector<uint8_t> encodePng(const Image& image, bool compress);

// Appends a chunk: length, type, data and the CRC-32 of type and data.
void writeChunk(std::vector<uint8_t>& output, std::string_view type, std::span<const uint8_t> data);

// Writes encodePng(image, false) to path, replacing the file.
void savePng(const Image& image, const std::string& path);

}  // namespace qm
