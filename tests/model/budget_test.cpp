#include "model/budget.h"
#include "model/budget_json.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace qm;

namespace {

Json obj(const char* text) { return parseJson(text); }

}  // namespace

TEST(Budget, EmptyDocumentReadsAndWritesTheDefaults)
{
    BudgetPtr b = budgetFromJson(obj("{}"));
    EXPECT_TRUE(b->accounts.empty() && b->transactions.empty());
    EXPECT_EQ(b->user.theme_preference, "system");
    EXPECT_EQ(dumpJson(budgetToJson(*b)),
        R"({"accounts":[],"categories":[],"icons":[],"transactions":[],"transaction_adjustments":[],)"
        R"("running_total_adjustments":[],"user":{"selected_account_id":null,"default_account_id":null,)"
        R"("theme_preference":"system","has_completed_tour":false,"first_name":null,"last_name":null,)"
        R"("email":"","calendar_token":null,"two_factor_enabled":false,"pending_email":null,)"
        R"("is_verified":false,"avatar":null,"gravatar_hash":null}})");
    for (const char* notObject : {"[]", "null", "3", "\"x\""})
        EXPECT_EQ(dumpJson(budgetToJson(*budgetFromJson(obj(notObject)))), dumpJson(budgetToJson(*b)));
}

TEST(Budget, MistypedListsAndElementsTakeDefaults)
{
    BudgetPtr b = budgetFromJson(obj(R"({"accounts":{"id":1},"categories":[3,null,{"id":4}],
        "user":[1],"transactions":"x"})"));
    EXPECT_TRUE(b->accounts.empty());
    ASSERT_EQ(b->categories.size(), 3u);
    EXPECT_EQ(b->categories[0].id, 0);
    EXPECT_EQ(b->categories[2].id, 4);
    EXPECT_EQ(b->user.theme_preference, "system");
}

TEST(Budget, MemberReaders)
{
    Json j = obj(R"({"i":7,"big":18446744073709551615,"f":2.5,"s":"12.50","bad":"abc","nan":"nan",
        "inf":1e999,"sinf":"-inf","under":"1e-400","n":null,"b":true,"t":"x"})");
    EXPECT_EQ(jsonInt(j, "i"), 7);
    EXPECT_EQ(jsonInt(j, "big"), 0);
    EXPECT_EQ(jsonInt(j, "f"), 0);
    EXPECT_EQ(jsonInt(j, "s"), 0);
    EXPECT_EQ(jsonInt(j, "missing"), 0);
    EXPECT_EQ(jsonStr(j, "t"), "x");
    EXPECT_EQ(jsonStr(j, "i"), "");
    EXPECT_EQ(jsonFloat(j, "i"), 7.0);
    EXPECT_EQ(jsonFloat(j, "f"), 2.5);
    EXPECT_EQ(jsonFloat(j, "s"), 12.5);
    EXPECT_EQ(jsonFloat(j, "bad", 4), 4.0);
    // Non-finite values never enter a budget.
    EXPECT_EQ(jsonFloat(j, "nan", 4), 4.0);
    EXPECT_EQ(jsonFloat(j, "inf", 4), 4.0);
    EXPECT_EQ(jsonFloat(j, "sinf", 4), 4.0);
    EXPECT_EQ(jsonFloat(j, "under", 4), 0.0);
    EXPECT_EQ(jsonFloat(j, "n", 4), 4.0);
    EXPECT_EQ(jsonFloat(j, "b", 4), 4.0);
    EXPECT_FALSE(jsonDate(j, "t").has_value());

    struct {
        const char* json;
        bool want;
    } bools[] = {{"true", true}, {"1", true}, {"-3", true}, {"\"Yes\"", true}, {"\"on\"", true}, {"\"1\"", true},
        {"\"TRUE\"", true}, {"\"y\"", false}, {"0.0", false}, {"1.0", false}, {"\"no\"", false}, {"0", false},
        {"false", false}, {"null", false}, {"[1]", false}, {"{}", false}, {"\" yes\"", false}};
    for (const auto& c : bools)
        EXPECT_EQ(jsonBool(obj((std::string(R"({"is_paid":)") + c.json + "}").c_str()), "is_paid"), c.want) << c.json;
}

TEST(Budget, RecordRules)
{
    BudgetPtr b = budgetFromJson(obj(R"({
        "accounts":[{"id":1,"name":"A","display_order":2.0},{"id":2,"display_order":3},
                    {"id":3,"display_order":4294967296},{"id":4,"display_order":-2147483648}],
        "transactions":[{"id":5,"start_date":"2024-03-01","amount":"12.50","is_recurring":true,
                         "recurring_period":""},{"id":6,"amount":"abc","is_recurring":"yes",
                         "recurring_period":"nth_1_months","end_date":"2024-02-30"}],
        "transaction_adjustments":[{"id":1,"original_date":"2024-01-05","amount":null},
                                   {"id":2,"original_date":"2024-01-05","new_date":"2024-01-07","amount":"abc"}],
        "running_total_adjustments":[{"id":1,"account_id":null,"date":"2024-01-01","amount":-3}],
        "user":{"theme_preference":"Dark","email":null}})"));
    EXPECT_EQ(b->accounts[0].display_order, -1);
    EXPECT_EQ(accountToJson(b->accounts[0])["display_order"], nullptr);
    EXPECT_EQ(b->accounts[1].display_order, 3);
    EXPECT_EQ(b->accounts[2].display_order, -1);
    EXPECT_EQ(b->accounts[3].display_order, INT32_MIN);
    EXPECT_EQ(accountToJson(b->accounts[3])["display_order"], nullptr);

    const Transaction& t = b->transactions[0];
    EXPECT_FALSE(t.is_recurring);
    EXPECT_FALSE(t.has_end_date);
    EXPECT_EQ(t.amount, 12.5);
    EXPECT_EQ(dumpJson(transactionToJson(t)),
        R"({"id":5,"start_date":"2024-03-01","end_date":null,"amount":12.5,"description":"",)"
        R"("category":null,"account":null,"transfer_to_account":null,"is_recurring":false,)"
        R"("recurring_period":null,"pay_on_business_day":false,"pay_early":false,"icon_id":null,)"
        R"("is_adjustment":false,"is_demo":false})");
    EXPECT_TRUE(b->transactions[1].is_recurring);
    EXPECT_EQ(b->transactions[1].amount, 0.0);
    EXPECT_FALSE(b->transactions[1].has_end_date);  // 30 February is no date
    EXPECT_EQ(formatIso(b->transactions[1].start_date), "0000-00-00");

    const auto& adj = b->transaction_adjustments;
    EXPECT_FALSE(adj[0].has_amount);
    EXPECT_TRUE(sameDate(adj[0].new_date, date(2024, 1, 5)));
    EXPECT_TRUE(adj[1].has_amount);
    EXPECT_EQ(adj[1].amount, 0.0);
    EXPECT_TRUE(sameDate(adj[1].new_date, date(2024, 1, 7)));
    EXPECT_EQ(dumpJson(adjustmentToJson(adj[0])),
        R"({"id":1,"transaction_id":0,"original_date":"2024-01-05","new_date":"2024-01-05",)"
        R"("amount":null,"is_paid":false,"is_deleted":false,"is_demo":false})");
    EXPECT_EQ(dumpJson(anchorToJson(b->running_total_adjustments[0])),
        R"({"id":1,"account_id":null,"date":"2024-01-01","amount":-3.0,"is_demo":false})");
    EXPECT_EQ(b->user.theme_preference, "system");
    EXPECT_EQ(b->user.email, "");
}

TEST(Budget, WrittenDocumentReadsBack)
{
    Budget b;
    b.accounts.push_back({-3, "Checking \xc3\xa9", "checking", "#a1b2c3", 0, "1234"});
    b.categories.push_back({9, "Food", "", true, 4});
    b.icons.push_back({4, "Dining", "builtin:food", true});
    Transaction t;
    t.id = 1 << 20;
    t.start_date = date(2024, 1, 31);
    t.has_end_date = true;
    t.end_date = date(2025, 1, 31);
    t.amount = -0.1 - 0.2;
    t.description = "Rent \"flat\"\n";
    t.category = "Food";
    t.account = "Checking \xc3\xa9";
    t.transfer_to_account = "Savings";
    t.is_recurring = true;
    t.recurring_period = "dom_last_every";
    t.pay_on_business_day = t.pay_early = t.is_adjustment = t.is_demo = true;
    t.icon_id = 4;
    b.transactions.push_back(t);
    b.transaction_adjustments.push_back(
        {2, 1 << 20, date(2024, 2, 29), date(2024, 3, 1), true, 1e-7, true, true, true});
    b.running_total_adjustments.push_back({3, -3, date(2024, 1, 1), 1234567.891, true});
    b.user.selected_account_id = -3;
    b.user.theme_preference = "dark";
    b.user.first_name = "Ann";
    b.user.is_verified = true;

    std::string text = dumpJson(budgetToJson(b));
    BudgetPtr back = budgetFromJson(parseJson(text));
    EXPECT_EQ(dumpJson(budgetToJson(*back)), text);
    EXPECT_EQ(back->transactions[0].amount, -0.1 - 0.2);
    EXPECT_EQ(back->running_total_adjustments[0].amount, 1234567.891);
    EXPECT_EQ(back->transactions[0].description, "Rent \"flat\"\n");
    EXPECT_EQ(back->user.theme_preference, "dark");
}

TEST(Budget, NonFiniteAmountsAreNeverWritten)
{
    Transaction t;
    t.amount = NAN;
    RunningTotalAdjustment r;
    r.amount = -INFINITY;
    EXPECT_EQ(transactionToJson(t)["amount"], 0.0);
    EXPECT_EQ(anchorToJson(r)["amount"], 0.0);
}

TEST(Budget, Lookups)
{
    BudgetPtr b = newBudget();
    auto account = [&](int64_t id, const char* name) {
        b->accounts.emplace_back();
        b->accounts.back().id = id;
        b->accounts.back().name = name;
    };
    auto category = [&](int64_t id, const char* name) {
        b->categories.emplace_back();
        b->categories.back().id = id;
        b->categories.back().name = name;
    };
    account(0, "Zero");
    account(5, "Checking");
    category(0, "Groceries");
    category(7, "Groceries");
    b->icons.emplace_back();
    b->transactions.push_back({});
    EXPECT_EQ(findAccount(*b, 0), std::nullopt);
    EXPECT_EQ(findIcon(*b, 0), std::nullopt);
    EXPECT_EQ(findAccount(*b, 5), 1u);
    EXPECT_EQ(findCategory(*b, 0), 0u);
    EXPECT_EQ(findTransaction(*b, 0), 0u);
    EXPECT_EQ(findAdjustment(*b, 0), std::nullopt);
    EXPECT_EQ(findCategoryByName(*b, "Groceries"), 0u);
    EXPECT_EQ(findCategoryByName(*b, "groceries"), std::nullopt);
    EXPECT_EQ(findAccountByName(*b, "Checking "), std::nullopt);
    EXPECT_EQ(findAccountByName(*b, "Checking"), 1u);
}

TEST(Budget, Predicates)
{
    Transaction t;
    EXPECT_FALSE(isTransfer(t));
    t.transfer_to_account = "Savings";
    EXPECT_TRUE(isTransfer(t));
    for (const char* yes : {"#A1b2C3", "#000000", "#ffffff"})
        EXPECT_TRUE(isHexColor(yes)) << yes;
    for (const char* no : {"#a1b2c", "a1b2c3d", "#a1b2cg", "#a1b2c34", ""})
        EXPECT_FALSE(isHexColor(no)) << no;
}
