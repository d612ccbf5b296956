#include "model/budget_json.h"
#include "model/store_sync.h"

#include "ledger_fixtures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

using namespace qm;
using namespace qm::testing;

namespace {

LocalStorePtr storeWith(Budget b)
{
    LocalStorePtr s = newLocalStore("");
    *s->budget = std::move(b);
    return s;
}

std::vector<int32_t> seqs(const LocalStore& s)
{
    std::vector<int32_t> out;
    for (const JournalOp& op : s.journal)
        out.push_back(op.seq);
    return out;
}

TEST(Sync, OpsAfterDropsAcknowledgedOps)
{
    LocalStorePtr s = storeWith({});
    for (int64_t id : {-1, -2, -3})
        appendOp(*s, opCreate, entAccount, id, Json::object());
    opsAfter(*s, 0);
    EXPECT_EQ(seqs(*s), (std::vector<int32_t>{1, 2, 3}));
    const int32_t changes = s->change_count;
    opsAfter(*s, 2);
    EXPECT_EQ(seqs(*s), (std::vector<int32_t>{3}));
    EXPECT_EQ(s->change_count, changes + 1);
    opsAfter(*s, 3);
    EXPECT_TRUE(s->journal.empty());
}

TEST(Sync, RemapIdTakesTheFirstPair)
{
    std::vector<IdPair> pairs = {{-3, 17}, {-4, 20}, {-3, 99}};
    EXPECT_EQ(remapId(-3, pairs), 17);
    EXPECT_EQ(remapId(-4, pairs), 20);
    EXPECT_EQ(remapId(5, pairs), 5);
    EXPECT_EQ(remapId(-3, {}), -3);
}

TEST(Sync, RemapAccountsChangesReferencesNotNamesOrOpData)
{
    Budget b;
    b.accounts = {account(-3, "Wallet"), account(-4, "Other")};
    b.transactions = {oneOff(-1, "2024-01-01", 5, "Wallet")};
    b.running_total_adjustments = {anchor(-5, -3, "2024-01-01", 10), anchor(-6, -4, "2024-01-01", 10)};
    b.user.selected_account_id = -3;
    b.user.default_account_id = -4;
    LocalStorePtr s = storeWith(b);
    appendOp(*s, opCreate, entAccount, -3, accountToJson(b.accounts[0]));
    appendOp(*s, opCreate, entTransaction, -3, Json::object());  // same id, another entity
    appendOp(*s, opUpdate, entAccount, -4, accountToJson(b.accounts[1]));

    const int32_t changes = s->change_count;
    remapDataIds(*s, entAccount, {});
    EXPECT_EQ(s->change_count, changes);

    remapDataIds(*s, entAccount, {{-3, 17}, {-3, 18}});
    const Budget& after = *s->budget;
    EXPECT_EQ(after.accounts[0].id, 17);
    EXPECT_EQ(after.accounts[1].id, -4);
    EXPECT_EQ(after.running_total_adjustments[0].account_id, 17);
    EXPECT_EQ(after.running_total_adjustments[1].account_id, -4);
    EXPECT_EQ(after.user.selected_account_id, 17);
    EXPECT_EQ(after.user.default_account_id, -4);
    EXPECT_EQ(after.transactions[0].account, "Wallet");
    EXPECT_EQ(s->journal[0].id, 17);
    EXPECT_EQ((*s->journal[0].data)["id"], -3);  // the data is as it was sent
    EXPECT_EQ(s->journal[1].id, -3);
    EXPECT_EQ(s->journal[2].id, -4);
    EXPECT_EQ(s->change_count, changes + 1);
}

TEST(Sync, RemapEachEntity)
{
    Budget b;
    b.accounts = {account(-1, "A")};
    b.categories = {Category{-1, "C", "", false, 0}};
    b.transactions = {oneOff(-1, "2024-01-01", 5, "A")};
    b.transaction_adjustments = {adjustment(-1, -1, "2024-01-01", "2024-01-02", false, 0)};
    b.running_total_adjustments = {anchor(-1, -1, "2024-01-01", 10)};
    for (Entity e : {entTransaction, entAdjustment, entAnchor, entAccount, entCategory, entPrefs}) {
        SCOPED_TRACE(entityName(e));
        LocalStorePtr s = storeWith(b);
        remapDataIds(*s, e, {{-1, 40}});
        const Budget& r = *s->budget;
        EXPECT_EQ(r.transactions[0].id, e == entTransaction ? 40 : -1);
        EXPECT_EQ(r.transaction_adjustments[0].transaction_id, e == entTransaction ? 40 : -1);
        EXPECT_EQ(r.transaction_adjustments[0].id, e == entAdjustment ? 40 : -1);
        EXPECT_EQ(r.running_total_adjustments[0].id, e == entAnchor ? 40 : -1);
        EXPECT_EQ(r.running_total_adjustments[0].account_id, e == entAccount ? 40 : -1);
        EXPECT_EQ(r.accounts[0].id, e == entAccount ? 40 : -1);
        EXPECT_EQ(r.categories[0].id, e == entCategory ? 40 : -1);
    }
}

TEST(Sync, UploadFormMatchesGoldenFile)
{
    Budget b;
    b.icons = {CustomIcon{4, "first", "builtin:cart", false}, CustomIcon{4, "Cart", "builtin:cart", true},
        CustomIcon{5, "Car", "builtin:car", true}};
    LocalStorePtr s = storeWith(b);
    Transaction t = oneOff(-7, "2024-02-03", -12.5, "Checking", "", "Groceries");
    t.icon_id = 4;
    appendOp(*s, opCreate, entTransaction, -7, transactionToJson(t));
    appendOp(*s, opCreate, entCategory, -2, categoryToJson(Category{-2, "Fuel", "#123456", false, 5}));
    appendOp(*s, opCreate, entCategory, -3, categoryToJson(Category{-3, "Plain", "", true, 0}));
    Json accountData = accountToJson(account(-4, "Cash", 2));
    accountData["icon_id"] = 5;  // only transactions and categories name their icon
    appendOp(*s, opUpdate, entAccount, -4, accountData);
    appendOp(*s, opDelete, entAnchor, 12);
    appendOp(*s, opUpdate, entPrefs, 0, userToJson(b.user));
    const Json before = opToJson(s->journal[0]);

    const std::string got = dumpJson(journalToJson(*s), 1) + "\n";
    std::ifstream in(std::string(QM_SOURCE_DIR) + "/tests/model/data/journal_upload.json", std::ios::binary);
    std::stringstream want;
    want << in.rdbuf();
    EXPECT_EQ(got, want.str());
    EXPECT_EQ(opToJson(s->journal[0]), before);  // the journal itself is untouched
}

TEST(Sync, HasRealData)
{
    Budget b;
    b.accounts = {account(1, "A")};
    b.categories = {Category{1, "C", "", false, 0}};
    b.transaction_adjustments = {adjustment(1, 1, "2024-01-01", "2024-01-01", false, 0)};
    EXPECT_FALSE(hasRealData(*storeWith(b)));
    Transaction demo = oneOff(1, "2024-01-01", 1, "A");
    demo.is_demo = true;
    b.transactions = {demo};
    RunningTotalAdjustment demoAnchor = anchor(1, 1, "2024-01-01", 1);
    demoAnchor.is_demo = true;
    b.running_total_adjustments = {demoAnchor};
    EXPECT_FALSE(hasRealData(*storeWith(b)));
    b.running_total_adjustments.push_back(anchor(2, 1, "2024-01-02", 1));
    EXPECT_TRUE(hasRealData(*storeWith(b)));
    b.running_total_adjustments.clear();
    b.transactions.push_back(oneOff(2, "2024-01-01", 1, "A"));
    EXPECT_TRUE(hasRealData(*storeWith(b)));
}

TEST(Sync, ReplaceBudgetKeepsTheJournal)
{
    LocalStorePtr s = storeWith({});
    s->next_local = -9;
    appendOp(*s, opCreate, entAccount, -1, Json::object());
    BudgetPtr snapshot = newBudget();
    snapshot->accounts = {account(3, "Server")};
    replaceBudget(*s, snapshot, "v7");
    EXPECT_EQ(s->budget.get(), snapshot.get());
    EXPECT_EQ(s->etag, "v7");
    EXPECT_GT(s->last_sync, 1.7e9);
    EXPECT_EQ(s->journal.size(), 1u);
    EXPECT_EQ(s->next_local, -9);
    EXPECT_EQ(s->next_seq, 2);
    EXPECT_TRUE(s->dirty);
}

TEST(Sync, RekeyGivesLocalIdsAndJournalsEverything)
{
    Budget b;
    b.accounts = {account(1, "A"), account(2, "B")};
    b.transactions = {oneOff(9, "2024-01-01", 1, "A")};
    b.user.selected_account_id = 2;
    LocalStorePtr s = storeWith(b);
    s->etag = "old";
    appendOp(*s, opDelete, entAccount, 77);
    rekeyForUpload(*s);
    EXPECT_EQ(s->budget->accounts[0].id, -1);
    EXPECT_EQ(s->budget->accounts[1].id, -2);
    EXPECT_EQ(s->budget->transactions[0].id, -3);
    EXPECT_EQ(s->budget->user.selected_account_id, -2);
    EXPECT_EQ(s->next_local, -4);
    EXPECT_EQ(seqs(*s), (std::vector<int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(s->journal[3].op, opUpdate);
    EXPECT_EQ(s->journal[3].entity, entPrefs);
    EXPECT_EQ(s->journal[2].entity, entTransaction);
    EXPECT_EQ((*s->journal[2].data)["id"], -3);
    EXPECT_EQ(s->etag, "");
    EXPECT_EQ(s->next_seq, 5);
}

TEST(Sync, RekeyOfMixedIdsLeavesEveryIdUnique)
{
    Budget b;
    b.accounts = {account(5, "A"), account(-1, "B"), account(6, "C")};
    b.categories = {Category{-2, "X", "", false, 0}, Category{3, "Y", "", false, 0}};
    b.icons = {CustomIcon{-6, "I", "builtin:tune", true}};
    b.transactions = {
        oneOff(7, "2024-01-01", 1, "A"), oneOff(-4, "2024-01-01", 1, "B"), oneOff(0, "2024-01-01", 1, "C")};
    b.transaction_adjustments = {adjustment(8, 7, "2024-01-01", "2024-01-01", false, 0),
        adjustment(-3, -4, "2024-01-01", "2024-01-01", false, 0)};
    b.running_total_adjustments = {
        anchor(2, 5, "2024-01-01", 1), anchor(-5, 6, "2024-01-01", 1), anchor(4, 0, "2024-01-01", 1)};
    b.user.default_account_id = 6;
    LocalStorePtr s = storeWith(b);
    rekeyForUpload(*s);
    const Budget& r = *s->budget;

    std::set<int64_t> seen;
    size_t count = 0;
    auto collect = [&](const auto& records) {
        for (const auto& x : records) {
            EXPECT_LE(x.id, 0);
            seen.insert(x.id);
            ++count;
        }
    };
    collect(r.accounts);
    collect(r.categories);
    collect(r.icons);
    collect(r.transactions);
    collect(r.transaction_adjustments);
    collect(r.running_total_adjustments);
    EXPECT_EQ(seen.size(), count);
    EXPECT_LT(s->next_local, *seen.begin());

    // Kept ids stay; references follow their records.
    EXPECT_EQ(r.accounts[1].id, -1);
    EXPECT_EQ(r.transactions[1].id, -4);
    EXPECT_EQ(r.transactions[2].id, 0);
    EXPECT_EQ(r.transaction_adjustments[0].transaction_id, r.transactions[0].id);
    EXPECT_EQ(r.transaction_adjustments[1].transaction_id, -4);
    EXPECT_EQ(r.running_total_adjustments[0].account_id, r.accounts[0].id);
    EXPECT_EQ(r.running_total_adjustments[1].account_id, r.accounts[2].id);
    EXPECT_EQ(r.running_total_adjustments[2].account_id, 0);
    EXPECT_EQ(r.user.default_account_id, r.accounts[2].id);
    EXPECT_EQ(s->journal.size(), 3u + 2 + 3 + 2 + 3 + 1);
}

TEST(Sync, MergeAddsWhatTheStoreLacks)
{
    Budget mine;
    mine.accounts = {account(1, "Checking", 3), account(2, "Savings", -1)};
    mine.categories = {Category{1, "Food", "", false, 0}};
    mine.running_total_adjustments = {anchor(1, 1, "2024-05-01", 1)};
    LocalStorePtr s = storeWith(mine);
    s->next_local = -10;

    Budget other;
    other.accounts = {account(50, "  Checking\t"), account(51, "Travel", 0), account(52, " "), account(53, "Travel")};
    other.categories = {
        Category{60, " Food ", "", false, 0}, Category{61, " Fun", "#00ff00", true, 4}, Category{62, "", "", false, 0}};
    Transaction demo = oneOff(70, "2024-01-01", 1, "Checking");
    demo.is_demo = true;
    Transaction blank = oneOff(71, "2024-01-01", 1, "Checking");
    blank.description = " \n";
    other.transactions = {oneOff(72, "2024-01-01", -5, "Travel"), demo, blank, oneOff(72, "2024-02-01", 7, "Checking")};
    TransactionAdjustment demoAdjustment = adjustment(82, 72, "2024-02-01", "2024-02-03", false, 0);
    demoAdjustment.is_demo = true;
    other.transaction_adjustments = {adjustment(80, 72, "2024-02-01", "2024-02-02", true, 9), demoAdjustment,
        adjustment(81, 70, "2024-01-01", "2024-01-02", false, 0)};
    other.running_total_adjustments = {anchor(90, 50, "2024-05-01", 250), anchor(91, 0, "2024-05-01", 3),
        anchor(92, 53, "2024-06-01", 4), anchor(93, 99, "2024-06-01", 5)};

    MergeCounts c = mergeBudget(*s, other);
    EXPECT_EQ(c.accountsAdded, 1);
    EXPECT_EQ(c.categoriesAdded, 1);
    EXPECT_EQ(c.transactionsAdded, 2);
    EXPECT_EQ(c.anchorsSet, 3);
    const Budget& r = *s->budget;

    ASSERT_EQ(r.accounts.size(), 3u);
    EXPECT_EQ(r.accounts[2].id, -10);
    EXPECT_EQ(r.accounts[2].name, "Travel");
    EXPECT_EQ(r.accounts[2].display_order, 4);
    ASSERT_EQ(r.categories.size(), 2u);
    EXPECT_EQ(r.categories[1].name, "Fun");
    EXPECT_EQ(r.categories[1].color, "#00ff00");
    EXPECT_TRUE(r.categories[1].hidden);
    EXPECT_EQ(r.categories[1].icon_id, 4);
    ASSERT_EQ(r.transactions.size(), 2u);
    EXPECT_EQ(r.transactions[0].id, -12);
    EXPECT_EQ(r.transactions[1].id, -13);

    // The adjustment follows the last transaction of its old id.
    ASSERT_EQ(r.transaction_adjustments.size(), 1u);
    EXPECT_EQ(r.transaction_adjustments[0].transaction_id, -13);
    EXPECT_EQ(r.transaction_adjustments[0].amount, 9);

    // The spaced "Checking" anchors the existing account (an update of its
    // anchor there); Travel's anchor goes to the added account.
    ASSERT_EQ(r.running_total_adjustments.size(), 3u);
    EXPECT_EQ(r.running_total_adjustments[0].amount, 250);
    EXPECT_EQ(r.running_total_adjustments[1].account_id, 0);
    EXPECT_EQ(r.running_total_adjustments[2].account_id, -10);

    std::vector<std::string> ops;
    for (const JournalOp& op : s->journal)
        ops.push_back(opKindName(op.op) + " " + entityName(op.entity) + " " + std::to_string(op.id));
    EXPECT_EQ(ops,
        (std::vector<std::string>{"create account -10", "create category -11", "create transaction -12",
            "create transaction -13", "create adjustment -14", "update anchor 1", "create anchor -15",
            "create anchor -16"}));
    EXPECT_TRUE(s->dirty);
}

TEST(Sync, MergeKeepsOneAdjustmentPerOccurrence)
{
    Budget mine;
    mine.accounts = {account(1, "Checking", 0)};
    LocalStorePtr s = storeWith(mine);
    s->next_local = -10;

    Budget other;
    other.transactions = {oneOff(72, "2024-02-01", 7, "Checking"), oneOff(73, "2024-02-01", 8, "Checking")};
    other.transaction_adjustments = {adjustment(80, 72, "2024-02-01", "2024-02-02", true, 9),
        adjustment(81, 73, "2024-02-01", "2024-02-03", true, 10),
        adjustment(82, 72, "2024-02-01", "2024-02-04", true, 11, true)};
    mergeBudget(*s, other);

    // The later adjustment of the same occurrence replaces the earlier one.
    const auto& list = s->budget->transaction_adjustments;
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].transaction_id, -10);
    EXPECT_EQ(list[0].amount, 11);
    EXPECT_TRUE(list[0].is_paid);
    EXPECT_EQ(formatIso(list[0].new_date), "2024-02-04");
    EXPECT_EQ(list[1].transaction_id, -11);
    EXPECT_EQ(list[1].amount, 10);
}

}  // namespace
