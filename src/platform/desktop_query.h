#pragma once
// Asking the desktop for its preferences (dark theme, cursor theme and size)
// by running gsettings. The desktop's settings service can hang, and these
// questions are asked on the main thread, so every answer has a deadline.
#include <cstdint>
#include <string>
#include <vector>

namespace qm {

// Milliseconds on the monotonic clock, for deadlines.
int64_t monotonicMilliseconds();

// Whether an executable of that name is on PATH.
bool onSearchPath(const std::string& program);

// Runs a program with arguments (no shell), standard error merged into the
// output, and gives its exit status; -1 when it could not run or was still
// running at `deadlineMs` (monotonic), in which case it is killed.
int runCapture(const std::vector<std::string>& argv, std::string& output, int64_t deadlineMs);

// The desktop's dark preference: gsettings' colour scheme, then its GTK
// theme name, then the GTK_THEME variable. Gives up on gsettings after about
// a second; an unanswered query counts as no preference.
bool systemPrefersDark();

}  // namespace qm
