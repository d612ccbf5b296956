#pragma once
// The crash report: one JSON file per failed process in the crash-reports
// folder, saying which build failed, when, after which user actions, and how.
// Every operation here absorbs its own failures, since it runs while the
// program is already failing.
#include "core/json.h"

#include <ctime>
#include <string>
#include <utility>
#include <vector>

namespace qm {

// Fields carry the names of their JSON keys.
struct CrashRecord {
    std::string id;
    std::string app_version;
    std::string os;
    std::string os_version;
    std::string arch;
    std::string install;
    std::string gpu;
    std::string kind;  // "exception" or "signal"
    std::string error_type;
    std::string message;
    std::string stack;
    std::vector<std::string> trail;
    std::vector<std::pair<std::string, std::string>> context;
    std::string started;
    std::string time;
    std::string description;
    std::string email;
};

// The processor family this program was built for.
std::string_view buildArch();

// 32 lower-case hexadecimal digits, different for every process.
std::string makeReportId();
// The computer's name, for scrubbing.
std::string hostName();
// The distribution's name and the kernel release, or "linux".
std::string osVersionText();
// 2026-12-07T23:40:12+01:00
std::string localTimeText(std::time_t when);

// The base record's copy with the failure, the current trail and time, scrubbed.
CrashRecord makeCrashRecord(const CrashRecord& base, const std::string& kind, const std::string& errorType,
    const std::string& message, const std::string& stack);
Json buildCrashReport(const CrashRecord& record);
// Indented, with a final line feed.
std::string renderCrashReport(const CrashRecord& record);
// Creates the folder and the file (owner-only); false on any failure.
bool writeCrashReport(const std::string& path, const CrashRecord& record);
std::string crashReportPath(const std::string& folder, long pid);

}  // namespace qm
