// The reading of API answers; the requests themselves are checked at a local
// HTTPS service in tests/oracles/net_https.py.
#include "core/errors.h"
#include "net/api.h"
#include "net/api_internal.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

const std::string server = "https://svc.example";
const std::string noApi =
    "This server does not have the app API yet (https://svc.example/api/v1). The site needs its app update";

TEST(ApiAnswer, MappingTable)
{
    struct Case {
        HttpResult http;
        bool ok;
        int status;
        bool transport;
        std::string code;
        std::string message;
        bool hasReply;
    } cases[] = {
        {{false, 0, "curl: (7) Failed to connect"}, false, 0, true, "", "curl: (7) Failed to connect", false},
        {{false, 0, ""}, false, 0, true, "", "No connection", false},
        {{true, 200, R"({"user":{"id":1}})"}, true, 200, false, "", "", true},
        {{true, 204, R"({})"}, true, 204, false, "", "", true},
        {{true, 200, "[1]"}, false, 200, false, "", "The answer from quenmark.example was not understood (200).", true},
        {{true, 200, ""}, false, 200, false, "", "The answer from quenmark.example was not understood (200).", false},
        {{true, 302, "<html>"}, false, 302, false, "", "The answer from quenmark.example was not understood (302).",
            false},
        {{true, 404, "<html>"}, false, 404, false, "no_api", noApi + ".", false},
        {{true, 429, "slow"}, false, 429, false, "", "Too many attempts: try again in a minute.", false},
        {{true, 500, "oops"}, false, 500, false, "", "quenmark.example answered 500. Try again later.", false},
        {{true, 503, "null"}, false, 503, false, "", "quenmark.example answered 503. Try again later.", true},
        {{true, 401, R"({"error":"Signed out."})"}, false, 401, false, "unauthorized", "Signed out.", true},
        {{true, 401, R"({"code":"two_factor_required"})"}, false, 401, false, "two_factor_required",
            "quenmark.example answered 401.", true},
        {{true, 404, R"({"error":"x"})"}, false, 404, false, "no_api",
            noApi + "; until then the budget stays on this device.", true},
        {{true, 404, R"({"code":"no_user","error":"Unknown"})"}, false, 404, false, "no_user", "Unknown", true},
        {{true, 409, R"({"error":["a"],"code":5})"}, false, 409, false, "", "quenmark.example answered 409.", true},
    };
    for (const Case& c : cases) {
        ApiResult r = readApiAnswer(server, c.http);
        SCOPED_TRACE(c.http.text);
        EXPECT_EQ(r.ok, c.ok);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.transportFailed, c.transport);
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.message, c.message);
        EXPECT_EQ(r.reply.has_value(), c.hasReply);
    }
}

TEST(ApiAnswer, BodyMustBeAnObject)
{
    EXPECT_THROW(callApi("https://svc.example", "me", Json::array(), "tok", 30000), ValueError);
}

TEST(ApiAnswer, EveryKindHasItsPath)
{
    EXPECT_EQ(accountRequestPath(akMe), "me");
    EXPECT_EQ(accountRequestPath(akCheckVerified), "me");
    EXPECT_EQ(accountRequestPath(akLoginWithCode), "auth/login");
    EXPECT_EQ(accountRequestPath(akCalendarTokenOff), "me/calendar-token/off");
}

}  // namespace
}  // namespace qm
