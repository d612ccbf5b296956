#include "ui/icons.h"

#include "ui_harness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace qm {
namespace {

using testing::Shape;
using testing::UiHarness;

std::vector<Shape> drawOne(UiHarness& h, IconKind kind, Rect rect)
{
    h.frame([&] { drawIcon(*h.ctx->renderer, kind, rect, colorBlack, 1.0); });
    return h.shapes();
}

double lineWidthOf(const Shape& s)
{
    return 2 * s.q[0];  // lines carry half their width
}

TEST(Icons, StrokeWidthsAndSquareFit)
{
    UiHarness h;
    struct Case {
        IconKind kind;
        Rect rect;
        double width;
    } cases[] = {
        {icClose, {0, 0, 16, 16}, 1.3 * 1.36}, {icClose, {0, 0, 10, 10}, 1.3}, {icCheck, {0, 0, 20, 20}, 2.72}};
    for (const Case& c : cases) {
        std::vector<Shape> s = drawOne(h, c.kind, c.rect);
        ASSERT_FALSE(s.empty());
        EXPECT_NEAR(lineWidthOf(s[0]), c.width, 1e-5) << iconName(c.kind);
    }
    // A 40 x 20 rect at (100, 50): the 20-pixel square starts at (110, 50).
    std::vector<Shape> s = drawOne(h, icClose, {100, 50, 40, 20});
    EXPECT_NEAR(s[0].p[0], 110 + 0.25 * 20, 1e-4);
    EXPECT_NEAR(s[0].p[1], 50 + 0.25 * 20, 1e-4);
}

TEST(Icons, ExactDrawings)
{
    UiHarness h;
    auto endpoints = [&](IconKind k) {
        std::vector<std::array<double, 4>> out;
        for (const Shape& s : drawOne(h, k, {0, 0, 100, 100}))
            if (s.mode == modeLine)
                out.push_back({std::round(s.p[0] * 100) / 100, std::round(s.p[1] * 100) / 100,
                    std::round(s.p[2] * 100) / 100, std::round(s.p[3] * 100) / 100});
        return out;
    };
    using E = std::vector<std::array<double, 4>>;
    EXPECT_EQ(endpoints(icCheck), (E{{18, 52, 40, 74}, {40, 74, 82, 30}}));
    EXPECT_EQ(endpoints(icChevronDown), (E{{25, 38, 50, 63}, {50, 63, 75, 38}}));
    EXPECT_EQ(endpoints(icClose), (E{{25, 25, 75, 75}, {75, 25, 25, 75}}));
    EXPECT_EQ(endpoints(icPlus), (E{{20, 50, 80, 50}, {50, 20, 50, 80}}));
    E undo = endpoints(icUndo);
    ASSERT_EQ(undo.size(), 3u + 10u);  // three lines, then an 11-point arc
    EXPECT_EQ(undo[0], (std::array<double, 4>{20, 45, 60, 45}));
    EXPECT_EQ(undo[3][0], 60);
    EXPECT_EQ(undo[3][1], 45);
    EXPECT_EQ(undo.back()[2], 60);
    EXPECT_EQ(undo.back()[3], 79);
    E del = endpoints(icDelete);
    EXPECT_EQ(del.size(), 4u + 4u + 2u);
}

TEST(Icons, ArrowWithCoincidingPointsDividesByNothing)
{
    UiHarness h;
    h.frame([&] {
        IconPen pen;
        pen.size = 20;
        pen.renderer = h.ctx->renderer.get();
        pen.color = colorBlack;
        pen.stroke = 1.7;
        iconArrow(0.5, 0.5, 0.5, 0.5, pen);
    });
    std::vector<Shape> s = h.shapes();
    ASSERT_EQ(s.size(), 3u);
    for (const Shape& line : s)
        for (float v : line.p)
            EXPECT_FLOAT_EQ(v, 10);
}

// Every icon draws something, all of it inside its square (geometry, not
// the anti-aliasing margin); icNone draws nothing; every value has a name.
TEST(Icons, AllNamedAndInsideTheirSquare)
{
    UiHarness h;
    std::set<std::string_view> names;
    Rect square{200, 100, 48, 48};
    for (int k = 0; k < kIconKinds; ++k) {
        IconKind kind = IconKind(k);
        names.insert(iconName(kind));
        std::vector<Shape> s = drawOne(h, kind, square);
        if (kind == icNone) {
            EXPECT_TRUE(s.empty());
            continue;
        }
        EXPECT_FALSE(s.empty()) << iconName(kind);
        double lo = -1e-6, hi = 1 + 1e-6;
        auto inside = [&](double x, double y) {
            double u = (x - square.x) / square.w, v = (y - square.y) / square.h;
            return u >= lo && u <= hi && v >= lo && v <= hi;
        };
        for (const Shape& sh : s) {
            bool ok = true;
            if (sh.mode == modeLine)
                ok = inside(sh.p[0], sh.p[1]) && inside(sh.p[2], sh.p[3]);
            else if (sh.mode == modeRing)
                ok = inside(sh.p[0] - sh.p[2], sh.p[1] - sh.p[2]) && inside(sh.p[0] + sh.p[2], sh.p[1] + sh.p[2]);
            else if (sh.mode == modeRoundRect || sh.mode == modeRoundOutline || sh.mode == modeFlat)
                ok = inside(sh.rect.x, sh.rect.y) && inside(sh.rect.x + sh.rect.w, sh.rect.y + sh.rect.h);
            EXPECT_TRUE(ok) << iconName(kind) << " mode " << sh.mode;
        }
    }
    EXPECT_EQ(names.size(), size_t(kIconKinds));
    EXPECT_EQ(iconName(icClose), "icClose");
    EXPECT_EQ(iconName(icNone), "icNone");
    EXPECT_EQ(iconName(IconKind(138)), "icImageRelief");
}

}  // namespace
}  // namespace qm
