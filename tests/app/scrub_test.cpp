#include "app/scrub.h"

#include "app/account_state.h"
#include "app/app_harness.h"
#include "app/env_helpers.h"
#include "app/session.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using testing::ScopedEnv;

struct Scrub : ::testing::Test {
    ScrubIdentity saved = scrubIdentity();
    void TearDown() override
    {
        setScrubIdentity(saved);
        setScrubSession("", "");
        setScrubPasswords({});
    }
};

TEST_F(Scrub, TextTable)
{
    setScrubIdentity({"/home/Ann", "ann", "box7"});
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"/HOME/ann/x", "~/<path>"},
        {"open /home/ann/notes/plan.pdf failed", "open ~/<path>.pdf failed"},
        {"~/notes/plan.docx", "~/<path>"},
        {"\\home\\ann\\a.png", "~/<path>.png"},
        {"write ann.lee+x@mail.example.com, ok", "write <email>, ok"},
        {"?email=ann.lee%40example.com&x=1", "?email=<email>&x=1"},
        {"ann%2Blee%40Mail.Example.com ok", "<email> ok"},
        {"100%40", "100%40"},
        {"a%40b", "a%40b"},
        {"user@localhost", "user@localhost"},
        {"@example.com", "@example.com"},
        {"a@b@c.d", "a@b@c.d"},
        {"see report.PDF", "see <file>.pdf"},
        {"report.docx", "report.docx"},
        {".pdf", ".pdf"},
        {"<path>.pdf", "<path>.pdf"},
        {"C:\\Users\\x\\a.png", "<path>.png"},
        {"(/var/log/x.txt)", "(<path>.txt)"},
        {"/tmp", "/tmp"},
        {"at /usr/lib/x", "at <path>"},
        {"\\\\server\\share\\f.csv", "<path>.csv"},
        {"key=/etc/app/conf.json;", "key=<path>.json;"},
        {"mount path=/media/zed/disk/plan.pdf", "mount path=<path>.pdf"},
        {"opts{/srv/data/a.csv}", "opts{<path>.csv}"},
        {"run `/srv/tool/bin` now", "run `<path>` now"},
        {"/home/anna/plans", "<path>"},
        {"/home/ann.old/plans", "<path>"},
        {"/home/ann", "~"},
        {"at /home/ann: gone", "at ~: gone"},
        {"{/home/ann}", "{~}"},
        {R"({"email":"x","password":"p w\"q","n":1})", R"({"email":"x","password":"<secret>","n":1})"},
        {"new_password=pw9&current_password = 'a b'", "new_password=<secret>&current_password = '<secret>'"},
        {"X-Auth-Token: abc.def rest", "X-Auth-Token: <secret> rest"},
        {"calendar_token=zz;", "calendar_token=<secret>;"},
        {"client_secret:\"s\"", "client_secret:\"<secret>\""},
        {"token expired, passwordless sign-in", "token expired, passwordless sign-in"},
        {"password=", "password="},
        {"password: \"unterminated", "password: \"<secret>"},
        {" =/etc/app/conf.json", " =<path>.json"},
        {"Ann. and ann", "<user>. and <user>"},
        {"annotate ann_lee ann-x", "annotate ann_lee ann-x"},
        {"\xc3\xa9"
         "ann\xc3\xa9",
            "\xc3\xa9<user>\xc3\xa9"},
        {"on box7: ok", "on <computer>: ok"},
        {"box7s", "box7s"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(scrubText(c.in), c.out) << c.in;
}

TEST_F(Scrub, TheSessionsSecretsWhereverTheyShow)
{
    setScrubIdentity({"/home/ann", "ann", "box7"});
    setScrubSession("tok-7f3a9c0e", "Ann@LocalHost");
    setScrubPasswords({"hunter22", "abc"});
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"auth tok-7f3a9c0e rejected", "auth <token> rejected"}, {"Bearer:tok-7f3a9c0e", "Bearer:<token>"},
        {"from ann@localhost and ANN@LOCALHOST", "from <email> and <email>"},
        {"login?email=ann%40localhost", "login?email=<email>"}, {"typed hunter22!", "typed <secret>!"},
        {"abc stays", "abc stays"},  // too short to replace blindly
    };
    for (const Case& c : cases)
        EXPECT_EQ(scrubText(c.in), c.out) << c.in;
    setScrubSession("", "");
    setScrubPasswords({});  // signed out: nothing of the old session is special any more
    EXPECT_EQ(scrubText("tok-7f3a9c0e zed@localhost"), "tok-7f3a9c0e zed@localhost");
}

TEST_F(Scrub, TheSessionFileKeepsTheScrubberCurrent)
{
    testing::TempDir tmp;
    ScopedEnv env;
    env.set("XDG_CONFIG_HOME", tmp.path());
    Session s;
    s.email = "bo@example.org";
    s.token = "sess-91ab77";
    saveSession(s);
    EXPECT_EQ(scrubText("sess-91ab77"), "<token>");
    deleteSession();
    EXPECT_EQ(scrubText("sess-91ab77"), "sess-91ab77");
    saveSession(s);
    setScrubSession("", "");
    EXPECT_EQ(loadSession().token, "sess-91ab77");
    EXPECT_EQ(scrubText("sess-91ab77"), "<token>");
    deleteSession();
}

TEST_F(Scrub, PasswordsQueuedForTheServiceAreScrubbed)
{
    testing::AppHarness h;
    h.start();
    queueAccountRequest(*h, akPassword, {.current_password = "old-Pw-1", .email = "e", .new_password = "new-Pw-2"});
    EXPECT_EQ(scrubText("had old-Pw-1, wants new-Pw-2"), "had <secret>, wants <secret>");
    queueAccountRequest(*h, akTheme, {.theme = "dark"});  // no password: the last ones stay known
    EXPECT_EQ(scrubText("old-Pw-1"), "<secret>");
}

TEST_F(Scrub, ShortOrMissingNamesAreNotReplaced)
{
    setScrubIdentity({"/h", "al", ""});
    EXPECT_EQ(scrubText("al /h x"), "al /h x");
    EXPECT_EQ(replaceAsWord("ab abc", "ab", "<x>"), "ab abc");
    EXPECT_EQ(replaceAsWord("abc ABC xabc", "abc", "<x>"), "<x> <x> xabc");
}

TEST_F(Scrub, IdentityFromTheEnvironment)
{
    struct Case {
        std::optional<std::string> home, username, user;
        std::string wantHome, wantUser;
    };
    const Case cases[] = {
        {"/home/ann", "ann", "root", "/home/ann", "ann"},
        {"/home/ann//", std::nullopt, "ann", "/home/ann", "ann"},
        {"/", "", "ann", "", "ann"},
        {std::nullopt, std::nullopt, std::nullopt, "", ""},
        {"C:\\Users\\ann\\", "bob", "ann", "C:\\Users\\ann", "bob"},
    };
    for (const Case& c : cases) {
        ScopedEnv env;
        env.set("HOME", c.home).set("USERNAME", c.username).set("USER", c.user).set("HOSTNAME", "pc1");
        ScrubIdentity id = scrubIdentityFromEnvironment();
        EXPECT_EQ(id.home, c.wantHome);
        EXPECT_EQ(id.user, c.wantUser);
        EXPECT_EQ(id.host, "pc1");
    }
}

TEST_F(Scrub, HomeOfRootOrUnsetScrubsNothingOfIt)
{
    ScopedEnv env;
    env.set("HOME", "/").set("USERNAME", std::nullopt).set("USER", std::nullopt);
    setScrubIdentity(scrubIdentityFromEnvironment());
    EXPECT_EQ(scrubText("/ x"), "/ x");
}

TEST(KeptExtension, Table)
{
    EXPECT_EQ(keptExtension("a/b/plan.PDF"), ".pdf");
    EXPECT_EQ(keptExtension("a\\b.c/plan"), "");
    EXPECT_EQ(keptExtension("a/.json"), "");
    EXPECT_EQ(keptExtension("x.tar.gz"), "");
    EXPECT_EQ(keptExtension("x.WOFF2"), ".woff2");
    EXPECT_EQ(keptExtension("b.quenmrkcrash"), ".quenmrkcrash");
}

TEST(TrimStack, Table)
{
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"  /opt/b/src/app(3) main", "  src/app(3) main"},
        {"\t/x/lib/y/src/z.c", "\tsrc/z.c"},
        {"C:\\b\\src\\a.cpp", "src\\a.cpp"},
        {"at /usr/lib/libc.so", "at lib/libc.so"},
        {"no markers here", "no markers here"},
        {"\n\r\nfirst\r\n\r\nsecond\rthird\n", "first\n\nsecond\nthird\n"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(trimStack(c.in), c.out) << c.in;
}

TEST_F(Scrub, RecordFieldsThatAreCleaned)
{
    setScrubIdentity({"/home/ann", "ann", "box7"});
    CrashRecord r;
    r.os_version = "ann's box7";
    r.message = "/home/ann/x.txt";
    r.stack = "  /home/ann/b/src/app(1)\n  ann";
    r.gpu = "box7";
    r.trail = {"Button: ann@example.com"};
    r.context = {{"ann", "box7"}};
    CrashRecord s = scrubCrashRecord(r);
    EXPECT_EQ(s.os_version, r.os_version);
    EXPECT_EQ(s.message, "~/<path>.txt");
    EXPECT_EQ(s.stack, "  src/app(1)\n  <user>");
    EXPECT_EQ(s.gpu, "<computer>");
    EXPECT_EQ(s.trail[0], "Button: <email>");
    EXPECT_EQ(s.context[0].first, "ann");
    EXPECT_EQ(s.context[0].second, "<computer>");
}

}  // namespace
}  // namespace qm
