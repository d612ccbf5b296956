#pragma once
// The decoder's steps, open to the tests that build streams bit by bit and
// check each table against the format's rules. Callers use inflate.h.
#include "codecs/compress/inflate.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace qm {

// Inflate's input: bits are taken least significant first from a 64-bit buffer.
struct BitReader {
    std::span<const uint8_t> data;
    int64_t pos = 0;   // next byte to load; may run up to 17 bytes past the end
    uint64_t buf = 0;  // bits beyond `bits` may hold the next byte already
    int32_t bits = 0;
};

// A canonical Huffman code as a lookup table. The next `huffmanRootBits` bits
// of the input index its root; an entry there either resolves a code that
// short or links to a sub-table indexed by the bits after them, sized for the
// codes that share those first bits. Entries hold the code's whole length in
// their low byte and the caller's value for the symbol above it; 0 means no
// code. Sub-tables follow the root only as far as the code needs them, so a
// table touches little more memory than its root.
inline constexpr int huffmanRootBits = 10;
inline constexpr int huffmanMaxSymbols = 320;
inline constexpr uint32_t huffmanLink = 1u << 15;  // (offset << 16) | (index bits << 8)

struct HuffmanTable {
    uint32_t e[(1 << huffmanRootBits) + huffmanMaxSymbols * (1 << (15 - huffmanRootBits))];
};

// The bytes produced so far; they are also the match history.
//
// The buffer grows only while the old and the new one together stay within
// the limit. Past that point the stream is first measured: decoded once more
// into a small sliding window that keeps just the match history (`counting`),
// which refuses a stream over the limit having held little more than the
// buffer so far, and otherwise gives the exact size to allocate.
// Input that comes in pieces (a PNG's data chunks), copied a little at a
// time into `staging`, which the reader reads: joined whole, a large image's
// data would take as much fresh memory again as it is long.
struct InflatePieces {
    InflatePieceSource next;
    std::span<const uint8_t> piece;  // the next bytes to copy: piece from `at` on
    size_t at = 0;
    bool ended = false;  // `next` gave no more
    std::vector<uint8_t> staging;
};

struct InflateOutput {
    std::vector<uint8_t> bytes;  // its size is the room; cut to `count` at the end
    int64_t count = 0;
    int64_t limit = 0;
    bool stopAtLimit = false;  // reaching the limit ends decoding instead of failing
    bool counting = false;     // `bytes` is a window; `base` bytes have left it
    int64_t base = 0;
    int64_t knownSize = -1;           // the measured output size, once measured
    std::span<const uint8_t> stream;  // the input and its wrapping, to measure it
    bool zlib = false;
    // Output handed on as it is made: `bytes` is a ring, written from its
    // front again once full (`base` counts the laps' bytes), of which
    // `handed` bytes of this lap have gone to the sink, which is given at
    // most `sinkEnd` bytes in all and returns false once it needs no more.
    const std::function<bool(std::span<const uint8_t>)>* sink = nullptr;
    int64_t handed = 0;
    int64_t sinkEnd = 0;
    bool sinkDone = false;
    InflatePieces* source = nullptr;        // the input, when it comes in pieces
    std::unique_ptr<uint32_t[]> tableRoom;  // a dynamic block's code tables
};

// Fills `table` from per-symbol code lengths (0 = no code), each entry's value
// being its symbol. Incomplete codes are accepted; over-subscribed ones and
// lengths above 15 raise ValueError.
void buildHuffman(HuffmanTable& table, std::span<const int32_t> lengths);
int32_t decodeSym(BitReader& reader, const HuffmanTable& table);
uint32_t getBits(BitReader& reader, int32_t n);  // 0 <= n <= 31
// The fixed codes of block type 1, and the codes a dynamic block's header
// describes.
void buildFixedTables(HuffmanTable& lit, HuffmanTable& dist);
void readDynamicTables(BitReader& reader, HuffmanTable& lit, HuffmanTable& dist);

}  // namespace qm
