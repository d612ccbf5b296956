#include "app/file_dialog.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <utility>

#include "app/file_dialog_internal.h"
#include "app/page_draw_harness.h"
#include "app/settings.h"
#include "core/files.h"
#include "platform/keys.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using testing::PageDrawHarness;
using testing::TempDir;
using testing::writeText;

std::vector<std::string> names(const std::vector<FileEntry>& entries)
{
    std::vector<std::string> out;
    for (const FileEntry& e : entries)
        out.push_back(e.name + (e.isFolder ? "/" : ""));
    return out;
}

// A socket file bound and left behind.
void makeSocket(const std::string& path)
{
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);
}

TEST(FileDialogListing, FoldersFirstByNameHiddenAndOddEntriesLeftOut)
{
    TempDir dir;
    struct Case {
        const char* what;
        std::function<void(const std::string&)> fill;
        std::vector<std::string> filters;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"case-blind order, folders first, hidden skipped",
            [](const std::string& d) {
                writeText(d + "/b.txt", "b");
                writeText(d + "/A.txt", "a");
                fs::create_directory(d + "/zdir");
                writeText(d + "/.hidden", "h");
                fs::create_directory(d + "/.hiddendir");
            },
            {}, {"zdir/", "A.txt", "b.txt"}},
        {"filters match any case; folders always shown",
            [](const std::string& d) {
                writeText(d + "/STATEMENT.OFX", "x");
                writeText(d + "/march.qfx", "x");
                writeText(d + "/notes.txt", "x");
                writeText(d + "/ofx", "x");
                fs::create_directory(d + "/Old.ofx");
            },
            {".ofx", ".qfx"}, {"Old.ofx/", "march.qfx", "STATEMENT.OFX"}},
        {"a prefix sorts first",
            [](const std::string& d) {
                writeText(d + "/ab", "x");
                writeText(d + "/a", "x");
                writeText(d + "/A_", "x");
            },
            {}, {"a", "A_", "ab"}},
        {"links follow their targets; dangling links, pipes, sockets and devices are skipped",
            [&](const std::string& d) {
                fs::create_directory(d + "/real");
                writeText(d + "/real/file.ofx", "x");
                fs::create_directory_symlink(d + "/real", d + "/linked");
                fs::create_symlink(d + "/real/file.ofx", d + "/shortcut.ofx");
                fs::create_symlink(d + "/gone", d + "/dangling.ofx");
                fs::create_symlink("/dev/null", d + "/null.ofx");
                ASSERT_EQ(::mkfifo((d + "/pipe.ofx").c_str(), 0600), 0);
                makeSocket(d + "/sock.ofx");
            },
            {".ofx"}, {"linked/", "real/", "shortcut.ofx"}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string d = dir / ("c" + std::to_string(n++));
        fs::create_directory(d);
        c.fill(d);
        EXPECT_EQ(names(listFolderEntries(d, c.filters)), c.expected);
    }
    EXPECT_EQ(joinFilters({".ofx", ".qfx"}), "OFX, QFX");
    EXPECT_EQ(joinFilters({".pdf."}), "PDF");
    EXPECT_EQ(joinFilters({}), "");
}

TEST(FileDialogListing, SizesAndUnreadableFolders)
{
    TempDir dir;
    writeText(dir / "five.txt", "12345");
    fs::create_directory(dir / "sub");
    std::vector<FileEntry> e = listFolderEntries(dir.path(), {});
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].size, 0);
    EXPECT_EQ(e[1].size, 5);
    EXPECT_TRUE(listFolderEntries(dir / "missing", {}).empty());

    // A folder its owner alone may read lists nothing for anyone else; only
    // root can become someone else here.
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to read as nobody";
    std::string closed = dir / "closed";
    fs::create_directory(closed);
    writeText(closed + "/a.txt", "a");
    ::chmod(closed.c_str(), 0700);
    ::chmod(dir.path().c_str(), 0755);
    pid_t pid = fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            _exit(2);
        _exit(listFolderEntries(closed, {}).empty() ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(FileDialogSteps, TitlesNamesFoldersAndNativeFilters)
{
    EXPECT_EQ(fileDialogTitle({}), "Choose a file");
    EXPECT_EQ(fileDialogTitle({"Pick one", true, {}}), "Pick one");

    struct NameCase {
        const char* name;
        std::vector<std::string> filters;
        const char* expected;
    };
    for (const NameCase& c : std::vector<NameCase>{{"report", {".pdf"}, "report.pdf"},
             {"report.final", {".pdf"}, "report.final"}, {"report", {}, "report"}, {"a", {".ofx", ".qfx"}, "a.ofx"}})
        EXPECT_EQ(nameWithExtension(c.name, c.filters), c.expected) << c.name;

    for (auto [in, out] : std::vector<std::pair<std::string, std::string>>{
             {"/", ""}, {"/a", "/"}, {"/a/b/", "/a"}, {"/a/b", "/a"}, {"relative", ""}})
        EXPECT_EQ(parentFolder(in), out) << in;

    for (auto [typed, out] : std::vector<std::pair<std::string, std::string>>{{"/data/x/", "/data/x"},
             {"  /data  ", "/data"}, {"~", "/home/u"}, {"~/Documents", "/home/u/Documents"}, {"sub", "/shown/sub"},
             {"../up", "/up"}, {"a/./b/..", "/shown/a"}, {"/", "/"}, {"~user", "/shown/~user"}})
        EXPECT_EQ(typedFolder(typed, "/shown", "/home/u/"), out) << typed;

    NativeFilters n = nativeFilters({".ofx", ".qfx"});
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(n.pairs, (Pairs{{"OFX, QFX", "*.ofx;*.qfx"}, {"All files", "*.*"}}));
    EXPECT_EQ(n.defaultExtension, "ofx");
    EXPECT_EQ(nativeFilters({}).pairs, (Pairs{{"All files", "*.*"}}));
}

TEST(FileDialogSteps, StartFolder)
{
    TempDir dir;
    testing::ScopedEnv env;
    std::string home = dir / "home";
    fs::create_directories(home);
    env.set("HOME", home);
    std::string shown = dir / "shown", last = dir / "last", gone = dir / "gone";
    fs::create_directory(shown);
    fs::create_directory(last);
    struct Case {
        std::string shown, lastDir;
        bool save;
        bool documents;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {shown, last, true, true, shown},
        {shown + "/", last, false, false, shown},
        {gone, last, true, true, last},
        {"", last, false, false, last},
        {gone, gone, true, true, home + "/Documents"},
        {gone, "", true, false, home},
        {"", "", false, true, home},
    };
    for (const Case& c : cases) {
        fs::remove_all(home + "/Documents");
        if (c.documents)
            fs::create_directory(home + "/Documents");
        EXPECT_EQ(fileDialogStartFolder(c.shown, c.lastDir, c.save), c.expected) << c.shown << " " << c.lastDir;
    }
}

// The dialog alone in a frame, with what it chose kept.
// The dialog reads only these two of a caller's purpose.
FileDialogPurpose savingPurpose() { return {"Save", true, {}}; }
FileDialogPurpose openingPurpose() { return {"Open", false, {}}; }

struct DialogHarness : PageDrawHarness {
    std::string chosen;
    TempDir files;

    DialogHarness()
        : PageDrawHarness(1000, 700)
    {
        start();
        page = [this] {
            std::string path = drawFileDialog(state());
            if (!path.empty())
                chosen = path;
        };
    }
    FileDialogState& dialog() { return fileDialogState(state()); }
    bool open() const { return app.state->fileDialogWindow && app.state->fileDialogWindow->open; }
    // Opens the dialog in the scratch folder.
    void openIn(FileDialogPurpose purpose, std::vector<std::string> filters, const std::string& name)
    {
        dialog().folder = files.path();
        openFileDialog(state(), std::move(purpose), filters, name);
        frames(2);
    }
    // Presses less than a double-click time apart would pair up.
    void clickWidget(const std::string& label)
    {
        frames(25);
        PageDrawHarness::clickWidget(label);
    }
    void fill(const std::string& field, const std::string& text, bool enter)
    {
        clickWidget(field);
        key(keyA, modControl);
        type(text);
        frame();
        if (enter)
            key(keyEnter);
        frames(2);
    }
    void doubleClickWidget(const std::string& label)
    {
        const WidgetRecord* w = widget(label);
        ASSERT_NE(w, nullptr) << label;
        frames(25);
        double x = w->rect.x + w->rect.w / 2, y = w->rect.y + w->rect.h / 2;
        click(x, y);
        frame();
        click(x, y);
        frames(2);
    }
};

TEST(FileDialogFrames, NamesTakenByButtonAndByEnter)
{
    struct Case {
        const char* typed;
        bool enter;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"report", false, "report.pdf"},
        {"report", true, "report"},
        {"report.final", false, "report.final"},
        {"report.final", true, "report.final"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.typed) + (c.enter ? " by Enter" : " by the button"));
        DialogHarness h;
        h.openIn(savingPurpose(), {".pdf"}, "budget-report-2026-03-01.pdf");
        EXPECT_TRUE(h.open());
        EXPECT_EQ(h.dialog().fileName, "budget-report-2026-03-01.pdf");
        const WidgetRecord* name = h.widget("filename");
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(h.ui().focusId, name->id) << "a save starts in the name field";
        h.fill("filename", c.typed, c.enter);
        if (!c.enter)
            h.clickWidget("file-ok");
        EXPECT_EQ(h.chosen, h.files / c.expected);
        EXPECT_FALSE(h.open());
        EXPECT_EQ(h.state().settings.lastDir, h.files.path());
        EXPECT_EQ(loadSettings().lastDir, h.files.path());
    }
}

TEST(FileDialogFrames, FoldersUpAndDoubleClicks)
{
    DialogHarness h;
    fs::create_directories(h.files / "real/inner");
    writeText(h.files / "real/inner/statement.ofx", "x");
    fs::create_directory_symlink(h.files / "real", h.files / "alias");
    h.openIn(openingPurpose(), {".ofx", ".qfx"}, "");

    // fe0 is the link "alias"; a double click opens it like a folder.
    EXPECT_EQ(names(h.dialog().entries), (std::vector<std::string>{"alias/", "real/"}));
    h.doubleClickWidget("fe0");
    EXPECT_EQ(h.dialog().folder, h.files / "alias");
    EXPECT_EQ(h.dialog().selectedIndex, -1);
    h.doubleClickWidget("fe0");
    EXPECT_EQ(h.dialog().folder, h.files / "alias/inner");

    // A single click selects a file and fills the name; a double click takes it.
    h.clickWidget("fe0");
    EXPECT_EQ(h.dialog().fileName, "statement.ofx");
    EXPECT_EQ(h.dialog().selectedIndex, 0);
    EXPECT_EQ(h.chosen, "");
    // A click on a file takes its name even while the name field is being edited.
    h.fill("filename", "typed", false);
    h.clickWidget("fe0");
    EXPECT_EQ(h.dialog().fileName, "statement.ofx");

    h.doubleClickWidget("fe0");
    EXPECT_EQ(h.chosen, h.files / "alias/inner/statement.ofx");
    EXPECT_FALSE(h.open());

    // Opened again for another purpose it starts where it was.
    h.chosen.clear();
    openFileDialog(h.state(), savingPurpose(), {".xlsx"}, "x.xlsx");
    h.frames(2);
    EXPECT_EQ(h.dialog().folder, h.files / "alias/inner");

    // A typed folder that does not exist is ignored; one that does is entered.
    h.fill("filedir", h.files / "nowhere", true);
    EXPECT_EQ(h.dialog().folder, h.files / "alias/inner");
    h.fill("filedir", h.files / "real", true);
    EXPECT_EQ(h.dialog().folder, h.files / "real");
    h.clickWidget("file-up");
    EXPECT_EQ(h.dialog().folder, h.files.path());

    // A folder's name typed as the file name opens it, by Enter or the button.
    fs::create_directory(h.files / "deeper");
    h.fill("filename", "deeper", true);
    EXPECT_EQ(h.dialog().folder, h.files / "deeper");
    EXPECT_EQ(h.dialog().fileName, "");
    h.clickWidget("file-up");
    h.fill("filename", "deeper", false);
    h.clickWidget("file-ok");
    EXPECT_EQ(h.dialog().folder, h.files / "deeper");
    EXPECT_EQ(h.chosen, "");
    EXPECT_TRUE(h.open());

    // Up at the root stays there.
    h.fill("filedir", "/", true);
    EXPECT_EQ(h.dialog().folder, "/");
    h.clickWidget("file-up");
    EXPECT_EQ(h.dialog().folder, "/");

    // Escape closes without a path.
    h.key(keyEscape);
    h.frames(2);
    EXPECT_FALSE(h.open());
    EXPECT_EQ(h.chosen, "");
}

TEST(FileDialogFrames, ReplacingAFileAsksFirst)
{
    DialogHarness h;
    writeText(h.files / "march.pdf", "old");
    writeText(h.files / "april.pdf", "old");
    const std::string target = h.files / "march.pdf";

    struct Case {
        const char* what;
        std::function<void(DialogHarness&)> drop;  // empty: confirm
    };
    const std::vector<Case> cases = {
        {"Replace takes the path", {}},
        {"editing the name drops the question", [](DialogHarness& d) { d.fill("filename", "march2", false); }},
        {"another row drops it", [](DialogHarness& d) { d.clickWidget("fe0"); }},
        {"Cancel drops it and closes", [](DialogHarness& d) { d.clickWidget("file-cancel"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        h.key(keyEscape);
        h.frames(2);
        h.chosen.clear();
        h.openIn(savingPurpose(), {".pdf"}, "march");
        h.clickWidget("file-ok");
        EXPECT_TRUE(h.open());
        EXPECT_EQ(h.chosen, "");
        EXPECT_EQ(h.dialog().replacePath, target);
        if (!c.drop) {
            h.clickWidget("file-ok");
            EXPECT_EQ(h.chosen, target);
            EXPECT_FALSE(h.open());
            continue;
        }
        c.drop(h);
        EXPECT_EQ(h.dialog().replacePath, "");
        EXPECT_EQ(h.chosen, "");
    }

    // Enter on an existing name and a double click on an existing file ask too.
    h.chosen.clear();
    h.openIn(savingPurpose(), {".pdf"}, "x");
    h.fill("filename", "march.pdf", true);
    EXPECT_EQ(h.dialog().replacePath, target);
    EXPECT_TRUE(h.open());
    h.doubleClickWidget("fe0");
    EXPECT_EQ(h.dialog().replacePath, h.files / "april.pdf");
    EXPECT_EQ(h.chosen, "");
    // An open dialog never asks.
    h.key(keyEscape);
    h.frames(2);
    h.openIn(openingPurpose(), {}, "");
    h.doubleClickWidget("fe0");
    EXPECT_EQ(h.chosen, h.files / "april.pdf");
}

TEST(FileDialogFrames, OnlyRowsInSightAreDrawn)
{
    DialogHarness h;
    for (int i = 0; i < 400; ++i)
        writeText(h.files / ("f" + std::to_string(1000 + i) + ".txt"), "");
    h.openIn(openingPurpose(), {}, "");
    std::vector<std::string> rows = h.labelsStartingWith("fe");
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front(), "fe0");
    EXPECT_LT(rows.size(), 40u);
    // Scrolled to the end, the list still knows every row's place.
    const WidgetRecord* first = h.widget("fe0");
    h.move(first->rect.x + 20, first->rect.y + 5);
    for (int i = 0; i < 60; ++i) {
        h.wheel(-10);
        h.frame();
    }
    rows = h.labelsStartingWith("fe");
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back(), "fe399");
    EXPECT_LT(rows.size(), 40u);
    // The last row is a file that takes a click.
    h.clickWidget("fe399");
    EXPECT_EQ(h.dialog().fileName, "f1399.txt");
}

TEST(FileDialogFrames, PathsSetByTheLoopAreHandedOnFirst)
{
    DialogHarness h;
    h.state().fileDialogResult = "/dropped/statement.ofx";
    h.frame();
    EXPECT_EQ(h.chosen, "/dropped/statement.ofx");
    EXPECT_EQ(h.state().fileDialogResult, "");
}

}  // namespace
}  // namespace qm
