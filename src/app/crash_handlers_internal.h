#pragma once
// Steps of the crash handlers that tests check without installing handlers.
#include "app/crash_report.h"

#include <exception>
#include <string>

namespace qm {

// The compact report without its closing brace, as the signal path keeps it.
std::string renderSignalReportPrefix(const CrashRecord& base);

struct FailureDescription {
    std::string type;  // demangled
    std::string message;
    std::string stack;  // where it was raised, when known
};
// `stackHere`: the stack has not unwound yet, so the current one is the
// raiser's (an exception that reached std::terminate).
FailureDescription describeFailure(std::exception_ptr failure, bool stackHere);

// The line the process leaves on standard error for an unhandled failure.
std::string failureLine(const FailureDescription& failure);

}  // namespace qm
