// Fails on purpose, for the crash-report checks: each case installs the crash
// handlers and then dies the way its name says, on the main thread or on a
// worker. Other modes race a crash against the action trail, keep rewriting
// settings and session until killed, or print reports for a JSON checker.
#include "app/crash_handlers.h"
#include "app/crash_handlers_internal.h"
#include "app/crash_report.h"
#include "app/paths.h"
#include "app/session.h"
#include "app/settings.h"
#include "core/errors.h"
#include "ui/trail.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>

namespace {

void nullWrite()
{
    volatile int* volatile target = nullptr;
    *target = 1;
}

void divideByZero()
{
    volatile int one = 1;
    volatile int zero = 0;
    volatile int result = one / zero;
    (void)result;
}

[[noreturn]] void throwPersonal()
{
    const char* home = std::getenv("HOME");
    throw qm::ValueError(
        std::string("cannot open ") + (home ? home : "") + "/budgets/plan.json for ann.lee@example.com");
}

using Failure = void (*)();

struct Case {
    const char* name;
    Failure fail;
};

const Case kCases[] = {
    {"segv", nullWrite},
    {"abrt", [] { std::abort(); }},
    {"fpe", divideByZero},
    {"ill", [] { __builtin_trap(); }},
    {"exception", [] { throwPersonal(); }},
    // A report already written: the later signal only leaves its line.
    {"second",
        [] {
            qm::unhandledExceptionHook(std::make_exception_ptr(qm::ValueError("first failure")));
            nullWrite();
        }},
    // Two threads fault at once: still one report.
    {"double",
        [] {
            std::atomic<int> ready{0};
            auto racer = [&] {
                ready.fetch_add(1);
                while (ready.load() < 2) {
                }
                nullWrite();
            };
            std::thread a(racer), b(racer);
            a.join();
            b.join();
        }},
};

int runCase(const char* name, const char* where)
{
    const Case* chosen = nullptr;
    for (const Case& c : kCases)
        if (std::strcmp(c.name, name) == 0)
            chosen = &c;
    if (!chosen) {
        std::fprintf(stderr, "unknown case %s\n", name);
        return 2;
    }
    qm::installCrashHandlers(qm::configDir(), "1.1.0");
    qm::addTrail("Button: Save");
    qm::addTrail("Window: Settings");
    return qm::runGuarded([&] {
        if (std::strcmp(where, "worker") == 0) {
            std::thread worker(chosen->fail);
            worker.join();
        } else {
            chosen->fail();
        }
        return 0;
    });
}

// Entry n is "entry <n> " padded with x to a length that n fixes, so that a
// torn or mixed entry cannot pass for a whole one.
std::string stressEntry(unsigned n)
{
    std::string s = "entry " + std::to_string(n) + " ";
    s.append(n % 97, 'x');
    return s;
}

int runStress(unsigned seed)
{
    qm::installCrashHandlers(qm::configDir(), "1.1.0");
    std::mt19937 rng(seed);
    int delayUs = int(rng() % 20000);
    std::thread killer([delayUs] {
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
        nullWrite();
    });
    for (unsigned n = 0;; ++n)
        qm::addTrail(stressEntry(n));
}

// Rewrites both files with values that all follow from one counter, so a
// reader can tell a whole file from a mixed one.
int runWriter(int start)
{
    for (int n = start;; ++n) {
        qm::Settings s;
        s.syncMinutes = n;
        s.lastDir = "dir-" + std::to_string(n);
        s.windowW = n % 2 ? 1000 + n : 1280;
        qm::writeSettings(s);
        qm::Session session;
        session.email = "user" + std::to_string(n) + "@example.com";
        session.token = "token-" + std::to_string(n);
        session.user_id = n;
        session.display_name = std::string(size_t(n % 50), 'n');
        qm::saveSession(session);
        if (n == start)
            std::fputs("ready\n", stdout), std::fflush(stdout);
    }
}

// Prints the exception report and the signal report of a trail that holds
// bytes that are not UTF-8, for a strict JSON reader.
int runRender()
{
    qm::addTrail("Button: " + std::string(60, '\xc3') + std::string(60, '\xa9'));
    qm::addTrail("Button: x" + std::string(100, ' ') + "\xc3\xa9\xc3\xa9");
    qm::addTrail("List: \xff\xfe bad");
    qm::CrashRecord base;
    base.id = qm::makeReportId();
    base.app_version = "1.1.0";
    base.os = "linux";
    base.os_version = qm::osVersionText();
    base.arch = std::string(qm::buildArch());
    base.started = qm::localTimeText(0);
    qm::CrashRecord r = qm::makeCrashRecord(base, "exception", "qm::ValueError", "bad \xe2\x82", "a\nb\n");
    std::fputs(qm::renderCrashReport(r).c_str(), stdout);
    std::fputs("\x1e\n", stdout);
    base.trail = qm::actionTrail();
    std::string compact = qm::renderSignalReportPrefix(base);
    compact += ",\"kind\":\"signal\",\"error_type\":\"SIGSEGV\",\"message\":\"x\"}\n";
    std::fputs(compact.c_str(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "case" && argc == 4)
        return runCase(argv[2], argv[3]);
    if (mode == "stress" && argc == 3)
        return runStress(unsigned(std::strtoul(argv[2], nullptr, 10)));
    if (mode == "writer" && argc == 3)
        return runWriter(std::atoi(argv[2]));
    if (mode == "render")
        return runRender();
    std::fputs("usage: crash_probe case NAME main|worker | stress SEED | writer START | render\n", stderr);
    return 2;
}
