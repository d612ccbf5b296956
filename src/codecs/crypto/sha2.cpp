#include "codecs/crypto/sha2.h"
#include "codecs/crypto/sha2_internal.h"

#include "core/bytes.h"
#include "core/errors.h"

#include <bit>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <cpuid.h>
#include <immintrin.h>
#define QM_SHA2_X86 1
#endif

namespace qm {
namespace {

template <class Word>
void storeBigEndian(Word w, std::uint8_t* out)
{
    if constexpr (sizeof(Word) == 4)
        storeBe32(out, w);
    else
        storeBe64(out, w);
}

constexpr std::uint32_t k256[64] = {0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
    0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152,
    0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138,
    0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b, 0xc24b8b70,
    0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5,
    0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3, 0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa,
    0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint64_t k512[80] = {0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc,
    0x3956c25bf348b538, 0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118, 0xd807aa98a3030242,
    0x12835b0145706fbe, 0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2, 0x72be5d74f27b896f, 0x80deb1fe3b1696b1,
    0x9bdc06a725c71235, 0xc19bf174cf692694, 0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5,
    0x240ca1cc77ac9c65, 0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5,
    0x983e5152ee66dfab, 0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4, 0xc6e00bf33da88fc2,
    0xd5a79147930aa725, 0x06ca6351e003826f, 0x142929670a0e6e70, 0x27b70a8546d22ffc, 0x2e1b21385c26c926,
    0x4d2c6dfc5ac42aed, 0x53380d139d95b3df, 0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6,
    0x92722c851482353b, 0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30,
    0xd192e819d6ef5218, 0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8, 0x19a4c116b8d2d0c8,
    0x1e376c085141ab53, 0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8, 0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb,
    0x5b9cca4f7763e373, 0x682e6ff3d6b2b8a3, 0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72,
    0x8cc702081a6439ec, 0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b,
    0xca273eceea26619c, 0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178, 0x06f067aa72176fba,
    0x0a637dc5a2c898a6, 0x113f9804bef90dae, 0x1b710b35131c471b, 0x28db77f523047d84, 0x32caab7b40c72493,
    0x3c9ebe0a15c9bebc, 0x431d67c49c100d4c, 0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec,
    0x6c44198c4a475817};

// The two hashes differ only in word size, rotation amounts and constants;
// everything else (the round, the schedule, the padding) is shared.
struct Sha256 {
    using Word = std::uint32_t;
    static constexpr int rounds = 64;
    static constexpr const Word* k = k256;
    static constexpr Word init[8] = {
        0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    static Word load(const std::uint8_t* p) { return loadBe32(p); }
    static Word bigSigma0(Word x) { return std::rotr(x, 2) ^ std::rotr(x, 13) ^ std::rotr(x, 22); }
    static Word bigSigma1(Word x) { return std::rotr(x, 6) ^ std::rotr(x, 11) ^ std::rotr(x, 25); }
    static Word smallSigma0(Word x) { return std::rotr(x, 7) ^ std::rotr(x, 18) ^ (x >> 3); }
    static Word smallSigma1(Word x) { return std::rotr(x, 17) ^ std::rotr(x, 19) ^ (x >> 10); }
};

struct Sha512 {
    using Word = std::uint64_t;
    static constexpr int rounds = 80;
    static constexpr const Word* k = k512;
    static constexpr Word init[8] = {0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b, 0xa54ff53a5f1d36f1,
        0x510e527fade682d1, 0x9b05688c2b3e6c1f, 0x1f83d9abfb41bd6b, 0x5be0cd19137e2179};
    static Word load(const std::uint8_t* p) { return loadBe64(p); }
    static Word bigSigma0(Word x) { return std::rotr(x, 28) ^ std::rotr(x, 34) ^ std::rotr(x, 39); }
    static Word bigSigma1(Word x) { return std::rotr(x, 14) ^ std::rotr(x, 18) ^ std::rotr(x, 41); }
    static Word smallSigma0(Word x) { return std::rotr(x, 1) ^ std::rotr(x, 8) ^ (x >> 7); }
    static Word smallSigma1(Word x) { return std::rotr(x, 19) ^ std::rotr(x, 61) ^ (x >> 6); }
};

// One round. The callers rotate the roles of the eight variables instead of
// moving their values, so a group of eight rounds leaves them in place.
template <class H>
inline void round(typename H::Word a, typename H::Word b, typename H::Word c, typename H::Word& d, typename H::Word e,
    typename H::Word f, typename H::Word g, typename H::Word& h, typename H::Word kw)
{
    // Choose and majority, each written with one operation fewer.
    typename H::Word t1 = h + H::bigSigma1(e) + (((f ^ g) & e) ^ g) + kw;
    typename H::Word t2 = H::bigSigma0(a) + ((a & (b | c)) | (b & c));
    d += t1;
    h = t1 + t2;
}

template <class H>
void compress(typename H::Word state[8], const std::uint8_t* blocks, std::size_t count)
{
    using Word = typename H::Word;
    constexpr std::size_t blockSize = 16 * sizeof(Word);
    Word w[16];
    for (; count > 0; --count, blocks += blockSize) {
        for (int i = 0; i < 16; ++i)
            w[i] = H::load(blocks + i * sizeof(Word));
        Word a = state[0], b = state[1], c = state[2], d = state[3];
        Word e = state[4], f = state[5], g = state[6], h = state[7];
        // The schedule lives in a ring of 16 words, each replaced just
        // before the round that needs it.
        for (int i = 0; i < H::rounds; i += 16) {
            if (i > 0) {
#pragma GCC unroll 16
                for (int j = 0; j < 16; ++j)
                    w[j] += H::smallSigma1(w[(j + 14) & 15]) + w[(j + 9) & 15] + H::smallSigma0(w[(j + 1) & 15]);
            }
            const Word* k = H::k + i;
            round<H>(a, b, c, d, e, f, g, h, k[0] + w[0]);
            round<H>(h, a, b, c, d, e, f, g, k[1] + w[1]);
            round<H>(g, h, a, b, c, d, e, f, k[2] + w[2]);
            round<H>(f, g, h, a, b, c, d, e, k[3] + w[3]);
            round<H>(e, f, g, h, a, b, c, d, k[4] + w[4]);
            round<H>(d, e, f, g, h, a, b, c, k[5] + w[5]);
            round<H>(c, d, e, f, g, h, a, b, k[6] + w[6]);
            round<H>(b, c, d, e, f, g, h, a, k[7] + w[7]);
            round<H>(a, b, c, d, e, f, g, h, k[8] + w[8]);
            round<H>(h, a, b, c, d, e, f, g, k[9] + w[9]);
            round<H>(g, h, a, b, c, d, e, f, k[10] + w[10]);
            round<H>(f, g, h, a, b, c, d, e, k[11] + w[11]);
            round<H>(e, f, g, h, a, b, c, d, k[12] + w[12]);
            round<H>(d, e, f, g, h, a, b, c, k[13] + w[13]);
            round<H>(c, d, e, f, g, h, a, b, k[14] + w[14]);
            round<H>(b, c, d, e, f, g, h, a, k[15] + w[15]);
        }
        state[0] += a, state[1] += b, state[2] += c, state[3] += d;
        state[4] += e, state[5] += f, state[6] += g, state[7] += h;
    }
}

template <class H>
using Compressor = void (*)(typename H::Word state[8], const std::uint8_t* blocks, std::size_t count);

#ifdef QM_SHA2_X86
// SHA-256 on the x86 SHA extensions. The instructions keep the state as two
// vectors, ABEF and CDGH, and do two rounds per sha256rnds2; the message
// schedule is sha256msg1 and sha256msg2 around one add of W[t-7].
[[gnu::target("sha,sse4.1,ssse3")]] void compressShaExtensions(
    std::uint32_t state[8], const std::uint8_t* blocks, std::size_t count)
{
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
    for (; count > 0; --count, blocks += 64) {
        const __m128i abefBefore = abef, cdghBefore = cdgh;
        __m128i w[4];
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i) {
            if (i < 4) {
                w[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), byteSwap);
            } else {
                __m128i previous = w[(i - 1) & 3];
                __m128i sum = _mm_add_epi32(
                    _mm_sha256msg1_epu32(w[i & 3], w[(i - 3) & 3]), _mm_alignr_epi8(previous, w[(i - 2) & 3], 4));
                w[i & 3] = _mm_sha256msg2_epu32(sum, previous);
            }
            __m128i kw = _mm_add_epi32(w[i & 3], _mm_loadu_si128(reinterpret_cast<const __m128i*>(k256 + 4 * i)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, kw);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(kw, 0x0E));
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

bool cpuHasShaExtensions()
{
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d))
        return false;
    const bool sse = (c & bit_SSSE3) && (c & bit_SSE4_1);
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d))
        return false;
    return sse && (b & bit_SHA);
}
#else
bool cpuHasShaExtensions() { return false; }
#endif

Compressor<Sha256> compressorFor(Sha256Engine engine)
{
#ifdef QM_SHA2_X86
    if (engine == Sha256Engine::shaExtensions)
        return compressShaExtensions;
#else
    (void)engine;
#endif
    return compress<Sha256>;
}

// Chosen once: the CPU does not change under a running program.
Compressor<Sha256> sha256Compressor()
{
    static const Compressor<Sha256> chosen = compressorFor(sha256Engine());
    return chosen;
}

template <class H>
std::vector<std::uint8_t> digest(
    std::span<const std::uint8_t> bytes, std::int64_t length, Compressor<H> compressBlocks = compress<H>)
{
    using Word = typename H::Word;
    constexpr std::size_t blockSize = 16 * sizeof(Word);
    // The padding ends in a length field of two words; for SHA-256 that is the
    // 64-bit bit count, for SHA-512 a 128-bit one whose upper half is zero.
    constexpr std::size_t lengthField = 2 * sizeof(Word);
    if (length < 0 || std::uint64_t(length) > bytes.size())
        throw IndexError("hash length out of range");

    Word state[8];
    std::memcpy(state, H::init, sizeof state);
    const std::size_t n = std::size_t(length);
    const std::size_t whole = n / blockSize;
    compressBlocks(state, bytes.data(), whole);

    // Only the tail is copied: at most two blocks of tail, 0x80 and length.
    std::uint8_t tail[2 * blockSize] = {};
    const std::size_t rest = n - whole * blockSize;
    if (rest > 0)
        std::memcpy(tail, bytes.data() + whole * blockSize, rest);
    tail[rest] = 0x80;
    const std::size_t tailBlocks = rest < blockSize - lengthField ? 1 : 2;
    storeBigEndian<std::uint64_t>(std::uint64_t(n) * 8, tail + tailBlocks * blockSize - 8);
    compressBlocks(state, tail, tailBlocks);

    std::vector<std::uint8_t> out(8 * sizeof(Word));
    for (int i = 0; i < 8; ++i)
        storeBigEndian<Word>(state[i], out.data() + i * sizeof(Word));
    return out;
}

}  // namespace

Sha256Engine sha256Engine()
{
    return sha256EngineAvailable(Sha256Engine::shaExtensions) ? Sha256Engine::shaExtensions : Sha256Engine::portable;
}

bool sha256EngineAvailable(Sha256Engine engine)
{
    static const bool extensions = cpuHasShaExtensions();
    return engine == Sha256Engine::portable || extensions;
}

std::vector<std::uint8_t> sha256Using(Sha256Engine engine, std::span<const std::uint8_t> bytes)
{
    if (!sha256EngineAvailable(engine))
        throw ValueError("this processor cannot run the requested SHA-256 code");
    return digest<Sha256>(bytes, std::int64_t(bytes.size()), compressorFor(engine));
}

std::vector<std::uint8_t> sha256(std::span<const std::uint8_t> bytes, std::int64_t length)
{
    return digest<Sha256>(bytes, length, sha256Compressor());
}

std::vector<std::uint8_t> sha256(std::span<const std::uint8_t> bytes)
{
    return digest<Sha256>(bytes, std::int64_t(bytes.size()), sha256Compressor());
}

std::vector<std::uint8_t> sha512(std::span<const std::uint8_t> bytes, std::int64_t length)
{
    return digest<Sha512>(bytes, length);
}

std::vector<std::uint8_t> sha512(std::span<const std::uint8_t> bytes)
{
    return digest<Sha512>(bytes, std::int64_t(bytes.size()));
}

std::string sha256Hex(std::span<const std::uint8_t> bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(64);
    for (std::uint8_t b : sha256(bytes)) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

std::string sha256Hex(std::string_view bytes)
{
    return sha256Hex(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

}  // namespace qm
