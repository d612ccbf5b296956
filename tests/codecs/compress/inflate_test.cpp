#include "codecs/compress/inflate.h"
#include "codecs/compress/inflate_internal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "codecs/compress/crc32.h"
#include "codecs/compress/deflate.h"
#include "codecs/compress/deflate_internal.h"
#include "codecs/compress/held_memory.h"
#include "core/errors.h"

namespace qm {
namespace {

constexpr int64_t noLimit = int64_t{1} << 40;

std::vector<uint8_t> bytes(std::string_view s) { return {s.begin(), s.end()}; }

std::vector<uint8_t> fromHex(std::string_view hex)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    return out;
}

std::string text(const std::vector<uint8_t>& v) { return {v.begin(), v.end()}; }

std::string inflateText(const std::vector<uint8_t>& data, bool zlib = false, int32_t hint = 0)
{
    return text(inflate(data, zlib, {}, hint, noLimit));
}

std::string errorOf(const std::vector<uint8_t>& data, bool zlib = false, int64_t limit = noLimit)
{
    try {
        inflate(data, zlib, {}, 0, limit);
    } catch (const ValueError& e) {
        return e.what();
    }
    return "no error";
}

// Composes hand-made streams with the codes the format defines.
struct Stream {
    BitWriter w;
    std::vector<int32_t> litLens, distLens;
    std::vector<uint32_t> litCodes, distCodes;

    Stream& bits(uint32_t v, int n) { return writeBits(w, v, n), *this; }
    Stream& header(bool final, int type) { return bits(final, 1).bits(static_cast<uint32_t>(type), 2); }
    Stream& fixed(bool final = true)
    {
        litLens.clear();
        for (int s = 0; s < 288; s++)
            litLens.push_back(s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8);
        distLens.assign(32, 5);
        litCodes = canonicalCodes(litLens);
        distCodes = canonicalCodes(distLens);
        return header(final, 1);
    }
    // A dynamic header whose code-length code gives every symbol 5 bits, so
    // `lengthSyms` is written one symbol (plus its extra bits) at a time; the
    // lengths it leaves out are written as zeros.
    Stream& dynamic(int hlit, int hdist, const std::vector<std::pair<int, int>>& lengthSyms, bool final = true)
    {
        header(final, 2).bits(hlit - 257, 5).bits(hdist - 1, 5).bits(15, 4);
        for (int i = 0; i < 19; i++)
            bits(5, 3);
        auto lengthCodes = canonicalCodes(std::vector<int32_t>(19, 5));
        std::vector<int32_t> lens;
        for (auto [sym, extra] : lengthSyms) {
            bits(lengthCodes[sym], 5);
            if (sym == 16)
                bits(extra, 2), lens.insert(lens.end(), 3 + extra, lens.empty() ? 0 : lens.back());
            else if (sym == 17)
                bits(extra, 3), lens.insert(lens.end(), 3 + extra, 0);
            else if (sym == 18)
                bits(extra, 7), lens.insert(lens.end(), 11 + extra, 0);
            else
                lens.push_back(sym);
        }
        while (lens.size() < static_cast<size_t>(hlit + hdist))
            bits(lengthCodes[0], 5), lens.push_back(0);
        lens.resize(static_cast<size_t>(hlit + hdist));
        litLens.assign(lens.begin(), lens.begin() + hlit);
        distLens.assign(lens.begin() + hlit, lens.end());
        litCodes = canonicalCodes(litLens);
        distCodes = canonicalCodes(distLens);
        return *this;
    }
    Stream& lit(int sym) { return bits(litCodes[sym], litLens[sym]); }
    Stream& end() { return lit(256); }
    // A match with the shortest extra bits for length 3..10 and distance 1..4.
    Stream& match(int length, int distSym) { return lit(254 + length).bits(distCodes[distSym], distLens[distSym]); }
    std::vector<uint8_t> done()
    {
        flushBits(w);
        return w.bytes;
    }
};

// Code lengths giving 'a', 'b' and end-of-block 2 bits each (an incomplete
// code), then literal/length symbol 257 unused and 258 (length 4) 2 bits.
const std::vector<std::pair<int, int>> abLengths = {
    {18, 'a' - 11}, {2, 0}, {2, 0}, {18, 127}, {18, 8}, {2, 0}, {0, 0}, {2, 0}};

TEST(Inflate, DecodesStreamsOfOtherEncoders)
{
    std::string text = "The quick brown fox jumps over the lazy dog. ";
    text = text + text + text;
    for (int i = 0; i < 256; i += 7)
        text += static_cast<char>(i);
    auto raw = fromHex(
        "0bc94855282ccd4cce56482aca2fcf5348cbaf50c82acd2d2856c82f4b2d5228014ae72456552aa4e4a7eb2984d04c31033b9fa88cb29"
        "6a185bd9b6f4874526641795d6bcfe4590b57acdfb6f7c8e94b371f3c7ff7f50f00");
    EXPECT_EQ(inflateText(raw), text);
    // The zlib header and trailer are skipped unread, whatever they hold.
    auto wrapped = raw;
    wrapped.insert(wrapped.begin(), {0xFF, 0xFF});
    wrapped.insert(wrapped.end(), {1, 2, 3, 4});
    EXPECT_EQ(inflateText(wrapped, true), text);
    // A size hint above the real size still gives exactly the real bytes.
    EXPECT_EQ(inflateText(raw, false, 100000), text);
    EXPECT_EQ(crc32(bytes(text)), 0xbadb403bu);
}

TEST(Inflate, HandMadeStreams)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> data;
        std::string expected;
    };
    std::vector<Case> cases = {
        {"fixed empty", {0x03, 0x00}, ""},
        {"end of block from the zero padding", {0x03}, ""},
        {"stored, NLEN unchecked", {0x01, 0x03, 0x00, 0x00, 0x00, 'a', 'b', 'c'}, "abc"},
        {"stored then trailing bytes", {0x01, 0x01, 0x00, 0xfe, 0xff, 'x', 'y', 'z'}, "x"},
        {"overlapping match", Stream().fixed().lit('a').lit('b').match(5, 1).end().done(), "abababa"},
        {"run at distance 1", Stream().fixed().lit('q').lit(285).bits(0, 5).end().done(), std::string(259, 'q')},
        {"two fixed blocks", Stream().fixed(false).lit('h').lit('i').end().fixed().lit('!').match(3, 0).end().done(),
            "hi!!!!"},
        {"two blocks, stored then fixed",
            [] {
                Stream s;
                s.header(false, 0);
                flushBits(s.w);
                s.w.bytes.insert(s.w.bytes.end(), {2, 0, 0xfd, 0xff, 'o', 'k'});
                return s.fixed().match(4, 1).end().done();
            }(),
            "okokok"},
    };
    // A dynamic block whose distance code is a single code of length 1.
    {
        auto lens = abLengths;
        lens.insert(lens.end(), {{0, 0}, {1, 0}});  // distance 2 only
        Stream s;
        s.dynamic(259, 2, lens).lit('a').lit('b').lit(258).bits(0, 1).end();
        cases.push_back({"incomplete single distance code", s.done(), "ababab"});
    }
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(inflateText(c.data), c.expected);
    }
}

TEST(Inflate, Failures)
{
    std::vector<std::pair<int, int>> abEnd(abLengths.begin(), abLengths.end() - 2);
    Stream longStream;
    longStream.dynamic(257, 1, abEnd);
    for (int i = 0; i < 400; i++)
        longStream.lit('a' + i % 2);
    auto cut = longStream.end().done();
    cut.resize(cut.size() / 2);  // zero padding decodes as 'a' until it runs out
    struct Case {
        const char* name;
        std::vector<uint8_t> data;
        std::string message;
    };
    std::vector<Case> cases = {
        {"empty input", {}, "empty deflate stream"},
        {"bad block type", {0x07}, "bad block type"},
        {"stored header cut", {0x01, 0x03}, "truncated stored block"},
        {"stored data cut", {0x01, 0x05, 0x00, 0xfa, 0xff, 'a'}, "truncated stored block"},
        {"no final block", {0x02, 0x00}, "truncated stored block"},
        {"huffman block cut", cut, "truncated deflate stream"},
        {"match before the output", Stream().fixed().match(3, 0).end().done(), "distance too far"},
        {"length symbol 286", Stream().fixed().lit(286).end().done(), "bad length symbol"},
        // The fixed distance code has no symbols 30 and 31; a dynamic one may.
        {"fixed distance symbol 30", Stream().fixed().lit('a').lit(257).bits(Stream().fixed().distCodes[30], 5).done(),
            "bad huffman code"},
        {"distance symbol 31",
            Stream()
                .dynamic(258, 32, {{1, 0}, {18, 127}, {18, 106}, {0, 0}, {1, 0}, {18, 19}, {0, 0}, {1, 0}})
                .lit(257)
                .bits(0, 1)
                .done(),
            "bad distance symbol"},
        {"repeat first", Stream().dynamic(257, 1, {{16, 0}}).done(), "repeat with no previous"},
        {"repeat past the end", Stream().dynamic(257, 1, {{18, 127}, {18, 127}}).done(), "code lengths overrun"},
        {"over-subscribed code",
            Stream().dynamic(257, 1, {{1, 0}, {1, 0}, {1, 0}, {18, 127}, {18, 106}, {0, 0}}).done(),
            "bad code lengths"},
        {"code not in an incomplete code", Stream().dynamic(257, 1, abEnd).bits(0b11, 2).done(), "bad huffman code"},
        {"match with no distance code", Stream().dynamic(259, 1, abLengths).lit(258).done(), "bad huffman code"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(errorOf(c.data), c.message);
    }
}

TEST(Inflate, LongCodesAndTables)
{
    // Codes of 12 to 15 bits go through the slow search; check every length
    // decodes its own symbol and an unassigned 15-bit pattern fails.
    std::vector<int32_t> lengths = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    HuffmanTable t;
    buildHuffman(t, lengths);
    auto codes = canonicalCodes(lengths);
    for (int sym = 0; sym < 15; sym++) {
        BitWriter w;
        writeBits(w, codes[sym], lengths[sym]);
        flushBits(w);
        BitReader r{w.bytes};
        EXPECT_EQ(decodeSym(r, t), sym);
    }
    std::vector<uint8_t> ones = {0xff, 0xff};
    BitReader r{ones};
    EXPECT_THROW(decodeSym(r, t), ValueError);

    // The same code in a whole block, long enough for the decoding loop's
    // table path: every code length from 1 to 15 bits, end-of-block at 15.
    Stream block;
    block.dynamic(257, 1,
        {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}, {8, 0}, {9, 0}, {10, 0}, {11, 0}, {12, 0}, {13, 0},
            {14, 0}, {15, 0}, {18, 127}, {18, 92}, {15, 0}});
    std::string want;
    for (int i = 0; i < 600; i++) {
        block.lit(i % 15);
        want += static_cast<char>(i % 15);
    }
    EXPECT_EQ(inflateText(block.end().done()), want);

    int32_t tooLong[] = {16, 1};
    EXPECT_THROW(buildHuffman(t, tooLong), ValueError);
    BitReader g{std::span<const uint8_t>(ones)};
    EXPECT_EQ(getBits(g, 0), 0u);
    EXPECT_EQ(g.pos, 0);
    EXPECT_EQ(getBits(g, 3), 7u);
}

// 2 bits per 258 bytes: the highest ratio the format allows.
std::vector<uint8_t> bomb(int64_t matches)
{
    Stream s;
    // Literal 0 and end-of-block get 2 bits, length 258 one bit, distance 1 one bit.
    s.dynamic(286, 1, {{2, 0}, {18, 127}, {18, 106}, {2, 0}, {18, 17}, {1, 0}, {1, 0}});
    s.lit(0);
    for (int64_t i = 0; i < matches; i++)
        s.lit(285).bits(0, 1);
    s.end();
    return s.done();
}

TEST(Inflate, OutputLimit)
{
    auto small = bomb(1000);  // 258,001 bytes
    EXPECT_EQ(inflate(small, false, {}, 0, 258001).size(), 258001u);
    EXPECT_EQ(errorOf(small, false, 258000), "inflated data exceeds the size limit");
    EXPECT_EQ(errorOf(small, false, 0), "inflated data exceeds the size limit");
    // Container readers tell this failure from damage by its type.
    EXPECT_THROW(inflate(small, false, {}, 0, 258000), InflateLimitError);

    // About a megabyte that would become a gigabyte stops at the limit.
    auto big = bomb(4'200'000);
    EXPECT_LT(big.size(), 1'100'000u);
    EXPECT_EQ(errorOf(big, false, 1 << 20), "inflated data exceeds the size limit");
}

TEST(Inflate, HeldMemoryStaysWithinTheLimit)
{
    // Growing a buffer by copying holds the old and the new one at once: a
    // stream refused at 1 GiB used to hold 1.5 GiB (1.67 GiB with a size hint
    // of two thirds), and one that fits nearly as much. What may come on top
    // of the limit is working memory: code tables and the measuring window.
    constexpr int64_t workingMemory = 256 * 1024;
    const int64_t limit = 1 + 258 * 12000;  // a little under 3 MiB
    struct Case {
        const char* name;
        int64_t matches;  // the output is 1 + 258 * matches bytes
        int32_t hint;
    };
    const Case cases[] = {
        {"over the limit", 20000, 0},
        {"over the limit, a size hint of two thirds", 20000, static_cast<int32_t>(limit * 2 / 3)},
        {"over the limit, a size hint of the limit", 20000, static_cast<int32_t>(limit)},
        {"exactly the limit", 12000, 0},
        {"nine tenths of it", 10800, 0},
        {"a little over half", 6600, 0},
        {"a little under half", 5800, 0},
        {"nine tenths, a size hint of a third", 10800, static_cast<int32_t>(limit / 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> stream = bomb(c.matches);
        const int64_t size = 1 + 258 * c.matches;
        int64_t peak = test::peakHeldBytes([&] {
            if (size > limit) {
                EXPECT_THROW(inflate(stream, false, {}, c.hint, limit), InflateLimitError);
                return;
            }
            std::vector<uint8_t> out = inflate(stream, false, {}, c.hint, limit);
            ASSERT_EQ(static_cast<int64_t>(out.size()), size);
            EXPECT_EQ(std::count(out.begin(), out.end(), 0), size);
        });
        EXPECT_LE(peak, limit + workingMemory);
    }
    // Real data through both measured paths: growing straight to the
    // measured size (it fits beside the buffer) and starting again. Progress
    // never goes back on the second pass.
    std::string words;
    for (uint32_t x = 1; words.size() < 2'700'000;) {
        x = x * 1103515245 + 12345;
        words += std::to_string(x >> 16) + (x & 0x100 ? " budget " : ", ");
    }
    for (auto [length, cap] : {std::pair<int64_t, int64_t>{1'400'000, 2'500'000}, {2'700'000, 3'000'000}}) {
        std::vector<uint8_t> input(words.begin(), words.begin() + length);
        std::vector<uint8_t> stream = deflateData(input, 1, {});
        std::vector<int32_t> done;
        std::vector<uint8_t> out;
        int64_t peak = test::peakHeldBytes([&] {
            out = inflate(
                stream, false, [&](int32_t d, int32_t) { done.push_back(d); }, 0, cap);
        });
        EXPECT_TRUE(out == input) << length;
        EXPECT_LE(peak, cap + workingMemory + static_cast<int64_t>(done.capacity() * sizeof(int32_t)));
        EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
        EXPECT_FALSE(done.empty());
    }

    // A prefix read holds no more than it was asked for either.
    int64_t peak = test::peakHeldBytes([] { inflatePrefix(bomb(20000), false, {}, 0, 2'000'000); });
    EXPECT_LE(peak, 2'000'000 + workingMemory);
}

TEST(Inflate, PrefixIsExactlyTheFirstBytesWhateverFollows)
{
    std::vector<uint8_t> input;
    for (int i = 0; i < 200000; i++)
        input.push_back(static_cast<uint8_t>((i * 7919) % 251 % (i % 97 + 1)));
    const int64_t n = static_cast<int64_t>(input.size());
    for (int level : {0, 1, 6, 9}) {
        std::vector<uint8_t> stream = deflateData(input, level, {});
        for (int64_t limit : {int64_t{0}, int64_t{1}, int64_t{257}, int64_t{258}, int64_t{65535}, int64_t{65536},
                 int64_t{100001}, n - 1, n, n + 1000}) {
            SCOPED_TRACE("level " + std::to_string(level) + " limit " + std::to_string(limit));
            std::vector<uint8_t> got = inflatePrefix(stream, false, {}, 0, limit);
            int64_t want = std::min(limit, n);
            ASSERT_EQ(static_cast<int64_t>(got.size()), want);
            EXPECT_TRUE(std::equal(got.begin(), got.end(), input.begin()));
        }
    }
    // A bomb costs only what was asked for.
    EXPECT_EQ(inflatePrefix(bomb(4'200'000), false, {}, 0, 1 << 20).size(), size_t{1} << 20);
    // What comes before the limit must still be valid.
    EXPECT_THROW(inflatePrefix(fromHex("07"), false, {}, 0, 100), ValueError);
}

// A stream split into pieces anywhere (inside a block's header, a stored
// block's length, a code) gives, part by part, exactly what the whole stream
// gives as a prefix; a taker that has enough ends decoding, so what follows
// may be anything.
TEST(Inflate, PrefixInPartsMatchesTheWholeStream)
{
    std::vector<uint8_t> input;
    for (int64_t i = 0; i < 300000; i++)
        input.push_back(static_cast<uint8_t>((i * 7919) % 251 % (i % 97 + 1)));
    const int64_t n = static_cast<int64_t>(input.size());
    auto inParts = [](const std::vector<uint8_t>& stream, size_t piece, int64_t limit, int64_t enough = -1) {
        std::vector<std::span<const uint8_t>> pieces;
        for (size_t at = 0; at < stream.size(); at += piece)
            pieces.emplace_back(stream.data() + at, std::min(piece, stream.size() - at));
        std::vector<uint8_t> got;
        inflatePrefixInParts(pieces, true, limit, [&](std::span<const uint8_t> part) {
            got.insert(got.end(), part.begin(), part.end());
            return enough < 0 || static_cast<int64_t>(got.size()) < enough;
        });
        return got;
    };
    for (int level : {0, 1, 6, 9}) {
        const std::vector<uint8_t> stream = zlibStream(input, level);
        for (size_t piece : {size_t{1}, size_t{5}, size_t{8192}, size_t{70000}, stream.size()}) {
            for (int64_t limit : {int64_t{0}, int64_t{258}, int64_t{65536}, n - 1, n, n + 1000}) {
                SCOPED_TRACE("level " + std::to_string(level) + " piece " + std::to_string(piece) + " limit "
                    + std::to_string(limit));
                std::vector<uint8_t> got;
                ASSERT_NO_THROW(got = inParts(stream, piece, limit));
                ASSERT_EQ(static_cast<int64_t>(got.size()), std::min(limit, n));
                EXPECT_TRUE(std::equal(got.begin(), got.end(), input.begin()));
            }
        }
    }
    // A stream that goes wrong after what the taker needed still serves it.
    std::vector<uint8_t> spoilt = zlibStream(input, 0);
    std::fill(spoilt.begin() + static_cast<ptrdiff_t>(spoilt.size() * 3 / 4), spoilt.end(), 0xFF);
    EXPECT_THROW(inParts(spoilt, 8192, n), ValueError);
    std::vector<uint8_t> got = inParts(spoilt, 8192, n, 1000);
    ASSERT_GE(got.size(), 1000u);
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 1000, input.begin()));
    // Cut short: the parts before the cut, then the failure of a whole stream.
    std::vector<uint8_t> stored = zlibStream(input, 0);
    stored.resize(stored.size() / 2);
    EXPECT_THROW(inParts(stored, 4096, n), ValueError);
    EXPECT_THROW(inParts({}, 4096, n), ValueError);
}

TEST(Inflate, ProgressOncePerBlockBeforeItsHeader)
{
    std::vector<uint8_t> data = Stream().fixed(false).lit('a').end().fixed(false).lit('b').end().fixed().end().done();
    std::vector<std::pair<int32_t, int32_t>> calls;
    auto out = inflate(
        data, false, [&](int32_t done, int32_t total) { calls.emplace_back(done, total); }, 0, noLimit);
    EXPECT_EQ(text(out), "ab");
    ASSERT_EQ(calls.size(), 3u);
    int32_t size = static_cast<int32_t>(data.size());
    EXPECT_EQ(calls[0], std::make_pair(0, size));
    EXPECT_EQ(calls[1], std::make_pair(3, size));  // 3 + 8 + 7 bits in: a started byte counts
    EXPECT_LE(calls[2].first, size);

    EXPECT_THROW(inflate(
                     data, false, [](int32_t, int32_t) { throw IOError("stop"); }, 0, noLimit),
        IOError);
}

TEST(Crc32, KnownValuesAndRanges)
{
    auto digits = bytes("123456789");
    EXPECT_EQ(crc32(digits), 0xCBF43926u);
    EXPECT_EQ(crc32(digits, 0, 0), 0u);
    EXPECT_EQ(crc32(digits, 9), 0u);
    EXPECT_EQ(crc32(digits, 3, 4), crc32(bytes("4567")));
    EXPECT_EQ(crc32Update(crc32(bytes("1234")), bytes("56789")), 0xCBF43926u);
    EXPECT_THROW(crc32(digits, 5, 5), ValueError);

    // Every length around the 16-byte rounds against the bit-at-a-time definition.
    std::vector<uint8_t> data(1000);
    for (size_t i = 0; i < data.size(); i++)
        data[i] = static_cast<uint8_t>(i * 131 + (i >> 3));
    for (size_t n : {0, 1, 7, 8, 15, 16, 17, 31, 32, 33, 100, 1000}) {
        uint32_t c = 0xFFFFFFFF;
        for (size_t i = 0; i < n; i++) {
            c ^= data[i];
            for (int k = 0; k < 8; k++)
                c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
        }
        EXPECT_EQ(crc32(data, 0, static_cast<int64_t>(n)), ~c) << n;
    }
    EXPECT_THROW(crc32(digits, 10), ValueError);
}

}  // namespace
}  // namespace qm
