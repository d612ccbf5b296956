#pragma once
// The decoder's steps, open to the tests that build streams bit by bit and
// check each table against the format's rules. Callers use inflate.h.
#include "codecs/compress/inflate.h"

#include <cstdint>
#include <functional>
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

// Codes up to this long resolve with one table lookup.
inline constexpr int inflateFastBits = 11;

// A canonical Huffman code: short codes resolve with one lookup in `fast`;
// longer ones search the per-length ranges.
struct HuffmanTable {
    uint16_t fast[1 << inflateFastBits];  // (length << 9) | symbol, 0 where no short code applies
    int32_t firstCode[17];
    int32_t firstSymbol[17];
    int32_t maxCode[18];  // end of each length's codes, left-aligned to 16 bits
    uint8_t size[320];
    uint16_t value[320];  // symbols sorted by code length, then by symbol
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
    // Output handed on as it is made: `bytes` is a window, as when counting,
    // of which `handed` bytes have gone to the sink, which is given at most
    // `sinkEnd` bytes in all and returns false once it needs no more.
    const std::function<bool(std::span<const uint8_t>)>* sink = nullptr;
    int64_t handed = 0;
    int64_t sinkEnd = 0;
    bool sinkDone = false;
    InflatePieces* source = nullptr;  // the input, when it comes in pieces
};

// Fills `table` from per-symbol code lengths (0 = no code). Incomplete codes are
// accepted; over-subscribed ones and lengths above 15 raise ValueError.
void buildHuffman(HuffmanTable& table, std::span<const int32_t> lengths);
int32_t decodeSym(BitReader& reader, const HuffmanTable& table);
uint32_t getBits(BitReader& reader, int32_t n);  // 0 <= n <= 31
// The fixed codes of block type 1, and the codes a dynamic block's header
// describes (`lengthCode` is scratch for the code-length code, and may be
// `dist` itself: it is read only before `lit` and `dist` are built).
void buildFixedTables(HuffmanTable& lit, HuffmanTable& dist);
void readDynamicTables(BitReader& reader, HuffmanTable& lit, HuffmanTable& dist, HuffmanTable& lengthCode);

}  // namespace qm
