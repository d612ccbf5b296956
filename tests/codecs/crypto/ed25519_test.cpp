#include "codecs/crypto/ed25519.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes fromHex(std::string_view hex)
{
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(std::uint8_t(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    return out;
}

struct Vector {
    const char *key, *message, *signature;
};
// RFC 8032, section 7.1: tests 1 (the empty message), 2, 3 and SHA(abc).
const Vector rfc[] = {
    {"d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
        "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e06522490155"
        "5fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe24655141438e7a100b"},
    {"3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "72",
        "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da"
        "085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302aeeb00d291612bb0c00"},
    {"fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025", "af82",
        "6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac"
        "18ff9b538d16f290ae67f760984dc6594a7c15e9716ed28dc027beceea1ec40a"},
    {"ec172b93ad5e563bf4932c70e1245034c35467ef2efd4d64ebf819683467e2bf",
        "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
        "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f",
        "dc2a4459e7369633a52b1bf277839a00201009a3efbf3ecb69bea2186c26b589"
        "09351fc9ac90b3ecfdfbc7c66431e0303dca179c138ac17ad9bef1177331a704"},
};

// The group order L, little-endian.
const Bytes groupOrder = fromHex("edd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010");

bool verify(const Bytes& message, const Bytes& signature, const Bytes& key)
{
    return qm::ed25519Verify(message, signature, key);
}

TEST(Ed25519, RfcVectorsVerifyAndAnyFlippedBitFails)
{
    for (const Vector& v : rfc) {
        SCOPED_TRACE(v.key);
        Bytes key = fromHex(v.key), message = fromHex(v.message), signature = fromHex(v.signature);
        EXPECT_TRUE(verify(message, signature, key));
        for (int bit = 0; bit < 512; bit += 7) {  // R and S, sign bits included
            Bytes s = signature;
            s[bit / 8] ^= std::uint8_t(1 << bit % 8);
            EXPECT_FALSE(verify(message, s, key)) << "signature bit " << bit;
        }
        for (int bit : {0, 100, 254, 255}) {
            Bytes k = key;
            k[bit / 8] ^= std::uint8_t(1 << bit % 8);
            EXPECT_FALSE(verify(message, signature, k)) << "key bit " << bit;
        }
        for (std::size_t bit = 0; bit < message.size() * 8; bit += 5) {
            Bytes m = message;
            m[bit / 8] ^= std::uint8_t(1 << bit % 8);
            EXPECT_FALSE(verify(m, signature, key)) << "message bit " << bit;
        }
        Bytes longer = message;
        longer.push_back(0);
        EXPECT_FALSE(verify(longer, signature, key));
    }
}

TEST(Ed25519, WrongLengthsAreRejected)
{
    Bytes key = fromHex(rfc[1].key), message = fromHex(rfc[1].message), signature = fromHex(rfc[1].signature);
    for (std::size_t size : {0, 63, 65, 128}) {
        Bytes s = signature;
        s.resize(size);
        EXPECT_FALSE(verify(message, s, key)) << "signature of " << size;
    }
    for (std::size_t size : {0, 31, 33, 64}) {
        Bytes k = key;
        k.resize(size);
        EXPECT_FALSE(verify(message, signature, k)) << "key of " << size;
    }
}

// The neutral element (y = 1) as key and as R: [S]B = R + [k]A holds for S = 0.
const Bytes neutral = fromHex("0100000000000000000000000000000000000000000000000000000000000000");

Bytes withS(const Bytes& signature, const Bytes& s)
{
    Bytes out(signature.begin(), signature.begin() + 32);
    out.insert(out.end(), s.begin(), s.end());
    return out;
}

// S + L satisfies the verification equation modulo L whenever S does, and
// S = L does wherever S = 0 does; only a canonical S (below L) is accepted.
TEST(Ed25519, ScalarAtOrAboveTheGroupOrderIsRejected)
{
    Bytes key = fromHex(rfc[0].key), signature = fromHex(rfc[0].signature);
    Bytes sPlusL(32);
    unsigned carry = 0;
    for (int i = 0; i < 32; ++i) {
        carry += unsigned(signature[32 + i]) + groupOrder[i];
        sPlusL[i] = std::uint8_t(carry);
        carry >>= 8;
    }
    EXPECT_FALSE(verify({}, withS(signature, sPlusL), key));

    Bytes zeroS = neutral;
    zeroS.resize(64);
    EXPECT_TRUE(verify({}, zeroS, neutral));
    EXPECT_FALSE(verify({}, withS(zeroS, groupOrder), neutral));
}

TEST(Ed25519, NonCanonicalOrOffCurveKeysAreRejected)
{
    const char* keys[] = {
        // y = p and y = p + 1 (the neutral element written non-canonically)
        "edffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f",
        "eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f",
        // y = 2^255 - 1, with and without the sign bit
        "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f",
        "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff",
        // y = 1 (x = 0) with the sign bit set
        "0100000000000000000000000000000000000000000000000000000000000080",
        // y = 2: x^2 = (y^2 - 1) / (d y^2 + 1) has no root
        "0200000000000000000000000000000000000000000000000000000000000000",
    };
    // With R the neutral element and S = 0 the equation holds for the neutral
    // key (and for y = p + 1 or a signed x = 0, read leniently as that key),
    // so only the key's decoding can refuse these.
    Bytes signature = neutral;
    signature.resize(64);
    for (const char* key : keys)
        EXPECT_FALSE(verify({}, signature, fromHex(key))) << key;
}

TEST(Ed25519, MessageOfSeveralMegabytes)
{
    Bytes message(5 << 20);
    for (std::size_t i = 0; i < message.size(); ++i)
        message[i] = std::uint8_t(i % 251);
    Bytes key = fromHex(rfc[0].key);
    Bytes signature = fromHex("2533c59b9aac95ac07c4ba8f1dcf8feda5553847792237aa44e6a98f9bcb2a91"
                              "c7ee219b6643f52ca26e824b17a97edd20741a5bef035f0c71c5cbc5e37bfa04");
    EXPECT_TRUE(verify(message, signature, key));
    message.back() ^= 1;
    EXPECT_FALSE(verify(message, signature, key));
}

}  // namespace
