#include "app/crash_report.h"

#include "app/crash_report_internal.h"
#include "app/paths.h"
#include "app/scrub.h"
#include "codecs/crypto/sha2.h"
#include "core/ascii.h"
#include "core/decimal.h"
#include "core/files.h"
#include "ui/trail.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

std::string envText(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

bool exists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::string twoDigits(int n) { return std::string(1, char('0' + n / 10 % 10)) + char('0' + n % 10); }

}  // namespace

std::string_view buildArch()
{
#if defined(__x86_64__)
    return "x86_64";
#elif defined(__i386__)
    return "i386";
#elif defined(__aarch64__)
    return "aarch64";
#elif defined(__arm__)
    return "arm";
#elif defined(__riscv) && __riscv_xlen == 64
    return "riscv64";
#else
    return "unknown";
#endif
}

std::string makeReportId()
{
    timespec wall{}, cpu{};
    ::clock_gettime(CLOCK_REALTIME, &wall);
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
    std::string temp;
    for (const char* name : {"TMPDIR", "TEMP", "TMP", "TEMPDIR"}) {
        if (const char* v = std::getenv(name)) {
            temp = v;
            break;
        }
    }
    if (temp.empty())
        temp = "/tmp";
    if (temp.back() != '/')
        temp += '/';
    std::string seed = shortestDouble(double(wall.tv_sec) + double(wall.tv_nsec) / 1e9);
    seed += std::to_string(::getpid());
    seed += shortestDouble(double(cpu.tv_sec) + double(cpu.tv_nsec) / 1e9);
    seed += temp;
    return sha256Hex(seed).substr(0, 32);
}

std::string hostNameFrom(const std::string& hostnamePath)
{
    std::string name = envText("COMPUTERNAME");
    if (!name.empty())
        return name;
    name = envText("HOSTNAME");
    if (!name.empty())
        return name;
    try {
        return std::string(trimAsciiBlanks(readFile(hostnamePath)));
    } catch (const std::exception&) {
        return {};
    }
}

std::string hostName() { return hostNameFrom("/etc/hostname"); }

std::string osVersionTextFrom(const std::string& osReleasePath, const std::string& kernelPath)
{
    try {
        std::string name = "Linux";
        if (exists(osReleasePath)) {
            std::string text = readFile(osReleasePath);
            size_t i = 0;
            while (i < text.size()) {
                size_t end = text.find('\n', i);
                if (end == std::string::npos)
                    end = text.size();
                std::string_view line(text.data() + i, end - i);
                if (line.starts_with("PRETTY_NAME=")) {
                    line.remove_prefix(12);
                    while (!line.empty() && (line.front() == '"' || line.front() == '\''))
                        line.remove_prefix(1);
                    while (!line.empty() && (line.back() == '"' || line.back() == '\''))
                        line.remove_suffix(1);
                    name = std::string(line);
                }
                i = end + 1;
            }
        }
        std::string kernel;
        if (exists(kernelPath))
            kernel = std::string(trimAsciiBlanks(readFile(kernelPath)));
        return kernel.empty() ? name : name + " (" + kernel + ")";
    } catch (const std::exception&) {
        return "linux";
    }
}

std::string osVersionText() { return osVersionTextFrom("/etc/os-release", "/proc/sys/kernel/osrelease"); }

std::string localTimeText(std::time_t when)
{
    std::tm tm{};
    if (!::localtime_r(&when, &tm))
        return {};
    std::string out = std::to_string(tm.tm_year + 1900);
    out += '-' + twoDigits(tm.tm_mon + 1) + '-' + twoDigits(tm.tm_mday);
    out += 'T' + twoDigits(tm.tm_hour) + ':' + twoDigits(tm.tm_min) + ':' + twoDigits(tm.tm_sec);
    long offset = tm.tm_gmtoff / 60;
    out += offset < 0 ? '-' : '+';
    if (offset < 0)
        offset = -offset;
    out += twoDigits(int(offset / 60)) + ':' + twoDigits(int(offset % 60));
    return out;
}

CrashRecord makeCrashRecord(const CrashRecord& base, const std::string& kind, const std::string& errorType,
    const std::string& message, const std::string& stack)
{
    CrashRecord r = base;
    r.kind = kind;
    r.error_type = errorType;
    r.message = message;
    // A single frame tells nothing a report needs.
    std::string_view trimmed = trimAsciiBlanks(stack);
    r.stack = trimmed.find_first_of("\r\n") == std::string_view::npos ? std::string() : stack;
    r.trail = actionTrail();
    r.time = localTimeText(std::time(nullptr));
    return scrubCrashRecord(r);
}

Json buildCrashReport(const CrashRecord& r)
{
    Json j = Json::object();
    j["format"] = "quenmrk-crash-report";
    j["format_version"] = 1;
    j["id"] = r.id;
    j["app_version"] = r.app_version;
    j["os"] = r.os;
    j["os_version"] = r.os_version;
    j["arch"] = r.arch;
    j["install"] = r.install;
    j["gpu"] = r.gpu;
    j["started"] = r.started;
    if (!r.time.empty())
        j["time"] = r.time;
    Json context = Json::object();
    for (const auto& [key, value] : r.context)
        context[key] = value;
    j["context"] = std::move(context);
    Json trail = Json::array();
    for (const std::string& entry : r.trail)
        trail.push_back(entry);
    j["trail"] = std::move(trail);
    auto optional = [&](const char* key, const std::string& value) {
        if (!value.empty())
            j[key] = value;
    };
    optional("kind", r.kind);
    optional("error_type", r.error_type);
    optional("message", r.message);
    optional("stack", r.stack);
    optional("description", r.description);
    optional("email", r.email);
    return j;
}

std::string renderCrashReport(const CrashRecord& record) { return dumpJson(buildCrashReport(record), 2) + "\n"; }

bool writeCrashReport(const std::string& path, const CrashRecord& record)
{
    try {
        std::string text = renderCrashReport(record);
        std::filesystem::path folder = std::filesystem::path(path).parent_path();
        if (!folder.empty() && !std::filesystem::is_directory(folder)) {
            // Reports may tell what the user was doing: the folder is the owner's alone.
            makePrivateFolders(folder.string());
        }
        // Owner-only, like the report the signal handler writes.
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0)
            return false;
        bool ok = ::fchmod(fd, 0600) == 0;
        std::string_view rest = text;
        while (ok && !rest.empty()) {
            ssize_t n = ::write(fd, rest.data(), rest.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                ok = false;
            else
                rest.remove_prefix(size_t(n));
        }
        return ::close(fd) == 0 && ok;
    } catch (const std::exception&) {
        return false;
    }
}

std::string crashReportPath(const std::string& folder, long pid)
{
    return joinPath(folder, "crash-" + std::to_string(pid) + ".json");
}

}  // namespace qm
