#include "platform/render/rasterizer.h"
#include "platform/render/rasterizer_internal.h"

#include "core/errors.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qm {

Rasterizer newRasterizer(int32_t width, int32_t height)
{
    int64_t cells = static_cast<int64_t>(width) * height;
    if (cells > std::numeric_limits<int32_t>::max() || cells < std::numeric_limits<int32_t>::min())
        throw ValueError("rasterizer size overflows");
    if (width < 0 || height < 0)
        throw ValueError("rasterizer size is negative");
    Rasterizer r;
    r.width = width;
    r.height = height;
    r.accumulation.assign(static_cast<size_t>(cells) + 1, 0.0f);
    return r;
}

void clearRasterizer(Rasterizer& r) { std::fill(r.accumulation.begin(), r.accumulation.end(), 0.0f); }

namespace {

// Any edge, row by row; addEdge below takes the common short ones itself.
[[gnu::noinline]] void addLongEdge(Rasterizer& r, double x0, double y0, double x1, double y1)
{
    // Ordered top to bottom without branching: up and down edges alternate
    // along every contour, which no branch predictor guesses well.
    const bool down = y0 < y1;
    const double direction = std::copysign(1.0, y1 - y0);
    const double top = std::min(y0, y1), bottom = std::max(y0, y1);
    const double xTop = down ? x0 : x1, xBottom = down ? x1 : x0;
    x0 = xTop;
    x1 = xBottom;
    y0 = top;
    y1 = bottom;
    // Rows are bounded in floating point first, so infinite or huge
    // coordinates never reach an integer conversion; for values in
    // [0, height) truncation is the floor.
    const double heightF = static_cast<double>(r.height);
    if (!(y0 < heightF) || !(y1 > 0))
        return;
    const int64_t width = r.width;
    const double widthF = static_cast<double>(width);
    float* cells = r.accumulation.data();

    int64_t firstRow = y0 > 0 ? static_cast<int64_t>(y0) : 0;
    int64_t rowEnd = r.height;
    if (y1 < heightF) {
        rowEnd = static_cast<int64_t>(y1);
        if (static_cast<double>(rowEnd) < y1)
            ++rowEnd;
    }

    double dxdy = (x1 - x0) / (y1 - y0);
    // The edge's x at y = 0 when it starts above the mask; a vertical edge
    // keeps its x even when it starts infinitely far up.
    double x = y0 < 0 && dxdy != 0 ? x0 - y0 * dxdy : x0;
    // Area per unit of x that the edge adds in a row where it spans several
    // cells: the same for every row unless clipping at the left edge
    // shortens the span. Worked out on first need (steep edges never do).
    double slopeArea = 0;

    for (int64_t y = firstRow; y < rowEnd; ++y) {
        double yf = static_cast<double>(y);
        double dy = std::min(yf + 1.0, y1) - std::max(yf, y0);
        double xnext = x + dxdy * dy;
        double d = dy * direction;
        double xl = std::min(x, xnext);
        double xr = std::max(x, xnext);
        bool clipped = !(xl > 0);
        if (clipped)
            xl = 0;  // left of the mask, or NaN
        if (!(xr > 0))
            xr = 0;
        x = xnext;
        if (xl >= widthF)
            continue;

        // Contributions at or beyond the width belong to pixels right of the
        // mask and are dropped; they must not spill into the next row.
        float* row = cells + y * width;
        auto add = [&](int64_t c, double v) {
            if (c < width)
                row[c] += static_cast<float>(v);
        };
        // xl lies in [0, width): truncation is its floor.
        int64_t xli = static_cast<int64_t>(xl);
        double xlf = static_cast<double>(xli);
        if (xr <= xlf + 1) {
            double m = (xl + xr) * 0.5 - xlf;
            row[xli] += static_cast<float>(d - d * m);
            add(xli + 1, d * m);
            continue;
        }
        // Past width + 2 only dropped cells move, so the end is capped before
        // it becomes an integer.
        int64_t xri;
        double f1;
        if (xr < widthF + 2) {
            xri = static_cast<int64_t>(xr);
            if (static_cast<double>(xri) < xr)
                ++xri;
            f1 = xr - static_cast<double>(xri) + 1;
        } else {
            xri = width + 2;
            f1 = 0;
        }
        // d / (xr - xl): the area the edge adds per unit of x in this row.
        double ds;
        if (clipped) {
            ds = d / (xr - xl);
        } else {
            if (slopeArea == 0)
                slopeArea = direction / std::fabs(dxdy);
            ds = slopeArea;
        }
        double f0 = xl - xlf;
        double da0 = 0.5 * ds * (1 - f0) * (1 - f0);
        double dam = 0.5 * ds * f1 * f1;
        row[xli] += static_cast<float>(da0);
        if (xri == xli + 2) {
            add(xli + 1, d - da0 - dam);
        } else {
            double da1 = ds * (1.5 - f0);
            add(xli + 1, da1 - da0);
            float step = static_cast<float>(ds);
            int64_t last = std::min(xri - 2, width - 1);
            for (int64_t c = xli + 2; c <= last; ++c)
                row[c] += step;
            double da2 = da1 + static_cast<double>(xri - xli - 3) * ds;
            add(xri - 1, d - da2 - dam);
        }
        add(xri, dam);
    }
}

// A steep edge (|dx| <= |dy|, so at most a pixel wide in any row) lying
// inside the mask clear of its last column, as every glyph edge does in its
// padded box; top < bottom. It needs no clipping, and every row's piece
// reaches cells xli, xli + 1 and xli + 2 only. Whether a piece crosses into
// the next cell changes from row to row in no pattern, so the shares come
// from one set of formulas that hold either way (a piece that stays in its
// cell gives xli + 2 exactly 0) instead of a branch that would often be
// mispredicted.
[[gnu::noinline]] void addSteepEdge(
    float* cells, int64_t width, double xTop, double top, double xBottom, double bottom, double direction)
{
    const double dxdy = (xBottom - xTop) / (bottom - top);
    int64_t y = static_cast<int64_t>(top);
    float* row = cells + y * width;
    if (!(std::fabs(dxdy) > 1e-12)) {
        // Vertical for every purpose: the same two cells in every row.
        const int64_t xi = static_cast<int64_t>(xTop);
        const double room = static_cast<double>(xi + 1) - xTop;
        for (double ya = top; ya < bottom; ya = static_cast<double>(++y), row += width) {
            const double d = (std::min(static_cast<double>(y + 1), bottom) - ya) * direction;
            row[xi] += static_cast<float>(d * room);
            row[xi + 1] += static_cast<float>(d - d * room);
        }
        return;
    }
    // The area a piece adds per unit of its width.
    const double slopeArea = direction / std::fabs(dxdy);
    // Stepped x stays within the edge's own range, so rounding never takes
    // a piece out of the mask.
    const double left = std::min(xTop, xBottom), right = std::max(xTop, xBottom);
    double x = xTop;
    for (double ya = top; ya < bottom; ya = static_cast<double>(++y), row += width) {
        const double dy = std::min(static_cast<double>(y + 1), bottom) - ya;
        const double d = dy * direction;
        const double stepped = x + dxdy * dy;
        const double xNext = stepped < left ? left : stepped > right ? right : stepped;
        const double xl = std::min(x, xNext), xr = std::max(x, xNext);
        x = xNext;
        const int64_t xli = static_cast<int64_t>(xl);
        const double room = static_cast<double>(xli + 1) - xl;  // (0, 1]: the first cell right of xl
        const double w = xr - xl;
        const double first = std::min(w, room);  // the piece's width in the first cell
        const double over = w - first;           // and in the next
        const double a0 = 0.5 * slopeArea * first * (2 * room - first);
        const double a2 = 0.5 * slopeArea * over * over;
        row[xli] += static_cast<float>(a0);
        row[xli + 1] += static_cast<float>(d - a0 - a2);
        row[xli + 2] += static_cast<float>(a2);
    }
}

// Glyph edges, and the pieces of flattened curves at text sizes above all,
// are mostly steep and lie inside the padded box: those take addSteepEdge,
// the rest addLongEdge, which clips.
[[gnu::always_inline]] inline void addEdge(Rasterizer& r, double x0, double y0, double x1, double y1)
{
    if (!(y0 < y1) && !(y0 > y1))
        return;  // horizontal, or a NaN
    const bool down = y0 < y1;
    const double top = std::min(y0, y1), bottom = std::max(y0, y1);
    const double xTop = down ? x0 : x1, xBottom = down ? x1 : x0;
    const double lastX = static_cast<double>(r.width) - 1;
    // Each end's x is tested, so a NaN fails.
    if (top >= 0 && bottom <= static_cast<double>(r.height) && x0 >= 0 && x1 >= 0 && x0 < lastX && x1 < lastX
        && std::fabs(x1 - x0) <= bottom - top) {
        addSteepEdge(r.accumulation.data(), r.width, xTop, top, xBottom, bottom, down ? 1.0 : -1.0);
        return;
    }
    addLongEdge(r, x0, y0, x1, y1);
}

}  // namespace

void addLine(Rasterizer& r, double x0, double y0, double x1, double y1) { addEdge(r, x0, y0, x1, y1); }

namespace {

// Flattened curves stay within 1/16 pixel of the true curve. Cutting a curve
// at n equal steps of t leaves each chord at most h^2/8 * max|B''| away from
// it (h = 1/n); that bound gives the counts below. The cap only binds for
// curves thousands of pixels across, where the error stays below a pixel.
constexpr int kMaxCurveSegments = 256;

// The smallest n >= 1 with k / n^2 <= 1/16, capped; NaN or infinite input
// gives the cap.
int segmentsFor(double k)
{
    if (!(k > 1.0 / 16))
        return 1;  // also a NaN, whose lines add nothing anyway
    if (!(k < 1.0 / 16 * kMaxCurveSegments * kMaxCurveSegments))
        return kMaxCurveSegments;
    return int(std::ceil(std::sqrt(16 * k)));
}

// Curves at text sizes take few segments. For them the count comes from
// comparisons instead of two square roots, and the Bernstein weights of
// t = i / n from tables instead of a division per point; both give the
// same numbers as the formulas, bit for bit.
constexpr int kTabledSegments = 16;
constexpr int kTabledEntries = kTabledSegments * (kTabledSegments - 1) / 2;

// The first entry of n's weights: n - 1 of them follow, for i = 1 .. n - 1.
constexpr int tableStart(int n) { return (n - 1) * (n - 2) / 2; }

constexpr std::array<std::array<double, 3>, kTabledEntries> kQuadraticWeights = [] {
    std::array<std::array<double, 3>, kTabledEntries> table{};
    for (int n = 2; n <= kTabledSegments; ++n)
        for (int i = 1; i < n; ++i) {
            double t = static_cast<double>(i) / n, u = 1 - t;
            table[tableStart(n) + i - 1] = {u * u, 2 * u * t, t * t};
        }
    return table;
}();

constexpr std::array<std::array<double, 4>, kTabledEntries> kCubicWeights = [] {
    std::array<std::array<double, 4>, kTabledEntries> table{};
    for (int n = 2; n <= kTabledSegments; ++n)
        for (int i = 1; i < n; ++i) {
            double t = static_cast<double>(i) / n, u = 1 - t;
            table[tableStart(n) + i - 1] = {u * u * u, 3 * u * u * t, 3 * u * t * t, t * t * t};
        }
    return table;
}();

// segmentsFor(k) given q = (16 k)^2, or 0 when q is past the tables (or NaN):
// the smallest n >= 1 with n^4 >= q, counted with comparisons that do not
// wait on one another (square roots would put their latency before every
// point of the curve).
constexpr std::array<double, kTabledSegments> kFourthPowers = [] {
    std::array<double, kTabledSegments> powers{};
    for (int m = 1; m <= kTabledSegments; ++m)
        powers[m - 1] = double(m) * m * m * m;
    return powers;
}();

int tabledSegmentsFor(double q)
{
    if (!(q <= kFourthPowers.back()))
        return 0;
#if defined(__SSE2__)
    // Two comparisons at a time; every all-ones lane counts -1.
    const __m128d qq = _mm_set1_pd(q);
    __m128i counts = _mm_setzero_si128();
    for (int m = 0; m < kTabledSegments; m += 2)
        counts = _mm_add_epi64(counts, _mm_castpd_si128(_mm_cmpgt_pd(qq, _mm_loadu_pd(&kFourthPowers[m]))));
    counts = _mm_add_epi64(counts, _mm_unpackhi_epi64(counts, counts));
    return 1 - _mm_cvtsi128_si32(counts);
#else
    int n = 1;
    for (int m = 0; m < kTabledSegments; ++m)
        n += q > kFourthPowers[m];
    return n;
#endif
}

// Curves whose control points all lie above, below or right of the mask add
// nothing, whatever their size: their hull contains them.
bool outsideMask(const Rasterizer& r, std::initializer_list<double> xs, std::initializer_list<double> ys)
{
    const double h = r.height, w = r.width;
    bool above = true, below = true, right = true;
    for (double y : ys) {
        above = above && y <= 0;
        below = below && y >= h;
    }
    for (double x : xs)
        right = right && x >= w;
    return above || below || right;
}

// The squared second differences the chord counts below start from.
double quadraticBend(double x0, double y0, double x1, double y1, double x2, double y2)
{
    double ddx = x0 - 2 * x1 + x2;
    double ddy = y0 - 2 * y1 + y2;
    return ddx * ddx + ddy * ddy;
}

double cubicBend(double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3)
{
    double ax = x0 - 2 * x1 + x2, ay = y0 - 2 * y1 + y2;
    double bx = x1 - 2 * x2 + x3, by = y1 - 2 * y2 + y3;
    return std::max(ax * ax + ay * ay, bx * bx + by * by);
}

// Rows (or columns) of [0, limit) that the span [low, high] reaches.
double cellsSpanned(double low, double high, double limit)
{
    low = std::max(low, 0.0);
    high = std::min(high, limit);
    return high > low ? std::ceil(high) - std::floor(low) : 0;
}

// The work of a curve whose n chords lie in the hull of the given points: a
// step per chord, and for the rows and columns the chords cross, at most
// three crossings each (a cubic turns back at most twice along each axis).
int64_t curveWork(const Rasterizer& r, int n, std::initializer_list<double> xs, std::initializer_list<double> ys)
{
    if (n == 0)
        return kEdgeBaseWork;
    const auto [xl, xh] = std::minmax(xs);
    const auto [yl, yh] = std::minmax(ys);
    return kEdgeBaseWork + n + 3 * int64_t(cellsSpanned(yl, yh, r.height) + cellsSpanned(xl, xh, r.width));
}

}  // namespace

int quadraticLineCount(const Rasterizer& r, double x0, double y0, double x1, double y1, double x2, double y2)
{
    if (outsideMask(r, {x0, x1, x2}, {y0, y1, y2}))
        return 0;
    const double dd = quadraticBend(x0, y0, x1, y1, x2, y2);
    const int n = tabledSegmentsFor(16 * dd);
    return n != 0 ? n : segmentsFor(std::sqrt(dd) / 4);
}

int cubicLineCount(
    const Rasterizer& r, double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3)
{
    if (outsideMask(r, {x0, x1, x2, x3}, {y0, y1, y2, y3}))
        return 0;
    const double mm = cubicBend(x0, y0, x1, y1, x2, y2, x3, y3);
    const int n = tabledSegmentsFor(144 * mm);
    return n != 0 ? n : segmentsFor(0.75 * std::sqrt(mm));
}

int64_t lineWork(const Rasterizer& r, double x0, double y0, double x1, double y1)
{
    return kEdgeBaseWork + int64_t(cellsSpanned(std::min(y0, y1), std::max(y0, y1), r.height))
        + int64_t(cellsSpanned(std::min(x0, x1), std::max(x0, x1), r.width));
}

int64_t quadraticWork(const Rasterizer& r, double x0, double y0, double x1, double y1, double x2, double y2)
{
    return curveWork(r, quadraticLineCount(r, x0, y0, x1, y1, x2, y2), {x0, x1, x2}, {y0, y1, y2});
}

int64_t cubicWork(
    const Rasterizer& r, double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3)
{
    return curveWork(r, cubicLineCount(r, x0, y0, x1, y1, x2, y2, x3, y3), {x0, x1, x2, x3}, {y0, y1, y2, y3});
}

void addQuadratic(Rasterizer& r, double x0, double y0, double x1, double y1, double x2, double y2)
{
    if (outsideMask(r, {x0, x1, x2}, {y0, y1, y2}))
        return;
    // Each of n chords lies at most |P0 - 2 P1 + P2| / (4 n^2) off the curve.
    double dd = quadraticBend(x0, y0, x1, y1, x2, y2);
    int n = tabledSegmentsFor(16 * dd);
    double px = x0, py = y0;
    if (n != 0) {
        const auto* w = &kQuadraticWeights[static_cast<size_t>(tableStart(n))];
        for (int i = 1; i < n; ++i, ++w) {
            double qx = (*w)[0] * x0 + (*w)[1] * x1 + (*w)[2] * x2;
            double qy = (*w)[0] * y0 + (*w)[1] * y1 + (*w)[2] * y2;
            addEdge(r, px, py, qx, qy);
            px = qx;
            py = qy;
        }
        addEdge(r, px, py, x2, y2);
        return;
    }
    n = segmentsFor(std::sqrt(dd) / 4);
    for (int i = 1; i < n; ++i) {
        double t = static_cast<double>(i) / n;
        double u = 1 - t;
        double qx = u * u * x0 + 2 * u * t * x1 + t * t * x2;
        double qy = u * u * y0 + 2 * u * t * y1 + t * t * y2;
        addEdge(r, px, py, qx, qy);
        px = qx;
        py = qy;
    }
    addEdge(r, px, py, x2, y2);
}

void addCubic(Rasterizer& r, double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3)
{
    if (outsideMask(r, {x0, x1, x2, x3}, {y0, y1, y2, y3}))
        return;
    // B'' runs linearly between 6 (P0 - 2 P1 + P2) and 6 (P1 - 2 P2 + P3), so
    // each of n chords lies at most 3 M / (4 n^2) off the curve, M the larger
    // of the two second differences.
    double mm = cubicBend(x0, y0, x1, y1, x2, y2, x3, y3);
    int n = tabledSegmentsFor(144 * mm);
    double px = x0, py = y0;
    if (n != 0) {
        const auto* w = &kCubicWeights[static_cast<size_t>(tableStart(n))];
        for (int i = 1; i < n; ++i, ++w) {
            double qx = (*w)[0] * x0 + (*w)[1] * x1 + (*w)[2] * x2 + (*w)[3] * x3;
            double qy = (*w)[0] * y0 + (*w)[1] * y1 + (*w)[2] * y2 + (*w)[3] * y3;
            addEdge(r, px, py, qx, qy);
            px = qx;
            py = qy;
        }
        addEdge(r, px, py, x3, y3);
        return;
    }
    n = segmentsFor(0.75 * std::sqrt(mm));
    for (int i = 1; i < n; ++i) {
        double t = static_cast<double>(i) / n;
        double u = 1 - t;
        double b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
        double qx = b0 * x0 + b1 * x1 + b2 * x2 + b3 * x3;
        double qy = b0 * y0 + b1 * y1 + b2 * y2 + b3 * y3;
        addEdge(r, px, py, qx, qy);
        px = qx;
        py = qy;
    }
    addEdge(r, px, py, x3, y3);
}

namespace {

uint8_t toByte(double c) { return static_cast<uint8_t>(c * 255 + 0.5); }

// Runs fn(runningSum) -> byte over every pixel, the sum restarting per row.
template <typename Fn>
std::vector<uint8_t> convert(const Rasterizer& r, Fn fn)
{
    size_t width = static_cast<size_t>(r.width);
    std::vector<uint8_t> out(width * static_cast<size_t>(r.height));
    const float* cells = r.accumulation.data();
    for (size_t base = 0; base < out.size(); base += width) {
        float sum = 0.0f;
        for (size_t i = base; i < base + width; ++i) {
            sum += cells[i];
            out[i] = fn(sum);
        }
    }
    return out;
}

// The non-zero rule without a power curve, the one every glyph takes: the
// running sum along a row, |sum| capped at 1 (a NaN sum counts as covered),
// times 255 rounded to a byte. Sums are formed four cells at a time in the
// order a vector prefix sum adds them, so the portable and the vector code
// agree to the bit: with cells a b c d after the sum s so far, the four sums
// are s + a, s + (b + a), s + ((c + b) + a) and s + ((d + c) + (b + a)).
// The scaling is in single precision on both sides, a multiply then an add
// (the build does not fuse them: a fused one would round differently).

uint8_t linearByte(float sum)
{
    const float a = std::fabs(sum);
    return static_cast<uint8_t>(static_cast<int32_t>((a < 1.0f ? a : 1.0f) * 255.0f + 0.5f));
}

// The first `count` cells (at most four) of a block, after the running sum
// `sum`; returns the sum after the block.
float linearBlock(const float* c, uint8_t* o, size_t count, float sum)
{
    float block[4] = {};
    std::copy(c, c + count, block);
    const float ab = block[1] + block[0];
    const float sums[4] = {
        sum + block[0], sum + ab, sum + ((block[2] + block[1]) + block[0]), sum + ((block[3] + block[2]) + ab)};
    for (size_t i = 0; i < count; ++i)
        o[i] = linearByte(sums[i]);
    return sums[3];
}

void convertLinearPortable(const float* cells, uint8_t* out, size_t width, size_t height)
{
    for (size_t y = 0; y < height; ++y) {
        const float* c = cells + y * width;
        uint8_t* o = out + y * width;
        float sum = 0.0f;
        for (size_t i = 0; i < width; i += 4)
            sum = linearBlock(c + i, o + i, std::min<size_t>(4, width - i), sum);
    }
}

#if defined(__SSE2__)
// Four pixels per step. A row's last, partial block reads and writes past
// the row's end when both buffers go on that far (the bytes written there
// belong to the next row, which is converted afterwards); at the very end
// the portable block takes over.
void convertLinearVector(const float* cells, size_t cellCount, uint8_t* out, size_t width, size_t height)
{
    const __m128 signBit = _mm_set1_ps(-0.0f), one = _mm_set1_ps(1.0f);
    const __m128 scale = _mm_set1_ps(255.0f), half = _mm_set1_ps(0.5f);
    const size_t outCount = width * height;
    for (size_t y = 0; y < height; ++y) {
        const size_t base = y * width;
        __m128 sum = _mm_setzero_ps();
        for (size_t i = 0; i < width; i += 4) {
            const size_t at = base + i;
            if (i + 4 > width && (at + 4 > cellCount || at + 4 > outCount)) {
                linearBlock(cells + at, out + at, width - i, _mm_cvtss_f32(sum));
                break;
            }
            __m128 v = _mm_loadu_ps(cells + at);
            v = _mm_add_ps(v, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(v), 4)));
            v = _mm_add_ps(v, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(v), 8)));
            v = _mm_add_ps(v, sum);
            sum = _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3));
            const __m128 a = _mm_min_ps(_mm_andnot_ps(signBit, v), one);  // NaN becomes 1
            const __m128i bytes = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(a, scale), half));
            const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(bytes, bytes), bytes);
            const int32_t four = _mm_cvtsi128_si32(packed);
            std::memcpy(out + at, &four, 4);
        }
    }
}
#endif

std::vector<uint8_t> convertLinear(const Rasterizer& r)
{
    const size_t width = static_cast<size_t>(r.width);
    const size_t height = static_cast<size_t>(r.height);
    std::vector<uint8_t> out(width * height);
#if defined(__SSE2__)
    convertLinearVector(r.accumulation.data(), r.accumulation.size(), out.data(), width, height);
#else
    convertLinearPortable(r.accumulation.data(), out.data(), width, height);
#endif
    return out;
}

}  // namespace

std::vector<uint8_t> coverageToAlphaPortable(const Rasterizer& r)
{
    const size_t width = static_cast<size_t>(r.width);
    const size_t height = static_cast<size_t>(r.height);
    std::vector<uint8_t> out(width * height);
    convertLinearPortable(r.accumulation.data(), out.data(), width, height);
    return out;
}

std::vector<uint8_t> coverageToAlphaGamma(const Rasterizer& r, double power)
{
    if (power == 1.0)
        return convertLinear(r);
    return convert(r, [power](float sum) {
        float a = std::fabs(sum);
        double c = std::pow(static_cast<double>(a < 1.0f ? a : 1.0f), power);
        return toByte(c <= 1.0 ? c : 1.0);  // also bounds a NaN or infinite power
    });
}

std::vector<uint8_t> coverageToAlpha(const Rasterizer& r)
{
    return convert(r, [](float sum) {
        double v = std::fmod(std::fabs(static_cast<double>(sum)), 2.0);
        if (v > 1)
            v = 2 - v;
        if (!(v >= 0))
            v = 1;  // an infinite or NaN sum, as in the non-zero rule
        return toByte(std::min(v, 1.0));
    });
}

}  // namespace qm
