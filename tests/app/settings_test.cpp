#include "app/settings.h"

#include "app/env_helpers.h"
#include "app/paths.h"
#include "core/files.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace qm {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

struct SettingsFile : ::testing::Test {
    TempDir tmp;
    ScopedEnv env;
    void SetUp() override { env.set("XDG_CONFIG_HOME", tmp.path()); }
    void put(const std::string& text) { testing::writeText(settingsPath(), text); }
};

TEST_F(SettingsFile, DefaultsRenderAsNineteenLines)
{
    writeSettings(defaultSettings());
    EXPECT_EQ(readFile(settingsPath()),
        "{\n"
        "  \"themeMode\": 2,\n"
        "  \"darkTheme\": false,\n"
        "  \"view\": \"month\",\n"
        "  \"uiScale\": 1.0,\n"
        "  \"checkUpdates\": true,\n"
        "  \"lastUpdateCheck\": 0.0,\n"
        "  \"skippedVersion\": \"\",\n"
        "  \"crashReports\": true,\n"
        "  \"server\": \"\",\n"
        "  \"syncMinutes\": 5,\n"
        "  \"lastBudget\": \"\",\n"
        "  \"windowW\": 1280,\n"
        "  \"windowH\": 820,\n"
        "  \"weekStartsMonday\": false,\n"
        "  \"lastDir\": \"\",\n"
        "  \"legalAccepted\": \"\",\n"
        "  \"legalAcceptedAt\": 0.0\n"
        "}");
    EXPECT_EQ(loadSettings(), defaultSettings());
}

TEST_F(SettingsFile, EveryValueRoundTrips)
{
    Settings s;
    s.themeMode = 0;
    s.darkTheme = true;
    s.view = "week";
    s.uiScale = 1.25;
    s.checkUpdates = false;
    s.lastUpdateCheck = 1765000000.123456;
    s.skippedVersion = "1.2.0";
    s.crashReports = false;
    s.server = "http://localhost:8080";
    s.syncMinutes = -3;
    s.lastBudget = "42";
    s.windowW = 0;
    s.windowH = 2147483647;
    s.weekStartsMonday = true;
    s.lastDir = "/home/\xc3\xa5sa/\"q\"";
    s.legalAccepted = "2026-01";
    s.legalAcceptedAt = 0.1;
    writeSettings(s);
    EXPECT_EQ(loadSettings(), s);
}

TEST_F(SettingsFile, OneKeyGivesItsValueAndTheNextWriteAllSeventeen)
{
    put("{\"themeMode\": 1}");
    Settings s = loadSettings();
    Settings expected;
    expected.themeMode = 1;
    EXPECT_EQ(s, expected);
    writeSettings(s);
    Json written = parseJson(readFile(settingsPath()));
    EXPECT_EQ(written.size(), 17u);
    EXPECT_EQ(written["themeMode"], 1);
}

TEST_F(SettingsFile, CorruptAndHostileFilesGiveDefaults)
{
    struct Case {
        std::string name;
        std::optional<std::string> text;  // nullopt: no file
        void (*expect)(Settings&);        // the one key that differs from the defaults
    };
    auto none = [](Settings&) {};
    std::string nested = std::string(100000, '[') + std::string(100000, ']');
    std::string junk(10 << 20, '\0');
    for (size_t i = 0; i < junk.size(); ++i)
        junk[i] = char((i * 2654435761u) >> 13);
    const Case cases[] = {
        {"missing", std::nullopt, none},
        {"empty", "", none},
        {"open brace", "{", none},
        {"array", "[]", none},
        {"number", "42", none},
        {"binary", std::string("\x00\x01\xff\xfe{\"themeMode\":1}", 19), none},
        {"invalid UTF-8 file", "\xff\xfe\xfd", none},
        {"invalid UTF-8 value", "{\"themeMode\":1,\"view\":\"w\xffk\"}", [](Settings& s) { s.themeMode = 1; }},
        {"nested arrays", nested, none},
        {"nested under a key", "{\"themeMode\":1,\"x\":" + nested + "}", none},
        {"10 MB of junk", junk, none},
        {"10 MB valid but too large", "{\"themeMode\":1,\"x\":\"" + std::string(10 << 20, 'a') + "\"}", none},
        {"truncated", "{\"themeMode\": 1, \"view\": \"we", none},
        {"mode as text", "{\"themeMode\":\"2\"}", none},
        {"mode as other text", "{\"themeMode\":\"0\"}", none},
        {"mode as float", "{\"themeMode\":1.0}", none},
        {"mode beyond 32 bits", "{\"themeMode\":4294967296}", none},
        {"mode beyond 64 bits", "{\"themeMode\":18446744073709551616}", none},
        {"mode above range", "{\"themeMode\":7}", none},
        {"mode below range", "{\"themeMode\":-1}", [](Settings& s) { s.themeMode = 0; }},
        {"scale too small", "{\"uiScale\":0.25}", none},
        {"scale too large", "{\"uiScale\":3.5}", none},
        {"scale overflows", "{\"uiScale\":1e999}", none},
        {"scale as text", "{\"uiScale\":\"2\"}", none},
        {"scale integer", "{\"uiScale\":2}", [](Settings& s) { s.uiScale = 2.0; }},
        {"scale at the edges", "{\"uiScale\":0.5}", [](Settings& s) { s.uiScale = 0.5; }},
        {"view capitalised", "{\"view\":\"Week\"}", none},
        {"view a number", "{\"view\":1}", none},
        {"bool as integer", "{\"darkTheme\":1}", none},
        {"time overflows", "{\"lastUpdateCheck\":-1e999}", none},
        {"width beyond 32 bits", "{\"windowW\":-2147483649}", none},
        {"width at the limit", "{\"windowW\":-2147483648}", [](Settings& s) { s.windowW = -2147483648; }},
        {"sync beyond 64 bits", "{\"syncMinutes\":99999999999999999999}", none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(settingsPath());
        if (c.text)
            put(*c.text);
        Settings expected;
        c.expect(expected);
        EXPECT_EQ(loadSettings(), expected);
    }
}

TEST_F(SettingsFile, FolderInPlaceOfTheFileGivesDefaults)
{
    std::filesystem::create_directories(settingsPath());
    EXPECT_EQ(loadSettings(), defaultSettings());
    Settings s;
    s.themeMode = 1;
    writeSettings(s);  // fails quietly
    EXPECT_TRUE(std::filesystem::is_directory(settingsPath()));
}

TEST_F(SettingsFile, TruncatedFileIsRewrittenWhole)
{
    put("{\"themeMode\": 1, \"vi");
    Settings s = loadSettings();
    EXPECT_EQ(s, defaultSettings());
    writeSettings(s);
    EXPECT_EQ(parseJson(readFile(settingsPath())).size(), 17u);
}

TEST_F(SettingsFile, CreatesMissingFoldersAndLeavesNoTemporary)
{
    env.set("XDG_CONFIG_HOME", tmp / "a/b");
    writeSettings(defaultSettings());
    EXPECT_TRUE(isRegularFile(settingsPath()));
    EXPECT_FALSE(std::filesystem::exists(settingsPath() + ".tmp"));
}

TEST_F(SettingsFile, SymbolicLinkStaysALink)
{
    std::string real = tmp / "dotfiles/settings.json";
    testing::writeText(real, "{}");
    std::filesystem::create_directories(configDir());
    std::filesystem::create_symlink("../dotfiles/settings.json", settingsPath());
    Settings s;
    s.view = "day";
    writeSettings(s);
    EXPECT_TRUE(std::filesystem::is_symlink(settingsPath()));
    EXPECT_EQ(parseJson(readFile(real))["view"], "day");
    EXPECT_EQ(loadSettings(), s);
}

}  // namespace
}  // namespace qm
