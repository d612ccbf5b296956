#pragma once
// The program's one DEFLATE compressor and its zlib wrapper. Output depends
// only on the input and the level, so files written twice are identical.
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/compress/progress.h"

namespace qm {

// Raw DEFLATE at `level`, clamped to 0 (stored) .. 9 (smallest). `progress`
// sees (input bytes done, input size) about every 64 KiB and once at the end.
std::vector<uint8_t> deflateData(std::span<const uint8_t> data, int32_t level, const ProgressCallback& progress);
// zlib header, raw DEFLATE, Adler-32 of the input.
std::vector<uint8_t> zlibStream(std::span<const uint8_t> data, int32_t level);
uint32_t adler32(std::span<const uint8_t> data);

}  // namespace qm
