#include "formats/pdf/pdf_font.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "codecs/font/glyph_data.h"
#include "codecs/font/truetype_subset.h"
#include "formats/pdf/pdf_content.h"

namespace qm {

namespace {

void appendHex(std::string& out, uint32_t v, int digits)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out += kHex[v >> shift & 15];
}

// Units of the font scaled to the 1000-unit glyph space.
std::string scaled(double v, const Font& font) { return pdfNumber(v * 1000 / font.unitsPerEm); }

bool isScalarValue(int32_t cp) { return cp >= 0 && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF); }

}  // namespace

std::string pdfGlyphWidth(double advance, const Font& font) { return scaled(advance, font); }

std::string pdfBaseFontName(const Font& font, std::string_view tag, bool italic)
{
    std::string family;
    for (char c : font.familyName)
        if (c != ' ')
            family += c;
    if (font.bold)
        family += "-Bold";
    if (italic)
        family += "-Oblique";
    // A name ends at white space or a delimiter; anything else outside
    // printable ASCII, and '#' itself, is written as #xx.
    std::string out(tag);
    out += '+';
    for (char ch : family) {
        const auto c = static_cast<uint8_t>(ch);
        if (c < 0x21 || c > 0x7E || std::string_view("#()<>[]{}/%").find(char(c)) != std::string_view::npos) {
            out += '#';
            appendHex(out, c, 2);
        } else {
            out += char(c);
        }
    }
    return out;
}

std::string toUnicodeCMap(const Font& font, std::span<const int32_t> glyphs)
{
    std::unordered_map<int32_t, int32_t> smallest;  // glyph -> code point
    smallest.reserve(glyphs.size());
    for (int32_t g : glyphs)
        smallest.emplace(g, -1);
    for (const auto& [cp, g] : font.cmap) {
        auto it = smallest.find(g);
        // Code points that UTF-16 cannot carry are no text to copy.
        if (it != smallest.end() && isScalarValue(cp) && (it->second < 0 || cp < it->second))
            it->second = cp;
    }
    std::vector<std::pair<int32_t, int32_t>> entries;
    for (int32_t g : glyphs)
        if (int32_t cp = smallest[g]; cp >= 0)
            entries.emplace_back(g, cp);

    std::string out = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    for (size_t start = 0; start < entries.size(); start += 100) {
        const size_t end = std::min(entries.size(), start + 100);
        out += std::to_string(end - start);
        out += " beginbfchar\n";
        for (size_t i = start; i < end; ++i) {
            auto [g, cp] = entries[i];
            out += '<';
            appendHex(out, uint32_t(g), 4);
            out += "> <";
            if (cp < 0x10000) {
                appendHex(out, uint32_t(cp), 4);
            } else {
                appendHex(out, uint32_t(((cp - 0x10000) >> 10) + 0xD800), 4);
                appendHex(out, uint32_t((cp & 0x3FF) | 0xDC00), 4);
            }
            out += ">\n";
        }
        out += "endbfchar\n";
    }
    out += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    return out;
}

int32_t embedPdfFont(
    PdfWriter& w, Font& font, std::span<const int32_t> glyphs, std::string_view tag, bool italic, bool fixedPitch)
{
    // Only ids a two-byte code can name were drawn.
    std::vector<int32_t> list;
    for (int32_t g : glyphs)
        if (g >= 0 && g <= 0xFFFF)
            list.push_back(g);
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());

    const std::vector<uint8_t> program = subsetTrueTypeFont(font, list);
    const std::string_view programBytes(reinterpret_cast<const char*>(program.data()), program.size());
    const int32_t fontFile =
        pdfAddObject(w, pdfStreamObject(*w.doc, "/Length1 " + std::to_string(program.size()), programBytes));

    const std::string name = pdfBaseFontName(font, tag, italic);
    const int flags = 4 + (italic ? 64 : 0) + (fixedPitch ? 1 : 0);
    const std::array<int32_t, 4> box = fontBoundingBox(font);
    std::string descriptor = "<< /Type /FontDescriptor /FontName /" + name + " /Flags " + std::to_string(flags)
        + " /FontBBox [" + scaled(box[0], font) + " " + scaled(box[1], font) + " " + scaled(box[2], font) + " "
        + scaled(box[3], font) + "] /ItalicAngle " + (italic ? "-11" : "0") + " /Ascent " + scaled(font.ascent, font)
        + " /Descent " + scaled(font.descent, font) + " /CapHeight " + scaled(font.ascent * 0.72, font) + " /StemV "
        + (font.bold ? "120" : "80") + " /FontFile2 " + std::to_string(fontFile) + " 0 R >>";
    const int32_t descriptorObject = pdfAddObject(w, std::move(descriptor));

    std::string widths = "[";
    for (int32_t g : list) {
        widths += std::to_string(g);
        widths += " [";
        widths += pdfGlyphWidth(advanceWidth(font, g), font);
        widths += "] ";
    }
    widths += "]";
    const int32_t cidFont = pdfAddObject(w,
        "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + name
            + " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor "
            + std::to_string(descriptorObject) + " 0 R /DW 1000 /W " + widths + " /CIDToGIDMap /Identity >>");

    const int32_t toUnicode = pdfAddObject(w, pdfStreamObject(*w.doc, "", toUnicodeCMap(font, list)));
    return pdfAddObject(w,
        "<< /Type /Font /Subtype /Type0 /BaseFont /" + name + " /Encoding /Identity-H /DescendantFonts ["
            + std::to_string(cidFont) + " 0 R] /ToUnicode " + std::to_string(toUnicode) + " 0 R >>");
}

}  // namespace qm
