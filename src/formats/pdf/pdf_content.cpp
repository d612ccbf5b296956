#include "formats/pdf/pdf_content.h"

#include <algorithm>

#include "codecs/font/kerning.h"
#include "core/unicode.h"
#include "formats/export_text.h"

namespace qm {

std::vector<int32_t> PdfGlyphSet::sorted() const
{
    std::vector<int32_t> out;
    for (size_t w = 0; w < bits.size(); ++w)
        for (uint64_t b = bits[w]; b; b &= b - 1)
            out.push_back(int32_t(w * 64 + size_t(__builtin_ctzll(b))));
    return out;
}

void appendPdfNumber(std::string& out, double x) { appendTrimmedDecimal(out, x, 3); }

std::string pdfNumber(double x)
{
    std::string out;
    appendPdfNumber(out, x);
    return out;
}

static double clampUnit(double v)
{
    // NaN compares false both ways and is written as 0 by appendPdfNumber.
    return v < 0 ? 0 : v > 1 ? 1 : v;
}

static void appendColor(std::string& out, const PdfColor& c, bool stroke)
{
    appendPdfNumber(out, clampUnit(c.r));
    out += ' ';
    appendPdfNumber(out, clampUnit(c.g));
    out += ' ';
    appendPdfNumber(out, clampUnit(c.b));
    out += stroke ? " RG" : " rg";
}

std::string pdfColorOp(double r, double g, double b, bool stroke)
{
    std::string out;
    appendColor(out, PdfColor{r, g, b}, stroke);
    return out;
}

static void appendPoint(std::string& out, double xMm, double yMm, double pageHeight)
{
    appendPdfNumber(out, xMm * kPdfPointsPerMm);
    out += ' ';
    appendPdfNumber(out, (pageHeight - yMm) * kPdfPointsPerMm);
}

std::string pdfPointText(double xMm, double yMm, const PdfPage& page)
{
    std::string out;
    appendPoint(out, xMm, yMm, page.height);
    return out;
}

// Lines and paths are never thinner than 0.05 mm, so hairlines still print.
static double strokeWidth(double lineWidthMm) { return (lineWidthMm > 0.05 ? lineWidthMm : 0.05) * kPdfPointsPerMm; }

static void appendHex4(std::string& out, uint32_t v)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    char d[4] = {kHex[v >> 12 & 15], kHex[v >> 8 & 15], kHex[v >> 4 & 15], kHex[v & 15]};
    out.append(d, 4);
}

void pdfShowText(std::string& out, const PdfDocument& doc, const PdfOp& op, double pageHeight,
    std::string_view fontName, PdfGlyphSets& glyphsUsed)
{
    Font& font = *pdfFontForStyle(doc, op.style);
    PdfGlyphSet& used = glyphsUsed[op.style < kPdfFontStyleCount ? op.style : 0];
    out += "BT /";
    out += fontName;
    out += ' ';
    appendPdfNumber(out, op.size);
    out += " Tf ";
    appendPoint(out, op.x, op.y, pageHeight);
    out += " Td ";
    appendColor(out, op.colour, false);
    out += " [";
    bool runOpen = false;  // the run holds at least one glyph
    int32_t prev = 0;
    forEachLenientCodePoint(op.text, [&](uint32_t cp) {
        const int32_t glyph = pdfGlyphFor(font, cp);
        if (prev != 0) {
            const double kern = kerning(font, prev, glyph);
            if (kern != 0) {
                out += "> ";
                appendPdfNumber(out, kern * -1000 / font.unitsPerEm);
                out += ' ';
                runOpen = false;
            }
        }
        if (!runOpen)
            out += '<';
        appendHex4(out, uint32_t(glyph));
        runOpen = true;
        used.insert(glyph);
        prev = glyph;
    });
    if (runOpen)
        out += '>';
    out += "] TJ ET\n";
}

static void appendLine(std::string& out, const PdfOp& op, double pageHeight)
{
    out += "q ";
    appendColor(out, op.colour, true);
    out += ' ';
    appendPdfNumber(out, strokeWidth(op.lineWidth));
    out += " w 1 J ";
    if (op.dashed)
        out += "[2 2] 0 d ";
    appendPoint(out, op.x, op.y, pageHeight);
    out += " m ";
    appendPoint(out, op.x + op.w, op.y + op.h, pageHeight);
    out += " l S Q\n";
}

static void appendRectBox(std::string& out, const PdfOp& op, double pageHeight)
{
    constexpr double k = kPdfPointsPerMm;
    appendPdfNumber(out, op.x * k);
    out += ' ';
    appendPdfNumber(out, (pageHeight - op.y - op.h) * k);
    out += ' ';
    appendPdfNumber(out, op.w * k);
    out += ' ';
    appendPdfNumber(out, op.h * k);
}

static void appendRect(std::string& out, const PdfOp& op, double pageHeight)
{
    if (op.fill) {
        out += "q ";
        appendColor(out, op.colour, false);
        out += ' ';
        appendRectBox(out, op, pageHeight);
        out += " re f Q\n";
    }
    if (op.lineWidth > 0) {
        out += "q ";
        appendColor(out, op.colour, true);
        out += ' ';
        appendPdfNumber(out, op.lineWidth * kPdfPointsPerMm);
        out += " w ";
        appendRectBox(out, op, pageHeight);
        out += " re S Q\n";
    }
}

static void appendPath(std::string& out, const PdfOp& op, double pageHeight)
{
    out += "q ";
    appendColor(out, op.colour, true);
    out += ' ';
    appendColor(out, op.colour, false);
    out += ' ';
    appendPdfNumber(out, strokeWidth(op.lineWidth));
    out += " w 1 J 1 j ";
    for (size_t i = 0; i < op.points.size(); ++i) {
        appendPoint(out, op.points[i].x, op.points[i].y, pageHeight);
        out += i == 0 ? " m " : " l ";
    }
    if (op.fill)
        out += op.lineWidth > 0 ? "b" : "f";
    else
        out += op.closed ? "s" : "S";
    out += " Q\n";
}

static void appendPicture(std::string& out, const PdfOp& op, double pageHeight, const PdfPictureNames& names)
{
    if (!op.image)
        return;
    auto name = names.find(op.image->imageId);
    if (name == names.end())
        return;
    constexpr double k = kPdfPointsPerMm;
    out += "q ";
    appendPdfNumber(out, op.w * k);
    out += " 0 0 ";
    appendPdfNumber(out, op.h * k);
    out += ' ';
    appendPdfNumber(out, op.x * k);
    out += ' ';
    appendPdfNumber(out, (pageHeight - op.y - op.h) * k);
    out += " cm /";
    out += name->second;
    out += " Do Q\n";
}

std::string pdfPageContent(
    const PdfDocument& doc, const PdfPage& page, PdfGlyphSets& glyphsUsed, const PdfPictureNames& pictureNames)
{
    std::string out;
    for (const PdfOp& op : page.ops) {
        switch (op.kind) {
        case pokText:
            pdfShowText(
                out, doc, op, page.height, kPdfFontNames[op.style < kPdfFontStyleCount ? op.style : 0], glyphsUsed);
            break;
        case pokLine:
            appendLine(out, op, page.height);
            break;
        case pokRect:
            appendRect(out, op, page.height);
            break;
        case pokPath:
            appendPath(out, op, page.height);
            break;
        case pokImage:
            appendPicture(out, op, page.height, pictureNames);
            break;
        }
    }
    return out;
}

}  // namespace qm
