#include "model/budget_json.h"
#include "model/record_edits.h"

#include "model/money.h"

#include "store_helpers.h"

#include <gtest/gtest.h>

#include <functional>

using namespace qm;
using namespace qm::test;

namespace {

using Lines = std::vector<std::string>;

const Date jan1 = date(2025, 1, 1);
const Date feb1 = date(2025, 2, 1);

Transaction tx(int64_t id, const char* category, const char* account, const char* to = "")
{
    Transaction t;
    t.id = id;
    t.start_date = jan1;
    t.amount = -10;
    t.description = "t";
    t.category = category;
    t.account = account;
    t.transfer_to_account = to;
    return t;
}

// Two categories, two accounts, transactions naming them, anchors for each
// account and for the total, and a user who selected the first account.
LocalStorePtr fixture()
{
    LocalStorePtr s = newLocalStore("");
    Budget& b = *s->budget;
    b.categories = {{1, "Food", "#aabbcc", false, 0}, {2, "Rent", "", false, 0}};
    b.accounts = {{10, "Checking", "checking", "", 0, ""}, {11, "Savings", "savings", "", 1, ""}};
    b.transactions = {tx(100, "Food", "Checking"), tx(101, "Rent", "Checking", "Savings"), tx(102, "Food", "Savings")};
    b.running_total_adjustments = {{200, 10, jan1, 100, false}, {201, 11, jan1, 50, false}, {202, 0, jan1, 150, true}};
    b.user.selected_account_id = 10;
    b.user.default_account_id = 11;
    return s;
}

}  // namespace

TEST(RecordEdits, RefusalsComeInCheckOrderAndChangeNothing)
{
    using Edit = std::function<EditResult(LocalStore&)>;
    const std::string long51(51, 'x');
    std::string accented;  // 26 characters, 52 bytes
    for (int i = 0; i < 26; ++i)
        accented += "\xc3\xa9";
    struct Row {
        const char* name;
        Edit edit;
        std::string message;
    };
    const Row rows[] = {
        {"add category without name", [](LocalStore& s) { return addCategory(s, "", "", 0); },
            "A category needs a name"},
        {"add category of blanks", [](LocalStore& s) { return addCategory(s, " \t\n\v\f\r", "", 0); },
            "A category needs a name"},
        {"name before colour", [](LocalStore& s) { return addCategory(s, " ", "bad", 0); }, "A category needs a name"},
        {"51 bytes", [&](LocalStore& s) { return addCategory(s, long51, "", 0); },
            "A category name is at most 50 characters"},
        {"bytes, not characters", [&](LocalStore& s) { return addCategory(s, accented, "", 0); },
            "A category name is at most 50 characters"},
        {"length before duplicate", [&](LocalStore& s) { return addCategory(s, long51, "nope", 0); },
            "A category name is at most 50 characters"},
        {"trimmed duplicate", [](LocalStore& s) { return addCategory(s, "  Food\t", "", 0); },
            "You already have a category called Food"},
        {"duplicate before colour", [](LocalStore& s) { return addCategory(s, "Food", "#12345g", 0); },
            "You already have a category called Food"},
        {"colour with a non-hex digit", [](LocalStore& s) { return addCategory(s, "Fun", "#12345g", 0); },
            "Invalid color (expected #RRGGBB)"},
        {"update of no category", [](LocalStore& s) { return updateCategory(s, 99, "", "bad", 0, false); },
            "No such category"},
        {"update without name", [](LocalStore& s) { return updateCategory(s, 1, "\n", "bad", 0, false); },
            "A category needs a name"},
        {"update colour before duplicate", [](LocalStore& s) { return updateCategory(s, 1, "Rent", "#ab", 0, false); },
            "Invalid color (expected #RRGGBB)"},
        {"rename onto another category", [](LocalStore& s) { return updateCategory(s, 1, " Rent ", "", 0, false); },
            "You already have a category called Rent"},
        {"add account without name", [](LocalStore& s) { return addAccount(s, "  ", "cash"); },
            "An account needs a name"},
        {"account name too long", [&](LocalStore& s) { return addAccount(s, long51, "cash"); },
            "Account name is too long"},
        {"account duplicate", [](LocalStore& s) { return addAccount(s, " Checking ", "cash"); },
            "You already have an account with that name"},
        {"update of no account", [](LocalStore& s) { return updateAccount(s, 99, "x", "Bad"); }, "No such account"},
        {"type before name", [&](LocalStore& s) { return updateAccount(s, 10, long51, "Savings"); },
            "Unknown account type"},
        {"long rename", [&](LocalStore& s) { return updateAccount(s, 10, long51, "savings"); },
            "Account name is too long"},
        {"rename onto another account", [](LocalStore& s) { return updateAccount(s, 10, "Savings ", "cash"); },
            "You already have an account with that name"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        LocalStorePtr s = fixture();
        Json before = budgetToJson(*s->budget);
        EditResult st = r.edit(*s);
        EXPECT_FALSE(st.ok);
        EXPECT_EQ(st.error, r.message);
        EXPECT_EQ(budgetToJson(*s->budget), before);
        EXPECT_TRUE(s->journal.empty());
        EXPECT_EQ(s->next_local, -1);
        EXPECT_FALSE(s->dirty);
    }
    LocalStorePtr s = fixture();
    EXPECT_EQ(addCategory(*s, "Fun", "", 0).id, -1);
    EXPECT_EQ(addCategory(*s, "x", "nope", 0).id, 0);
}

TEST(RecordEdits, Categories)
{
    LocalStorePtr s = fixture();
    Budget& b = *s->budget;
    EditResult added = addCategory(*s, " Travel ", "", 7);
    EXPECT_TRUE(added.ok);
    EXPECT_EQ(added.error, "");
    EXPECT_EQ(added.id, -1);
    EXPECT_EQ(categoryToJson(b.categories.back()), categoryToJson({-1, "Travel", "", false, 7}));
    EXPECT_TRUE(addCategory(*s, "food", "#A0b1C2", 0).ok);  // names differ by case

    EXPECT_TRUE(updateCategory(*s, 1, "Food", "", 3, true).ok);  // same name: no transaction touched
    EXPECT_EQ(categoryToJson(b.categories[0]), categoryToJson({1, "Food", "", true, 3}));
    std::string long60(60, 'g');
    EXPECT_TRUE(updateCategory(*s, 1, long60, "#000000", 0, false).ok);
    EXPECT_EQ(b.transactions[0].category, long60);
    EXPECT_EQ(b.transactions[2].category, long60);
    EXPECT_EQ(b.transactions[1].category, "Rent");

    EXPECT_TRUE(deleteCategory(*s, 2));
    EXPECT_FALSE(deleteCategory(*s, 2));
    EXPECT_EQ(b.transactions[1].category, "");
    EXPECT_EQ(b.categories.size(), 3u);
    EXPECT_EQ(journalSummary(*s),
        (Lines{"create category -1", "create category -2", "update category 1", "update transaction 100",
            "update transaction 102", "update transaction 101", "delete category 2"}));
}

TEST(RecordEdits, AccountsRenameAndDeleteThroughTransactions)
{
    LocalStorePtr s = fixture();
    Budget& b = *s->budget;
    EXPECT_TRUE(updateAccount(*s, 11, "Reserve", "").ok);
    EXPECT_EQ(b.accounts[1].name, "Reserve");
    EXPECT_EQ(b.accounts[1].account_type, "");
    EXPECT_EQ(b.transactions[1].transfer_to_account, "Reserve");
    EXPECT_EQ(b.transactions[2].account, "Reserve");
    EXPECT_EQ(b.transactions[0].account, "Checking");
    EXPECT_TRUE(updateAccount(*s, 10, "", "savings").ok);
    EXPECT_EQ(accountToJson(b.accounts[0]), accountToJson({10, "Checking", "savings", "", 0, ""}));
    EXPECT_EQ(journalSummary(*s),
        (Lines{"update transaction 101", "update transaction 102", "update account 11", "update account 10"}));

    s->journal.clear();
    EXPECT_TRUE(deleteAccount(*s, 10));
    EXPECT_FALSE(deleteAccount(*s, 10));
    EXPECT_EQ(b.transactions.size(), 3u);
    EXPECT_EQ(b.transactions[0].account, "");
    EXPECT_EQ(b.transactions[1].account, "");
    EXPECT_EQ(b.transactions[1].transfer_to_account, "Reserve");
    EXPECT_EQ(b.user.selected_account_id, 0);
    EXPECT_EQ(b.user.default_account_id, 11);
    EXPECT_EQ(b.running_total_adjustments.size(), 2u);
    EXPECT_EQ(journalSummary(*s),
        (Lines{"update transaction 100", "update transaction 101", "delete anchor 200", "delete account 10",
            "update prefs 0"}));
}

TEST(RecordEdits, NewAccountsOrderAfterTheOthers)
{
    struct Row {
        std::vector<int32_t> orders;
        int32_t expected;
    };
    const Row rows[] = {{{}, 0}, {{-1, -1}, 0}, {{-7}, 0}, {{0, 1}, 2}, {{5, -1, 2}, 6}};
    for (const Row& r : rows) {
        LocalStorePtr s = newLocalStore("");
        for (size_t i = 0; i < r.orders.size(); ++i)
            s->budget->accounts.push_back({int64_t(i + 1), "a" + std::to_string(i), "", "", r.orders[i], ""});
        EditResult res = addAccount(*s, "New", "anything");
        ASSERT_TRUE(res.ok);
        EXPECT_EQ(s->budget->accounts.back().display_order, r.expected);
        EXPECT_EQ(s->budget->accounts.back().account_type, "anything");
        EXPECT_EQ(journalSummary(*s), (Lines{"create account -1"}));
    }
}

TEST(RecordEdits, AnchorsAndBalances)
{
    LocalStorePtr s = fixture();
    Budget& b = *s->budget;
    setAnchor(*s, jan1, 150.5, 0);  // the demo total becomes the user's own
    EXPECT_EQ(b.running_total_adjustments[2].amount, 150.5);
    EXPECT_FALSE(b.running_total_adjustments[2].is_demo);
    setAnchor(*s, feb1, 1.0 / 3, 99);  // neither checked nor rounded
    EXPECT_EQ(anchorToJson(b.running_total_adjustments.back()), anchorToJson({-1, 99, feb1, 1.0 / 3, false}));

    setAccountBalances(*s, {{10, 100.005}, {12345, 5}, {0, 9}, {11, -0.015}}, feb1);
    EXPECT_EQ(b.running_total_adjustments.size(), 6u);
    EXPECT_EQ(b.running_total_adjustments[4].amount, roundCents(100.005));
    EXPECT_EQ(b.running_total_adjustments[5].amount, roundCents(-0.015));

    EXPECT_TRUE(removeAnchor(*s, feb1, 99));
    EXPECT_FALSE(removeAnchor(*s, feb1, 99));
    EXPECT_EQ(journalSummary(*s), (Lines{"update anchor 202", "create anchor -2", "create anchor -3"}))
        << "the create and delete of anchor -1 cancel out";
}

TEST(RecordEdits, Preferences)
{
    LocalStorePtr s = fixture();
    User& u = s->budget->user;
    setSelectedAccount(*s, 11);
    setDefaultAccount(*s, 12345);
    EXPECT_EQ(u.selected_account_id, 11);
    EXPECT_EQ(u.default_account_id, 0);
    for (const char* refused : {"Dark", "", "dark ", "auto"})
        setThemePreference(*s, refused);
    EXPECT_EQ(u.theme_preference, "system");
    EXPECT_EQ(s->change_count, 2);
    setThemePreference(*s, "dark");
    setTourCompleted(*s, true);
    EXPECT_EQ(u.theme_preference, "dark");
    EXPECT_TRUE(u.has_completed_tour);
    savePrefs(*s);
    EXPECT_EQ(journalSummary(*s), (Lines{"update prefs 0"}));
    EXPECT_EQ(s->change_count, 5);
}
