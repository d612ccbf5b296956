// The worker and the per-frame pump with a real curl against the functional
// test service: each page request goes out once, in order behind a stalled
// sync; a stop ends a stalled call and leaves no child or descriptor; and
// sign-out asks the service only when it can be reached.
#include <algorithm>
#include <gtest/gtest.h>

#include <dirent.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <unistd.h>

#include "app/account_state.h"
#include "app/page_table.h"
#include "app/picture_cache.h"
#include "core/errors.h"
#include "core/files.h"
#include "net/net_harness.h"
#include "net/network.h"

namespace qm {
namespace {

using test::NetTest;

int openDescriptors()
{
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d))
            ++n;
        closedir(d);
    }
    return n;
}

// Names of this process's children that are still there (zombies included).
std::vector<std::string> childCommands()
{
    std::vector<std::string> out;
    DIR* d = opendir("/proc");
    if (!d)
        return out;
    while (dirent* e = readdir(d)) {
        std::ifstream stat(std::string("/proc/") + e->d_name + "/stat");
        std::string line;
        if (!std::getline(stat, line))
            continue;
        size_t close = line.rfind(')');
        size_t open = line.find('(');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        std::istringstream rest(line.substr(close + 2));
        char st = 0;
        int ppid = 0;
        rest >> st >> ppid;
        if (ppid == getpid())
            out.push_back(line.substr(open + 1, close - open - 1));
    }
    closedir(d);
    // By name: /proc lists by process id, which wraps around on a busy machine.
    std::sort(out.begin(), out.end());
    return out;
}

TEST_F(NetTest, APageRequestGoesOutOnceAndKindZeroNever)
{
    start();
    queueAccountRequest(*h, akMe, {});
    h.frames(20);
    EXPECT_TRUE(h->request.pending);
    EXPECT_TRUE(service.requests().empty());

    service.control("fault", {{"path", "auth/forgot-password"}, {"delay", 0.4}});
    queueAccountRequest(*h, akForgotPassword, {.email = "ann@example.test"});
    ASSERT_TRUE(answered());
    h.frames(10);
    auto sent = service.requests("auth/forgot-password");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["body"]["email"], "ann@example.test");
    EXPECT_EQ(sent[0]["body"]["device_name"], "linux Quenmark");
    EXPECT_FALSE(sent[0]["body"].contains("__sent"));
    EXPECT_FALSE(sent[0]["body"].contains("token"));
    EXPECT_TRUE(h->request.replyOk);
}

TEST_F(NetTest, AnAccountRequestBehindAStalledSyncIsAnsweredAfterIt)
{
    start();
    std::vector<std::string> applied;
    h->network->sync.applyReply = [&](AppState&, const NetReply&) { applied.push_back("sync"); };
    service.control("fault", {{"path", "sync"}, {"stall", true}, {"status", 200}, {"json", {{"unchanged", true}}}});
    NetRequest sync;
    sync.category = rcSync;
    sync.server = service.base();
    sync.ops = Json::array();
    enqueueNetRequest(*h, sync);
    ASSERT_TRUE(stalled(1));

    queueAccountRequest(*h, akForgotPassword, {.email = "ann@example.test"});
    h.frames(30);
    EXPECT_TRUE(h->request.pending);
    EXPECT_TRUE(service.requests("auth/forgot-password").empty());

    service.control("release");
    ASSERT_TRUE(frameUntil([&] {
        if (h->request.replyKind == akForgotPassword)
            applied.push_back("account");
        return !h->request.pending;
    }));
    EXPECT_EQ(applied, (std::vector<std::string>{"sync", "account"}));
    auto log = service.requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0]["path"], "sync");
    EXPECT_EQ(log[1]["path"], "auth/forgot-password");
}

TEST_F(NetTest, AReplyAReaderRefusesEndsAsAFailureNotTheProgram)
{
    start();
    NetRequest sync;
    sync.category = rcSync;
    sync.server = service.base();
    sync.ops = Json::array();
    sync.budgetId = h->budgetId;
    // Handlers that meet what they cannot read, as a newer version's records or a malformed tree would make them.
    const std::function<void(AppState&, const NetReply&)> handlers[] = {
        [](AppState&, const NetReply&) { throw ValueError("\"amount\" of transaction 5 holds an object"); },
        [](AppState&, const NetReply&) { (void)Json(1).at("x"); }};
    for (const auto& handler : handlers) {
        h->network->sync.applyReply = handler;
        h->lastSyncError.clear();
        enqueueNetRequest(*h, sync);
        ASSERT_TRUE(frameUntil([&] { return !h->lastSyncError.empty(); }));
        EXPECT_EQ(h->lastSyncError.rfind("The answer from quenmark.example was not understood (", 0), 0u)
            << h->lastSyncError;
    }
}

TEST_F(NetTest, AStopEndsAStalledCallAndLeavesNothingBehind)
{
    start();
    int before = openDescriptors();
    service.control("fault", {{"path", "auth/forgot-password"}, {"stall", true}});
    queueAccountRequest(*h, akForgotPassword, {.email = "ann@example.test"});
    ASSERT_TRUE(stalled(1));
    EXPECT_EQ(childCommands(), (std::vector<std::string>{"curl", "python3"}));

    auto t0 = std::chrono::steady_clock::now();
    pageTable().stopWorkers(*h);
    pageTable().joinWorkers(*h);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
    EXPECT_EQ(childCommands(), std::vector<std::string>{"python3"});
    EXPECT_EQ(openDescriptors(), before);

    // Nothing queued after the stop is made, and the pump carries on.
    queueAccountRequest(*h, akResendVerification, {.email = "ann@example.test"});
    h.frames(10);
    service.control("release");
    EXPECT_TRUE(service.requests("auth/resend-verification").empty());
    EXPECT_TRUE(h->request.pending);
}

TEST_F(NetTest, SignOutAsksTheServiceOnlyWhenItCanBeReached)
{
    start();
    signIn();
    std::string token = h->session.token;
    h->online = false;
    h->signOutRequested = true;
    h.frame();
    EXPECT_TRUE(h->session.token.empty());
    EXPECT_EQ(h->budgetId, "local");
    EXPECT_FALSE(isRegularFile(h.configDir() + "/session.json"));
    h.frames(10);
    EXPECT_TRUE(service.requests("auth/logout").empty());

    service.requests("", true);
    signIn();
    token = h->session.token;
    h->signOutRequested = true;
    h.frame();
    EXPECT_EQ(h->session.token, token) << "signed out before the service was asked";
    ASSERT_TRUE(frameUntil([&] { return h->session.token.empty(); }));
    auto logout = service.requests("auth/logout");
    ASSERT_EQ(logout.size(), 1u);
    EXPECT_EQ(logout[0]["body"]["token"], token);
    EXPECT_EQ(h->budgetId, "local");
    EXPECT_EQ(h->page, pageCalendar);
    ASSERT_FALSE(h->toasts.empty());
    EXPECT_EQ(h->toasts.back().text, "Signed out");
    EXPECT_EQ(service.control("state")["tokens"], 1) << "the first, offline sign-out's token stays";

    // A refused or failed logout signs out here all the same.
    for (const Json& fault : {Json{{"status", 500}, {"json", {{"error", "down"}}}}, Json{{"close", "before"}}}) {
        signIn();
        Json rule = fault;
        rule["path"] = "auth/logout";
        service.control("fault", rule);
        h->signOutRequested = true;
        ASSERT_TRUE(frameUntil([&] { return h->session.token.empty(); })) << dumpJson(fault);
        EXPECT_EQ(h->budgetId, "local");
    }
}

TEST_F(NetTest, PicturesAreFetchedOnceAndHandedToTheCache)
{
    start();
    ASSERT_TRUE(h->pictures);
    // An icon the budget names: the pump asks for it once, and the failed
    // answer (the service has no such picture) reaches the cache.
    std::string url = service.base() + "/api/v1/icons/a.png";
    h->pictures->icons[url] = {};
    ASSERT_TRUE(frameUntil([&] { return h->pictures->icons[url].state == psFailed; }));
    h.frames(20);
    auto log = service.requests("icons/a.png");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0]["method"], "GET");
}

}  // namespace
}  // namespace qm
