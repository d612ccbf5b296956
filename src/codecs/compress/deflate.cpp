#include "codecs/compress/deflate.h"
#include "codecs/compress/deflate_internal.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "codecs/compress/deflate_tables.h"
#include "core/bytes.h"

namespace qm {

namespace {

using namespace deflate_tables;

constexpr int32_t windowSize = 32768;
constexpr int32_t hashBits = 15;
constexpr int32_t maxMatch = 258;
constexpr int32_t maxBlock = 65535;  // the most a stored block holds
// A block ends after this many literals and matches, however many bytes they
// cover: on repetitive input a cap in bytes would spend a code table on every
// few thousand tokens.
constexpr int32_t maxTokens = 16384;

// Effort per level, as the classic deflate encoders tune it. `chain` is how
// many candidates a search tries; `nice` is a match long enough to stop at.
// On the lazy levels (4 and up) a match shorter than `lazy` waits to see
// whether the next position has a longer one, and that second look tries only
// a quarter of the chain once the waiting match is `good` or longer. On the
// greedy levels `lazy` is the longest match whose positions are still entered
// into the hash chains; longer ones are skipped over, which is most of the
// speed of the low levels on repetitive data.
struct LevelParams {
    int32_t good, lazy, nice, chain;
};
constexpr LevelParams levelTable[10] = {{0, 0, 0, 0}, {4, 4, 8, 4}, {4, 5, 16, 8}, {4, 6, 32, 32}, {4, 4, 16, 16},
    {8, 16, 32, 32}, {8, 16, 128, 128}, {8, 32, 128, 256}, {32, 128, 258, 1024}, {32, 258, 258, 4096}};
constexpr int32_t firstLazyLevel = 4;

// Length symbol index (0..28) of each match length - 3.
struct LengthCodes {
    uint8_t v[256];
};
constexpr LengthCodes makeLengthCodes()
{
    LengthCodes t{};
    for (int code = 0; code < 29; code++)
        for (int len = lengthBase[code]; len < (code == 28 ? 259 : lengthBase[code + 1]); len++)
            t.v[len - 3] = static_cast<uint8_t>(code);
    t.v[255] = 28;  // 258 has its own symbol, not 284 with all extra bits set
    return t;
}
constexpr LengthCodes lengthCodes = makeLengthCodes();

inline int32_t distanceSymbol(int32_t distance)
{
    uint32_t x = static_cast<uint32_t>(distance - 1);
    if (x <= 3)
        return static_cast<int32_t>(x);
    int h = 31 - std::countl_zero(x);
    return 2 * h + static_cast<int32_t>((x >> (h - 1)) & 1);
}

struct DeflateState {
    int32_t head[1 << hashBits];  // the latest position of each hash, or noPosition
    // The hash chain: for position p (slot p & 0x7FFF), how far back the
    // previous position with the same hash lies, and the one before that;
    // noLink when there is none within the window, a step that always leaves
    // it. A walk is a chain of dependent loads, each waiting on the last:
    // knowing two steps at once lets it take two candidates per load.
    // Distances keep each pair at four bytes.
    struct Link {
        uint16_t one, two;
    };
    Link prev[windowSize];
    // Once a match is long, only candidates agreeing in their first
    // longPrefix bytes can beat it. A second chain links just those (and hash
    // collisions), so the walk skips the rest without touching them. It must
    // stop where the walk of the first chain would have run out of tries:
    // each position's rank is one more than that of the previous position of
    // its hash (modulo 2^16, more than a window holds), so the tries between
    // two positions of a chain are a subtraction.
    bool longChains = false;
    struct LongLink {
        uint16_t back;  // as in prev, for the long hash
        uint16_t rank;
    };
    LongLink longPrev[windowSize];  // side by side: one cache line serves both
    int32_t longHead[1 << hashBits];
    int32_t maxChain = 0, niceLength = 0, goodLength = 0, lazyLength = 0;
    bool lazy = false;
    std::vector<int32_t> tokens;
    int32_t litFreq[286];
    int32_t distFreq[30];
    int64_t extraBits = 0;
    int64_t blockStart = 0, blockEnd = 0;
    BitWriter writer;
};

// Far enough below every position that it is never within the window.
constexpr int32_t noPosition = -(1 << 20);

// The hash of the three bytes at p; needs p + 3 <= size.
inline uint32_t hashAt(const uint8_t* data, int64_t p, int64_t size)
{
    const uint8_t* b = data + p;
    uint32_t v;
    if (p + 4 <= size) {
        v = loadBe32(b) >> 8;
    } else {
        v = (uint32_t{b[0]} << 16) | (uint32_t{b[1]} << 8) | b[2];
    }
    return (v * 0x9E3779B1u) >> (32 - hashBits);
}

constexpr int32_t longPrefix = 6;

// The hash of the longPrefix bytes at p; reads eight, so needs p + 8 <= size.
inline uint32_t longHashAt(const uint8_t* data, int64_t p)
{
    uint64_t v = loadLe64(data + p) << (64 - 8 * longPrefix);
    return static_cast<uint32_t>((v * 0x9E3779B97F4A7C15u) >> (64 - hashBits));
}

constexpr uint16_t noLink = 0xFFFF;

inline uint16_t linkTo(int32_t previous, int64_t p)
{
    int64_t back = p - previous;
    return static_cast<uint16_t>(back <= windowSize ? back : noLink);
}

inline void link(DeflateState& s, const uint8_t* data, int64_t size, uint32_t h, int64_t p)
{
    int64_t slot = p & (windowSize - 1);
    int32_t previous = s.head[h];
    uint16_t one = linkTo(previous, p);
    uint16_t two = noLink;
    if (one != noLink) {
        uint16_t before = s.prev[previous & (windowSize - 1)].one;
        if (before != noLink)
            two = linkTo(previous - before, p);
    }
    s.prev[slot] = {one, two};
    s.head[h] = static_cast<int32_t>(p);
    if (!s.longChains)
        return;
    s.longPrev[slot].rank = static_cast<uint16_t>(s.longPrev[previous & (windowSize - 1)].rank + 1);
    // Searches this close to the end keep to the first chain.
    if (p + 8 > size)
        return;
    uint32_t lh = longHashAt(data, p);
    s.longPrev[slot].back = linkTo(s.longHead[lh], p);
    s.longHead[lh] = static_cast<int32_t>(p);
}

inline void insertHash(DeflateState& s, const uint8_t* data, int64_t size, int64_t p)
{
    link(s, data, size, hashAt(data, p, size), p);
}

// How many bytes of a and b agree, given that the first n do, up to maxLen.
inline int32_t matchLength(const uint8_t* a, const uint8_t* b, int32_t n, int32_t maxLen)
{
    while (n + 8 <= maxLen) {
        uint64_t diff = loadLe64(a + n) ^ loadLe64(b + n);
        if (diff)
            return n + std::countr_zero(diff) / 8;
        n += 8;
    }
    while (n < maxLen && a[n] == b[n])
        n++;
    return n;
}

struct Match {
    int32_t length = 0, distance = 0;
};

// Walks the hash chain of p for the longest earlier match, then enters p.
// Only a match longer than `atLeast` is of use to the caller (it holds one that
// long already), so candidates that cannot beat it are skipped unexamined;
// when what it holds is good enough already, the walk is cut to a quarter.
inline Match findMatch(DeflateState& s, const uint8_t* data, int64_t size, int64_t p, int32_t atLeast)
{
    int32_t maxLen = static_cast<int32_t>(std::min<int64_t>(size - p, maxMatch));
    uint32_t h = hashAt(data, p, size);
    int32_t c = s.head[h];
    // Candidates below `limit` are out of the window (or c is -1: none).
    int32_t limit = static_cast<int32_t>(std::max<int64_t>(p - windowSize, 0));
    int32_t tries = atLeast >= maxLen ? 0 : atLeast >= s.goodLength ? s.maxChain >> 2 : s.maxChain;
    int32_t best = atLeast, bestDist = 0;
    const uint8_t* cur = data + p;
    // The candidate after c when its link was read with the one before.
    int32_t following = 0;
    bool haveFollowing = false;
    auto next = [&] {
        if (haveFollowing) {
            c = following;
        } else {
            DeflateState::Link l = s.prev[c & (windowSize - 1)];
            following = c - l.two;
            c -= l.one;
        }
        haveFollowing = !haveFollowing;
        tries--;
    };
    // Until a 3-byte match is known, any candidate starting like p is tried.
    for (; best < 3 && c >= limit && tries > 0; next()) {
        const uint8_t* m = data + c;
        if (m[best] == cur[best] && m[0] == cur[0]) {
            int32_t len = matchLength(m, cur, 1, maxLen);
            if (len > best) {
                best = len;
                bestDist = static_cast<int32_t>(p - c);
                if (len >= maxLen || len >= s.niceLength)
                    tries = 0;
            }
        }
    }
    if (best >= 3 && best < maxLen && tries > 0) {
        // A longer match must agree in bytes 0-3 and in best-3..best.
        uint32_t first4 = loadLe32(cur);
        uint32_t last4 = loadLe32(cur + best - 3);
        bool done = false;
        bool useLong = s.longChains && p + 8 <= size;
        for (; c >= limit && tries > 0 && !(useLong && best >= longPrefix - 1); next()) {
            const uint8_t* m = data + c;
            if (loadLe32(m + best - 3) != last4 || loadLe32(m) != first4)
                continue;
            int32_t len = matchLength(m, cur, 4, maxLen);
            if (len > best) {
                best = len;
                bestDist = static_cast<int32_t>(p - c);
                if (len >= maxLen || len >= s.niceLength) {
                    done = true;
                    break;
                }
                last4 = loadLe32(cur + best - 3);
            }
        }
        if (!done && c >= limit && tries > 0 && useLong) {
            // c is the next candidate of the first chain, with `tries` left.
            // Long-chain entries after it are hash collisions: every one that
            // agreed in longPrefix bytes was examined and would have made best longer.
            uint16_t startRank = s.longPrev[c & (windowSize - 1)].rank;
            int32_t k = s.longHead[longHashAt(data, p)];
            while (k > c)
                k -= s.longPrev[k & (windowSize - 1)].back;
            for (; k >= limit; k -= s.longPrev[k & (windowSize - 1)].back) {
                const uint8_t* m = data + k;
                if (loadLe32(m) != first4)
                    continue;
                // Agreeing in four bytes, k shares p's hash, so the ranks compare.
                if (static_cast<uint16_t>(startRank - s.longPrev[k & (windowSize - 1)].rank) >= tries)
                    break;
                if (loadLe32(m + best - 3) != last4)
                    continue;
                int32_t len = matchLength(m, cur, 4, maxLen);
                if (len > best) {
                    best = len;
                    bestDist = static_cast<int32_t>(p - k);
                    if (len >= maxLen || len >= s.niceLength)
                        break;
                    last4 = loadLe32(cur + best - 3);
                }
            }
        }
    }
    link(s, data, size, h, p);
    // A 3-byte match far back costs more than its three literals.
    if (best <= atLeast || best < 3 || (best == 3 && bestDist > 4096))
        return {};
    return {best, bestDist};
}

void storedBlocks(BitWriter& w, const uint8_t* data, int64_t start, int64_t n, bool final)
{
    do {
        int64_t chunk = std::min<int64_t>(n, maxBlock);
        n -= chunk;
        writeBits(w, final && n == 0, 1);
        writeBits(w, 0, 2);
        flushBits(w);
        uint32_t len = static_cast<uint32_t>(chunk);
        w.bytes.insert(w.bytes.end(),
            {static_cast<uint8_t>(len), static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(~len),
                static_cast<uint8_t>(~len >> 8)});
        w.bytes.insert(w.bytes.end(), data + start, data + start + chunk);
        start += chunk;
    } while (n > 0);
}

struct Run {
    uint8_t symbol, extra;
};

// The code-length sequence as symbols 0-18 with their repeat counts.
std::vector<Run> codeLengthRuns(const std::vector<int32_t>& lens)
{
    std::vector<Run> runs;
    int32_t previous = -1;
    size_t n = lens.size();
    for (size_t i = 0; i < n;) {
        int32_t c = lens[i];
        size_t f = 1;
        while (i + f < n && lens[i + f] == c)
            f++;
        size_t cover = 1;
        if (c == 0 && f >= 11) {
            cover = std::min<size_t>(f, 138);
            runs.push_back({18, static_cast<uint8_t>(cover - 11)});
        } else if (c == 0 && f >= 3) {
            cover = f;
            runs.push_back({17, static_cast<uint8_t>(f - 3)});
        } else if (c != 0 && f >= 3 && c == previous) {
            cover = std::min<size_t>(f, 6);
            runs.push_back({16, static_cast<uint8_t>(cover - 3)});
        } else {
            runs.push_back({static_cast<uint8_t>(c), 0});
        }
        previous = c;
        i += cover;
    }
    return runs;
}

constexpr int runExtraBits(int symbol) { return symbol == 16 ? 2 : symbol == 17 ? 3 : symbol == 18 ? 7 : 0; }

struct FixedCodes {
    int32_t litLens[288];
    uint32_t litCodes[288];
    uint32_t distCodes[30];
};
const FixedCodes& fixedCodes()
{
    static const FixedCodes codes = [] {
        FixedCodes f{};
        for (int s = 0; s < 288; s++)
            f.litLens[s] = fixedLiteralLength(s);
        auto lit = canonicalCodes(f.litLens);
        std::copy(lit.begin(), lit.end(), f.litCodes);
        std::vector<int32_t> distLens(30, fixedDistanceLength);
        auto dist = canonicalCodes(distLens);
        std::copy(dist.begin(), dist.end(), f.distCodes);
        return f;
    }();
    return codes;
}

void writeBlockData(BitWriter& w, const std::vector<int32_t>& tokens, const int32_t* litLens, const uint32_t* litCodes,
    const int32_t* distLens, const uint32_t* distCodes)
{
    // Bits gather in a local accumulator and leave 32 at a time, straight into
    // room made for the longest codes (48 bits a token).
    uint64_t acc = w.acc;
    int32_t pending = w.pending;
    size_t start = w.bytes.size();
    w.bytes.resize(start + tokens.size() * 6 + 16);
    uint8_t* out = w.bytes.data() + start;
    auto put = [&](uint32_t value, int32_t n) {
        acc |= static_cast<uint64_t>(value) << pending;
        pending += n;
        if (pending >= 32) {
            storeLe32(out, static_cast<uint32_t>(acc));
            out += 4;
            acc >>= 32;
            pending -= 32;
        }
    };
    for (int32_t t : tokens) {
        if (t >= 0) {
            put(litCodes[t], litLens[t]);
            continue;
        }
        int32_t length = ((t >> 16) & 0xFF) + 3;
        int32_t distance = (t & 0xFFFF) + 1;
        int32_t lc = lengthCodes.v[length - 3];
        put(litCodes[257 + lc], litLens[257 + lc]);
        put(static_cast<uint32_t>(length - lengthBase[lc]), lengthExtra[lc]);
        int32_t ds = distanceSymbol(distance);
        put(distCodes[ds], distLens[ds]);
        put(static_cast<uint32_t>(distance - distBase[ds]), distExtra[ds]);
    }
    put(litCodes[256], litLens[256]);
    w.bytes.resize(static_cast<size_t>(out - w.bytes.data()));
    w.acc = acc;
    w.pending = pending;
}

void writeBlock(DeflateState& s, const uint8_t* data, bool final)
{
    s.litFreq[256] += 1;
    std::vector<int32_t> litLens = huffmanCodeLengths(s.litFreq, 15);
    std::vector<int32_t> distLens = huffmanCodeLengths(s.distFreq, 15);
    int32_t hlit = 286;
    while (hlit > 257 && litLens[static_cast<size_t>(hlit - 1)] == 0)
        hlit--;
    int32_t hdist = 1;
    for (int i = 29; i >= 1; i--)
        if (distLens[static_cast<size_t>(i)]) {
            hdist = i + 1;
            break;
        }

    std::vector<int32_t> lengths(litLens.begin(), litLens.begin() + hlit);
    lengths.insert(lengths.end(), distLens.begin(), distLens.begin() + hdist);
    std::vector<Run> runs = codeLengthRuns(lengths);
    int32_t runFreq[19] = {};
    for (Run r : runs)
        runFreq[r.symbol]++;
    std::vector<int32_t> clLens = huffmanCodeLengths(runFreq, 7);
    int32_t hclen = 19;
    while (hclen > 4 && clLens[codeLengthOrder[hclen - 1]] == 0)
        hclen--;

    const FixedCodes& fixed = fixedCodes();
    int64_t dynamicCost = 17 + 3 * hclen + s.extraBits;
    int64_t fixedCost = 3 + s.extraBits;
    for (Run r : runs)
        dynamicCost += clLens[r.symbol] + runExtraBits(r.symbol);
    for (int i = 0; i < 286; i++) {
        dynamicCost += int64_t{s.litFreq[i]} * litLens[static_cast<size_t>(i)];
        fixedCost += int64_t{s.litFreq[i]} * fixed.litLens[i];
    }
    for (int i = 0; i < 30; i++) {
        dynamicCost += int64_t{s.distFreq[i]} * distLens[static_cast<size_t>(i)];
        fixedCost += int64_t{s.distFreq[i]} * fixedDistanceLength;
    }
    int64_t n = s.blockEnd - s.blockStart;
    int64_t storedCost = 8 * n + 40 * std::max<int64_t>(1, (n + maxBlock - 1) / maxBlock);
    int64_t best = std::min(dynamicCost, fixedCost);

    BitWriter& w = s.writer;
    // Rounded up by the most padding a stored header can need.
    if ((storedCost | 7) <= best) {
        storedBlocks(w, data, s.blockStart, n, final);
    } else if (fixedCost <= dynamicCost) {
        writeBits(w, final, 1);
        writeBits(w, 1, 2);
        static const int32_t fixedDistLens[30] = {
            5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5};
        writeBlockData(w, s.tokens, fixed.litLens, fixed.litCodes, fixedDistLens, fixed.distCodes);
    } else {
        writeBits(w, final, 1);
        writeBits(w, 2, 2);
        writeBits(w, static_cast<uint32_t>(hlit - 257), 5);
        writeBits(w, static_cast<uint32_t>(hdist - 1), 5);
        writeBits(w, static_cast<uint32_t>(hclen - 4), 4);
        for (int i = 0; i < hclen; i++)
            writeBits(w, static_cast<uint32_t>(clLens[codeLengthOrder[i]]), 3);
        std::vector<uint32_t> clCodes = canonicalCodes(clLens);
        for (Run r : runs) {
            writeBits(w, clCodes[r.symbol], clLens[r.symbol]);
            if (int extra = runExtraBits(r.symbol))
                writeBits(w, r.extra, extra);
        }
        std::vector<uint32_t> litCodes = canonicalCodes(litLens);
        std::vector<uint32_t> distCodes = canonicalCodes(distLens);
        writeBlockData(w, s.tokens, litLens.data(), litCodes.data(), distLens.data(), distCodes.data());
    }

    s.tokens.clear();
    std::fill(std::begin(s.litFreq), std::end(s.litFreq), 0);
    std::fill(std::begin(s.distFreq), std::end(s.distFreq), 0);
    s.extraBits = 0;
    s.blockStart = s.blockEnd;
}

inline void emitLiteral(DeflateState& s, const uint8_t* data, uint8_t byte)
{
    if (static_cast<int32_t>(s.tokens.size()) >= maxTokens)
        writeBlock(s, data, false);
    s.tokens.push_back(byte);
    s.litFreq[byte]++;
    s.blockEnd++;
}

inline void emitMatch(DeflateState& s, const uint8_t* data, Match m)
{
    if (static_cast<int32_t>(s.tokens.size()) >= maxTokens)
        writeBlock(s, data, false);
    s.tokens.push_back(static_cast<int32_t>(
        0x80000000u | static_cast<uint32_t>(m.length - 3) << 16 | static_cast<uint32_t>(m.distance - 1)));
    int32_t lc = lengthCodes.v[m.length - 3];
    int32_t ds = distanceSymbol(m.distance);
    s.litFreq[257 + lc]++;
    s.distFreq[ds]++;
    s.extraBits += lengthExtra[lc] + distExtra[ds];
    s.blockEnd += m.length;
}

// Enters the positions a match covers, skipping the last two bytes of input.
inline void insertRange(DeflateState& s, const uint8_t* data, int64_t size, int64_t from, int64_t to)
{
    to = std::min(to, size - 3);
    for (int64_t q = from; q <= to; q++)
        insertHash(s, data, size, q);
}

}  // namespace

std::vector<uint8_t> deflateData(std::span<const uint8_t> input, int32_t level, const ProgressCallback& progress)
{
    level = std::clamp(level, 0, 9);
    const uint8_t* data = input.data();
    int64_t size = static_cast<int64_t>(input.size());
    auto s = std::make_unique<DeflateState>();
    s->writer.bytes.reserve(static_cast<size_t>(size / 2 + 64));
    if (level == 0) {
        storedBlocks(s->writer, data, 0, size, true);
        return std::move(s->writer.bytes);
    }
    std::fill(std::begin(s->head), std::end(s->head), noPosition);
    std::fill(std::begin(s->longHead), std::end(s->longHead), noPosition);
    std::fill(std::begin(s->litFreq), std::end(s->litFreq), 0);
    std::fill(std::begin(s->distFreq), std::end(s->distFreq), 0);
    const LevelParams& params = levelTable[level];
    s->maxChain = params.chain;
    s->niceLength = params.nice;
    s->goodLength = params.good;
    s->lazyLength = params.lazy;
    s->lazy = level >= firstLazyLevel;
    // The second chain pays for its upkeep only where chains are long.
    s->longChains = params.chain >= 1024;
    s->tokens.reserve(static_cast<size_t>(maxTokens));

    Match pending;
    int64_t mark = 65536;
    for (int64_t p = 0; p < size;) {
        if (progress && p >= mark) {
            progress(static_cast<int32_t>(std::min<int64_t>(p, INT32_MAX)),
                static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX)));
            mark = p + 65536;
        }
        // Searching past a pending match only asks whether p has a longer one.
        int32_t atLeast = pending.length < s->niceLength ? pending.length : 0;
        Match cur = p + 3 <= size ? findMatch(*s, data, size, p, atLeast) : Match{};
        if (pending.length) {
            if (cur.length > pending.length) {
                // The longer match waits in its turn, however long: the
                // next position may hold a longer one still.
                emitLiteral(*s, data, data[p - 1]);
                pending = cur;
                p += 1;
            } else {
                emitMatch(*s, data, pending);
                int64_t next = p - 1 + pending.length;
                insertRange(*s, data, size, p + 1, next - 1);
                pending = {};
                p = next;
            }
        } else if (cur.length == 0) {
            emitLiteral(*s, data, data[p]);
            p += 1;
        } else if (s->lazy && cur.length < s->lazyLength) {
            pending = cur;
            p += 1;
        } else {
            emitMatch(*s, data, cur);
            // A long match on a greedy level enters only its last position,
            // which keeps a run continuing at distance 1.
            int64_t from = s->lazy || cur.length <= s->lazyLength ? p + 1 : p + cur.length - 1;
            insertRange(*s, data, size, from, p + cur.length - 1);
            p += cur.length;
        }
    }
    if (pending.length)
        emitMatch(*s, data, pending);
    writeBlock(*s, data, true);
    flushBits(s->writer);
    if (progress)
        progress(static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX)),
            static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX)));
    return std::move(s->writer.bytes);
}

std::vector<uint8_t> zlibStream(std::span<const uint8_t> data, int32_t level)
{
    level = std::clamp(level, 0, 9);
    // FLEVEL 0-3 with FCHECK making the two bytes a multiple of 31.
    uint8_t flags = level <= 1 ? 0x01 : level <= 5 ? 0x5E : level == 6 ? 0x9C : 0xDA;
    std::vector<uint8_t> body = deflateData(data, level, {});
    std::vector<uint8_t> out;
    out.reserve(body.size() + 6);
    out.push_back(0x78);
    out.push_back(flags);
    out.insert(out.end(), body.begin(), body.end());
    out.resize(out.size() + 4);
    storeBe32(out.data() + out.size() - 4, adler32(data));
    return out;
}

std::vector<int32_t> huffmanCodeLengths(std::span<const int32_t> freq, int32_t maxLen)
{
    if (maxLen < 1 || maxLen > 15 || freq.size() > (size_t{1} << maxLen))
        throw std::logic_error("huffmanCodeLengths: alphabet too large for the code length limit");
    size_t size = freq.size();
    std::vector<int32_t> lens(size, 0);
    struct Leaf {
        int64_t weight;
        int32_t symbol;
    };
    std::vector<Leaf> leaves;
    for (size_t s = 0; s < size; s++)
        if (freq[s] > 0)
            leaves.push_back({freq[s], static_cast<int32_t>(s)});
    std::sort(leaves.begin(), leaves.end(),
        [](const Leaf& a, const Leaf& b) { return a.weight != b.weight ? a.weight < b.weight : a.symbol < b.symbol; });
    if (leaves.size() <= 1) {
        // A code needs two codes; the lowest free symbols make up the count.
        if (leaves.size() == 1)
            lens[static_cast<size_t>(leaves[0].symbol)] = 1;
        for (size_t s = 0, missing = 2 - leaves.size(); s < size && missing; s++)
            if (!lens[s])
                lens[s] = 1, missing--;
        return lens;
    }

    // Two queues: sorted leaves, and internal nodes in the order they are made,
    // whose weights only grow. A leaf wins a tie.
    size_t n = leaves.size();
    std::vector<int64_t> nodeWeight(n - 1);
    std::vector<int32_t> nodeParent(n - 1, -1), leafParent(n, -1);
    size_t nextLeaf = 0, nextNode = 0;
    auto take = [&](int32_t parent) -> int64_t {
        if (nextLeaf < n
            && (nextNode >= static_cast<size_t>(parent) || leaves[nextLeaf].weight <= nodeWeight[nextNode])) {
            leafParent[nextLeaf] = parent;
            return leaves[nextLeaf++].weight;
        }
        nodeParent[nextNode] = parent;
        return nodeWeight[nextNode++];
    };
    for (size_t k = 0; k + 1 < n; k++) {
        int32_t parent = static_cast<int32_t>(k);
        int64_t w = take(parent);
        w += take(parent);
        nodeWeight[k] = w;
    }

    std::vector<int32_t> nodeDepth(n - 1, 0), leafDepth(n, 0);
    int32_t overflow = 0;
    auto depthBelow = [&](int32_t parent) {
        int32_t d = nodeDepth[static_cast<size_t>(parent)] + 1;
        if (d > maxLen) {
            d = maxLen;
            overflow++;
        }
        return d;
    };
    for (size_t k = n - 1; k-- > 0;)
        if (nodeParent[k] >= 0)
            nodeDepth[k] = depthBelow(nodeParent[k]);
    for (size_t i = 0; i < n; i++)
        leafDepth[i] = depthBelow(leafParent[i]);

    if (!overflow) {
        for (size_t i = 0; i < n; i++)
            lens[static_cast<size_t>(leaves[i].symbol)] = leafDepth[i];
        return lens;
    }
    // Too deep: move leaves up from the deepest level in pairs, the way the
    // classic deflate encoders do, then give the longest codes to the rarest.
    int32_t count[16] = {};
    for (size_t i = 0; i < n; i++)
        count[leafDepth[i]]++;
    while (overflow > 0) {
        int32_t bits = maxLen - 1;
        while (count[bits] == 0)
            bits--;
        count[bits]--;
        count[bits + 1] += 2;
        count[maxLen]--;
        overflow -= 2;
    }
    size_t i = 0;
    for (int32_t len = maxLen; len >= 1; len--)
        for (int32_t k = 0; k < count[len]; k++)
            lens[static_cast<size_t>(leaves[i++].symbol)] = len;
    return lens;
}

void writeBits(BitWriter& w, uint32_t value, int32_t n)
{
    w.acc |= static_cast<uint64_t>(value) << w.pending;
    w.pending += n;
    if (w.pending >= 32) {
        for (int i = 0; i < 4; i++)
            w.bytes.push_back(static_cast<uint8_t>(w.acc >> (8 * i)));
        w.acc >>= 32;
        w.pending -= 32;
    }
}

void flushBits(BitWriter& w)
{
    for (; w.pending > 0; w.pending -= 8) {
        w.bytes.push_back(static_cast<uint8_t>(w.acc));
        w.acc >>= 8;
    }
    w.acc = 0;
    w.pending = 0;
}

std::vector<uint32_t> canonicalCodes(std::span<const int32_t> lengths)
{
    int32_t count[16] = {};
    for (int32_t len : lengths)
        count[len]++;
    count[0] = 0;
    uint32_t next[16] = {};
    uint32_t code = 0;
    for (int len = 1; len <= 15; len++) {
        code = (code + static_cast<uint32_t>(count[len - 1])) << 1;
        next[len] = code;
    }
    std::vector<uint32_t> codes(lengths.size());
    for (size_t s = 0; s < lengths.size(); s++) {
        int32_t len = lengths[s];
        if (!len)
            continue;
        uint32_t c = next[len]++, rev = 0;
        for (int i = 0; i < len; i++)
            rev |= ((c >> i) & 1) << (len - 1 - i);
        codes[s] = rev;
    }
    return codes;
}

uint32_t adler32(std::span<const uint8_t> data)
{
    constexpr uint32_t mod = 65521;
    uint32_t a = 1, b = 0;
    const uint8_t* p = data.data();
    size_t n = data.size();
    while (n) {
        // 5552 is the most bytes before b could pass 32 bits.
        size_t chunk = std::min<size_t>(n, 5552);
        n -= chunk;
        for (; chunk >= 4; chunk -= 4, p += 4) {
            a += p[0];
            b += a;
            a += p[1];
            b += a;
            a += p[2];
            b += a;
            a += p[3];
            b += a;
        }
        for (; chunk; chunk--) {
            a += *p++;
            b += a;
        }
        a %= mod;
        b %= mod;
    }
    return (b << 16) | a;
}

}  // namespace qm
