#pragma once
// A whole AppState (the shell's headless harness) with the network area's
// page entries, its real worker and curl, against the functional test
// service. Frames run until a condition holds, with a ceiling that holds on
// a loaded machine.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "app/app_harness.h"
#include "app/env_helpers.h"
#include "app/page_table.h"
#include "net/service_helpers.h"

namespace qm::test {

// Keeps curl away from proxies and any configuration of the machine.
inline void clearProxies(qm::testing::ScopedEnv& env)
{
    for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
        env.set(name, std::nullopt);
    env.set("NO_PROXY", "*");
}

class NetTest : public ::testing::Test {
protected:
    qm::testing::ScopedEnv env;
    TestService service;
    qm::testing::AppHarness h;

    NetTest();
    ~NetTest() override;

    // Starts the state against the service (or another base address).
    AppState& start(const std::string& server = "");
    // Frames (a few ms apart) until done() holds; false after `seconds`.
    bool frameUntil(const std::function<bool()>& done, double seconds = 30);
    // Frames until the page's request has been answered.
    bool answered(double seconds = 30);
    // Frames until the service holds that many calls stalled.
    bool stalled(int count, double seconds = 30);
    // Makes a verified user "ann@example.test" and signs in through the pump.
    void signIn(const std::string& email = "ann@example.test", bool verified = true);
    // Signs out as with no connection: at once, without a call.
    void signOutOffline();
};

// A one-off transaction of the user's own (not demo data) in the first account.
void addRent(AppState& state);

// An address where nothing listens.
std::string closedServer();

}  // namespace qm::test
