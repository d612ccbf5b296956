#include "codecs/crypto/sha2.h"
#include "codecs/crypto/sha2_internal.h"

#include "core/errors.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::string_view s) { return Bytes(s.begin(), s.end()); }

std::string hex(const Bytes& bytes)
{
    std::string out;
    for (std::uint8_t b : bytes)
        out += "0123456789abcdef"[b >> 4], out += "0123456789abcdef"[b & 15];
    return out;
}

// The worked examples of the Secure Hash Standard. The 56- and 112-byte
// messages leave no room for the length field in their last block, so the
// padding spills into a second one.
struct Example {
    std::string message, sha256, sha512;
};
const Example examples[] = {
    {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
        "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
        "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e"},
    {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
        "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
        "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
        "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
        "204a8fc6dda82f0a0ced7beb8e08a41657c16ef468b228a8279be331a703c335"
        "96fd15c13b1b07f9aa1d3bea57789ca031ad85c7a71dd70354ec631238ca3445"},
    {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
        "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1",
        "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018"
        "501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909"},
};

TEST(Sha2, StandardExamples)
{
    for (const Example& e : examples) {
        SCOPED_TRACE(e.message);
        Bytes message = bytesOf(e.message);
        EXPECT_EQ(hex(qm::sha256(message)), e.sha256);
        EXPECT_EQ(hex(qm::sha512(message)), e.sha512);
        EXPECT_EQ(qm::sha256Hex(e.message), e.sha256);
        EXPECT_EQ(qm::sha256Hex(message), e.sha256);
    }
}

TEST(Sha2, LengthSelectsAPrefixOfTheBuffer)
{
    Bytes buffer = bytesOf("abcdef");
    EXPECT_EQ(hex(qm::sha256(buffer, 3)), examples[1].sha256);
    EXPECT_EQ(hex(qm::sha512(buffer, 3)), examples[1].sha512);
    EXPECT_EQ(hex(qm::sha256(buffer, 0)), examples[0].sha256);
}

TEST(Sha2, LengthOutsideTheBufferIsRejected)
{
    Bytes buffer = bytesOf("abcdef");
    for (std::int64_t length :
        {std::int64_t(-1), std::int64_t(-2147483648LL), std::int64_t(7), std::int64_t(1) << 40}) {
        SCOPED_TRACE(length);
        EXPECT_THROW(qm::sha256(buffer, length), qm::IndexError);
        EXPECT_THROW(qm::sha512(buffer, length), qm::IndexError);
    }
    EXPECT_THROW(qm::sha256({}, 1), qm::IndexError);
}

// The SHA-extension engine against the portable one and the standard's
// examples: every length over four blocks (each way the padding can fall) and
// random sizes up to a megabyte. sha256 itself must be the faster engine
// wherever the processor has it.
TEST(Sha2, BothSha256EnginesAgree)
{
    using qm::Sha256Engine;
    EXPECT_TRUE(qm::sha256EngineAvailable(Sha256Engine::portable));
    const bool extensions = qm::sha256EngineAvailable(Sha256Engine::shaExtensions);
    EXPECT_EQ(qm::sha256Engine(), extensions ? Sha256Engine::shaExtensions : Sha256Engine::portable);
    if (!extensions) {
        EXPECT_THROW(qm::sha256Using(Sha256Engine::shaExtensions, {}), qm::ValueError);
        GTEST_SKIP() << "this processor has no SHA extensions";
    }
    for (const Example& e : examples) {
        EXPECT_EQ(hex(qm::sha256Using(Sha256Engine::portable, bytesOf(e.message))), e.sha256);
        EXPECT_EQ(hex(qm::sha256Using(Sha256Engine::shaExtensions, bytesOf(e.message))), e.sha256);
    }
    std::mt19937 rng(20251210);
    std::vector<std::size_t> sizes;
    for (std::size_t n = 0; n <= 4 * 64 + 1; ++n)
        sizes.push_back(n);
    for (int i = 0; i < 20; ++i)
        sizes.push_back(rng() % (1 << 20));
    for (std::size_t n : sizes) {
        Bytes data(n);
        for (auto& b : data)
            b = std::uint8_t(rng());
        Bytes portable = qm::sha256Using(Sha256Engine::portable, data);
        EXPECT_EQ(qm::sha256Using(Sha256Engine::shaExtensions, data), portable) << n << " bytes";
        EXPECT_EQ(qm::sha256(data), portable) << n << " bytes";
    }
}

}  // namespace
