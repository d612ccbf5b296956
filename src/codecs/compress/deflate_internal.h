#pragma once
// The compressor's steps, open to the tests that check the bit writer and the
// Huffman code construction on their own. Callers use deflate.h.
#include <cstdint>
#include <span>
#include <vector>

namespace qm {

// Bits go out least significant first.
struct BitWriter {
    std::vector<uint8_t> bytes;
    uint64_t acc = 0;
    int32_t pending = 0;
};

void writeBits(BitWriter& w, uint32_t value, int32_t n);  // n <= 32
void flushBits(BitWriter& w);                             // pads to a whole byte

// Length-limited Huffman code lengths for the frequencies; symbols with no
// frequency get 0, and a code always has at least two codes. Requires
// freq.size() <= 2^maxLen.
std::vector<int32_t> huffmanCodeLengths(std::span<const int32_t> freq, int32_t maxLen);
// Canonical codes for the lengths, each bit-reversed so writeBits sends it in
// the order the format wants.
std::vector<uint32_t> canonicalCodes(std::span<const int32_t> lengths);

}  // namespace qm
