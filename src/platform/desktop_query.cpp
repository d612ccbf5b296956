#include "platform/desktop_query.h"

#include "core/ascii.h"
#include "core/files.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace qm {

bool onSearchPath(const std::string& program) { return findExecutable(program).has_value(); }

int64_t monotonicMilliseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int runCapture(const std::vector<std::string>& argv, std::string& output, int64_t deadlineMs)
{
    output.clear();
    int fds[2];
    if (argv.empty() || pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        return -1;
    }
    bool timedOut = false;
    char buffer[4096];
    for (;;) {
        const int64_t left = deadlineMs - monotonicMilliseconds();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        const int ready = poll(&p, 1, int(std::min<int64_t>(left, 60000)));
        if (ready == 0 || (ready < 0 && errno == EINTR))
            continue;  // the deadline check above decides
        if (ready < 0)
            break;
        ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n > 0)
            output.append(buffer, size_t(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    close(fds[0]);
    if (timedOut)
        kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool systemPrefersDark()
{
    if (onSearchPath("gsettings")) {
        const int64_t deadline = monotonicMilliseconds() + 1000;
        std::string out;
        if (runCapture({"gsettings", "get", "org.gnome.desktop.interface", "color-scheme"}, out, deadline) == 0) {
            if (out.find("prefer-dark") != std::string::npos)
                return true;
            if (out.find("prefer-light") != std::string::npos)
                return false;
        }
        if (runCapture({"gsettings", "get", "org.gnome.desktop.interface", "gtk-theme"}, out, deadline) == 0
            && asciiLower(out).find("dark") != std::string::npos)
            return true;
    }
    const char* theme = std::getenv("GTK_THEME");
    return theme && asciiLower(theme).find("dark") != std::string::npos;
}

}  // namespace qm
