// SHA-256, SHA-512 and Ed25519 verification beside libsodium and OpenSSL.
// "portable/sha256" is our own portable code, which sha256 leaves for the SHA
// extensions wherever the processor has them.
#include "codecs/crypto/ed25519.h"
#include "codecs/crypto/sha2.h"
#include "codecs/crypto/sha2_internal.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#ifdef QM_HAVE_LIBSODIUM
#include <sodium.h>
#endif
#ifdef QM_HAVE_LIBCRYPTO
#include <openssl/evp.h>
#include <openssl/sha.h>
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes fromHex(const std::string& hex)
{
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(std::uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

Bytes input(std::size_t size)
{
    Bytes bytes(size);
    std::uint32_t x = 2463534242u;
    for (auto& b : bytes) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        b = std::uint8_t(x);
    }
    return bytes;
}

struct Size {
    const char* name;
    std::size_t bytes;
};
const Size sizes[] = {{"1KB", 1 << 10}, {"64KB", 64 << 10}, {"16MB", 16 << 20}};

// One signature of RFC 8032 (test 3) verified over and over.
const Bytes key = fromHex("fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025");
const Bytes message = fromHex("af82");
const Bytes signature = fromHex("6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac"
                                "18ff9b538d16f290ae67f760984dc6594a7c15e9716ed28dc027beceea1ec40a");

template <class Hash>
void registerHash(const std::string& name, Hash hash)
{
    for (const Size& size : sizes) {
        benchmark::RegisterBenchmark((name + "/" + size.name).c_str(), [hash, size](benchmark::State& state) {
            Bytes data = input(size.bytes);
            for (auto _ : state)
                benchmark::DoNotOptimize(hash(data));
            state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(size.bytes));
        });
    }
}

template <class Verify>
void registerVerify(const std::string& impl, Verify verify)
{
    benchmark::RegisterBenchmark((impl + "/ed25519_verify").c_str(), [verify](benchmark::State& state) {
        if (!verify())
            state.SkipWithError("the signature does not verify");
        for (auto _ : state)
            benchmark::DoNotOptimize(verify());
    });
}

int registerAll()
{
    registerHash("qm/sha256", [](const Bytes& d) { return qm::sha256(d)[0]; });
    registerHash("qm/sha512", [](const Bytes& d) { return qm::sha512(d)[0]; });
    registerHash("portable/sha256", [](const Bytes& d) { return qm::sha256Using(qm::Sha256Engine::portable, d)[0]; });
    registerVerify("qm", [] { return qm::ed25519Verify(message, signature, key); });
#ifdef QM_HAVE_LIBSODIUM
    if (sodium_init() < 0)
        return 1;
    registerHash("libsodium/sha256", [](const Bytes& d) {
        unsigned char out[crypto_hash_sha256_BYTES];
        crypto_hash_sha256(out, d.data(), d.size());
        return out[0];
    });
    registerHash("libsodium/sha512", [](const Bytes& d) {
        unsigned char out[crypto_hash_sha512_BYTES];
        crypto_hash_sha512(out, d.data(), d.size());
        return out[0];
    });
    registerVerify("libsodium",
        [] { return crypto_sign_verify_detached(signature.data(), message.data(), message.size(), key.data()) == 0; });
#endif
#ifdef QM_HAVE_LIBCRYPTO
    registerHash("openssl/sha256", [](const Bytes& d) {
        unsigned char out[SHA256_DIGEST_LENGTH];
        SHA256(d.data(), d.size(), out);
        return out[0];
    });
    registerHash("openssl/sha512", [](const Bytes& d) {
        unsigned char out[SHA512_DIGEST_LENGTH];
        SHA512(d.data(), d.size(), out);
        return out[0];
    });
    // From raw key bytes each time, as the others take them.
    registerVerify("openssl", [] {
        EVP_PKEY* pkey = EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, key.data(), key.size());
        EVP_MD_CTX* ctx = EVP_MD_CTX_new();
        bool ok = pkey && ctx && EVP_DigestVerifyInit(ctx, nullptr, nullptr, nullptr, pkey) == 1
            && EVP_DigestVerify(ctx, signature.data(), signature.size(), message.data(), message.size()) == 1;
        EVP_MD_CTX_free(ctx);
        EVP_PKEY_free(pkey);
        return ok;
    });
#endif
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (registerAll() != 0)
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
