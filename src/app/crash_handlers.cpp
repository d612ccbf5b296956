#include "app/crash_handlers.h"

#include "app/crash_handlers_internal.h"
#include "app/crash_report.h"
#include "app/paths.h"
#include "app/scrub.h"
#include "core/errors.h"
#include "core/files.h"
#include "ui/trail.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <execinfo.h>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <typeinfo>
#include <unistd.h>

namespace qm {

namespace {

// Set once at installation, before any handler can run, and only read after.
std::string crashFolder;
std::string reportPath;
CrashRecord baseRecord;

// The signal report is swapped in whole; a handler that has started may be
// writing the old text, so once any handler has entered, replaced texts are
// never freed (the process is ending anyway).
std::atomic<const std::string*> preparedReport{nullptr};
std::atomic<int> handlersEntered{0};
// At most one report per process, even when two threads fail at once.
std::atomic<bool> reportWritten{false};
// Set once that one report is complete: a second failing thread waits for it
// before its own re-raise ends the process, or the report would be cut off.
std::atomic<bool> reportDone{false};

static_assert(std::atomic<const std::string*>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

// Bounded, for the case where the thread writing the report is the one that
// failed again: it will never finish.
void awaitReport()
{
    for (long spins = 0; spins < 400000000L && !reportDone.load(); ++spins) {
    }
}

struct SignalText {
    int sig;
    std::string_view name;
    std::string_view message;
    std::string_view line;  // for standard error, whole so one write() keeps it unmixed
};

#define QM_SIGNAL_TEXT(sig, name, message)                                                                             \
    {                                                                                                                  \
        sig, name, message, "Quenmark: " name ": " message "\n"                                                        \
    }
constexpr SignalText kSignals[] = {
    QM_SIGNAL_TEXT(SIGSEGV, "SIGSEGV", "Illegal storage access (attempt to read from nil?)"),
    QM_SIGNAL_TEXT(SIGABRT, "SIGABRT", "Abnormal termination"),
    QM_SIGNAL_TEXT(SIGFPE, "SIGFPE", "Arithmetic error"),
    QM_SIGNAL_TEXT(SIGILL, "SIGILL", "Illegal operation"),
};
constexpr SignalText kOtherSignal = QM_SIGNAL_TEXT(0, "SIGNAL", "Unknown signal");
#undef QM_SIGNAL_TEXT

const SignalText& signalText(int sig)
{
    for (const SignalText& s : kSignals)
        if (s.sig == sig)
            return s;
    return kOtherSignal;
}

// Async-signal-safe: write(2) only.
void writeRaw(int fd, std::string_view text)
{
    while (!text.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        text.remove_prefix(size_t(n));
    }
}

std::string demangle(const char* name)
{
    int status = 0;
    char* plain = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    std::string out = status == 0 && plain ? plain : name;
    std::free(plain);
    return out;
}

std::string symbolize(void* const* frames, int count)
{
    if (count <= 0)
        return {};
    std::string out;
    if (char** lines = ::backtrace_symbols(frames, count)) {
        for (int i = 0; i < count; ++i) {
            if (i)
                out += '\n';
            out += lines[i];
        }
        std::free(lines);
    }
    return out;
}

std::string currentStack()
{
    void* frames[64];
    return symbolize(frames, ::backtrace(frames, 64));
}

void writeFailureReport(const FailureDescription& failure)
{
    if (crashFolder.empty())
        return;
    if (reportWritten.exchange(true)) {
        awaitReport();
        return;
    }
    try {
        CrashRecord record = makeCrashRecord(baseRecord, "exception", failure.type, failure.message, failure.stack);
        writeCrashReport(reportPath, record);
    } catch (...) {
        // The process is ending; a lost report must not change how.
    }
    reportDone.store(true);
}

FailureDescription describeSafely(std::exception_ptr failure, bool stackHere)
{
    try {
        return describeFailure(failure, stackHere);
    } catch (...) {
        return FailureDescription{"unknown", "", ""};
    }
}

// Failures that escape a thread other than the main body's end here, with
// the raiser's stack still in place.
[[noreturn]] void terminateHandler()
{
    std::exception_ptr failure = std::current_exception();
    if (!failure) {
        writeRaw(2, "Quenmark: terminated without a failure to report\n");
        std::abort();
    }
    FailureDescription d = describeSafely(failure, true);
    writeFailureReport(d);
    try {
        writeRaw(2, failureLine(d));
    } catch (...) {
    }
    ::_exit(1);
}

}  // namespace

std::string renderSignalReportPrefix(const CrashRecord& base)
{
    std::string text = dumpJson(buildCrashReport(scrubCrashRecord(base)));
    text.pop_back();  // the closing brace; the handler's tail completes the object
    return text;
}

FailureDescription describeFailure(std::exception_ptr failure, bool stackHere)
{
    FailureDescription d;
    try {
        std::rethrow_exception(failure);
    } catch (const Error& e) {
        d.type = demangle(typeid(e).name());
        d.message = e.what();
        auto frames = e.raisedAt();
        d.stack = symbolize(frames.data(), int(frames.size()));
    } catch (const std::exception& e) {
        d.type = demangle(typeid(e).name());
        d.message = e.what();
        if (stackHere)
            d.stack = currentStack();
    } catch (...) {
        const std::type_info* type = abi::__cxa_current_exception_type();
        d.type = type ? demangle(type->name()) : "unknown";
        if (stackHere)
            d.stack = currentStack();
    }
    return d;
}

std::string failureLine(const FailureDescription& failure)
{
    std::string line = "Quenmark: unhandled exception: " + failure.type;
    if (!failure.message.empty())
        line += ": " + scrubText(failure.message);  // a terminal's scrollback is pasted into reports too
    return line + "\n";
}

void installCrashHandlers(const std::string& configDir, const std::string& version)
{
    crashFolder = joinPath(configDir, "crash-reports");
    reportPath = crashReportPath(crashFolder, long(::getpid()));
    setScrubIdentity(scrubIdentityFromEnvironment());

    CrashRecord base;
    base.id = makeReportId();
    base.app_version = version;
    base.os = "linux";
    base.os_version = osVersionText();
    base.arch = std::string(buildArch());
    base.started = localTimeText(std::time(nullptr));
    baseRecord = std::move(base);

    // Reports may name what the user was doing: the folder is the owner's alone.
    try {
        makePrivateFolders(crashFolder);
    } catch (const IOError&) {
        // Reports are then lost, the program is not.
    }

    prepareSignalReport();
    setTrailChangedHook(&prepareSignalReport);
    std::set_terminate(terminateHandler);
    for (int sig : {SIGSEGV, SIGABRT, SIGFPE, SIGILL})
        std::signal(sig, crashSignalHandler);
}

void prepareSignalReport()
{
    if (crashFolder.empty())
        return;
    const std::string* fresh = nullptr;
    try {
        CrashRecord record = baseRecord;
        record.trail = actionTrail();
        fresh = new std::string(renderSignalReportPrefix(record));
    } catch (...) {
        return;  // the previous report stays ready
    }
    const std::string* old = preparedReport.exchange(fresh);
    if (old && handlersEntered.load() == 0)
        delete old;
}

void unhandledExceptionHook(std::exception_ptr failure)
{
    if (crashFolder.empty() || !failure)
        return;
    writeFailureReport(describeSafely(failure, false));
}

void crashSignalHandler(int sig)
{
    const SignalText& what = signalText(sig);
    // Counted before the pointer is read, so the main thread keeps the text alive.
    handlersEntered.fetch_add(1);
    const std::string* report = preparedReport.load();
    if (report && !report->empty() && !reportPath.empty()) {
        if (!reportWritten.exchange(true)) {
            int fd = ::open(reportPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            if (fd >= 0) {
                writeRaw(fd, *report);
                writeRaw(fd, ",\"kind\":\"signal\",\"error_type\":\"");
                writeRaw(fd, what.name);
                writeRaw(fd, "\",\"message\":\"");
                writeRaw(fd, what.message);
                writeRaw(fd, "\"}\n");
                ::close(fd);
            }
            reportDone.store(true);
        } else {
            awaitReport();
        }
    }
    writeRaw(2, what.line);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

int runGuarded(const std::function<int()>& body)
{
    try {
        return body();
    } catch (...) {
        std::exception_ptr failure = std::current_exception();
        unhandledExceptionHook(failure);
        try {
            writeRaw(2, failureLine(describeSafely(failure, false)));
        } catch (...) {
        }
        return 1;
    }
}

}  // namespace qm
