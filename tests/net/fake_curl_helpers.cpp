#include "net/fake_curl_helpers.h"

#include "core/files.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qm::test {

namespace {

// The script resets PATH for its own tools; $FAKE_CURL_DIR is its folder.
constexpr const char* script = R"SH(#!/bin/sh
PATH=/usr/bin:/bin
d="$FAKE_CURL_DIR"
while read -r k v; do case "$k" in SigIgn:|SigBlk:) echo "$k $v";; esac; done < /proc/$$/status > "$d/signals.now"
mode=$(cat "$d/mode" 2>/dev/null)
if [ "$mode" != quiet ]; then
    printf '%s\0' "$@" > "$d/args"
    mv "$d/signals.now" "$d/signals"
    # A child run with no pipe of the shell's own sees exactly what the shell
    # inherited; listing the shell from inside a pipeline would also catch the
    # pipe the shell holds open while it starts the pipeline's second command.
    ls -l /proc/self/fd > "$d/fds.raw"
    sed -n 's/.* \([0-9]*\) -> \(.*\)/\1 \2/p' "$d/fds.raw" > "$d/fds"
    echo $$ > "$d/pid"
    prev=""
    for a in "$@"; do
        if [ "$prev" = "-H" ]; then
            case "$a" in @*) f="${a#@}"; cp "$f" "$d/headerfile"; stat -c '%a %n' "$f" > "$d/headermode";; esac
        fi
        prev="$a"
    done
fi
case "$mode" in
    sleep) exec sleep 30 ;;
    noread) ;;
    slowread) sleep 0.3; cat > "$d/stdin" ;;
    quiet|flood) cat > /dev/null ;;
    *) cat > "$d/stdin" ;;
esac
prev=""
for a in "$@"; do
    if [ "$prev" = "-o" ] && [ "$mode" = flood ]; then head -c 300000000 /dev/zero > "$a"; fi
    if [ "$prev" = "-o" ] && [ -f "$d/download" ]; then cp "$d/download" "$a"; fi
    prev="$a"
done
case " $* " in *" -o "*) ;; *) if [ "$mode" = flood ]; then head -c 300000000 /dev/zero; fi ;; esac
if [ -f "$d/stderr" ]; then cat "$d/output" >&2; else cat "$d/output" 2>/dev/null; fi
exit $(cat "$d/rc" 2>/dev/null || echo 0)
)SH";

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::string makeTempFolder()
{
    std::string dir = (std::filesystem::temp_directory_path() / "qm-net-XXXXXX").string();
    if (!::mkdtemp(dir.data()))
        throw std::runtime_error("mkdtemp failed");
    return dir;
}

void removeTree(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

int openDescriptorCount()
{
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (dirent* entry = ::readdir(dir))
            if (entry->d_name[0] != '.')
                ++count;
        ::closedir(dir);
    }
    return count - 1;
}

bool noChildren()
{
    int status;
    return ::waitpid(-1, &status, WNOHANG) < 0 && errno == ECHILD;
}

FakeCurl::FakeCurl()
    : m_dir(makeTempFolder())
{
    writeText(m_dir + "/curl", script);
    ::chmod((m_dir + "/curl").c_str(), 0755);
    const char* path = std::getenv("PATH");
    m_oldPath = path ? path : "";
    ::setenv("PATH", (m_dir + ":" + m_oldPath).c_str(), 1);
    ::setenv("FAKE_CURL_DIR", m_dir.c_str(), 1);
    answer("\n200");
}

FakeCurl::~FakeCurl()
{
    ::setenv("PATH", m_oldPath.c_str(), 1);
    removeTree(m_dir);
}

void FakeCurl::answer(const std::string& output, int exitCode, bool toStderr)
{
    writeText(m_dir + "/output", output);
    writeText(m_dir + "/rc", std::to_string(exitCode));
    if (toStderr)
        writeText(m_dir + "/stderr", "");
    else
        ::unlink((m_dir + "/stderr").c_str());
}

void FakeCurl::downloadBody(const std::string& body) { writeText(m_dir + "/download", body); }

void FakeCurl::mode(const std::string& name) { writeText(m_dir + "/mode", name); }

std::vector<std::string> FakeCurl::arguments() const
{
    std::string all = readText(m_dir + "/args");
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i] == '\0') {
            out.push_back(all.substr(start, i - start));
            start = i + 1;
        }
    return out;
}

std::string FakeCurl::input() const { return readText(m_dir + "/stdin"); }

std::string FakeCurl::record(const std::string& name) const { return readText(m_dir + "/" + name); }

bool FakeCurl::ran() const { return isRegularFile(m_dir + "/args"); }

}  // namespace qm::test
