#include "model/adjustments.h"
#include "model/budget_json.h"
#include "model/record_edits.h"
#include "model/transaction_edits.h"

#include "store_helpers.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

using namespace qm;
using namespace qm::test;

namespace {

struct Editor {
    LocalStore* s;
    std::mt19937 rng;

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
    bool coin() { return pick(2) == 0; }
    double amount() { return (pick(200001) - 100000) / 100.0; }
    Date day() { return addDays(date(2024, 1, 1), pick(1100)); }

    template <typename List>
    int64_t idOf(const List& list)
    {
        return list.empty() || pick(8) == 0 ? 424242 : list[size_t(pick(int(list.size())))].id;
    }

    template <typename List>
    std::string nameOf(const List& list)
    {
        if (list.empty() || pick(6) == 0)
            return coin() ? "" : " Name " + std::to_string(pick(5));
        return list[size_t(pick(int(list.size())))].name;
    }

    Transaction transaction()
    {
        const Budget& b = *s->budget;
        Transaction t;
        t.start_date = day();
        t.amount = amount();
        t.description = pick(10) == 0 ? " " : "Item " + std::to_string(pick(50));
        t.category = nameOf(b.categories);
        t.account = nameOf(b.accounts);
        if (pick(4) == 0)
            t.transfer_to_account = nameOf(b.accounts);
        t.is_recurring = coin();
        static const char* rules[] = {
            "nth_1_months", "nth_2_weeks", "dom_last_every", "specific_1_monday_every", "nth_0_days", "dom_31_2"};
        t.recurring_period = rules[pick(6)];
        t.pay_on_business_day = coin();
        t.pay_early = coin();
        t.has_end_date = pick(4) == 0;
        t.end_date = day();
        t.icon_id = pick(3);
        return t;
    }

    void edit()
    {
        Budget& b = *s->budget;
        switch (pick(20)) {
        case 0:
        case 1:
            addTransaction(*s, transaction());
            break;
        case 2:
        case 3: {
            int64_t id = idOf(b.transactions);
            Transaction e = transaction();
            std::optional<size_t> i = findTransaction(b, id);
            if (i.has_value() && coin())
                e.start_date = b.transactions[*i].start_date;
            Date occurrence = i.has_value() ? addMonths(b.transactions[*i].start_date, pick(4)) : day();
            updateTransaction(*s, id, e, coin(), occurrence, coin());
            break;
        }
        case 4:
            deleteTransaction(*s, idOf(b.transactions));
            break;
        case 5:
            copyTransactionTo(*s, idOf(b.transactions), day(), coin());
            break;
        case 6:
            setOccurrenceDate(*s, idOf(b.transactions), day(), day(), coin() ? idOf(b.transaction_adjustments) : 0);
            break;
        case 7:
            setOccurrencePaid(*s, idOf(b.transactions), day(), coin(), coin() ? idOf(b.transaction_adjustments) : 0);
            break;
        case 8:
            setOccurrenceAmount(
                *s, idOf(b.transactions), day(), amount(), coin(), coin() ? idOf(b.transaction_adjustments) : 0);
            break;
        case 9:
            deleteOccurrence(*s, idOf(b.transactions), day(), coin() ? idOf(b.transaction_adjustments) : 0);
            break;
        case 10:
            addCategory(*s, nameOf(b.categories) + (coin() ? "x" : ""), coin() ? "#12ab3F" : "", pick(3));
            break;
        case 11:
            updateCategory(*s, idOf(b.categories), nameOf(b.categories), coin() ? "" : "#000000", pick(3), coin());
            break;
        case 12:
            deleteCategory(*s, idOf(b.categories));
            break;
        case 13:
            addAccount(*s, nameOf(b.accounts) + (coin() ? "y" : ""), coin() ? "cash" : "");
            break;
        case 14:
            updateAccount(*s, idOf(b.accounts), nameOf(b.accounts), coin() ? "loan" : "");
            break;
        case 15:
            if (pick(3) == 0)
                deleteAccount(*s, idOf(b.accounts));
            break;
        case 16:
            setAnchor(*s, day(), amount(), coin() ? 0 : idOf(b.accounts));
            break;
        case 17:
            if (!b.running_total_adjustments.empty()) {
                const auto& r = b.running_total_adjustments[size_t(pick(int(b.running_total_adjustments.size())))];
                removeAnchor(*s, r.date, r.account_id);
            }
            break;
        case 18:
            setAccountBalances(*s, {{idOf(b.accounts), amount()}, {idOf(b.accounts), amount()}}, day());
            break;
        default:
            setSelectedAccount(*s, idOf(b.accounts));
            setThemePreference(*s, coin() ? "dark" : "Light");
            break;
        }
    }
};

template <typename List>
void checkIds(const List& list, int64_t nextLocal, const char* what)
{
    std::set<int64_t> seen;
    for (const auto& r : list) {
        EXPECT_GT(r.id, nextLocal) << what;
        EXPECT_TRUE(seen.insert(r.id).second) << what << " id " << r.id << " given twice";
    }
}

void checkIds(const LocalStore& s)
{
    const Budget& b = *s.budget;
    EXPECT_LT(s.next_local, 0);
    checkIds(b.accounts, s.next_local, "account");
    checkIds(b.categories, s.next_local, "category");
    checkIds(b.icons, s.next_local, "icon");
    checkIds(b.transactions, s.next_local, "transaction");
    checkIds(b.transaction_adjustments, s.next_local, "adjustment");
    checkIds(b.running_total_adjustments, s.next_local, "anchor");
}

}  // namespace

// Random edits, each round saved and opened again: the budget and journal
// come back unchanged, and ids handed out afterwards never meet old ones,
// even when the stored next_local was lost.
TEST(EditsProperty, RandomEditsSurviveSaveAndReopen)
{
    TempFolder dir;
    LocalStorePtr s = newLocalStore(dir.path);
    seedStore(*s);
    Editor editor{s.get(), std::mt19937(20251209)};
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        for (int i = 0; i < 30; ++i)
            editor.edit();
        checkIds(*s);
        std::string budget = dumpJson(budgetToJson(*s->budget));
        std::string journal = storeJournalJson(*s);
        saveStore(*s);
        if (round % 3 == 2) {
            Json doc = parseJson(readText(dir.file("data.json")));
            doc["meta"]["next_local"] = round % 2 ? -1 : 7;
            writeText(dir.file("data.json"), dumpJson(doc));
        }
        LocalStorePtr back = openStore(dir.path);
        ASSERT_EQ(dumpJson(budgetToJson(*back->budget)), budget);
        ASSERT_EQ(storeJournalJson(*back), journal);
        EXPECT_EQ(back->next_seq, s->next_seq);
        if (round % 3 != 2) {
            EXPECT_EQ(back->next_local, s->next_local);
        }
        checkIds(*back);
        s = back;
        editor.s = s.get();
    }
    EXPECT_GT(s->budget->transactions.size(), 10u);
    EXPECT_GT(s->budget->transaction_adjustments.size(), 5u);
}
