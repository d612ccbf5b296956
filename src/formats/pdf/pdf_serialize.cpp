#include "formats/pdf/pdf_serialize.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unordered_map>

#include "codecs/compress/deflate.h"
#include "core/unicode.h"
#include "core/utf8.h"
#include "formats/pdf/pdf_content.h"
#include "formats/pdf/pdf_font.h"

namespace qm {

PdfDateTime pdfLocalTime()
{
    std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

int32_t pdfReserveObject(PdfWriter& w)
{
    w.objects.emplace_back();
    return static_cast<int32_t>(w.objects.size());
}

int32_t pdfAddObject(PdfWriter& w, std::string body)
{
    w.objects.push_back(std::move(body));
    return static_cast<int32_t>(w.objects.size());
}

void pdfSetObject(PdfWriter& w, int32_t number, std::string body) { w.objects[size_t(number - 1)] = std::move(body); }

static std::string ref(int32_t number) { return std::to_string(number) + " 0 R"; }

std::string pdfStreamObject(const PdfDocument& doc, std::string_view entries, std::string_view data)
{
    std::string packed;
    bool deflated = false;
    if (data.size() > 64 && doc.compress) {
        const std::vector<uint8_t> z =
            zlibStream(std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size()), 6);
        packed.assign(z.begin(), z.end());
        deflated = packed.size() < data.size();
    }
    const std::string_view body = deflated ? std::string_view(packed) : data;
    std::string out;
    out.reserve(body.size() + entries.size() + 64);
    out += "<<";
    out += entries;
    if (deflated)
        out += " /Filter /FlateDecode";
    out += " /Length ";
    out += std::to_string(body.size());
    out += " >>\nstream\n";
    out += body;
    out += "\nendstream";
    return out;
}

int32_t pdfImageObject(PdfWriter& w, const PdfImage& picture)
{
    const std::string size = " /Width " + std::to_string(picture.width) + " /Height " + std::to_string(picture.height);
    const uint64_t pixels = uint64_t(std::max(picture.width, 0)) * uint64_t(std::max(picture.height, 0));
    std::string mask;
    if (picture.alpha.size() == pixels) {
        const int32_t m = pdfAddObject(w,
            pdfStreamObject(*w.doc,
                "/Type /XObject /Subtype /Image" + size + " /ColorSpace /DeviceGray /BitsPerComponent 8",
                picture.alpha));
        mask = " /SMask " + ref(m);
    }
    return pdfAddObject(w,
        pdfStreamObject(*w.doc,
            "/Type /XObject /Subtype /Image" + size + " /ColorSpace /DeviceRGB /BitsPerComponent 8" + mask,
            picture.rgb));
}

std::string pdfDestination(int32_t pageIndex, double targetYMm, const PdfWriter& w)
{
    const int32_t last = static_cast<int32_t>(w.pageObjects.size()) - 1;
    const int32_t p = std::clamp(pageIndex, 0, std::max(last, 0));
    // Appended piece by piece: GCC 12 at -O3 warns falsely on "[" + std::string.
    std::string out = "[";
    out += ref(w.pageObjects[size_t(p)]);
    out += " /XYZ 0 ";
    appendPdfNumber(out, (w.doc->pages[size_t(p)].height - targetYMm) * kPdfPointsPerMm);
    out += " null]";
    return out;
}

std::string pdfTextString(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "<FEFF";
    auto unit = [&](uint32_t u) {
        const char d[4] = {kHex[u >> 12 & 15], kHex[u >> 8 & 15], kHex[u >> 4 & 15], kHex[u & 15]};
        out.append(d, 4);
    };
    forEachLenientCodePoint(text, [&](uint32_t c) {
        // The lenient decoder hands back the encoded form of a surrogate;
        // written as it stands it would be half a pair, which UTF-16 readers
        // refuse, so it goes the way of every other ill-formed sequence.
        if (c >= 0xD800 && c <= 0xDFFF)
            c = kReplacementChar;
        if (c >= 0x10000) {
            unit(((c - 0x10000) >> 10) + 0xD800);
            unit((c & 0x3FF) | 0xDC00);
        } else {
            unit(c);
        }
    });
    out += '>';
    return out;
}

std::string pdfLiteralString(std::string_view bytes)
{
    std::string out = "(";
    for (char ch : bytes) {
        const auto c = static_cast<uint8_t>(ch);
        if (c < 0x20 || c > 0x7E)
            continue;
        if (c == '(' || c == ')' || c == '\\')
            out += '\\';
        out += ch;
    }
    out += ')';
    return out;
}

std::string pdfRef(int32_t item, const PdfWriter& w)
{
    return ref(item < 0 ? w.outlineRoot : w.outlineObjects[size_t(item)]);
}

namespace {

struct Picture {
    const PdfImage* image;
    int32_t object;
};

// A picture the file can describe: a positive size and exactly its samples.
bool drawable(const PdfImage& p)
{
    return p.width > 0 && p.height > 0 && uint64_t(p.width) * uint64_t(p.height) * 3 == p.rgb.size();
}

// Gives the document's pictures ids and writes each once, in the order the
// pages first draw them.
std::vector<std::pair<int32_t, Picture>> writePictures(PdfWriter& w, PdfDocument& doc, PdfPictureNames& names)
{
    std::vector<std::pair<int32_t, Picture>> table;
    std::unordered_map<int32_t, size_t> byId;
    for (const PdfPage& page : doc.pages)
        for (const PdfOp& op : page.ops) {
            if (op.kind != pokImage || !op.image || !drawable(*op.image))
                continue;
            PdfImage& picture = *op.image;
            auto seen = byId.find(picture.imageId);
            if (seen != byId.end() && table[seen->second].second.image == &picture)
                continue;
            // A new picture, or one that another document numbered alike.
            if (picture.imageId <= 0 || seen != byId.end())
                picture.imageId = doc.nextImageId++;
            doc.nextImageId = std::max(doc.nextImageId, picture.imageId + 1);
            const int32_t object = pdfImageObject(w, picture);
            byId[picture.imageId] = table.size();
            table.push_back({picture.imageId, Picture{&picture, object}});
            names[picture.imageId] = "Im" + std::to_string(picture.imageId);
        }
    return table;
}

void writeOutline(PdfWriter& w, const PdfDocument& doc)
{
    const size_t n = doc.outline.size();
    w.outlineRoot = pdfReserveObject(w);
    for (size_t i = 0; i < n; ++i)
        w.outlineObjects.push_back(pdfReserveObject(w));

    std::vector<int32_t> parent(n);
    std::vector<std::vector<int32_t>> children(n);
    std::vector<int32_t> top;
    std::vector<int32_t> stack;
    for (size_t i = 0; i < n; ++i) {
        while (!stack.empty() && doc.outline[size_t(stack.back())].level >= doc.outline[i].level)
            stack.pop_back();
        parent[i] = stack.empty() ? -1 : stack.back();
        (stack.empty() ? top : children[size_t(stack.back())]).push_back(int32_t(i));
        stack.push_back(int32_t(i));
    }
    auto siblingsOf = [&](size_t i) -> const std::vector<int32_t>& {
        return parent[i] < 0 ? top : children[size_t(parent[i])];
    };
    for (size_t i = 0; i < n; ++i) {
        const PdfOutlineItem& item = doc.outline[i];
        std::string body = "<< /Title " + pdfTextString(item.title) + " /Parent " + pdfRef(parent[i], w) + " /Dest "
            + pdfDestination(item.targetPage, item.targetY, w);
        const std::vector<int32_t>& siblings = siblingsOf(i);
        const size_t at = size_t(std::find(siblings.begin(), siblings.end(), int32_t(i)) - siblings.begin());
        if (at > 0)
            body += " /Prev " + pdfRef(siblings[at - 1], w);
        if (at + 1 < siblings.size())
            body += " /Next " + pdfRef(siblings[at + 1], w);
        if (!children[i].empty())
            body += " /First " + pdfRef(children[i].front(), w) + " /Last " + pdfRef(children[i].back(), w)
                + " /Count -" + std::to_string(children[i].size());
        body += " >>";
        pdfSetObject(w, w.outlineObjects[i], std::move(body));
    }
    pdfSetObject(w, w.outlineRoot,
        "<< /Type /Outlines /First " + pdfRef(top.front(), w) + " /Last " + pdfRef(top.back(), w) + " /Count "
            + std::to_string(top.size()) + " >>");
}

std::string creationDate(const PdfDateTime& t)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return buf;
}

std::string assembleFile(const PdfWriter& w)
{
    static constexpr char kHeader[] = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    const size_t n = w.objects.size();
    size_t total = sizeof kHeader + 20 * (n + 1) + 128;
    for (const std::string& body : w.objects)
        total += body.size() + 32;
    std::string out;
    out.reserve(total);
    out.append(kHeader, sizeof kHeader - 1);
    std::vector<size_t> offsets(n);
    for (size_t i = 0; i < n; ++i) {
        offsets[i] = out.size();
        out += std::to_string(i + 1);
        out += " 0 obj\n";
        out += w.objects[i];
        out += "\nendobj\n";
    }
    const size_t xref = out.size();
    out += "xref\n0 " + std::to_string(n + 1) + "\n0000000000 65535 f \n";
    char entry[32];
    for (size_t offset : offsets) {
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        out += entry;
    }
    out += "trailer\n<< /Size " + std::to_string(n + 1) + " /Root 1 0 R /Info " + std::to_string(n)
        + " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return out;
}

}  // namespace

std::string serializePdf(PdfDocument& doc, const PdfClock& clock)
{
    PdfWriter w;
    w.doc = &doc;
    const int32_t catalog = pdfReserveObject(w);
    const int32_t pageTree = pdfReserveObject(w);

    PdfPictureNames pictureNames;
    const auto pictures = writePictures(w, doc, pictureNames);

    PdfGlyphSets glyphsUsed;
    std::vector<int32_t> contents;
    for (const PdfPage& page : doc.pages) {
        contents.push_back(
            pdfAddObject(w, pdfStreamObject(doc, "", pdfPageContent(doc, page, glyphsUsed, pictureNames))));
        w.pageObjects.push_back(pdfReserveObject(w));
    }

    std::string fontEntries;
    for (int s = 0; s < kPdfFontStyleCount; ++s) {
        const auto style = static_cast<PdfFontStyle>(s);
        if (glyphsUsed[s].empty()) {
            if (style != pfsRegular && style != pfsBold)
                continue;
            glyphsUsed[s].insert(0);
        }
        const FontRef& font = pdfFontForStyle(doc, style);
        const bool italic = (style == pfsItalic || style == pfsBoldItalic) && font != doc.fonts[pfsRegular]
            && font != doc.fonts[pfsBold];
        const bool fixedPitch = style == pfsExtra && doc.fonts[pfsExtra] != nullptr;
        const std::vector<int32_t> glyphs = glyphsUsed[s].sorted();
        const int32_t type0 = embedPdfFont(w, *font, glyphs, kPdfSubsetTags[s], italic, fixedPitch);
        fontEntries += "/F" + std::to_string(s + 1) + " " + ref(type0) + " ";
    }

    std::string resources = "<< /Font << " + fontEntries + ">>";
    if (!pictures.empty()) {
        resources += " /XObject << ";
        for (const auto& [id, picture] : pictures)
            resources += "/" + pictureNames[id] + " " + ref(picture.object) + " ";
        resources += ">>";
    }
    resources += " /ProcSet [/PDF /Text /ImageC] >>";

    constexpr double k = kPdfPointsPerMm;
    for (size_t p = 0; p < doc.pages.size(); ++p) {
        const PdfPage& page = doc.pages[p];
        std::string annots;
        for (const PdfLink& link : page.links) {
            std::string body = "<< /Type /Annot /Subtype /Link /Rect [";
            appendPdfNumber(body, link.x * k);
            body += ' ';
            appendPdfNumber(body, (page.height - link.y - link.h) * k);
            body += ' ';
            appendPdfNumber(body, (link.x + link.w) * k);
            body += ' ';
            appendPdfNumber(body, (page.height - link.y) * k);
            body += "] /Border [0 0 0] ";
            if (!link.url.empty())
                body += "/A << /S /URI /URI " + pdfLiteralString(link.url) + " >>";
            else
                body += "/Dest " + pdfDestination(link.targetPage, link.targetY, w);
            body += " >>";
            annots += ref(pdfAddObject(w, std::move(body))) + " ";
        }
        std::string body = "<< /Type /Page /Parent " + ref(pageTree) + " /MediaBox [0 0 ";
        appendPdfNumber(body, page.width * k);
        body += ' ';
        appendPdfNumber(body, page.height * k);
        body += "] /Resources " + resources + " /Contents " + ref(contents[p]);
        if (!page.links.empty())
            body += " /Annots [" + annots + "]";
        body += " >>";
        pdfSetObject(w, w.pageObjects[p], std::move(body));
    }

    std::string kids;
    for (int32_t page : w.pageObjects)
        kids += ref(page) + " ";
    pdfSetObject(
        w, pageTree, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(doc.pages.size()) + " >>");

    const bool withOutline = !doc.outline.empty() && !doc.pages.empty();
    if (withOutline)
        writeOutline(w, doc);
    pdfSetObject(w, catalog,
        "<< /Type /Catalog /Pages " + ref(pageTree)
            + (withOutline ? " /Outlines " + ref(w.outlineRoot) + " /PageMode /UseOutlines" : "") + " >>");

    pdfAddObject(w,
        "<< /Title " + pdfTextString(doc.title) + " /Author " + pdfTextString(doc.author) + " /Subject "
            + pdfTextString(doc.subject) + " /Producer " + pdfTextString("Quenmark") + " /Creator "
            + pdfTextString("Quenmark") + " /CreationDate (D:" + creationDate(clock()) + ") >>");
    return assembleFile(w);
}

}  // namespace qm
