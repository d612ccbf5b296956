// The time limits and bodies that each kind of job hands to curl, seen by the
// recording curl. What the service receives is checked in net_https.py.
#include "core/json.h"
#include "net/api.h"
#include "net/fake_curl_helpers.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

std::string valueOf(const std::vector<std::string>& args, std::string_view option)
{
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == option)
            return args[i + 1];
    return "";
}

std::string limitOf(const std::vector<std::string>& args) { return valueOf(args, "--max-time"); }

// The reply cap: 16 MiB for the service's answers, the picture cache's own
// limit for pictures.
std::string capOf(const std::vector<std::string>& args) { return valueOf(args, "--max-filesize"); }

TEST(ApiRequests, EachJobUsesItsLimitAndBody)
{
    test::FakeCurl fake;
    fake.answer("{\"ok\":true}\n200");

    NetRequest account;
    account.category = rcAccount;
    account.server = "https://svc.example";
    account.kind = akLogin;
    account.fields = {.email = "a@b.example", .password = "pw"};
    NetReply r = performRequest(account);
    EXPECT_TRUE(r.result.ok);
    EXPECT_EQ(limitOf(fake.arguments()), "30");
    EXPECT_EQ(capOf(fake.arguments()), "16777216");
    EXPECT_EQ(fake.arguments().back(), "https://svc.example/api/v1/auth/login");
    EXPECT_EQ(parseJson(fake.input()),
        parseJson(R"({"email":"a@b.example","password":"pw","device_name":"linux Quenmark"})"));

    NetRequest sync;
    sync.category = rcSync;
    sync.server = "https://svc.example";
    sync.token = "tok";
    sync.ops = Json::array({Json{{"seq", 1}}});
    sync.etag = "e1";
    sync.highestSeq = 1;
    r = performRequest(sync);
    EXPECT_EQ(limitOf(fake.arguments()), "60");
    EXPECT_EQ(capOf(fake.arguments()), "16777216");
    EXPECT_EQ(fake.arguments().back(), "https://svc.example/api/v1/sync");
    EXPECT_EQ(parseJson(fake.input()), parseJson(R"({"ops":[{"seq":1}],"etag":"e1","token":"tok"})"));
    EXPECT_EQ(r.opCount, 1);

    NetRequest avatar;
    avatar.category = rcPicture;
    avatar.server = "https://svc.example/api/v1/me/avatar";
    avatar.token = "tok";
    avatar.pictureByPost = true;
    avatar.etag = "key";
    fake.answer("PNGDATA\n\n200");
    r = performRequest(avatar);
    EXPECT_EQ(limitOf(fake.arguments()), "20");
    EXPECT_EQ(fake.arguments()[10], "POST");
    EXPECT_EQ(capOf(fake.arguments()), "4194304");
    EXPECT_EQ(fake.input(), R"({"token":"tok"})");
    EXPECT_TRUE(r.result.ok);
    EXPECT_EQ(r.pictureData, "PNGDATA\n");
    EXPECT_EQ(r.pictureKey, "key");

    NetRequest icon;
    icon.category = rcPicture;
    icon.server = "https://svc.example/icons/3.png";
    fake.answer("ICON\n404");
    r = performRequest(icon);
    EXPECT_EQ(limitOf(fake.arguments()), "20");
    EXPECT_EQ(fake.arguments()[5], "-L");
    EXPECT_EQ(capOf(fake.arguments()), "4194304");
    EXPECT_FALSE(r.result.ok);
    EXPECT_EQ(r.pictureData, "");
}

// Every member under its own name, in the record's order, before what each
// call adds: the body's bytes are what the service has always been sent.
TEST(ApiRequests, AccountFieldsGoOutUnderTheirNamesInOrder)
{
    test::FakeCurl fake;
    fake.answer("{\"ok\":true}\n200");
    NetRequest request;
    request.category = rcAccount;
    request.server = "https://svc.example";
    request.token = "tok";
    request.kind = akDeleteAccount;
    request.fields = {.code = "1",
        .current_password = "2",
        .email = "3",
        .first_name = "4",
        .image = "5",
        .last_name = "6",
        .name = "7",
        .new_password = "8",
        .password = "9",
        .theme = "10"};
    performRequest(request);
    EXPECT_EQ(fake.input(),
        R"({"code":"1","current_password":"2","email":"3","first_name":"4","image":"5","last_name":"6","name":"7",)"
        R"("new_password":"8","password":"9","theme":"10","device_name":"linux Quenmark","confirm":"DELETE",)"
        R"("token":"tok"})");
}

}  // namespace
}  // namespace qm
