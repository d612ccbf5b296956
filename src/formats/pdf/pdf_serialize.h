#pragma once
// Turns a PdfDocument into a PDF 1.4 file: pictures, page contents, embedded
// font subsets, link annotations, pages, outline, catalog, information
// dictionary, cross-reference table and trailer. Objects are numbered in the
// order they are made; a few are reserved first and filled in later.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/pdf/pdf_document.h"

namespace qm {

// A local calendar time; the creation date written into the file.
struct PdfDateTime {
    int32_t year = 1970;
    int32_t month = 1;
    int32_t day = 1;
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
};
using PdfClock = std::function<PdfDateTime()>;

// The local time now.
PdfDateTime pdfLocalTime();

// The state of one serialisation.
struct PdfWriter {
    std::vector<std::string> objects;  // object n is objects[n - 1]
    std::vector<int32_t> pageObjects;
    std::vector<int32_t> outlineObjects;
    int32_t outlineRoot = 0;
    const PdfDocument* doc = nullptr;
};

int32_t pdfReserveObject(PdfWriter& w);
int32_t pdfAddObject(PdfWriter& w, std::string body);
void pdfSetObject(PdfWriter& w, int32_t number, std::string body);

// The body of a stream object: the data deflated when the document asks for
// compression, the data is over 64 bytes and deflating makes it shorter.
// `entries` go right after "<<" (so "<</Length1 ..."; no entries give "<< /Length ...").
std::string pdfStreamObject(const PdfDocument& doc, std::string_view entries, std::string_view data);

// Writes a picture (and its soft mask when it has alpha); returns the image's
// object number.
int32_t pdfImageObject(PdfWriter& w, const PdfImage& picture);

// "[page 0 R /XYZ 0 top null]", the page index clamped to the document.
std::string pdfDestination(int32_t pageIndex, double targetYMm, const PdfWriter& w);

// "<FEFF...>": UTF-16BE in hexadecimal; a surrogate encoded in the UTF-8
// (ED A0 80 .. ED BF BF) becomes U+FFFD.
std::string pdfTextString(std::string_view text);

// "(...)" with the delimiters escaped and control and non-ASCII bytes left out.
std::string pdfLiteralString(std::string_view bytes);

// "n 0 R" of an outline item, or of the outline root for -1.
std::string pdfRef(int32_t item, const PdfWriter& w);

// The whole file. Pictures met for the first time get an id. Font failures
// (ValueError) reach the caller and no bytes are produced.
std::string serializePdf(PdfDocument& doc, const PdfClock& clock = pdfLocalTime);

}  // namespace qm
