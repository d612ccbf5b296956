#include "pages/reports/report_export.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cfloat>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <functional>

#include "app/app_harness.h"
#include "core/files.h"
#include "model/export_fixtures.h"
#include "model/transaction_edits.h"
#include "pages/reports/report_pdf.h"
#include "pages/reports/report_pdf_internal.h"
#include "pages/reports/report_xlsx.h"

namespace qm {
namespace {

using testing::AppHarness;
using testing::writeText;

const FontSet& reportFonts()
{
    static const FontSet fonts = builtinReportFonts();
    return fonts;
}

// A state with a month of figures to report.
AppState& startWithFigures(AppHarness& h)
{
    AppState& s = h.start();
    setReportMonth(s, s.todayDate.year, s.todayDate.month);
    Transaction t = testing::oneOff(0, formatIso(reportPage(s).from).c_str(), -42.5, "Groceries");
    EXPECT_TRUE(addTransaction(*s.store, t).ok);
    s.toasts.clear();
    return s;
}

std::vector<std::string> folderNames(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Runs `body` in a child process and gives its exit status: for steps that
// change who we are or what we may write.
int inChild(const std::function<int()>& body)
{
    pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

bool errorToasted(const AppState& s)
{
    return s.toasts.size() == 1 && s.toasts[0].kind == toastError
        && s.toasts[0].text.rfind("Could not save the report: ", 0) == 0;
}

TEST(ReportExport, PurposeChoosesTheFormatAndTheToastNamesTheFile)
{
    AppHarness h;
    AppState& s = startWithFigures(h);
    struct Case {
        int32_t purpose;
        const char* name;
        const char* magic;
    };
    const Case cases[] = {{reportFilePdf, "report.pdf", "%PDF-1.4"}, {reportFileSheet, "march.xlsx", "PK\x03\x04"},
        {7, "other.xlsx", "PK\x03\x04"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        s.toasts.clear();
        const std::string path = h.dir / c.name;
        ExportOutcome out = exportReportFile(s, path, c.purpose);
        EXPECT_TRUE(out.written);
        EXPECT_EQ(readFile(path).rfind(c.magic, 0), 0u);
        ASSERT_EQ(s.toasts.size(), 1u);
        EXPECT_EQ(s.toasts[0].kind, toastSuccess);
        EXPECT_EQ(s.toasts[0].text, std::string("Saved ") + c.name);
    }
    // Exports read the figures they refreshed: one computation for all three.
    EXPECT_EQ(reportModel(s).computations, 1);
}

TEST(ReportExport, UnusablePathsToastAndWriteNothing)
{
    AppHarness h;
    AppState& s = startWithFigures(h);
    const std::string folder = h.dir / "out";
    std::filesystem::create_directory(folder);
    writeText(h.dir / "plain", "x");

    for (const std::string& path : {h.dir / "missing/report.pdf", folder, h.dir / "plain/report.pdf"}) {
        SCOPED_TRACE(path);
        s.toasts.clear();
        ExportOutcome out = exportReportFile(s, path, reportFilePdf);
        EXPECT_FALSE(out.written);
        EXPECT_FALSE(out.reason.empty());
        EXPECT_TRUE(errorToasted(s));
        EXPECT_EQ(s.toasts[0].text, "Could not save the report: " + out.reason);
    }
    EXPECT_TRUE(folderNames(folder).empty());
}

// Refusals that need another user or a limit: each runs in a child process
// over a folder holding an earlier report.
TEST(ReportExport, RefusedWritesLeaveTheEarlierFileAndNoTemporary)
{
    AppHarness h;
    AppState& s = startWithFigures(h);
    chmod(h.dir.path().c_str(), 0711);  // others may pass through to the folders
    struct Case {
        const char* name;
        int32_t purpose;
        std::function<bool(const std::string& folder)> restrict;
    };
    const Case cases[] = {
        {"a folder of someone else's", reportFileSheet,
            [](const std::string& folder) {
                return geteuid() == 0 ? setgid(65534) == 0 && setuid(65534) == 0 : chmod(folder.c_str(), 0555) == 0;
            }},
        // Files may grow to 2 KiB only: the report's bytes stop partway.
        {"a write cut short", reportFilePdf,
            [](const std::string&) {
                signal(SIGXFSZ, SIG_IGN);
                rlimit limit{2048, 2048};
                return setrlimit(RLIMIT_FSIZE, &limit) == 0;
            }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = h.dir / c.name;
        std::filesystem::create_directory(folder);
        const std::string kept = folder + "/report";
        writeText(kept, "an earlier report");
        s.toasts.clear();
        const int status = inChild([&] {
            if (!c.restrict(folder))
                return 3;
            ExportOutcome out = exportReportFile(s, kept, c.purpose);
            return out.written ? 1 : errorToasted(s) ? 0 : 2;
        });
        chmod(folder.c_str(), 0755);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(readFile(kept), "an earlier report");
        EXPECT_EQ(folderNames(folder), std::vector<std::string>{"report"});
    }
}

TEST(ReportExport, SymbolicLinkStaysALink)
{
    AppHarness h;
    AppState& s = startWithFigures(h);
    const std::string target = h.dir / "target.xlsx", link = h.dir / "link.xlsx";
    writeText(target, "old");
    std::filesystem::create_symlink(target, link);
    EXPECT_TRUE(exportReportFile(s, link, reportFileSheet).written);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readFile(target).rfind("PK", 0), 0u);
}

ReportModel modelOf(std::vector<double> balances)
{
    ReportModel m;
    m.from = parseIso("2026-03-01");
    m.to = addDays(m.from, int64_t(balances.size()) - 1);
    for (size_t i = 0; i < balances.size(); ++i)
        m.dailyBalances.push_back({addDays(m.from, int64_t(i)), balances[i]});
    return m;
}

struct Stroke {
    double y;
    bool muted;
};

// The horizontal rules drawn across the chart's width on page 1.
std::vector<Stroke> gridLines(const PdfDocument& doc)
{
    std::vector<Stroke> lines;
    for (const PdfOp& op : doc.pages[0].ops)
        if (op.kind == pokLine && std::fabs(op.lineWidth - 0.15) < 1e-9)
            lines.push_back({op.y, op.colour.r < 0.5});
    return lines;
}

TEST(ReportPdf, ForecastGridFromItsOwnSteps)
{
    struct Case {
        std::vector<double> balances;
        std::vector<double> values;  // the grid's values, bottom up; none: no chart
    };
    const Case cases[] = {
        {{250, 250, 250}, {0, 50, 100, 150, 200, 250}},
        {{-0.3, 0.4}, {-0.4, -0.2, 0, 0.2, 0.4, 0.6, 0.8}},
        {{NAN, 30, NAN}, {0, 10, 20, 30}},
        {{250}, {}},
        {{INFINITY, 5}, {}},
        {{-DBL_MAX, DBL_MAX}, {}},
        {{DBL_MAX, 0}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.balances));
        PdfDocumentRef doc = layoutPdfReport(modelOf(c.balances), "All accounts", reportFonts());
        std::vector<Stroke> lines = gridLines(*doc);
        ASSERT_EQ(lines.size(), c.values.size());
        if (lines.empty())
            continue;
        // Bottom at T + 52; the top line lands exactly on the chart's top.
        const double bottom = lines.front().y, scale = 52 / (c.values.back() - c.values.front());
        EXPECT_NEAR(bottom - lines.back().y, 52, 1e-9);
        for (size_t k = 0; k < lines.size(); ++k) {
            EXPECT_NEAR(lines[k].y, bottom - (c.values[k] - c.values.front()) * scale, 1e-9);
            EXPECT_EQ(lines[k].muted, std::fabs(c.values[k]) < 0.001);
        }
    }
}

TEST(ReportPdf, EmptyModelPutsBothTablesOnPageTwo)
{
    ReportModel m = modelOf({});
    m.to = m.from;
    PdfDocumentRef doc = layoutPdfReport(m, "All accounts", reportFonts());
    ASSERT_EQ(doc->pages.size(), 2u);
    std::vector<std::pair<std::string, double>> texts;
    for (const PdfOp& op : doc->pages[1].ops)
        if (op.kind == pokText)
            texts.emplace_back(op.text, op.y);
    // Headings 20 apart: the details' header band and the gap after it.
    const std::vector<std::pair<std::string, double>> want = {{"Transaction Details", 24}, {"Date", 30},
        {"Description", 30}, {"Category", 30}, {"Account", 30}, {"Amount", 30}, {"Running Total", 30},
        {"Recurring Transactions", 44}, {"Description", 50}, {"Amount", 50}, {"Category", 50}, {"Account", 50},
        {"Remaining", 50}, {"Total Left", 50}};
    EXPECT_EQ(texts, want);
}

TEST(ReportPdf, SameModelAndClockGiveTheSameBytes)
{
    ReportModel m = modelOf({10, -5, 20});
    PdfClock clock = [] { return PdfDateTime{2026, 3, 1, 12, 0, 0}; };
    const std::string a = buildPdfReport(m, "Checking", reportFonts(), clock);
    EXPECT_EQ(a, buildPdfReport(m, "Checking", reportFonts(), clock));
    EXPECT_NE(a.find("/CreationDate (D:20260301120000"), std::string::npos);
}

TEST(ReportXlsx, CellsOfEachKindOfRow)
{
    ReportModel m = modelOf({1});
    m.summary.net = -3;
    const ReportRowTexts transferTexts{"", "", "Checking", "Savings"};
    m.rows.sources.resize(2);
    m.rows.sources[0].isBalanceRow = true;
    m.rows.sources[0].texts = &kStartingBalanceTexts;
    m.rows.sources[1].counted = true;
    m.rows.sources[1].texts = &transferTexts;
    m.rows.rows.resize(2);
    m.rows.rows[0].runningBalance = 10;
    m.rows.rows[1].source = 1;
    m.rows.rows[1].amount = -4;
    m.recurring.resize(2);
    m.recurring[0].remaining = 3;
    m.recurring[0].remainingTotal = 30;
    m.recurring[1].transaction.amount = 5;
    std::vector<XlsxSheet> sheets = reportSheets(m, "All accounts");
    ASSERT_EQ(sheets.size(), 5u);

    const XlsxRow& disposable = sheets[0].rows.back();
    EXPECT_EQ(disposable[0].text, "Disposable Income");
    EXPECT_EQ(disposable[1].colour, kSheetRed);
    EXPECT_TRUE(sheets[0].rows[2].empty());

    const XlsxRow& start = sheets[1].rows[1];
    ASSERT_EQ(start.size(), 6u);
    EXPECT_TRUE(start[1].bold);
    EXPECT_EQ(start[2].text + start[3].text + start[4].text, "");
    EXPECT_TRUE(start[5].bold && start[5].kind == xcMoney && start[5].colour.empty());
    const XlsxRow& transfer = sheets[1].rows[2];
    EXPECT_EQ(transfer[3].text, "Checking \u2192 Savings");
    EXPECT_EQ(transfer[4].colour, kSheetRed);

    const XlsxRow& ending = sheets[4].rows[1];
    EXPECT_TRUE(ending[4].kind == xcNumber && ending[4].value == 3);
    EXPECT_TRUE(ending[5].kind == xcMoney && ending[5].value == 30);
    const XlsxRow& ongoing = sheets[4].rows[2];
    EXPECT_EQ(ongoing[1].colour, kSheetGreen);
    EXPECT_EQ(ongoing[4].text, "Ongoing");
    EXPECT_TRUE(ongoing[5].kind == xcText && ongoing[5].text.empty());
}

}  // namespace
}  // namespace qm
