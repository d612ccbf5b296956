// The desktop's dark-theme preference, asked of gsettings.
#include "platform/x11/x11_window.h"
#include "platform/x11/x11_window_internal.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace qm {

namespace {

std::string lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

bool onSearchPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    if (!path)
        return false;
    std::string dirs(path);
    for (size_t at = 0; at <= dirs.size();) {
        size_t end = dirs.find(':', at);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(at, end - at);
        std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0)
            return true;
        at = end + 1;
    }
    return false;
}

}  // namespace

int runCapture(const std::vector<std::string>& argv, std::string& output)
{
    output.clear();
    int fds[2];
    if (argv.empty() || pipe(fds) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
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
    char buffer[4096];
    for (;;) {
        ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n > 0)
            output.append(buffer, size_t(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool systemPrefersDark()
{
    if (onSearchPath("gsettings")) {
        std::string out;
        if (runCapture({"gsettings", "get", "org.gnome.desktop.interface", "color-scheme"}, out) == 0) {
            if (out.find("prefer-dark") != std::string::npos)
                return true;
            if (out.find("prefer-light") != std::string::npos)
                return false;
        }
        if (runCapture({"gsettings", "get", "org.gnome.desktop.interface", "gtk-theme"}, out) == 0
            && lower(out).find("dark") != std::string::npos)
            return true;
    }
    const char* theme = std::getenv("GTK_THEME");
    return theme && lower(theme).find("dark") != std::string::npos;
}

}  // namespace qm
