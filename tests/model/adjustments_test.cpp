#include "model/adjustments.h"
#include "model/budget_json.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

using namespace qm;

namespace {

const Date mar1 = date(2025, 3, 1);
const Date mar4 = date(2025, 3, 4);
const Date mar9 = date(2025, 3, 9);

TransactionAdjustment adj(
    int64_t id, Date original, Date moved, bool hasAmount = false, double amount = 0, bool paid = false)
{
    TransactionAdjustment a;
    a.id = id;
    a.transaction_id = 5;
    a.original_date = original;
    a.new_date = moved;
    a.has_amount = hasAmount;
    a.amount = amount;
    a.is_paid = paid;
    return a;
}

std::string show(const TransactionAdjustment& a)
{
    std::ostringstream s;
    s << a.id << " t" << a.transaction_id << " " << formatIso(a.original_date) << ">" << formatIso(a.new_date);
    if (a.has_amount)
        s << " amount " << a.amount;
    else if (a.amount != 0)
        s << " stray amount";
    if (a.is_paid)
        s << " paid";
    if (a.is_deleted)
        s << " deleted";
    return s.str();
}

// The store's adjustments and journal ops in the tables' notation.
std::vector<std::string> summary(const LocalStore& s)
{
    std::vector<std::string> out;
    for (const auto& a : s.budget->transaction_adjustments)
        out.push_back(show(a));
    for (const auto& op : s.journal) {
        out.push_back(opKindName(op.op) + " " + std::to_string(op.id));
        EXPECT_EQ(op.entity, entAdjustment);
        if (op.op != opDelete) {
            std::optional<size_t> i = findAdjustment(*s.budget, op.id);
            EXPECT_TRUE(i.has_value() && *op.data == adjustmentToJson(s.budget->transaction_adjustments[*i]));
        }
    }
    return out;
}

LocalStorePtr storeWith(std::vector<TransactionAdjustment> adjustments)
{
    LocalStorePtr s = newLocalStore("");
    Transaction t;
    t.id = 5;
    t.start_date = mar1;
    s->budget->transactions.push_back(t);
    s->budget->transaction_adjustments.assign(adjustments.begin(), adjustments.end());
    return s;
}

}  // namespace

TEST(Adjustments, OccurrenceSetters)
{
    using Op = std::function<bool(LocalStore&)>;
    struct Case {
        const char* name;
        std::vector<TransactionAdjustment> before;
        Op op;
        std::vector<std::string> after;  // adjustments, then journal ops
    };
    const Case cases[] = {
        {"move an unadjusted occurrence", {}, [](LocalStore& s) { return setOccurrenceDate(s, 5, mar1, mar4, 0); },
            {"-1 t5 2025-03-01>2025-03-04", "create -1"}},
        {"move again by id rewrites the pending create", {},
            [](LocalStore& s) {
                return setOccurrenceDate(s, 5, mar1, mar4, 0) && setOccurrenceDate(s, 5, mar4, mar9, -1);
            },
            {"-1 t5 2025-03-01>2025-03-09", "create -1"}},
        {"move found by original date keeps the rest", {adj(8, mar1, mar1, true, 12.5, true)},
            [](LocalStore& s) { return setOccurrenceDate(s, 5, mar1, mar4, 0); },
            {"8 t5 2025-03-01>2025-03-04 amount 12.5 paid", "update 8"}},
        {"an unknown adjustment id falls back to the date", {adj(8, mar1, mar4)},
            [](LocalStore& s) { return setOccurrencePaid(s, 5, mar1, true, 99); },
            {"8 t5 2025-03-01>2025-03-04 paid", "update 8"}},
        {"paid keeps the amount", {adj(8, mar1, mar1, true, 40)},
            [](LocalStore& s) { return setOccurrencePaid(s, 5, mar1, true, 8); },
            {"8 t5 2025-03-01>2025-03-01 amount 40 paid", "update 8"}},
        {"paid on an unadjusted occurrence", {}, [](LocalStore& s) { return setOccurrencePaid(s, 5, mar9, true, 0); },
            {"-1 t5 2025-03-09>2025-03-09 paid", "create -1"}},
        {"own amount on an unadjusted occurrence", {},
            [](LocalStore& s) { return setOccurrenceAmount(s, 5, mar1, -7.25, true, 0); },
            {"-1 t5 2025-03-01>2025-03-01 amount -7.25", "create -1"}},
        {"clearing an amount that is not there changes nothing", {},
            [](LocalStore& s) { return setOccurrenceAmount(s, 5, mar1, 3, false, 0); }, {}},
        {"clearing an amount zeroes it", {adj(8, mar1, mar4, true, 40, true)},
            [](LocalStore& s) { return setOccurrenceAmount(s, 5, mar1, 3, false, 0); },
            {"8 t5 2025-03-01>2025-03-04 paid", "update 8"}},
        {"the amount goes to the last match, the date to the first", {adj(8, mar1, mar1), adj(9, mar1, mar1)},
            [](LocalStore& s) {
                return setOccurrenceAmount(s, 5, mar1, 2, true, 0) && setOccurrenceDate(s, 5, mar1, mar4, 0);
            },
            {"8 t5 2025-03-01>2025-03-04", "9 t5 2025-03-01>2025-03-01 amount 2", "update 9", "update 8"}},
        {"delete by id only marks it", {adj(8, mar1, mar4, true, 40, true)},
            [](LocalStore& s) { return deleteOccurrence(s, 5, mar1, 8); },
            {"8 t5 2025-03-01>2025-03-04 amount 40 paid deleted", "update 8"}},
        {"delete by date replaces a moved adjustment", {adj(8, mar1, mar4, true, 40, true)},
            [](LocalStore& s) { return deleteOccurrence(s, 5, mar1, 0); },
            {"8 t5 2025-03-01>2025-03-01 deleted", "update 8"}},
        {"delete of an unadjusted occurrence", {adj(8, mar4, mar4)},
            [](LocalStore& s) { return deleteOccurrence(s, 5, mar1, 0); },
            {"8 t5 2025-03-04>2025-03-04", "-1 t5 2025-03-01>2025-03-01 deleted", "create -1"}},
        {"a missing transaction is refused", {adj(8, mar1, mar4)},
            [](LocalStore& s) {
                return !setOccurrenceDate(s, 6, mar1, mar9, 8) && !setOccurrencePaid(s, 6, mar1, true, 0)
                    && !setOccurrenceAmount(s, 6, mar1, 1, true, 0) && !deleteOccurrence(s, 6, mar1, 8);
            },
            {"8 t5 2025-03-01>2025-03-04"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LocalStorePtr s = storeWith(c.before);
        EXPECT_TRUE(c.op(*s));
        EXPECT_EQ(summary(*s), c.after);
        EXPECT_EQ(s->dirty, !s->journal.empty());
    }
}

TEST(Adjustments, PutReplacesAllButTheIdAndOriginalDateOfResolves)
{
    LocalStorePtr s = storeWith({adj(8, mar1, mar4, true, 40, true)});
    TransactionAdjustment a = adj(0, mar1, mar9);
    a.is_demo = true;
    EXPECT_EQ(putAdjustment(*s, a), 8);
    EXPECT_EQ(summary(*s), (std::vector<std::string>{"8 t5 2025-03-01>2025-03-09", "update 8"}));
    EXPECT_TRUE(s->budget->transaction_adjustments[0].is_demo);
    EXPECT_EQ(putAdjustment(*s, adj(77, mar4, mar4)), -1);  // a new record never keeps the id it came with

    EXPECT_EQ(originalDateOf(*s, mar9, 0), mar9);
    EXPECT_EQ(originalDateOf(*s, mar9, 8), mar1);
    EXPECT_EQ(originalDateOf(*s, mar9, 12345), mar9);
}
