#include "net/service_helpers.h"

#include "core/files.h"
#include "net/http.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace qm::test {

namespace {

std::string serviceScript() { return std::string(QM_SOURCE_DIR) + "/tests/oracles/_https_service.py"; }

}  // namespace

TestService::TestService()
{
    char pattern[] = "/tmp/qm-service-XXXXXX";
    if (!mkdtemp(pattern))
        throw std::runtime_error("no temporary folder for the test service");
    m_folder = pattern;
    int out[2];
    if (pipe(out) != 0)
        throw std::runtime_error("no pipe for the test service");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(
        &actions, 2, (m_folder + "/stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    std::string python = "/usr/bin/python3", script = serviceScript(), mode = "functional";
    std::vector<char*> argv{python.data(), script.data(), mode.data(), m_folder.data(), nullptr};
    pid_t pid = 0;
    int rc = posix_spawn(&pid, python.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (rc != 0) {
        close(out[0]);
        throw std::runtime_error("could not start the test service");
    }
    m_pid = pid;
    std::string line;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (line.find('\n') == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, int(left.count())) <= 0)
            break;
        char buf[64];
        ssize_t n = read(out[0], buf, sizeof buf);
        if (n <= 0)
            break;
        line.append(buf, size_t(n));
    }
    close(out[0]);
    if (line.rfind("ready ", 0) != 0) {
        std::string err = stderrText();
        ADD_FAILURE() << "the test service did not start: " << line << "\n" << err;
        throw std::runtime_error("the test service did not start");
    }
    m_base = "https://127.0.0.1:" + std::to_string(std::atoi(line.c_str() + 6));
}

TestService::~TestService()
{
    if (::testing::Test::HasFailure())
        std::fprintf(stderr, "--- test service stderr ---\n%s--- end ---\n", stderrText().c_str());
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status = 0;
        bool gone = false;
        for (int i = 0; i < 500 && !gone; ++i) {
            gone = waitpid(m_pid, &status, WNOHANG) == m_pid;
            if (!gone)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!gone) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
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
