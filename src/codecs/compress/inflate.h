#pragma once
// The program's one DEFLATE decoder (raw streams and zlib-wrapped ones).
//
// It is deliberately lenient where strictness buys nothing for the files this
// program reads: the zlib header and Adler-32 trailer are not checked, a stored
// block's NLEN is not compared, incomplete Huffman codes are accepted, and up to
// 17 zero bytes are assumed past the end of the input. It is strict about what
// could hurt: every code is validated, no match reaches before the output, and
// the output never grows past the caller's limit.
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/compress/progress.h"
#include "core/errors.h"

namespace qm {

// A stream that would produce more bytes than the caller allowed. Readers of
// containers that declare their members' sizes treat it as a member that does
// not match its declaration.
struct InflateLimitError : ValueError {
    using ValueError::ValueError;
};

// Inflate's input: bits are taken least significant first from a 64-bit buffer.
struct BitReader {
    std::span<const uint8_t> data;
    int64_t pos = 0;   // next byte to load; may run up to 17 bytes past the end
    uint64_t buf = 0;  // bits beyond `bits` may hold the next byte already
    int32_t bits = 0;
};

// A canonical Huffman code: codes of up to 10 bits resolve with one lookup in
// `fast`; longer ones search the per-length ranges.
struct HuffmanTable {
    uint16_t fast[1024];     // (length << 9) | symbol, 0 where no short code applies
    int32_t firstCode[17];
    int32_t firstSymbol[17];
    int32_t maxCode[18];     // end of each length's codes, left-aligned to 16 bits
    uint8_t size[320];
    uint16_t value[320];     // symbols sorted by code length, then by symbol
};

// The bytes produced so far; they are also the match history.
struct InflateOutput {
    std::vector<uint8_t> bytes;  // its size is the room; cut to `count` at the end
    int64_t count = 0;
    int64_t limit = 0;
    bool stopAtLimit = false;  // reaching the limit ends decoding instead of failing
};

// Decodes one DEFLATE stream up to its final block, ignoring anything after it.
// `sizeHint` is the expected output size (0 if unknown); `limit` is the most
// bytes the output may have: a stream that would produce more raises
// InflateLimitError before that memory is taken. Failures raise ValueError; an exception from
// `progress` passes through.
std::vector<uint8_t> inflate(std::span<const uint8_t> data, bool zlib, const ProgressCallback& progress,
                             int32_t sizeHint, int64_t limit);

// Decodes only the first `limit` bytes of a stream and ignores the rest, for
// formats whose readers know how much they need and must tolerate data beyond
// it. The stream up to that point must be valid; nothing past it is decoded,
// so nothing past it can fail.
std::vector<uint8_t> inflatePrefix(std::span<const uint8_t> data, bool zlib, const ProgressCallback& progress,
                                   int32_t sizeHint, int64_t limit);

// Fills `table` from per-symbol code lengths (0 = no code). Incomplete codes are
// accepted; over-subscribed ones and lengths above 15 raise ValueError.
void buildHuffman(HuffmanTable& table, std::span<const int32_t> lengths);
int32_t decodeSym(BitReader& reader, const HuffmanTable& table);
uint32_t getBits(BitReader& reader, int32_t n);  // 0 <= n <= 31
void refill(BitReader& reader);
// The fixed codes of block type 1, and the codes a dynamic block's header
// describes (`lengthCode` is scratch for the code-length code).
void buildFixedTables(HuffmanTable& lit, HuffmanTable& dist);
void readDynamicTables(BitReader& reader, HuffmanTable& lit, HuffmanTable& dist, HuffmanTable& lengthCode);
void inflateBlock(BitReader& reader, InflateOutput& out, const HuffmanTable& lit, const HuffmanTable& dist);
// Makes room for `needed` bytes, growing geometrically but never past the limit.
void growOutput(InflateOutput& out, int64_t needed);

}  // namespace qm
