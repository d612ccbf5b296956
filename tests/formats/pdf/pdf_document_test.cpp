#include <gtest/gtest.h>

#include <random>

#include "codecs/font/font_builder.h"
#include "core/unicode.h"
#include "core/utf8.h"
#include "formats/pdf/pdf_document.h"

using namespace qm;
using namespace qm::test;

namespace {

std::vector<uint32_t> decodeAll(std::string_view s)
{
    std::vector<uint32_t> out;
    forEachLenientCodePoint(s, [&](uint32_t cp) { out.push_back(cp); });
    return out;
}

// A font where glyph g advances 100 * g units, so widths name the glyphs.
FontSpec countingSpec()
{
    FontSpec spec;
    spec.cmap = {{'A', 1}, {'B', 2}, {'V', 3}, {0xFFFD, 4}, {0x2026, 5}, {'x', 6}, {0xE9, 7}};
    for (int g = 0; g < 10; ++g)
        spec.advances[g] = 100 * g;
    spec.kern = {{{1, 3}, -80}, {{6, 5}, -40}, {{3, 6}, 30}};
    return spec;
}

}  // namespace

TEST(PdfUtf8, LenientDecoding)
{
    struct Case {
        std::string text;
        std::vector<uint32_t> cps;
    };
    const Case cases[] = {
        {"Ab", {'A', 'b'}}, {"\xC3\xA9\xE2\x80\xA6\xF0\x9F\x98\x80", {0xE9, 0x2026, 0x1F600}},
        {"A\xC3", {'A', 0xFFFD}},      // cut short at the end: the lead byte alone
        {"\xE2\x80", {0xFFFD, 0x80}},  // ... and the continuation stands for itself
        {"\xC3"
         "A",
            {0xFFFD, 'A'}},  // a broken sequence keeps what follows
        {"\xE2\x80"
         "AB",
            {0xFFFD, 'A', 'B'}},
        {"\x80\xBF\xFE\xFF", {0x80, 0xBF, 0xFE, 0xFF}},  // stray bytes
        {"\xF8\x80\x80\x80\x80", {0}},                   // 5-byte form
        {"\xF4\x90\x80\x80"
         "z",
            {0xFFFD, 'z'}},                      // above U+10FFFF
        {"\xFD\xBF\xBF\xBF\xBF\xBF", {0xFFFD}},  // 6-byte form above U+10FFFF
        {"\xC0\x80", {0}},                       // overlong forms are read as they are
    };
    for (const Case& c : cases)
        EXPECT_EQ(decodeAll(c.text), c.cps) << testing::PrintToString(c.text);
}

TEST(PdfDocument, NewDocumentAndFontSlots)
{
    FontRef regular = makeFont(FontSpec{}), bold = makeFont(FontSpec{}), italic = makeFont(FontSpec{}),
            boldItalic = makeFont(FontSpec{}), extra = makeFont(FontSpec{});
    PdfDocumentRef doc = newPdfDocument(regular, nullptr);
    EXPECT_EQ(doc->author, "Quenmark");
    EXPECT_TRUE(doc->compress);
    EXPECT_TRUE(doc->pages.empty());
    EXPECT_EQ(pdfFontForStyle(*doc, pfsBold), regular);  // no bold given
    EXPECT_EQ(pdfFontForStyle(*doc, pfsExtra), regular);
    EXPECT_EQ(pdfFontForStyle(*doc, pfsItalic), regular);

    doc = newPdfDocument(regular, bold);
    EXPECT_EQ(pdfFontForStyle(*doc, pfsBoldItalic), bold);
    doc->fonts[pfsItalic] = italic;
    EXPECT_EQ(pdfFontForStyle(*doc, pfsBoldItalic), italic);
    doc->fonts[pfsBoldItalic] = boldItalic;
    doc->fonts[pfsExtra] = extra;
    const FontRef expected[] = {regular, bold, italic, boldItalic, extra};
    for (int s = 0; s < kPdfFontStyleCount; ++s)
        EXPECT_EQ(pdfFontForStyle(*doc, PdfFontStyle(s)), expected[s]) << s;

    EXPECT_THROW(newPdfDocument(nullptr, bold), ValueError);
}

TEST(PdfDocument, OperationsAndPages)
{
    PdfDocumentRef doc = newPdfDocument(makeFont(countingSpec()), nullptr);
    EXPECT_EQ(addPdfPage(*doc, 215.9, 279.4), 0);
    EXPECT_EQ(addPdfPage(*doc, 100, 50), 1);
    pdfText(*doc, 0, 1, 2, "", 10, pfsRegular, pdfRgb(0, 0, 0));
    drawPdfAlignedText(*doc, 0, 1, 2, 30, "", 10, paRight, pfsRegular, pdfRgb(0, 0, 0));
    EXPECT_TRUE(doc->pages[0].ops.empty());

    pdfLine(*doc, 1, 10, 20, 30, 20, 0.5, pdfRgb(1, 0, 0), true);
    const PdfOp& line = doc->pages[1].ops.at(0);
    EXPECT_EQ(line.kind, pokLine);
    EXPECT_EQ(std::vector<double>({line.x, line.y, line.w, line.h}), std::vector<double>({10, 20, 20, 0}));
    EXPECT_TRUE(line.dashed);

    EXPECT_THROW(pdfRect(*doc, 2, 0, 0, 1, 1, true, pdfRgb(0, 0, 0), 0), IndexError);
    EXPECT_THROW(pdfText(*doc, -1, 0, 0, "A", 10, pfsRegular, pdfRgb(0, 0, 0)), IndexError);
}

TEST(PdfDocument, TextWidthKerningAndNotdef)
{
    PdfDocumentRef doc = newPdfDocument(makeFont(countingSpec()), nullptr);
    auto units = [&](std::string_view text) { return pdfTextWidth(*doc, text, 1000, pfsRegular) * kPdfPointsPerMm; };
    EXPECT_EQ(pdfTextWidth(*doc, "", 10, pfsRegular), 0);
    EXPECT_NEAR(units("AB"), 300, 1e-9);
    EXPECT_NEAR(units("AV"), 100 + 300 - 80, 1e-9);
    // After an unmapped character (glyph 0) the next glyph gets no kerning.
    EXPECT_NEAR(units("\xE4\xB8\x80V"), 0 + 300, 1e-9);
    EXPECT_NEAR(units("A\xC3"), 100 + 400, 1e-9);  // the truncated byte reads as U+FFFD
    EXPECT_NEAR(pdfTextWidth(*doc, "AB", 10, pfsRegular), 3.0 / kPdfPointsPerMm, 1e-12);
}

TEST(PdfDocument, AlignedText)
{
    FontSpec spec;
    spec.cmap = {{'M', 1}};
    spec.advances[1] = 1000;
    PdfDocumentRef doc = newPdfDocument(makeFont(spec), nullptr);
    addPdfPage(*doc, 215.9, 279.4);
    const double size = 20 * kPdfPointsPerMm;  // one em of M is 20 mm
    ASSERT_NEAR(pdfTextWidth(*doc, "M", size, pfsRegular), 20, 1e-9);
    drawPdfAlignedText(*doc, 0, 100, 50, 30, "M", size, paLeft, pfsRegular, pdfRgb(0, 0, 0));
    drawPdfAlignedText(*doc, 0, 100, 50, 30, "M", size, paCenter, pfsRegular, pdfRgb(0, 0, 0));
    drawPdfAlignedText(*doc, 0, 100, 50, 30, "M", size, paRight, pfsRegular, pdfRgb(0, 0, 0));
    drawPdfAlignedText(*doc, 0, 100, 50, 10, "M", size, paRight, pfsRegular, pdfRgb(0, 0, 0));  // wider: not clipped
    const auto& ops = doc->pages[0].ops;
    ASSERT_EQ(ops.size(), 4u);
    EXPECT_NEAR(ops[0].x, 100, 1e-9);
    EXPECT_NEAR(ops[1].x, 105, 1e-9);
    EXPECT_NEAR(ops[2].x, 110, 1e-9);
    EXPECT_NEAR(ops[3].x, 90, 1e-9);
    EXPECT_EQ(ops[1].y, 50);
}

TEST(PdfDocument, FitText)
{
    PdfDocumentRef doc = newPdfDocument(makeFont(countingSpec()), nullptr);
    auto fit = [&](std::string_view text, double units) {
        return fitPdfText(*doc, text, units / kPdfPointsPerMm, 1000, pfsRegular);
    };
    const std::string ell = "\xE2\x80\xA6";
    // Fits: unchanged byte for byte, damaged bytes included.
    EXPECT_EQ(fit("A\x80\xC3", 100 + 0 + 400), "A\x80\xC3");
    // "AB" + ... = 100 + 200 + 500; "A" + ... = 100 + 500.
    EXPECT_EQ(fit("ABBBB", 800), "AB" + ell);
    EXPECT_EQ(fit("ABBBB", 799), "A" + ell);
    EXPECT_EQ(fit("ABBBB", 10), ell);
    // Kerning of the last glyph with the ellipsis counts: x + ... = 600 + 500 - 40.
    EXPECT_EQ(fit("xxxx", 1060), "x" + ell);
    // Never cuts inside a character; stray and cut bytes come back re-encoded.
    EXPECT_EQ(fit("\xC3\xA9\xC3\xA9\xC3\xA9", 700 + 700 + 500), "\xC3\xA9\xC3\xA9" + ell);
    EXPECT_EQ(fit("\x80"
                  "A\xC3"
                  "BB",
                  100 + 500),
        "\xC2\x80"
        "A" + ell);
    EXPECT_EQ(fit("A\xC3"
                  "BBBBB",
                  100 + 400 + 500),
        "A\xEF\xBF\xBD" + ell);
}

// The running sum gives what measuring every candidate again would.
TEST(PdfDocument, FitTextMatchesMeasuringEachCandidate)
{
    PdfDocumentRef doc = newPdfDocument(systemFont("DejaVuSans.ttf"), nullptr);
    auto reference = [&](std::string_view text, double maxWidth) {
        if (pdfTextWidth(*doc, text, 7.5, pfsRegular) <= maxWidth)
            return std::string(text);
        std::string prefix;
        for (size_t at = 0; at < text.size();) {
            LenientUtf8Step step = decodeUtf8Lenient(text, at);
            std::string candidate = prefix;
            appendUtf8(candidate, step.codePoint);
            if (pdfTextWidth(*doc, candidate + "\xE2\x80\xA6", 7.5, pfsRegular) > maxWidth)
                break;
            prefix = candidate;
            at += step.length;
        }
        return prefix + "\xE2\x80\xA6";
    };
    const std::string alphabet[] = {"A", "V", "W", "a", "T", "o", "y", ".", " ", "\xC3\xA9", "\xE2\x80\x93",
        "\xE2\x82\xAC", "\xE6\xBC\xA2", "\x80", "\xC3", "L", "'", "1"};
    std::mt19937 rng(7);
    for (int i = 0; i < 400; ++i) {
        std::string text;
        for (int n = int(rng() % 40); n > 0; --n)
            text += alphabet[rng() % std::size(alphabet)];
        const double width = double(rng() % 4000) / 100;
        ASSERT_EQ(fitPdfText(*doc, text, width, 7.5, pfsRegular), reference(text, width)) << text << " " << width;
    }
}
