#include <gtest/gtest.h>

#include "codecs/font/font_builder.h"
#include "formats/pdf/pdf_font.h"

using namespace qm;
using namespace qm::test;

namespace {

const std::string kHeader =
    "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
    "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
    "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
const std::string kTrailer = "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";

}  // namespace

TEST(PdfFont, ToUnicodeMaps)
{
    ASSERT_EQ(kHeader.size(), 238u);
    FontRef font = makeFont(FontSpec{});
    font->cmap = {{0x20, 3}, {0xA0, 3}, {0x41, 0x24}, {0x1F600, 7}, {0xD800, 8}};
    const std::vector<int32_t> glyphs = {0, 3, 7, 8, 0x24};
    EXPECT_EQ(toUnicodeCMap(*font, glyphs),
        kHeader + "3 beginbfchar\n<0003> <0020>\n<0007> <D83DDE00>\n<0024> <0041>\nendbfchar\n" + kTrailer);
    EXPECT_EQ(toUnicodeCMap(*font, std::vector<int32_t>{0}), kHeader + kTrailer);

    font->cmap.clear();
    std::vector<int32_t> many;
    for (int g = 1; g <= 250; ++g) {
        font->cmap[0x4E00 + g] = g;
        many.push_back(g);
    }
    const std::string cmap = toUnicodeCMap(*font, many);
    size_t blocks = 0;
    std::vector<std::string> counts;
    for (size_t at = cmap.find("beginbfchar"); at != std::string::npos; at = cmap.find("beginbfchar", at + 1)) {
        ++blocks;
        const size_t line = cmap.rfind('\n', at) + 1;
        counts.push_back(cmap.substr(line, at - line - 1));
    }
    EXPECT_EQ(counts, (std::vector<std::string>{"100", "100", "50"}));
    EXPECT_NE(cmap.find("\n<00FA> <4EFA>\nendbfchar\nendcmap"), std::string::npos);
}

TEST(PdfFont, NamesFlagsAndWidths)
{
    FontSpec spec;
    spec.unitsPerEm = 2000;
    spec.advances = {{0, 1000}, {36, 1444}};
    struct Case {
        std::string family;
        bool bold, italic, fixed;
        std::string name;
        std::string flags;
    };
    const Case cases[] = {
        {"Sans Text", false, false, false, "TAVEKR+SansText", "/Flags 4 /FontBBox [-8 -128 500 450] /ItalicAngle 0 "},
        {"Sans", true, true, false, "TAVEKR+Sans-Bold-Oblique",
            "/Flags 68 /FontBBox [-8 -128 500 450] /ItalicAngle -11 "},
        {"Mono", false, false, true, "TAVEKR+Mono", "/Flags 5 /FontBBox [-8 -128 500 450] /ItalicAngle 0 "},
        {"A(b)/c#\xC3\xA9", false, false, false, "TAVEKR+A#28b#29#2Fc#23#C3#A9", "/Flags 4 "},
    };
    for (const Case& c : cases) {
        FontRef font = makeFont(spec);
        font->familyName = c.family;
        font->bold = c.bold;
        PdfDocument doc;
        doc.compress = false;
        PdfWriter w;
        w.doc = &doc;
        EXPECT_EQ(embedPdfFont(w, *font, std::vector<int32_t>{36, 0, 36}, "TAVEKR", c.italic, c.fixed), 5);
        ASSERT_EQ(w.objects.size(), 5u);
        EXPECT_EQ(w.objects[0].rfind("<</Length1 ", 0), 0u);
        const std::string& descriptor = w.objects[1];
        EXPECT_EQ(descriptor.rfind("<< /Type /FontDescriptor /FontName /" + c.name + " " + c.flags, 0), 0u)
            << descriptor;
        EXPECT_TRUE(descriptor.ends_with(std::string(" /Ascent 400 /Descent -100 /CapHeight 288 /StemV ")
            + (c.bold ? "120" : "80") + " /FontFile2 1 0 R >>"))
            << descriptor;
        EXPECT_EQ(w.objects[2],
            "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + c.name
                + " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> "
                  "/FontDescriptor 2 0 R /DW 1000 /W [0 [500] 36 [722] ] /CIDToGIDMap /Identity >>");
        EXPECT_EQ(w.objects[4],
            "<< /Type /Font /Subtype /Type0 /BaseFont /" + c.name
                + " /Encoding /Identity-H /DescendantFonts [3 0 R] /ToUnicode 4 0 R >>");
    }
}
