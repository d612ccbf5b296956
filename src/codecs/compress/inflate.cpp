#include "codecs/compress/inflate.h"
#include "codecs/compress/inflate_internal.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

#include "codecs/compress/deflate_tables.h"
#include "core/bytes.h"
#include "core/errors.h"

namespace qm {

namespace {

using namespace deflate_tables;

constexpr int fastBits = 10;
constexpr int maxSymbols = 320;

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

// Codes longer than the fast table: returns (length << 9) | symbol.
[[gnu::noinline]] uint32_t decodeLong(const HuffmanTable& t, uint64_t buf)
{
    int32_t rev = (reversed.v[buf & 0xFF] << 8) | reversed.v[(buf >> 8) & 0xFF];
    for (int len = fastBits + 1; len <= 15; len++) {
        if (t.maxCode[len] > rev) {
            int32_t index = (rev >> (16 - len)) - t.firstCode[len] + t.firstSymbol[len];
            if (index < 0 || index >= maxSymbols || t.size[index] != len)
                break;
            return static_cast<uint32_t>(len << 9) | t.value[index];
        }
    }
    throw ValueError("bad huffman code");
}

// One symbol from a buffer holding at least 16 valid bits.
[[gnu::always_inline]] inline uint32_t decodeBuffered(const HuffmanTable& t, uint64_t& buf, int32_t& bits)
{
    uint32_t e = t.fast[buf & ((1u << fastBits) - 1)];
    if (!e)
        e = decodeLong(t, buf);
    uint32_t len = e >> 9;
    buf >>= len;
    bits -= static_cast<int32_t>(len);
    return e & 511;
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

// Thrown when an output that stops at its limit is full.
struct OutputFull { };

// Makes room for `needed` bytes, growing geometrically but never past the limit.
void growOutput(InflateOutput& out, int64_t needed);

void storedBlock(BitReader& r, InflateOutput& out)
{
    // The partial byte after the header is padding.
    r.pos -= r.bits / 8;
    r.buf = 0;
    r.bits = 0;
    int64_t size = static_cast<int64_t>(r.data.size());
    if (r.pos + 4 > size)
        throw ValueError("truncated stored block");
    const uint8_t* p = r.data.data() + r.pos;
    int64_t len = loadLe16(p);
    r.pos += 4;
    if (r.pos + len > size)
        throw ValueError("truncated stored block");
    int64_t take = len;
    if (out.stopAtLimit)
        take = std::min(len, out.limit - out.count);
    if (out.count + take > static_cast<int64_t>(out.bytes.size()))
        growOutput(out, out.count + take);
    if (take)
        std::memcpy(out.bytes.data() + out.count, r.data.data() + r.pos, static_cast<size_t>(take));
    out.count += take;
    r.pos += len;
    if (take < len)
        throw OutputFull{};
}

}  // namespace

void buildFixedTables(HuffmanTable& lit, HuffmanTable& dist)
{
    int32_t lengths[288];
    for (int s = 0; s < 288; s++)
        lengths[s] = fixedLiteralLength(s);
    buildHuffman(lit, lengths);
    for (int s = 0; s < 30; s++)
        lengths[s] = fixedDistanceLength;
    buildHuffman(dist, std::span<const int32_t>(lengths, 30));
}

void readDynamicTables(BitReader& r, HuffmanTable& lit, HuffmanTable& dist, HuffmanTable& lengthCode)
{
    int32_t hlit = static_cast<int32_t>(getBits(r, 5)) + 257;
    int32_t hdist = static_cast<int32_t>(getBits(r, 5)) + 1;
    int32_t hclen = static_cast<int32_t>(getBits(r, 4)) + 4;
    int32_t clLengths[19] = {};
    for (int i = 0; i < hclen; i++)
        clLengths[codeLengthOrder[i]] = static_cast<int32_t>(getBits(r, 3));
    buildHuffman(lengthCode, clLengths);

    int32_t lengths[288 + 32];
    int32_t total = hlit + hdist;
    int32_t n = 0;
    while (n < total) {
        int32_t sym = decodeSym(r, lengthCode);
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
    buildHuffman(lit, std::span<const int32_t>(lengths, static_cast<size_t>(hlit)));
    buildHuffman(dist, std::span<const int32_t>(lengths + hlit, static_cast<size_t>(hdist)));
}

namespace {

void refill(BitReader& r) { refillBits(r.data, r.pos, r.buf, r.bits); }

}  // namespace

uint32_t getBits(BitReader& r, int32_t n) { return takeBits(r.data, r.pos, r.buf, r.bits, n); }

int32_t decodeSym(BitReader& r, const HuffmanTable& table)
{
    if (r.bits <= 15)
        refill(r);
    return static_cast<int32_t>(decodeBuffered(table, r.buf, r.bits));
}

void buildHuffman(HuffmanTable& t, std::span<const int32_t> lengths)
{
    // A table is rebuilt for every dynamic block; entries of the previous code
    // must not survive into an incomplete new one.
    std::memset(&t, 0, sizeof t);
    if (lengths.size() > maxSymbols)
        throw ValueError("bad code lengths");
    int32_t count[16] = {};
    for (int32_t len : lengths) {
        if (len < 0 || len > 15)
            throw ValueError("bad code length");
        count[len]++;
    }
    int32_t next = 0, symbols = 0;
    for (int len = 1; len <= 15; len++) {
        t.firstCode[len] = next;
        t.firstSymbol[len] = symbols;
        if (count[len] && next + count[len] - 1 >= (1 << len))
            throw ValueError("bad code lengths");
        t.maxCode[len] = (next + count[len]) << (16 - len);
        next = (next + count[len]) * 2;
        symbols += count[len];
    }
    t.maxCode[16] = t.maxCode[17] = 65536;

    int32_t code[16];
    std::copy(t.firstCode, t.firstCode + 16, code);
    for (size_t sym = 0; sym < lengths.size(); sym++) {
        int32_t len = lengths[sym];
        if (!len)
            continue;
        int32_t c = code[len]++;
        int32_t index = t.firstSymbol[len] + (c - t.firstCode[len]);
        t.size[index] = static_cast<uint8_t>(len);
        t.value[index] = static_cast<uint16_t>(sym);
        if (len <= fastBits) {
            int32_t rev = ((reversed.v[c & 0xFF] << 8) | reversed.v[(c >> 8) & 0xFF]) >> (16 - len);
            uint16_t entry = static_cast<uint16_t>((len << 9) | static_cast<int32_t>(sym));
            for (int32_t i = rev; i < (1 << fastBits); i += 1 << len)
                t.fast[i] = entry;
        }
    }
}

namespace {

void growOutput(InflateOutput& out, int64_t needed)
{
    int64_t room = static_cast<int64_t>(out.bytes.size());
    if (needed <= room)
        return;
    if (needed > out.limit) {
        if (out.stopAtLimit)
            throw OutputFull{};
        throw InflateLimitError("inflated data exceeds the size limit");
    }
    int64_t grown = std::max(needed, room < 32768 ? int64_t{65536} : room * 2);
    out.bytes.resize(static_cast<size_t>(std::min(grown, out.limit)));
}

void inflateBlock(BitReader& r, InflateOutput& out, const HuffmanTable& lit, const HuffmanTable& dist)
{
    // The reader and the output live in locals for the length of the block so
    // the loop runs from registers.
    const std::span<const uint8_t> data = r.data;
    int64_t pos = r.pos;
    uint64_t buf = r.buf;
    int32_t bits = r.bits;
    uint8_t* o = out.bytes.data();
    int64_t room = static_cast<int64_t>(out.bytes.size());
    int64_t n = out.count;

    auto makeRoom = [&](int64_t needed) {
        out.count = n;
        growOutput(out, needed);
        o = out.bytes.data();
        room = static_cast<int64_t>(out.bytes.size());
    };

    for (;;) {
        if (bits <= 15)
            refillBits(data, pos, buf, bits);
        uint32_t sym = decodeBuffered(lit, buf, bits);
        if (sym < 256) {
            if (n >= room)
                makeRoom(n + 1);
            o[n++] = static_cast<uint8_t>(sym);
            continue;
        }
        if (sym == 256)
            break;
        if (sym > 285)
            throw ValueError("bad length symbol");
        uint32_t li = sym - 257;
        int64_t length = lengthBase[li] + takeBits(data, pos, buf, bits, lengthExtra[li]);

        if (bits <= 15)
            refillBits(data, pos, buf, bits);
        uint32_t dsym = decodeBuffered(dist, buf, bits);
        if (dsym > 29)
            throw ValueError("bad distance symbol");
        int64_t distance = distBase[dsym] + takeBits(data, pos, buf, bits, distExtra[dsym]);
        if (distance > n)
            throw ValueError("distance too far");

        if (n + length + 16 > room) {
            if (n + length > room)
                makeRoom(n + length);
        } else {
            // Eight bytes at a time from a source at least eight bytes back;
            // the slack written past the match is overwritten later. A short
            // period is first laid out to a multiple of itself of 8 or more.
            uint8_t* d = o + n;
            uint8_t* end = d + length;
            int64_t step = distance;
            if (distance < 8) {
                step = distance * ((8 + distance - 1) / distance);
                for (int64_t i = 0; i < step; i++)
                    d[i] = d[i - distance];
                d += step;
            }
            for (; d < end; d += 8)
                std::memcpy(d, d - step, 8);
            n += length;
            continue;
        }
        uint8_t* d = o + n;
        const uint8_t* s = d - distance;
        if (distance == 1) {
            std::memset(d, s[0], static_cast<size_t>(length));
        } else if (distance >= length) {
            std::memcpy(d, s, static_cast<size_t>(length));
        } else {
            for (int64_t i = 0; i < length; i++)
                d[i] = s[i];
        }
        n += length;
    }
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
    out.bytes.resize(static_cast<size_t>(std::min<int64_t>(std::max(sizeHint, 0), out.limit)));
    BitReader r{data, zlib ? 2 : 0, 0, 0};

    struct Tables {
        HuffmanTable fixedLit, fixedDist, lit, dist, lengthCode;
    };
    auto tables = std::make_unique<Tables>();
    bool haveFixed = false;
    int64_t size = static_cast<int64_t>(data.size());

    for (bool final = false; !final;) {
        if (progress) {
            int64_t done = std::clamp<int64_t>(r.pos - r.bits / 8, 0, size);
            progress(static_cast<int32_t>(std::min<int64_t>(done, INT32_MAX)),
                static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX)));
        }
        final = getBits(r, 1);
        switch (getBits(r, 2)) {
        case 0:
            storedBlock(r, out);
            break;
        case 1:
            if (!haveFixed) {
                buildFixedTables(tables->fixedLit, tables->fixedDist);
                haveFixed = true;
            }
            inflateBlock(r, out, tables->fixedLit, tables->fixedDist);
            break;
        case 2:
            readDynamicTables(r, tables->lit, tables->dist, tables->lengthCode);
            inflateBlock(r, out, tables->lit, tables->dist);
            break;
        default:
            throw ValueError("bad block type");
        }
    }
}

}  // namespace

std::vector<uint8_t> inflate(
    std::span<const uint8_t> data, bool zlib, const ProgressCallback& progress, int32_t sizeHint, int64_t limit)
{
    InflateOutput out;
    out.limit = std::max<int64_t>(limit, 0);
    inflateInto(data, zlib, progress, sizeHint, out);
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
        inflateInto(data, zlib, progress, sizeHint, out);
    } catch (const OutputFull&) {
    }
    out.bytes.resize(static_cast<size_t>(std::min(out.count, limit)));
    return std::move(out.bytes);
}

}  // namespace qm
