#include "app/paths.h"

#include "app/settings.h"
#include "core/service_host.h"

#include <cstdlib>
#include <filesystem>

namespace qm {

namespace {

std::string envText(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string_view stripSlashes(std::string_view s)
{
    while (!s.empty() && s.front() == '/')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == '/')
        s.remove_suffix(1);
    return s;
}

}  // namespace

std::string joinPath(std::string_view first, std::string_view second)
{
    if (first.empty())
        return std::string(second);
    // A first part made only of slashes is the root: it keeps one.
    while (first.size() > 1 && first.back() == '/' && first[first.size() - 2] == '/')
        first.remove_suffix(1);
    while (!second.empty() && second.front() == '/')
        second.remove_prefix(1);
    std::string out(first);
    if (out.back() != '/')
        out += '/';
    out += second;
    return out;
}

std::string homeFolder()
{
    std::string home = envText("HOME");
    if (home.empty() || home.back() != '/')
        home += '/';
    return home;
}

std::string configDir()
{
    std::string xdg = envText("XDG_CONFIG_HOME");
    if (!xdg.empty())
        return joinPath(xdg, "quenmrk");
    return joinPath(joinPath(homeFolder(), ".config"), "quenmrk");
}

std::string settingsPath() { return joinPath(configDir(), "settings.json"); }

std::string sessionPath() { return joinPath(configDir(), "session.json"); }

std::string budgetFolder(std::string_view budgetId) { return joinPath(joinPath(configDir(), "budgets"), budgetId); }

std::string documentsDir()
{
    std::string home = homeFolder();
    std::string docs = joinPath(home, "Documents");
    std::error_code ec;
    if (std::filesystem::is_directory(docs, ec))
        return docs;
    return home;
}

std::string serverBaseUrl(const Settings& settings)
{
    // Tested on the raw value: an address made only of slashes stays empty.
    std::string env = envText("QUENMRK_SERVER");
    if (!env.empty())
        return std::string(stripSlashes(env));
    if (!settings.server.empty())
        return std::string(stripSlashes(settings.server));
    return std::string(builtInServerUrl);
}

}  // namespace qm
