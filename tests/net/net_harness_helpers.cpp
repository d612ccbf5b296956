#include "net/net_harness.h"

#include "app/account_state.h"
#include "model/transaction_edits.h"
#include "net/api.h"
#include "net/net_services.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qm::test {

NetTest::NetTest()
{
    clearProxies(env);
    env.set("CURL_CA_BUNDLE", service.caBundle());
    PageTable table;
    fillNetServiceTable(table);
    setPageTable(table);
}

NetTest::~NetTest()
{
    h.state.reset();
    setPageTable({});
}

AppState& NetTest::start(const std::string& server)
{
    h.env.set("QUENMRK_SERVER", server.empty() ? service.base() : server);
    AppState& state = h.start();
    h.frame();
    return state;
}

bool NetTest::frameUntil(const std::function<bool()>& done, double seconds)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        h.frame();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

bool NetTest::answered(double seconds)
{
    return frameUntil([this] { return !h->request.pending; }, seconds);
}

bool NetTest::stalled(int count, double seconds)
{
    return frameUntil([this, count] { return service.control("stalled")["count"] == count; }, seconds);
}

void NetTest::signIn(const std::string& email, bool verified)
{
    service.control("user", {{"email", email}, {"password", "correct horse"}, {"verified", verified}});
    queueAccountRequest(*h, akLogin, {.email = email, .password = "correct horse"});
    ASSERT_TRUE(answered());
    ASSERT_FALSE(h->session.token.empty()) << welcomeForm(*h).error;
}

void NetTest::signOutOffline()
{
    h->online = false;
    h->signOutRequested = true;
    h.frame();
}

void addRent(AppState& state)
{
    Transaction t;
    t.description = "Rent";
    t.amount = -900;
    t.account = state.store->budget->accounts.front().name;
    t.start_date = state.todayDate;
    ASSERT_TRUE(addTransaction(*state.store, t).ok);
}

std::string closedServer()
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return "https://127.0.0.1:" + std::to_string(ntohs(a.sin_port));
}

}  // namespace qm::test
