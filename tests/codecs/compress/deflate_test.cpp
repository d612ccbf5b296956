#include "codecs/compress/deflate.h"
#include "codecs/compress/deflate_internal.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <string>

#include "codecs/compress/deflate_tables.h"
#include "codecs/compress/inflate.h"
#include "codecs/compress/inflate_internal.h"

namespace qm {
namespace {

constexpr int64_t noLimit = int64_t{1} << 40;

std::vector<uint8_t> bytes(std::string_view s) { return {s.begin(), s.end()}; }

std::string hex(const std::vector<uint8_t>& v)
{
    std::string s;
    char b[3];
    for (uint8_t x : v)
        std::snprintf(b, sizeof b, "%02x", x), s += b;
    return s;
}

std::vector<uint8_t> randomBytes(size_t n, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v)
        b = static_cast<uint8_t>(rng());
    return v;
}

// Text with the repetition of real documents: words from a small vocabulary.
std::vector<uint8_t> wordyText(size_t n, uint32_t seed)
{
    static const char* words[] = {"budget ", "account ", "the ", "of ", "transfer ", "monthly ",
        "\"amount\": ", "12.50, ", "category ", "{\"id\": ", "}\n", "recurring ", "balance ", "and "};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < n)
        s += words[rng() % std::size(words)];
    s.resize(n);
    return bytes(s);
}

// One decoded block element: a literal byte, or a match (length, distance).
struct Token {
    int length, distance;  // length 0: literal `distance`
    bool operator==(const Token&) const = default;
};

struct Block {
    int type;
    std::vector<Token> tokens;
};

// Decodes a stream into its blocks and tokens, to check the encoder's choices.
std::vector<Block> blocksOf(const std::vector<uint8_t>& data)
{
    using namespace deflate_tables;
    std::vector<Block> blocks;
    BitReader r{data};
    auto t = std::make_unique<std::array<HuffmanTable, 2>>();
    for (bool final = false; !final;) {
        final = getBits(r, 1);
        Block b{static_cast<int>(getBits(r, 2)), {}};
        if (b.type == 0) {
            r.pos -= r.bits / 8, r.bits = 0, r.buf = 0;
            int len = data[r.pos] | data[r.pos + 1] << 8;
            for (int i = 0; i < len; i++)
                b.tokens.push_back({0, data[r.pos + 4 + i]});
            r.pos += 4 + len;
        } else {
            if (b.type == 1)
                buildFixedTables((*t)[0], (*t)[1]);
            else
                readDynamicTables(r, (*t)[0], (*t)[1]);
            for (int sym; (sym = decodeSym(r, (*t)[0])) != 256;) {
                if (sym < 256) {
                    b.tokens.push_back({0, sym});
                    continue;
                }
                int length = lengthBase[sym - 257] + getBits(r, lengthExtra[sym - 257]);
                int ds = decodeSym(r, (*t)[1]);
                b.tokens.push_back({length, distBase[ds] + static_cast<int>(getBits(r, distExtra[ds]))});
            }
        }
        blocks.push_back(std::move(b));
    }
    return blocks;
}

std::vector<Token> tokensOf(const std::vector<uint8_t>& data)
{
    std::vector<Token> all;
    for (auto& b : blocksOf(data))
        all.insert(all.end(), b.tokens.begin(), b.tokens.end());
    return all;
}

TEST(Deflate, ExactBytes)
{
    EXPECT_EQ(hex(deflateData({}, 0, {})), "010000ffff");
    for (int level = 1; level <= 9; level++)
        EXPECT_EQ(hex(deflateData({}, level, {})), "0300") << level;
    EXPECT_EQ(hex(zlibStream({}, 6)), "789c030000000001");
    auto abc = bytes("abc");
    struct {
        int level;
        uint8_t flags;
    } headers[] = {{-5, 0x01}, {0, 0x01}, {1, 0x01}, {2, 0x5E}, {5, 0x5E}, {6, 0x9C}, {7, 0xDA}, {12, 0xDA}};
    for (auto h : headers) {
        auto z = zlibStream(abc, h.level);
        EXPECT_EQ(z[1], h.flags) << h.level;
        EXPECT_EQ((z[0] << 8 | z[1]) % 31, 0);
    }
}

TEST(Deflate, RoundTripsAtEveryLevelAndRepeats)
{
    std::vector<std::vector<uint8_t>> inputs = {{}, bytes("a"), bytes("ab"), bytes("abcabcabc"), bytes("abcd-abcd"),
        wordyText(300000, 1), randomBytes(70000, 2), std::vector<uint8_t>(100000, 'z')};
    auto mixed = wordyText(50000, 3);
    auto noise = randomBytes(20000, 4);
    mixed.insert(mixed.begin() + 20000, noise.begin(), noise.end());
    inputs.push_back(mixed);
    for (int level = -1; level <= 10; level++) {
        for (auto& in : inputs) {
            SCOPED_TRACE(testing::Message() << "level " << level << " size " << in.size());
            auto out = deflateData(in, level, {});
            EXPECT_EQ(inflate(out, false, {}, 0, noLimit), in);
            EXPECT_EQ(deflateData(in, level, {}), out);
            auto z = zlibStream(in, level);
            EXPECT_EQ(inflate(z, true, {}, 0, noLimit), in);
            uint32_t a = adler32(in);
            EXPECT_EQ(z.end()[-4] << 24 | z.end()[-3] << 16 | z.end()[-2] << 8 | z.end()[-1], static_cast<int>(a));
        }
    }
    // Out-of-range levels act as the nearest one.
    EXPECT_EQ(deflateData(inputs[5], -5, {}), deflateData(inputs[5], 0, {}));
    EXPECT_EQ(deflateData(inputs[5], 12, {}), deflateData(inputs[5], 9, {}));
}

TEST(Deflate, StoredBlocks)
{
    // Level 0: blocks of 65,535 bytes, only the last one final.
    auto in = randomBytes(70000, 5);
    auto out = deflateData(in, 0, {});
    ASSERT_EQ(out.size(), 70000u + 10);
    EXPECT_EQ(hex({out.begin(), out.begin() + 5}), "00ffff0000");
    EXPECT_EQ(hex({out.begin() + 65540, out.begin() + 65545}), "0171118eee");

    // Incompressible input at level 6 is stored too, a block never covering
    // more than 65,535 input bytes.
    auto noise = randomBytes(200000, 6);
    auto blocks = blocksOf(deflateData(noise, 6, {}));
    ASSERT_GE(blocks.size(), 4u);
    for (auto& b : blocks) {
        EXPECT_EQ(b.type, 0);
        EXPECT_LE(b.tokens.size(), 65535u);
    }
}

TEST(Deflate, MatchChoices)
{
    // A run: one literal, then matches at distance 1.
    for (int level = 1; level <= 9; level++) {
        auto tokens = tokensOf(deflateData(std::vector<uint8_t>(1000, 'r'), level, {}));
        ASSERT_GE(tokens.size(), 2u);
        EXPECT_EQ(tokens[0], (Token{0, 'r'}));
        for (size_t i = 1; i < tokens.size(); i++)
            EXPECT_EQ(tokens[i].distance, 1) << level;
    }
    // A 3-byte match more than 4,096 bytes back is three literals.
    std::string far = "xyz";
    for (int i = 0; i < 500; i++)
        far += "0123456789";
    far += "xyz";
    auto farBlocks = blocksOf(deflateData(bytes(far), 6, {}));
    ASSERT_EQ(farBlocks.size(), 1u);
    EXPECT_NE(farBlocks[0].type, 0);
    auto& tokens = farBlocks[0].tokens;
    ASSERT_GE(tokens.size(), 3u);
    std::vector<Token> tail(tokens.end() - 3, tokens.end());
    EXPECT_EQ(tail, (std::vector<Token>{{0, 'x'}, {0, 'y'}, {0, 'z'}}));

    // Lazy levels: a 3-byte match at p loses to a 10-byte match at p + 1.
    std::string lazy = "abc......bcdefghijk----abcdefghijk";
    for (int level : {1, 4, 9}) {
        auto t = tokensOf(deflateData(bytes(lazy), level, {}));
        bool deferred = t.size() >= 2 && t[t.size() - 2] == Token{0, 'a'} && t.back() == (Token{10, 15});
        EXPECT_EQ(deferred, level >= 4) << level;
    }
}

TEST(Deflate, ChainLengthLimitsTheSearch)
{
    // A 20-byte match lies behind `copies` more recent 10-byte ones sharing
    // its start: level 4 tries 16 candidates, so it finds the long match
    // only while there are at most 15 copies; level 9 always finds it.
    const std::string target = "abcdefghijKLMNOPQRST";
    for (int copies : {14, 15, 16, 40}) {
        std::string s = target + "!";
        for (int i = 0; i < copies; i++)
            s += "abcdefghij" + std::to_string(i) + "\n";
        s += "#" + target;
        for (int level : {4, 9}) {
            auto tokens = tokensOf(deflateData(bytes(s), level, {}));
            bool found = tokens.back() == Token{20, static_cast<int>(s.size() - target.size())};
            EXPECT_EQ(found, level == 9 || copies <= 15) << copies << " copies, level " << level;
        }
    }
}

TEST(Deflate, Progress)
{
    auto in = wordyText(200000, 7);
    std::vector<std::pair<int32_t, int32_t>> calls;
    deflateData(in, 6, [&](int32_t done, int32_t total) { calls.emplace_back(done, total); });
    ASSERT_EQ(calls.size(), 4u);
    for (int i = 0; i < 3; i++) {
        EXPECT_GE(calls[i].first, 65536 * (i + 1));
        EXPECT_LT(calls[i].first, 65536 * (i + 1) + 258 * (i + 1));
        EXPECT_EQ(calls[i].second, 200000);
    }
    EXPECT_EQ(calls[3], std::make_pair(200000, 200000));
    calls.clear();
    deflateData(in, 0, [&](int32_t done, int32_t total) { calls.emplace_back(done, total); });
    EXPECT_TRUE(calls.empty());
    EXPECT_THROW(deflateData(in, 1, [](int32_t, int32_t) { throw std::runtime_error("stop"); }), std::runtime_error);
}

double kraft(const std::vector<int32_t>& lens)
{
    double sum = 0;
    for (int32_t l : lens)
        if (l)
            sum += std::ldexp(1.0, -l);
    return sum;
}

TEST(Deflate, HuffmanCodeLengths)
{
    std::vector<int32_t> zeros(10, 0);
    EXPECT_EQ(huffmanCodeLengths(zeros, 15), (std::vector<int32_t>{1, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
    std::vector<int32_t> one(10, 0);
    one[5] = 9;
    EXPECT_EQ(huffmanCodeLengths(one, 15), (std::vector<int32_t>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0}));
    std::vector<int32_t> three = {5, 0, 1, 1};
    EXPECT_EQ(huffmanCodeLengths(three, 15), (std::vector<int32_t>{1, 0, 2, 2}));

    // Fibonacci weights give the deepest trees; the limit must still hold and
    // the code stay complete.
    std::vector<int32_t> fib = {1, 1};
    while (fib.size() < 20)
        fib.push_back(fib.end()[-1] + fib.end()[-2]);
    for (int maxLen : {7, 9, 15}) {
        auto lens = huffmanCodeLengths(fib, maxLen);
        EXPECT_LE(*std::max_element(lens.begin(), lens.end()), maxLen);
        EXPECT_EQ(kraft(lens), 1.0) << maxLen;
        for (size_t i = 1; i < lens.size(); i++)
            EXPECT_LE(lens[i], lens[i - 1]);
    }
    std::mt19937 rng(8);
    for (int round = 0; round < 200; round++) {
        std::vector<int32_t> freq(rng() % 286 + 2);
        for (auto& f : freq)
            f = rng() % 4 ? static_cast<int32_t>(rng() >> (1 + rng() % 31)) : 0;
        auto lens = huffmanCodeLengths(freq, 15);
        EXPECT_EQ(kraft(lens), 1.0);
        for (size_t i = 0; i < freq.size(); i++)
            if (freq[i]) {
                EXPECT_GT(lens[i], 0);
            }
    }
    EXPECT_THROW(huffmanCodeLengths(std::vector<int32_t>(129, 1), 7), std::logic_error);
}

TEST(Deflate, Adler32)
{
    EXPECT_EQ(adler32({}), 1u);
    EXPECT_EQ(adler32(bytes("Wikipedia")), 0x11E60398u);
    // Long runs of 0xff push the sums hardest between reductions.
    EXPECT_EQ(adler32(std::vector<uint8_t>(100000, 0xff)), 0x149a302cu);
}

}  // namespace
}  // namespace qm
