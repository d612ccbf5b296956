#pragma once
// Embeds the glyphs one text style used as a composite font: Type0 with
// Identity-H over a CIDFontType2 whose CIDs are glyph ids, the TrueType
// subset, a descriptor, widths of exactly the used glyphs and a ToUnicode map
// that lets readers search and copy the text.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "formats/pdf/pdf_serialize.h"

namespace qm {

// The six-letter subset tag of each PdfFontStyle.
inline constexpr std::string_view kPdfSubsetTags[kPdfFontStyleCount] = {
    "TAVEKR", "TAVEKB", "TAVEKI", "TAVEKJ", "TAVEKM"};

// Appends the font program, descriptor, CID font, ToUnicode stream and Type0
// font; returns the Type0 font's object number. Font failures propagate.
int32_t embedPdfFont(
    PdfWriter& w, Font& font, std::span<const int32_t> glyphs, std::string_view tag, bool italic, bool fixedPitch);

// The ToUnicode CMap of the glyphs (ascending): each glyph that some code
// point reaches maps to the smallest such code point.
std::string toUnicodeCMap(const Font& font, std::span<const int32_t> glyphs);

// A font-unit advance in the 1000-unit text space.
std::string pdfGlyphWidth(double advance, const Font& font);

// "TAG+Family" with "-Bold" and "-Oblique" as the flags ask; characters a PDF
// name cannot hold are written as #xx.
std::string pdfBaseFontName(const Font& font, std::string_view tag, bool italic);

}  // namespace qm
