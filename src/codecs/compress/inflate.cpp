#include "codecs/compress/inflate.h"
#include "codecs/compress/inflate_internal.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <utility>

#include "codecs/compress/deflate_tables.h"
#include "core/bytes.h"
#include "core/errors.h"

namespace qm {

namespace {

using namespace deflate_tables;

constexpr int maxSymbols = huffmanMaxSymbols;

// Tops the buffer up to more than 56 bits. Away from the end one unaligned load
// does it: the bits loaded beyond the count are the next byte's, which the next
// refill ORs in again unchanged.
[[gnu::always_inline]] inline void refillBits(std::span<const uint8_t> data, int64_t& pos, uint64_t& buf, int32_t& bits)
{
    if (bits > 56)
        return;
    int64_t size = static_cast<int64_t>(data.size());
    if (pos + 8 <= size) {
        buf |= loadLe64(data.data() + pos) << bits;
        int32_t bytes = (64 - bits) >> 3;
        pos += bytes;
        bits += bytes * 8;
        return;
    }
    while (bits <= 56) {
        if (pos >= size + 17)
            throw ValueError("truncated deflate stream");
        uint64_t byte = pos < size ? data[static_cast<size_t>(pos)] : 0;
        buf |= byte << bits;
        pos++;
        bits += 8;
    }
}

constexpr uint8_t reverseByte(uint8_t b)
{
    uint8_t r = 0;
    for (int i = 0; i < 8; i++)
        r = static_cast<uint8_t>(r | (((b >> i) & 1) << (7 - i)));
    return r;
}

struct ReverseTable {
    uint8_t v[256];
};
constexpr ReverseTable makeReverseTable()
{
    ReverseTable t{};
    for (int i = 0; i < 256; i++)
        t.v[i] = reverseByte(static_cast<uint8_t>(i));
    return t;
}
constexpr ReverseTable reversed = makeReverseTable();

// The entry for the code at the front of `buf` (which holds at least 15
// valid bits) in a table of `rootBits` root bits, following a link to its
// sub-table; 0 when no code matches.
[[gnu::always_inline]] inline uint32_t lookup(const uint32_t* t, int rootBits, uint64_t buf)
{
    uint32_t e = t[buf & ((1u << rootBits) - 1)];
    if (e & huffmanLink) [[unlikely]]
        e = t[(e >> 16) + ((buf >> rootBits) & ((1u << ((e >> 8) & 0xF)) - 1))];
    return e;
}

// The entry of a code longer than the root: the decoding loop's slow path.
[[gnu::noinline]] uint32_t subEntry(const uint32_t* t, int rootBits, uint64_t buf)
{
    uint32_t e = lookup(t, rootBits, buf);
    if (!(e & 0xFF))
        throw ValueError("bad huffman code");
    return e;
}

// One code's entry from a buffer holding at least 16 valid bits, its bits taken.
[[gnu::always_inline]] inline uint32_t decodeEntry(const uint32_t* t, int rootBits, uint64_t& buf, int32_t& bits)
{
    uint32_t e = t[buf & ((1u << rootBits) - 1)];
    if (!(e & 0xFF))
        e = subEntry(t, rootBits, buf);
    buf >>= e & 0xFF;
    bits -= static_cast<int32_t>(e & 0xFF);
    return e;
}

[[gnu::always_inline]] inline uint32_t takeBits(
    std::span<const uint8_t> data, int64_t& pos, uint64_t& buf, int32_t& bits, int32_t n)
{
    if (n == 0)
        return 0;
    if (bits < n)
        refillBits(data, pos, buf, bits);
    uint32_t v = static_cast<uint32_t>(buf & ((uint64_t{1} << n) - 1));
    buf >>= n;
    bits -= n;
    return v;
}

constexpr int litRootBits = huffmanRootBits;
constexpr int distRootBits = 8;
constexpr size_t litTableRoom = (1u << litRootBits) + 288 * (1u << (15 - litRootBits));
constexpr size_t distTableRoom = (1u << distRootBits) + 32 * (1u << (15 - distRootBits));

// Memory for a dynamic block's tables, taken but not cleared: a decode
// touches only the entries its codes use. Taken before the output's buffers
// where those follow, so that the allocator's mark after this block falls
// on a page they use anyway.
void takeTableRoom(InflateOutput& out)
{
    if (!out.tableRoom)
        out.tableRoom = std::make_unique_for_overwrite<uint32_t[]>(litTableRoom + distTableRoom);
}

// Thrown when an output that stops at its limit is full.
struct OutputFull { };

// Thrown when the output's size is known and the buffer so far cannot grow to
// it within the limit: decoding starts again into a buffer of that size.
struct StartAgain { };

// How far the output may be written: a ring ends at the limit, so that
// nothing past it is decoded and a stream that goes on wrong past it still
// succeeds.
int64_t roomOf(const InflateOutput& out)
{
    const int64_t size = static_cast<int64_t>(out.bytes.size());
    return out.sink ? std::min(size, out.limit - out.base) : size;
}

// Makes room for `extra` more bytes after out.count. A counting output may
// slide its window, changing out.count.
void growOutput(InflateOutput& out, int64_t extra);

// Output handed on as it is made is held in a ring this long: the match
// history and a few bytes more, which the wide copies of the decoding loop
// may overwrite past a match's end without reaching anything a later match
// can refer to. Each page of it is fresh memory for a decode in a new
// process, and a ring needs no sliding. Input in pieces is staged this much
// at a time: twice what a block's header may need, as more would be fresh
// memory too and save only a few calls. A stored block is copied in parts
// of at most kStoredPart.
constexpr int64_t kRingPeriod = 32768 + 64;
constexpr size_t kStagingBytes = 2 * 1024;
constexpr int64_t kStoredPart = 8 * 1024;

// Moves what the reader has not yet loaded to the front of the staging
// buffer, with the eight bytes before it (a stored block steps back over
// the bytes the bit buffer holds), and fills the rest from the pieces. The
// reader never loads past the end while pieces remain, so `pos` is within
// `data`.
// Whether bytes are left to copy, taking the next piece that has any once
// the current one is used up.
bool morePieces(InflatePieces& in)
{
    while (in.at == in.piece.size() && !in.ended) {
        const std::optional<std::span<const uint8_t>> next = in.next();
        in.ended = !next;
        in.piece = next.value_or(std::span<const uint8_t>());
        in.at = 0;
    }
    return in.at < in.piece.size();
}

void topUp(InflatePieces& in, std::span<const uint8_t>& data, int64_t& pos)
{
    const int64_t back = std::min<int64_t>(pos, 8);
    const size_t keep = data.size() - static_cast<size_t>(pos - back);
    if (keep)
        std::memmove(in.staging.data(), data.data() + (pos - back), keep);
    size_t filled = keep;
    while (filled < in.staging.size() && morePieces(in)) {
        const size_t n = std::min(in.staging.size() - filled, in.piece.size() - in.at);
        std::memcpy(in.staging.data() + filled, in.piece.data() + in.at, n);
        filled += n;
        in.at += n;
    }
    data = std::span<const uint8_t>(in.staging.data(), filled);
    pos = back;
}

// Tops the input up when fewer than `need` bytes are left to load and more
// are to come.
void ensureInput(InflatePieces* in, std::span<const uint8_t>& data, int64_t& pos, int64_t need)
{
    if (in && static_cast<int64_t>(data.size()) - pos < need && morePieces(*in))
        topUp(*in, data, pos);
}

void storedBlock(BitReader& r, InflateOutput& out)
{
    // The partial byte after the header is padding.
    r.pos -= r.bits / 8;
    r.buf = 0;
    r.bits = 0;
    ensureInput(out.source, r.data, r.pos, 4);
    if (r.pos + 4 > static_cast<int64_t>(r.data.size()))
        throw ValueError("truncated stored block");
    const uint8_t* p = r.data.data() + r.pos;
    int64_t len = loadLe16(p);
    r.pos += 4;
    int64_t take = len;
    if (out.stopAtLimit)
        take = std::min(len, out.limit - out.base - out.count);
    // Copied in parts: input in pieces arrives a part at a time, and output
    // handed on is held in a window of only so much.
    for (int64_t left = len, copy = take; left > 0;) {
        ensureInput(out.source, r.data, r.pos, left);
        const int64_t part = std::min(left, static_cast<int64_t>(r.data.size()) - r.pos);
        if (part <= 0 || (!out.source && part < left))
            throw ValueError("truncated stored block");
        int64_t n = std::min({part, copy, kStoredPart});
        if (n) {
            if (out.count + n > roomOf(out)) {
                // A ring takes what fits before its end, then starts over.
                if (!out.sink)
                    growOutput(out, n);
                else if (out.count == roomOf(out))
                    growOutput(out, 1);
                n = std::min(n, roomOf(out) - out.count);
            }
            std::memcpy(out.bytes.data() + out.count, r.data.data() + r.pos, static_cast<size_t>(n));
            out.count += n;
            copy -= n;
        }
        // What lies past the part copied is skipped only when nothing more
        // is to be copied.
        const int64_t skip = copy == 0 ? part : n;
        r.pos += skip;
        left -= skip;
    }
    if (take < len)
        throw OutputFull{};
}

}  // namespace

namespace {

// Fills a lookup table of `rootBits` root bits at `t` from per-symbol code
// lengths, each code's entry being payload[symbol] | length, and returns how
// many entries it used. Codes are laid out in canonical order, so the codes
// that share their first `rootBits` bits come one after another and fill
// their sub-table from its start; a sub-table is as wide as the codes still
// to come need to fill it (all of the longest length's, when the code is
// incomplete).
size_t buildCodeTable(uint32_t* t, int rootBits, std::span<const int32_t> lengths, const uint32_t* payload)
{
    if (lengths.size() > maxSymbols)
        throw ValueError("bad code lengths");
    int32_t count[16] = {};
    for (int32_t len : lengths) {
        if (len < 0 || len > 15)
            throw ValueError("bad code length");
        count[len]++;
    }
    count[0] = 0;
    int32_t nextCode[16] = {}, start[16] = {};
    int32_t next = 0, symbols = 0, longest = 0;
    for (int len = 1; len <= 15; len++) {
        if (count[len] && next + count[len] - 1 >= (1 << len))
            throw ValueError("bad code lengths");
        nextCode[len] = next;
        start[len] = symbols;
        next = (next + count[len]) * 2;
        symbols += count[len];
        if (count[len])
            longest = len;
    }
    uint16_t sorted[maxSymbols];
    for (size_t sym = 0; sym < lengths.size(); sym++)
        if (lengths[sym])
            sorted[start[lengths[sym]]++] = static_cast<uint16_t>(sym);

    const uint32_t rootSize = 1u << rootBits;
    std::fill_n(t, rootSize, 0u);
    uint32_t used = rootSize;
    uint32_t subPrefix = rootSize, subAt = 0, subBits = 0;
    for (int32_t i = 0; i < symbols; i++) {
        const uint32_t sym = sorted[i];
        const int32_t len = lengths[sym];
        const int32_t c = nextCode[len]++;
        const uint32_t rev =
            static_cast<uint32_t>((reversed.v[c & 0xFF] << 8) | reversed.v[(c >> 8) & 0xFF]) >> (16 - len);
        const uint32_t entry = payload[sym] | static_cast<uint32_t>(len);
        if (len <= rootBits) {
            for (uint32_t at = rev; at < rootSize; at += 1u << len)
                t[at] = entry;
            count[len]--;
            continue;
        }
        const uint32_t prefix = rev & (rootSize - 1);
        if (prefix != subPrefix) {
            int32_t bitsNeeded = len - rootBits;
            int32_t space = 1 << bitsNeeded;
            while (bitsNeeded + rootBits < longest) {
                space -= count[bitsNeeded + rootBits];
                if (space <= 0)
                    break;
                bitsNeeded++;
                space <<= 1;
            }
            subBits = static_cast<uint32_t>(bitsNeeded);
            subAt = used;
            used += 1u << subBits;
            std::fill_n(t + subAt, 1u << subBits, 0u);
            t[prefix] = huffmanLink | (subAt << 16) | (subBits << 8);
            subPrefix = prefix;
        }
        for (uint32_t at = rev >> rootBits; at < (1u << subBits); at += 1u << (len - rootBits))
            t[subAt + at] = entry;
        count[len]--;
    }
    return used;
}

struct SymbolPayload {
    uint32_t v[maxSymbols];
};
constexpr SymbolPayload makeSymbolPayload()
{
    SymbolPayload p{};
    for (uint32_t s = 0; s < maxSymbols; s++)
        p.v[s] = s << 16;
    return p;
}
constexpr SymbolPayload symbolPayload = makeSymbolPayload();

void fixedLengths(int32_t (&lengths)[288])
{
    for (int s = 0; s < 288; s++)
        lengths[s] = fixedLiteralLength(s);
}

// A dynamic block's code lengths, literal/length codes first, then distance
// codes: returns how many of each.
std::pair<int32_t, int32_t> readCodeLengths(BitReader& r, int32_t (&lengths)[288 + 32])
{
    int32_t hlit = static_cast<int32_t>(getBits(r, 5)) + 257;
    int32_t hdist = static_cast<int32_t>(getBits(r, 5)) + 1;
    int32_t hclen = static_cast<int32_t>(getBits(r, 4)) + 4;
    int32_t clLengths[19] = {};
    for (int i = 0; i < hclen; i++)
        clLengths[codeLengthOrder[i]] = static_cast<int32_t>(getBits(r, 3));
    // Code-length codes are at most 7 bits: a root of 7 bits holds them all.
    uint32_t lengthCode[1 << 7];
    buildCodeTable(lengthCode, 7, clLengths, symbolPayload.v);

    int32_t total = hlit + hdist;
    int32_t n = 0;
    while (n < total) {
        if (r.bits <= 15)
            refillBits(r.data, r.pos, r.buf, r.bits);
        int32_t sym = static_cast<int32_t>(decodeEntry(lengthCode, 7, r.buf, r.bits) >> 16);
        if (sym < 16) {
            lengths[n++] = sym;
            continue;
        }
        int32_t value = 0, repeat;
        if (sym == 16) {
            if (n == 0)
                throw ValueError("repeat with no previous");
            value = lengths[n - 1];
            repeat = 3 + static_cast<int32_t>(getBits(r, 2));
        } else if (sym == 17) {
            repeat = 3 + static_cast<int32_t>(getBits(r, 3));
        } else if (sym == 18) {
            repeat = 11 + static_cast<int32_t>(getBits(r, 7));
        } else {
            throw ValueError("bad code length code");
        }
        if (n + repeat > total)
            throw ValueError("code lengths overrun");
        std::fill(lengths + n, lengths + n + repeat, value);
        n += repeat;
    }
    return {hlit, hdist};
}

}  // namespace

uint32_t getBits(BitReader& r, int32_t n) { return takeBits(r.data, r.pos, r.buf, r.bits, n); }

void buildHuffman(HuffmanTable& t, std::span<const int32_t> lengths)
{
    buildCodeTable(t.e, huffmanRootBits, lengths, symbolPayload.v);
}

int32_t decodeSym(BitReader& r, const HuffmanTable& table)
{
    if (r.bits <= 15)
        refillBits(r.data, r.pos, r.buf, r.bits);
    return static_cast<int32_t>(decodeEntry(table.e, huffmanRootBits, r.buf, r.bits) >> 16);
}

void buildFixedTables(HuffmanTable& lit, HuffmanTable& dist)
{
    int32_t lengths[288];
    fixedLengths(lengths);
    buildHuffman(lit, lengths);
    std::fill_n(lengths, 30, fixedDistanceLength);
    buildHuffman(dist, std::span<const int32_t>(lengths, 30));
}

void readDynamicTables(BitReader& r, HuffmanTable& lit, HuffmanTable& dist)
{
    int32_t lengths[288 + 32];
    auto [hlit, hdist] = readCodeLengths(r, lengths);
    buildHuffman(lit, std::span<const int32_t>(lengths, static_cast<size_t>(hlit)));
    buildHuffman(dist, std::span<const int32_t>(lengths + hlit, static_cast<size_t>(hdist)));
}

namespace {

// The measuring window: the longest match distance of history, plus room for
// a whole stored block or a longest match with its copy slack.
constexpr int64_t historySize = 32768;
constexpr int64_t countingWindow = 128 * 1024;

void inflateInto(
    std::span<const uint8_t> data, bool zlib, const ProgressCallback& progress, int32_t sizeHint, InflateOutput& out);

// The size of the whole output, decoded into a sliding window. A stream
// past the limit is refused here as it would be by the real pass.
int64_t measureOutput(const InflateOutput& real)
{
    InflateOutput window;
    window.limit = real.limit;
    window.stopAtLimit = real.stopAtLimit;
    window.counting = true;
    window.bytes.resize(static_cast<size_t>(countingWindow));
    try {
        inflateInto(real.stream, real.zlib, {}, 0, window);
    } catch (const OutputFull&) {
    }
    // The window checks the limit only when it slides; the end is checked here.
    int64_t size = window.base + window.count;
    if (size > real.limit) {
        if (!real.stopAtLimit)
            throw InflateLimitError("inflated data exceeds the size limit");
        size = real.limit;
    }
    return size;
}

// Hands the output made since the last call to the sink, up to its end;
// false once the sink needs no more. Not thrown from here: a decode that
// ends normally would otherwise pay for its first exception (the unwinder's
// tables, faulted in) at the end of every image.
bool handOn(InflateOutput& out)
{
    const int64_t end = std::min(out.count, out.sinkEnd - out.base);
    if (out.sinkDone || end <= out.handed)
        return !out.sinkDone;
    const std::span<const uint8_t> part(out.bytes.data() + out.handed, static_cast<size_t>(end - out.handed));
    out.handed = end;
    out.sinkDone = !(*out.sink)(part);
    return !out.sinkDone;
}

void growOutput(InflateOutput& out, int64_t extra)
{
    int64_t room = roomOf(out);
    int64_t needed = out.count + extra;
    if (needed <= room)
        return;
    if (out.base + needed > out.limit) {
        if (out.stopAtLimit)
            throw OutputFull{};
        throw InflateLimitError("inflated data exceeds the size limit");
    }
    if (out.sink) {
        // The ring is full: all of it goes to the sink, and writing starts
        // over at its front.
        if (!handOn(out))
            throw OutputFull{};
        if (out.count < kRingPeriod)
            throw OutputFull{};
        out.base += out.count;
        out.count = 0;
        out.handed = 0;
        return;
    }
    if (out.counting) {
        int64_t keep = std::min(out.count, historySize);
        std::memmove(out.bytes.data(), out.bytes.data() + out.count - keep, static_cast<size_t>(keep));
        out.base += out.count - keep;
        out.count = keep;
        return;
    }
    int64_t grown = out.knownSize >= 0 ? out.knownSize : std::max(needed, room < 32768 ? int64_t{65536} : room * 2);
    grown = std::max(needed, std::min(grown, out.limit));
    if (out.knownSize < 0 && room + grown > out.limit) {
        // Copying into a larger buffer would hold both at once, beyond the
        // limit: measure first. When even the exact size will not fit beside
        // the buffer, the buffer goes before measuring and decoding restarts.
        bool restart = 2 * room >= out.limit;
        if (restart)
            std::vector<uint8_t>().swap(out.bytes);
        out.knownSize = measureOutput(out);
        if (restart || room + out.knownSize > out.limit)
            throw StartAgain{};
        grown = std::max(needed, out.knownSize);
    }
    // reserve takes exactly what is asked; a growing resize may take twice.
    out.bytes.reserve(static_cast<size_t>(grown));
    out.bytes.resize(static_cast<size_t>(grown));
}

// What the decoding loop's entries mean beside their length: a literal, the
// end of the block, a symbol the format does not allow, or else a length or
// distance base with its extra bits folded in, so a match needs no second
// lookup.
constexpr uint32_t entryLiteral = 1u << 12;
constexpr uint32_t entryEnd = 1u << 13;
constexpr uint32_t entryBad = 1u << 14;

struct SymbolEntries {
    uint32_t lit[288];
    uint32_t dist[32];
};
constexpr SymbolEntries makeSymbolEntries()
{
    SymbolEntries t{};
    for (uint32_t s = 0; s < 256; s++)
        t.lit[s] = entryLiteral | (s << 16);
    t.lit[256] = entryEnd;
    for (uint32_t s = 257; s < 286; s++)
        t.lit[s] = (uint32_t{lengthBase[s - 257]} << 16) | (uint32_t{lengthExtra[s - 257]} << 8);
    t.lit[286] = t.lit[287] = entryBad;
    for (uint32_t s = 0; s < 30; s++)
        t.dist[s] = (uint32_t{distBase[s]} << 16) | (uint32_t{distExtra[s]} << 8);
    t.dist[30] = t.dist[31] = entryBad;
    return t;
}
constexpr SymbolEntries symbolEntries = makeSymbolEntries();

// A block's two codes in one run of memory: the literal/length table, then
// the distance table right after the entries it used. Room for the largest
// incomplete codes is reserved but never written, so only the entries a
// code uses are touched.
struct BlockTables {
    uint32_t* lit;
    uint32_t* dist;
};
BlockTables buildBlockTables(uint32_t* room, std::span<const int32_t> lit, std::span<const int32_t> dist)
{
    const size_t used = buildCodeTable(room, litRootBits, lit, symbolEntries.lit);
    buildCodeTable(room + used, distRootBits, dist, symbolEntries.dist);
    return {room, room + used};
}

// A match in the decoding loop's quick path whose start lies before the
// front of the buffer: within the ring's previous lap, or else too far.
// The loop has checked that its end fits before the ring's end.
[[gnu::noinline]] int64_t copyAcrossRing(
    const InflateOutput& out, uint8_t* o, int64_t n, int64_t distance, int64_t length)
{
    if (!out.sink || distance > out.base + n)
        throw ValueError("distance too far");
    for (int64_t i = 0; i < length; i++, n++)
        o[n] = o[n >= distance ? n - distance : n - distance + kRingPeriod];
    return n;
}

void inflateBlock(BitReader& r, InflateOutput& out, BlockTables tables)
{
    const uint32_t* lit = tables.lit;
    const uint32_t* dist = tables.dist;
    // The reader and the output live in locals for the length of the block so
    // the loop runs from registers.
    std::span<const uint8_t> data = r.data;
    const uint8_t* in = data.data();
    int64_t size = static_cast<int64_t>(data.size());
    int64_t pos = r.pos;
    uint64_t buf = r.buf;
    int32_t bits = r.bits;
    uint8_t* o = out.bytes.data();
    int64_t room = roomOf(out);
    int64_t n = out.count;
    // Where the quick path may run: eight input bytes to load, and room for a
    // longest match with the slack of the wide copies.
    int64_t posQuickEnd = size - 8;
    constexpr int64_t outSlack = 258 + 32;

    auto makeRoom = [&](int64_t extra) {
        out.count = n;
        growOutput(out, extra);
        n = out.count;
        o = out.bytes.data();
        room = roomOf(out);
    };

    for (;;) {
        if (pos <= posQuickEnd && n + outSlack <= room) [[likely]] {
            // One load tops the buffer up to 56 bits or more: the bytes loaded
            // past the whole ones it counts are the next, ORed in again later.
            buf |= loadLe64(in + pos) << bits;
            pos += (63 - bits) >> 3;
            bits |= 56;
            uint32_t e = lit[buf & ((1u << litRootBits) - 1)];
            if (!(e & 0xFF)) [[unlikely]]
                e = subEntry(lit, litRootBits, buf);
            buf >>= e & 0xFF;
            bits -= static_cast<int32_t>(e & 0xFF);
            if (e & entryLiteral) {
                o[n++] = static_cast<uint8_t>(e >> 16);
                // At least 41 bits are left: enough for two more literals.
                e = lit[buf & ((1u << litRootBits) - 1)];
                if ((e & entryLiteral) && (e & 0xFF)) {
                    buf >>= e & 0xFF;
                    bits -= static_cast<int32_t>(e & 0xFF);
                    o[n++] = static_cast<uint8_t>(e >> 16);
                    e = lit[buf & ((1u << litRootBits) - 1)];
                    if ((e & entryLiteral) && (e & 0xFF)) {
                        buf >>= e & 0xFF;
                        bits -= static_cast<int32_t>(e & 0xFF);
                        o[n++] = static_cast<uint8_t>(e >> 16);
                    }
                }
                continue;
            }
            if (e & (entryEnd | entryBad)) [[unlikely]] {
                if (e & entryEnd)
                    break;
                throw ValueError("bad length symbol");
            }
            // 15 + 5 bits spent at most: 36 remain, enough for the distance.
            uint32_t lengthExtraBits = (e >> 8) & 0xF;
            int64_t length = (e >> 16) + static_cast<uint32_t>(buf & ((uint64_t{1} << lengthExtraBits) - 1));
            buf >>= lengthExtraBits;
            bits -= static_cast<int32_t>(lengthExtraBits);
            uint32_t d = dist[buf & ((1u << distRootBits) - 1)];
            if (!(d & 0xFF)) [[unlikely]]
                d = subEntry(dist, distRootBits, buf);
            if (d & entryBad) [[unlikely]]
                throw ValueError("bad distance symbol");
            buf >>= d & 0xFF;
            bits -= static_cast<int32_t>(d & 0xFF);
            uint32_t distExtraBits = (d >> 8) & 0xF;
            int64_t distance = (d >> 16) + static_cast<uint32_t>(buf & ((uint64_t{1} << distExtraBits) - 1));
            buf >>= distExtraBits;
            bits -= static_cast<int32_t>(distExtraBits);
            if (distance > n) [[unlikely]] {
                n = copyAcrossRing(out, o, n, distance, length);
                continue;
            }
            // Wide copies that may run past the match into the slack; what
            // they write there is overwritten by what follows.
            uint8_t* dst = o + n;
            const uint8_t* src = dst - distance;
            uint8_t* end = dst + length;
            if (distance >= 16) {
                do {
                    std::memcpy(dst, src, 16);
                    dst += 16;
                    src += 16;
                } while (dst < end);
            } else if (distance >= 8) {
                do {
                    std::memcpy(dst, src, 8);
                    dst += 8;
                    src += 8;
                } while (dst < end);
            } else if (distance == 1) {
                uint64_t v = src[0] * 0x0101010101010101ull;
                do {
                    std::memcpy(dst, &v, 8);
                    dst += 8;
                } while (dst < end);
            } else {
                // A short period is first laid out to a multiple of itself
                // of 8 or more, which then repeats eight bytes at a time.
                int64_t step = distance * ((8 + distance - 1) / distance);
                for (int64_t i = 0; i < step; i++)
                    dst[i] = src[i];
                for (dst += step; dst < end; dst += 8)
                    std::memcpy(dst, dst - step, 8);
            }
            n += length;
            continue;
        }

        // Input in pieces: the next part, before a symbol could read past
        // the end of this one (two refills at most).
        if (out.source && pos + 32 > size && morePieces(*out.source)) {
            r.data = data;
            topUp(*out.source, r.data, pos);
            data = r.data;
            in = data.data();
            size = static_cast<int64_t>(data.size());
            posQuickEnd = size - 8;
            continue;
        }

        // Near the end of the input or of the room: one symbol at a time,
        // every read and write checked.
        if (bits <= 15)
            refillBits(data, pos, buf, bits);
        uint32_t e = decodeEntry(lit, litRootBits, buf, bits);
        if (e & entryLiteral) {
            if (n >= room)
                makeRoom(1);
            o[n++] = static_cast<uint8_t>(e >> 16);
            continue;
        }
        if (e & entryEnd)
            break;
        if (e & entryBad)
            throw ValueError("bad length symbol");
        int64_t length = (e >> 16) + takeBits(data, pos, buf, bits, static_cast<int32_t>((e >> 8) & 0xF));

        if (bits <= 15)
            refillBits(data, pos, buf, bits);
        uint32_t de = decodeEntry(dist, distRootBits, buf, bits);
        if (de & entryBad)
            throw ValueError("bad distance symbol");
        int64_t distance = (de >> 16) + takeBits(data, pos, buf, bits, static_cast<int32_t>((de >> 8) & 0xF));
        if (out.sink) {
            // One byte at a time: the match may start in the ring's last
            // lap and end in its next.
            if (distance > out.base + n)
                throw ValueError("distance too far");
            for (int64_t i = 0; i < length; i++) {
                if (n >= room)
                    makeRoom(1);
                o[n] = o[n >= distance ? n - distance : n - distance + kRingPeriod];
                n++;
            }
            continue;
        }
        if (distance > n)
            throw ValueError("distance too far");
        if (n + length > room)
            makeRoom(length);
        uint8_t* d = o + n;
        const uint8_t* s = d - distance;
        if (distance >= length) {
            std::memcpy(d, s, static_cast<size_t>(length));
        } else {
            for (int64_t i = 0; i < length; i++)
                d[i] = s[i];
        }
        n += length;
    }
    r.data = data;
    r.pos = pos;
    r.buf = buf;
    r.bits = bits;
    out.count = n;
}

void inflateInto(
    std::span<const uint8_t> data, bool zlib, const ProgressCallback& progress, int32_t sizeHint, InflateOutput& out)
{
    if (data.empty())
        throw ValueError("empty deflate stream");
    out.stream = data;
    out.zlib = zlib;
    if (!out.counting && out.knownSize < 0)
        out.bytes.resize(static_cast<size_t>(std::min<int64_t>(std::max(sizeHint, 0), out.limit)));
    BitReader r{data, zlib ? 2 : 0, 0, 0};

    // One block's tables at a time. The fixed codes get their own only once
    // a block uses them: most streams have none.
    takeTableRoom(out);
    std::unique_ptr<uint32_t[]> fixedRoom;
    BlockTables fixed{};
    int64_t size = static_cast<int64_t>(data.size());

    for (bool final = false; !final;) {
        if (progress) {
            int64_t done = std::clamp<int64_t>(r.pos - r.bits / 8, 0, size);
            progress(static_cast<int32_t>(std::min<int64_t>(done, INT32_MAX)),
                static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX)));
        }
        // A block's header, dynamic tables included, is shorter than this.
        ensureInput(out.source, r.data, r.pos, 1024);
        final = getBits(r, 1);
        switch (getBits(r, 2)) {
        case 0:
            storedBlock(r, out);
            break;
        case 1:
            if (!fixedRoom) {
                // The fixed codes are no longer than the roots: no sub-tables.
                fixedRoom = std::make_unique_for_overwrite<uint32_t[]>((1u << litRootBits) + (1u << distRootBits));
                int32_t lengths[288];
                fixedLengths(lengths);
                int32_t distLengths[30];
                std::fill_n(distLengths, 30, fixedDistanceLength);
                fixed = buildBlockTables(fixedRoom.get(), lengths, distLengths);
            }
            inflateBlock(r, out, fixed);
            break;
        case 2: {
            int32_t lengths[288 + 32];
            auto [hlit, hdist] = readCodeLengths(r, lengths);
            inflateBlock(r, out,
                buildBlockTables(out.tableRoom.get(), std::span<const int32_t>(lengths, static_cast<size_t>(hlit)),
                    std::span<const int32_t>(lengths + hlit, static_cast<size_t>(hdist))));
            break;
        }
        default:
            throw ValueError("bad block type");
        }
    }
}

// Decodes into `out`, once more from the start if the output had to be
// measured and the buffer could not grow to its size within the limit. The
// second pass reports progress only past where the first one got.
void inflateWithin(
    std::span<const uint8_t> data, bool zlib, const ProgressCallback& progress, int32_t sizeHint, InflateOutput& out)
{
    int32_t reached = -1;
    ProgressCallback first, again;
    if (progress) {
        first = [&](int32_t done, int32_t total) {
            reached = std::max(reached, done);
            progress(done, total);
        };
        again = [&](int32_t done, int32_t total) {
            if (done > reached)
                progress(done, total);
        };
    }
    try {
        inflateInto(data, zlib, first, sizeHint, out);
    } catch (const StartAgain&) {
        std::vector<uint8_t>().swap(out.bytes);
        out.bytes.resize(static_cast<size_t>(out.knownSize));
        out.count = 0;
        inflateInto(data, zlib, again, 0, out);
    }
}

}  // namespace

std::vector<uint8_t> inflate(
    std::span<const uint8_t> data, bool zlib, const ProgressCallback& progress, int32_t sizeHint, int64_t limit)
{
    InflateOutput out;
    out.limit = std::max<int64_t>(limit, 0);
    inflateWithin(data, zlib, progress, sizeHint, out);
    out.bytes.resize(static_cast<size_t>(out.count));
    return std::move(out.bytes);
}

std::vector<uint8_t> inflatePrefix(
    std::span<const uint8_t> data, bool zlib, const ProgressCallback& progress, int32_t sizeHint, int64_t limit)
{
    limit = std::max<int64_t>(limit, 0);
    InflateOutput out;
    // Room for one longest match past the limit: when even that does not fit,
    // everything up to the limit has been written, so stopping loses nothing.
    out.limit = limit + 258;
    out.stopAtLimit = true;
    try {
        inflateWithin(data, zlib, progress, sizeHint, out);
    } catch (const OutputFull&) {
    }
    out.bytes.resize(static_cast<size_t>(std::min(out.count, limit)));
    return std::move(out.bytes);
}

void inflatePrefixInParts(const InflatePieceSource& pieces, bool zlib, int64_t limit,
    const std::function<bool(std::span<const uint8_t>)>& take)
{
    limit = std::max<int64_t>(limit, 0);
    InflateOutput out;
    takeTableRoom(out);
    InflatePieces source;
    source.next = pieces;
    source.staging.resize(kStagingBytes);
    std::span<const uint8_t> data;
    int64_t pos = 0;
    topUp(source, data, pos);
    // As inflatePrefix: room for one longest match past the limit.
    out.limit = limit + 258;
    out.stopAtLimit = true;
    out.counting = true;
    out.sink = &take;
    out.sinkEnd = limit;
    out.source = &source;
    out.bytes.resize(static_cast<size_t>(std::min(kRingPeriod, out.limit)));
    try {
        inflateInto(data, zlib, {}, 0, out);
    } catch (const OutputFull&) {
    }
    handOn(out);
}

void inflatePrefixInParts(std::span<const std::span<const uint8_t>> pieces, bool zlib, int64_t limit,
    const std::function<bool(std::span<const uint8_t>)>& take)
{
    size_t next = 0;
    inflatePrefixInParts(
        [&]() -> std::optional<std::span<const uint8_t>> {
            if (next == pieces.size())
                return std::nullopt;
            return pieces[next++];
        },
        zlib, limit, take);
}

}  // namespace qm
