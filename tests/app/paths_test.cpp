#include "app/paths.h"

#include "app/env_helpers.h"
#include "app/settings.h"
#include "core/service_host.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace qm {
namespace {

using testing::ScopedEnv;
using testing::TempDir;
using Var = std::optional<std::string>;

TEST(Paths, ConfigurationFolderFromTheEnvironment)
{
    struct Case {
        Var xdg, home;
        std::string dir;
    };
    const Case cases[] = {
        {"/x/cfg", "/home/ann", "/x/cfg/quenmrk"},
        {"/x/cfg/", std::nullopt, "/x/cfg/quenmrk"},
        {"", "/home/ann", "/home/ann/.config/quenmrk"},
        {std::nullopt, "/home/ann/", "/home/ann/.config/quenmrk"},
        {std::nullopt, "/", "/.config/quenmrk"},
        {std::nullopt, std::nullopt, "/.config/quenmrk"},
        {std::nullopt, "", "/.config/quenmrk"},
        {"/", std::nullopt, "/quenmrk"},
        {std::nullopt, "/home/\xc3\xa5sa", "/home/\xc3\xa5sa/.config/quenmrk"},
    };
    for (const Case& c : cases) {
        ScopedEnv env;
        env.set("XDG_CONFIG_HOME", c.xdg).set("HOME", c.home);
        SCOPED_TRACE(c.dir);
        EXPECT_EQ(configDir(), c.dir);
        EXPECT_EQ(settingsPath(), c.dir + "/settings.json");
        EXPECT_EQ(sessionPath(), c.dir + "/session.json");
        EXPECT_EQ(budgetFolder("local"), c.dir + "/budgets/local");
        EXPECT_EQ(budgetFolder("42"), c.dir + "/budgets/42");
    }
}

TEST(Paths, JoinPutsOneSlashBetween)
{
    EXPECT_EQ(joinPath("/a", "b"), "/a/b");
    EXPECT_EQ(joinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(joinPath("/a", "/b"), "/a/b");
    EXPECT_EQ(joinPath("/a//", "//b"), "/a/b");
    EXPECT_EQ(joinPath("/", "b"), "/b");
    EXPECT_EQ(joinPath("//", "b"), "/b");
}

TEST(Paths, DocumentsFolderOrHome)
{
    TempDir tmp;
    ScopedEnv env;
    env.set("HOME", tmp.path());
    EXPECT_EQ(documentsDir(), tmp.path() + "/");
    testing::writeText(tmp / "Documents", "a file, not a folder");
    EXPECT_EQ(documentsDir(), tmp.path() + "/");
    std::filesystem::remove(tmp / "Documents");
    std::filesystem::create_directory(tmp / "Documents");
    EXPECT_EQ(documentsDir(), tmp.path() + "/Documents");

    env.set("HOME", "/nonexistent/ann");
    EXPECT_EQ(documentsDir(), "/nonexistent/ann/");
    env.set("HOME", std::nullopt);
    EXPECT_EQ(documentsDir(), std::filesystem::is_directory("/Documents") ? "/Documents" : "/");
}

TEST(Paths, ServerAddressLosesOnlySlashes)
{
    struct Case {
        Var env;
        std::string setting, url;
    };
    const Case cases[] = {
        {"https://api.quenmrk.example/", "", "https://api.quenmrk.example"},
        {"/", "http://localhost:8080", ""},
        {"///", "", ""},
        {std::nullopt, "http://localhost:8080//", "http://localhost:8080"},
        {"", "http://localhost:8080//", "http://localhost:8080"},
        {" https://a.example/ ", "", " https://a.example/ "},
        {std::nullopt, "", std::string(builtInServerUrl)},
    };
    for (const Case& c : cases) {
        ScopedEnv env;
        env.set("QUENMRK_SERVER", c.env);
        Settings s;
        s.server = c.setting;
        EXPECT_EQ(serverBaseUrl(s), c.url) << c.setting;
    }
    EXPECT_TRUE(builtInServerUrl.starts_with("https://"));
    EXPECT_FALSE(builtInServerUrl.ends_with("/"));
    EXPECT_TRUE(builtInServerUrl.ends_with(serviceLabel));
}

}  // namespace
}  // namespace qm
