// Writes PDF files and font subsets for the oracle scripts:
//   pdf_tool samples <out dir>   the sample documents and manifest.json
//   pdf_tool subset <font> <out> [glyph ...]   a TrueType subset
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "codecs/font/builtin_fonts.h"
#include "codecs/font/truetype_subset.h"
#include "codecs/image/image.h"
#include "core/files.h"
#include "core/json.h"
#include "formats/pdf/pdf_document.h"
#include "formats/pdf/pdf_serialize.h"

using namespace qm;

namespace {

const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/";

struct Family {
    std::string name;
    std::string paths[kPdfFontStyleCount];  // what the oracle opens
    FontRef fonts[kPdfFontStyleCount];
};

FontRef loadPath(const std::string& path)
{
    std::string bytes = readFile(path);
    return parseTrueType(FontData(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

Family dejavu()
{
    Family f{"dejavu", {}, {}};
    const char* files[] = {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSans-Oblique.ttf",
        "DejaVuSans-BoldOblique.ttf", "DejaVuSansMono.ttf"};
    for (int s = 0; s < kPdfFontStyleCount; ++s) {
        f.paths[s] = std::string(kDejaVu) + files[s];
        f.fonts[s] = loadPath(f.paths[s]);
    }
    return f;
}

Family plex(const std::string& sourceDir)
{
    Family f{"plex", {}, {}};
    const BuiltinFont which[] = {BuiltinFont::sansRegular, BuiltinFont::sansBold, BuiltinFont::sansMedium,
        BuiltinFont::sansSemiBold, BuiltinFont::monoRegular};
    const char* files[] = {
        "IBMPlexSans-Regular", "IBMPlexSans-Bold", "IBMPlexSans-Medium", "IBMPlexSans-SemiBold", "IBMPlexMono-Regular"};
    for (int s = 0; s < kPdfFontStyleCount; ++s) {
        f.paths[s] = sourceDir + "/third_party/fonts/" + files[s] + ".woff";
        f.fonts[s] = parseTrueType(builtinFontFile(which[s]));
    }
    return f;
}

PdfDateTime fixedClock() { return {2024, 5, 17, 9, 30, 5}; }

PdfImageRef picture(bool alpha)
{
    ImagePtr img = newImage(24, 16, alpha ? 4 : 3);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x) {
            uint8_t* p = img->pixels.data() + (size_t(y) * 24 + size_t(x)) * size_t(img->channels);
            p[0] = uint8_t(x * 10);
            p[1] = uint8_t(y * 15);
            p[2] = uint8_t(200 - x * 5);
            if (alpha)
                p[3] = uint8_t((x + y) * 6);
        }
    return newPdfImage(*img);
}

const char* const kLines[] = {
    "AVATAR To Wa Ty LT AV",
    "Caf\xC3\xA9 r\xC3\xA9sum\xC3\xA9 na\xC3\xAF"
    "ve \xC3\x85ngstr\xC3\xB6m \xC3\x91"
    "and\xC3\xBA",
    "Wait\xE2\x80\xA6 10\xE2\x80\x93"
    "20 \xE2\x86\x92 next \xC2\xB7 dot",
    "Missing \xE6\xBC\xA2\xE5\xAD\x97 here",
    "Balance $1,234.56 on 2024-05-17",
};

// Draws a document and notes what it drew for the oracle.
Json writeDocument(const Family& family, bool allSlots, bool compress, int pages, const std::string& path, bool extras)
{
    PdfDocumentRef doc = newPdfDocument(family.fonts[0], family.fonts[1]);
    if (allSlots)
        for (int s = 2; s < kPdfFontStyleCount; ++s)
            doc->fonts[s] = family.fonts[s];
    doc->compress = compress;
    doc->title = "Financial Report \xE2\x80\x93 " + family.name;
    doc->subject = "Sample";
    Json texts = Json::object();
    Json fonts = Json::object();
    for (int s = 0; s < kPdfFontStyleCount; ++s) {
        const FontRef& used = pdfFontForStyle(*doc, PdfFontStyle(s));
        for (int t = 0; t < kPdfFontStyleCount; ++t)
            if (family.fonts[t] == used)
                fonts[std::to_string(s)] = family.paths[t];
        texts[std::to_string(s)] = Json::array();
    }
    const PdfImageRef opaque = picture(false);
    const PdfImageRef translucent = picture(true);
    for (int p = 0; p < pages; ++p) {
        const int32_t page = addPdfPage(*doc, 215.9, 279.4);
        double y = 20;
        for (int s = 0; s < kPdfFontStyleCount; ++s)
            for (const char* line : kLines) {
                std::string text = std::string(line) + " p" + std::to_string(p + 1) + "s" + std::to_string(s);
                pdfText(*doc, page, 15, y, text, 9 + s, PdfFontStyle(s), pdfRgb(0.1 * s, 0.2, 0.3));
                texts[std::to_string(s)].push_back(text);
                y += 7.5;
            }
        if (!extras)
            continue;
        std::string fitted =
            fitPdfText(*doc, "Groceries and household supplies for the month of May", 40, 7.5, pfsRegular);
        drawPdfAlignedText(*doc, page, 120, 20, 60, fitted, 7.5, paRight, pfsRegular, pdfRgb(0, 0, 0));
        texts["0"].push_back(fitted);
        pdfLine(*doc, page, 15, 215, 200, 215, 0.3, pdfRgb(0.2, 0.2, 0.2), false);
        pdfLine(*doc, page, 15, 220, 200, 220, 0, pdfRgb(0.8, 0, 0), true);
        pdfRect(*doc, page, 15, 225, 40, 10, true, pdfRgb(0.9, 0.9, 0.5), 0);
        pdfRect(*doc, page, 60, 225, 40, 10, false, pdfRgb(0, 0.4, 0.8), 0.5);
        pdfRect(*doc, page, 105, 225, 40, 10, true, pdfRgb(1.2, -0.1, 0.5), 0.2);
        pdfPath(*doc, page, {{15, 245}, {30, 240}, {45, 250}, {60, 242}}, false, false, pdfRgb(0, 0.5, 0), 0.4);
        pdfPath(*doc, page, {{70, 240}, {90, 240}, {80, 255}}, true, true, pdfRgb(0.5, 0, 0.5), 0);
        pdfPath(*doc, page, {{100, 240}, {120, 240}, {110, 255}}, false, true, pdfRgb(0.5, 0.5, 0), 0.2);
        pdfImage(*doc, page, 130, 238, 24, 16, opaque);
        pdfImage(*doc, page, 160, 238, 24, 16, translucent);
        pdfLink(*doc, page, PdfLink{15, 260, 50, 8, (p + 1) % pages, 40, ""});
        pdfLink(*doc, page, PdfLink{80, 260, 50, 8, 0, 0, "https://example.com/report?(q)=1"});
        pdfText(*doc, page, 15, 266, "Next page", 9, pfsRegular, pdfRgb(0, 0, 1));
        pdfText(*doc, page, 80, 266, "Web link", 9, pfsRegular, pdfRgb(0, 0, 1));
        texts["0"].push_back("Next page");
        texts["0"].push_back("Web link");
    }
    if (extras) {
        const char* titles[] = {"Summary", "Balances", "Caf\xC3\xA9 \xF0\x9F\x93\x88", "Details", "Rows", "Deep"};
        const int levels[] = {0, 1, 1, 0, 1, 2};
        for (int i = 0; i < 6; ++i)
            pdfOutlineItem(*doc, PdfOutlineItem{titles[i], levels[i], i % pages, 30});
    }
    writeFileAtomic(path, serializePdf(*doc, fixedClock));
    return Json{{"file", path}, {"pages", pages}, {"title", doc->title}, {"texts", texts}, {"fonts", fonts},
        {"compress", compress}, {"all_slots", allSlots}, {"extras", extras}};
}

int samples(const std::string& outDir, const std::string& sourceDir)
{
    Json manifest = Json::array();
    for (const Family& family : {dejavu(), plex(sourceDir)}) {
        // An empty page.
        {
            PdfDocumentRef doc = newPdfDocument(family.fonts[0], family.fonts[1]);
            doc->title = "Empty";
            addPdfPage(*doc, 215.9, 279.4);
            const std::string path = outDir + "/" + family.name + "-empty.pdf";
            writeFileAtomic(path, serializePdf(*doc, fixedClock));
            manifest.push_back(Json{{"file", path}, {"pages", 1}, {"title", "Empty"}, {"texts", Json::object()},
                {"fonts", Json{{"0", family.paths[0]}, {"1", family.paths[1]}}}, {"compress", true},
                {"all_slots", false}, {"extras", false}});
        }
        for (bool allSlots : {true, false})
            for (bool compress : {true, false}) {
                const std::string path = outDir + "/" + family.name + (allSlots ? "-slots" : "-noslots")
                    + (compress ? "-z" : "-plain") + ".pdf";
                manifest.push_back(writeDocument(family, allSlots, compress, allSlots ? 12 : 5, path, true));
            }
    }
    writeFileAtomic(outDir + "/manifest.json", dumpJson(manifest, 1));
    return 0;
}

int subset(const std::string& fontPath, const std::string& out, const std::vector<int32_t>& glyphs)
{
    FontRef font = loadPath(fontPath);
    std::vector<uint8_t> bytes = subsetTrueTypeFont(*font, glyphs);
    writeFileAtomic(out, std::string(bytes.begin(), bytes.end()));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        const std::string cmd = argc > 1 ? argv[1] : "";
        if (cmd == "samples" && argc == 4)
            return samples(argv[2], argv[3]);
        if (cmd == "subset" && argc >= 4) {
            std::vector<int32_t> glyphs;
            for (int i = 4; i < argc; ++i)
                glyphs.push_back(std::atoi(argv[i]));
            return subset(argv[2], argv[3], glyphs);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pdf_tool: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: pdf_tool samples <out dir> <source dir> | subset <font> <out> [glyph ...]\n");
    return 2;
}
