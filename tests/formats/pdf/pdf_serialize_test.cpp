#include <gtest/gtest.h>

#include <random>

#include "codecs/compress/inflate.h"
#include "codecs/font/font_builder.h"
#include "formats/pdf/pdf_serialize.h"

using namespace qm;
using namespace qm::test;

namespace {

PdfDateTime fixedClock() { return {2024, 3, 9, 7, 5, 30}; }

FontSpec spec()
{
    FontSpec s;
    s.cmap = {{'A', 1}, {'B', 2}, {' ', 3}, {0xA0, 3}};
    s.glyphs = {{0, simpleGlyph(100)}, {1, simpleGlyph(200)}, {2, compositeGlyph({1})}};
    return s;
}

// The file's objects found through its cross-reference table, which also
// checks every entry's form and offset.
std::vector<std::string> objectsOf(const std::string& file)
{
    const size_t startxref = file.rfind("startxref\n");
    EXPECT_NE(startxref, std::string::npos);
    const size_t xref = std::stoul(file.substr(startxref + 10));
    EXPECT_EQ(file.compare(xref, 5, "xref\n"), 0);
    const size_t count = std::stoul(file.substr(xref + 7));
    size_t at = file.find('\n', xref + 5) + 1;
    EXPECT_EQ(file.substr(at, 20), "0000000000 65535 f \n");
    std::vector<std::string> objects;
    for (size_t n = 1; n < count; ++n) {
        const std::string entry = file.substr(at + 20 * n, 20);
        EXPECT_EQ(entry.substr(10), " 00000 n \n");
        const size_t offset = std::stoul(entry.substr(0, 10));
        const std::string head = std::to_string(n) + " 0 obj\n";
        EXPECT_EQ(file.compare(offset, head.size(), head), 0) << n;
        const size_t end = file.find("\nendobj\n", offset);
        objects.push_back(file.substr(offset + head.size(), end - offset - head.size()));
    }
    EXPECT_EQ(file.compare(at + 20 * count, 8, "trailer\n"), 0);
    return objects;
}

}  // namespace

TEST(PdfSerialize, StreamObjects)
{
    PdfDocument doc;
    std::string repetitive(65, 'a'), random(200, ' ');
    std::mt19937 rng(1);
    for (char& c : random)
        c = char(rng());
    EXPECT_EQ(pdfStreamObject(doc, "", ""), "<< /Length 0 >>\nstream\n\nendstream");
    EXPECT_EQ(pdfStreamObject(doc, "", std::string(64, 'a')),
        "<< /Length 64 >>\nstream\n" + std::string(64, 'a') + "\nendstream");  // 64 bytes: never deflated
    const std::string packed = pdfStreamObject(doc, "/Length1 65", repetitive);
    ASSERT_EQ(packed.rfind("<</Length1 65 /Filter /FlateDecode /Length ", 0), 0u) << packed;
    const size_t data = packed.find("stream\n") + 7;
    const std::string zlib = packed.substr(data, packed.size() - data - 10);
    EXPECT_EQ(packed.substr(43, packed.find(" >>") - 43), std::to_string(zlib.size()));
    const std::vector<uint8_t> back = inflate(std::vector<uint8_t>(zlib.begin(), zlib.end()), true, {}, 0, 1 << 20);
    EXPECT_EQ(std::string(back.begin(), back.end()), repetitive);
    // Deflating would not make it shorter, or the document asks for none.
    EXPECT_EQ(pdfStreamObject(doc, "", random).rfind("<< /Length 200 >>", 0), 0u);
    doc.compress = false;
    EXPECT_EQ(pdfStreamObject(doc, "", repetitive).rfind("<< /Length 65 >>", 0), 0u);
}

TEST(PdfSerialize, Strings)
{
    EXPECT_EQ(pdfTextString(""), "<FEFF>");
    EXPECT_EQ(
        pdfTextString("Financial Report"), "<FEFF00460069006E0061006E006300690061006C0020005200650070006F00720074>");
    EXPECT_EQ(pdfTextString("\xC3\xA9\xF0\x9F\x98\x80"), "<FEFF00E9D83DDE00>");
    // Above U+10FFFF and broken sequences read as U+FFFD; what follows survives.
    EXPECT_EQ(pdfTextString("\xFD\xBF\xBF\xBF\xBF\xBF"
                            "A\xC3"
                            "B"),
        "<FEFFFFFD0041FFFD0042>");
    // Encoded surrogates, paired or alone, are ill-formed too: never half a UTF-16 pair.
    EXPECT_EQ(pdfTextString("\xED\xA0\x80"
                            "a\xED\xBF\xBF"
                            "b\xED\xA0\xBD\xED\xB8\x80"),
        "<FEFFFFFD0061FFFD0062FFFDFFFD>");
    EXPECT_EQ(pdfLiteralString("https://x.org/a(b)\\c\n\xC3\xA9"), "(https://x.org/a\\(b\\)\\\\c)");
}

TEST(PdfSerialize, EmptyPageEmbedsRegularAndBoldWithNotdef)
{
    PdfDocumentRef doc = newPdfDocument(makeFont(spec()), nullptr);
    doc->title = "Financial Report";
    addPdfPage(*doc, 215.9, 279.4);
    const std::string file = serializePdf(*doc, fixedClock);
    EXPECT_EQ(file.substr(0, 15), "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    EXPECT_TRUE(file.ends_with("\n%%EOF\n"));
    const std::vector<std::string> obj = objectsOf(file);
    ASSERT_EQ(obj.size(), 2 + 2 + 5 + 5 + 1u);
    EXPECT_EQ(obj[0], "<< /Type /Catalog /Pages 2 0 R >>");
    EXPECT_EQ(obj[1], "<< /Type /Pages /Kids [4 0 R ] /Count 1 >>");
    EXPECT_EQ(obj[2], "<< /Length 0 >>\nstream\n\nendstream");
    EXPECT_EQ(obj[3],
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 9 0 R /F2 14 0 R "
        ">> /ProcSet [/PDF /Text /ImageC] >> /Contents 3 0 R >>");
    EXPECT_EQ(obj[6].substr(obj[6].find("/W ")), "/W [0 [500] ] /CIDToGIDMap /Identity >>");
    EXPECT_EQ(obj[7].find("beginbfchar"), std::string::npos);  // nothing maps to .notdef
    EXPECT_EQ(
        obj[13].substr(0, obj[13].find(" /Encoding")), "<< /Type /Font /Subtype /Type0 /BaseFont /TAVEKB+TestSans");
    EXPECT_EQ(obj.back(),
        "<< /Title <FEFF00460069006E0061006E006300690061006C0020005200650070006F00720074> /Author "
        "<FEFF005100750065006E006D00610072006B> /Subject <FEFF> /Producer "
        "<FEFF005100750065006E006D00610072006B> /Creator <FEFF005100750065006E006D00610072006B> "
        "/CreationDate (D:20240309070530) >>");
    EXPECT_TRUE(file.find("trailer\n<< /Size 16 /Root 1 0 R /Info 15 0 R >>\nstartxref\n") != std::string::npos);
    // Whole files repeat byte for byte.
    EXPECT_EQ(serializePdf(*doc, fixedClock), file);
}

TEST(PdfSerialize, TypicalReportNumbering)
{
    PdfDocumentRef doc = newPdfDocument(makeFont(spec()), makeFont(spec()));
    doc->fonts[pfsExtra] = makeFont(spec());
    const int pages = 3;
    for (int p = 0; p < pages; ++p) {
        addPdfPage(*doc, 215.9, 279.4);
        pdfText(*doc, p, 10, 10, "AB", 8, pfsRegular, pdfRgb(0, 0, 0));
        pdfText(*doc, p, 10, 20, "A", 8, pfsBold, pdfRgb(0, 0, 0));
        pdfText(*doc, p, 10, 30, "B", 8, pfsExtra, pdfRgb(0, 0, 0));
        pdfRect(*doc, p, 0, 0, 10, 10, true, pdfRgb(0.9, 0.9, 0.9), 0);
    }
    const std::vector<std::string> obj = objectsOf(serializePdf(*doc, fixedClock));
    ASSERT_EQ(obj.size(), 2 + 2 * pages + 3 * 5 + 1u);
    for (int p = 0; p < pages; ++p) {
        EXPECT_TRUE(obj[size_t(2 + 2 * p)].ends_with("\nendstream"));
        EXPECT_EQ(obj[size_t(3 + 2 * p)].rfind("<< /Type /Page ", 0), 0u);
    }
    // Font program, descriptor, CID font, ToUnicode, Type0 for styles 0, 1 and 4.
    const int first = 3 + 2 * pages;
    for (int f = 0; f < 3; ++f) {
        EXPECT_EQ(obj[size_t(first + 5 * f - 1)].rfind("<</Length1 ", 0), 0u);
        EXPECT_EQ(obj[size_t(first + 5 * f)].rfind("<< /Type /FontDescriptor /FontName /", 0), 0u);
        EXPECT_EQ(obj[size_t(first + 5 * f + 1)].rfind("<< /Type /Font /Subtype /CIDFontType2", 0), 0u);
        EXPECT_EQ(obj[size_t(first + 5 * f + 3)].rfind("<< /Type /Font /Subtype /Type0", 0), 0u);
    }
    const std::string fonts = "/Font << /F1 " + std::to_string(first + 4) + " 0 R /F2 " + std::to_string(first + 9)
        + " 0 R /F5 " + std::to_string(first + 14) + " 0 R >>";
    EXPECT_NE(obj[3].find(fonts), std::string::npos) << obj[3];
    EXPECT_NE(obj[5].find(fonts), std::string::npos);                 // one resource text for every page
    EXPECT_NE(obj[first + 10].find("/Flags 5 "), std::string::npos);  // extra: fixed pitch
    EXPECT_NE(obj[first + 11].find("/W [2 [500] ]"), std::string::npos);
    EXPECT_EQ(obj.back().rfind("<< /Title <FEFF> /Author", 0), 0u);
}

TEST(PdfSerialize, LinksAndOutline)
{
    PdfDocumentRef doc = newPdfDocument(makeFont(spec()), nullptr);
    addPdfPage(*doc, 215.9, 279.4);
    addPdfPage(*doc, 100, 200);
    pdfLink(*doc, 0, PdfLink{10, 20, 30, 5, 7, 50, ""});  // past the last page: the last page
    pdfLink(*doc, 0, PdfLink{10, 30, 30, 5, 0, 0, "https://example.com/(x)"});
    const std::pair<const char*, int> items[] = {{"One", 0}, {"One.a", 1}, {"One.b", 1}, {"Two", 0}};
    for (auto [title, level] : items)
        pdfOutlineItem(*doc, PdfOutlineItem{title, level, 1, 10});
    const std::vector<std::string> obj = objectsOf(serializePdf(*doc, fixedClock));
    // 1, 2, content 3, page 4, content 5, page 6, fonts 7..16, annotations 17, 18, outline 19..23, info 24.
    ASSERT_EQ(obj.size(), 24u);
    EXPECT_EQ(obj[16],
        "<< /Type /Annot /Subtype /Link /Rect [28.346 721.134 113.386 735.307] /Border [0 0 0] "
        "/Dest [6 0 R /XYZ 0 425.197 null] >>");
    EXPECT_EQ(obj[17],
        "<< /Type /Annot /Subtype /Link /Rect [28.346 692.787 113.386 706.961] /Border [0 0 0] "
        "/A << /S /URI /URI (https://example.com/\\(x\\)) >> >>");
    EXPECT_NE(obj[3].find(" /Contents 3 0 R /Annots [17 0 R 18 0 R ] >>"), std::string::npos);
    EXPECT_EQ(obj[5].find("/Annots"), std::string::npos);
    EXPECT_EQ(obj[0], "<< /Type /Catalog /Pages 2 0 R /Outlines 19 0 R /PageMode /UseOutlines >>");
    EXPECT_EQ(obj[18], "<< /Type /Outlines /First 20 0 R /Last 23 0 R /Count 2 >>");
    const std::string dest = " /Dest [6 0 R /XYZ 0 538.583 null]";
    EXPECT_EQ(obj[19],
        "<< /Title <FEFF004F006E0065> /Parent 19 0 R" + dest + " /Next 23 0 R /First 21 0 R /Last 22 0 R /Count -2 >>");
    EXPECT_EQ(obj[20], "<< /Title <FEFF004F006E0065002E0061> /Parent 20 0 R" + dest + " /Next 22 0 R >>");
    EXPECT_EQ(obj[21], "<< /Title <FEFF004F006E0065002E0062> /Parent 20 0 R" + dest + " /Prev 21 0 R >>");
    EXPECT_EQ(obj[22], "<< /Title <FEFF00540077006F> /Parent 19 0 R" + dest + " /Prev 20 0 R >>");
}

TEST(PdfSerialize, PicturesKeepDistinctIdsAcrossSerialisations)
{
    auto picture = [](bool alpha) {
        auto p = std::make_shared<PdfImage>();
        p->width = 2;
        p->height = 1;
        p->rgb = "abcdef";
        if (alpha)
            p->alpha = "\x10\x20";
        return p;
    };
    PdfDocumentRef doc = newPdfDocument(makeFont(spec()), nullptr);
    doc->compress = false;
    PdfImageRef first = picture(true), second = picture(false), broken = picture(false);
    broken->rgb = "abc";  // too few samples: not written, not drawn
    addPdfPage(*doc, 100, 100);
    pdfImage(*doc, 0, 1, 2, 3, 4, first);
    pdfImage(*doc, 0, 5, 6, 7, 8, first);
    pdfImage(*doc, 0, 5, 6, 7, 8, broken);
    std::vector<std::string> obj = objectsOf(serializePdf(*doc, fixedClock));
    EXPECT_EQ(first->imageId, 1);
    EXPECT_EQ(obj[2],
        "<</Type /XObject /Subtype /Image /Width 2 /Height 1 /ColorSpace /DeviceGray /BitsPerComponent 8 "
        "/Length 2 >>\nstream\n\x10\x20\nendstream");
    EXPECT_EQ(obj[3].rfind("<</Type /XObject /Subtype /Image /Width 2 /Height 1 /ColorSpace /DeviceRGB "
                           "/BitsPerComponent 8 /SMask 3 0 R /Length 6 >>",
                  0),
        0u);
    EXPECT_NE(obj[5].find("/XObject << /Im1 4 0 R >>"), std::string::npos);
    EXPECT_EQ(broken->imageId, 0);

    addPdfPage(*doc, 100, 100);
    pdfImage(*doc, 1, 1, 2, 3, 4, second);
    obj = objectsOf(serializePdf(*doc, fixedClock));
    EXPECT_EQ(first->imageId, 1);
    EXPECT_EQ(second->imageId, 2);
    EXPECT_NE(obj[6].find("/XObject << /Im1 4 0 R /Im2 5 0 R >>"), std::string::npos) << obj[6];
    EXPECT_NE(obj[7].find("/Im2 Do"), std::string::npos) << obj[7];

    // A picture numbered by another document does not take this one's name.
    PdfDocumentRef other = newPdfDocument(makeFont(spec()), nullptr);
    PdfImageRef third = picture(false);
    addPdfPage(*other, 100, 100);
    pdfImage(*other, 0, 1, 2, 3, 4, third);
    pdfImage(*other, 0, 1, 2, 3, 4, second);
    serializePdf(*other, fixedClock);
    EXPECT_EQ(third->imageId, 1);
    EXPECT_NE(second->imageId, third->imageId);
}

TEST(PdfSerialize, FontFailureEndsSerialisation)
{
    PdfDocumentRef doc = newPdfDocument(makeFont(spec()), nullptr);
    addPdfPage(*doc, 100, 100);
    for (FontTable& t : doc->fonts[0]->tables)
        if (t.tag == makeTag("head"))
            t.range.length = 40;
    EXPECT_THROW(serializePdf(*doc, fixedClock), ValueError);
}
