// The updater: how a copy knows its kind, where a package goes, how a file
// is replaced, and the whole round (check, download, verify, install) with
// the real worker and curl against the test service, which signs its
// manifests with the build's test key. Faults must leave the installed
// program byte for byte as it was and no download behind.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "core/base64.h"
#include "core/files.h"
#include "net/net_harness.h"
#include "net/updater.h"
#include "net/updater_internal.h"
#include "pages/updates/update_dialog.h"

namespace qm {
namespace {

using testing::fileMode;
using testing::ScopedEnv;
using testing::TempDir;
using testing::writeText;

std::vector<std::string> listFolder(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Updater, InstallKindFromPathAppImageAndDistribution)
{
    struct Case {
        const char* path;
        const char* appImage;
        bool debian;
        InstallKind kind;
    };
    const Case cases[] = {
        {"/usr/bin/quenmrk", "/home/ann/Quenmark.AppImage", true, ikAppImage},
        {"/home/ann/bin/quenmrk", "/home/ann/Q.AppImage", false, ikAppImage},
        {"/usr/bin/quenmrk", "", true, ikDeb},
        {"/usr/lib/quenmark/quenmrk", "", false, ikRpm},
        {"/home/ann/quenmark-1.1.0/bin/quenmrk", "", true, ikTar},
        {"/home/ann/bin/quenmrk-old", "", true, ikNone},
        {"/home/ann/bin/Quenmrk", "", true, ikNone},
        {"/opt/quenmrk/run", "", true, ikNone},
        {"/usrx/bin/quenmrk", "", true, ikTar},
        {"", "", true, ikNone},
    };
    for (const Case& c : cases)
        EXPECT_EQ(installKindFor(c.path, c.appImage, c.debian), c.kind) << c.path << " " << c.appImage;
}

TEST(Updater, DownloadFolderByKind)
{
    ScopedEnv env;
    env.set("TMPDIR", std::nullopt).set("TEMP", "").set("TMP", "/var/tmp/t").set("TEMPDIR", "/never");
    struct Case {
        uint8_t kind;
        const char* downloads;
        const char* folder;
    };
    const Case cases[] = {
        {ikTar, "/home/ann/Downloads", "/home/ann/quenmark/bin"},
        {ikAppImage, "/home/ann/Downloads", "/home/ann/apps"},
        {ikDeb, "/home/ann/Downloads", "/home/ann/Downloads"},
        {ikRpm, "", "/var/tmp/t"},
        {ikNone, "/home/ann/Downloads", "/var/tmp/t"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(downloadFolderFor(c.kind, "/home/ann/quenmark/bin/quenmrk", "/home/ann/apps/Q.AppImage", c.downloads),
            c.folder)
            << int(c.kind);
    env.set("TMP", std::nullopt);
    EXPECT_EQ(temporaryFolder(), "/never");
    env.set("TEMPDIR", std::nullopt);
    EXPECT_EQ(temporaryFolder(), "/tmp");
}

TEST(Updater, DownloadSizeText)
{
    const std::pair<int64_t, const char*> cases[] = {{0, "1 KB"}, {1, "1 KB"}, {100, "1 KB"}, {1536, "2 KB"},
        {1535, "1 KB"}, {1048575, "1024 KB"}, {1048576, "1.0 MB"}, {1572864, "1.5 MB"}, {209715200, "200.0 MB"}};
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(formatDownloadSize(bytes), text) << bytes;
    // A user's decimal comma changes none of them.
    testing::GermanNumbers german;
    ASSERT_EQ(german.failure(), "");
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(formatDownloadSize(bytes), text) << bytes << " under de_DE.UTF-8";
}

TEST(Updater, PrivateDownloadFolderAndItsRemoval)
{
    TempDir dir;
    std::string path = makeDownloadPath(dir.path(), "quenmark-1.2.0.tar.gz");
    std::string folder = std::filesystem::path(path).parent_path().string();
    EXPECT_EQ(std::filesystem::path(folder).parent_path().string(), dir.path());
    EXPECT_TRUE(std::filesystem::path(folder).filename().string().starts_with(".quenmrk-update-"));
    EXPECT_EQ(fileMode(folder), 0700u);
    EXPECT_EQ(std::filesystem::path(path).filename(), "quenmark-1.2.0.tar.gz");
    writeText(path, "bytes");
    removeDownload(path);
    EXPECT_TRUE(listFolder(dir.path()).empty());
    // A name the manifest rules refuse makes no folder at all.
    EXPECT_THROW(makeDownloadPath(dir.path(), "../x"), IOError);
    EXPECT_THROW(makeDownloadPath(dir / "missing", "x.tar.gz"), IOError);
    EXPECT_TRUE(listFolder(dir.path()).empty());
}

TEST(Updater, ReplaceFileAtomically)
{
    TempDir dir;
    std::string program = dir / "quenmrk";
    writeText(program, "old");
    ::chmod(program.c_str(), 0700);
    writeText(program + ".new", "a leftover");
    ::chmod((program + ".new").c_str(), 0444);
    replaceFileAtomically(program, std::string("new\0bytes", 9));
    EXPECT_EQ(readFile(program), std::string("new\0bytes", 9));
    EXPECT_EQ(fileMode(program), 0755u);
    EXPECT_EQ(listFolder(dir.path()), std::vector<std::string>{"quenmrk"});
    EXPECT_THROW(replaceFileAtomically(dir / "no/such/quenmrk", "x"), IOError);
}

TEST(Updater, InstallFailuresLeaveTheProgram)
{
    TempDir dir;
    std::string program = dir / "quenmrk";
    writeText(program, "old program");
    UpdaterJob job;
    job.programPath = program;
    job.version = "1.2.0";
    job.kind = ikTar;
    InstallOutcome bad = installPackage(job, "not gzip at all");
    EXPECT_FALSE(bad.ok);
    EXPECT_TRUE(bad.message.starts_with("The update could not be put in place: ")) << bad.message;
    EXPECT_TRUE(bad.message.ends_with(". Download it from https://quenmark.example/download instead.")) << bad.message;
    job.kind = ikNone;
    EXPECT_EQ(installPackage(job, "x").message, "This copy of Quenmark can't update itself.");
    EXPECT_EQ(readFile(program), "old program");
    EXPECT_EQ(listFolder(dir.path()), std::vector<std::string>{"quenmrk"});

    job.kind = ikAppImage;
    InstallOutcome good = installPackage(job, "appimage bytes");
    EXPECT_TRUE(good.ok);
    EXPECT_EQ(good.message, "Quenmark 1.2.0 is installed. It starts when you restart the app.");
    EXPECT_EQ(readFile(program), "appimage bytes");
}

// ---------------------------------------------------------------------------
// Against the test service.

class UpdaterRound : public test::NetTest {
protected:
    TempDir scratch;
    std::string program;
    std::string opened;  // what the recording opener was given, one line each

    UpdaterRound()
    {
        setDefaultUpdateKeys(std::vector<std::string>{decodeBase64(QM_TEST_UPDATE_KEY).value_or("")});
        // A recording opener first on PATH: the program's opener tries xdg-open first.
        std::string bin = scratch / "opener";
        opened = scratch / "opened.txt";
        writeText(bin + "/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + opened + "'\n");
        ::chmod((bin + "/xdg-open").c_str(), 0755);
        env.set("PATH", bin + ":" + std::getenv("PATH"));
        env.set("QUENMRK_NO_UPDATE_CHECK", std::nullopt);
        program = scratch / "app/bin/quenmrk";
        writeText(program, "#!/bin/sh\necho old\n");
    }
    ~UpdaterRound() override { setDefaultUpdateKeys(std::nullopt); }

    UpdaterState& u() { return updaterState(*h); }

    void begin(uint8_t kind)
    {
        start();
        h->termsDue = false;
        u().kind = kind;
        u().programPath = program;
    }

    // A release of `version` with one package; `extra` adds the fault flags.
    void offer(const std::string& version, const std::string& kind, const std::string& file, const std::string& bytes,
        Json extra = Json::object())
    {
        Json body = {{"key", QM_TEST_UPDATE_KEY_FILE}, {"version", version},
            {"files", Json::array({{{"file", file}, {"kind", kind}, {"data", encodeBase64(bytes)}}})}};
        if (extra.is_object())
            body.update(extra);
        service.control("update", body);
    }

    bool settled()
    {
        return frameUntil([this] { return u().status.state != updChecking && u().status.state != updDownloading; });
    }

    void check(bool automatic)
    {
        checkForUpdates(*h, automatic);
        ASSERT_TRUE(settled());
    }

    // A tar.gz whose member "quenmark-1.2.0/bin/quenmrk" is a script that
    // writes its working folder into `marker`.
    std::string tarPackage(const std::string& marker)
    {
        std::string root = scratch / "pkg";
        writeText(root + "/quenmark-1.2.0/bin/quenmrk", "#!/bin/sh\npwd > '" + marker + "'\n");
        writeText(root + "/quenmark-1.2.0/README", "read me");
        std::string out = scratch / "pkg.tar.gz";
        std::string command = "tar --format=ustar -czf '" + out + "' -C '" + root + "' quenmark-1.2.0";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return readFile(out);
    }
};

TEST_F(UpdaterRound, CheckOutcomes)
{
    begin(ikDeb);
    struct Case {
        const char* name;
        std::function<void()> setUp;
        bool automatic;
        uint8_t state;
        std::string message;  // a prefix
        bool found;
        bool dialog;
    };
    auto release = [this](Json extra) { offer("1.2.0", "deb", "quenmark_1.2.0_amd64.deb", "deb bytes", extra); };
    auto fault = [this](Json rule) {
        rule["path"] = "app/update.json";
        service.control("fault", rule);
    };
    const Case cases[] = {
        {"newer, manual", [&] { release({}); }, false, updAvailable, "", true, true},
        {"newer, automatic", [&] { release({}); }, true, updAvailable, "", true, true},
        {"skipped, automatic", [&] { release({}), h->settings.skippedVersion = "1.2.0"; }, true, updIdle, "", true,
            false},
        {"skipped, manual", [&] { release({}), h->settings.skippedVersion = "1.2.0"; }, false, updAvailable, "", true,
            true},
        {"same version", [&] { offer("1.1.0", "deb", "q.deb", "x"); }, false, updUpToDate, "", false, true},
        {"same version, automatic", [&] { offer("1.1.0", "deb", "q.deb", "x"); }, true, updIdle, "", false, false},
        {"signature over other bytes",
            [&] {
                release({{"bad_signature", true}});
            },
            false, updAvailable, "", false, true},
        {"manifest of another version",
            [&] {
                release({{"manifest_version", "1.2.1"}});
            },
            false, updAvailable, "", false, true},
        {"500",
            [&] {
                release({}), fault({{"status", 500}, {"html", "<html>down</html>"}});
            },
            false, updFailed, "quenmark.example answered 500.", false, true},
        {"500, automatic",
            [&] {
                release({}), fault({{"status", 500}, {"html", "x"}});
            },
            true, updIdle, "", false, false},
        {"not JSON",
            [&] {
                release({}), fault({{"notjson", "<html>captive portal</html>"}});
            },
            false, updFailed, "The answer that came back was not from quenmark.example's update service. A firewall",
            false, true},
        {"an error member",
            [&] {
                release({}), fault({{"status", 200}, {"json", {{"error", "Updates are paused."}}}});
            },
            false, updFailed, "Updates are paused.", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        service.control("faults");
        h->settings.skippedVersion.clear();
        u().status = {};
        u().dialog->open = false;
        c.setUp();
        check(c.automatic);
        EXPECT_EQ(int(u().status.state), int(c.state));
        EXPECT_TRUE(u().status.message.starts_with(c.message)) << u().status.message;
        EXPECT_EQ(u().status.assetFound, c.found);
        EXPECT_EQ(u().dialog->open, c.dialog);
        if (c.state == updAvailable && !c.found) {
            EXPECT_EQ(updateDialogContent(*h).buttons.front(), "Download Page");
        }
    }
}

TEST_F(UpdaterRound, AStalledCheckGivesUpAfterFifteenSeconds)
{
    begin(ikDeb);
    offer("1.2.0", "deb", "q.deb", "x");
    service.control("fault", {{"path", "app/update.json"}, {"stall", true}});
    checkForUpdates(*h, false);
    ASSERT_TRUE(settled());
    service.control("release");
    EXPECT_EQ(int(u().status.state), int(updFailed));
    EXPECT_TRUE(u().status.message.starts_with("Could not reach quenmark.example: ")) << u().status.message;
}

TEST_F(UpdaterRound, ManualCheckJoiningAnAutomaticOneShowsItsAnswer)
{
    begin(ikDeb);
    offer("1.2.0", "deb", "q.deb", "x");
    service.control("fault", {{"path", "app/update.json"}, {"stall", true}, {"status", 500}, {"html", "x"}});
    h->settings.lastUpdateCheck = 0;
    autoCheckForUpdates(*h);
    ASSERT_TRUE(stalled(1));
    EXPECT_TRUE(u().status.automatic);
    EXPECT_FALSE(u().dialog->open);
    checkForUpdates(*h, false);
    EXPECT_FALSE(u().status.automatic);
    EXPECT_TRUE(u().dialog->open);
    service.control("release");
    ASSERT_TRUE(settled());
    EXPECT_EQ(int(u().status.state), int(updFailed));
    EXPECT_EQ(updateDialogContent(*h).heading, "The update did not work");
}

TEST_F(UpdaterRound, TarInstallReplacesTheProgramAndRestartsIt)
{
    begin(ikTar);
    std::string marker = scratch / "marker.txt";
    offer("1.2.0", "tar", "quenmark-1.2.0-linux-x86_64.tar.gz", tarPackage(marker));
    check(false);
    ASSERT_EQ(int(u().status.state), int(updAvailable));
    startUpdateInstall(*h);
    EXPECT_EQ(int(u().status.state), int(updDownloading));
    EXPECT_EQ(updateDialogContent(*h).heading, "Downloading Quenmark 1.2.0");
    ASSERT_TRUE(settled());
    ASSERT_EQ(int(u().status.state), int(updInstalled)) << u().status.message;
    EXPECT_EQ(u().status.message, "Quenmark 1.2.0 is installed. It starts when you restart the app.");
    EXPECT_EQ(u().status.programToStart, program);
    EXPECT_EQ(updateDialogContent(*h).buttons, (std::vector<std::string>{"Restart Now", "Later"}));
    EXPECT_EQ(readFile(program), "#!/bin/sh\npwd > '" + marker + "'\n");
    EXPECT_EQ(fileMode(program), 0755u);
    EXPECT_EQ(listFolder(scratch / "app/bin"), std::vector<std::string>{"quenmrk"});

    // Not asked to restart: nothing starts.
    runPendingInstaller(*h);
    u().status.restartRequested = true;
    runPendingInstaller(*h);
    ASSERT_TRUE(frameUntil([&] { return std::filesystem::exists(marker) && !readFile(marker).empty(); }));
    EXPECT_EQ(readFile(marker), scratch / "app/bin\n");

    // A new check forgets the program to start.
    check(false);
    EXPECT_EQ(u().status.programToStart, "");
    EXPECT_FALSE(u().status.restartRequested);
}

TEST_F(UpdaterRound, TheFileForThisMachineIsChosenByItsArch)
{
    begin(ikTar);
    struct Case {
        const char* arch;
        bool chosen;
    };
    const Case cases[] = {{"x86", true}, {"x86_64", true}, {"universal", true}, {"arm64", false}, {"", false},
        {"X86", false}, {"x86_32", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arch);
        Json files = Json::array({{{"file", "q.tar.gz"}, {"kind", "tar"}, {"arch", c.arch},
            {"data", encodeBase64(tarPackage(scratch / "marker.txt"))}}});
        offer("1.2.0", "tar", "q.tar.gz", "", {{"files", files}});
        check(false);
        ASSERT_EQ(int(u().status.state), int(updAvailable));
        EXPECT_EQ(u().status.assetFound, c.chosen);
        EXPECT_EQ(u().status.asset.arch, c.chosen ? c.arch : "");
    }
}

TEST_F(UpdaterRound, TheOfferGivesItsSizeWithAPointUnderADecimalComma)
{
    begin(ikTar);
    testing::GermanNumbers german;
    ASSERT_EQ(german.failure(), "");
    offer("1.2.0", "tar", "q.tar.gz", std::string(1572864, 'x'));
    check(false);
    ASSERT_EQ(int(u().status.state), int(updAvailable));
    std::string said;
    for (const std::string& p : updateDialogContent(*h).paragraphs)
        said += p + "\n";
    EXPECT_NE(said.find("Install Update downloads it (1.5 MB)"), std::string::npos) << said;
}

TEST_F(UpdaterRound, PackageFaultsLeaveTheProgramAndNoDownload)
{
    begin(ikTar);
    std::string package = tarPackage(scratch / "marker.txt");
    const std::string file = "quenmark-1.2.0-linux-x86_64.tar.gz";
    const std::string checksum =
        "The download is not the file the release lists (its checksum differs), so it was "
        "not installed. Try again, or download the app from https://quenmark.example/download.";
    struct Case {
        const char* name;
        Json release;
        Json fault;
        std::string message;  // a prefix
    };
    const Case cases[] = {
        {"404", Json::object(), {{"status", 404}, {"html", "<html>gone</html>"}}, "The download answered 404."},
        {"cut short", Json::object(), {{"cut", 100}}, "The download failed: "},
        {"wrong size", {{"wrong_size", true}}, Json::object(), checksum},
        {"wrong hash", {{"wrong_hash", true}}, Json::object(), checksum},
        {"redirected to http", Json::object(), {{"redirect", "http://127.0.0.1:9/" + file}}, "The download failed: "},
    };
    const std::string before = readFile(program);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        service.control("faults");
        offer("1.2.0", "tar", file, package, c.release);
        if (!c.fault.empty()) {
            Json rule = c.fault;
            rule["path"] = "app/pkg/" + file;
            service.control("fault", rule);
        }
        u().status = {};
        check(false);
        ASSERT_EQ(int(u().status.state), int(updAvailable));
        startUpdateInstall(*h);
        ASSERT_TRUE(settled());
        EXPECT_EQ(int(u().status.state), int(updFailed));
        EXPECT_TRUE(u().status.message.starts_with(c.message)) << u().status.message;
        EXPECT_EQ(updateDialogContent(*h).buttons, (std::vector<std::string>{"Download Page", "Close"}));
        EXPECT_EQ(readFile(program), before);
        EXPECT_EQ(listFolder(scratch / "app/bin"), std::vector<std::string>{"quenmrk"});
    }
}

TEST_F(UpdaterRound, PackageKindsGoToTheOpenerFromAPrivateFolder)
{
    std::string home = h.dir / "Downloads";
    std::filesystem::create_directories(home);
    begin(ikDeb);
    const std::string bytes = "the verified package";
    offer("1.2.0", "deb", "quenmark_1.2.0_amd64.deb", bytes);
    check(false);
    ASSERT_TRUE(u().status.assetFound);
    EXPECT_EQ(updateDialogContent(*h).paragraphs.back(),
        "Install Update downloads the package (1 KB) and opens it in your software installer.");
    startUpdateInstall(*h);
    ASSERT_TRUE(settled());
    ASSERT_EQ(int(u().status.state), int(updInstalled)) << u().status.message;
    std::string path = readFile(opened);
    ASSERT_FALSE(path.empty());
    path.pop_back();
    EXPECT_EQ(path, u().status.downloadPath);
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    EXPECT_EQ(folder.parent_path().string(), home);
    EXPECT_EQ(fileMode(folder.string()), 0700u);
    EXPECT_EQ(readFile(path), bytes);
    EXPECT_EQ(u().status.message,
        "The Quenmark 1.2.0 package is downloaded to " + path
            + " and opened in your software installer. Install it there, then restart the app.");
    EXPECT_EQ(u().status.programToStart, "");
    EXPECT_EQ(updateDialogContent(*h).buttons, std::vector<std::string>{"Close"});
    EXPECT_EQ(readFile(program), "#!/bin/sh\necho old\n");
}

TEST_F(UpdaterRound, StoppingCancelsADownloadAndRemovesIt)
{
    begin(ikTar);
    const std::string file = "quenmark-1.2.0-linux-x86_64.tar.gz";
    offer("1.2.0", "tar", file, tarPackage(scratch / "marker.txt"));
    check(false);
    service.control("fault", {{"path", "app/pkg/" + file}, {"stall", true}});
    startUpdateInstall(*h);
    ASSERT_TRUE(stalled(1));
    // A check while the download runs only shows the dialog.
    u().dialog->open = false;
    checkForUpdates(*h, false);
    EXPECT_EQ(int(u().status.state), int(updDownloading));
    EXPECT_TRUE(u().dialog->open);
    stopUpdater(*h);
    joinUpdater(*h);
    service.control("release");
    EXPECT_EQ(listFolder(scratch / "app/bin"), std::vector<std::string>{"quenmrk"});
    EXPECT_EQ(readFile(program), "#!/bin/sh\necho old\n");
}

}  // namespace
}  // namespace qm
