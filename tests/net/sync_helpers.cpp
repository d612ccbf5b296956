#include "net/sync_helpers.h"

#include "core/files.h"
#include "model/transaction_edits.h"

namespace qm::test {

void SyncTest::begin(bool verified)
{
    start();
    schedule().clock = [this] { return clock; };
    signIn("ann@example.test", verified);
    if (!verified)
        return;
    ASSERT_TRUE(settled());
    // The changes noticed during the first upload bring one more, empty,
    // sync 3 s later; it is out of the way before the test starts.
    clock += 4;
    h.frame();
    ASSERT_TRUE(settled());
}

SyncSchedule& SyncTest::schedule()
{
    SyncSchedule* s = syncSchedule(*h);
    if (!s)
        throw std::logic_error("no sync schedule");
    return *s;
}

bool SyncTest::settled(double seconds)
{
    return frameUntil([this] { return !schedule().inFlight && !h->syncNowRequested; }, seconds);
}

bool SyncTest::syncNow(double seconds)
{
    requestSyncNow(*h);
    h.frame();
    return schedule().inFlight && settled(seconds);
}

void SyncTest::expectSyncAfter(double seconds)
{
    clock += seconds;
    h.frame();
    EXPECT_FALSE(schedule().inFlight) << "started " << seconds << " s on";
    clock += 0.05;
    h.frame();
    EXPECT_TRUE(schedule().inFlight) << "not started just after " << seconds << " s";
}

int64_t SyncTest::addSpending(const std::string& description, double amount)
{
    Transaction t;
    t.description = description;
    t.amount = amount;
    t.account = h->store->budget->accounts.front().name;
    t.start_date = h->todayDate;
    EditResult r = addTransaction(*h->store, t);
    EXPECT_TRUE(r.ok) << r.error;
    return r.id;
}

Json SyncTest::serviceBudget() const { return service.control("budget", {{"user_id", h.state->session.user_id}}); }

Json SyncTest::dataJson() const { return parseJson(readFile(h.budgetDir(h.state->budgetId) + "/data.json")); }

Json SyncTest::journalJson() const { return parseJson(readFile(h.budgetDir(h.state->budgetId) + "/journal.json")); }

void SyncTest::expectInStep() const
{
    Json theirs = serviceBudget();
    Json ours = dataJson();
    for (const char* list : recordLists)
        EXPECT_EQ(ours[list], theirs["budget"][list]) << list;
    EXPECT_EQ(ours["meta"]["etag"], theirs["etag"]);
    EXPECT_EQ(journalJson(), Json::array());
}

std::vector<std::string> column(const Json& budget, const char* list, const char* member)
{
    std::vector<std::string> out;
    for (const Json& r : budget[list])
        out.push_back(r.contains(member) && r[member].is_string() ? r[member].get<std::string>() : dumpJson(r[member]));
    return out;
}

}  // namespace qm::test
