// The update dialog drawn from the updater's status over the headless
// AppState, buttons found by id as a user would click them, and the
// automatic check's rules on a fixed clock.
#include <gtest/gtest.h>

#include "app/app_harness.h"
#include "app/page_table.h"
#include "core/files.h"
#include "net/net_harness.h"
#include "net/updater.h"
#include "pages/updates/update_dialog.h"

namespace qm {
namespace {

using testing::AppHarness;
using testing::TempDir;
using testing::writeText;

class UpdateDialog : public ::testing::Test {
protected:
    AppHarness h;

    void SetUp() override
    {
        PageTable table;
        table.drawUpdateDialog = drawUpdateDialog;
        table.pollUpdater = pollUpdater;
        setPageTable(table);
        h.start();
        h->ui->recorder = std::make_unique<WidgetRecorder>();
        h.frame();
    }
    void TearDown() override
    {
        h.state.reset();
        setPageTable({});
    }

    UpdaterState& u() { return updaterState(*h); }

    std::vector<std::string> buttonIds()
    {
        std::vector<std::string> ids;
        for (const WidgetRecord& r : h->ui->recorder->records)
            if (r.label.starts_with("upd-"))
                ids.push_back(r.label);
        return ids;
    }

    void click(const std::string& id) { ASSERT_TRUE(h.clickWidget(id)) << id; }
};

TEST_F(UpdateDialog, EachStateShowsItsTextsAndButtons)
{
    TempDir dir;
    writeText(dir / "empty.deb", "");
    writeText(dir / "half.tar.gz", std::string(1024, 'x'));
    struct Case {
        const char* name;
        std::function<void(UpdaterState&)> setUp;
        std::string heading;
        std::vector<std::string> paragraphs;
        std::vector<std::string> buttons;
        std::string progress;
    };
    auto available = [](uint8_t kind, bool found, std::string notes) {
        return [=](UpdaterState& u) {
            u.kind = kind;
            u.status.state = updAvailable;
            u.status.envelope.version = "1.2.0-rc.2";
            u.status.envelope.notes_url = notes;
            u.status.assetFound = found;
            u.status.asset.size = 1536;
        };
    };
    auto downloading = [](int32_t size, std::string path) {
        return [=](UpdaterState& u) {
            u.status.state = updDownloading;
            u.status.envelope.version = "1.2.0";
            u.status.asset.size = size;
            u.status.downloadPath = path;
        };
    };
    const std::string tarBody =
        "Install Update downloads it (2 KB), checks it and puts it in place of this copy; then restart the app.";
    const Case cases[] = {
        {"checking", [](UpdaterState& u) { u.status.state = updChecking; }, "Checking for updates",
            {"Asking quenmark.example for the newest Quenmark\u2026"}, {"Close"}, ""},
        {"up to date", [](UpdaterState& u) { u.status.state = updUpToDate; }, "Quenmark is up to date",
            {"1.1.0 is the newest version."}, {"Close"}, ""},
        {"available, tar", available(ikTar, true, ""), "1.2.0 RC 2 is available", {"You have Quenmark 1.1.0.", tarBody},
            {"Install Update", "Skip This Version", "Later"}, ""},
        {"available, notes", available(ikTar, true, "https://quenmark.example/notes/1.2.0"), "1.2.0 RC 2 is available",
            {"You have Quenmark 1.1.0.", tarBody}, {"Install Update", "Skip This Version", "Later", "What's New"}, ""},
        {"available, notes over http", available(ikTar, true, "http://quenmark.example/notes"),
            "1.2.0 RC 2 is available", {"You have Quenmark 1.1.0.", tarBody},
            {"Install Update", "Skip This Version", "Later"}, ""},
        {"available, deb", available(ikDeb, true, ""), "1.2.0 RC 2 is available",
            {"You have Quenmark 1.1.0.",
                "Install Update downloads the package (2 KB) and opens it in your software installer."},
            {"Install Update", "Skip This Version", "Later"}, ""},
        {"available, no file", available(ikTar, false, "https://n.example/"), "1.2.0 RC 2 is available",
            {"You have Quenmark 1.1.0.",
                "Download it from quenmark.example and install it over this version; your budget and settings stay."},
            {"Download Page", "Skip This Version", "Later", "What's New"}, ""},
        {"downloading, empty file of size 0", downloading(0, dir / "empty.deb"), "Downloading Quenmark 1.2.0", {},
            {"Close"}, "1 KB of 1 KB"},
        {"downloading, size 1", downloading(1, dir / "empty.deb"), "Downloading Quenmark 1.2.0", {}, {"Close"},
            "1 KB of 1 KB"},
        {"downloading, half", downloading(2048, dir / "half.tar.gz"), "Downloading Quenmark 1.2.0", {}, {"Close"},
            "1 KB of 2 KB"},
        {"downloading, no file yet", downloading(2048, dir / "missing"), "Downloading Quenmark 1.2.0", {}, {"Close"},
            "1 KB of 2 KB"},
        {"installed, to restart",
            [](UpdaterState& u) {
                u.status.state = updInstalled;
                u.status.envelope.version = "1.2.0";
                u.status.message = "done";
                u.status.programToStart = "/home/ann/bin/quenmrk";
            },
            "Quenmark 1.2.0", {"done"}, {"Restart Now", "Later"}, ""},
        {"installed, by the installer",
            [](UpdaterState& u) {
                u.status.state = updInstalled;
                u.status.envelope.version = "1.2.0";
                u.status.message = "opened";
            },
            "Quenmark 1.2.0", {"opened"}, {"Close"}, ""},
        {"failed",
            [](UpdaterState& u) {
                u.status.state = updFailed;
                u.status.message = "why";
            },
            "The update did not work", {"why"}, {"Download Page", "Close"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        u().status = {};
        c.setUp(u());
        UpdateDialogContent content = updateDialogContent(*h);
        EXPECT_EQ(content.heading, c.heading);
        EXPECT_EQ(content.paragraphs, c.paragraphs);
        EXPECT_EQ(content.buttons, c.buttons);
        EXPECT_EQ(content.progressLabel, c.progress);
        u().dialog->open = true;
        h.frame();
        std::vector<std::string> ids;
        for (std::size_t i = 0; i < c.buttons.size(); ++i)
            ids.push_back("upd-" + std::to_string(i));
        EXPECT_EQ(buttonIds(), ids);
    }
}

TEST_F(UpdateDialog, ButtonsActOnTheStatus)
{
    u().status.state = updAvailable;
    u().status.envelope.version = "1.2.0";
    u().dialog->open = true;
    h.frames(3);
    click("upd-1");  // Skip This Version
    EXPECT_EQ(h->settings.skippedVersion, "1.2.0");
    EXPECT_FALSE(u().dialog->open);
    EXPECT_NE(readFile(h.configDir() + "/settings.json").find("\"skippedVersion\": \"1.2.0\""), std::string::npos);

    u().status.state = updInstalled;
    u().status.programToStart = "/x/quenmrk";
    u().dialog->open = true;
    h.frames(3);
    click("upd-0");  // Restart Now
    EXPECT_TRUE(u().status.restartRequested);
    EXPECT_TRUE(h->quitRequested);
    EXPECT_FALSE(u().dialog->open);
}

TEST_F(UpdateDialog, AutomaticCheckRules)
{
    h.env.set("QUENMRK_SERVER", test::closedServer());
    struct Case {
        const char* name;
        double sinceLast;
        uint8_t kind;
        bool setting;
        const char* switchOff;
        bool checks;
    };
    const Case cases[] = {
        {"71,999 s", 71999, ikTar, true, nullptr, false},
        {"72,000 s", 72000, ikTar, true, nullptr, true},
        {"kind 0", 72000, ikNone, true, nullptr, false},
        {"turned off", 72000, ikTar, false, nullptr, false},
        {"switched off", 72000, ikTar, true, "1", false},
        {"empty switch", 72000, ikTar, true, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        h.state.reset();
        h.start();
        h.env.set("QUENMRK_NO_UPDATE_CHECK", c.switchOff ? std::optional<std::string>(c.switchOff) : std::nullopt);
        UpdaterState& up = updaterState(*h);
        up.now = [] { return 1'800'000'000.0; };
        up.kind = c.kind;
        h->settings.checkUpdates = c.setting;
        h->settings.lastUpdateCheck = 1'800'000'000.0 - c.sinceLast;
        autoCheckForUpdates(*h);
        EXPECT_EQ(up.status.state == updChecking, c.checks);
        EXPECT_EQ(h->settings.lastUpdateCheck == 1'800'000'000.0, c.checks);
        EXPECT_FALSE(up.dialog->open);
    }
}

}  // namespace
}  // namespace qm
