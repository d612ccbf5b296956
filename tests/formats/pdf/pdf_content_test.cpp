#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "codecs/font/font_builder.h"
#include "formats/pdf/pdf_content.h"

using namespace qm;
using namespace qm::test;

namespace {

// 'A' is glyph 0x24 and 'V' glyph 0x39 with a kerning of -80, as in most fonts' order.
FontSpec avSpec()
{
    FontSpec spec;
    spec.cmap = {{'A', 0x24}, {'B', 0x25}, {'V', 0x39}};
    spec.kern = {{{0x24, 0x39}, -80}};
    return spec;
}

struct Fixture {
    PdfDocumentRef doc = newPdfDocument(makeFont(avSpec()), nullptr);
    PdfGlyphSets used;
    int32_t page = addPdfPage(*doc, 215.9, 279.4);

    std::string content(const PdfPictureNames& names = {}) { return pdfPageContent(*doc, doc->pages[0], used, names); }
};

}  // namespace

TEST(PdfContent, Numbers)
{
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char*> cases[] = {
        {12, "12"},
        {2.5, "2.5"},
        {0.14173, "0.142"},
        {612.0, "612"},
        {-0.0004, "0"},
        {-0.0, "0"},
        {-2.25, "-2.25"},
        {0.0005, "0.001"},
        {1e-9, "0"},
        {123456789.125, "123456789.125"},
        {1e20, "100000000000000000000"},
        {std::nan(""), "0"},
        {inf, "0"},
        {-inf, "0"},
        {0.14173228346456695, "0.142"},
        {-1.5, "-1.5"},
        {100, "100"},
    };
    for (auto [x, text] : cases)
        EXPECT_EQ(pdfNumber(x), text) << x;
}

TEST(PdfContent, ColoursAndPoints)
{
    EXPECT_EQ(pdfColorOp(0.14, 0.15, 0.17, false), "0.14 0.15 0.17 rg");
    EXPECT_EQ(pdfColorOp(1.2, -0.1, 0.5, false), "1 0 0.5 rg");
    EXPECT_EQ(pdfColorOp(0, 0, 1, true), "0 0 1 RG");
    PdfPage page{215.9, 279.4, {}, {}};
    EXPECT_EQ(pdfPointText(20, 30, page), "56.693 706.961");
}

TEST(PdfContent, Snippets)
{
    struct Case {
        const char* what;
        PdfOp op;
        std::string snippet;
    };
    auto op = [](PdfOpKind kind, double x, double y, double w, double h) {
        PdfOp o;
        o.kind = kind;
        o.x = x;
        o.y = y;
        o.w = w;
        o.h = h;
        o.colour = {0.5, 0.25, 1};
        return o;
    };
    auto with = [](PdfOp o, auto change) {
        change(o);
        return o;
    };
    const PdfOp line = op(pokLine, 10, 20, 20, 0);
    const PdfOp rect = op(pokRect, 10, 20, 30, 40);
    const PdfOp path = with(op(pokPath, 0, 0, 0, 0), [](PdfOp& o) { o.points = {{10, 20}, {30, 20}, {30, 40}}; });
    const Case cases[] = {
        {"line of width 0", line, "q 0.5 0.25 1 RG 0.142 w 1 J 28.346 735.307 m 85.039 735.307 l S Q\n"},
        {"line of 0.5 mm", with(line, [](PdfOp& o) { o.lineWidth = 0.5; }),
            "q 0.5 0.25 1 RG 1.417 w 1 J 28.346 735.307 m 85.039 735.307 l S Q\n"},
        {"dashed line", with(line, [](PdfOp& o) { o.dashed = true; }),
            "q 0.5 0.25 1 RG 0.142 w 1 J [2 2] 0 d 28.346 735.307 m 85.039 735.307 l S Q\n"},
        {"NaN width", with(line, [](PdfOp& o) { o.lineWidth = std::nan(""); }),
            "q 0.5 0.25 1 RG 0.142 w 1 J 28.346 735.307 m 85.039 735.307 l S Q\n"},
        {"filled rectangle", with(rect, [](PdfOp& o) { o.fill = true; }),
            "q 0.5 0.25 1 rg 28.346 621.921 85.039 113.386 re f Q\n"},
        {"outlined rectangle", with(rect, [](PdfOp& o) { o.lineWidth = 0.01; }),
            "q 0.5 0.25 1 RG 0.028 w 28.346 621.921 85.039 113.386 re S Q\n"},
        {"both", with(rect, [](PdfOp& o) { o.fill = true, o.lineWidth = 1; }),
            "q 0.5 0.25 1 rg 28.346 621.921 85.039 113.386 re f Q\n"
            "q 0.5 0.25 1 RG 2.835 w 28.346 621.921 85.039 113.386 re S Q\n"},
        {"neither", rect, ""},
        {"open path", path,
            "q 0.5 0.25 1 RG 0.5 0.25 1 rg 0.142 w 1 J 1 j 28.346 735.307 m 85.039 735.307 l 85.039 678.614 l S Q\n"},
        {"closed path", with(path, [](PdfOp& o) { o.closed = true; }),
            "q 0.5 0.25 1 RG 0.5 0.25 1 rg 0.142 w 1 J 1 j 28.346 735.307 m 85.039 735.307 l 85.039 678.614 l s Q\n"},
        {"filled path", with(path, [](PdfOp& o) { o.fill = true; }),
            "q 0.5 0.25 1 RG 0.5 0.25 1 rg 0.142 w 1 J 1 j 28.346 735.307 m 85.039 735.307 l 85.039 678.614 l f Q\n"},
        {"filled, stroked path", with(path, [](PdfOp& o) { o.fill = true, o.lineWidth = 0.2; }),
            "q 0.5 0.25 1 RG 0.5 0.25 1 rg 0.567 w 1 J 1 j 28.346 735.307 m 85.039 735.307 l 85.039 678.614 l b Q\n"},
        {"path without points", with(op(pokPath, 0, 0, 0, 0), [](PdfOp& o) { o.fill = true; }),
            "q 0.5 0.25 1 RG 0.5 0.25 1 rg 0.142 w 1 J 1 j f Q\n"},
        {"picture",
            with(op(pokImage, 10, 20, 30, 40),
                [](PdfOp& o) {
                    o.image = std::make_shared<PdfImage>(PdfImage{1, 1, "abc", "", 3});
                }),
            "q 85.039 0 0 113.386 28.346 621.921 cm /Im3 Do Q\n"},
        {"picture without a name",
            with(op(pokImage, 10, 20, 30, 40),
                [](PdfOp& o) {
                    o.image = std::make_shared<PdfImage>(PdfImage{1, 1, "abc", "", 4});
                }),
            ""},
        {"no picture", op(pokImage, 10, 20, 30, 40), ""},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.doc->pages[0].ops.push_back(c.op);
        EXPECT_EQ(f.content({{3, "Im3"}}), c.snippet) << c.what;
    }
}

TEST(PdfContent, TextShowsGlyphIdsWithKerning)
{
    struct Case {
        const char* text;
        std::string shown;
        std::vector<int32_t> glyphs;
    };
    const Case cases[] = {
        {"AV", "[<0024> 80 <0039>]", {0x24, 0x39}},
        {"AB", "[<00240025>]", {0x24, 0x25}},
        {"BAVA", "[<00250024> 80 <00390024>]", {0x24, 0x25, 0x39}},
        // An unmapped character is glyph 0, recorded, and the glyph after it is not kerned.
        {"A\xE4\xB8\x80V", "[<002400000039>]", {0, 0x24, 0x39}},
        {"\xC3", "[<0000>]", {0}},
    };
    for (const Case& c : cases) {
        Fixture f;
        pdfText(*f.doc, 0, 20, 30, c.text, 10, pfsRegular, pdfRgb(0, 0, 0));
        EXPECT_EQ(f.content(), "BT /F1 10 Tf 56.693 706.961 Td 0 0 0 rg " + c.shown + " TJ ET\n") << c.text;
        EXPECT_EQ(f.used[0].sorted(), c.glyphs) << c.text;
        EXPECT_TRUE(f.used[1].empty());
    }
    // Each style shows through its own resource and records its own glyphs.
    Fixture f;
    pdfText(*f.doc, 0, 20, 30, "B", 7.5, pfsExtra, pdfRgb(1, 0, 0));
    EXPECT_EQ(f.content(), "BT /F5 7.5 Tf 56.693 706.961 Td 1 0 0 rg [<0025>] TJ ET\n");
    EXPECT_EQ(f.used[4].sorted(), std::vector<int32_t>{0x25});
    EXPECT_TRUE(f.used[0].empty());
}
