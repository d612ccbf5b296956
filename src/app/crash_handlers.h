#pragma once
// Turning an abnormal end into a crash report. A fatal signal can only use
// async-signal-safe calls, so its report is rendered in advance whenever the
// action trail changes, and the handler merely writes it and a fixed tail.
// Failures nobody caught are reported from a hook before the process exits.
#include <exception>
#include <functional>
#include <string>

namespace qm {

// Once, right after the configuration folder is known. Reports go to
// <configDir>/crash-reports/crash-<pid>.json; an unwritable folder only
// means the standard-error line is all that is left of a crash.
void installCrashHandlers(const std::string& configDir, const std::string& version);

// Renders the signal report again; the action trail's change hook.
void prepareSignalReport();

// Writes the report of a failure that ends the program (once per process;
// later calls do nothing). Absorbs its own failures.
void unhandledExceptionHook(std::exception_ptr failure);

void crashSignalHandler(int sig);

// Runs the program's main body: a failure that escapes it is reported, its
// description goes to standard error, and the result is exit status 1.
int runGuarded(const std::function<int()>& body);

}  // namespace qm
