#pragma once
// Steps of the curl client that tests and fuzz targets reach directly.
#include "net/http.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// curl's --max-time seconds for a limit in milliseconds.
int curlTimeLimit(int timeoutMs);

// The arguments after the program name.
std::vector<std::string> curlPostArguments(std::string_view url, std::string_view contentType, int timeoutMs,
    const std::string& headerFile, std::uint64_t maxBytes);
std::vector<std::string> curlGetArguments(std::string_view url, int timeoutMs, std::uint64_t maxBytes);
std::vector<std::string> curlDownloadArguments(
    std::string_view url, const std::string& targetPath, std::uint64_t maxBytes);

// An address as error messages may show it: without the user part, query or
// fragment, which may carry a password or a token.
std::string addressForMessage(std::string_view url);

// The result of a POST or GET from curl's joined output and exit code.
HttpResult readTransferOutput(std::string_view output, int exitCode);

// The result of a download; `removeTarget` tells whether the file must go.
struct DownloadOutcome {
    HttpResult result;
    bool removeTarget = false;
};
DownloadOutcome readDownloadOutput(std::string_view output, int exitCode);

// The executable named curl in the directories of PATH, symbolic links
// followed; nothing when there is none.
std::optional<std::string> findCurl();

}  // namespace qm
