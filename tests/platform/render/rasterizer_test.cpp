#include "platform/render/rasterizer.h"
#include "platform/render/rasterizer_internal.h"

#include "core/errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace qm {
namespace {

using Mask = std::vector<uint8_t>;

void addPolygon(Rasterizer& r, const std::vector<std::pair<double, double>>& points)
{
    for (size_t i = 0; i < points.size(); ++i) {
        auto [x0, y0] = points[i];
        auto [x1, y1] = points[(i + 1) % points.size()];
        addLine(r, x0, y0, x1, y1);
    }
}

void addRect(Rasterizer& r, double l, double t, double rt, double b, bool clockwise = true)
{
    if (clockwise)
        addPolygon(r, {{l, t}, {rt, t}, {rt, b}, {l, b}});
    else
        addPolygon(r, {{l, t}, {l, b}, {rt, b}, {rt, t}});
}

Mask rectMask(int w, int h, double l, double t, double rt, double b)
{
    Rasterizer r = newRasterizer(w, h);
    addRect(r, l, t, rt, b);
    return coverageToAlphaGamma(r, 1.0);
}

TEST(Rasterizer, NewAndClear)
{
    Rasterizer r = newRasterizer(3, 2);
    EXPECT_EQ(r.accumulation, std::vector<float>(7, 0.0f));
    addRect(r, 0, 0, 2, 2);
    clearRasterizer(r);
    EXPECT_EQ(r.accumulation, std::vector<float>(7, 0.0f));
    EXPECT_EQ(coverageToAlphaGamma(r, 1.0), Mask(6, 0));

    Rasterizer empty = newRasterizer(0, 5);
    EXPECT_EQ(empty.accumulation.size(), 1u);
    addRect(empty, -1, -1, 3, 3);
    EXPECT_TRUE(coverageToAlphaGamma(empty, 1.0).empty());
    EXPECT_TRUE(coverageToAlpha(empty).empty());

    EXPECT_THROW(newRasterizer(70000, 70000), ValueError);
    EXPECT_THROW(newRasterizer(-1, 5), ValueError);
    EXPECT_THROW(newRasterizer(-2, -3), ValueError);
}

TEST(Rasterizer, WorkedExamples)
{
    Rasterizer r = newRasterizer(4, 3);
    addLine(r, 0, 1, 3, 1);
    EXPECT_EQ(r.accumulation, std::vector<float>(13, 0.0f));  // horizontal edges add nothing

    // clang-format off
    EXPECT_EQ(rectMask(4, 4, 1, 1, 3, 3), (Mask{
        0, 0,   0,   0,
        0, 255, 255, 0,
        0, 255, 255, 0,
        0, 0,   0,   0}));
    EXPECT_EQ(rectMask(3, 3, 0.5, 0.5, 1.5, 1.5), (Mask{
        64, 64, 0,
        64, 64, 0,
        0,  0,  0}));
    // A triangle: half of each diagonal pixel.
    Rasterizer tri = newRasterizer(3, 3);
    addPolygon(tri, {{0, 0}, {3, 3}, {0, 3}});
    EXPECT_EQ(coverageToAlphaGamma(tri, 1.0), (Mask{
        128, 0,   0,
        255, 128, 0,
        255, 255, 128}));
    // clang-format on
}

// The conversion the build picks (vector where available) and the portable
// one give the same bytes, whatever the cells hold: sums that cancel, pass
// 1 or go negative, and infinities and NaN, at row widths around the vector
// width, where a row's last block runs past its end and, in the last row,
// past the buffers.
TEST(Rasterizer, CoverageConversionsAgree)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> small(-1.5f, 1.5f);
    const float odd[] = {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(), std::nanf(""),
        1e30f, -0.0f, 0.5f, 1.0f / 255};
    for (int width = 0; width <= 13; ++width) {
        for (int height = 1; height <= 3; ++height) {
            Rasterizer r = newRasterizer(width, height);
            for (int round = 0; round < 20; ++round) {
                for (float& c : r.accumulation)
                    c = random() % 8 == 0 ? odd[random() % std::size(odd)] : small(random);
                ASSERT_EQ(coverageToAlphaGamma(r, 1.0), coverageToAlphaPortable(r)) << width << "x" << height;
            }
        }
    }
}

TEST(Rasterizer, DirectionAndFillRules)
{
    Rasterizer cw = newRasterizer(6, 6), ccw = newRasterizer(6, 6);
    addRect(cw, 0.3, 1.2, 4.7, 5.1, true);
    addRect(ccw, 0.3, 1.2, 4.7, 5.1, false);
    EXPECT_EQ(coverageToAlphaGamma(cw, 1.0), coverageToAlphaGamma(ccw, 1.0));
    EXPECT_EQ(coverageToAlpha(cw), coverageToAlpha(ccw));

    Rasterizer overlap = newRasterizer(4, 1);
    addRect(overlap, 0, 0, 3, 1);
    addRect(overlap, 1, 0, 4, 1);
    EXPECT_EQ(coverageToAlphaGamma(overlap, 1.0), (Mask{255, 255, 255, 255}));
    EXPECT_EQ(coverageToAlpha(overlap), (Mask{255, 0, 0, 255}));
    // A third layer is odd again; an opposite one cancels under both rules.
    addRect(overlap, 2, 0, 3, 1);
    EXPECT_EQ(coverageToAlpha(overlap), (Mask{255, 0, 255, 255}));
    Rasterizer hole = newRasterizer(3, 1);
    addRect(hole, 0, 0, 3, 1, true);
    addRect(hole, 1, 0, 2, 1, false);
    EXPECT_EQ(coverageToAlphaGamma(hole, 1.0), (Mask{255, 0, 255}));
}

TEST(Rasterizer, PowerCurve)
{
    Rasterizer r = newRasterizer(2, 1);
    addRect(r, 0, 0, 1, 0.5);
    addRect(r, 1, 0, 2, 1);
    EXPECT_EQ(coverageToAlphaGamma(r, 1.0), (Mask{128, 255}));
    EXPECT_EQ(coverageToAlphaGamma(r, 0.5), (Mask{180, 255}));
    EXPECT_EQ(coverageToAlphaGamma(r, 2.0), (Mask{64, 255}));
    for (double odd : {std::nan(""), -1.0, std::numeric_limits<double>::infinity()}) {
        Mask m = coverageToAlphaGamma(r, odd);
        EXPECT_EQ(m[1], 255) << odd;
    }
}

TEST(Rasterizer, ShapesReachingOutsideAreClipped)
{
    // Left of column 0 counts as on it; above row 0 and below the last row are cut.
    EXPECT_EQ(rectMask(3, 2, -5, -3, 1.5, 9), (Mask{255, 128, 0, 255, 128, 0}));
    // Right of the mask is dropped without touching the next row.
    EXPECT_EQ(rectMask(3, 3, 2.5, 1, 10, 2), (Mask{0, 0, 0, 0, 0, 128, 0, 0, 0}));
    EXPECT_EQ(rectMask(3, 2, 1, 0, 2.75, 1), (Mask{0, 255, 191, 0, 0, 0}));
    Rasterizer slanted = newRasterizer(3, 2);
    addPolygon(slanted, {{1, 0}, {50, 0}, {2.5, 1}});
    EXPECT_EQ(coverageToAlphaGamma(slanted, 1.0)[3], 0);
    EXPECT_EQ(slanted.accumulation[3], 0.0f);
    EXPECT_EQ(slanted.accumulation[6], 0.0f);
    // Edges exactly on the right border add nothing.
    EXPECT_EQ(rectMask(2, 2, 0, 0, 2, 2), Mask(4, 255));
    EXPECT_EQ(rectMask(2, 2, 3, 0, 4, 2), Mask(4, 0));
}

TEST(Rasterizer, NonFiniteAndHugeCoordinates)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::nan("");
    // A vertical band from infinitely far up to infinitely far down.
    Rasterizer band = newRasterizer(4, 3);
    addLine(band, 1, -inf, 1, inf);
    addLine(band, 3, inf, 3, -inf);
    EXPECT_EQ(coverageToAlphaGamma(band, 1.0), (Mask{0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0}));

    Rasterizer r = newRasterizer(8, 8);
    const double odd[] = {nan, inf, -inf, 1e30, -1e30, 1e300, -1e300, 3.5};
    for (double a : odd) {
        for (double b : odd) {
            addLine(r, a, 0, b, 8);
            addLine(r, 2, a, 5, b);
            addLine(r, a, b, 4, 4);
            addQuadratic(r, a, 1, 4, b, 7, 7);
            addCubic(r, 0, 0, a, b, b, a, 8, 8);
        }
    }
    for (uint8_t v : coverageToAlphaGamma(r, 1.0))
        (void)v;  // only needs to finish without undefined behaviour
    EXPECT_EQ(coverageToAlpha(r).size(), 64u);

    // A NaN y adds nothing.
    Rasterizer none = newRasterizer(2, 2);
    addLine(none, 0, nan, 1, 1);
    addLine(none, 0, 0, 1, nan);
    EXPECT_EQ(none.accumulation, std::vector<float>(5, 0.0f));
}

TEST(Rasterizer, CurvesFlattenIntoLines)
{
    auto sameCells = [](const Rasterizer& a, const Rasterizer& b) { return a.accumulation == b.accumulation; };
    // A control point on the chord makes one line.
    Rasterizer flat = newRasterizer(8, 8), line = newRasterizer(8, 8);
    addQuadratic(flat, 1, 1, 3.2, 3.2, 6, 6);
    addLine(line, 1, 1, 6, 6);
    EXPECT_TRUE(sameCells(flat, line));

    auto quadraticByHand = [](Rasterizer& r, int n, double x0, double y0, double x1, double y1, double x2, double y2) {
        double px = x0, py = y0;
        for (int i = 1; i <= n; ++i) {
            double t = double(i) / n, u = 1 - t;
            double qx = u * u * x0 + 2 * u * t * x1 + t * t * x2, qy = u * u * y0 + 2 * u * t * y1 + t * t * y2;
            addLine(r, px, py, qx, qy);
            px = qx;
            py = qy;
        }
    };
    // The fewest segments that keep every chord within 1/16 pixel of the
    // curve: a control point h above the chord makes |P0 - 2 P1 + P2| = 2h,
    // each of n chords lies 2h / (4 n^2) off the curve.
    for (double h : {0.1, 0.125, 0.13, 0.5, 1.0, 2.0, 8.0 / 3, 5.0, 13.5, 40.0, 200.0, 400.0}) {
        int n = 1;
        while (2 * h / (4.0 * n * n) > 1.0 / 16)
            ++n;
        EXPECT_EQ(n == 1, h <= 0.125) << h;
        Rasterizer got = newRasterizer(8, 8), want = newRasterizer(8, 8);
        addQuadratic(got, 1, 7, 4, 7 - h, 7, 7);
        quadraticByHand(want, n, 1, 7, 4, 7 - h, 7, 7);
        EXPECT_TRUE(sameCells(got, want)) << h << " " << n;
        EXPECT_EQ(quadraticLineCount(got, 1, 7, 4, 7 - h, 7, 7), n) << h;
    }
    // However sharp the bend, the curve is cut into at most 256 segments.
    Rasterizer wild = newRasterizer(8, 8), wildByHand = newRasterizer(8, 8);
    addQuadratic(wild, 0, 0, 1e6, -1e6, 8, 8);
    quadraticByHand(wildByHand, 256, 0, 0, 1e6, -1e6, 8, 8);
    EXPECT_TRUE(sameCells(wild, wildByHand));
    EXPECT_EQ(quadraticLineCount(wild, 0, 0, 1e6, -1e6, 8, 8), 256);
    EXPECT_EQ(cubicLineCount(wild, 0, 0, 1e6, -1e6, -1e6, 1e6, 8, 8), 256);
    // A curve whose control points all lie outside the mask adds nothing.
    Rasterizer outside = newRasterizer(8, 8);
    addQuadratic(outside, 0, -1, 1e9, -1e9, 8, 0);
    addCubic(outside, 9, 0, 1e9, 4, 1e9, 8, 8, 9);
    EXPECT_EQ(outside.accumulation, std::vector<float>(65, 0.0f));
    EXPECT_EQ(quadraticLineCount(outside, 0, -1, 1e9, -1e9, 8, 0), 0);
    EXPECT_EQ(cubicLineCount(outside, 9, 0, 1e9, 4, 1e9, 8, 8, 9), 0);

    // Cubics: second differences (2, 23) and (-2, -23) give M = sqrt(533),
    // and n = ceil(sqrt(12 M)) = 17 chords within 3 M / (4 n^2) <= 1/16.
    Rasterizer cubic = newRasterizer(8, 8), cubicByHand = newRasterizer(8, 8);
    addCubic(cubic, 0, 7, 2, -3, 6, 10, 8, 0);
    double px = 0, py = 7;
    const int n = 17;
    for (int i = 1; i <= n; ++i) {
        double t = double(i) / n, u = 1 - t;
        double qx = 3 * u * u * t * 2 + 3 * u * t * t * 6 + t * t * t * 8;
        double qy = u * u * u * 7 + 3 * u * u * t * -3 + 3 * u * t * t * 10;
        if (i == n)
            qx = 8, qy = 0;
        addLine(cubicByHand, px, py, qx, qy);
        px = qx;
        py = qy;
    }
    EXPECT_TRUE(sameCells(cubic, cubicByHand));
    EXPECT_EQ(cubicLineCount(cubic, 0, 7, 2, -3, 6, 10, 8, 0), n);
}

TEST(Rasterizer, WorkCountsCallsLinesRowsAndColumns)
{
    const Rasterizer r = newRasterizer(8, 8);
    const int64_t base = kEdgeBaseWork;
    const struct {
        double x0, y0, x1, y1;
        int64_t rowsAndColumns;
    } lines[] = {
        {0, 0, 8, 8, 16},                                       // corner to corner
        {1.5, 2.5, 1.5, 3.5, 2},                                // one column, two rows touched
        {0, -5, 8, -9, 8},                                      // above: only the columns
        {-1e300, 1e300, 1e300, -1e300, 16}, {20, 0, 30, 8, 8},  // right of the mask: the rows are still walked
    };
    for (const auto& l : lines)
        EXPECT_EQ(lineWork(r, l.x0, l.y0, l.x1, l.y1), base + l.rowsAndColumns) << l.x0 << " " << l.y0;
    // A curve: a step per line it is cut into, three per row and column of its hull.
    EXPECT_EQ(cubicWork(r, 0, 7, 2, -3, 6, 10, 8, 0), base + 17 + 3 * (8 + 8));
    EXPECT_EQ(quadraticWork(r, 1, 1, 3.2, 3.2, 6, 6), base + quadraticLineCount(r, 1, 1, 3.2, 3.2, 6, 6) + 3 * (5 + 5));
    EXPECT_EQ(cubicWork(r, 9, 0, 1e9, 4, 1e9, 8, 8, 9), base);  // outside: nothing drawn
    EXPECT_EQ(cubicWork(r, 0, 0, 1e9, -1e9, -1e9, 1e9, 8, 8), base + 256 + 3 * (8 + 8));
}

TEST(Rasterizer, CircleAreaMatchesGeometry)
{
    // Total coverage of a filled circle approximates pi r^2: the chords lie
    // inside it, at most 1/16 pixel off, so it loses less than a sixteenth
    // of its circumference.
    Rasterizer r = newRasterizer(20, 20);
    const double c = 10, radius = 8, k = 0.5522847498 * radius;
    addCubic(r, c + radius, c, c + radius, c + k, c + k, c + radius, c, c + radius);
    addCubic(r, c, c + radius, c - k, c + radius, c - radius, c + k, c - radius, c);
    addCubic(r, c - radius, c, c - radius, c - k, c - k, c - radius, c, c - radius);
    addCubic(r, c, c - radius, c + k, c - radius, c + radius, c - k, c + radius, c);
    double area = 0;
    for (uint8_t v : coverageToAlphaGamma(r, 1.0))
        area += v / 255.0;
    EXPECT_LE(area, M_PI * radius * radius + 0.3);
    EXPECT_GE(area, M_PI * radius * radius - 2 * M_PI * radius / 16);
}

}  // namespace
}  // namespace qm
