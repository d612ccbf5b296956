// Any byte string as a bank statement: the reader fails only for statements
// past its size bounds (none as short as a fuzz input), every row has
// a real date, valid UTF-8 texts and a finite amount below the money limit,
// the rows come sorted, and both detection passes take whatever it gives.
#include "formats/ofx/ofx_import.h"
#include "core/utf8.h"
#include "model/dates.h"
#include "pages/import/import_detect.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace qm;

namespace {

const Budget& fixedBudget()
{
    static const BudgetPtr budget = [] {
        BudgetPtr b = newBudget();
        Transaction rent;
        rent.id = 1;
        rent.start_date = date(2021, 1, 1);
        rent.amount = -1179.03;
        rent.description = "Mortgage Payment";
        rent.is_recurring = true;
        rent.recurring_period = "nth_1_months";
        Transaction coffee;
        coffee.id = 2;
        coffee.start_date = date(2021, 9, 7);
        coffee.amount = -30.18;
        coffee.description = "Starbucks";
        b->transactions = {rent, coffee};
        return b;
    }();
    return *budget;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<ImportRow> rows = parseOfx(text);
    for (size_t i = 0; i < rows.size(); ++i) {
        const ImportRow& r = rows[i];
        if (!isValidDate(r.date.year, r.date.month, r.date.day) || r.date.year < 1 || r.date.year > 9999)
            std::abort();
        if (!std::isfinite(r.amount) || std::fabs(r.amount) >= 1e12)
            std::abort();
        if (!isValidUtf8(r.description) || !isValidUtf8(r.fitId) || r.description.empty())
            std::abort();
        if (i > 0 && dateLess(r.date, rows[i - 1].date))
            std::abort();
    }
    detectRecurringPatterns(rows);
    markImportDuplicates(rows, fixedBudget());
    ImportCounts counts = countImportRows(rows);
    if (size_t(counts.total) != rows.size()
        || counts.newCount + counts.possibleDuplicates + counts.duplicates != counts.total)
        std::abort();
    return 0;
}
