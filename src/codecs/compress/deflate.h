#pragma once
// The program's one DEFLATE compressor and its zlib wrapper. Output depends
// only on the input and the level, so files written twice are identical.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/compress/progress.h"

namespace qm {

// Bits go out least significant first.
struct BitWriter {
    std::vector<uint8_t> bytes;
    uint64_t acc = 0;
    int32_t pending = 0;
};

void writeBits(BitWriter& w, uint32_t value, int32_t n);  // n <= 32
void flushBits(BitWriter& w);                               // pads to a whole byte

// Raw DEFLATE at `level`, clamped to 0 (stored) .. 9 (smallest). `progress`
// sees (input bytes done, input size) about every 64 KiB and once at the end.
std::vector<uint8_t> deflateData(std::span<const uint8_t> data, int32_t level, const ProgressCallback& progress);
std::vector<uint8_t> deflateRawCb(std::span<const uint8_t> data, int32_t level, const ProgressCallback& progress);
// zlib header, raw DEFLATE, Adler-32 of the input.
std::vector<uint8_t> zlibStream(std::span<const uint8_t> data, int32_t level);
std::string zlibCompress(std::string_view data, int32_t level);
uint32_t adler32(std::span<const uint8_t> data);

// Length-limited Huffman code lengths for the frequencies; symbols with no
// frequency get 0, and a code always has at least two codes. Requires
// freq.size() <= 2^maxLen.
std::vector<int32_t> huffmanCodeLengths(std::span<const int32_t> freq, int32_t maxLen);
// Canonical codes for the lengths, each bit-reversed so writeBits sends it in
// the order the format wants.
std::vector<uint32_t> canonicalCodes(std::span<const int32_t> lengths);

}  // namespace qm
