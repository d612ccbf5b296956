#include "net/http.h"

#include "core/files.h"

#include "core/ascii.h"
#include "core/errors.h"
#include "net/http_internal.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qm {

namespace {

constexpr std::string_view noCurlPost = "The curl command is not installed, so Quenmark cannot sign in from here.";
constexpr std::string_view noCurlGet = "The curl command is not installed.";
constexpr std::string_view noCurlDownload =
    "The curl command is not installed, so Quenmark cannot download the update.";

HttpResult failure(std::string text) { return HttpResult{false, 0, std::move(text)}; }

std::string errnoText(int error) { return std::strerror(error); }

// A descriptor closed when it goes out of scope.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd)
        : m_fd(fd)
    {
    }
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return m_fd; }
    bool open() const { return m_fd >= 0; }
    void adopt(int fd)
    {
        reset();
        m_fd = fd;
    }
    int release()
    {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);  // never retried: on Linux the descriptor is gone even after EINTR
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

void makePipe(Fd& readEnd, Fd& writeEnd)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw OSError(errnoText(errno));
    readEnd.adopt(fds[0]);
    writeEnd.adopt(fds[1]);
}

void setNonBlocking(int fd)
{
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0)
        throw OSError(errnoText(errno));
}

// A file removed when it goes out of scope, whatever happened meanwhile.
struct RemovedFile {
    std::string path;
    ~RemovedFile()
    {
        if (!path.empty())
            ::unlink(path.c_str());
    }
};

std::string tempFolder()
{
    for (const char* name : {"TMPDIR", "TEMP", "TMP", "TEMPDIR"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return value;
    }
    return "/tmp";
}

// The extra header lines go to a file of a fresh, unguessable name that only
// this user can read, so that header values never show on a command line and
// two calls never share a file.
void writeHeaderFile(RemovedFile& file, const std::vector<std::string>& lines)
{
    std::string name = tempFolder() + "/quenmrk-headers-" + std::to_string(::getpid()) + "-XXXXXX.txt";
    Fd fd(::mkostemps(name.data(), 4, O_CLOEXEC));
    if (!fd.open())
        throw OSError(errnoText(errno));
    file.path = name;
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    std::string_view rest = text;
    while (!rest.empty()) {
        ssize_t n = ::write(fd.get(), rest.data(), rest.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw OSError(errnoText(errno));
        rest.remove_prefix(std::size_t(n));
    }
    if (::close(fd.release()) != 0)
        throw OSError(errnoText(errno));
}

struct CurlRun {
    std::string output;
    int exitCode = 0;
    bool cancelled = false;
    bool tooLarge = false;  // stopped because what arrived passed its cap
};

// What one run may take in. curl's --max-filesize only acts on a size the
// server announces, so the bytes are also counted as they arrive: on the
// output pipe, or in the file a download writes.
struct CurlCaps {
    std::uint64_t output = 0;
    const std::string* file = nullptr;
    std::uint64_t fileBytes = 0;
};

// Room past a reply's cap for the status line curl adds and its error text.
constexpr std::uint64_t kOutputSlack = 4096;

// How often a download's file is measured while curl writes it.
constexpr int kFileCheckMs = 50;

bool fileLargerThan(const std::string& path, std::uint64_t cap)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && std::uint64_t(st.st_size) > cap;
}

int waitForChild(pid_t pid)
{
    int status = 0;
    for (;;) {
        if (::waitpid(pid, &status, 0) == pid)
            break;
        if (errno != EINTR)
            return -1;  // ECHILD: somebody set SIGCHLD to be ignored; the outcome is unknown
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

class SpawnSetup {
public:
    SpawnSetup()
    {
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawnattr_init(&attr);
    }
    ~SpawnSetup()
    {
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
};

void check(int error)
{
    if (error != 0)
        throw OSError(errnoText(error));
}

// Runs curl with its standard error joined to its standard output, writes
// `input` (if any) to its standard input while reading the output, and reaps
// it on every path. All our descriptors are close-on-exec, so the child gets
// exactly its three standard streams, and no curl of another thread keeps
// this one's pipes open.
CurlRun runCurl(const std::string& program, const std::vector<std::string>& args,
    const std::optional<std::string_view>& input, const HttpCancel* cancel, const CurlCaps& caps)
{
    ignoreSigpipe();
    Fd outRead, outWrite, inRead, inWrite;
    makePipe(outRead, outWrite);
    if (input)
        makePipe(inRead, inWrite);

    SpawnSetup setup;
    if (input)
        check(::posix_spawn_file_actions_adddup2(&setup.actions, inRead.get(), 0));
    else
        check(::posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0));
    check(::posix_spawn_file_actions_adddup2(&setup.actions, outWrite.get(), 1));
    check(::posix_spawn_file_actions_adddup2(&setup.actions, outWrite.get(), 2));
    // Descriptors this process inherited without close-on-exec stay out of curl too.
    check(::posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3));
    // The child starts with default signal handling (SIGPIPE included, which
    // this process ignores) and nothing blocked, whatever this thread has.
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    check(::posix_spawnattr_setsigdefault(&setup.attr, &all));
    check(::posix_spawnattr_setsigmask(&setup.attr, &none));
    check(::posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK));

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    pid_t pid = 0;
    check(::posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attr, argv.data(), environ));
    outWrite.reset();
    inRead.reset();

    CurlRun run;
    try {
        setNonBlocking(outRead.get());
        std::string_view pending = input ? *input : std::string_view();
        if (inWrite.open()) {
            if (pending.empty())
                inWrite.reset();
            else
                setNonBlocking(inWrite.get());
        }
        char buffer[65536];
        while (outRead.open()) {
            pollfd fds[3];
            int count = 0;
            int outIndex = count++;
            fds[outIndex] = {outRead.get(), POLLIN, 0};
            int inIndex = -1, cancelIndex = -1;
            if (inWrite.open()) {
                inIndex = count++;
                fds[inIndex] = {inWrite.get(), POLLOUT, 0};
            }
            if (cancel) {
                cancelIndex = count++;
                fds[cancelIndex] = {cancel->waitFd(), POLLIN, 0};
            }
            if (::poll(fds, nfds_t(count), caps.file ? kFileCheckMs : -1) < 0) {
                if (errno == EINTR)
                    continue;
                throw OSError(errnoText(errno));
            }
            if (caps.file && fileLargerThan(*caps.file, caps.fileBytes)) {
                ::kill(pid, SIGKILL);
                run.tooLarge = true;
                break;
            }
            if (cancelIndex >= 0 && fds[cancelIndex].revents != 0) {
                ::kill(pid, SIGKILL);
                run.cancelled = true;
                break;
            }
            if (inIndex >= 0 && fds[inIndex].revents != 0) {
                ssize_t n = ::write(inWrite.get(), pending.data(), std::min<std::size_t>(pending.size(), 65536));
                if (n > 0) {
                    pending.remove_prefix(std::size_t(n));
                    if (pending.empty())
                        inWrite.reset();  // end of the body for curl
                } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                    // curl stopped reading (it failed, or needed no body): its
                    // exit code and output tell what happened.
                    inWrite.reset();
                }
            }
            if (fds[outIndex].revents != 0) {
                ssize_t n = ::read(outRead.get(), buffer, sizeof buffer);
                if (n > 0) {
                    run.output.append(buffer, std::size_t(n));
                    if (run.output.size() > caps.output) {
                        ::kill(pid, SIGKILL);
                        run.tooLarge = true;
                        break;
                    }
                } else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                    outRead.reset();
            }
        }
    } catch (...) {
        ::kill(pid, SIGKILL);
        outRead.reset();
        inWrite.reset();
        waitForChild(pid);
        throw;
    }
    outRead.reset();
    inWrite.reset();
    run.exitCode = waitForChild(pid);
    return run;
}

std::string exitMessage(int exitCode) { return "curl exited with code " + std::to_string(exitCode); }

// curl's exit code when the server announced more than --max-filesize.
constexpr int kCurlFileTooLarge = 63;

std::string sizeText(std::uint64_t bytes)
{
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= 1024 && bytes % 1024 == 0)
        return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

// A status text of digits only that fits an int32; anything else is 0.
std::int32_t readStatus(std::string_view text)
{
    if (text.empty())
        return 0;
    for (char c : text)
        if (!isAsciiDigit(c))
            return 0;
    std::int32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return 0;
    return value;
}

}  // namespace

HttpCancel::HttpCancel()
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw OSError(errnoText(errno));
}

HttpCancel::~HttpCancel()
{
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void HttpCancel::cancel()
{
    m_cancelled.store(true);
    char byte = 1;
    // One byte is enough to keep the read end readable for good; a full pipe
    // (EAGAIN) means it already is.
    while (::write(m_pipe[1], &byte, 1) < 0 && errno == EINTR) {
    }
}

void ignoreSigpipe()
{
    static std::once_flag once;
    std::call_once(once, [] { ::signal(SIGPIPE, SIG_IGN); });
}

std::optional<HttpsUrl> splitHttpsUrl(std::string_view url)
{
    constexpr std::string_view scheme = "https://";
    if (url.substr(0, scheme.size()) != scheme)
        return std::nullopt;
    std::string_view rest = url.substr(scheme.size());
    std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos)
        return HttpsUrl{std::string(rest), "/"};
    return HttpsUrl{std::string(rest.substr(0, slash)), std::string(rest.substr(slash))};
}

std::string replyTooLargeMessage(std::uint64_t cap)
{
    return "The server's answer was larger than " + sizeText(cap) + ", so Quenmark stopped receiving it.";
}

std::string addressForMessage(std::string_view url)
{
    std::string_view shown = url.substr(0, url.find_first_of("?#"));
    std::size_t scheme = shown.find("://");
    std::size_t hostStart = scheme == std::string_view::npos ? 0 : scheme + 3;
    std::size_t hostEnd = shown.find('/', hostStart);
    std::size_t at = shown.substr(0, hostEnd).rfind('@');
    if (at == std::string_view::npos || at < hostStart)
        return std::string(shown);
    return std::string(shown.substr(0, hostStart)) + std::string(shown.substr(at + 1));
}

int curlTimeLimit(int timeoutMs) { return timeoutMs < 2000 ? 1 : timeoutMs / 1000; }

// Besides the fixed order, every command starts with -q, which keeps curl
// from reading the user's configuration file (one line there could switch
// off certificate checks while a password is sent; proxies still come from
// the environment). It restricts curl to https (redirects included: an https
// address must never lead to plain http) and turns off its URL globbing,
// which would otherwise expand "{a,b}" or "[1-3]" in an address into several
// requests with their outputs joined.
std::vector<std::string> curlPostArguments(std::string_view url, std::string_view contentType, int timeoutMs,
    const std::string& headerFile, std::uint64_t maxBytes)
{
    std::vector<std::string> args = {"-q", "-sS", "--proto", "=https", "--globoff", "--max-time",
        std::to_string(curlTimeLimit(timeoutMs)), "--max-filesize", std::to_string(maxBytes), "-X", "POST", "-H",
        "Content-Type: " + std::string(contentType), "-H", "Accept: application/json"};
    if (!headerFile.empty()) {
        args.push_back("-H");
        args.push_back("@" + headerFile);
    }
    for (const char* arg : {"-A", "Quenmark", "--data-binary", "@-", "-w", "\n%{http_code}"})
        args.push_back(arg);
    args.push_back(std::string(url));
    return args;
}

std::vector<std::string> curlGetArguments(std::string_view url, int timeoutMs, std::uint64_t maxBytes)
{
    return {"-q", "-sS", "--proto", "=https", "--globoff", "-L", "--max-time", std::to_string(curlTimeLimit(timeoutMs)),
        "--max-filesize", std::to_string(maxBytes), "-H", "Accept: application/json", "-A", "Quenmark", "-w",
        "\n%{http_code}", std::string(url)};
}

std::vector<std::string> curlDownloadArguments(
    std::string_view url, const std::string& targetPath, std::uint64_t maxBytes)
{
    return {"-q", "-sS", "--proto", "=https", "--globoff", "-L", "--max-time", "1800", "--max-filesize",
        std::to_string(maxBytes), "-A", "Quenmark", "-o", targetPath, "-w", "%{http_code}", std::string(url)};
}

HttpResult readTransferOutput(std::string_view output, int exitCode)
{
    std::size_t lastFeed = output.rfind('\n');
    std::string_view statusText, body = output;
    if (lastFeed != std::string_view::npos) {
        statusText = trimAsciiBlanks(output.substr(lastFeed + 1));
        body = output.substr(0, lastFeed);
    }
    std::int32_t status = readStatus(statusText);
    if (exitCode != 0 || status == 0) {
        std::string_view message = trimAsciiBlanks(body);
        return failure(message.empty() ? exitMessage(exitCode) : std::string(message));
    }
    return HttpResult{true, status, std::string(body)};
}

DownloadOutcome readDownloadOutput(std::string_view output, int exitCode)
{
    std::string_view text = trimAsciiBlanks(output);
    std::string_view statusText = text.size() > 3 ? text.substr(text.size() - 3) : text;
    std::int32_t status = readStatus(statusText);
    if (exitCode != 0 || status == 0) {
        std::string message =
            text.size() < 4 ? exitMessage(exitCode) : std::string(trimAsciiBlanks(text.substr(0, text.size() - 3)));
        return {failure(std::move(message)), true};
    }
    return {HttpResult{true, status, ""}, status != 200};
}

std::optional<std::string> findCurl() { return findExecutable("curl"); }

namespace {

// What a transfer checks before it starts a child: an https address, a curl
// to run and a token not yet cancelled. Exactly one of the two is set.
struct TransferStart {
    std::string curl;
    std::optional<HttpResult> refusal;
};

TransferStart startTransfer(std::string_view url, std::string_view noCurl, const HttpCancel* cancel)
{
    if (!splitHttpsUrl(url))
        return {{}, failure("Not an https:// address: " + addressForMessage(url))};
    std::optional<std::string> curl = findCurl();
    if (!curl)
        return {{}, failure(std::string(noCurl))};
    if (cancel && cancel->cancelled())
        return {{}, failure(std::string(httpCancelledMessage))};
    return {std::move(*curl), std::nullopt};
}

// A transfer whose answer is curl's report: `run` starts curl (given its
// path) and waits for it.
template <typename Run>
HttpResult runTransfer(
    std::string_view url, std::string_view noCurl, const HttpCancel* cancel, std::uint64_t maxBytes, Run&& run)
{
    TransferStart start = startTransfer(url, noCurl, cancel);
    if (start.refusal)
        return std::move(*start.refusal);
    try {
        CurlRun result = run(start.curl, CurlCaps{maxBytes + kOutputSlack});
        if (result.cancelled)
            return failure(std::string(httpCancelledMessage));
        if (result.tooLarge || result.exitCode == kCurlFileTooLarge)
            return failure(replyTooLargeMessage(maxBytes));
        HttpResult http = readTransferOutput(result.output, result.exitCode);
        if (http.ok && http.text.size() > maxBytes)
            return failure(replyTooLargeMessage(maxBytes));
        return http;
    } catch (const std::exception& e) {
        return failure(e.what());
    }
}

}  // namespace

HttpResult httpPost(std::string_view url, std::string_view body, std::string_view contentType, int timeoutMs,
    const std::vector<std::string>& extraHeaders, const HttpCancel* cancel, std::uint64_t maxReplyBytes)
{
    return runTransfer(url, noCurlPost, cancel, maxReplyBytes, [&](const std::string& curl, const CurlCaps& caps) {
        RemovedFile headers;
        if (!extraHeaders.empty())
            writeHeaderFile(headers, extraHeaders);
        return runCurl(
            curl, curlPostArguments(url, contentType, timeoutMs, headers.path, maxReplyBytes), body, cancel, caps);
    });
}

HttpResult httpGet(std::string_view url, int timeoutMs, const HttpCancel* cancel, std::uint64_t maxReplyBytes)
{
    return runTransfer(url, noCurlGet, cancel, maxReplyBytes, [&](const std::string& curl, const CurlCaps& caps) {
        return runCurl(curl, curlGetArguments(url, timeoutMs, maxReplyBytes), std::nullopt, cancel, caps);
    });
}

HttpResult httpDownload(
    std::string_view url, const std::string& targetPath, std::uint64_t maxBytes, const HttpCancel* cancel)
{
    TransferStart start = startTransfer(url, noCurlDownload, cancel);
    if (start.refusal)
        return std::move(*start.refusal);
    DownloadOutcome outcome;
    try {
        // The file is measured while curl writes it, so an old one must not
        // count against the new download.
        ::unlink(targetPath.c_str());
        // The output pipe carries only curl's status and error lines here.
        CurlCaps caps{kOutputSlack, &targetPath, maxBytes};
        CurlRun run = runCurl(start.curl, curlDownloadArguments(url, targetPath, maxBytes), std::nullopt, cancel, caps);
        if (run.cancelled)
            outcome = {failure(std::string(httpCancelledMessage)), true};
        else if (run.tooLarge || run.exitCode == kCurlFileTooLarge || fileLargerThan(targetPath, maxBytes))
            outcome = {failure(replyTooLargeMessage(maxBytes)), true};
        else
            outcome = readDownloadOutput(run.output, run.exitCode);
    } catch (const std::exception& e) {
        outcome = {failure(e.what()), true};
    }
    if (outcome.removeTarget)
        ::unlink(targetPath.c_str());
    return outcome.result;
}

}  // namespace qm
