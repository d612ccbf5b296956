#pragma once
// Where the user's files live. These only compute text: nothing here creates
// or checks a folder (documentsDir only looks whether Documents exists).
#include <string>
#include <string_view>

namespace qm {

struct Settings;

// Joins with exactly one "/" between the parts.
std::string joinPath(std::string_view first, std::string_view second);

// HOME with a "/" at its end ("/" when HOME is unset or empty).
std::string homeFolder();

// $XDG_CONFIG_HOME/quenmrk, else ~/.config/quenmrk.
std::string configDir();
std::string settingsPath();
std::string sessionPath();
// budgets/<id> in the configuration folder; "local" or the user's id.
std::string budgetFolder(std::string_view budgetId);
// ~/Documents when it is a folder, else the home folder.
std::string documentsDir();

// Where requests to the service go, with no slash at the end. The
// environment's QUENMRK_SERVER wins over the settings, and the settings over
// the address this build was made for.
std::string serverBaseUrl(const Settings& settings);

}  // namespace qm
