#include "model/budget_json.h"
#include "model/transaction_edits.h"
#include "model/transaction_edits_internal.h"

#include "core/errors.h"
#include "model/adjustments.h"
#include "model/occurrences.h"
#include "store_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace qm;
using namespace qm::test;

namespace {

using Lines = std::vector<std::string>;

Date d(const char* iso) { return parseIso(iso); }

Transaction one(const char* start, double amount = -20, const char* description = "Lunch")
{
    Transaction t;
    t.start_date = d(start);
    t.amount = amount;
    t.description = description;
    t.account = "Checking";
    return t;
}

Transaction series(const char* start, const char* rule = "nth_1_months")
{
    Transaction t = one(start, -900, "Rent");
    t.is_recurring = true;
    t.recurring_period = rule;
    return t;
}

Transaction transfer(const char* from, const char* to, double amount)
{
    Transaction t = one("2025-03-01", amount, "Move");
    t.account = from;
    t.transfer_to_account = to;
    return t;
}

// A store holding t under the server id 5, with an empty journal.
LocalStorePtr storeWith(Transaction t)
{
    LocalStorePtr s = newLocalStore("");
    t.id = 5;
    s->budget->transactions.push_back(t);
    return s;
}

TransactionAdjustment adjustment(int64_t id, const char* original, const char* moved)
{
    TransactionAdjustment a;
    a.id = id;
    a.transaction_id = 5;
    a.original_date = d(original);
    a.new_date = d(moved);
    return a;
}

}  // namespace

TEST(TransactionEdits, RefusalsComeInCheckOrder)
{
    using Edit = std::function<EditResult(LocalStore&)>;
    auto edited = [](Transaction e) {
        e.start_date = d("2024-12-15");  // the stored start: nothing moves
        return e;
    };
    struct Row {
        const char* name;
        Edit edit;
        const char* message;
        Lines journal;  // what a refused edit may leave
    };
    const Row rows[] = {
        {"blank description", [](LocalStore& s) { return addTransaction(s, one("2025-03-01", 1, " \t ")); },
            "A description is needed", {}},
        {"description before transfer",
            [](LocalStore& s) {
                Transaction t = transfer("", "Savings", 5);
                t.description = "";
                return addTransaction(s, t);
            },
            "A description is needed", {}},
        {"transfer without source", [](LocalStore& s) { return addTransaction(s, transfer("", "Savings", 5)); },
            "Transfers need a source account", {}},
        {"transfer to itself", [](LocalStore& s) { return addTransaction(s, transfer("Cash", "Cash", 5)); },
            "Transfer source and destination must be different accounts", {}},
        {"update of nothing",
            [](LocalStore& s) { return updateTransaction(s, 99, one("2025-01-01"), false, {}, false); },
            "No such transaction", {}},
        {"update without description keeps the start move",
            [](LocalStore& s) { return updateTransaction(s, 5, one("2025-01-20", 1, ""), false, {}, false); },
            "A description is needed", {"create adjustment -1"}},
        {"update to a bad transfer",
            [&](LocalStore& s) {
                return updateTransaction(s, 5, edited(transfer("Cash", "Cash", 1)), false, {}, false);
            },
            "Transfer source and destination must be different accounts", {}},
        {"split onto the last kept date",
            [&](LocalStore& s) {
                Transaction e = series("2025-01-15");
                return updateTransaction(s, 5, e, true, d("2025-02-15"), true);
            },
            "The new start date must be after 2025-01-15", {}},
        {"split of a transfer to itself",
            [&](LocalStore& s) {
                Transaction e = series("2024-12-15");
                e.account = e.transfer_to_account = "Cash";
                return updateTransaction(s, 5, e, true, d("2025-02-15"), true);
            },
            "Transfer source and destination must be different accounts", {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        LocalStorePtr s = storeWith(series("2024-12-15"));
        Json before = budgetToJson(*s->budget);
        EditResult res = r.edit(*s);
        EXPECT_FALSE(res.ok);
        EXPECT_EQ(res.error, r.message);
        EXPECT_EQ(res.id, 0);
        EXPECT_EQ(journalSummary(*s), r.journal);
        if (r.journal.empty()) {
            EXPECT_EQ(budgetToJson(*s->budget), before);
        }
    }
}

TEST(TransactionEdits, SplitRefusesASeriesThatCannotReachTheOccurrence)
{
    LocalStorePtr s = storeWith(series("2025-01-15", "nth_0_days"));
    EditResult r = updateTransaction(*s, 5, series("2025-01-15", "nth_0_days"), true, d("2025-02-15"), true);
    EXPECT_EQ(r.error, "Could not find that occurrence in the series");
    // A daily series more than 20000 steps from its start.
    s = storeWith(series("1960-01-01", "nth_1_days"));
    r = updateTransaction(*s, 5, series("1960-01-01", "nth_1_days"), true, d("2025-01-01"), true);
    EXPECT_EQ(r.error, "Could not find that occurrence in the series");
    EXPECT_THROW(splitSeries(*s, 1, series("2025-01-01"), d("2025-01-01"), d("2025-01-01"), false), IndexError);
}

TEST(TransactionEdits, AddStoresTheRecordAsGiven)
{
    LocalStorePtr s = newLocalStore("");
    const Budget& b = *s->budget;
    EditResult a = addTransaction(*s, transfer("Checking", "Savings", 25));
    EditResult c = addTransaction(*s, transfer("Checking", "Savings", -25));
    EXPECT_EQ(b.transactions[0].amount, -25);
    EXPECT_EQ(b.transactions[1].amount, -25);
    Transaction t = one("2025-03-01", 12, "  Salary ");
    t.recurring_period = "nth_1_months";  // not recurring: the rule goes
    t.is_demo = true;
    t.id = 77;
    EditResult e = addTransaction(*s, t);
    EXPECT_TRUE(a.ok && c.ok && e.ok);
    EXPECT_EQ(e.error, "");
    EXPECT_EQ(e.id, -3);
    Transaction want = t;
    want.id = -3;
    want.recurring_period = "";
    want.is_demo = false;
    EXPECT_EQ(transactionToJson(b.transactions[2]), transactionToJson(want));
    EXPECT_EQ(journalSummary(*s), (Lines{"create transaction -1", "create transaction -2", "create transaction -3"}));
}

TEST(TransactionEdits, UpdateTakesTheFormFieldsAndMovesTheStartOccurrence)
{
    Transaction o = series("2025-01-15");
    o.is_adjustment = true;
    o.is_demo = true;
    LocalStorePtr s = storeWith(o);
    Transaction e = one("2025-01-17", 40, "Rent share");
    e.id = 123;
    e.recurring_period = "nth_2_weeks";  // dropped: e is not recurring
    e.category = "Home";
    e.icon_id = 4;
    e.has_end_date = true;
    e.end_date = d("2025-06-01");
    e.pay_on_business_day = e.pay_early = true;
    EditResult r = updateTransaction(*s, 5, e, false, {}, false);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.id, 5);
    Transaction want = e;
    want.id = 5;
    want.start_date = o.start_date;
    want.recurring_period = "";
    want.is_adjustment = want.is_demo = true;
    EXPECT_EQ(transactionToJson(s->budget->transactions[0]), transactionToJson(want));
    ASSERT_EQ(s->budget->transaction_adjustments.size(), 1u);
    TransactionAdjustment moved = adjustment(-1, "2025-01-15", "2025-01-17");
    EXPECT_EQ(adjustmentToJson(s->budget->transaction_adjustments[0]), adjustmentToJson(moved));
    EXPECT_EQ(journalSummary(*s), (Lines{"create adjustment -1", "update transaction 5"}));
}

TEST(TransactionEdits, StartMoveNamesTheShiftedOccurrenceAndKeepsItsAdjustment)
{
    // 2024-06-01 is a Saturday: the series pays on Monday 2024-06-03.
    Transaction o = series("2024-06-01", "dom_1_every");
    o.pay_on_business_day = true;
    LocalStorePtr s = storeWith(o);
    TransactionAdjustment paid = adjustment(8, "2024-06-03", "2024-06-03");
    paid.is_paid = paid.has_amount = true;
    paid.amount = -850;
    s->budget->transaction_adjustments.push_back(paid);
    Transaction e = o;
    e.start_date = d("2024-06-05");
    ASSERT_TRUE(updateTransaction(*s, 5, e, false, {}, false).ok);
    ASSERT_EQ(s->budget->transaction_adjustments.size(), 1u);
    paid.new_date = d("2024-06-05");
    EXPECT_EQ(adjustmentToJson(s->budget->transaction_adjustments[0]), adjustmentToJson(paid));

    // Without an adjustment the new one is named by the shifted date too; a
    // one-off is never shifted.
    s = storeWith(o);
    ASSERT_TRUE(updateTransaction(*s, 5, e, false, {}, false).ok);
    EXPECT_EQ(s->budget->transaction_adjustments[0].original_date, d("2024-06-03"));
    auto june = occurrencesInRange(*s->budget, s->budget->transactions[0], d("2024-06-01"), d("2024-06-30"));
    ASSERT_EQ(june.size(), 1u);  // moved, not doubled
    EXPECT_EQ(june[0].date, d("2024-06-05"));
    Transaction single = one("2024-06-01");
    single.pay_on_business_day = true;
    s = storeWith(single);
    Transaction moved = single;
    moved.start_date = d("2024-06-05");
    ASSERT_TRUE(updateTransaction(*s, 5, moved, false, {}, false).ok);
    EXPECT_EQ(s->budget->transaction_adjustments[0].original_date, d("2024-06-01"));
}

TEST(TransactionEdits, ThisAndFollowingSplitsTheSeries)
{
    struct Row {
        const char* name;
        Transaction stored;
        const char* occurrence;
        const char* newStart;  // the form's start date
        bool split;
        const char* oldEnd;
        const char* start;       // of the new series
        int64_t owner8, owner9;  // the series adjustments 8 and 9 then belong to
        Lines journal;
    };
    Transaction weekend = series("2024-06-01", "dom_1_every");
    weekend.pay_on_business_day = true;
    const Lines splitOps = {"update transaction 5", "create transaction -1"};
    auto plus = [](Lines l, Lines more) {
        l.insert(l.end(), more.begin(), more.end());
        return l;
    };
    const Row rows[] = {
        {"second occurrence", series("2025-01-15"), "2025-02-15", "2025-01-15", true, "2025-01-15", "2025-02-15", -1,
            -1, plus(splitOps, {"update adjustment 8", "update adjustment 9"})},
        {"moved occurrence splits where the series made it", series("2025-01-15"), "2025-03-20", "2025-01-15", true,
            "2025-02-15", "2025-03-15", 5, -1, plus(splitOps, {"update adjustment 9"})},
        {"new start after the last kept date", series("2025-01-15"), "2025-03-15", "2025-02-16", true, "2025-02-15",
            "2025-02-16", 5, -1, plus(splitOps, {"update adjustment 9"})},
        {"shifted occurrence", weekend, "2024-09-02", "2024-06-01", true, "2024-08-01", "2024-09-01", -1, -1,
            plus(splitOps, {"update adjustment 8", "update adjustment 9"})},
        {"first occurrence updates the whole series", series("2025-01-15"), "2025-01-15", "2025-01-15", false, nullptr,
            nullptr, 5, 5, {"update transaction 5"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        LocalStorePtr s = storeWith(r.stored);
        Budget& b = *s->budget;
        b.transaction_adjustments = {
            adjustment(8, "2025-02-15", "2025-02-15"), adjustment(9, "2025-03-15", "2025-03-20")};
        Transaction e = r.stored;
        e.amount = -950;
        e.start_date = d(r.newStart);
        EditResult res = updateTransaction(*s, 5, e, true, d(r.occurrence), true);
        ASSERT_TRUE(res.ok) << res.error;
        EXPECT_EQ(journalSummary(*s), r.journal);
        EXPECT_EQ(b.transaction_adjustments[0].transaction_id, r.owner8);
        EXPECT_EQ(b.transaction_adjustments[1].transaction_id, r.owner9);
        if (!r.split) {
            EXPECT_EQ(res.id, 5);
            EXPECT_EQ(b.transactions.size(), 1u);
            EXPECT_EQ(b.transactions[0].amount, -950);
            continue;
        }
        EXPECT_EQ(res.id, -1);
        ASSERT_EQ(b.transactions.size(), 2u);
        Transaction old = r.stored;
        old.id = 5;
        old.has_end_date = true;
        old.end_date = d(r.oldEnd);
        EXPECT_EQ(transactionToJson(b.transactions[0]), transactionToJson(old));
        Transaction fresh = e;
        fresh.id = -1;
        fresh.start_date = d(r.start);
        EXPECT_EQ(transactionToJson(b.transactions[1]), transactionToJson(fresh));
    }
}

TEST(TransactionEdits, DeleteCopyAndDemoData)
{
    // Adding then deleting with no sync in between leaves an empty journal.
    LocalStorePtr s = newLocalStore("");
    int64_t id = addTransaction(*s, series("2025-01-15")).id;
    setOccurrencePaid(*s, id, d("2025-02-15"), true, 0);
    EXPECT_TRUE(deleteTransaction(*s, id));
    EXPECT_FALSE(deleteTransaction(*s, id));
    EXPECT_EQ(journalSummary(*s), Lines{});
    EXPECT_TRUE(s->budget->transactions.empty() && s->budget->transaction_adjustments.empty());

    s = storeWith(series("2025-01-15"));
    Budget& b = *s->budget;
    b.transaction_adjustments = {adjustment(8, "2025-02-15", "2025-02-16"), adjustment(9, "2025-03-15", "2025-03-15")};
    b.transaction_adjustments[1].transaction_id = 6;
    b.transactions[0].is_demo = true;
    EXPECT_EQ(copyTransactionTo(*s, 99, {}, false), 0);
    int64_t copy = copyTransactionTo(*s, 5, {}, false);
    int64_t moved = copyTransactionTo(*s, 5, d("2025-04-01"), true);
    Transaction want = b.transactions[0];
    want.is_demo = false;
    want.id = copy;
    EXPECT_EQ(transactionToJson(b.transactions[1]), transactionToJson(want));
    want.id = moved;
    want.start_date = d("2025-04-01");
    EXPECT_EQ(transactionToJson(b.transactions[2]), transactionToJson(want));

    EXPECT_TRUE(hasDemoData(*s));
    b.running_total_adjustments = {{20, 0, d("2025-01-01"), 5, true}, {21, 0, d("2025-01-02"), 5, false}};
    b.transaction_adjustments[1].is_demo = true;
    removeDemoData(*s);
    EXPECT_FALSE(hasDemoData(*s));
    EXPECT_EQ(b.transactions.size(), 2u);
    EXPECT_TRUE(b.transaction_adjustments.empty());
    EXPECT_EQ(b.running_total_adjustments.size(), 1u);
    EXPECT_EQ(journalSummary(*s),
        (Lines{"create transaction -1", "create transaction -2", "delete adjustment 8", "delete transaction 5",
            "delete adjustment 9", "delete anchor 20"}));
}

// Splitting a series at any occurrence must neither lose nor repeat one: the
// two series together give the dates the single series gave.
TEST(TransactionEdits, SplitKeepsEveryOccurrence)
{
    struct Row {
        const char* rule;
        const char* start;
        bool business;
        bool early;
    };
    const Row rows[] = {
        {"nth_1_months", "2025-01-31", false, false},
        {"nth_2_weeks", "2025-01-04", true, false},
        {"dom_last_every", "2025-01-31", true, true},
        {"specific_5_friday_every", "2025-01-03", false, false},
        {"dom_1_every", "2024-06-01", true, false},
    };
    for (const Row& r : rows) {
        Transaction o = series(r.start, r.rule);
        o.pay_on_business_day = r.business;
        o.pay_early = r.early;
        const Date from = subDays(o.start_date, 5), to = addDays(o.start_date, 400);
        LocalStorePtr whole = storeWith(o);
        std::vector<Date> expected;
        for (const Occurrence& occ : occurrencesInRange(*whole->budget, whole->budget->transactions[0], from, to))
            expected.push_back(occ.date);
        ASSERT_GT(expected.size(), 5u);
        for (size_t k = 1; k < 5; ++k) {
            SCOPED_TRACE(std::string(r.rule) + " split at " + formatIso(expected[k]));
            LocalStorePtr s = storeWith(o);
            EditResult res = updateTransaction(*s, 5, o, true, expected[k], true);
            ASSERT_TRUE(res.ok) << res.error;
            const Budget& b = *s->budget;
            ASSERT_EQ(b.transactions.size(), 2u);
            std::vector<Date> got;
            for (const Transaction& t : b.transactions)
                for (const Occurrence& occ : occurrencesInRange(b, t, from, to)) {
                    EXPECT_EQ(dateLess(occ.date, expected[k]), t.id == 5) << formatIso(occ.date);
                    got.push_back(occ.date);
                }
            std::sort(got.begin(), got.end(), dateLess);
            EXPECT_EQ(got, expected);
        }
    }
}
