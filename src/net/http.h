#pragma once
// HTTPS requests made by running the system's curl command. The program has
// no TLS of its own: each call starts one curl with a fixed command line,
// feeds it the body on standard input and reads back the body (or curl's
// error line) followed by the HTTP status. Calls block; they run on worker
// threads only, and may run on several at once.
//
// Nothing here raises: every failure, including a missing curl or an
// operating-system error, comes back as a result with `ok` false.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct HttpResult {
    bool ok = false;          // curl ran, exited 0 and reported a status
    std::int32_t status = 0;  // the HTTP status; 0 whenever ok is false
    std::string text;         // the body (empty for a download) or an error message
};

struct HttpsUrl {
    std::string host;
    std::string path;  // from the first "/" after the host on; "/" when there is none
};

// The host and path of an "https://" address; nothing for any other address.
std::optional<HttpsUrl> splitHttpsUrl(std::string_view url);

// Lets another thread stop running calls: the curl child is killed and the
// call returns a failure at once. A cancelled token stays cancelled, and
// calls started with it later fail without starting curl.
class HttpCancel {
public:
    HttpCancel();
    ~HttpCancel();
    HttpCancel(const HttpCancel&) = delete;
    HttpCancel& operator=(const HttpCancel&) = delete;

    void cancel();
    bool cancelled() const { return m_cancelled.load(); }
    // Readable once cancelled; for the calls' poll loop.
    int waitFd() const { return m_pipe[0]; }

private:
    std::atomic<bool> m_cancelled{false};
    int m_pipe[2] = {-1, -1};
};

// The failure text of a call stopped through its HttpCancel.
inline constexpr std::string_view httpCancelledMessage = "The request was cancelled.";

// Replies are held whole in memory, so each call has a cap on the reply's
// size; an answer over it is a failure (with replyTooLargeMessage) however
// it arrives: announced by the server or only counted on the way in.
inline constexpr std::uint64_t kMaxApiReplyBytes = std::uint64_t(16) << 20;
std::string replyTooLargeMessage(std::uint64_t cap);

// POSTs `body` byte for byte. `extraHeaders` are whole header lines; they reach
// curl through a private file, never the command line.
HttpResult httpPost(std::string_view url, std::string_view body, std::string_view contentType, int timeoutMs,
    const std::vector<std::string>& extraHeaders, const HttpCancel* cancel = nullptr,
    std::uint64_t maxReplyBytes = kMaxApiReplyBytes);

// GETs the address, following redirects (to https only).
HttpResult httpGet(std::string_view url, int timeoutMs, const HttpCancel* cancel = nullptr,
    std::uint64_t maxReplyBytes = kMaxApiReplyBytes);

// Saves the body at `targetPath`; allows 30 minutes and at most `maxBytes`
// (the size the release's manifest gives). Unless the answer is a complete
// 200 within that size, no file is left at `targetPath`.
HttpResult httpDownload(
    std::string_view url, const std::string& targetPath, std::uint64_t maxBytes, const HttpCancel* cancel = nullptr);

// The program writes request bodies into pipes whose reader may be gone;
// that must give an error, not kill the process. The calls above make sure
// of it themselves; start-up may call this earlier.
void ignoreSigpipe();

}  // namespace qm
