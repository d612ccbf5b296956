// A report-like PDF: 10,000 table rows on 250 Letter pages, six cells a row
// fitted at 7.5 points, a rule under each row, DejaVu Sans subset-embedded,
// pages compressed. Measured beside reportlab drawing the same table (run as
// a child process that times only its own drawing and saving), and the
// deflate share beside zlib level 6 on the same streams.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "codecs/compress/deflate.h"
#include "core/files.h"
#include "formats/pdf/pdf_content.h"
#include "formats/pdf/pdf_serialize.h"

#ifdef QM_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

using namespace qm;

constexpr int kRows = 10000;
constexpr int kRowsPerPage = 40;
constexpr double kWidths[6] = {24, 66, 28, 26, 24, 26};
const char* const kHeads[6] = {"Date", "Payee", "Category", "Account", "Amount", "Balance"};

using Row = std::vector<std::string>;

std::vector<Row> makeRows()
{
    const char* payees[] = {"Groceries at the corner market", "Rent", "Electricity and heating \xE2\x80\x93 winter",
        "Caf\xC3\xA9 Ren\xC3\xA9", "Salary", "Transfer to savings account for the holidays", "Phone",
        "Insurance (car, home and travel)"};
    const char* categories[] = {
        "Food", "Housing", "Utilities", "Dining out", "Income", "Savings", "Phone", "Insurance"};
    const char* accounts[] = {"Checking", "Credit card", "Savings"};
    std::vector<Row> rows;
    double balance = 2500;
    for (int i = 0; i < kRows; ++i) {
        const double amount = ((i * 7919) % 40000 - 20000) / 100.0;
        balance += amount;
        char date[16], amt[32], bal[32];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", 2024 + i / 3650, i / 300 % 12 + 1, i % 28 + 1);
        std::snprintf(amt, sizeof amt, "$%.2f", amount);
        std::snprintf(bal, sizeof bal, "$%.2f", balance);
        rows.push_back({date, std::string(payees[i % 8]) + " #" + std::to_string(i), categories[i % 8], accounts[i % 3],
            amt, bal});
    }
    return rows;
}

FontRef dejavu(const char* file)
{
    std::string bytes = readFile(std::string("/usr/share/fonts/truetype/dejavu/") + file);
    return parseTrueType(FontData(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

PdfDocumentRef buildReport(const std::vector<Row>& rows, const FontRef& regular, const FontRef& bold)
{
    PdfDocumentRef doc = newPdfDocument(regular, bold);
    doc->title = "Report";
    int32_t page = -1;
    double y = 0;
    for (size_t r = 0; r < rows.size(); ++r) {
        if (r % kRowsPerPage == 0) {
            page = addPdfPage(*doc, 215.9, 279.4);
            pdfRect(*doc, page, 15, 20, 194, 7, true, pdfRgb(0.9, 0.92, 0.95), 0);
            double x = 16.5;
            for (int c = 0; c < 6; ++c) {
                pdfText(*doc, page, x, 25, kHeads[c], 8, pfsBold, pdfRgb(0.1, 0.1, 0.1));
                x += kWidths[c] + 1.5;
            }
            y = 33;
        }
        double x = 16.5;
        for (int c = 0; c < 6; ++c) {
            pdfText(*doc, page, x, y, fitPdfText(*doc, rows[r][size_t(c)], kWidths[c] - 2, 7.5, pfsRegular), 7.5,
                pfsRegular, pdfRgb(0.1, 0.1, 0.1));
            x += kWidths[c] + 1.5;
        }
        pdfLine(*doc, page, 15, y + 1.8, 209, y + 1.8, 0.1, pdfRgb(0.8, 0.8, 0.8), false);
        y += 6;
    }
    return doc;
}

struct Shared {
    std::vector<Row> rows = makeRows();
    FontRef regular = dejavu("DejaVuSans.ttf");
    FontRef bold = dejavu("DejaVuSans-Bold.ttf");
};

Shared& shared()
{
    static Shared s;
    return s;
}

void qmReport(benchmark::State& state, bool compress)
{
    Shared& s = shared();
    size_t bytes = 0;
    for (auto _ : state) {
        PdfDocumentRef doc = buildReport(s.rows, s.regular, s.bold);
        doc->compress = compress;
        std::string file = serializePdf(*doc);
        bytes = file.size();
        benchmark::DoNotOptimize(file.data());
    }
    state.counters["file_bytes"] = double(bytes);
}

void reportlabReport(benchmark::State& state)
{
    Shared& s = shared();
    const std::string rowsPath = "/tmp/qm_bench_pdf_rows.tsv", outPath = "/tmp/qm_bench_pdf_reportlab.pdf";
    {
        std::ofstream f(rowsPath, std::ios::binary);
        for (const Row& row : s.rows) {
            for (size_t c = 0; c < row.size(); ++c)
                f << row[c] << (c + 1 < row.size() ? "\t" : "\n");
        }
    }
    const std::string cmd =
        "/usr/bin/python3 " QM_SOURCE_DIR "/bench/pdf_reportlab.py " + rowsPath + " " + outPath + " 1";
    double bytes = 0;
    for (auto _ : state) {
        FILE* p = popen(cmd.c_str(), "r");
        double seconds = 0;
        if (!p || std::fscanf(p, "%lf %lf", &seconds, &bytes) != 2) {
            state.SkipWithError("reportlab did not run");
            if (p)
                pclose(p);
            return;
        }
        pclose(p);
        state.SetIterationTime(seconds);
    }
    state.counters["file_bytes"] = bytes;
}

// The streams the report deflates: its page contents.
std::vector<std::string> reportStreams()
{
    Shared& s = shared();
    PdfDocumentRef doc = buildReport(s.rows, s.regular, s.bold);
    PdfGlyphSets used;
    std::vector<std::string> streams;
    for (const PdfPage& page : doc->pages)
        streams.push_back(pdfPageContent(*doc, page, used, {}));
    return streams;
}

void qmDeflate(benchmark::State& state)
{
    const std::vector<std::string> streams = reportStreams();
    for (auto _ : state)
        for (const std::string& s : streams)
            benchmark::DoNotOptimize(zlibStream(std::span(reinterpret_cast<const uint8_t*>(s.data()), s.size()), 6));
}

#ifdef QM_HAVE_ZLIB
void zlibDeflate(benchmark::State& state)
{
    const std::vector<std::string> streams = reportStreams();
    std::vector<Bytef> out;
    for (auto _ : state)
        for (const std::string& s : streams) {
            uLongf n = compressBound(uLong(s.size()));
            out.resize(n);
            compress2(out.data(), &n, reinterpret_cast<const Bytef*>(s.data()), uLong(s.size()), 6);
            benchmark::DoNotOptimize(out.data());
        }
}
#endif

}  // namespace

BENCHMARK_CAPTURE(qmReport, compressed, true)->Name("qm/pdf_report")->Unit(benchmark::kMillisecond);
// Without deflate: the rest of the work, for the deflate share.
BENCHMARK_CAPTURE(qmReport, plain, false)->Name("qm/pdf_report_uncompressed")->Unit(benchmark::kMillisecond);
BENCHMARK(reportlabReport)->Name("reportlab/pdf_report")->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(qmDeflate)->Name("qm/pdf_report_deflate")->Unit(benchmark::kMillisecond);
#ifdef QM_HAVE_ZLIB
BENCHMARK(zlibDeflate)->Name("zlib/pdf_report_deflate")->Unit(benchmark::kMillisecond);
#endif

BENCHMARK_MAIN();
