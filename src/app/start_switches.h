#pragma once
// Every switch of the environment the shell acts on while it starts, read
// in one go before the window exists: the toolkit's automation switches and
// the shell's own (back end, page, view, dialogs, demo, tour, export, the
// test account and the widget list). guide/switches.md says what each does.
#include <cstdint>
#include <optional>
#include <string>

#include "ui/env_switches.h"

namespace qm {

// QUENMRK_EXPORT split at its first colon.
struct ExportSwitch {
    std::string kind;
    std::string path;
};

struct StartSwitches {
    AutomationSwitches automation;
    std::string backend;
    std::optional<uint8_t> page;  // a PageKind
    std::optional<uint8_t> view;  // a CalendarView
    std::optional<int32_t> welcomeMode;
    std::optional<int32_t> tourStep;
    std::optional<ExportSwitch> exportFile;
    bool demo = false;
    std::string testAuth;
    std::string testEmail;
    std::string testPassword;
    std::string testAvatar;
    std::string open;  // a dialog's name as openFromSwitch takes it
    std::string widgetListPath;
    bool listTexts = false;
};

// Reads the process environment unless another reader is given.
StartSwitches readStartSwitches(const EnvReader& env = {});

}  // namespace qm
