// The budget sync against the functional test service: the schedule on a
// clock the test moves, what replies do to the store and its files, and
// that no failure of the network loses or doubles an edit.
#include "net/sync_helpers.h"

#include "app/account_state.h"
#include "app/budget_io.h"
#include "core/files.h"
#include "model/record_edits.h"
#include "model/store_saver.h"
#include "model/transaction_edits.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace qm::test {

namespace {

using Sync = SyncTest;

Transaction transactionOf(const AppState& state, int64_t id)
{
    return state.store->budget->transactions.at(*findTransaction(*state.store->budget, id));
}

void setAmount(AppState& state, int64_t id, double amount)
{
    Transaction t = transactionOf(state, id);
    t.amount = amount;
    EditResult r = updateTransaction(*state.store, id, t, false, t.start_date, false);
    ASSERT_TRUE(r.ok) << r.error;
}

// The service's answer to the next sync, held until the test releases it.
void stallThenAnswer(const TestService& service, const Json& answer)
{
    service.control("fault", {{"path", "sync"}, {"stall", true}, {"status", 200}, {"json", answer}});
}

}  // namespace

TEST_F(Sync, AnEditSyncsAfterThreeSecondsNotBefore)
{
    begin();
    size_t calls = syncCalls();
    clock += 10;
    addSpending("Lunch", -12);
    h.frame();
    expectSyncAfter(3);
    ASSERT_TRUE(settled());
    EXPECT_EQ(syncCalls(), calls + 1);
    expectInStep();
}

TEST_F(Sync, ThePeriodicIntervalFollowsTheSetting)
{
    begin();
    struct Case {
        int32_t minutes;
        double seconds;
    };
    for (Case c : {Case{0, 60}, Case{1, 60}, Case{5, 300}}) {
        SCOPED_TRACE(c.minutes);
        h->settings.syncMinutes = c.minutes;
        ASSERT_TRUE(syncNow());
        expectSyncAfter(c.seconds);
        ASSERT_TRUE(settled());
    }
}

TEST_F(Sync, ASyncNowDuringAFlightIsDropped)
{
    begin();
    size_t calls = syncCalls();
    service.control("fault", {{"path", "sync"}, {"stall", true}});
    requestSyncNow(*h);
    h.frame();
    ASSERT_TRUE(stalled(1));
    requestSyncNow(*h);
    h.frame();
    EXPECT_FALSE(h->syncNowRequested);
    service.control("release");
    ASSERT_TRUE(settled());
    h.frames(5);
    EXPECT_FALSE(schedule().inFlight);
    EXPECT_EQ(syncCalls(), calls + 1);
}

TEST_F(Sync, FailuresBackOffAndASuccessResets)
{
    begin();
    h->settings.syncMinutes = 1000;  // keeps the periodic rule out of the way
    service.control(
        "fault", {{"path", "sync"}, {"times", 5}, {"status", 500}, {"html", "<html><body>down</body></html>"}});
    ASSERT_TRUE(syncNow());
    for (double expected : {120.0, 240.0, 480.0, 900.0, 900.0}) {
        SCOPED_TRACE(expected);
        EXPECT_EQ(h->syncState, syncFailed);
        EXPECT_EQ(h->lastSyncError, "quenmark.example answered 500. Try again later.");
        ASSERT_EQ(schedule().backoffSeconds, expected);
        expectSyncAfter(expected);
        ASSERT_TRUE(settled());
    }
    EXPECT_EQ(h->syncState, syncIdle);
    EXPECT_EQ(schedule().backoffSeconds, 60);
}

TEST_F(Sync, AnUnverifiedAccountSendsNothing)
{
    begin(false);
    EXPECT_EQ(h->syncState, syncUnverified);
    addSpending("Lunch", -12);
    requestSyncNow(*h);
    for (int i = 0; i < 5; ++i) {
        clock += 1000;
        h.frame();
    }
    EXPECT_EQ(h->syncState, syncUnverified);
    EXPECT_FALSE(schedule().inFlight);
    EXPECT_EQ(syncCalls(), 0u);
}

TEST_F(Sync, TheMappingRenamesRecordsInBothFilesAndSkipsWhatIsNotAnId)
{
    begin();
    int64_t alpha = addSpending("Alpha", -1);
    // Each of these is given something that is not a server id.
    int64_t beta = addSpending("Beta", -2), gamma = addSpending("Gamma", -3), delta = addSpending("Delta", -4),
            epsilon = addSpending("Epsilon", -5);
    size_t records = h->store->budget->transactions.size();
    stallThenAnswer(service,
        {{"mapping",
             {{"transaction",
                 {{"abc", 5}, {std::to_string(alpha), 777}, {std::to_string(beta), 0}, {std::to_string(gamma), -9},
                     {std::to_string(delta), "12"}, {std::to_string(epsilon), 1.5}}}}},
            {"unchanged", true}, {"etag", "E1"}});
    requestSyncNow(*h);
    h.frame();
    ASSERT_TRUE(stalled(1));
    setAmount(*h, alpha, -3);  // made while the request is out: stays for the next sync
    service.control("release");
    ASSERT_TRUE(frameUntil([this] { return !schedule().inFlight; }));

    Json data = dataJson();
    std::vector<std::string> ids = column(data, "transactions", "id");
    EXPECT_EQ(std::count(ids.begin(), ids.end(), "777"), 1);
    for (int64_t kept : {beta, gamma, delta, epsilon})
        EXPECT_EQ(std::count(ids.begin(), ids.end(), std::to_string(kept)), 1) << kept;
    EXPECT_EQ(std::count(ids.begin(), ids.end(), std::to_string(alpha)), 0);
    EXPECT_EQ(ids.size(), records);
    Json journal = journalJson();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0]["id"], 777);
    EXPECT_EQ(journal[0]["op"], "update");
    // "unchanged": the etag is all that is taken.
    EXPECT_EQ(data["meta"]["etag"], "E1");
    EXPECT_EQ(transactionOf(*h, 777).amount, -3);
}

TEST_F(Sync, ASnapshotWhileOpsWaitIsNotInstalledAndASyncFollows)
{
    begin();
    size_t calls = syncCalls();
    stallThenAnswer(service,
        {{"snapshot", {{"transactions", {{{"id", 5}, {"description", "Theirs"}, {"amount", -1}}}}}}, {"etag", "S"}});
    requestSyncNow(*h);
    h.frame();
    ASSERT_TRUE(stalled(1));
    addSpending("Mine", -5);
    service.control("release");
    ASSERT_TRUE(frameUntil([&] { return syncCalls() == calls + 2; }));
    std::vector<std::string> names;
    for (const Transaction& t : h->store->budget->transactions)
        names.push_back(t.description);
    EXPECT_EQ(std::count(names.begin(), names.end(), "Mine"), 1);
    EXPECT_EQ(std::count(names.begin(), names.end(), "Theirs"), 0);
    EXPECT_NE(h->store->etag, "S");
    Json sent = service.requests("sync").back()["body"]["ops"];
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["data"]["description"], "Mine");
    ASSERT_TRUE(settled());
    expectInStep();
}

TEST_F(Sync, ASnapshotWithoutAThemeKeepsTheLocalTheme)
{
    begin();
    setThemePreference(*h->store, "dark");
    ASSERT_TRUE(syncNow());
    struct Case {
        const char* theirs;
        const char* kept;
    };
    for (Case c : {Case{"", "dark"}, Case{"light", "light"}}) {
        SCOPED_TRACE(c.theirs);
        h->accountFieldsFilled = true;
        stallThenAnswer(service,
            {{"snapshot",
                 {{"user", {{"theme_preference", c.theirs}, {"is_verified", true}}},
                     {"transactions", {{{"id", 9}, {"description", "Theirs"}, {"amount", -1}}}}}},
                {"etag", "S2"}});
        requestSyncNow(*h);
        h.frame();
        ASSERT_TRUE(stalled(1));
        service.control("release");
        ASSERT_TRUE(frameUntil([this] { return !schedule().inFlight; }));
        EXPECT_EQ(h->store->budget->user.theme_preference, c.kept);
        EXPECT_TRUE(findTransaction(*h->store->budget, 9).has_value());
        EXPECT_EQ(dataJson()["meta"]["etag"], "S2");
        EXPECT_FALSE(h->accountFieldsFilled);
        // the service's own snapshot puts things back for the next case
        ASSERT_TRUE(syncNow());
    }
}

TEST_F(Sync, ASnapshotOfANewerVersionIsRefusedAndTouchesNothing)
{
    const std::string update =
        "Your budget on the service was changed by a newer version of Quenmark. Update Quenmark to keep syncing.";
    begin();
    addSpending("Mine", -5);
    ASSERT_TRUE(syncNow());
    auto mine = std::find_if(h->store->budget->transactions.begin(), h->store->budget->transactions.end(),
        [](const Transaction& t) { return t.description == "Mine"; });
    ASSERT_NE(mine, h->store->budget->transactions.end());
    int64_t id = mine->id;
    struct Case {
        const char* what;
        Json snapshot;
        bool pendingEdit;
    };
    Json amount = {{"value", "12.50"}, {"currency", "EUR"}};
    const Case cases[] = {{"an amount as an object",
                              {{"transactions", {{{"id", 5}, {"description", "Theirs"}, {"amount", amount}}}}}, false},
        {"a structured theme", {{"user", {{"theme_preference", {{"mode", "dark"}}}, {"is_verified", true}}}}, false},
        {"a list for a name, while an edit waits", {{"accounts", {{{"id", 3}, {"name", {"a", "b"}}}}}}, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.pendingEdit)
            setAmount(*h, id, -7);
        stallThenAnswer(service, {{"snapshot", c.snapshot}, {"etag", "N"}});
        requestSyncNow(*h);
        h.frame();
        ASSERT_TRUE(stalled(1));
        // The files as the request left them, its ops marked as sent.
        std::string folder = h.budgetDir(h->budgetId);
        std::string data = readFile(folder + "/data.json");
        std::string journal = readFile(folder + "/journal.json");
        std::string etag = h->store->etag;
        service.control("release");
        ASSERT_TRUE(frameUntil([this] { return !schedule().inFlight; }));
        h.frames(2);
        EXPECT_EQ(h->syncState, syncFailed);
        EXPECT_EQ(h->lastSyncError, update);
        EXPECT_EQ(syncStatusText(*h),
            "The last sync failed: " + update.substr(0, update.size() - 1) + ". Click to try again.");
        EXPECT_EQ(readFile(folder + "/data.json"), data);
        EXPECT_EQ(readFile(folder + "/journal.json"), journal);
        EXPECT_EQ(h->store->etag, etag);
        EXPECT_FALSE(findTransaction(*h->store->budget, 5).has_value());
    }
    // Said once as a message; the retries keep it in the sync status only.
    EXPECT_EQ(std::count_if(h->toasts.begin(), h->toasts.end(), [&](const Toast& t) { return t.text == update; }), 1);
    // A readable snapshot ends the failure and the waiting edit goes out.
    ASSERT_TRUE(syncNow());
    EXPECT_EQ(h->syncState, syncIdle);
    ASSERT_TRUE(settled());
    expectInStep();
    EXPECT_EQ(transactionOf(*h, id).amount, -7);
}

TEST_F(Sync, AnEndedSignInSignsOutAndAsksForThePassword)
{
    begin();
    std::string account = h.budgetDir(h->budgetId);
    service.control("revoke", {{"email", "ann@example.test"}});
    double backoff = schedule().backoffSeconds;
    ASSERT_TRUE(syncNow());
    EXPECT_TRUE(std::any_of(h->toasts.begin(), h->toasts.end(),
        [](const Toast& t) { return t.text == "quenmark.example no longer accepts this sign-in. Sign in again."; }));
    EXPECT_FALSE(isSignedIn(*h));
    EXPECT_EQ(h->budgetId, "local");
    EXPECT_EQ(h->page, pageWelcome);
    EXPECT_EQ(welcomeForm(*h).mode, welcomeSignIn);
    EXPECT_EQ(welcomeForm(*h).email, "ann@example.test");
    EXPECT_EQ(schedule().backoffSeconds, backoff);
    EXPECT_TRUE(isRegularFile(account + "/data.json"));  // kept on disk
}

TEST_F(Sync, AnAccountNoLongerVerifiedStopsSyncing)
{
    begin();
    service.control("verify", {{"email", "ann@example.test"}, {"verified", false}});
    ASSERT_TRUE(syncNow());
    EXPECT_EQ(h->syncState, syncUnverified);
    EXPECT_FALSE(h->store->budget->user.is_verified);
    size_t calls = syncCalls();
    clock += 10000;
    h.frames(3);
    EXPECT_EQ(syncCalls(), calls);
}

TEST_F(Sync, EditsOfRecordsWhoseCreatesAreOutReachTheServiceNextSync)
{
    begin();
    int64_t keep = addSpending("Keep", -10);
    int64_t drop = addSpending("Drop", -20);
    service.control("fault", {{"path", "sync"}, {"stall", true}});
    requestSyncNow(*h);
    h.frame();
    ASSERT_TRUE(stalled(1));
    setAmount(*h, keep, -11);
    ASSERT_TRUE(deleteTransaction(*h->store, drop));
    service.control("release");
    ASSERT_TRUE(frameUntil([this] { return !schedule().inFlight; }));
    EXPECT_EQ(h->store->journal.size(), 2u);
    clock += 4;
    h.frame();
    EXPECT_TRUE(schedule().inFlight);
    ASSERT_TRUE(settled());

    Json theirs = serviceBudget()["budget"];
    std::vector<std::string> names = column(theirs, "transactions", "description");
    EXPECT_EQ(std::count(names.begin(), names.end(), "Keep"), 1);
    EXPECT_EQ(std::count(names.begin(), names.end(), "Drop"), 0);
    for (const Json& t : theirs["transactions"])
        if (t["description"] == "Keep") {
            EXPECT_EQ(t["amount"], -11.0);
        }
    expectInStep();
}

TEST_F(Sync, AReplyForABudgetSignedOutOfMeanwhileTouchesNothing)
{
    begin();
    addSpending("Out", -7);
    service.control("fault", {{"path", "sync"}, {"stall", true}});
    requestSyncNow(*h);
    h.frame();
    ASSERT_TRUE(stalled(1));
    signOutOffline();
    ASSERT_EQ(h->budgetId, "local");
    saveBudget(*h);
    std::string local = h.budgetDir("local");
    std::string data = readFile(local + "/data.json"), journal = readFile(local + "/journal.json");
    service.control("release");
    ASSERT_TRUE(frameUntil([this] { return !schedule().inFlight; }));
    h.frames(3);
    EXPECT_EQ(readFile(local + "/data.json"), data);
    EXPECT_EQ(readFile(local + "/journal.json"), journal);
    EXPECT_EQ(h->syncState, syncLocalOnly);
}

// Each failure, then one clean sync: every edit is on the service once and
// the files here hold what the service holds.
TEST_F(Sync, NoFailureLosesOrDoublesAnEdit)
{
    begin();
    struct Case {
        const char* name;
        Json rule;
        uint8_t state;
    };
    const Case cases[] = {
        {"500 page", {{"status", 500}, {"html", "<html>broken</html>"}}, syncFailed},
        {"503 page", {{"status", 503}, {"html", "<html>busy</html>"}}, syncFailed},
        {"429", {{"status", 429}, {"html", "<html>slow down</html>"}}, syncFailed},
        {"200 not JSON", {{"notjson", "<html>ok</html>"}}, syncFailed},
        {"cut body", {{"cut", 10}}, syncOffline},
        {"close before reading", {{"close", "before"}}, syncOffline},
        {"close after applying", {{"close", "after"}}, syncOffline},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        addSpending(c.name, -1);
        Json rule = c.rule;
        rule["path"] = "sync";
        service.control("fault", rule);
        ASSERT_TRUE(syncNow());
        EXPECT_EQ(h->syncState, c.state) << h->lastSyncError;
        EXPECT_FALSE(h->store->journal.empty());
        ASSERT_TRUE(syncNow());
        EXPECT_EQ(h->syncState, syncIdle) << h->lastSyncError;
        expectInStep();
    }
    std::vector<std::string> names = column(serviceBudget()["budget"], "transactions", "description");
    for (const Case& c : cases)
        EXPECT_EQ(std::count(names.begin(), names.end(), c.name), 1) << c.name;
}

TEST_F(Sync, ABudgetReopenedWhileItsRequestIsOutKeepsTheSentOps)
{
    begin();
    int64_t id = addSpending("Reopened", -8);
    service.control("fault", {{"path", "sync"}, {"stall", true}});
    requestSyncNow(*h);
    h.frame();
    ASSERT_TRUE(stalled(1));
    openBudget(*h, h->budgetId);
    h.frame();
    ASSERT_TRUE(deleteTransaction(*h->store, id));
    EXPECT_EQ(h->store->journal.back().op, opDelete);  // the create went out: the delete must too
    service.control("release");
    ASSERT_TRUE(frameUntil([this] { return !schedule().inFlight; }));
    expectSyncAfter(kUnsentDelaySeconds);
    ASSERT_TRUE(settled());
    std::vector<std::string> names = column(serviceBudget()["budget"], "transactions", "description");
    EXPECT_EQ(std::count(names.begin(), names.end(), "Reopened"), 0);
    expectInStep();
}

// The sent mark is on disk before the request leaves; with the program's
// saver it is written there, off the UI thread, and the request waits.
TEST_F(Sync, TheRequestLeavesOnlyOnceItsMarkIsOnDisk)
{
    begin();
    h->storeSaver = newStoreSaver();
    addSpending("Marked", -4);
    service.control("fault", {{"path", "sync"}, {"stall", true}});
    requestSyncNow(*h);
    h.frame();
    EXPECT_TRUE(schedule().inFlight);
    ASSERT_TRUE(stalled(1));
    EXPECT_EQ(dataJson()["meta"].value("sent_up_to", 0), h->store->journal.back().seq);
    service.control("release");
    ASSERT_TRUE(settled());
    waitForSaves(*h->storeSaver);
    expectInStep();
}

// A save of the mark that fails sends nothing, leaves the ops free to
// coalesce and ends the sync as failed; once saves work again the edit goes
// out. Saved on the UI thread and by the program's saver alike.
class MarkSave : public SyncTest, public ::testing::WithParamInterface<bool> { };

TEST_P(MarkSave, AFailedSaveOfTheMarkSendsNothing)
{
    const bool withSaver = GetParam();
    begin();
    if (withSaver)
        h->storeSaver = newStoreSaver();
    const size_t calls = syncCalls();
    addSpending("Unsaved", -5);
    // A folder in data.json's place stops every save.
    const std::string data = h.budgetDir(h->budgetId) + "/data.json";
    std::filesystem::remove(data);
    std::filesystem::create_directory(data);
    requestSyncNow(*h);
    ASSERT_TRUE(frameUntil([&] { return h->syncState == syncFailed; }));
    EXPECT_FALSE(schedule().inFlight);
    EXPECT_EQ(h->store->sent_up_to, 0);
    EXPECT_EQ(h->lastSyncError.rfind("Could not save the budget: ", 0), 0u) << h->lastSyncError;
    for (int i = 0; i < 20; ++i)
        h.frame();
    EXPECT_EQ(syncCalls(), calls);

    std::filesystem::remove(data);
    ASSERT_TRUE(syncNow());
    if (withSaver)
        waitForSaves(*h->storeSaver);
    EXPECT_EQ(syncCalls(), calls + 1);
    expectInStep();
}

INSTANTIATE_TEST_SUITE_P(Sync, MarkSave, ::testing::Values(false, true),
    [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "BySaver" : "OnTheUiThread"; });

// The service applied the batch but its reply was lost: the records it
// created exist there, so deleting one here must still be sent.
TEST_F(Sync, ADeleteAfterALostReplyReachesTheService)
{
    begin();
    int64_t id = addSpending("Lost reply", -6);
    service.control("fault", {{"path", "sync"}, {"close", "after"}});
    ASSERT_TRUE(syncNow());
    EXPECT_EQ(h->syncState, syncOffline);
    ASSERT_TRUE(deleteTransaction(*h->store, id));
    EXPECT_EQ(h->store->journal.back().op, opDelete);
    ASSERT_TRUE(syncNow());
    std::vector<std::string> names = column(serviceBudget()["budget"], "transactions", "description");
    EXPECT_EQ(std::count(names.begin(), names.end(), "Lost reply"), 0);
    expectInStep();
}

// The worker gives up on a call after 60 s; the service applies the batch
// later, and the batch sent again must add nothing twice.
TEST_F(Sync, AStallPastTheTimeLimitLosesNothing)
{
    if (!std::getenv("QM_SLOW_TESTS"))
        GTEST_SKIP() << "slow (over a minute): set QM_SLOW_TESTS=1";
    begin();
    addSpending("Slow", -4);
    service.control("fault", {{"path", "sync"}, {"stall", true}});
    requestSyncNow(*h);
    h.frame();
    ASSERT_TRUE(stalled(1));
    ASSERT_TRUE(frameUntil([this] { return !schedule().inFlight; }, 90));
    EXPECT_EQ(h->syncState, syncOffline);
    service.control("release");
    ASSERT_TRUE(stalled(0));
    ASSERT_TRUE(syncNow());
    expectInStep();
    std::vector<std::string> names = column(serviceBudget()["budget"], "transactions", "description");
    EXPECT_EQ(std::count(names.begin(), names.end(), "Slow"), 1);
}

}  // namespace qm::test
