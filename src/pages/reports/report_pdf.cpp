#include "pages/reports/report_pdf.h"

#include "pages/reports/report_pdf_internal.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "app/navigation.h"
#include "codecs/font/builtin_fonts.h"
#include "core/ascii.h"
#include "model/money.h"

namespace qm {

namespace {

constexpr double W = kReportPageWidthMm;
constexpr double H = kReportPageHeightMm;
constexpr double M = kReportMarginMm;

const PdfColor kInk{0.14, 0.15, 0.17};
const PdfColor kMuted{0.37, 0.39, 0.42};
const PdfColor kBlue{0.165, 0.408, 0.718};
const PdfColor kGreen{0.129, 0.463, 0.235};
const PdfColor kRed{0.741, 0.22, 0.22};
const PdfColor kRule{0.89, 0.9, 0.91};
const PdfColor kTile{0.965, 0.97, 0.98};
const PdfColor kBand{0.2, 0.24, 0.3};
const PdfColor kWhite{1, 1, 1};

constexpr double kChartHeight = 52;

// Where drawing stands: the page and the running y (mm).
struct Cursor {
    PdfDocument& doc;
    int32_t page = 0;
    double y = 0;

    void newPage()
    {
        page = addPdfPage(doc, W, H);
        y = M + 6;
    }
    void text(double x, std::string_view s, double size, PdfFontStyle style, PdfColor colour)
    {
        pdfText(doc, page, x, y, s, size, style, colour);
    }
    void rightText(double x0, double x1, std::string_view s, double size, PdfFontStyle style, PdfColor colour)
    {
        drawPdfAlignedText(doc, page, x0, y, x1 - x0, s, size, paRight, style, colour);
    }
    void heading(std::string_view s) { text(M, s, 13, pfsBold, kInk); }
    void rule() { pdfLine(doc, page, M, y + 2, W - M, y + 2, 0.1, kRule, false); }
    // The dark band behind a table's column labels, at the running y.
    void band(std::initializer_list<double> columns, std::initializer_list<std::string_view> labels)
    {
        pdfRect(doc, page, M, y - 4, W - 2 * M, 6, true, kBand, 0);
        auto label = labels.begin();
        for (double c : columns)
            text(c + 1.5, *label++, 7, pfsBold, kWhite);
        y += 6;
    }
};

PdfColor tileColour(const ReportFigure& f)
{
    switch (f.metric) {
    case ReportMetric::minimum:
    case ReportMetric::expenses:
        return kRed;
    case ReportMetric::maximum:
    case ReportMetric::income:
        return kGreen;
    case ReportMetric::disposable:
        return f.value < 0 ? kRed : kInk;
    default:
        return kInk;
    }
}

void drawTiles(Cursor& c, const ReportModel& model)
{
    const double y0 = M + 34;
    const double cw = (W - 2 * M) / 3;
    const std::vector<ReportFigure> figures = reportMetrics(model.summary);
    for (size_t i = 0; i < figures.size(); ++i) {
        const double x = M + double(i % 3) * cw;
        const double y = y0 + double(i / 3) * 12;
        pdfRect(c.doc, c.page, x, y, cw - 3, 10.5, true, kTile, 0);
        pdfText(c.doc, c.page, x + 3, y + 4, asciiUpper(figures[i].label), 6.5, pfsBold, kMuted);
        pdfText(c.doc, c.page, x + 3, y + 8.8, formatMoney(figures[i].value), 9.5, pfsExtra, tileColour(figures[i]));
    }
    c.y = y0 + double((figures.size() + 2) / 3) * 12 + 6;
}

// A step of 1, 2 or 5 times a power of ten giving about four intervals.
double gridStep(double span)
{
    const double raw = span / 4;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    const double r = raw / mag;
    return mag * (r < 1.5 ? 1 : r < 3.5 ? 2 : r < 7.5 ? 5 : 10);
}

void drawForecast(Cursor& c, const ReportModel& model)
{
    c.heading("Balance Forecast");
    const double top = c.y + 4;
    c.y = top + 64;
    const std::vector<BalancePoint>& pts = model.dailyBalances;
    const size_t n = pts.size();
    if (n < 2)
        return;
    const double left = M + 22, width = W - 2 * M - 24, bottom = top + kChartHeight;
    double lo = 0, hi = 0;
    for (const BalancePoint& p : pts) {
        if (std::isnan(p.balance))
            continue;
        lo = std::min(lo, p.balance);
        hi = std::max(hi, p.balance);
    }
    if (hi - lo < 1)
        hi = lo + 1;
    // An infinite balance has no place on an axis: the section stays empty.
    if (!std::isfinite(hi - lo))
        return;
    const double step = gridStep(hi - lo);
    const double aLo = std::floor(lo / step) * step, aHi = std::ceil(hi / step) * step;
    if (!std::isfinite(step) || step <= 0 || !std::isfinite(aHi - aLo))
        return;
    const double scale = aHi - aLo > 1 ? kChartHeight / (aHi - aLo) : kChartHeight;
    auto yOf = [&](double v) { return bottom - (v - aLo) * scale; };

    // Each line from its own index, so that the last one lands on aHi.
    const int64_t lines = std::llround((aHi - aLo) / step);
    for (int64_t k = 0; k <= lines; ++k) {
        const double v = aLo + double(k) * step;
        const double yv = yOf(v);
        pdfLine(c.doc, c.page, left, yv, left + width, yv, 0.15, std::fabs(v) < 0.001 ? kMuted : kRule, false);
        drawPdfAlignedText(c.doc, c.page, M, yv + 1, 20, formatMoneyCompact(v), 6.5, paRight, pfsExtra, kMuted);
    }

    auto xOf = [&](size_t i) { return left + double(i) * width / double(n - 1); };
    for (size_t i = 1; i < n; ++i) {
        const double a = pts[i - 1].balance, b = pts[i].balance;
        if (!std::isfinite(a) || !std::isfinite(b))
            continue;
        pdfLine(c.doc, c.page, xOf(i - 1), yOf(a), xOf(i), yOf(b), 0.5, a < 0 || b < 0 ? kRed : kBlue, false);
    }
    const size_t labels = std::min<size_t>(n, 6);
    for (size_t k = 0; k < labels; ++k) {
        const size_t j = size_t(std::lround(double(k) * double(n - 1) / double(labels - 1)));
        const Date d = pts[j].date;
        const std::string text = shortMonthName(d.month) + " " + std::to_string(d.day);
        drawPdfAlignedText(c.doc, c.page, xOf(j) - 10, bottom + 4, 20, text, 6.5, paCenter, pfsRegular, kMuted);
    }
}

void drawAnalysisTable(Cursor& c, std::string_view title, const GroupTotals& totals, bool accounts)
{
    c.heading(title);
    c.y += 6;
    c.band({M, M + 70, M + 105, M + 140}, {"Name", "Income", "Expenses", accounts ? "Net" : "Count"});
    for (const auto& [name, total] : totals) {
        if (c.y > H - M - 10)
            c.newPage();
        c.text(M + 1.5, fitPdfText(c.doc, name, 66, 8, pfsRegular), 8, pfsRegular, kInk);
        c.text(M + 71.5, formatMoney(total.income), 8, pfsExtra, kGreen);
        c.text(M + 106.5, formatMoney(total.expense), 8, pfsExtra, kRed);
        c.text(M + 141.5, accounts ? formatMoney(total.income - total.expense) : std::to_string(total.count), 8,
            pfsExtra, kInk);
        c.rule();
        c.y += 6;
    }
    c.y += 8;
}

std::string accountText(const ReportRowSource& r)
{
    if (!r.transferTo().empty())
        return std::string(r.account()) + " \u2192 " + std::string(r.transferTo());
    return r.account().empty() ? std::string("No account") : std::string(r.account());
}

// Left edges of the detail table's columns. Both money columns need room
// for "-$123,456.78" inside the margins, so the text columns give way.
namespace D {
constexpr double c0 = M, c1 = M + 20, c2 = M + 78, c3 = M + 108, c4 = M + 138, c5 = M + 159;
}

// The same for the recurring table, whose last column is money too.
namespace R {
constexpr double c0 = M, c1 = M + 64, c2 = M + 86, c3 = M + 116, c4 = M + 142, c5 = M + 156;
}

void drawDetails(Cursor& c, const ReportModel& model)
{
    c.newPage();
    c.heading("Transaction Details");
    c.y += 6;
    auto header = [&] {
        c.band({D::c0, D::c1, D::c2, D::c3, D::c4, D::c5},
            {"Date", "Description", "Category", "Account", "Amount", "Running Total"});
    };
    header();
    for (const ReportRow& r : model.rows) {
        const ReportRowSource& t = model.rows.source(r);
        if (c.y > H - M - 6) {
            c.newPage();
            header();
        }
        if (t.isBalanceRow) {
            c.text(D::c0 + 1.5, formatIso(r.date), 7.5, pfsRegular, kMuted);
            c.text(D::c1 + 1.5, fitPdfText(c.doc, t.description(), 56, 7.5, pfsBold), 7.5, pfsBold, kMuted);
            c.rightText(D::c5, W - M - 1.5, formatMoney(r.runningBalance), 7.5, pfsExtra, kInk);
        } else {
            c.text(D::c0 + 1.5, formatIso(r.date), 7.5, pfsRegular, kInk);
            c.text(D::c1 + 1.5, fitPdfText(c.doc, t.description(), 56, 7.5, pfsRegular), 7.5, pfsRegular, kInk);
            const std::string_view category = t.category().empty() ? std::string_view("Uncategorized") : t.category();
            c.text(D::c2 + 1.5, fitPdfText(c.doc, category, 28, 7.5, pfsRegular), 7.5, pfsRegular, kMuted);
            c.text(D::c3 + 1.5, fitPdfText(c.doc, accountText(t), 28, 7.5, pfsRegular), 7.5, pfsRegular, kMuted);
            if (t.counted)
                c.rightText(D::c4, D::c5 - 1.5, formatMoney(r.amount), 7.5, pfsExtra, r.amount < 0 ? kRed : kGreen);
            c.rightText(
                D::c5, W - M - 1.5, formatMoney(r.runningBalance), 7.5, pfsExtra, r.runningBalance < 0 ? kRed : kInk);
        }
        c.rule();
        c.y += 5.5;
    }
    c.y += 8;
}

void drawRecurring(Cursor& c, const ReportModel& model)
{
    if (c.y > H - M - 30)
        c.newPage();
    c.heading("Recurring Transactions");
    c.y += 6;
    using namespace R;
    c.band({c0, c1, c2, c3, c4, c5}, {"Description", "Amount", "Category", "Account", "Remaining", "Total Left"});
    for (const RecurringRow& r : model.recurring) {
        if (c.y > H - M - 6)
            c.newPage();
        const Transaction& t = r.transaction;
        c.text(c0 + 1.5, fitPdfText(c.doc, t.description, 61, 7.5, pfsRegular), 7.5, pfsRegular, kInk);
        c.text(c1 + 1.5, formatMoney(t.amount), 7.5, pfsExtra, t.amount < 0 ? kRed : kGreen);
        c.text(c2 + 1.5, fitPdfText(c.doc, t.category, 28, 7.5, pfsRegular), 7.5, pfsRegular, kMuted);
        c.text(c3 + 1.5, fitPdfText(c.doc, t.account, 24, 7.5, pfsRegular), 7.5, pfsRegular, kMuted);
        c.text(c4 + 1.5, r.remaining ? std::to_string(*r.remaining) : std::string("Ongoing"), 7.5, pfsRegular, kInk);
        c.text(c5 + 1.5, r.remaining ? formatMoney(r.remainingTotal) : std::string("\u2014"), 7.5, pfsExtra, kInk);
        c.rule();
        c.y += 5.5;
    }
}

}  // namespace

FontSet builtinReportFonts()
{
    FontSet f;
    f.sansRegular = parseTrueType(builtinFontFile(BuiltinFont::sansRegular));
    f.sansSemiBold = parseTrueType(builtinFontFile(BuiltinFont::sansSemiBold));
    f.monoRegular = parseTrueType(builtinFontFile(BuiltinFont::monoRegular));
    return f;
}

PdfDocumentRef layoutPdfReport(const ReportModel& model, std::string_view accountLabel, const FontSet& fonts)
{
    PdfDocumentRef doc = newPdfDocument(fonts.sansRegular, fonts.sansSemiBold);
    doc->fonts[pfsExtra] = fonts.monoRegular;
    doc->title = "Financial Report " + formatIso(model.from) + " to " + formatIso(model.to);

    Cursor c{*doc};
    c.newPage();
    pdfText(*doc, c.page, M, M + 8, "Financial Report", 20, pfsBold, kInk);
    const std::string subtitle =
        longDate(model.from) + " \u2013 " + longDate(model.to) + "  \u00b7  " + std::string(accountLabel);
    pdfText(*doc, c.page, M, M + 15, subtitle, 10, pfsRegular, kMuted);
    pdfText(*doc, c.page, M, M + 27, "Balance Summary", 13, pfsBold, kInk);
    drawTiles(c, model);
    drawForecast(c, model);
    drawAnalysisTable(c, "Category Analysis", model.categoryTotals, false);
    drawAnalysisTable(c, "Account Analysis", model.accountTotals, true);
    drawDetails(c, model);
    drawRecurring(c, model);
    return doc;
}

std::string buildPdfReport(
    const ReportModel& model, std::string_view accountLabel, const FontSet& fonts, const PdfClock& clock)
{
    PdfDocumentRef doc = layoutPdfReport(model, accountLabel, fonts);
    return serializePdf(*doc, clock);
}

std::string buildPdfReport(AppState& state)
{
    const ReportModel& model = reportModel(state);
    return buildPdfReport(model, accountFilterLabel(state, selectedAccountId(state)), state.fonts, pdfLocalTime);
}

}  // namespace qm
