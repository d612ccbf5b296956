#pragma once
// The PDF writer's document: pages of drawing operations in millimetres with
// the origin at the top left and y growing downwards, kept in memory until
// serializePdf (formats/pdf/pdf_serialize.h) turns them into a file. Text is
// measured and drawn one glyph per code point with pair kerning, no shaping.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/font/font.h"

namespace qm {

struct Image;

// Points per millimetre; every conversion in the writer uses this value.
inline constexpr double kPdfPointsPerMm = 72.0 / 25.4;

enum PdfOpKind : uint8_t {
    pokText = 0,
    pokLine = 1,
    pokRect = 2,
    pokPath = 3,
    pokImage = 4,
};

enum PdfFontStyle : uint8_t {
    pfsRegular = 0,
    pfsBold = 1,
    pfsItalic = 2,
    pfsBoldItalic = 3,
    pfsExtra = 4,
};
inline constexpr int kPdfFontStyleCount = 5;

enum PdfAlign : uint8_t {
    paLeft = 0,
    paCenter = 1,
    paRight = 2,
};

struct PdfColor {
    double r = 0;
    double g = 0;
    double b = 0;
};

struct PdfImage {
    int32_t width = 0;
    int32_t height = 0;
    std::string rgb;      // 3 bytes a pixel, rows from the top
    std::string alpha;    // 1 byte a pixel; any other length means opaque
    int32_t imageId = 0;  // given by the first serialisation that meets it
};
using PdfImageRef = std::shared_ptr<PdfImage>;

struct PdfPoint {
    double x = 0;
    double y = 0;
};

struct PdfOp {
    PdfOpKind kind = pokText;
    double x = 0;  // text: baseline start; line: start; rectangle, picture: top left
    double y = 0;
    double w = 0;  // rectangle, picture: size; line: offset to the end point
    double h = 0;
    std::string text;
    PdfFontStyle style = pfsRegular;
    double size = 0;  // points
    PdfColor colour;
    bool fill = false;
    double lineWidth = 0;  // mm; for a rectangle its outline (0 = none)
    std::vector<PdfPoint> points;
    bool closed = false;
    bool dashed = false;
    PdfImageRef image;
};

struct PdfLink {
    double x = 0;
    double y = 0;
    double w = 0;
    double h = 0;
    int32_t targetPage = 0;
    double targetY = 0;
    std::string url;  // empty: a link to targetPage inside the document
};

struct PdfOutlineItem {
    std::string title;
    int32_t level = 0;  // a child of the nearest earlier item of a lower level
    int32_t targetPage = 0;
    double targetY = 0;
};

struct PdfPage {
    double width = 0;  // mm
    double height = 0;
    std::vector<PdfOp> ops;
    std::vector<PdfLink> links;
};

struct PdfDocument {
    std::vector<PdfPage> pages;
    // Indexed by PdfFontStyle; regular is always set.
    FontRef fonts[kPdfFontStyleCount];
    std::string title;
    std::string author = "Quenmark";
    std::string subject;
    bool compress = true;
    std::vector<PdfOutlineItem> outline;
    // The next picture id; ids stay unique within the document across
    // serialisations, so no two pictures of one file share a name.
    int32_t nextImageId = 1;
};
using PdfDocumentRef = std::shared_ptr<PdfDocument>;

// A document without pages. `bold` may be empty: bold text then uses regular.
// Raises ValueError when `regular` is empty.
PdfDocumentRef newPdfDocument(const FontRef& regular, const FontRef& bold);

// Drops the caller's reference; the last one frees the pages and releases the
// fonts and pictures.
inline void freePdfDocument(PdfDocumentRef& doc) { doc.reset(); }

// Appends an empty page and returns its index.
int32_t addPdfPage(PdfDocument& doc, double widthMm, double heightMm);

inline PdfColor pdfRgb(double r, double g, double b) { return {r, g, b}; }

// The drawing operations below raise IndexError for a page index that
// addPdfPage did not return.

// Nothing for an empty text; y is the baseline.
void pdfText(PdfDocument& doc, int32_t page, double x, double y, std::string_view text, double sizePt,
    PdfFontStyle style, PdfColor colour);
void pdfRect(PdfDocument& doc, int32_t page, double x, double y, double w, double h, bool fill, PdfColor colour,
    double lineWidthMm);
void pdfLine(PdfDocument& doc, int32_t page, double x1, double y1, double x2, double y2, double lineWidthMm,
    PdfColor colour, bool dashed);
// A polyline through the points; filled, or stroked (closed when asked).
void pdfPath(PdfDocument& doc, int32_t page, std::vector<PdfPoint> points, bool fill, bool closed, PdfColor colour,
    double lineWidthMm);
// Nothing for an empty picture reference.
void pdfImage(PdfDocument& doc, int32_t page, double x, double y, double w, double h, const PdfImageRef& image);
void pdfLink(PdfDocument& doc, int32_t page, const PdfLink& link);
void pdfOutlineItem(PdfDocument& doc, const PdfOutlineItem& item);

// A picture from an 8-bit RGB or RGBA (or grey, grey+alpha) image; alpha is
// kept only when the image has it. Raises ValueError for other channel counts
// or pixel data of the wrong size.
PdfImageRef newPdfImage(const Image& image);

// The font that draws a style: the first slot set of those the style names.
const FontRef& pdfFontForStyle(const PdfDocument& doc, PdfFontStyle style);

// The glyph drawn for a code point: 0 when the font has none or when its id
// cannot be written as the two-byte code text is shown with.
int32_t pdfGlyphFor(const Font& font, uint32_t codePoint);

inline double pointsToMm(double pt) { return pt / kPdfPointsPerMm; }

double pdfTextWidth(const PdfDocument& doc, std::string_view text, double sizePt, PdfFontStyle style);

void drawPdfAlignedText(PdfDocument& doc, int32_t page, double x, double y, double width, std::string_view text,
    double sizePt, PdfAlign align, PdfFontStyle style, PdfColor colour);

// The text unchanged when it fits; otherwise the longest prefix of whole code
// points that fits with a trailing "…" (just "…" when none does).
std::string fitPdfText(
    const PdfDocument& doc, std::string_view text, double maxWidthMm, double sizePt, PdfFontStyle style);

}  // namespace qm
