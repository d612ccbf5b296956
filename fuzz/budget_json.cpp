// Any byte string: the JSON reader either refuses it with ValueError or gives
// a tree whose written form reads back to the same text; the budget reader
// either refuses a tree with NewerFormatError or reads it, and what it writes
// reads back without a refusal and settles after one round trip.
#include "model/budget_json.h"
#include "core/errors.h"
#include "core/json.h"
#include "model/budget.h"
#include "model/dates.h"
#include "model/money.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace qm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    parseMoney(text);
    if (std::optional<Date> d = tryParseIso(text); d && !isValidDate(d->year, d->month, d->day))
        std::abort();

    Json tree;
    try {
        tree = parseJson(text);
    } catch (const ValueError&) {
        return 0;
    }
    std::string once = dumpJson(tree);
    if (dumpJson(parseJson(once)) != once)
        std::abort();
    if (dumpJson(parseJson(dumpJson(tree, 2))) != once)
        std::abort();

    auto roundTrip = [](const Json& j) { return dumpJson(budgetToJson(*budgetFromJson(j))); };
    std::string first;
    try {
        first = roundTrip(tree);
    } catch (const NewerFormatError&) {
        // A record only a newer version can read is refused whole, as a sync
        // refuses such a snapshot; any other exception is a finding.
        return 0;
    }
    std::string second = roundTrip(parseJson(first));
    if (roundTrip(parseJson(second)) != second)
        std::abort();
    return 0;
}
