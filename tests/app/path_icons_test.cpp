#include "app/path_icons.h"
#include "app/path_icons_internal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <set>

namespace qm {
namespace {

std::vector<uint8_t> maskOfLines(int32_t size, const std::vector<std::array<double, 4>>& lines)
{
    Rasterizer r = newRasterizer(size, size);
    for (const auto& l : lines)
        addLine(r, l[0], l[1], l[2], l[3]);
    return coverageToAlphaGamma(r, 1.0);
}

std::vector<uint8_t> maskOf(std::string_view path, int32_t size = 24)
{
    Rasterizer r = newRasterizer(size, size);
    flattenPathData(r, path, identityAffine());
    return coverageToAlphaGamma(r, 1.0);
}

bool isEmpty(const std::vector<uint8_t>& mask)
{
    return std::all_of(mask.begin(), mask.end(), [](uint8_t a) { return a == 0; });
}

TEST(PathTokens, TableOfTexts)
{
    struct Case {
        const char* text;
        std::vector<std::pair<char, std::vector<double>>> commands;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"M1.5.5", {{'M', {1.5, 0.5}}}},
        {"L10-5", {{'L', {10, -5}}}},
        {"h2e2", {{'h', {200}}}},
        {"M-", {{'M', {}}}},
        {"5 5 M1 1", {{'M', {1, 1}}}},
        {"M1,2\tl+3\n-.5z", {{'M', {1, 2}}, {'l', {3, -0.5}}, {'z', {}}}},
        {"M1e-2 2E+1", {{'M', {0.01, 20}}}},
        {"M1e 3", {{'M', {1}}, {'e', {3}}}},  // an exponent needs digits
        {"M. - .5", {{'M', {0.5}}}},
        {"M1e400 -1e400 1e-400", {{'M', {inf, -inf, 0}}}},
        {"M0.001e-400 123e400", {{'M', {0, inf}}}},
        {"", {}},
    };
    for (const Case& c : cases) {
        auto commands = parsePathCommands(c.text);
        ASSERT_EQ(commands.size(), c.commands.size()) << c.text;
        for (size_t i = 0; i < commands.size(); ++i) {
            EXPECT_EQ(commands[i].letter, c.commands[i].first) << c.text;
            EXPECT_EQ(commands[i].numbers, c.commands[i].second) << c.text;
        }
    }
}

TEST(Affine, ComposesRightToLeft)
{
    Affine m = mulAffine(newAffine(1, 0, 0, 1, 10, 20), scaleAffine(2));
    PathPoint p = applyAffine(m, 1, 1);
    EXPECT_EQ(p.x, 12);
    EXPECT_EQ(p.y, 22);
    Affine n = mulAffine(newAffine(0, 1, -1, 0, 0, 0), newAffine(1, 0, 0, 1, 3, 0));
    p = applyAffine(n, 0, 0);  // translate, then turn a quarter
    EXPECT_DOUBLE_EQ(p.x, 0);
    EXPECT_DOUBLE_EQ(p.y, 3);
}

TEST(Flatten, EdgeCasesOfThePathData)
{
    EXPECT_TRUE(isEmpty(maskOf("M0 0L10 0")));
    auto block = maskOf("M2 2h4v4h-4z");
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x)
            EXPECT_EQ(block[y * 24 + x], (x >= 2 && x <= 5 && y >= 2 && y <= 5) ? 255 : 0) << x << "," << y;
    // Relative repetitions of m are lines from the point each starts at.
    EXPECT_EQ(maskOf("m1 1 2 0 0 2z"), maskOfLines(24, {{1, 1, 3, 1}, {3, 1, 3, 3}, {3, 3, 1, 1}}));
    EXPECT_EQ(maskOf("5 5 M1 1 3 1 3 3z"), maskOf("M1 1 3 1 3 3z"));
    // An S after an L takes the current point as its first control point;
    // one after a C reflects the C's second control.
    EXPECT_EQ(maskOf("M0 0L4 0S8 8 12 12z"), maskOf("M0 0L4 0C4 0 8 8 12 12z"));
    EXPECT_EQ(maskOf("M0 0C0 4 4 8 8 8S16 12 16 16z"), maskOf("M0 0C0 4 4 8 8 8C12 8 16 12 16 16z"));
    EXPECT_EQ(maskOf("M2 2Q10 2 10 10T18 18z"), maskOf("M2 2Q10 2 10 10Q10 18 18 18z"));
    EXPECT_EQ(maskOf("M2 2L10 2T18 18z"), maskOf("M2 2L10 2Q10 2 18 18z"));
    EXPECT_EQ(maskOf("M2 2 h8 Y 1 2 3 v8z"), maskOf("M2 2h8v8z"));       // unknown letters skipped
    EXPECT_EQ(maskOf("M2 2L10 2L10 10L2"), maskOf("M2 2L10 2L10 10z"));  // incomplete group ignored
    // A filled subpath left open is closed, as a fill needs.
    EXPECT_EQ(maskOf("M2 2h4v4h-4M10 10h4v4h-4"), maskOf("M2 2h4v4h-4zM10 10h4v4h-4z"));
}

TEST(Flatten, NonFinitePointsDrawNothing)
{
    EXPECT_FALSE(isEmpty(maskOf("M2 2h4v4h-4z")));
    EXPECT_TRUE(isEmpty(maskOf("M2 2h4v4h-4zM0 0L1e400 0 0 5z")));
    EXPECT_FALSE(isEmpty(maskOf("M2 2h4v4h-4zM0 0L1e308 0 0 5z")));
    Rasterizer r = newRasterizer(24, 24);
    flattenPathData(r, "M2 2h4v4h-4z", scaleAffine(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_TRUE(isEmpty(coverageToAlphaGamma(r, 1.0)));
    flattenPathData(r, "M2 2h4v4h-4zM0 0L1e308 0 0 5z", scaleAffine(10));  // 1e309 after the transform
    EXPECT_TRUE(isEmpty(coverageToAlphaGamma(r, 1.0)));
    flattenPathData(r, "M0 0A1e308 1e308 0 0 1 1e308 1e-308z", identityAffine());  // must not hang or crash
}

TEST(Flatten, WorkBudgetCountsWhatTheRasteriserDraws)
{
    const Rasterizer r = newRasterizer(24, 24);
    const Affine twice = scaleAffine(2);
    int64_t budget = 1000;
    EXPECT_EQ(checkPathData("M0 0L1 1L2 0z", twice, r, budget), PathCheck::ok);
    EXPECT_EQ(budget, 1000 - lineWork(r, 0, 0, 2, 2) - lineWork(r, 2, 2, 4, 0) - lineWork(r, 4, 0, 0, 0));
    // The rasteriser cuts this cubic into 9 lines; the count follows it.
    EXPECT_EQ(cubicLineCount(r, 0, 0, 2, 2, 4, 4, 6, 0), 9);
    budget = 1000;
    EXPECT_EQ(checkPathData("M0 0C1 1 2 2 3 0z", twice, r, budget), PathCheck::ok);
    EXPECT_EQ(budget, 1000 - cubicWork(r, 0, 0, 2, 2, 4, 4, 6, 0) - lineWork(r, 6, 0, 0, 0));
    budget = cubicWork(r, 0, 0, 2, 2, 4, 4, 6, 0) + 1;
    EXPECT_EQ(checkPathData("M0 0C1 1 2 2 3 0C1 1 2 2 3 0", twice, r, budget), PathCheck::tooMuchWork);
}

TEST(Arc, SettledCases)
{
    auto half = arcToCubics(0, 12, 6, 6, 0, false, true, 12, 12);
    ASSERT_EQ(half.size(), 2u);
    EXPECT_NEAR(half[0].end.x, 6, 1e-4);  // centre (6, 12): the middle is the top
    EXPECT_NEAR(half[0].end.y, 6, 1e-4);
    EXPECT_NEAR(half[1].end.x, 12, 1e-4);
    EXPECT_TRUE(arcToCubics(3, 4, 5, 5, 0, false, false, 3, 4).empty());
    auto line = arcToCubics(0, 0, 0, 5, 0, false, false, 7, 8);
    ASSERT_EQ(line.size(), 1u);
    EXPECT_EQ(line[0].control1.x, 0);
    EXPECT_EQ(line[0].control2.x, 7);
    EXPECT_EQ(line[0].end.y, 8);
    // Radii too small for the chord grow until they fit: a half circle.
    EXPECT_EQ(arcToCubics(0, 0, 1, 1, 0, false, true, 10, 0).size(), 2u);
    EXPECT_EQ(arcToCubics(0, 0, std::nan(""), 1, 0, false, true, 10, 0).size(), 1u);
    EXPECT_NEAR(vectorAngle(1, 0, 0, 1), std::numbers::pi / 2, 1e-9);
    EXPECT_NEAR(vectorAngle(0, 1, 1, 0), -std::numbers::pi / 2, 1e-9);
    EXPECT_FALSE(isEmpty(maskOf("M0 12A6 6 0 0 1 12 12z")));
}

// Every cubic of an arc stays close to the true ellipse the arc was cut from.
TEST(Arc, CubicsFollowTheEllipse)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> unit(0, 1);
    double worst = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        ArcEllipse e{unit(rng) * 40 - 20, unit(rng) * 40 - 20, 0.5 + unit(rng) * 30, 0.5 + unit(rng) * 30, 0, 0};
        double phi = unit(rng) * 2 * std::numbers::pi;
        e.cosPhi = std::cos(phi);
        e.sinPhi = std::sin(phi);
        double theta = unit(rng) * 2 * std::numbers::pi;
        double delta = (unit(rng) * 2 - 1) * 1.99 * std::numbers::pi;
        if (std::fabs(delta) < 0.01)
            continue;
        PathPoint a = ellipsePoint(e, theta).point, b = ellipsePoint(e, theta + delta).point;
        auto cubics = arcToCubics(a.x, a.y, e.rx, e.ry, phi * 180 / std::numbers::pi,
            std::fabs(delta) > std::numbers::pi, delta > 0, b.x, b.y);
        ASSERT_FALSE(cubics.empty());
        ASSERT_LE(cubics.size(), 4u);
        EXPECT_NEAR(cubics.back().end.x, b.x, 1e-6);
        EXPECT_NEAR(cubics.back().end.y, b.y, 1e-6);
        PathPoint start = a;
        for (const CubicSegment& c : cubics) {
            for (int i = 0; i <= 32; ++i) {
                double t = i / 32.0, u = 1 - t;
                double x = u * u * u * start.x + 3 * u * u * t * c.control1.x + 3 * u * t * t * c.control2.x
                    + t * t * t * c.end.x;
                double y = u * u * u * start.y + 3 * u * u * t * c.control1.y + 3 * u * t * t * c.control2.y
                    + t * t * t * c.end.y;
                // Into the ellipse's own frame, where it is the unit circle scaled.
                double dx = x - e.cx, dy = y - e.cy;
                double ex = (e.cosPhi * dx + e.sinPhi * dy) / e.rx;
                double ey = (-e.sinPhi * dx + e.cosPhi * dy) / e.ry;
                double s = std::hypot(ex, ey);
                double distance = std::hypot(dx, dy) * std::fabs(1 - 1 / s);
                worst = std::max(worst, distance / std::max(e.rx, e.ry));
            }
            start = c.end;
        }
    }
    EXPECT_LT(worst, 0.0025);
}

TEST(BuiltinIcons, TheTable)
{
    auto table = builtinIconPaths();
    ASSERT_EQ(table.size(), 70u);
    std::set<std::string_view> names;
    for (size_t i = 0; i < table.size(); ++i) {
        names.insert(table[i].name);
        if (i > 0) {
            EXPECT_LT(table[i - 1].name, table[i].name);
        }
        auto mask = rasterizePath(table[i].pathData, 24);
        EXPECT_GT(std::count_if(mask.begin(), mask.end(), [](uint8_t a) { return a > 128; }), 10) << table[i].name;
    }
    EXPECT_EQ(names.size(), 70u);
    EXPECT_EQ(*builtinIconPath("add"), "M19 13h-6v6h-2v-6H5v-2h6V5h2v6h6v2z");
    EXPECT_EQ(*builtinIconPath("bolt"), "M7 2v11h3v9l7-12h-4l4-8z");
    EXPECT_EQ(*builtinIconPath("chevron_down"), "M16.59 8.59L12 13.17 7.41 8.59 6 10l6 6 6-6z");
    EXPECT_EQ(*builtinIconPath("shield"), "M12 1L3 5v6c0 5.55 3.84 10.74 9 12 5.16-1.26 9-6.45 9-12V5l-9-4z");
    EXPECT_EQ(builtinIconPath("sync_done"), builtinIconPath("check_circle"));
    EXPECT_EQ(builtinIconPath("recur"), builtinIconPath("sync"));
    EXPECT_FALSE(builtinIconPath("Add"));
    EXPECT_FALSE(builtinIconPath(""));
}

}  // namespace
}  // namespace qm
