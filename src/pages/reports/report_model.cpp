#include "pages/reports/report_model.h"

#include <utility>

#include "app/navigation.h"
#include "model/money.h"
#include "model/projection.h"

namespace qm {

namespace {

// The rows' texts point into the budget, which the next edit may move: copy
// them into one block that the model owns and point the rows' sources there.
// A large report's transactions lie far apart: each is read once, asked for
// a few sources ahead, and the views are made once the block stops moving.
std::shared_ptr<const ReportRowTextBlock> ownRowTexts(std::vector<ReportRowSource>& sources)
{
    constexpr size_t kAhead = 8;
    auto block = std::make_shared<ReportRowTextBlock>();
    block->texts.resize(sources.size());
    std::vector<uint32_t> sizes(sources.size() * 4);
    for (size_t k = 0; k < sources.size(); ++k) {
        if (k + kAhead < sources.size())
            if (const Transaction* t = sources[k + kAhead].transaction) {
                __builtin_prefetch(&t->description);
                __builtin_prefetch(&t->account);
                __builtin_prefetch(&t->transfer_to_account);
            }
        const ReportRowSource& r = sources[k];
        const std::string_view texts[4] = {r.description(), r.category(), r.account(), r.transferTo()};
        for (size_t f = 0; f < 4; ++f) {
            block->text += texts[f];
            sizes[k * 4 + f] = uint32_t(texts[f].size());
        }
    }
    const char* at = block->text.data();
    auto take = [&at](uint32_t size) {
        const std::string_view taken(at, size);
        at += size;
        return taken;
    };
    for (size_t k = 0; k < sources.size(); ++k) {
        ReportRowTexts& texts = block->texts[k];
        texts.description = take(sizes[k * 4]);
        texts.category = take(sizes[k * 4 + 1]);
        texts.account = take(sizes[k * 4 + 2]);
        texts.transferTo = take(sizes[k * 4 + 3]);
        sources[k].transaction = nullptr;
        sources[k].texts = &texts;
    }
    return block;
}

int64_t monthIndex(Date d) { return int64_t(d.year) * 12 + d.month - 1; }

// Each day carries the net of its month's counted rows inside the range.
std::vector<double> monthNets(const ReportRows& rows, const std::vector<BalancePoint>& days, Date from)
{
    std::vector<double> sums;
    const int64_t first = monthIndex(from);
    for (const ReportRow& r : rows) {
        const ReportRowSource& source = rows.source(r);
        if (source.isBalanceRow || !source.counted)
            continue;
        const int64_t at = monthIndex(r.date) - first;
        if (at < 0)
            continue;
        if (size_t(at) >= sums.size())
            sums.resize(size_t(at) + 1, 0.0);
        sums[size_t(at)] += r.amount;
    }
    for (double& s : sums)
        s = roundCents(s);
    std::vector<double> out;
    out.reserve(days.size());
    for (const BalancePoint& p : days) {
        const int64_t at = monthIndex(p.date) - first;
        out.push_back(at >= 0 && size_t(at) < sums.size() ? sums[size_t(at)] : 0.0);
    }
    return out;
}

bool sameStore(const std::weak_ptr<const LocalStore>& held, const LocalStorePtr& open)
{
    return !held.expired() && !held.owner_before(open) && !open.owner_before(held);
}

}  // namespace

std::vector<ReportFigure> reportMetrics(const BalanceSummary& s)
{
    std::vector<ReportFigure> out;
    auto add = [&out](ReportMetric m, double value) { out.push_back({m, kReportLabels[size_t(m)], value}); };
    add(ReportMetric::opening, s.opening);
    if (s.hasCurrent)
        add(ReportMetric::current, s.current);
    add(ReportMetric::closing, s.closing);
    add(ReportMetric::minimum, s.lowest);
    add(ReportMetric::average, s.average);
    add(ReportMetric::maximum, s.highest);
    add(ReportMetric::income, s.income);
    add(ReportMetric::expenses, s.expense);
    add(ReportMetric::disposable, s.net);
    return out;
}

std::string reportKeyText(Date from, Date to, int64_t accountId, int32_t changeCount)
{
    std::string key = formatIso(from);
    key += '|';
    key += formatIso(to);
    key += '|';
    key += std::to_string(accountId);
    key += '|';
    key += std::to_string(changeCount);
    return key;
}

bool refreshReportModel(ReportModel& model, const LocalStore& store, Date from, Date to, int64_t accountId, Date today)
{
    std::string key = reportKeyText(from, to, accountId, store.change_count);
    if (key == model.cacheKey)
        return false;
    const BudgetProjection& p = storeProjection(store);
    model.cacheKey = std::move(key);
    model.from = from;
    model.to = to;
    model.summary = balanceSummary(p, from, to, accountId, today);
    model.dailyBalances = balanceSeries(p, from, to, accountId);
    reportRows(p, from, to, accountId, model.rows);
    model.rowTexts = ownRowTexts(model.rows.sources);
    model.monthlyDisposable = monthNets(model.rows, model.dailyBalances, from);
    model.categoryTotals = groupTotals(model.rows, false);
    model.accountTotals = groupTotals(model.rows, true);
    model.recurring = recurringRows(p, today);
    ++model.computations;
    return true;
}

ReportPageState& reportPage(AppState& state)
{
    if (!state.reports)
        state.reports = std::make_shared<ReportPageState>();
    return *state.reports;
}

ReportModel& reportModel(AppState& state) { return reportPage(state).model; }

void refreshReportModel(AppState& state)
{
    ReportPageState& page = reportPage(state);
    ReportModel& model = page.model;
    // Opening a budget clears the page's stamp; another store may also
    // stand at the same change count.
    if (page.cacheKey != model.computations || !sameStore(model.store, state.store))
        model.cacheKey.clear();
    if (!refreshReportModel(model, *state.store, page.from, page.to, selectedAccountId(state), state.todayDate))
        return;
    model.store = state.store;
    page.cacheKey = model.computations;
    state.redrawRequested = true;
}

void setReportMonth(AppState& state, int32_t year, int32_t month)
{
    ReportPageState& page = reportPage(state);
    page.from = firstOfMonth(year, month);
    page.to = lastDayOfMonth(year, month);
}

void applyDefaultReportRange(AppState& state)
{
    if (reportPage(state).from.year == 0)
        setReportMonth(state, state.shownMonth.year, state.shownMonth.month);
}

}  // namespace qm
