#include "pages/reports/report_xlsx.h"

#include "app/navigation.h"

namespace qm {

namespace {

XlsxCell header(std::string_view text) { return xlsxText(std::string(text), false, true); }

XlsxCell signedMoney(double value) { return xlsxMoney(value, false, value < 0 ? kSheetRed : kSheetGreen); }

const char* metricColour(const ReportFigure& f)
{
    switch (f.metric) {
    case ReportMetric::minimum:
    case ReportMetric::expenses:
        return kSheetRed;
    case ReportMetric::maximum:
    case ReportMetric::income:
        return kSheetGreen;
    case ReportMetric::disposable:
        return f.value < 0 ? kSheetRed : kSheetGreen;
    default:
        return "";
    }
}

XlsxSheet summarySheet(const ReportModel& model, std::string_view accountLabel)
{
    XlsxSheet s{std::string(kReportLabels[kReportMetricCount]), {}, {28, 18}};
    s.rows.push_back(
        {xlsxText("Financial Report", true), xlsxText(longDate(model.from) + " \u2013 " + longDate(model.to))});
    s.rows.push_back({xlsxText("Account"), xlsxText(std::string(accountLabel))});
    s.rows.emplace_back();
    s.rows.push_back({header("Metric"), header("Value")});
    for (const ReportFigure& f : reportMetrics(model.summary))
        s.rows.push_back({xlsxText(std::string(f.label)), xlsxMoney(f.value, false, metricColour(f))});
    return s;
}

XlsxSheet transactionsSheet(const ReportModel& model)
{
    XlsxSheet s{std::string(kReportLabels[kReportMetricCount + 1]), {}, {12, 40, 18, 18, 14, 16}};
    s.rows.push_back({header("Date"), header("Description"), header("Category"), header("Account"), header("Amount"),
        header("Running Total")});
    s.rows.reserve(model.rows.size() + 1);
    for (const ReportRow& r : model.rows) {
        const ReportRowSource& t = model.rows.source(r);
        XlsxRow row;
        row.reserve(6);
        row.push_back(xlsxText(formatIso(r.date)));
        if (t.isBalanceRow) {
            row.push_back(xlsxText(std::string(t.description()), true));
            row.resize(5);
            row.push_back(xlsxMoney(r.runningBalance, true));
        } else {
            row.push_back(xlsxText(std::string(t.description())));
            row.push_back(xlsxText(std::string(t.category())));
            std::string account(t.account());
            if (!t.transferTo().empty())
                account += " \u2192 " + std::string(t.transferTo());
            row.push_back(xlsxText(std::move(account)));
            row.push_back(t.counted ? signedMoney(r.amount) : xlsxText({}));
            row.push_back(xlsxMoney(r.runningBalance));
        }
        s.rows.push_back(std::move(row));
    }
    return s;
}

XlsxSheet totalsSheet(const GroupTotals& totals, bool accounts)
{
    XlsxSheet s{std::string(kReportLabels[kReportMetricCount + (accounts ? 3 : 2)]), {}, {}};
    if (accounts) {
        s.widths = {28, 14, 14, 14, 10};
        s.rows.push_back({header("Account"), header("Income"), header("Expenses"), header("Net"), header("Count")});
    } else {
        s.widths = {28, 14, 14, 10};
        s.rows.push_back({header("Category"), header("Income"), header("Expenses"), header("Count")});
    }
    for (const auto& [name, total] : totals) {
        XlsxRow row{
            xlsxText(name), xlsxMoney(total.income, false, kSheetGreen), xlsxMoney(total.expense, false, kSheetRed)};
        if (accounts)
            row.push_back(xlsxMoney(total.income - total.expense));
        row.push_back(xlsxNumberCell(total.count));
        s.rows.push_back(std::move(row));
    }
    return s;
}

XlsxSheet recurringSheet(const ReportModel& model)
{
    XlsxSheet s{std::string(kReportLabels[kReportMetricCount + 4]), {}, {36, 14, 18, 18, 12, 14}};
    s.rows.push_back({header("Description"), header("Amount"), header("Category"), header("Account"),
        header("Remaining"), header("Total Left")});
    for (const RecurringRow& r : model.recurring) {
        const Transaction& t = r.transaction;
        XlsxRow row{xlsxText(t.description), signedMoney(t.amount), xlsxText(t.category), xlsxText(t.account)};
        if (r.remaining) {
            row.push_back(xlsxNumberCell(*r.remaining));
            row.push_back(xlsxMoney(r.remainingTotal));
        } else {
            row.push_back(xlsxText("Ongoing"));
            row.push_back(xlsxText({}));
        }
        s.rows.push_back(std::move(row));
    }
    return s;
}

}  // namespace

std::vector<XlsxSheet> reportSheets(const ReportModel& model, std::string_view accountLabel)
{
    std::vector<XlsxSheet> sheets;
    sheets.push_back(summarySheet(model, accountLabel));
    sheets.push_back(transactionsSheet(model));
    sheets.push_back(totalsSheet(model.categoryTotals, false));
    sheets.push_back(totalsSheet(model.accountTotals, true));
    sheets.push_back(recurringSheet(model));
    return sheets;
}

std::vector<uint8_t> buildXlsxReport(const ReportModel& model, std::string_view accountLabel)
{
    return writeXlsx(reportSheets(model, accountLabel));
}

std::vector<uint8_t> buildXlsxReport(AppState& state)
{
    return buildXlsxReport(reportModel(state), accountFilterLabel(state, selectedAccountId(state)));
}

}  // namespace qm
