#pragma once
// Calls of the web service's JSON API: one HTTPS POST of a JSON object below
// "/api/v1/" per call. The reply becomes an ApiResult: an error code callers
// can branch on, and a message a person can read. performRequest runs one queued job
// (an account call, a sync or a picture download) on the worker thread; it
// touches no application state.
#include "app/account_request.h"
#include "core/json.h"
#include "net/http.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

struct ApiResult {
    bool ok = false;               // a 2xx status with a JSON object as body
    std::int32_t status = 0;       // 0 when the service was not reached
    bool transportFailed = false;  // curl failed to run or to reach the service
    std::string message;           // what to show when ok is false
    std::string code;              // machine-readable error code, possibly empty
    std::optional<Json> reply;     // the parsed answer when it was JSON
};

enum RequestCategory : std::uint8_t {
    rcSync = 0,
    rcAccount = 1,
    rcPicture = 2,
};

struct NetRequest {
    RequestCategory category = rcAccount;
    std::string server;  // the base address; for rcPicture the picture's full URL
    std::string token;   // empty when signed out
    AccountRequestKind kind = akMe;
    AccountFields fields;
    bool pictureByPost = false;  // rcPicture: the picture is asked for by a POST with the token
    std::optional<Json> ops;     // rcSync: the journal operations
    std::string etag;            // rcSync: the local copy's tag; rcPicture: the cache key
    std::int32_t highestSeq = 0;
    // The budget open when the request was made; a reply that comes back
    // after it closed must not touch the budget that is open now.
    std::string budgetId;
    std::uint32_t serial = 0;  // rcAccount: the page's count of the request
};

struct NetReply {
    RequestCategory category = rcAccount;
    AccountRequestKind kind = akMe;
    ApiResult result;  // for a picture only `ok` is set
    std::int32_t highestSeq = 0;
    std::int32_t opCount = 0;
    std::string pictureKey;
    std::string pictureData;
    bool pictureByPost = false;
    std::string budgetId;      // copied from the request
    std::uint32_t serial = 0;  // copied from the request
};

// The device name every account call carries.
inline constexpr std::string_view deviceName = "linux Quenmark";

// The path below "/api/v1/" of an account call.
std::string_view accountRequestPath(AccountRequestKind kind);

// What a person is told about an answer the program cannot read.
std::string notUnderstoodMessage(std::int32_t status);

// POSTs `body` (an object, or none for {}) with "token" added when signed in.
ApiResult callApi(std::string_view server, std::string_view path, const std::optional<Json>& body,
    std::string_view token, int timeoutMs, const HttpCancel* cancel = nullptr);

// A reply that names its request (category, kind, budget, picture key) and
// holds no outcome yet.
NetReply emptyReplyTo(const NetRequest& request);

NetReply performRequest(const NetRequest& request, const HttpCancel* cancel = nullptr);

}  // namespace qm
