#pragma once
// Page content streams: each drawing operation of a page becomes a short,
// self-contained run of PDF operators, with millimetres top-down turned into
// points bottom-up. Text is shown by two-byte glyph ids (Identity-H) with the
// font's pair kerning, and the glyphs shown are recorded per style so that
// the embedded fonts carry exactly those.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "formats/pdf/pdf_document.h"

namespace qm {

// Glyph ids 0..0xFFFF (the only ones a two-byte code can name).
struct PdfGlyphSet {
    std::vector<uint64_t> bits = std::vector<uint64_t>(1024);
    bool any = false;

    void insert(int32_t glyph)
    {
        bits[size_t(glyph) >> 6 & 1023] |= uint64_t{1} << (glyph & 63);
        any = true;
    }
    bool contains(int32_t glyph) const { return bits[size_t(glyph) >> 6 & 1023] >> (glyph & 63) & 1; }
    bool empty() const { return !any; }
    std::vector<int32_t> sorted() const;
};
using PdfGlyphSets = std::array<PdfGlyphSet, kPdfFontStyleCount>;

// Resource names of the font styles, "F1" to "F5".
inline constexpr std::string_view kPdfFontNames[kPdfFontStyleCount] = {"F1", "F2", "F3", "F4", "F5"};

// Picture id -> resource name ("Im" and the id).
using PdfPictureNames = std::unordered_map<int32_t, std::string>;

// A real with at most three decimals and no exponent: 12, 2.5, 0.142; "-0"
// and values that are not finite become "0".
std::string pdfNumber(double x);
void appendPdfNumber(std::string& out, double x);

// "r g b rg" (fill) or "r g b RG" (stroke), components clamped to 0..1.
std::string pdfColorOp(double r, double g, double b, bool stroke);

// The point in page space: x and (page height - y), in points.
std::string pdfPointText(double xMm, double yMm, const PdfPage& page);

// Appends the snippet of a text operation.
void pdfShowText(std::string& out, const PdfDocument& doc, const PdfOp& op, double pageHeight,
    std::string_view fontName, PdfGlyphSets& glyphsUsed);

// The content of one page: its operations' snippets in order.
std::string pdfPageContent(
    const PdfDocument& doc, const PdfPage& page, PdfGlyphSets& glyphsUsed, const PdfPictureNames& pictureNames);

}  // namespace qm
