// Balances and occurrence expansion on the generated heavy budget at 1x, 4x
// and 16x its size, so that the growth of each cost with the budget shows.
#include "heavy_budget.h"
#include "model/balances.h"
#include "model/occurrences.h"

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

void scales(benchmark::internal::Benchmark* b)
{
    b->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMicrosecond);
}

BENCHMARK(balanceOneAccount)->Name("qm/balanceAt_one_account")->Apply(scales);
BENCHMARK(balanceAllAccounts)->Name("qm/balanceAt_all_accounts")->Apply(scales);
BENCHMARK(expandMonth)->Name("qm/expand_month_every_transaction")->Apply(scales);

}  // namespace

BENCHMARK_MAIN();
