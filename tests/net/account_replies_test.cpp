// What each account reply does, answered by the functional test service
// through the real worker: accepted, refused and unreachable for every kind,
// the sign-in answers that must save nothing, two-factor, sign-up from a
// budget with data, account deletion, and replies that outlive their budget.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "app/account_state.h"
#include "app/budget_io.h"
#include "app/paths.h"
#include "core/files.h"
#include "model/record_edits.h"
#include "model/store.h"
#include "model/transaction_edits.h"
#include "net/account_replies.h"
#include "net/net_harness.h"

namespace qm {
namespace {

using test::NetTest;
namespace fs = std::filesystem;

struct KindCase {
    AccountRequestKind kind;
    AccountFields fields;
    bool signedIn;     // the call needs a session
    bool welcomeLine;  // failures go to the welcome form's error line, else to an error toast
};

const std::vector<KindCase> kindCases = {
    {akLogin, {.email = "ann@example.test", .password = "correct horse"}, false, true},
    {akSignup, {.email = "new@example.test", .first_name = "N", .password = "12345678"}, false, true},
    {akForgotPassword, {.email = "ann@example.test"}, false, true},
    {akLoginWithCode, {.code = "123456", .email = "ann@example.test", .password = "correct horse"}, false, true},
    {akResendVerification, {.email = "ann@example.test"}, false, true},
    {akCheckVerified, {}, true, true},
    {akProfile, {.first_name = "Ann", .last_name = "Lee"}, true, false},
    {akEmail, {.email = "ann2@example.test"}, true, false},
    {akPassword, {.current_password = "a", .new_password = "bbbbbbbb"}, true, false},
    {akTheme, {.theme = "dark"}, true, false},
    {akTwoFactorSetup, {}, true, false},
    {akTwoFactorEnable, {.code = "123456"}, true, false},
    {akTwoFactorDisable, {.code = "123456"}, true, false},
    {akDeleteAccount, {}, true, false},
    {akCalendarToken, {}, true, false},
    {akAvatarUpload, {.image = "aGk=", .name = "a.png"}, true, false},
    {akAvatarDelete, {}, true, false},
    {akCalendarTokenOff, {}, true, false},
};

class AccountReplies : public NetTest {
protected:
    // Signs in or out as the case needs and clears what earlier cases left.
    void prepare(const KindCase& c)
    {
        if (c.signedIn && !isSignedIn(*h))
            signIn("ann@example.test", c.kind != akCheckVerified);
        if (!c.signedIn && isSignedIn(*h))
            signOut(*h);
        h->toasts.clear();
        welcomeForm(*h) = {};
        h->request.replyError.clear();
    }

    void run(const KindCase& c)
    {
        queueAccountRequest(*h, c.kind, c.fields);
        ASSERT_TRUE(answered()) << int(c.kind);
        EXPECT_EQ(h->request.replyKind, c.kind);
    }

    std::string lastToast() { return h->toasts.empty() ? std::string("(none)") : h->toasts.back().text; }
    int lastToastKind() { return h->toasts.empty() ? -1 : h->toasts.back().kind; }
    bool errorToast(const std::string& text) { return lastToastKind() == toastError && lastToast() == text; }
};

TEST_F(AccountReplies, RefusedAndUnreachableChangeNothingAndSayWhy)
{
    start();
    service.control("user", {{"email", "ann@example.test"}, {"password", "correct horse"}, {"verified", true}});
    for (const KindCase& c : kindCases) {
        SCOPED_TRACE(int(c.kind));
        std::string path(accountRequestPath(c.kind));
        for (bool reachable : {true, false}) {
            prepare(c);
            Session before = h->session;
            std::string budget = h->budgetId;
            if (reachable) {
                service.control("fault", {{"path", path}, {"status", 400}, {"json", {{"error", "No " + path}}}});
                run(c);
                EXPECT_EQ(h->request.replyError, "No " + path);
                EXPECT_TRUE(h->online);
            } else {
                h.env.set("QUENMRK_SERVER", test::closedServer());
                run(c);
                h.env.set("QUENMRK_SERVER", service.base());
                EXPECT_EQ(h->request.replyError.rfind("No connection to quenmark.example: curl: (7) ", 0), 0u)
                    << h->request.replyError;
                EXPECT_FALSE(h->online);
            }
            EXPECT_FALSE(h->request.replyOk);
            EXPECT_EQ(h->session, before);
            EXPECT_EQ(h->budgetId, budget);
            if (c.welcomeLine)
                EXPECT_EQ(welcomeForm(*h).error, h->request.replyError);
            else
                EXPECT_TRUE(errorToast(h->request.replyError));
        }
    }
}

TEST_F(AccountReplies, AcceptedRepliesDoWhatTheirKindSays)
{
    start();
    service.control("user", {{"email", "ann@example.test"}, {"password", "correct horse"}, {"verified", true}});
    Json user = {{"id", 42}, {"email", "ann@example.test"}, {"first_name", "Ann"}, {"last_name", "Lee"},
        {"is_verified", true}, {"two_factor_enabled", true}, {"calendar_token", "cal"}};
    for (const KindCase& c : kindCases) {
        SCOPED_TRACE(int(c.kind));
        if (c.kind == akLoginWithCode)
            continue;  // the two-factor test below
        prepare(c);
        std::string path(accountRequestPath(c.kind));
        if (c.kind != akLogin && c.kind != akSignup)
            service.control("fault",
                {{"path", path}, {"status", 200},
                    {"json",
                        {{"message", "Done " + path}, {"user", user}, {"secret", "S3CRET"},
                            {"uri", "otpauth://totp/x"}}}});
        run(c);
        EXPECT_TRUE(h->request.replyOk) << h->request.replyError;
        EXPECT_TRUE(welcomeForm(*h).error.empty());
        const std::string done = "Done " + path;
        switch (c.kind) {
        case akLogin:
            EXPECT_EQ(h->budgetId, std::to_string(h->session.user_id));
            EXPECT_EQ(h->page, pageCalendar);
            // The sync schedule, run in the same frame, takes the request at once.
            EXPECT_TRUE(h->syncNowRequested || h->syncState == syncBusy);
            EXPECT_EQ(lastToast(), "Signed in as ann@example.test");
            EXPECT_EQ(testing::fileMode(h.configDir() + "/session.json") & 0777, 0600u);
            break;
        case akSignup:
            EXPECT_EQ(welcomeForm(*h).mode, welcomeVerify);
            EXPECT_EQ(welcomeForm(*h).email, "new@example.test");
            EXPECT_EQ(welcomeForm(*h).notice, "Check your inbox for the verification link.");
            EXPECT_EQ(h->syncState, syncUnverified);
            break;
        case akForgotPassword:
            EXPECT_EQ(welcomeForm(*h).notice, done);
            EXPECT_EQ(welcomeForm(*h).mode, welcomeSignIn);
            EXPECT_EQ(welcomeForm(*h).focusRequest, "wl-pw");
            break;
        case akResendVerification:
            EXPECT_EQ(welcomeForm(*h).notice, done);
            break;
        case akCheckVerified:
            EXPECT_TRUE(h->store->budget->user.is_verified);
            EXPECT_EQ(lastToast(), "Email verified: the budget now syncs with quenmark.example");
            break;
        case akTwoFactorSetup:
            EXPECT_EQ(h->request.twoFactorSecret, "S3CRET");
            EXPECT_EQ(h->request.twoFactorUri, "otpauth://totp/x");
            break;
        case akDeleteAccount:
            EXPECT_FALSE(isSignedIn(*h));
            EXPECT_EQ(lastToast(), "Your account has been deleted");
            EXPECT_EQ(h->page, pageWelcome);
            break;
        default:
            EXPECT_EQ(lastToast(), done);
            EXPECT_EQ(lastToastKind(), toastSuccess);
            if (c.kind != akPassword && c.kind != akTheme) {
                EXPECT_EQ(h->store->budget->user.calendar_token, "cal");
            }
            break;
        }
    }
}

TEST_F(AccountReplies, EveryWayTheServiceCanFailEndsInTheErrorLine)
{
    start();
    struct Case {
        Json fault;
        bool transport;
        std::string error;  // a prefix of the error line
    };
    const std::string noConnection = "No connection to quenmark.example: curl: ";
    const std::vector<Case> cases = {
        {{{"close", "before"}}, true, noConnection},
        {{{"close", "after"}}, true, noConnection},
        {{{"cut", 10}}, true, noConnection + "(18) "},
        {{{"status", 503}, {"html", "<html>down</html>"}}, false, "quenmark.example answered 503. Try again later."},
        {{{"status", 429}, {"html", "<html>slow</html>"}}, false, "Too many attempts: try again in a minute."},
        {{{"notjson", "hello"}}, false, "The answer from quenmark.example was not understood (200)."},
        {{{"status", 200}, {"json", Json::array()}}, false,
            "The answer from quenmark.example was not understood (200)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(dumpJson(c.fault));
        Json fault = c.fault;
        fault["path"] = "auth/forgot-password";
        service.control("fault", fault);
        run({akForgotPassword, {.email = "ann@example.test"}, false, true});
        EXPECT_EQ(welcomeForm(*h).error.rfind(c.error, 0), 0u) << welcomeForm(*h).error;
        EXPECT_EQ(h->online, !c.transport);
        EXPECT_TRUE(welcomeForm(*h).notice.empty());
    }
    EXPECT_EQ(service.requests("auth/forgot-password").size(), cases.size());
}

TEST_F(AccountReplies, ASignInAnswerWithoutUserOrTokenSavesNothing)
{
    start();
    const std::vector<Json> answers = {
        {{"token", "t"}},
        {{"token", "t"}, {"user", {{"id", 0}}}},
        {{"token", "t"}, {"user", {{"id", "7"}}}},
        {{"token", "t"}, {"user", {{"id", -7}}}},
        {{"token", "t"}, {"user", {{"id", 7.5}}}},
        {{"token", "t"}, {"user", {{"id", 18446744073709551615ull}}}},
        {{"token", "t"}, {"user", "7"}},
        {{"token", 7}, {"user", {{"id", 7}}}},
        {{"token", ""}, {"user", {{"id", 7}}}},
        {{"user", {{"id", 7}}}},
    };
    for (AccountRequestKind kind : {akLogin, akSignup}) {
        for (const Json& answer : answers) {
            SCOPED_TRACE(dumpJson(answer));
            service.control("fault", {{"path", accountRequestPath(kind)}, {"status", 200}, {"json", answer}});
            run({kind, {.email = "a@example.test", .password = "12345678"}, false, true});
            EXPECT_EQ(welcomeForm(*h).error, "The answer from quenmark.example was not understood (200).");
            EXPECT_FALSE(isSignedIn(*h));
            EXPECT_FALSE(isRegularFile(h.configDir() + "/session.json"));
            EXPECT_FALSE(fs::exists(h.budgetDir("7")));
            EXPECT_FALSE(fs::exists(h.budgetDir("0")));
        }
    }
}

TEST_F(AccountReplies, TwoFactorKeepsTheTypedSignInAndShowsARefusedCode)
{
    start();
    service.control("user",
        {{"email", "ann@example.test"}, {"password", "correct horse"}, {"verified", true},
            {"totp", "JBSWY3DPEHPK3PXP"}});
    welcomeForm(*h).mode = welcomeSignIn;
    welcomeForm(*h).email = " Ann@example.test ";
    welcomeForm(*h).password = "correct horse";
    welcomeForm(*h).error = "old";
    h->page = pageCalendar;  // the form's focus request stays for the page to take
    run({akLogin, {.email = "ann@example.test", .password = "correct horse"}, false, true});
    EXPECT_EQ(welcomeForm(*h).mode, welcomeCode);
    EXPECT_EQ(welcomeForm(*h).password, "correct horse");
    EXPECT_EQ(welcomeForm(*h).email, " Ann@example.test ");
    EXPECT_TRUE(welcomeForm(*h).code.empty());
    EXPECT_TRUE(welcomeForm(*h).error.empty());
    EXPECT_EQ(welcomeForm(*h).focusRequest, "wl-code");

    run({akLoginWithCode, {.code = "000000", .email = "ann@example.test", .password = "correct horse"}, false, true});
    EXPECT_EQ(welcomeForm(*h).error, "That code did not work. Try the newest one.");
    EXPECT_EQ(welcomeForm(*h).mode, welcomeCode);
    EXPECT_FALSE(isSignedIn(*h));
}

TEST_F(AccountReplies, SignUpFromABudgetWithDataMovesItIntoTheAccount)
{
    start();
    test::addRent(*h);
    saveBudget(*h);
    const Budget& b = *h->store->budget;
    size_t records = b.accounts.size() + b.categories.size() + b.transactions.size();

    run({akSignup, {.email = "new@example.test", .password = "12345678"}, false, true});
    ASSERT_TRUE(isSignedIn(*h)) << welcomeForm(*h).error;
    std::string id = std::to_string(h->session.user_id);
    EXPECT_FALSE(fs::exists(h.budgetDir("local")));
    EXPECT_EQ(h->budgetId, id);
    LocalStorePtr moved = openStore(h.budgetDir(id));
    ASSERT_EQ(moved->budget->transactions.size(), 1u);
    EXPECT_LT(moved->budget->transactions[0].id, 0);
    std::set<std::pair<int, int64_t>> created;
    for (const JournalOp& op : moved->journal)
        if (op.op == opCreate) {
            EXPECT_TRUE(created.insert({int(op.entity), op.id}).second) << "created twice";
        }
    EXPECT_EQ(created.size(), records);
}

TEST_F(AccountReplies, DeletingTheAccountRemovesItsFolderNeverTheDeviceBudget)
{
    start();
    signIn();
    std::string id = std::to_string(h->session.user_id);
    ASSERT_TRUE(fs::exists(h.budgetDir(id)));
    openBudget(*h, "local");
    saveBudget(*h);
    service.control("fault", {{"path", "me/delete"}, {"status", 200}, {"json", Json::object()}});
    run({akDeleteAccount, {}, true, false});
    EXPECT_FALSE(fs::exists(h.budgetDir(id)));
    EXPECT_TRUE(isRegularFile(h.budgetDir("local") + "/data.json"));
    EXPECT_FALSE(isRegularFile(h.configDir() + "/session.json"));
    EXPECT_EQ(service.requests("me/delete").at(0)["body"]["confirm"], "DELETE");
}

TEST_F(AccountReplies, AReplyAfterItsBudgetClosedTouchesNothing)
{
    start();
    signIn();
    service.control("fault",
        {{"path", "me/profile"}, {"stall", true}, {"status", 200},
            {"json", {{"message", "Saved"}, {"user", {{"id", 42}, {"first_name", "Zed"}}}}}});
    queueAccountRequest(*h, akProfile, {.first_name = "Zed"});
    ASSERT_TRUE(stalled(1));
    signOutOffline();
    ASSERT_EQ(h->budgetId, "local");
    saveBudget(*h);
    std::string data = readFile(h.budgetDir("local") + "/data.json");
    std::string journal = readFile(h.budgetDir("local") + "/journal.json");
    h->toasts.clear();

    service.control("release");
    ASSERT_TRUE(frameUntil([&] { return h->request.replyKind == akProfile; }));
    h.frames(5);
    EXPECT_TRUE(h->request.replyOk);
    EXPECT_FALSE(h->request.pending);
    EXPECT_EQ(readFile(h.budgetDir("local") + "/data.json"), data);
    EXPECT_EQ(readFile(h.budgetDir("local") + "/journal.json"), journal);
    EXPECT_NE(h->store->budget->user.first_name, "Zed");
    EXPECT_FALSE(isSignedIn(*h));
    EXPECT_TRUE(h->toasts.empty());
}

TEST_F(AccountReplies, AReplyLeavesARequestQueuedAfterItPending)
{
    start();
    // The sign-out step queued a logout in the frame an older reply arrives.
    queueAccountRequest(*h, akLogout, {});
    NetReply old;
    old.category = rcAccount;
    old.kind = akResendVerification;
    old.budgetId = h->budgetId;
    old.result.ok = true;
    old.result.status = 200;
    old.result.reply = Json::object();
    applyAccountReply(*h, old);
    EXPECT_TRUE(h->request.pending);
    EXPECT_EQ(h->request.kind, akLogout);
    EXPECT_EQ(h->request.replyKind, akResendVerification);
}

}  // namespace
}  // namespace qm
