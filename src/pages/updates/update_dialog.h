#pragma once
// The "Check for Updates" dialog over the updater's status. It keeps nothing
// of its own: every frame it reads the status and the settings.
#include <string>
#include <vector>

#include "app/app_state.h"

namespace qm {

// What the dialog shows for the updater's current state.
struct UpdateDialogContent {
    std::string heading;
    std::vector<std::string> paragraphs;
    bool spinner = false;   // an endless bar while a check runs
    bool progress = false;  // the download's bar
    double fraction = 0;
    std::string progressLabel;
    std::vector<std::string> buttons;  // left to right; ids "upd-0", "upd-1", ...
};

UpdateDialogContent updateDialogContent(AppState& state);

// "restart" when the user chose "Restart Now", otherwise empty.
std::string drawUpdateDialog(AppState& state);

}  // namespace qm
