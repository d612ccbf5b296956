#include "net/service_helpers.h"

#include "core/files.h"
#include "net/http.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace qm::test {

namespace {

std::string fixtureScript() { return std::string(QM_SOURCE_DIR) + "/tests/oracles/_service_fixture.py"; }

bool waitForExit(int pid, std::chrono::milliseconds limit)
{
    auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < end) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Reads until a whole line came, the pipe closed or the time is up.
std::string readLine(int fd, std::chrono::seconds limit)
{
    std::string text;
    auto end = std::chrono::steady_clock::now() + limit;
    while (text.find('\n') == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, int(left.count())) <= 0)
            break;
        char buf[256];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        text.append(buf, size_t(n));
    }
    return text;
}

}  // namespace

TestService::TestService()
{
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
        throw std::runtime_error("no pipes for the test service");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    for (int fd : {in[0], in[1], out[0], out[1]})
        posix_spawn_file_actions_addclose(&actions, fd);
    std::string python = "/usr/bin/python3", script = fixtureScript();
    std::vector<char*> argv{python.data(), script.data(), nullptr};
    pid_t pid = 0;
    int rc = posix_spawn(&pid, python.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    m_input = in[1];
    if (rc != 0) {
        close(out[0]);
        throw std::runtime_error("could not start the test service's fixture");
    }
    m_pid = pid;
    // The fixture waits 10 s for the service itself.
    std::string line = readLine(out[0], std::chrono::seconds(15));
    close(out[0]);
    std::istringstream words(line);
    std::string ready;
    int port = 0;
    words >> ready >> port >> m_folder >> m_servicePid;
    if (ready != "ready" || port <= 0 || m_folder.empty()) {
        ADD_FAILURE() << "the test service did not start:\n" << line;
        throw std::runtime_error("the test service did not start");
    }
    m_base = "https://127.0.0.1:" + std::to_string(port);
}

TestService::~TestService()
{
    if (::testing::Test::HasFailure())
        std::fprintf(stderr, "--- test service stderr ---\n%s--- end ---\n", stderrText().c_str());
    if (m_input >= 0)
        close(m_input);
    if (m_pid > 0 && !waitForExit(m_pid, std::chrono::seconds(10))) {
        kill(m_pid, SIGKILL);
        if (m_servicePid > 0)
            kill(m_servicePid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
}

Json TestService::control(const std::string& name, const Json& body) const
{
    // The process's CURL_CA_BUNDLE names this service's CA (the fixture sets it).
    HttpResult r = httpPost(m_base + "/_test/" + name, dumpJson(body), "application/json", 10000, {});
    if (!r.ok || r.status != 200)
        throw std::runtime_error("test service control " + name + " failed: " + r.text);
    return parseJson(r.text);
}

std::vector<Json> TestService::requests(const std::string& path, bool clear) const
{
    std::vector<Json> out;
    Json log = control("log", {{"clear", clear}});
    for (const Json& r : log["requests"])
        if (path.empty() || r["path"] == path)
            out.push_back(r);
    return out;
}

std::string TestService::stderrText() const
{
    try {
        return readFile(m_folder + "/stderr.txt");
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace qm::test
