// Test tool for the export oracle checks.
//   exporttool xlsx SPEC.json OUT        a workbook described in JSON (texts in hex)
//   exporttool ofx BUDGET.json FROM TO SERVERTIME OUT
//   exporttool ics BUDGET.json FROM TO LABEL EPOCH_SECONDS OUT
//   exporttool report-pdf|report-xlsx FOLDER FROM TO ACCOUNT_ID TODAY OUT
//                                        the report of a budget folder (data.json),
//                                        the PDF dated 2026-03-01 12:00:00
//   exporttool list FOLDER [FILTER...]   the file dialog's listing, a line per
//                                        entry: d|f, the size, the name in hex
// SPEC: {"sheets": [{"name": HEX, "widths": [..], "rows": [[CELL, ..], ..]}]},
// CELL: {"k": 0 text | 1 number | 2 money, "t": HEX, "v": number, "b": bold,
// "h": header, "c": colour}. Budgets are data.json budget objects.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/file_dialog_internal.h"
#include "core/files.h"
#include "core/json.h"
#include "formats/icalendar.h"
#include "formats/ofx/ofx_export.h"
#include "formats/xlsx.h"
#include "hex_text.h"
#include "model/budget.h"
#include "model/budget_json.h"
#include "model/store.h"
#include "pages/reports/report_pdf.h"
#include "pages/reports/report_xlsx.h"

namespace {

qm::XlsxCell cellFrom(const qm::Json& j)
{
    qm::XlsxCell c;
    c.kind = uint8_t(j.value("k", 0));
    c.text = qm::testing_hex::fromHex(j.value("t", std::string()));
    c.value = j.value("v", 0.0);
    c.bold = j.value("b", false);
    c.header = j.value("h", false);
    c.colour = j.value("c", std::string());
    return c;
}

std::vector<qm::XlsxSheet> sheetsFrom(const qm::Json& spec)
{
    std::vector<qm::XlsxSheet> sheets;
    for (const qm::Json& s : spec.at("sheets")) {
        qm::XlsxSheet sheet;
        sheet.name = qm::testing_hex::fromHex(s.value("name", std::string()));
        for (const qm::Json& w : s.value("widths", qm::Json::array()))
            sheet.widths.push_back(w.get<double>());
        for (const qm::Json& r : s.value("rows", qm::Json::array())) {
            qm::XlsxRow row;
            for (const qm::Json& c : r)
                row.push_back(cellFrom(c));
            sheet.rows.push_back(std::move(row));
        }
        sheets.push_back(std::move(sheet));
    }
    return sheets;
}

qm::BudgetPtr budgetFrom(const std::string& path) { return qm::budgetFromJson(qm::parseJson(qm::readFile(path))); }

// The report as the program would save it, from the store's own figures.
int report(const std::vector<std::string>& args)
{
    qm::LocalStorePtr store = qm::openStore(args[1]);
    const int64_t accountId = std::atoll(args[4].c_str());
    qm::ReportModel model;
    qm::refreshReportModel(
        model, *store, qm::parseIso(args[2]), qm::parseIso(args[3]), accountId, qm::parseIso(args[5]));
    std::string label = qm::accountNameById(*store->budget, accountId);
    if (qm::validAccountId(*store->budget, accountId) == 0)
        label = "All accounts";
    std::string bytes;
    if (args[0] == "report-pdf") {
        bytes = qm::buildPdfReport(model, label, qm::builtinReportFonts(), [] {
            return qm::PdfDateTime{2026, 3, 1, 12, 0, 0};
        });
    } else {
        std::vector<uint8_t> sheet = qm::buildXlsxReport(model, label);
        bytes.assign(sheet.begin(), sheet.end());
    }
    qm::writeFileDurably(args[6], bytes);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "xlsx") {
        std::vector<uint8_t> bytes = qm::writeXlsx(sheetsFrom(qm::parseJson(qm::readFile(args[1]))));
        qm::writeFileDurably(args[2], std::string(bytes.begin(), bytes.end()));
        return 0;
    }
    if (args.size() == 6 && args[0] == "ofx") {
        qm::BudgetPtr b = budgetFrom(args[1]);
        qm::writeFileDurably(args[5], qm::writeOfx(*b, qm::parseIso(args[2]), qm::parseIso(args[3]), args[4]));
        return 0;
    }
    if (args.size() == 7 && args[0] == "ics") {
        qm::BudgetPtr b = budgetFrom(args[1]);
        int64_t epoch = std::atoll(args[5].c_str());
        std::string text = qm::writeICalendar(
            *b, qm::parseIso(args[2]), qm::parseIso(args[3]), args[4], qm::kCalendarDomain, [epoch] { return epoch; });
        qm::writeFileDurably(args[6], text);
        return 0;
    }
    if (args.size() == 7 && (args[0] == "report-pdf" || args[0] == "report-xlsx"))
        return report(args);
    if (args.size() >= 2 && args[0] == "list") {
        for (const qm::FileEntry& e : qm::listFolderEntries(args[1], {args.begin() + 2, args.end()}))
            std::cout << (e.isFolder ? 'd' : 'f') << ' ' << e.size << ' ' << qm::testing_hex::toHex(e.name) << '\n';
        return 0;
    }
    std::cerr << "usage: exporttool xlsx SPEC OUT | ofx BUDGET FROM TO TIME OUT | ics BUDGET FROM TO LABEL EPOCH OUT | "
                 "report-pdf|report-xlsx FOLDER FROM TO ACCOUNT TODAY OUT | list FOLDER [FILTER...]\n";
    return 2;
}
