#include "formats/pdf/pdf_document.h"

#include "codecs/font/cmap.h"
#include "codecs/font/kerning.h"
#include "codecs/image/image.h"
#include "core/errors.h"
#include "core/unicode.h"
#include "core/utf8.h"

namespace qm {

PdfDocumentRef newPdfDocument(const FontRef& regular, const FontRef& bold)
{
    if (!regular)
        throw ValueError("a PDF document needs a regular font");
    auto doc = std::make_shared<PdfDocument>();
    doc->fonts[pfsRegular] = regular;
    doc->fonts[pfsBold] = bold ? bold : regular;
    return doc;
}

int32_t addPdfPage(PdfDocument& doc, double widthMm, double heightMm)
{
    doc.pages.push_back(PdfPage{widthMm, heightMm, {}, {}});
    return static_cast<int32_t>(doc.pages.size() - 1);
}

static PdfPage& pageAt(PdfDocument& doc, int32_t page)
{
    if (page < 0 || size_t(page) >= doc.pages.size())
        throw IndexError("no such page in the PDF document");
    return doc.pages[size_t(page)];
}

void pdfText(PdfDocument& doc, int32_t page, double x, double y, std::string_view text, double sizePt,
    PdfFontStyle style, PdfColor colour)
{
    PdfPage& p = pageAt(doc, page);
    if (text.empty())
        return;
    PdfOp op;
    op.kind = pokText;
    op.x = x;
    op.y = y;
    op.text = text;
    op.size = sizePt;
    op.style = style;
    op.colour = colour;
    p.ops.push_back(std::move(op));
}

void pdfRect(PdfDocument& doc, int32_t page, double x, double y, double w, double h, bool fill, PdfColor colour,
    double lineWidthMm)
{
    PdfOp op;
    op.kind = pokRect;
    op.x = x;
    op.y = y;
    op.w = w;
    op.h = h;
    op.fill = fill;
    op.colour = colour;
    op.lineWidth = lineWidthMm;
    pageAt(doc, page).ops.push_back(std::move(op));
}

void pdfLine(PdfDocument& doc, int32_t page, double x1, double y1, double x2, double y2, double lineWidthMm,
    PdfColor colour, bool dashed)
{
    PdfOp op;
    op.kind = pokLine;
    op.x = x1;
    op.y = y1;
    op.w = x2 - x1;
    op.h = y2 - y1;
    op.lineWidth = lineWidthMm;
    op.colour = colour;
    op.dashed = dashed;
    pageAt(doc, page).ops.push_back(std::move(op));
}

void pdfPath(PdfDocument& doc, int32_t page, std::vector<PdfPoint> points, bool fill, bool closed, PdfColor colour,
    double lineWidthMm)
{
    PdfOp op;
    op.kind = pokPath;
    op.points = std::move(points);
    op.fill = fill;
    op.closed = closed;
    op.colour = colour;
    op.lineWidth = lineWidthMm;
    pageAt(doc, page).ops.push_back(std::move(op));
}

void pdfImage(PdfDocument& doc, int32_t page, double x, double y, double w, double h, const PdfImageRef& image)
{
    PdfPage& p = pageAt(doc, page);
    if (!image)
        return;
    PdfOp op;
    op.kind = pokImage;
    op.x = x;
    op.y = y;
    op.w = w;
    op.h = h;
    op.image = image;
    p.ops.push_back(std::move(op));
}

void pdfLink(PdfDocument& doc, int32_t page, const PdfLink& link) { pageAt(doc, page).links.push_back(link); }

void pdfOutlineItem(PdfDocument& doc, const PdfOutlineItem& item) { doc.outline.push_back(item); }

PdfImageRef newPdfImage(const Image& image)
{
    const int32_t c = image.channels;
    if (c < 1 || c > 4 || image.width < 0 || image.height < 0)
        throw ValueError("a PDF picture needs 1 to 4 channels");
    const size_t n = size_t(image.width) * size_t(image.height);
    if (image.pixels.size() != n * size_t(c))
        throw ValueError("the picture's pixel data has the wrong size");
    auto out = std::make_shared<PdfImage>();
    out->width = image.width;
    out->height = image.height;
    out->rgb.resize(n * 3);
    const bool hasAlpha = c == 2 || c == 4;
    if (hasAlpha)
        out->alpha.resize(n);
    const uint8_t* src = image.pixels.data();
    for (size_t i = 0; i < n; ++i, src += c) {
        const bool grey = c < 3;
        out->rgb[3 * i] = char(src[0]);
        out->rgb[3 * i + 1] = char(grey ? src[0] : src[1]);
        out->rgb[3 * i + 2] = char(grey ? src[0] : src[2]);
        if (hasAlpha)
            out->alpha[i] = char(src[c - 1]);
    }
    return out;
}

const FontRef& pdfFontForStyle(const PdfDocument& doc, PdfFontStyle style)
{
    const FontRef* const f = doc.fonts;
    switch (style) {
    case pfsBold:
        return f[pfsBold] ? f[pfsBold] : f[pfsRegular];
    case pfsItalic:
        return f[pfsItalic] ? f[pfsItalic] : f[pfsRegular];
    case pfsBoldItalic:
        if (f[pfsBoldItalic])
            return f[pfsBoldItalic];
        if (f[pfsItalic])
            return f[pfsItalic];
        return f[pfsBold] ? f[pfsBold] : f[pfsRegular];
    case pfsExtra:
        return f[pfsExtra] ? f[pfsExtra] : f[pfsRegular];
    default:
        return f[pfsRegular];
    }
}

int32_t pdfGlyphFor(const Font& font, uint32_t codePoint)
{
    if (codePoint > 0x10FFFF)
        return 0;
    int32_t g = glyphIndex(font, static_cast<int32_t>(codePoint));
    return g < 0 || g > 0xFFFF ? 0 : g;
}

namespace {

// Sums advances and kerning in points, one code point at a time, in the order
// the width of a whole text is summed, so a running total equals the width of
// the text read so far bit for bit.
struct WidthWalk {
    Font& font;
    double scale;
    double sum = 0;
    int32_t prev = 0;

    // The sum after appending `glyph` to the current state.
    double with(double base, int32_t previous, int32_t glyph) const
    {
        if (previous != 0)
            base += kerning(font, previous, glyph) * scale;
        return base + advanceWidth(font, glyph) * scale;
    }
    void add(int32_t glyph)
    {
        sum = with(sum, prev, glyph);
        prev = glyph;
    }
};

WidthWalk startWalk(const PdfDocument& doc, double sizePt, PdfFontStyle style)
{
    Font& font = *pdfFontForStyle(doc, style);
    return WidthWalk{font, sizePt / font.unitsPerEm};
}

}  // namespace

double pdfTextWidth(const PdfDocument& doc, std::string_view text, double sizePt, PdfFontStyle style)
{
    if (text.empty())
        return 0;
    WidthWalk walk = startWalk(doc, sizePt, style);
    forEachLenientCodePoint(text, [&](uint32_t cp) { walk.add(pdfGlyphFor(walk.font, cp)); });
    return walk.sum / kPdfPointsPerMm;
}

void drawPdfAlignedText(PdfDocument& doc, int32_t page, double x, double y, double width, std::string_view text,
    double sizePt, PdfAlign align, PdfFontStyle style, PdfColor colour)
{
    const double tw = pdfTextWidth(doc, text, sizePt, style);
    if (align == paCenter)
        x += (width - tw) * 0.5;
    else if (align == paRight)
        x += width - tw;
    pdfText(doc, page, x, y, text, sizePt, style, colour);
}

std::string fitPdfText(
    const PdfDocument& doc, std::string_view text, double maxWidthMm, double sizePt, PdfFontStyle style)
{
    if (pdfTextWidth(doc, text, sizePt, style) <= maxWidthMm)
        return std::string(text);
    // Each candidate is the prefix, one more code point and the ellipsis; the
    // prefix's width is carried along instead of measured again.
    WidthWalk walk = startWalk(doc, sizePt, style);
    const int32_t ellipsis = pdfGlyphFor(walk.font, 0x2026);
    std::string prefix;
    for (size_t at = 0; at < text.size();) {
        LenientUtf8Step step = decodeUtf8Lenient(text, at);
        // A surrogate comes back re-encoded as U+FFFD; measure what is written.
        const uint32_t cp = step.codePoint >= 0xD800 && step.codePoint <= 0xDFFF ? kReplacementChar : step.codePoint;
        const int32_t g = pdfGlyphFor(walk.font, cp);
        const double withGlyph = walk.with(walk.sum, walk.prev, g);
        const double candidate = walk.with(withGlyph, g, ellipsis) / kPdfPointsPerMm;
        if (candidate > maxWidthMm)
            break;
        walk.sum = withGlyph;
        walk.prev = g;
        appendUtf8(prefix, cp);
        at += step.length;
    }
    prefix += "\xE2\x80\xA6";
    return prefix;
}

}  // namespace qm
