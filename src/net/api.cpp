#include "net/api.h"

#include "app/picture_cache.h"
#include "core/errors.h"
#include "core/service_host.h"
#include "net/api_internal.h"

namespace qm {

namespace {

constexpr int accountTimeoutMs = 30000;
constexpr int syncTimeoutMs = 60000;
constexpr int pictureTimeoutMs = 20000;

std::string answered(std::int32_t status) { return std::string(serviceLabel) + " answered " + std::to_string(status); }

std::string noApiMessage(std::string_view server)
{
    return "This server does not have the app API yet (" + std::string(server)
        + "/api/v1). The site needs its app update";
}

std::string stringMember(const Json& object, const char* key)
{
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

}  // namespace

std::string_view accountRequestPath(AccountRequestKind kind)
{
    switch (kind) {
    case akMe:
        return "me";
    case akLogin:
        return "auth/login";
    case akSignup:
        return "auth/signup";
    case akForgotPassword:
        return "auth/forgot-password";
    case akLoginWithCode:
        return "auth/login";
    case akResendVerification:
        return "auth/resend-verification";
    case akProfile:
        return "me/profile";
    case akEmail:
        return "me/email";
    case akPassword:
        return "me/password";
    case akTheme:
        return "me/theme";
    case akTwoFactorSetup:
        return "me/2fa/setup";
    case akTwoFactorEnable:
        return "me/2fa/enable";
    case akTwoFactorDisable:
        return "me/2fa/disable";
    case akDeleteAccount:
        return "me/delete";
    case akCalendarToken:
        return "me/calendar-token";
    case akLogout:
        return "auth/logout";
    case akCheckVerified:
        return "me";
    case akAvatarUpload:
        return "me/avatar/upload";
    case akAvatarDelete:
        return "me/avatar/delete";
    case akCalendarTokenOff:
        return "me/calendar-token/off";
    }
    return "me";
}

ApiResult readApiAnswer(std::string_view server, const HttpResult& http)
{
    ApiResult result;
    if (!http.ok) {
        result.transportFailed = true;
        result.message = http.text.empty() ? "No connection" : http.text;
        return result;
    }
    result.status = http.status;
    try {
        result.reply = parseJson(http.text);
    } catch (const ValueError&) {
        // an answer that is not JSON is judged by its status below
    }
    bool success = http.status >= 200 && http.status <= 299;
    if (!result.reply || !result.reply->is_object()) {
        if (http.status == 404) {
            result.code = "no_api";
            result.message = noApiMessage(server) + ".";
        } else if (http.status == 429) {
            result.message = "Too many attempts: try again in a minute.";
        } else if (http.status >= 500) {
            result.message = answered(http.status) + ". Try again later.";
        } else {
            result.message = notUnderstoodMessage(http.status);
        }
        return result;
    }
    if (success) {
        result.ok = true;
        return result;
    }
    result.message = stringMember(*result.reply, "error");
    result.code = stringMember(*result.reply, "code");
    if (result.message.empty())
        result.message = answered(http.status) + ".";
    if (http.status == 401 && result.code.empty())
        result.code = "unauthorized";
    if (http.status == 404 && result.code.empty()) {
        result.code = "no_api";
        result.message = noApiMessage(server) + "; until then the budget stays on this device.";
    }
    return result;
}

std::string notUnderstoodMessage(std::int32_t status)
{
    return "The answer from " + std::string(serviceLabel) + " was not understood (" + std::to_string(status) + ").";
}

ApiResult callApi(std::string_view server, std::string_view path, const std::optional<Json>& body,
    std::string_view token, int timeoutMs, const HttpCancel* cancel)
{
    Json payload = body ? *body : Json::object();
    if (!payload.is_object())
        throw ValueError("an API call's body must be a JSON object");
    if (!token.empty())
        payload["token"] = std::string(token);
    std::string url = std::string(server) + "/api/v1/" + std::string(path);
    HttpResult http = httpPost(url, dumpJson(payload), "application/json", timeoutMs, {}, cancel);
    return readApiAnswer(server, http);
}

NetReply emptyReplyTo(const NetRequest& request)
{
    NetReply reply;
    reply.category = request.category;
    reply.kind = request.kind;
    reply.highestSeq = request.highestSeq;
    reply.budgetId = request.budgetId;
    reply.serial = request.serial;
    if (request.category == rcPicture)
        reply.pictureKey = request.etag;
    return reply;
}

NetReply performRequest(const NetRequest& request, const HttpCancel* cancel)
{
    NetReply reply = emptyReplyTo(request);
    switch (request.category) {
    case rcAccount: {
        Json body = Json::object();
        for (const AccountFieldKey& field : accountFieldKeys)
            if (const std::optional<std::string>& value = request.fields.*field.member)
                body[std::string(field.key)] = *value;
        body["device_name"] = std::string(deviceName);
        if (request.kind == akDeleteAccount)
            body["confirm"] = "DELETE";
        reply.result =
            callApi(request.server, accountRequestPath(request.kind), body, request.token, accountTimeoutMs, cancel);
        break;
    }
    case rcSync: {
        Json ops = request.ops ? *request.ops : Json::array();
        reply.opCount = ops.is_array() ? std::int32_t(ops.size()) : 0;
        Json body = Json::object();
        body["ops"] = std::move(ops);
        body["etag"] = request.etag;
        reply.result = callApi(request.server, "sync", body, request.token, syncTimeoutMs, cancel);
        break;
    }
    case rcPicture: {
        reply.pictureKey = request.etag;
        if (request.pictureByPost) {
            Json body = Json::object();
            body["token"] = request.token;
            HttpResult http = httpPost(
                request.server, dumpJson(body), "application/json", pictureTimeoutMs, {}, cancel, kMaxPictureBytes);
            reply.result.ok = http.ok && (http.status == 200 || http.status == 204);
            if (http.ok && http.status == 200)
                reply.pictureData = std::move(http.text);
            reply.pictureByPost = true;
        } else {
            HttpResult http = httpGet(request.server, pictureTimeoutMs, cancel, kMaxPictureBytes);
            reply.result.ok = http.ok && http.status == 200;
            if (reply.result.ok)
                reply.pictureData = std::move(http.text);
        }
        break;
    }
    }
    return reply;
}

}  // namespace qm
