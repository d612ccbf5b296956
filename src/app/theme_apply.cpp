#include "app/theme_apply.h"

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

#include "core/ascii.h"
#include "ui/theme.h"

extern char** environ;

namespace qm {

namespace {

DesktopThemeQuery& themeQuery()
{
    static DesktopThemeQuery query;
    return query;
}

int64_t monotonicMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Runs a command with its output captured, but never past the deadline: a
// desktop service that does not answer must not freeze the window. Gives
// nullopt when it could not run, failed or took too long.
std::optional<std::string> captureUntil(const std::vector<std::string>& argv, int64_t deadlineMs)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        return std::nullopt;
    }
    std::string out;
    bool timedOut = false;
    for (;;) {
        int64_t left = deadlineMs - monotonicMs();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        int n = poll(&p, 1, int(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            timedOut = n == 0;
            break;
        }
        char buffer[512];
        ssize_t got = ::read(fds[0], buffer, sizeof buffer);
        if (got > 0 && out.size() < 4096)
            out.append(buffer, size_t(got));
        else if (got == 0 || (got < 0 && errno != EINTR))
            break;
    }
    ::close(fds[0]);
    if (timedOut)
        kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return out;
}

}  // namespace

void setDesktopThemeQuery(DesktopThemeQuery query) { themeQuery() = std::move(query); }

bool desktopPrefersDark()
{
    int64_t deadline = monotonicMs() + 1000;
    if (auto scheme = captureUntil({"gsettings", "get", "org.gnome.desktop.interface", "color-scheme"}, deadline)) {
        if (scheme->find("prefer-dark") != std::string::npos)
            return true;
        if (scheme->find("prefer-light") != std::string::npos)
            return false;
        if (auto theme = captureUntil({"gsettings", "get", "org.gnome.desktop.interface", "gtk-theme"}, deadline))
            if (asciiLower(*theme).find("dark") != std::string::npos)
                return true;
    }
    const char* theme = std::getenv("GTK_THEME");
    return theme && asciiLower(theme).find("dark") != std::string::npos;
}

void applyTheme(AppState& state, bool force)
{
    int32_t mode = std::clamp(state.settings.themeMode, int32_t(themeLight), int32_t(themeSystem));
    bool dark = mode == themeDark;
    if (mode == themeSystem)
        dark = themeQuery() ? themeQuery()() : desktopPrefersDark();
    if (!force && dark == state.settings.darkTheme)
        return;
    state.settings.darkTheme = dark;
    Theme theme;
    if (dark)
        fillDarkTheme(theme);
    else
        fillLightTheme(theme);
    state.ui->theme = std::move(theme);
    setDarkTitleBar(*state.window, dark);
    state.redrawRequested = true;
}

void applyProfileTheme(AppState& state)
{
    const std::string& pref = state.store->budget->user.theme_preference;
    state.settings.themeMode = pref == "dark" ? themeDark : pref == "light" ? themeLight : themeSystem;
    applyTheme(state, false);
}

void saveSettings(AppState& state) { writeSettings(state.settings); }

double scaled(const AppState& state, double length) { return length * state.ui->scale; }

}  // namespace qm
