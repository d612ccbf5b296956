// Balances and occurrence expansion on the generated heavy budget at 1x, 4x
// and 16x its size, so that the growth of each cost with the budget shows.
#include "heavy_budget.h"
#include "model/balances.h"
#include "model/ledger.h"
#include "model/occurrences.h"
#include "model/reports.h"
#include "model/sync.h"

#include <benchmark/benchmark.h>

#include <map>

namespace {

using namespace qm;

const Budget& budgetAt(int scale)
{
    static std::map<int, Budget> budgets;
    auto it = budgets.find(scale);
    if (it == budgets.end())
        it = budgets.emplace(scale, bench::heavyBudget(scale)).first;
    return it->second;
}

void balanceOneAccount(benchmark::State& state)
{
    const Budget& b = budgetAt(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(balanceAt(b, bench::heavyToday(), 1));
}

void balanceAllAccounts(benchmark::State& state)
{
    const Budget& b = budgetAt(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(balanceAt(b, bench::heavyToday(), 0));
}

// What a month view needs: every transaction's occurrences in the month,
// with the adjustments gathered once for the month.
void expandMonth(benchmark::State& state)
{
    const Budget& b = budgetAt(int(state.range(0)));
    const Date today = bench::heavyToday();
    const Date from = firstOfMonth(today.year, today.month), to = lastDayOfMonth(today);
    std::vector<Occurrence> out;
    size_t count = 0;
    for (auto _ : state) {
        AdjustmentIndex index = indexAdjustments(b.transaction_adjustments, from, to);
        count = 0;
        for (const Transaction& t : b.transactions) {
            expandIndexed(t, index, out);
            count += out.size();
        }
        benchmark::DoNotOptimize(count);
    }
    state.counters["occurrences"] = double(count);
}

// What one calendar frame asks for: the month grid of the current month,
// the header's balances and the account switcher's list.
void monthLedgerOf(benchmark::State& state, int64_t accountId)
{
    const Budget& b = budgetAt(int(state.range(0)));
    const Date today = bench::heavyToday();
    for (auto _ : state)
        benchmark::DoNotOptimize(monthLedger(b, today.year, today.month, accountId, today));
}

void monthLedgerOneAccount(benchmark::State& state) { monthLedgerOf(state, 1); }
void monthLedgerAllAccounts(benchmark::State& state) { monthLedgerOf(state, 0); }

void monthEndBalancesToday(benchmark::State& state)
{
    const Budget& b = budgetAt(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(monthEndBalances(b, 1, bench::heavyToday()));
}

void accountSummariesToday(benchmark::State& state)
{
    const Budget& b = budgetAt(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(accountSummaries(b, bench::heavyToday()));
}

void calendarFrame(benchmark::State& state)
{
    const Budget& b = budgetAt(int(state.range(0)));
    const Date today = bench::heavyToday();
    for (auto _ : state) {
        benchmark::DoNotOptimize(monthLedger(b, today.year, today.month, 1, today));
        benchmark::DoNotOptimize(monthEndBalances(b, 1, today));
        benchmark::DoNotOptimize(accountSummaries(b, today));
    }
}

void balanceSeriesYear(benchmark::State& state)
{
    const Budget& b = budgetAt(int(state.range(0)));
    const Date today = bench::heavyToday();
    for (auto _ : state)
        benchmark::DoNotOptimize(balanceSeries(b, subDays(today, 364), today, 1, today));
}

void searchEverything(benchmark::State& state)
{
    const Budget& b = budgetAt(int(state.range(0)));
    const Date today = bench::heavyToday();
    SearchFilter filter;
    filter.from = addYears(today, -1);
    filter.to = addYears(today, 1);
    size_t hits = 0;
    for (auto _ : state) {
        std::vector<SearchHit> found = searchOccurrences(b, filter, today);
        hits = found.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["hits"] = double(hits);
}

void reportYear(benchmark::State& state)
{
    const Budget& b = budgetAt(int(state.range(0)));
    const Date today = bench::heavyToday();
    size_t rows = 0;
    for (auto _ : state) {
        std::vector<ReportRow> found = reportRows(b, subDays(today, 364), today, 0);
        rows = found.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["rows"] = double(rows);
}

// The service's ids for 35,000 transactions, applied back and forth.
void remapTransactions(benchmark::State& state)
{
    LocalStorePtr store = newLocalStore("");
    *store->budget = budgetAt(int(state.range(0)));
    std::vector<IdPair> there, back;
    for (int64_t id = 1; id <= 35000; ++id) {
        there.push_back({id, id + 1000000000});
        back.push_back({id + 1000000000, id});
    }
    bool forth = true;
    for (auto _ : state) {
        remapDataIds(*store, entTransaction, forth ? there : back);
        forth = !forth;
    }
}

// A device's budget of 5,000 transactions (with their adjustments and
// anchors) merged into the account's budget.
void mergeDeviceBudget(benchmark::State& state)
{
    const Budget& target = budgetAt(int(state.range(0)));
    const Budget& source = budgetAt(1);
    Budget other;
    other.accounts = source.accounts;
    other.categories = source.categories;
    other.transactions.assign(source.transactions.begin(), source.transactions.begin() + 5000);
    for (const TransactionAdjustment& a : source.transaction_adjustments)
        if (a.transaction_id <= 5000)
            other.transaction_adjustments.push_back(a);
    other.running_total_adjustments = source.running_total_adjustments;
    for (auto _ : state) {
        state.PauseTiming();
        LocalStorePtr store = newLocalStore("");
        *store->budget = target;
        state.ResumeTiming();
        benchmark::DoNotOptimize(mergeBudget(*store, other));
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
    state.counters["adjustments"] = double(other.transaction_adjustments.size());
}

void scales(benchmark::internal::Benchmark* b) { b->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMicrosecond); }

BENCHMARK(balanceOneAccount)->Name("qm/balanceAt_one_account")->Apply(scales);
BENCHMARK(balanceAllAccounts)->Name("qm/balanceAt_all_accounts")->Apply(scales);
BENCHMARK(expandMonth)->Name("qm/expand_month_every_transaction")->Apply(scales);
BENCHMARK(monthLedgerOneAccount)->Name("qm/monthLedger_one_account")->Apply(scales);
BENCHMARK(monthLedgerAllAccounts)->Name("qm/monthLedger_all_accounts")->Apply(scales);
BENCHMARK(monthEndBalancesToday)->Name("qm/monthEndBalances")->Apply(scales);
BENCHMARK(accountSummariesToday)->Name("qm/accountSummaries")->Apply(scales);
BENCHMARK(calendarFrame)->Name("qm/calendar_frame")->Apply(scales);
BENCHMARK(balanceSeriesYear)->Name("qm/balanceSeries_year")->Apply(scales);
BENCHMARK(searchEverything)->Name("qm/searchOccurrences_two_years")->Apply(scales);
BENCHMARK(reportYear)->Name("qm/reportRows_year")->Apply(scales);
BENCHMARK(remapTransactions)->Name("qm/remapDataIds_35000_pairs")->Apply(scales);
BENCHMARK(mergeDeviceBudget)->Name("qm/mergeBudget_5000_transactions")->Apply(scales);

}  // namespace

BENCHMARK_MAIN();
