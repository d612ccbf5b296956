#include "app/crash_report.h"

#include "app/crash_handlers_internal.h"
#include "app/crash_report_internal.h"
#include "app/env_helpers.h"
#include "app/scrub.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/utf8.h"
#include "ui/trail.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace qm {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

// Each '9' of the shape stands for a digit, 'f' for a lower-case hex digit.
bool hasShape(const std::string& text, const std::string& shape)
{
    if (text.size() != shape.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        bool ok = shape[i] == '9' ? (c >= '0' && c <= '9')
            : shape[i] == 'f'     ? ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))
            : shape[i] == '+'     ? (c == '+' || c == '-')
                                  : c == shape[i];
        if (!ok)
            return false;
    }
    return true;
}

std::vector<std::string> keysOf(const Json& j)
{
    std::vector<std::string> keys;
    for (const auto& [key, value] : j.items())
        keys.push_back(key);
    return keys;
}

CrashRecord fullRecord()
{
    CrashRecord r;
    r.id = "0123456789abcdef0123456789abcdef";
    r.app_version = "1.1.0";
    r.os = "linux";
    r.os_version = "Linux";
    r.arch = "x86_64";
    r.kind = "exception";
    r.error_type = "qm::ValueError";
    r.message = "m";
    r.stack = "a\nb";
    r.trail = {"Button: Save"};
    r.context = {{"b", "1"}, {"a", "2"}, {"b", "3"}};
    r.started = "2026-12-07T23:40:12+01:00";
    r.time = "2026-12-07T23:41:00+01:00";
    r.description = "d";
    r.email = "e";
    return r;
}

TEST(CrashReport, MembersInOrderAndEmptyOnesLeftOut)
{
    Json full = buildCrashReport(fullRecord());
    EXPECT_EQ(keysOf(full),
        std::vector<std::string>(
            {"format", "format_version", "id", "app_version", "os", "os_version", "arch", "install", "gpu", "started",
                "time", "context", "trail", "kind", "error_type", "message", "stack", "description", "email"}));
    EXPECT_EQ(full["format"], "quenmrk-crash-report");
    EXPECT_EQ(full["format_version"], 1);
    EXPECT_EQ(dumpJson(full["context"]), "{\"b\":\"3\",\"a\":\"2\"}");

    Json bare = buildCrashReport(CrashRecord{});
    EXPECT_EQ(keysOf(bare),
        std::vector<std::string>({"format", "format_version", "id", "app_version", "os", "os_version", "arch",
            "install", "gpu", "started", "context", "trail"}));
}

TEST(CrashReport, IndentedRenderingWithEmptyTrail)
{
    CrashRecord r;
    r.kind = "signal";
    std::string text = renderCrashReport(r);
    EXPECT_NE(text.find("\n  \"context\": {},\n  \"trail\": [],\n"), std::string::npos) << text;
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(parseJson(text)["kind"], "signal");
}

TEST(CrashReport, InvalidUtf8IsRepairedInBothRenderings)
{
    CrashRecord r;
    r.trail = {std::string("Button: x\xc3", 10), "\xff\xfe"};
    std::string indented = renderCrashReport(r);
    std::string compact = renderSignalReportPrefix(r) + "}";
    for (const std::string& text : {indented, compact}) {
        EXPECT_TRUE(isValidUtf8(text));
        Json j = parseJson(text);
        EXPECT_EQ(j["trail"][0], "Button: x\xef\xbf\xbd");
    }
}

TEST(CrashReport, SignalPrefixWithTailIsTheCompactReport)
{
    CrashRecord base;
    base.started = "2026-12-07T23:40:12+01:00";
    base.trail = {"Button: Save"};
    std::string text = renderSignalReportPrefix(base);
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(text.find("\": "), std::string::npos);
    text += ",\"kind\":\"signal\",\"error_type\":\"SIGSEGV\",\"message\":\"x\"}";
    Json j = parseJson(text);
    EXPECT_EQ(j["trail"].back(), "Button: Save");
    EXPECT_FALSE(j.contains("time"));
    EXPECT_FALSE(j.contains("stack"));
    EXPECT_EQ(keysOf(j).back(), "message");
}

TEST(CrashReport, RecordTakesTrailTimeAndOnlyRealStacks)
{
    ScrubIdentity saved = scrubIdentity();
    setScrubIdentity({"/home/ann", "ann", "box7"});
    freeTrail();
    addTrail("Button: Save");
    CrashRecord base;
    base.id = "x";
    CrashRecord one = makeCrashRecord(base, "exception", "E", "at /home/ann/a.txt", "  only one frame  \n");
    EXPECT_EQ(one.stack, "");
    EXPECT_EQ(one.message, "at ~/<path>.txt");
    EXPECT_EQ(one.trail, std::vector<std::string>({"Button: Save"}));
    EXPECT_EQ(one.id, "x");
    EXPECT_TRUE(hasShape(one.time, "9999-99-99T99:99:99+99:99")) << one.time;
    CrashRecord two = makeCrashRecord(base, "exception", "E", "", "f1 /build/src/a.cpp\nf2");
    EXPECT_EQ(two.stack, "f1 src/a.cpp\nf2");
    freeTrail();
    setScrubIdentity(saved);
}

TEST(CrashReport, LocalTimeTextWithOffset)
{
    struct Case {
        const char* tz;
        std::string text;
    };
    const Case cases[] = {
        {"UTC0", "1970-01-02T10:17:36+00:00"},
        {"<+0530>-5:30", "1970-01-02T15:47:36+05:30"},
        {"<-03>3", "1970-01-02T07:17:36-03:00"},
    };
    for (const Case& c : cases) {
        ScopedEnv env;
        env.set("TZ", c.tz);
        ::tzset();
        EXPECT_EQ(localTimeText(123456), c.text) << c.tz;
    }
    ::tzset();
}

TEST(CrashReport, OsVersionFromFiles)
{
    TempDir tmp;
    std::string release = tmp / "os-release", kernel = tmp / "osrelease";
    testing::writeText(release, "NAME=X\nPRETTY_NAME=\"Old\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=x\n");
    testing::writeText(kernel, "6.1.0-13-amd64\n");
    EXPECT_EQ(osVersionTextFrom(release, kernel), "Debian GNU/Linux 12 (bookworm) (6.1.0-13-amd64)");
    EXPECT_EQ(osVersionTextFrom(tmp / "none", tmp / "none"), "Linux");
    EXPECT_EQ(osVersionTextFrom(release, tmp / "none"), "Debian GNU/Linux 12 (bookworm)");
    // Present but unreadable as a file.
    EXPECT_EQ(osVersionTextFrom(tmp.path(), kernel), "linux");
}

TEST(CrashReport, HostNameSources)
{
    TempDir tmp;
    testing::writeText(tmp / "hostname", " \tbox7\r\n");
    ScopedEnv env;
    env.set("COMPUTERNAME", "").set("HOSTNAME", std::nullopt);
    EXPECT_EQ(hostNameFrom(tmp / "hostname"), "box7");
    EXPECT_EQ(hostNameFrom(tmp / "missing"), "");
    env.set("HOSTNAME", "h2");
    EXPECT_EQ(hostNameFrom(tmp / "hostname"), "h2");
    env.set("COMPUTERNAME", "c1");
    EXPECT_EQ(hostNameFrom(tmp / "hostname"), "c1");
}

TEST(CrashReport, IdPathAndArch)
{
    EXPECT_TRUE(hasShape(makeReportId(), std::string(32, 'f')));
    EXPECT_EQ(crashReportPath("/c/crash-reports", 4711), "/c/crash-reports/crash-4711.json");
    EXPECT_FALSE(buildArch().empty());
#if defined(__x86_64__)
    EXPECT_EQ(buildArch(), "x86_64");
#endif
}

TEST(CrashReport, WrittenOwnerOnlyAndFailureIsFalse)
{
    TempDir tmp;
    std::string path = crashReportPath(tmp / "cfg/crash-reports", 12);
    ASSERT_TRUE(writeCrashReport(path, fullRecord()));
    EXPECT_EQ(testing::fileMode(path), 0600u);
    EXPECT_EQ(testing::fileMode(tmp / "cfg/crash-reports"), 0700u);
    EXPECT_EQ(parseJson(readFile(path))["stack"], "a\nb");
    testing::writeText(tmp / "file", "x");
    EXPECT_FALSE(writeCrashReport(crashReportPath(tmp / "file/crash-reports", 12), fullRecord()));
}

TEST(CrashReport, FailureDescriptions)
{
    FailureDescription own = describeFailure(std::make_exception_ptr(IOError("disk full")), false);
    EXPECT_EQ(own.type, "qm::IOError");
    EXPECT_EQ(own.message, "disk full");
    EXPECT_NE(own.stack.find('\n'), std::string::npos);
    EXPECT_EQ(failureLine(own), "Quenmark: unhandled exception: qm::IOError: disk full\n");

    FailureDescription std = describeFailure(std::make_exception_ptr(std::out_of_range("index")), false);
    EXPECT_EQ(std.type, "std::out_of_range");
    EXPECT_EQ(std.stack, "");

    // The terminal's line is cleaned as the report is.
    ScrubIdentity saved = scrubIdentity();
    setScrubIdentity({"/home/ann", "ann", "box7"});
    FailureDescription personal = describeFailure(
        std::make_exception_ptr(IOError("open /home/ann/b/data.json failed for ann%40example.com")), false);
    EXPECT_EQ(
        failureLine(personal), "Quenmark: unhandled exception: qm::IOError: open ~/<path>.json failed for <email>\n");
    setScrubIdentity(saved);

    FailureDescription odd = describeFailure(std::make_exception_ptr(42), false);
    EXPECT_EQ(odd.type, "int");
    EXPECT_EQ(failureLine(odd), "Quenmark: unhandled exception: int\n");
}

}  // namespace
}  // namespace qm
