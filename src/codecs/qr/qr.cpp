#include "codecs/qr/qr.h"

#include "codecs/qr/qr_internal.h"
#include "core/errors.h"

#include <array>
#include <cstdlib>

namespace qm {

namespace {

struct LevelM {
    int shortData;  // data codewords of a short block
    int blocks;
    int ecPerBlock;
    int longBlocks;  // the last blocks, one data codeword longer
    int totalData;
};

constexpr std::array<LevelM, 11> levelM = {{
    {0, 0, 0, 0, 0},
    {16, 1, 10, 0, 16},
    {28, 1, 16, 0, 28},
    {44, 1, 26, 0, 44},
    {32, 2, 18, 0, 64},
    {43, 2, 24, 0, 86},
    {27, 4, 16, 0, 108},
    {31, 4, 18, 0, 124},
    {38, 4, 22, 2, 154},
    {36, 5, 22, 2, 182},
    {43, 5, 26, 1, 216},
}};

// Centre rows and columns of the alignment patterns.
constexpr std::array<std::array<int, 3>, 11> alignment = {{
    {0, 0, 0},
    {0, 0, 0},
    {6, 18, 0},
    {6, 22, 0},
    {6, 26, 0},
    {6, 30, 0},
    {6, 34, 0},
    {6, 22, 38},
    {6, 24, 42},
    {6, 26, 46},
    {6, 28, 50},
}};

// GF(256) with x^8 + x^4 + x^3 + x^2 + 1.
struct Galois {
    std::array<std::uint8_t, 512> exp{};
    std::array<std::uint8_t, 256> log{};
    constexpr Galois()
    {
        int x = 1;
        for (int i = 0; i < 255; ++i) {
            exp[std::size_t(i)] = std::uint8_t(x);
            log[std::size_t(x)] = std::uint8_t(i);
            x <<= 1;
            if (x & 0x100)
                x ^= 0x11d;
        }
        for (int i = 255; i < 512; ++i)
            exp[std::size_t(i)] = exp[std::size_t(i - 255)];
    }
    constexpr std::uint8_t mul(std::uint8_t a, std::uint8_t b) const
    {
        return a == 0 || b == 0 ? 0 : exp[std::size_t(log[a]) + log[b]];
    }
};

constexpr Galois gf;

// The error-correction codewords of one block: the remainder of data * x^e
// divided by the product of (x - 2^i), i = 0 .. e - 1.
std::vector<std::uint8_t> errorCorrection(const std::uint8_t* data, int count, int e)
{
    std::vector<std::uint8_t> generator(std::size_t(e + 1), 0);  // highest power first
    generator[0] = 1;
    for (int i = 0; i < e; ++i) {
        std::uint8_t root = gf.exp[std::size_t(i)];
        for (int k = i + 1; k >= 1; --k)
            generator[std::size_t(k)] ^= gf.mul(generator[std::size_t(k - 1)], root);
    }
    std::vector<std::uint8_t> remainder(std::size_t(e), 0);
    for (int i = 0; i < count; ++i) {
        std::uint8_t factor = data[i] ^ remainder[0];
        remainder.erase(remainder.begin());
        remainder.push_back(0);
        for (int k = 0; k < e; ++k)
            remainder[std::size_t(k)] ^= gf.mul(generator[std::size_t(k + 1)], factor);
    }
    return remainder;
}

int countBits(int version) { return version <= 9 ? 8 : 16; }

std::vector<std::uint8_t> dataCodewords(std::string_view text, int version)
{
    const int capacity = levelM[std::size_t(version)].totalData;
    std::vector<std::uint8_t> out(std::size_t(capacity), 0);
    std::size_t bit = 0;
    auto put = [&](std::uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i, ++bit)
            if ((value >> i) & 1)
                out[bit >> 3] |= std::uint8_t(0x80 >> (bit & 7));
    };
    put(0b0100, 4);
    put(std::uint32_t(text.size()), countBits(version));
    for (char c : text)
        put(std::uint8_t(c), 8);
    // Terminator of up to four zero bits and zero bits to the byte boundary:
    // the buffer is already zero, so only the position moves.
    bit = std::min(bit + 4, std::size_t(capacity) * 8);
    bit = (bit + 7) / 8 * 8;
    for (std::uint8_t pad = 0xec; bit < std::size_t(capacity) * 8; pad ^= 0xec ^ 0x11)
        put(pad, 8);
    return out;
}

std::vector<std::uint8_t> interleavedCodewords(std::string_view text, int version)
{
    const LevelM& m = levelM[std::size_t(version)];
    std::vector<std::uint8_t> data = dataCodewords(text, version);
    std::vector<std::vector<std::uint8_t>> blocks, ecc;
    std::size_t offset = 0;
    for (int b = 0; b < m.blocks; ++b) {
        int length = m.shortData + (b >= m.blocks - m.longBlocks ? 1 : 0);
        blocks.emplace_back(
            data.begin() + std::ptrdiff_t(offset), data.begin() + std::ptrdiff_t(offset + std::size_t(length)));
        ecc.push_back(errorCorrection(blocks.back().data(), length, m.ecPerBlock));
        offset += std::size_t(length);
    }
    std::vector<std::uint8_t> out;
    for (int i = 0; i <= m.shortData; ++i)
        for (const auto& block : blocks)
            if (std::size_t(i) < block.size())
                out.push_back(block[std::size_t(i)]);
    for (int i = 0; i < m.ecPerBlock; ++i)
        for (const auto& block : ecc)
            out.push_back(block[std::size_t(i)]);
    return out;
}

// A symbol under construction: the modules and which of them are function
// patterns (never data, never masked).
struct Grid {
    int size;
    std::vector<std::uint8_t> dark;
    std::vector<std::uint8_t> function;

    explicit Grid(int n)
        : size(n)
        , dark(std::size_t(n * n), 0)
        , function(std::size_t(n * n), 0)
    {
    }
    std::size_t at(int x, int y) const { return std::size_t(y * size + x); }
    void set(int x, int y, bool isDark)
    {
        dark[at(x, y)] = isDark ? 1 : 0;
        function[at(x, y)] = 1;
    }
};

void drawFinder(Grid& g, int cx, int cy)
{
    for (int dy = -4; dy <= 4; ++dy)
        for (int dx = -4; dx <= 4; ++dx) {
            int x = cx + dx, y = cy + dy;
            if (x < 0 || y < 0 || x >= g.size || y >= g.size)
                continue;
            int d = std::max(std::abs(dx), std::abs(dy));
            g.set(x, y, d != 2 && d != 4);
        }
}

void drawAlignment(Grid& g, int cx, int cy)
{
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx)
            g.set(cx + dx, cy + dy, std::max(std::abs(dx), std::abs(dy)) != 1);
}

int bchRemainder(int value, int dataBits, int generator, int generatorDegree)
{
    int r = value << generatorDegree;
    for (int i = dataBits + generatorDegree - 1; i >= generatorDegree; --i)
        if ((r >> i) & 1)
            r ^= generator << (i - generatorDegree);
    return r;
}

void drawFormat(Grid& g, int mask)
{
    int data = (0b00 << 3) | mask;  // level M
    int bits = ((data << 10) | bchRemainder(data, 5, 0x537, 10)) ^ 0x5412;
    auto bit = [&](int i) { return ((bits >> i) & 1) != 0; };
    const int n = g.size;
    for (int i = 0; i <= 5; ++i)
        g.set(8, i, bit(i));
    g.set(8, 7, bit(6));
    g.set(8, 8, bit(7));
    g.set(7, 8, bit(8));
    for (int i = 9; i < 15; ++i)
        g.set(14 - i, 8, bit(i));
    for (int i = 0; i < 8; ++i)
        g.set(n - 1 - i, 8, bit(i));
    for (int i = 8; i < 15; ++i)
        g.set(8, n - 15 + i, bit(i));
    g.set(8, n - 8, true);  // the dark module
}

void drawVersion(Grid& g, int version)
{
    if (version < 7)
        return;
    int bits = (version << 12) | bchRemainder(version, 6, 0x1f25, 12);
    for (int i = 0; i < 18; ++i) {
        bool on = ((bits >> i) & 1) != 0;
        int a = g.size - 11 + i % 3, b = i / 3;
        g.set(a, b, on);
        g.set(b, a, on);
    }
}

Grid functionPatterns(int version)
{
    Grid g(4 * version + 17);
    const int n = g.size;
    for (int i = 0; i < n; ++i) {
        g.set(6, i, i % 2 == 0);
        g.set(i, 6, i % 2 == 0);
    }
    drawFinder(g, 3, 3);
    drawFinder(g, n - 4, 3);
    drawFinder(g, 3, n - 4);
    const auto& centres = alignment[std::size_t(version)];
    int count = version == 1 ? 0 : version < 7 ? 2 : 3;
    for (int i = 0; i < count; ++i)
        for (int j = 0; j < count; ++j) {
            bool nearFinder = (i == 0 && j == 0) || (i == 0 && j == count - 1) || (i == count - 1 && j == 0);
            if (!nearFinder)
                drawAlignment(g, centres[std::size_t(i)], centres[std::size_t(j)]);
        }
    drawFormat(g, 0);  // reserves the format areas; each mask rewrites them
    drawVersion(g, version);
    return g;
}

void placeCodewords(Grid& g, const std::vector<std::uint8_t>& codewords)
{
    const int n = g.size;
    std::size_t i = 0, total = codewords.size() * 8;
    for (int right = n - 1; right >= 1; right -= 2) {
        if (right == 6)
            right = 5;
        bool upward = ((right + 1) & 2) == 0;
        for (int step = 0; step < n; ++step) {
            int y = upward ? n - 1 - step : step;
            for (int j = 0; j < 2; ++j) {
                int x = right - j;
                if (g.function[g.at(x, y)])
                    continue;
                if (i < total)
                    g.dark[g.at(x, y)] = (codewords[i >> 3] >> (7 - (i & 7))) & 1;
                ++i;  // remainder bits stay light
            }
        }
    }
}

bool maskCondition(int mask, int row, int col)
{
    int i = row, j = col;
    switch (mask) {
    case 0:
        return (i + j) % 2 == 0;
    case 1:
        return i % 2 == 0;
    case 2:
        return j % 3 == 0;
    case 3:
        return (i + j) % 3 == 0;
    case 4:
        return (i / 2 + j / 3) % 2 == 0;
    case 5:
        return (i * j) % 2 + (i * j) % 3 == 0;
    case 6:
        return ((i * j) % 2 + (i * j) % 3) % 2 == 0;
    default:
        return ((i + j) % 2 + (i * j) % 3) % 2 == 0;
    }
}

QrCode masked(const Grid& base, int mask)
{
    Grid g = base;
    for (int y = 0; y < g.size; ++y)
        for (int x = 0; x < g.size; ++x)
            if (!g.function[g.at(x, y)] && maskCondition(mask, y, x))
                g.dark[g.at(x, y)] ^= 1;
    drawFormat(g, mask);
    return QrCode{g.size, std::move(g.dark)};
}

Grid unmaskedSymbol(std::string_view text, int version)
{
    Grid g = functionPatterns(version);
    placeCodewords(g, interleavedCodewords(text, version));
    return g;
}

// Penalty of one line of modules read through `get(k)`, k = 0 .. n - 1.
template <typename Get>
int linePenalty(int n, Get get)
{
    int score = 0;
    int run = 1;
    for (int k = 1; k <= n; ++k) {
        if (k < n && get(k) == get(k - 1)) {
            ++run;
            continue;
        }
        if (run >= 5)
            score += 3 + (run - 5);
        run = 1;
    }
    // dark-light-dark-dark-dark-light-dark with four light modules on at
    // least one side, all inside the symbol; counted once per occurrence.
    static constexpr std::uint8_t finder[7] = {1, 0, 1, 1, 1, 0, 1};
    for (int start = 0; start + 7 <= n; ++start) {
        bool match = true;
        for (int k = 0; k < 7 && match; ++k)
            match = get(start + k) == finder[k];
        if (!match)
            continue;
        auto lightRun = [&](int from) {
            if (from < 0 || from + 4 > n)
                return false;
            for (int k = from; k < from + 4; ++k)
                if (get(k))
                    return false;
            return true;
        };
        if (lightRun(start - 4) || lightRun(start + 7))
            score += 40;
    }
    return score;
}

}  // namespace

std::optional<int> qrVersionFor(std::size_t byteCount)
{
    for (int version = 1; version <= 10; ++version) {
        std::size_t bits = 4 + std::size_t(countBits(version)) + 8 * byteCount;
        if ((bits + 7) / 8 <= std::size_t(levelM[std::size_t(version)].totalData))
            return version;
    }
    return std::nullopt;
}

int qrPenalty(const QrCode& code)
{
    const int n = code.size;
    auto m = [&](int x, int y) { return code.modules[std::size_t(y * n + x)]; };
    int score = 0;
    for (int y = 0; y < n; ++y)
        score += linePenalty(n, [&](int k) { return m(k, y); });
    for (int x = 0; x < n; ++x)
        score += linePenalty(n, [&](int k) { return m(x, k); });
    for (int y = 0; y + 1 < n; ++y)
        for (int x = 0; x + 1 < n; ++x) {
            std::uint8_t c = m(x, y);
            if (m(x + 1, y) == c && m(x, y + 1) == c && m(x + 1, y + 1) == c)
                score += 3;
        }
    long dark = 0;
    for (std::uint8_t v : code.modules)
        dark += v;
    long percent = dark * 100 / (long(n) * n);
    score += int(10 * (std::labs(percent - 50) / 5));
    return score;
}

QrCode encodeQrWith(std::string_view text, int version, int mask)
{
    std::optional<int> least = qrVersionFor(text.size());
    if (!least || version < *least || version > 10 || mask < 0 || mask > 7)
        throw ValueError("QR: the text does not fit that version, or no such mask");
    return masked(unmaskedSymbol(text, version), mask);
}

int qrChosenMask(std::string_view text)
{
    std::optional<int> version = qrVersionFor(text.size());
    if (!version)
        return -1;
    Grid base = unmaskedSymbol(text, *version);
    int best = 0, bestScore = 0;
    for (int mask = 0; mask < 8; ++mask) {
        int score = qrPenalty(masked(base, mask));
        if (mask == 0 || score < bestScore) {
            best = mask;
            bestScore = score;
        }
    }
    return best;
}

QrCode encodeQr(std::string_view text)
{
    std::optional<int> version = qrVersionFor(text.size());
    if (!version)
        return QrCode{};
    return masked(unmaskedSymbol(text, *version), qrChosenMask(text));
}

std::uint8_t qrModule(const QrCode& code, int x, int y)
{
    if (x < 0 || y < 0 || x >= code.size || y >= code.size)
        throw IndexError("QR: module outside the symbol");
    return code.modules[std::size_t(y * code.size + x)];
}

}  // namespace qm
