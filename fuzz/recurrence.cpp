// Arbitrary rule texts and dates through the rule reader, the wording, the
// series step and the expansion. A 16-byte header picks the dates (near
// today, or anywhere in the 32-bit range) and the transaction's flags; the
// rest is the rule text. Nothing may crash or hang, and the expansion's
// answer must be sorted and inside its range.
#include "model/recurrence.h"
#include "core/bytes.h"
#include "core/errors.h"
#include "model/occurrences.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

int32_t read32(const uint8_t* p) { return static_cast<int32_t>(qm::loadLe32(p)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace qm;
    if (size < 16)
        return 0;
    const uint8_t flags = data[0];
    std::string_view text(reinterpret_cast<const char*>(data + 16), size - 16);

    RecurrenceRule rule = parseRule(text);
    std::string again = ruleToText(rule);
    if (ruleToText(parseRule(again)) != again)
        std::abort();
    describeRule(text);
    monthLabel(rule.month);
    dayOfMonthIn(rule.day, read32(data + 4), data[1] % 14);

    Transaction t;
    t.id = 1;
    t.is_recurring = (flags & 1) == 0;
    t.recurring_period = std::string(text);
    t.pay_on_business_day = flags & 2;
    t.pay_early = flags & 4;
    t.has_end_date = flags & 8;
    const bool wild = flags & 16;
    const int32_t near = dayNumber(Date{2024, 1, 1});
    auto day = [&](const uint8_t* p) { return wild ? read32(p) : near + static_cast<int16_t>(p[0] | p[1] << 8); };
    try {
        // Any fields at all for the single step.
        Date raw{read32(data + 4), read32(data + 8), read32(data + 12)};
        Date next = nextOccurrence(t, raw);
        if (!sameDate(next, raw))
            (void)dayNumber(next);  // a date the walk can compare
        businessDayShift(t, raw);
    } catch (const ValueError&) {
    }
    try {
        t.start_date = fromDayNumber(day(data + 2));
        t.end_date = fromDayNumber(day(data + 4) + (wild ? 0 : 400));
        Date from = fromDayNumber(day(data + 6));
        int64_t width = wild ? static_cast<int64_t>(read32(data + 8)) : (data[8] | data[9] << 8) % 3000;
        int64_t toN = int64_t(dayNumber(from)) + width;
        if (toN > INT32_MAX || toN < INT32_MIN)
            return 0;
        Date to = fromDayNumber(static_cast<int32_t>(toN));
        TransactionAdjustment a;
        a.transaction_id = 1;
        a.original_date = fromDayNumber(day(data + 10));
        a.new_date = fromDayNumber(day(data + 12));
        a.is_deleted = flags & 32;
        TransactionAdjustment b = a;
        b.original_date = t.start_date;
        b.new_date = from;
        std::vector<TransactionAdjustment> adjustments{a, b};
        std::vector<Occurrence> list = expandOccurrences(t, adjustments, from, to);
        for (size_t i = 0; i < list.size(); ++i) {
            if (dateLess(list[i].date, from) || dateLess(to, list[i].date))
                std::abort();
            if (i > 0 && dateLess(list[i].date, list[i - 1].date))
                std::abort();
        }
    } catch (const ValueError&) {
    }
    return 0;
}
