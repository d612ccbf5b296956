#pragma once
// The sync tests' fixture: the network harness with the schedule on a clock
// the test moves, and the checks that the budget on this device and the one
// the test service keeps are the same.
#include <cstdint>
#include <string>

#include "core/json.h"
#include "net/net_harness.h"
#include "net/service_sync.h"

namespace qm::test {

class SyncTest : public NetTest {
protected:
    double clock = 1.0e9;

    // Starts the state with the schedule on `clock`, signs in and waits for
    // the first sync.
    void begin(bool verified = true);
    SyncSchedule& schedule();
    // Frames until no sync is in flight.
    bool settled(double seconds = 30);
    // Asks for a sync now and waits for its reply.
    bool syncNow(double seconds = 30);
    // Moves the clock `seconds` on, where no sync may start yet, then a
    // moment further, where one must.
    void expectSyncAfter(double seconds);
    size_t syncCalls() const { return service.requests("sync").size(); }
    // A one-off transaction of the user's own; gives its id.
    int64_t addSpending(const std::string& description, double amount);
    Json serviceBudget() const;
    Json dataJson() const;
    Json journalJson() const;
    // The records of data.json are the service's and so is the etag.
    void expectInStep() const;
};

// The data.json lists that hold records, in the order the service keeps them.
inline constexpr const char* recordLists[] = {
    "accounts", "categories", "transactions", "transaction_adjustments", "running_total_adjustments"};

// The values of one member of every record of a list.
std::vector<std::string> column(const Json& budget, const char* list, const char* member);

}  // namespace qm::test
