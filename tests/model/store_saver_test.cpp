// The store saver: a save holds the store as it was when it began, saves
// asked for meanwhile end as one of the latest state, the end of the saver
// waits for the save under way, and a failure comes back.
#include "core/files.h"
#include "model/budget_json.h"
#include "model/store.h"
#include "model/store_saver.h"
#include "model/store_sync.h"

#include "store_helpers.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace qm;
using namespace qm::test;

TEST(StoreSaver, SavesHoldTheStoreAsItWasWhenTheyBegan)
{
    TempFolder dir;
    LocalStorePtr s = newLocalStore(dir.path);
    {
        StoreSaverPtr saver = newStoreSaver();
        s->budget->user.first_name = "first";
        markDirty(*s);
        saveStoreLater(*saver, s);
        EXPECT_FALSE(s->dirty);
        // Changed after the save began: not in it.
        s->budget->user.first_name = "not saved";
        waitForSaves(*saver);
        EXPECT_EQ(openStore(dir.path)->budget->user.first_name, "first");
        // Saves asked for while one runs end as one save of the latest state.
        for (int i = 0; i < 50; ++i) {
            s->budget->user.first_name = "name " + std::to_string(i);
            s->etag = std::to_string(i);
            markDirty(*s);
            saveStoreLater(*saver, s);
            pollSaver(*saver);
        }
        waitForSaves(*saver);
        EXPECT_EQ(storeDataJson(*openStore(dir.path)), storeDataJson(*s));
        s->budget->user.first_name = "at the end";
        markDirty(*s);
        saveStoreLater(*saver, s);
    }  // the saver's end waits for the save under way
    LocalStorePtr back = openStore(dir.path);
    EXPECT_EQ(back->budget->user.first_name, "at the end");
    EXPECT_EQ(back->etag, "49");
    EXPECT_EQ(storeDataJson(*back), storeDataJson(*s));
}

TEST(StoreSaver, AFailedSaveIsReportedWithItsFolder)
{
    TempFolder dir;
    writeText(dir.file("plain"), "x");
    const std::string folder = dir.file("plain") + "/budget";  // under a file: never writable
    LocalStorePtr s = newLocalStore(folder);
    StoreSaverPtr saver = newStoreSaver();
    markDirty(*s);
    saveStoreLater(*saver, s);
    waitForSaves(*saver);
    std::optional<SaveFailure> failure = takeSaveFailure(*saver);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->folder, folder);
    EXPECT_FALSE(failure->message.empty());
    EXPECT_FALSE(takeSaveFailure(*saver));  // given once
    EXPECT_FALSE(isRegularFile(folder + "/data.json"));
}

// A save asked for is pending until a save holding it has ended, then saved
// or failed; a later save that lands also lands the earlier asks.
TEST(StoreSaver, ATicketTellsWhetherItsSaveLanded)
{
    TempFolder dir;
    LocalStorePtr s = newLocalStore(dir.file("budget"));
    StoreSaverPtr saver = newStoreSaver();
    EXPECT_EQ(saveState(*saver, saveStoreLater(*saver, newLocalStore(""))), SaveState::saved);  // nothing to write
    markDirty(*s);
    const SaveTicket first = saveStoreLater(*saver, s);
    const SaveTicket second = saveStoreLater(*saver, s);
    EXPECT_LT(first, second);
    waitForSaves(*saver);
    EXPECT_EQ(saveState(*saver, first), SaveState::saved);
    EXPECT_EQ(saveState(*saver, second), SaveState::saved);

    // The folder's place taken by a file: every save fails until it goes.
    std::filesystem::remove_all(dir.file("budget"));
    writeText(dir.file("budget"), "x");
    const SaveTicket failing = saveStoreLater(*saver, s);
    EXPECT_NE(saveState(*saver, failing), SaveState::saved);
    waitForSaves(*saver);
    EXPECT_EQ(saveState(*saver, failing), SaveState::failed);
    EXPECT_FALSE(lastSaveFailure(*saver).empty());
    std::filesystem::remove(dir.file("budget"));
    const SaveTicket after = saveStoreLater(*saver, s);
    waitForSaves(*saver);
    EXPECT_EQ(saveState(*saver, after), SaveState::saved);
    EXPECT_EQ(saveState(*saver, failing), SaveState::saved);
}

// The long record lists are written as they were when the save began while
// every kind of change reaches them during the writing: records changed,
// removed and added, the lists cleared or the whole budget replaced.
TEST(StoreSaver, EditsDuringASaveStayOutOfIt)
{
    struct Case {
        const char* name;
        void (*change)(LocalStore&);
    };
    const Case cases[] = {
        {"records changed",
            [](LocalStore& s) {
                for (size_t i = 0; i < s.budget->transactions.size(); i += 7)
                    s.budget->transactions[i].description = "changed after the save began";
                for (auto& a : s.budget->transaction_adjustments)
                    a.amount += 1;
            }},
        {"records removed and added",
            [](LocalStore& s) {
                auto& txs = s.budget->transactions;
                txs.erase(txs.begin() + 10, txs.begin() + 2000);
                for (int i = 0; i < 500; ++i)
                    txs.push_back(txs[size_t(i)]);  // into the freed slots, then past the end
                s.budget->transaction_adjustments.eraseAt({0, 5, 50, 500});
            }},
        {"lists cleared",
            [](LocalStore& s) {
                s.budget->transactions.clear();
                s.budget->transaction_adjustments = AdjustmentList();
            }},
        {"budget replaced", [](LocalStore& s) { replaceBudget(s, newBudget(), "new"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        LocalStorePtr s = newLocalStore(dir.path);
        Budget& b = *s->budget;
        for (int i = 0; i < 6000; ++i) {
            Transaction t;
            t.id = i + 1;
            t.start_date = Date{2024, 1 + i % 12, 1 + i % 28};
            t.amount = -i;
            t.description = "transaction number " + std::to_string(i) + " with a text on the heap";
            b.transactions.push_back(t);
            TransactionAdjustment a;
            a.id = i + 1;
            a.transaction_id = i + 1;
            a.original_date = a.new_date = t.start_date;
            a.has_amount = true;
            a.amount = i;
            b.transaction_adjustments.push_back(a);
        }
        markDirty(*s);
        const std::string asked = storeDataJson(*s);
        StoreSaverPtr saver = newStoreSaver();
        const SaveTicket ticket = saveStoreLater(*saver, s);
        c.change(*s);
        waitForSaves(*saver);
        EXPECT_EQ(saveState(*saver, ticket), SaveState::saved);
        EXPECT_TRUE(readText(dir.file("data.json")) == asked);
        // The next save writes the lists as they are now.
        saveStoreLater(*saver, s);
        waitForSaves(*saver);
        EXPECT_TRUE(readText(dir.file("data.json")) == storeDataJson(*s));
    }
}
