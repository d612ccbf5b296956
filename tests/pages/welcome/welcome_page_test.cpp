// The welcome page driven as a user would (clicks on widgets by id, typed
// characters, Enter and Escape) over the headless AppState: what each form
// refuses and what it queues, Escape's way back, and the two-factor code
// that goes out by itself once. No service: the pump is not installed, so a
// queued request stays in the hand-off record for the test to read.
#include <gtest/gtest.h>

#include "app/account_state.h"
#include "app/app_harness.h"
#include "app/budget_io.h"
#include "app/page_table.h"
#include "model/transaction_edits.h"
#include "net/account_replies.h"
#include "net/api.h"
#include "net/net_harness.h"
#include "pages/welcome/welcome_page.h"
#include "platform/keys.h"

namespace qm {
namespace {

using testing::AppHarness;

TEST(LooksLikeEmail, Shapes)
{
    const std::vector<std::pair<std::string, bool>> cases = {
        {"a@b.c", true},
        {"a@.bc", false},
        {"a@bc", false},
        {"@ab.cd", false},
        {"an n@b.cd", false},
        {"ann@example.test", true},
        {"ann@example", false},
        {"ann@ex.a.b@c.de", true},
        {"", false},
    };
    for (const auto& [text, ok] : cases)
        EXPECT_EQ(looksLikeEmail(text), ok) << text;
}

class WelcomePage : public ::testing::Test {
protected:
    AppHarness h;

    void SetUp() override
    {
        PageTable table;
        table.drawWelcomePage = drawWelcomePage;
        setPageTable(table);
        h.start();
        h->ui->recorder = std::make_unique<WidgetRecorder>();
        h.frame();
        ASSERT_EQ(h->page, pageWelcome);
    }
    void TearDown() override { setPageTable({}); }

    const WidgetRecord* find(const std::string& id)
    {
        for (const WidgetRecord& r : h->ui->recorder->records)
            if (r.label == id)
                return &r;
        return nullptr;
    }
    bool shown(const std::string& id) { return find(id) != nullptr; }
    void click(const std::string& id)
    {
        const WidgetRecord* r = find(id);
        ASSERT_TRUE(r) << id;
        h.click(r->rect.x + r->rect.w / 2, r->rect.y + r->rect.h / 2);
        h.frames(2);
    }
    void type(const std::string& text)
    {
        for (char c : text) {
            WindowEvent e;
            e.kind = weText;
            e.codepoint = c;
            h.feed(e);
        }
        h.frame();
    }
    void press(uint8_t key)
    {
        h.key(key);
        h.frames(2);
    }
    // Into the field: a click, the text, then a click elsewhere writes it back.
    void fill(const std::string& id, const std::string& text)
    {
        click(id);
        type(text);
    }
    // The code form for ann@example.test, its field holding the keyboard.
    void codeForm()
    {
        welcomeForm(*h).email = "ann@example.test";
        welcomeForm(*h).password = "pw";
        welcomeForm(*h).mode = welcomeCode;
        welcomeForm(*h).focusRequest = "wl-code";
        h.frame();
    }
    // The form in that mode with no field holding the keyboard, so values
    // the test puts into the form are not replaced by an edit in progress.
    void mode(int32_t m)
    {
        setWelcomeMode(*h, m, false);
        welcomeForm(*h).focusRequest.clear();
        h->ui->focusId = 0;
        h.frames(2);
    }
};

TEST_F(WelcomePage, FormsRefuseWhatCannotBeSent)
{
    struct Case {
        int32_t mode;
        std::string email, password, confirm, code;
        bool agreed;
        std::string button, error;
    };
    const std::vector<Case> cases = {
        {welcomeSignIn, "ann", "pw", "", "", false, "wl-go", "Enter your email address."},
        {welcomeSignIn, "ann@example.test", "", "", "", false, "wl-go", "Enter your password."},
        {welcomeSignUp, "ann@example", "12345678", "12345678", "", true, "wl-create", "Enter a valid email address."},
        {welcomeSignUp, "ann@example.test", "1234567", "1234567", "", true, "wl-create",
            "The password needs at least 8 characters."},
        {welcomeSignUp, "ann@example.test", "12345678", "12345679", "", true, "wl-create",
            "The passwords do not match."},
        {welcomeSignUp, "ann@example.test", "12345678", "12345678", "", false, "wl-create",
            "Please agree to the Terms of Use and the Privacy Policy."},
        {welcomeReset, "ann example.test", "", "", "", false, "wl-send", "Enter your email address."},
        {welcomeCode, "ann@example.test", "pw", "", "12345", false, "wl-verify", "The code has 6 digits."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        mode(c.mode);
        WelcomeForm& f = welcomeForm(*h);
        f.email = c.email;
        f.password = c.password;
        f.confirmPassword = c.confirm;
        f.code = c.code;
        f.lastTriedCode = c.code;
        f.agreed = c.agreed;
        h.frame();
        click(c.button);
        EXPECT_EQ(welcomeForm(*h).error, c.error);
        EXPECT_FALSE(h->request.pending);
    }
    // Exactly 8 characters is enough.
    mode(welcomeSignUp);
    welcomeForm(*h).email = "ann@example.test";
    welcomeForm(*h).password = welcomeForm(*h).confirmPassword = "12345678";
    welcomeForm(*h).agreed = true;
    h.frame();
    click("wl-create");
    EXPECT_EQ(welcomeForm(*h).error, "");
    EXPECT_EQ(h->request.kind, akSignup);
}

TEST_F(WelcomePage, SentAddressesAreTrimmedAndLowerCasedPasswordsAsTyped)
{
    mode(welcomeSignUp);
    fill("wl-first", "  Ann ");
    fill("wl-last", " Lee");
    fill("wl-email", " Ann@Example.TEST ");
    fill("wl-pw", " pass word ");
    fill("wl-pw2", " pass word ");
    click("chkI agree to the Terms of Use and the Privacy Policy");
    click("wl-create");
    ASSERT_TRUE(h->request.pending) << welcomeForm(*h).error;
    EXPECT_EQ(h->request.kind, akSignup);
    AccountFields want = {
        .email = "ann@example.test", .first_name = "Ann", .last_name = "Lee", .password = " pass word "};
    EXPECT_TRUE(h->request.fields == want);
}

TEST_F(WelcomePage, EnterSubmitsExceptWhileARequestIsPending)
{
    click("wl-signin");
    EXPECT_EQ(welcomeForm(*h).mode, welcomeSignIn);
    fill("wl-email", "ann@example.test");
    click("wl-pw");
    type("secret");
    press(keyEnter);
    ASSERT_TRUE(h->request.pending);
    EXPECT_EQ(h->request.kind, akLogin);
    EXPECT_EQ(h->request.fields.password, "secret");
    EXPECT_FALSE(shown("wl-go")) << "the busy button is disabled and reacts to nothing";

    h->request.sent = true;
    click("wl-pw");
    type("x");
    press(keyEnter);
    EXPECT_TRUE(h->request.sent);
    EXPECT_EQ(h->request.fields.password, "secret");
}

TEST_F(WelcomePage, ASixDigitCodeGoesOutOnceAsItIsTyped)
{
    codeForm();
    type("12345");
    EXPECT_FALSE(h->request.pending);
    type("6");
    ASSERT_TRUE(h->request.pending);
    EXPECT_EQ(h->request.kind, akLoginWithCode);
    AccountFields want = {.code = "123456", .email = "ann@example.test", .password = "pw"};
    EXPECT_TRUE(h->request.fields == want);

    // Refused: the same code is not sent again by itself, another one is.
    h->request = {};
    welcomeForm(*h).error = "That code did not work.";
    h.frames(3);
    EXPECT_FALSE(h->request.pending);
    press(keyBackspace);
    type("7");
    ASSERT_TRUE(h->request.pending);
    EXPECT_EQ(h->request.fields.code, "123457");
}

TEST_F(WelcomePage, AClickIntoTheCodeFieldTakesTheNextCodeWhole)
{
    codeForm();
    type("123456");
    ASSERT_TRUE(h->request.pending);
    // Refused; the user clicks into the field, which still holds the keyboard, and types the next code.
    h->request = {};
    welcomeForm(*h).error = "That code did not work.";
    h.frames(2);
    for (const char* code : {"654321", "111222"}) {
        click("wl-code");
        type(code);
        ASSERT_TRUE(h->request.pending) << code;
        EXPECT_EQ(h->request.fields.code, code);
        h->request = {};
        h.frames(2);
    }
}

TEST_F(WelcomePage, BackFromASignInUnderWayDropsItsAnswer)
{
    struct Case {
        const char* what;
        bool ok;
        const char* code;
    };
    const Case cases[] = {{"a code asked for", false, "two_factor_required"}, {"signed in", true, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        mode(welcomeSignIn);
        fill("wl-email", "ann@example.test");
        fill("wl-pw", "secret pw");
        click("wl-go");
        ASSERT_TRUE(h->request.pending);
        ASSERT_EQ(h->request.kind, akLogin);
        NetReply reply;
        reply.category = rcAccount;
        reply.kind = akLogin;
        reply.serial = h->request.serial;
        reply.budgetId = h->budgetId;
        reply.result.ok = c.ok;
        reply.result.status = c.ok ? 200 : 401;
        reply.result.code = c.code;
        reply.result.reply = c.ok
            ? Json{{"user", {{"id", 7}, {"email", "ann@example.test"}, {"is_verified", true}}}, {"token", "tok-1"}}
            : Json{{"code", c.code}};
        click("wl-back");
        EXPECT_EQ(welcomeForm(*h).mode, welcomeStart);
        // The page is free for another sign-in at once.
        EXPECT_FALSE(h->request.pending);
        applyAccountReply(*h, reply);
        h.frames(2);
        EXPECT_EQ(welcomeForm(*h).mode, welcomeStart);
        EXPECT_FALSE(shown("wl-code"));
        EXPECT_TRUE(shown("wl-signin"));
        EXPECT_FALSE(isSignedIn(*h));
        EXPECT_EQ(h->budgetId, "local");
    }
}

TEST_F(WelcomePage, EscapeStepsBack)
{
    struct Case {
        int32_t from;
        bool hasData;
        int32_t mode;
        uint8_t page;
    };
    const std::vector<Case> cases = {
        {welcomeSignIn, false, welcomeStart, pageWelcome},
        {welcomeSignUp, false, welcomeStart, pageWelcome},
        {welcomeReset, false, welcomeSignIn, pageWelcome},
        {welcomeCode, false, welcomeSignIn, pageWelcome},
        {welcomeVerify, false, welcomeVerify, pageWelcome},
        {welcomeStart, false, welcomeStart, pageWelcome},
        {welcomeStart, true, welcomeStart, pageCalendar},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from);
        if (c.hasData) {
            test::addRent(*h);
        }
        h->page = pageWelcome;
        mode(c.from);
        welcomeForm(*h).email = "kept@example.test";
        h.frames(2);
        press(keyEscape);
        EXPECT_EQ(welcomeForm(*h).mode, c.mode);
        EXPECT_EQ(h->page, c.page);
        if (c.mode == welcomeSignIn && c.from != welcomeSignIn) {
            EXPECT_EQ(welcomeForm(*h).email, "kept@example.test");
        }
        EXPECT_EQ(shown("wl-close"), c.hasData && c.page == pageWelcome);
    }
}

TEST_F(WelcomePage, EscapeInAFieldOrWhileBusyStaysOnTheForm)
{
    mode(welcomeSignIn);
    click("wl-email");
    type("ann");
    press(keyEscape);
    EXPECT_EQ(welcomeForm(*h).mode, welcomeSignIn);
    h->request.pending = true;
    h->request.kind = akLogin;
    h->ui->focusId = 0;
    h.frames(2);
    press(keyEscape);
    EXPECT_EQ(welcomeForm(*h).mode, welcomeSignIn);
}

TEST_F(WelcomePage, TheVerifyFormAsksAgainOrLetsTheUserGoOn)
{
    mode(welcomeVerify);
    welcomeForm(*h).email = " Ann@Example.test";
    h.frame();
    click("wl-resend");
    EXPECT_EQ(h->request.kind, akResendVerification);
    EXPECT_TRUE(h->request.fields == AccountFields{.email = "ann@example.test"});
    EXPECT_FALSE(shown("wl-verified")) << "disabled while the request is pending";
    h->request = {};
    h.frame();
    click("wl-verified");
    EXPECT_EQ(h->request.kind, akCheckVerified);
    EXPECT_TRUE(h->request.fields == AccountFields{});
    click("wl-later");
    EXPECT_EQ(h->page, pageCalendar);
}

TEST_F(WelcomePage, BackToTheCalendarOnlyWithSomethingToGoBackTo)
{
    EXPECT_TRUE(shown("wl-signin"));
    EXPECT_FALSE(shown("wl-close"));
    h->session.token = "t";
    h.frame();
    click("wl-close");
    EXPECT_EQ(h->page, pageCalendar);
}

}  // namespace
}  // namespace qm
