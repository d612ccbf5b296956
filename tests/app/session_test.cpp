#include "app/session.h"

#include "app/env_helpers.h"
#include "app/paths.h"
#include "core/files.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace qm {
namespace {

using testing::fileMode;
using testing::ScopedEnv;
using testing::TempDir;

struct SessionFile : ::testing::Test {
    TempDir tmp;
    ScopedEnv env;
    void SetUp() override { env.set("XDG_CONFIG_HOME", tmp.path()); }
};

// Sets the umask for one test and puts the old one back.
struct ScopedUmask {
    mode_t old;
    explicit ScopedUmask(mode_t mask)
        : old(::umask(mask))
    {
    }
    ~ScopedUmask() { ::umask(old); }
};

TEST_F(SessionFile, CompactLineWithAllFiveKeys)
{
    Session s;
    s.email = "ann@example.com";
    s.token = "t0k\"en";
    s.user_id = 7;
    s.signed_in_at = 1765000000.5;
    saveSession(s);
    EXPECT_EQ(readFile(sessionPath()),
        "{\"email\":\"ann@example.com\",\"token\":\"t0k\\\"en\",\"user_id\":7,\"display_name\":\"\","
        "\"signed_in_at\":1765000000.5}");
    EXPECT_EQ(loadSession(), s);
}

TEST_F(SessionFile, OwnerOnlyWhateverTheUmaskAndTheOldMode)
{
    ScopedUmask open(0);
    testing::writeText(sessionPath(), "{}");
    ::chmod(sessionPath().c_str(), 0666);
    // A leftover temporary that others could read must not be reused.
    testing::writeText(sessionPath() + ".tmp", "old");
    ::chmod((sessionPath() + ".tmp").c_str(), 0666);
    Session s;
    s.token = "secret";
    saveSession(s);
    EXPECT_EQ(fileMode(sessionPath()), 0600u);
    EXPECT_FALSE(std::filesystem::exists(sessionPath() + ".tmp"));
    EXPECT_EQ(loadSession().token, "secret");
}

TEST_F(SessionFile, UserIdKeepsAllSixtyFourBits)
{
    for (int64_t id : {int64_t(9007199254740993), INT64_MAX, INT64_MIN}) {
        Session s;
        s.token = "t";
        s.user_id = id;
        saveSession(s);
        EXPECT_NE(readFile(sessionPath()).find(std::to_string(id)), std::string::npos);
        EXPECT_EQ(loadSession().user_id, id);
    }
}

TEST_F(SessionFile, WrongTypesReadAsTheirDefaults)
{
    struct Case {
        std::string text;
        Session expected;
    };
    const Case cases[] = {
        {"{\"email\":\"ann@example.com\",\"token\":12345}", {"ann@example.com", "", 0, "", 0.0}},
        {"{\"token\":\"t\",\"user_id\":1.0}", {"", "t", 0, "", 0.0}},
        {"{\"token\":\"t\",\"user_id\":9223372036854775808}", {"", "t", 0, "", 0.0}},
        {"{\"user_id\":5,\"signed_in_at\":3}", {"", "", 5, "", 3.0}},
        {"{\"signed_in_at\":1e999,\"display_name\":[]}", {}},
        {"[\"token\"]", {}},
        {"{\"token\":\"t\"", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        testing::writeText(sessionPath(), c.text);
        EXPECT_EQ(loadSession(), c.expected) << c.text;
    }
    std::filesystem::remove(sessionPath());
    EXPECT_EQ(loadSession(), Session{});
}

TEST_F(SessionFile, SymbolicLinkStaysAndItsTargetBecomesOwnerOnly)
{
    ScopedUmask open(0);
    std::string real = tmp / "vault/session.json";
    testing::writeText(real, "{}");
    ::chmod(real.c_str(), 0666);
    std::filesystem::create_directories(configDir());
    std::filesystem::create_symlink(real, sessionPath());
    Session s;
    s.token = "secret";
    saveSession(s);
    EXPECT_TRUE(std::filesystem::is_symlink(sessionPath()));
    EXPECT_EQ(fileMode(real), 0600u);
    EXPECT_EQ(loadSession().token, "secret");
    EXPECT_FALSE(std::filesystem::exists(real + ".tmp"));
}

TEST_F(SessionFile, DeleteRemovesTheFileAndAnyLeftover)
{
    deleteSession();  // nothing there: no failure
    Session s;
    s.token = "secret";
    saveSession(s);
    testing::writeText(sessionPath() + ".tmp", "{\"token\":\"secret\"}");
    deleteSession();
    EXPECT_FALSE(std::filesystem::exists(sessionPath()));
    EXPECT_FALSE(std::filesystem::exists(sessionPath() + ".tmp"));
    EXPECT_EQ(loadSession(), Session{});
}

}  // namespace
}  // namespace qm
