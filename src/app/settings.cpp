#include "app/settings.h"

#include "app/paths.h"
#include "core/files.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <sys/stat.h>

namespace qm {

namespace {

// Larger files are not settings anyone wrote; reading them would only cost.
constexpr off_t kMaxSettingsBytes = 1 << 20;

const Json* member(const Json& node, const char* key)
{
    if (!node.is_object())
        return nullptr;
    auto it = node.find(key);
    return it == node.end() ? nullptr : &*it;
}

std::optional<int32_t> int32Member(const Json& node, const char* key)
{
    const Json* v = member(node, key);
    // A float is never an int32, and an integer beyond 32 bits is as wrong as
    // one of the wrong type.
    if (!v || !v->is_number_integer() || v->is_number_unsigned())
        return std::nullopt;
    int64_t n = v->get<int64_t>();
    if (n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return int32_t(n);
}

std::optional<double> doubleMember(const Json& node, const char* key)
{
    const Json* v = member(node, key);
    if (!v || !v->is_number())
        return std::nullopt;
    double d = v->get<double>();
    if (!std::isfinite(d))
        return std::nullopt;
    return d;
}

std::optional<bool> boolMember(const Json& node, const char* key)
{
    const Json* v = member(node, key);
    if (!v || !v->is_boolean())
        return std::nullopt;
    return v->get<bool>();
}

std::optional<std::string> stringMember(const Json& node, const char* key)
{
    const Json* v = member(node, key);
    if (!v || !v->is_string())
        return std::nullopt;
    return v->get<std::string>();
}

}  // namespace

Settings defaultSettings() { return Settings{}; }

void settingsFromJson(const Json& node, Settings& s)
{
    const Settings d;
    s.themeMode = int32Member(node, "themeMode").value_or(d.themeMode);
    s.themeMode = std::clamp(s.themeMode, 0, 2);
    s.darkTheme = boolMember(node, "darkTheme").value_or(d.darkTheme);
    s.view = stringMember(node, "view").value_or(d.view);
    if (s.view != "day" && s.view != "week" && s.view != "month")
        s.view = "month";
    s.uiScale = doubleMember(node, "uiScale").value_or(d.uiScale);
    // Out of range means a damaged value, not a wish for the nearest limit.
    if (s.uiScale < 0.5 || s.uiScale > 3.0)
        s.uiScale = 1.0;
    s.checkUpdates = boolMember(node, "checkUpdates").value_or(d.checkUpdates);
    s.lastUpdateCheck = doubleMember(node, "lastUpdateCheck").value_or(d.lastUpdateCheck);
    s.skippedVersion = stringMember(node, "skippedVersion").value_or(d.skippedVersion);
    s.crashReports = boolMember(node, "crashReports").value_or(d.crashReports);
    s.server = stringMember(node, "server").value_or(d.server);
    s.syncMinutes = int32Member(node, "syncMinutes").value_or(d.syncMinutes);
    s.lastBudget = stringMember(node, "lastBudget").value_or(d.lastBudget);
    s.windowW = int32Member(node, "windowW").value_or(d.windowW);
    s.windowH = int32Member(node, "windowH").value_or(d.windowH);
    s.weekStartsMonday = boolMember(node, "weekStartsMonday").value_or(d.weekStartsMonday);
    s.lastDir = stringMember(node, "lastDir").value_or(d.lastDir);
    s.legalAccepted = stringMember(node, "legalAccepted").value_or(d.legalAccepted);
    s.legalAcceptedAt = doubleMember(node, "legalAcceptedAt").value_or(d.legalAcceptedAt);
}

Json settingsToJson(const Settings& s)
{
    Json j = Json::object();
    j["themeMode"] = s.themeMode;
    j["darkTheme"] = s.darkTheme;
    j["view"] = s.view;
    j["uiScale"] = s.uiScale;
    j["checkUpdates"] = s.checkUpdates;
    j["lastUpdateCheck"] = s.lastUpdateCheck;
    j["skippedVersion"] = s.skippedVersion;
    j["crashReports"] = s.crashReports;
    j["server"] = s.server;
    j["syncMinutes"] = s.syncMinutes;
    j["lastBudget"] = s.lastBudget;
    j["windowW"] = s.windowW;
    j["windowH"] = s.windowH;
    j["weekStartsMonday"] = s.weekStartsMonday;
    j["lastDir"] = s.lastDir;
    j["legalAccepted"] = s.legalAccepted;
    j["legalAcceptedAt"] = s.legalAcceptedAt;
    return j;
}

std::string renderSettings(const Settings& settings) { return dumpJson(settingsToJson(settings), 2); }

Settings loadSettings()
{
    Settings s;
    try {
        const std::string path = settingsPath();
        struct stat st;
        if (!isRegularFile(path) || ::stat(path.c_str(), &st) != 0 || st.st_size > kMaxSettingsBytes)
            return s;
        std::string text = readFile(path);
        if (text.size() > size_t(kMaxSettingsBytes))
            return s;
        settingsFromJson(parseJson(text), s);
    } catch (const std::exception&) {
        // Nothing read before the failure survives.
        return defaultSettings();
    }
    return s;
}

void writeSettings(const Settings& settings)
{
    try {
        makePrivateFolders(configDir());
        AtomicWriteOptions keepLink;
        keepLink.keepSymlink = true;
        keepLink.newFileMode = 0600;
        writeFileAtomic(settingsPath(), renderSettings(settings), keepLink);
    } catch (const std::exception&) {
        // The program runs on with its settings in memory; the next save retries.
    }
}

}  // namespace qm
