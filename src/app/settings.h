#pragma once
// The user's preferences, kept in settings.json. Reading never fails: a
// missing or damaged file gives the defaults, a missing or wrongly typed key
// its own default. Writing never reports a failure.
#include "core/json.h"

#include <cstdint>
#include <string>

namespace qm {

// Fields in the order of the file's keys.
struct Settings {
    int32_t themeMode = 2;  // 0 light, 1 dark, 2 follow the desktop
    bool darkTheme = false;
    std::string view = "month";  // "month", "week" or "day"
    double uiScale = 1.0;
    bool checkUpdates = true;
    double lastUpdateCheck = 0.0;
    std::string skippedVersion;
    bool crashReports = true;
    std::string server;
    int32_t syncMinutes = 5;
    std::string lastBudget;
    int32_t windowW = 1280;
    int32_t windowH = 820;
    bool weekStartsMonday = false;
    std::string lastDir;
    std::string legalAccepted;
    double legalAcceptedAt = 0.0;

    bool operator==(const Settings&) const = default;
};

Settings defaultSettings();

Settings loadSettings();
// Applies a parsed document to `into` (which starts from the defaults).
void settingsFromJson(const Json& node, Settings& into);
Json settingsToJson(const Settings& settings);
// The file's text: one member per line, two spaces in, no final newline.
std::string renderSettings(const Settings& settings);
void writeSettings(const Settings& settings);

}  // namespace qm
