#include "app/svg.h"
#include "app/svg_internal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace qm {
namespace {

std::string svg(const std::string& body, const std::string& root = R"(width="24" height="24")")
{
    return "<svg " + root + ">" + body + "</svg>";
}

int countAbove(const std::vector<uint8_t>& mask, int level = 0)
{
    return static_cast<int>(std::count_if(mask.begin(), mask.end(), [&](uint8_t a) { return a > level; }));
}

pugi::xml_node firstChild(pugi::xml_document& doc, const std::string& xml)
{
    EXPECT_TRUE(doc.load_string(xml.c_str()));
    return doc.first_child();
}

TEST(SvgDocument, SizeAndViewBox)
{
    // 24 x 24 without a view box: the same as the path drawn on the grid.
    EXPECT_EQ(renderSvgMask(svg(R"(<path d="M2 2h4v4h-4z"/>)"), 64), rasterizePath("M2 2h4v4h-4z", 64));
    EXPECT_TRUE(renderSvgMask(svg(R"(<path d="M2 2h4v4h-4z"/>)", ""), 64).empty());
    // 0 0 48 24: scale 4/3, 16 pixels down.
    auto wide = renderSvgMask(svg(R"(<rect width="48" height="24"/>)", R"(viewBox="0 0 48 24")"), 64);
    ASSERT_EQ(wide.size(), 64u * 64u);
    for (int y = 0; y < 64; ++y)
        EXPECT_EQ(wide[y * 64 + 30], (y >= 16 && y < 48) ? 255 : 0) << y;
    // Three numbers are no view box: width and height serve.
    EXPECT_EQ(renderSvgMask(svg(R"(<path d="M2 2h4v4h-4z"/>)", R"(width="24" height="24" viewBox="0 0 48")"), 64),
        rasterizePath("M2 2h4v4h-4z", 64));
    // A view box away from the origin moves the picture back into the square.
    EXPECT_EQ(renderSvgMask(svg(R"(<path d="M12 12h4v4h-4z"/>)", R"(viewBox="10 10 24 24")"), 64),
        rasterizePath("M2 2h4v4h-4z", 64));
    EXPECT_TRUE(renderSvgMask(svg(R"(<rect width="4" height="4"/>)", R"(viewBox="0 0 -4 4")"), 64).empty());
    EXPECT_TRUE(renderSvgMask(svg(R"(<rect width="4" height="4"/>)"), 0).empty());
}

TEST(SvgDocument, RefusedDocuments)
{
    const char* bad[] = {
        "",
        "<svg width='24' height='24'><rect width='4' height='4'>",  // not closed
        "<html><svg width='24' height='24'><rect width='4' height='4'/></svg></html>",
        "<SVG width='24' height='24'><rect width='4' height='4'/></SVG>",
        "<svg width='24' height='24'><line x1='0' y1='0' x2='20' y2='20'/></svg>",
        "<svg width='24' height='24'><defs><rect width='4' height='4'/></defs></svg>",
        "<svg width='24' height='24'><path d='M2 2h20v20z' fill='none' stroke='black'/></svg>",
        "<svg width='1e400' height='24'><rect width='4' height='4'/></svg>",
        "<svg width='24' height='24'><rect width='1e308' height='1e308'/></svg>",
        "<svg width='24' height='24'><rect width='NaN' height='4'/></svg>",
        "<svg width='24' height='24'><rect width='4' height='4' transform='scale(1e400)'/></svg>",
    };
    for (const char* text : bad)
        EXPECT_TRUE(renderSvgMask(text, 64).empty()) << text;
}

TEST(SvgDocument, FillDisplayAndVisibility)
{
    struct Case {
        const char* body;
        bool drawn;
    };
    const Case cases[] = {
        {R"(<g fill="none"><rect width="4" height="4"/></g>)", false},
        {R"(<g fill="none"><rect width="4" height="4" fill="red"/></g>)", true},
        {R"(<g fill="none"><g><rect width="4" height="4"/></g></g>)", false},
        {R"(<g display="none"><rect width="4" height="4" fill="red"/></g>)", false},
        {R"(<g visibility="hidden"><rect width="4" height="4" visibility="visible"/></g>)", false},
        {R"(<g style="display: none"><rect width="4" height="4"/></g>)", false},
        {R"(<rect width="4" height="4" visibility="collapse"/>)", true},
        {R"(<rect width="4" height="4" fill="black" style="fill:none"/>)", true},
        {R"(<rect width="4" height="4" style="fill:none;fill:red"/>)", false},
        {R"(<rect width="4" height="4" style=" color:red ; fill : none "/>)", false},
        {R"x(<rect width="4" height="4" fill="url(#gradient)"/>)x", true},
        {R"(<mask><rect width="4" height="4"/></mask><title><rect width="4" height="4"/></title>)", false},
        {R"(<clipPath><rect width="4" height="4"/></clipPath><symbol><rect width="4" height="4"/></symbol>)", false},
        {R"(<foo><svg x="100"><rect width="4" height="4"/></svg></foo>)", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(!renderSvgMask(svg(c.body), 24).empty(), c.drawn) << c.body;
}

TEST(SvgDocument, OverlapsKeepTheLargerCoverage)
{
    // Edges at x = 2.5: column 2 half covered, once or twice.
    auto once = renderSvgMask(svg(R"(<rect x="2.5" y="2" width="4" height="4"/>)"), 24);
    auto twice = renderSvgMask(
        svg(R"(<rect x="2.5" y="2" width="4" height="4"/><rect x="2.5" y="2" width="4" height="4"/>)"), 24);
    ASSERT_FALSE(once.empty());
    EXPECT_EQ(once[3 * 24 + 2], 128);
    EXPECT_EQ(twice, once);
    const std::string squares = "M2 2h20v20h-20zM8 8h8v8h-8z";
    auto hole = renderSvgMask(svg("<path fill-rule='evenodd' d='" + squares + "'/>"), 24);
    auto noHoleGroup = renderSvgMask(svg("<g fill-rule='evenodd'><path d='" + squares + "'/></g>"), 24);
    auto separate = renderSvgMask(svg("<g fill-rule='evenodd'><rect x='2' y='2' width='20' height='20'/>"
                                      "<rect x='8' y='8' width='8' height='8' fill-rule='evenodd'/></g>"),
        24);
    EXPECT_EQ(hole[12 * 24 + 12], 0);
    EXPECT_EQ(hole[4 * 24 + 4], 255);
    EXPECT_EQ(noHoleGroup[12 * 24 + 12], 255);
    EXPECT_EQ(separate[12 * 24 + 12], 255);
}

TEST(SvgShapes, PathText)
{
    struct Case {
        const char* element;
        const char* path;
    };
    const Case cases[] = {
        {R"(<rect x="1" y="2" width="10" height="6"/>)", "M1 2h10v6h-10z"},
        {R"(<rect x="1" y="2" width="10" height="6" rx="2" ry="1"/>)",
            "M3 2h6a2 1 0 0 1 2 1v4a2 1 0 0 1 -2 1h-6a2 1 0 0 1 -2 -1v-4a2 1 0 0 1 2 -1z"},
        {R"(<rect width="10" height="6" rx="4"/>)",
            "M4 0h2a4 3 0 0 1 4 3v0a4 3 0 0 1 -4 3h-2a4 3 0 0 1 -4 -3v-0a4 3 0 0 1 4 -3z"},
        {R"(<rect width="10" height="6" ry="9"/>)",
            "M5 0h0a5 3 0 0 1 5 3v0a5 3 0 0 1 -5 3h-0a5 3 0 0 1 -5 -3v-0a5 3 0 0 1 5 -3z"},
        {R"(<rect width="0" height="6"/>)", ""},
        {R"(<rect width="10" height="6" rx="0"/>)", "M0 0h10v6h-10z"},
        {R"(<circle cx="5" cy="5" r="2"/>)", "M3 5a2 2 0 1 0 4 0a2 2 0 1 0 -4 0z"},
        {R"(<circle cx="5" cy="5"/>)", ""},
        {R"(<ellipse cx="5" cy="6" rx="0.5" ry="3"/>)", "M4.5 6a0.5 3 0 1 0 1 0a0.5 3 0 1 0 -1 0z"},
        {R"(<polyline points="1 2 3"/>)", ""},
        {R"(<polyline points="1,2 3,4 5"/>)", "M1 2L3 4"},
        {R"(<polygon points="1 2 3 4 5 6"/>)", "M1 2L3 4L5 6z"},
        {R"(<path d=" M1 1 "/>)", " M1 1 "},
        {R"(<line x1="0" x2="5"/>)", ""},
        {R"(<rect width="1e999" height="6"/>)", ""},
    };
    for (const Case& c : cases) {
        pugi::xml_document doc;
        EXPECT_EQ(shapeToPath(firstChild(doc, c.element)), c.path) << c.element;
    }
    // Only rx: ry follows it, and both clamp to half the sides.
    EXPECT_EQ(renderSvgMask(svg(R"(<rect x="2" y="2" width="16" height="10" rx="4"/>)"), 48),
        renderSvgMask(svg(R"(<rect x="2" y="2" width="16" height="10" rx="4" ry="4"/>)"), 48));
    EXPECT_EQ(renderSvgMask(svg(R"(<rect x="2" y="2" width="16" height="16" rx="50"/>)"), 48),
        renderSvgMask(svg(R"(<circle cx="10" cy="10" r="8"/>)"), 48));
}

TEST(SvgAttributes, NumbersStylesAndTransforms)
{
    EXPECT_EQ(parseNumberList("1-2"), (std::vector<double>{1, -2}));
    EXPECT_EQ(parseNumberList("0.5.5"), (std::vector<double>{0.5, 0.5}));
    EXPECT_EQ(parseNumberList("10px, -3e1 nan inf"), (std::vector<double>{10, -30}));
    pugi::xml_document doc;
    auto node = firstChild(
        doc, R"(<r a=" 64px" b="100%" c="px" d="" style="fill :  red ; stroke:x;bad;fill:blue" fill="  "/>)");
    EXPECT_EQ(numberAttr(node, "a", 7), 64);
    EXPECT_EQ(numberAttr(node, "b", 7), 100);
    EXPECT_EQ(numberAttr(node, "c", 7), 7);
    EXPECT_EQ(numberAttr(node, "d", 7), 7);
    EXPECT_EQ(numberAttr(node, "missing", 7), 7);
    EXPECT_EQ(styleProperty(node, "fill"), "red");
    EXPECT_EQ(styleProperty(node, "stroke"), "x");
    EXPECT_EQ(styleProperty(node, "bad"), "");

    auto same = [](const Affine& m, const Affine& n) {
        const double a[] = {m.a, m.b, m.c, m.d, m.e, m.f}, b[] = {n.a, n.b, n.c, n.d, n.e, n.f};
        for (int i = 0; i < 6; ++i)
            if (std::fabs(a[i] - b[i]) > 1e-12)
                return false;
        return true;
    };
    EXPECT_TRUE(same(parseTransformList("translate(10)"), newAffine(1, 0, 0, 1, 10, 0)));
    EXPECT_TRUE(same(parseTransformList("scale(2)"), scaleAffine(2)));
    EXPECT_TRUE(same(parseTransformList("scale(2 3)"), newAffine(2, 0, 0, 3, 0, 0)));
    EXPECT_TRUE(same(parseTransformList("matrix(1 0 0 1)"), identityAffine()));
    EXPECT_TRUE(same(parseTransformList("skewX()"), identityAffine()));
    EXPECT_TRUE(same(parseTransformList("Translate(5)"), identityAffine()));
    EXPECT_TRUE(same(parseTransformList("matrix(1,2,3,4,5,6,7)"), newAffine(1, 2, 3, 4, 5, 6)));
    EXPECT_TRUE(same(parseTransformList("skewX(45)"), newAffine(1, 0, 1, 1, 0, 0)));
    PathPoint p = applyAffine(parseTransformList("rotate(90 12 12)"), 12, 0);
    EXPECT_NEAR(p.x, 24, 1e-9);
    EXPECT_NEAR(p.y, 12, 1e-9);
    p = applyAffine(parseTransformList(" translate(1,2) ,scale(2)"), 1, 1);  // the scale applies first
    EXPECT_EQ(p.x, 3);
    EXPECT_EQ(p.y, 4);
    p = applyAffine(parseTransformList("translate(1 2) scale(2"), 1, 1);  // an unclosed function ends the list
    EXPECT_EQ(p.x, 2);
    EXPECT_EQ(p.y, 3);
}

std::string nested(int depth)
{
    std::string text = "<svg width='24' height='24'>";
    for (int i = 1; i < depth; ++i)
        text += "<g>";
    text += "<rect width='4' height='4'/>";
    for (int i = 1; i < depth; ++i)
        text += "</g>";
    return text + "</svg>";
}

std::string repeated(const std::string& element, int count)
{
    std::string text = "<svg width='24' height='24'>";
    for (int i = 0; i < count; ++i)
        text += element;
    return text + "</svg>";
}

TEST(SvgBounds, HostileDocumentsAreRefusedWhole)
{
    EXPECT_FALSE(renderSvgMask(nested(kSvgMaxDepth - 1), 24).empty());  // the rect is the 64th level
    EXPECT_TRUE(renderSvgMask(nested(kSvgMaxDepth), 24).empty());
    EXPECT_TRUE(renderSvgMask(nested(100000), 24).empty());
    EXPECT_FALSE(renderSvgMask(repeated("<rect width='1' height='1'/>", kSvgMaxShapes), 24).empty());
    EXPECT_TRUE(renderSvgMask(repeated("<rect width='1' height='1'/>", kSvgMaxShapes + 1), 24).empty());
    std::string manyElements = repeated("<g/>", kSvgMaxElements);  // with the root one too many
    manyElements.insert(manyElements.find("<g/>"), "<rect width='4' height='4'/>");
    EXPECT_TRUE(renderSvgMask(manyElements, 24).empty());
    std::string lines = "<svg width='24' height='24'><path d='M0 0";
    for (int i = 0; i < 50000; ++i)
        lines += "L1 1 2 0 3 1 4 0";
    EXPECT_TRUE(renderSvgMask(lines + "z'/></svg>", 24).empty());
    // Curves count as the lines the rasteriser cuts them into: 20,000 cubics
    // across the picture, each cut into 256 lines, are refused, though at a
    // fixed 16 lines each they would pass.
    const std::string pair = "C-9999 64 9999 0 64 64C9999 0 -9999 64 0 0";
    std::string curves = "<svg viewBox='0 0 64 64'><path d='M0 0";
    for (int i = 0; i < 10000; ++i)
        curves += pair;
    EXPECT_TRUE(renderSvgMask(curves + "z'/></svg>", 64).empty());
    // The most of them the budget lets through still render.
    const int64_t perPair = 2 * cubicWork(newRasterizer(64, 64), 0, 0, -9999, 64, 9999, 0, 64, 64)
        + kSvgPathByteWork * int64_t(pair.size());
    const int64_t pairs = (kSvgMaxRasterWork - 64 * 64 / 4) / perPair - 1;
    std::string most = "<svg viewBox='0 0 64 64'><path d='M0 0";
    for (int64_t i = 0; i < pairs; ++i)
        most += pair;
    EXPECT_FALSE(renderSvgMask(most + "z'/></svg>", 64).empty());
    EXPECT_TRUE(renderSvgMask(most + std::string(kSvgMaxBytes, ' ') + "z'/></svg>", 64).empty());
    // Path data is read whether it draws or not: a megabyte of moves costs
    // as much as drawing does.
    std::string moves = "<svg viewBox='0 0 64 64'><path d='M1 1L9 9L1 9";
    for (int i = 0; i < 250000; ++i)
        moves += "M0 0";
    EXPECT_TRUE(renderSvgMask(moves + "z'/></svg>", 64).empty());
    const char* laughs =
        "<?xml version='1.0'?><!DOCTYPE svg [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;'>"
        "<!ENTITY c '&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;'><!ENTITY d '&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;'>]>"
        "<svg width='24' height='24'><rect width='4' height='4'><desc>&d;&d;&d;&d;</desc></rect></svg>";
    auto mask = renderSvgMask(laughs, 24);  // entities stay unexpanded
    EXPECT_EQ(countAbove(mask), 16);
}

}  // namespace
}  // namespace qm
