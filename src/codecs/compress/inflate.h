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
#include <functional>
#include <optional>
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

// Decodes one DEFLATE stream up to its final block, ignoring anything after it.
// `sizeHint` is the expected output size (0 if unknown); `limit` is the most
// bytes the output may have: a stream that would produce more raises
// InflateLimitError before that memory is taken. Failures raise ValueError; an exception from
// `progress` passes through.
std::vector<uint8_t> inflate(
    std::span<const uint8_t> data, bool zlib, const ProgressCallback& progress, int32_t sizeHint, int64_t limit);

// Decodes only the first `limit` bytes of a stream and ignores the rest, for
// formats whose readers know how much they need and must tolerate data beyond
// it. The stream up to that point must be valid; nothing past it is decoded,
// so nothing past it can fail.
std::vector<uint8_t> inflatePrefix(
    std::span<const uint8_t> data, bool zlib, const ProgressCallback& progress, int32_t sizeHint, int64_t limit);

// The same over a stream split into pieces, handing the first `limit` bytes
// of output to `take` in order, a part at a time, as they are made: only a
// small window of output and input is held, never the whole of either.
// `take` returns false once it needs nothing more, which ends decoding.
void inflatePrefixInParts(std::span<const std::span<const uint8_t>> pieces, bool zlib, int64_t limit,
    const std::function<bool(std::span<const uint8_t>)>& take);

// The pieces one at a time, std::nullopt after the last: a source that
// walks them where they lie need not list them first.
using InflatePieceSource = std::function<std::optional<std::span<const uint8_t>>()>;
void inflatePrefixInParts(const InflatePieceSource& pieces, bool zlib, int64_t limit,
    const std::function<bool(std::span<const uint8_t>)>& take);

}  // namespace qm
