// Building the state, opening and saving the budget, damaged budgets,
// toasts, theme application and the account texts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <unistd.h>

#include "app/account_state.h"
#include "app/app_harness.h"
#include "app/budget_io.h"
#include "app/navigation.h"
#include "app/paths.h"
#include "app/theme_apply.h"
#include "app/toasts.h"
#include "core/files.h"
#include "core/json.h"
#include "model/journal.h"
#include "model/store.h"
#include "ui/theme.h"

namespace qm {
namespace {

using testing::AppHarness;
using testing::writeText;

TEST(AppStateCreation, FirstStartOpensLocalAndShowsWelcomeThenCalendar)
{
    AppHarness h;
    AppState& s = h.start();
    EXPECT_EQ(s.budgetId, "local");
    EXPECT_EQ(s.page, pageWelcome);
    EXPECT_TRUE(isRegularFile(h.budgetDir("local") + "/data.json"));
    EXPECT_TRUE(isRegularFile(h.budgetDir("local") + "/journal.json"));
    EXPECT_EQ(s.tourStep, -1);
    EXPECT_EQ(s.settings.lastBudget, "local");
    EXPECT_FALSE(s.store->budget->accounts.empty());  // seeded
    h.state.reset();
    AppState& again = h.start();
    EXPECT_EQ(again.page, pageCalendar);
}

TEST(AppStateCreation, SignedInUserOpensTheirBudgetOnCalendar)
{
    AppHarness h;
    writeText(h.configDir() + "/session.json", R"({"email":"a@b.c","token":"t","user_id":42})");
    AppState& s = h.start();
    EXPECT_EQ(s.budgetId, "42");
    EXPECT_EQ(s.page, pageCalendar);
    EXPECT_EQ(s.syncState, syncIdle);
    EXPECT_TRUE(isRegularFile(h.budgetDir("42") + "/data.json"));
    EXPECT_FALSE(isRegularFile(h.budgetDir("local") + "/data.json"));
}

TEST(AppStateCreation, ViewSettingIsCaseSensitive)
{
    for (auto [text, view] : {std::pair{"day", viewDay}, {"week", viewWeek}, {"Week", viewMonth}, {"", viewMonth}}) {
        AppHarness h;
        writeText(h.configDir() + "/settings.json", std::string(R"({"view":")") + text + "\"}");
        EXPECT_EQ(h.start().view, view) << text;
    }
}

struct FileStamp {
    std::string bytes;
    timespec mtime{};
};

FileStamp stamp(const std::string& path)
{
    FileStamp f;
    f.bytes = readFile(path);
    struct stat st { };
    stat(path.c_str(), &st);
    f.mtime = st.st_mtim;
    return f;
}

struct Stamps {
    FileStamp data, journal;
    ino_t dataInode = 0, journalInode = 0;
};

Stamps stampsOf(const std::string& folder)
{
    Stamps st;
    st.data = stamp(folder + "/data.json");
    st.journal = stamp(folder + "/journal.json");
    struct stat info { };
    stat((folder + "/data.json").c_str(), &info);
    st.dataInode = info.st_ino;
    stat((folder + "/journal.json").c_str(), &info);
    st.journalInode = info.st_ino;
    return st;
}

void expectUnchanged(const Stamps& a, const Stamps& b, const char* name)
{
    EXPECT_EQ(a.data.bytes, b.data.bytes) << name;
    EXPECT_EQ(a.journal.bytes, b.journal.bytes) << name;
    EXPECT_EQ(a.data.mtime.tv_sec, b.data.mtime.tv_sec) << name;
    EXPECT_EQ(a.data.mtime.tv_nsec, b.data.mtime.tv_nsec) << name;
    EXPECT_EQ(a.journal.mtime.tv_nsec, b.journal.mtime.tv_nsec) << name;
    EXPECT_EQ(a.dataInode, b.dataInode) << name;
    EXPECT_EQ(a.journalInode, b.journalInode) << name;
}

// A refused budget shows one box that names the file and what to do, and
// nothing else: no save toast at start or later, and no write.
TEST(DamagedBudget, OneMessageNamingTheFileNoToastNoWrite)
{
    struct Case {
        const char* name;
        const char* data;  // nullptr: a folder in its place
        std::string journal;
        const char* file;
        const char* says;
    };
    const char* damaged = " is damaged: ";
    const char* newer = "This budget was written by a newer version of Quenmark (";
    const Case cases[] = {
        {"empty data", "", "[]", "data.json", damaged},
        {"truncated data", "{", "[]", "data.json", damaged},
        {"seq out of range", R"({"accounts":[],"meta":{"next_seq":1099511627776}})", "[]", "data.json", damaged},
        {"truncated journal", R"({"accounts":[]})", "[", "journal.json", damaged},
        {"a folder for data", nullptr, "[]", "data.json", damaged},
        {"an object amount", R"({"transactions":[{"id":3,"amount":{"value":3100,"currency":"EUR"}}]})", "[]",
            "data.json", newer},
        {"an unknown op", "{}", R"([{"seq":1,"op":"archive","entity":"goal","id":2,"data":null,"at":1}])",
            "journal.json", newer},
        {"an unknown entity", "{}", R"([{"seq":1,"op":"create","entity":"goal","id":2,"data":{},"at":1}])",
            "journal.json", newer},
    };
    for (const Case& c : cases) {
        AppHarness h;
        std::string folder = h.budgetDir("local");
        if (c.data)
            writeText(folder + "/data.json", c.data);
        else
            std::filesystem::create_directories(folder + "/data.json");
        writeText(folder + "/journal.json", c.journal);
        const std::string other = std::string(c.file) == "data.json" ? "/journal.json" : "/data.json";
        FileStamp file = c.data ? stamp(folder + "/" + c.file) : FileStamp{};
        usleep(20000);
        AppState& s = h.start();
        EXPECT_TRUE(s.message.window->open) << c.name;
        const std::string& text = s.message.text;
        EXPECT_NE(text.find(c.says), std::string::npos) << c.name << ": " << text;
        if (c.says == newer) {
            EXPECT_NE(text.find(newer + std::string(c.file) + ": "), std::string::npos) << text;
            EXPECT_NE(text.find("). Update Quenmark to open it; its files were left unchanged."), std::string::npos)
                << text;
        } else {
            EXPECT_NE(text.find(std::string(c.file) + " in " + folder + damaged), std::string::npos) << text;
            EXPECT_NE(text.find("move the folder aside"), std::string::npos) << text;
            EXPECT_NE(text.find("put back a copy of " + std::string(c.file)), std::string::npos) << text;
        }
        EXPECT_NE(text.find("not saved"), std::string::npos) << c.name;
        EXPECT_EQ(s.store->folder, "");
        for (int i = 0; i < 2; ++i)
            saveBudget(s);
        EXPECT_TRUE(s.toasts.empty()) << c.name << ": " << s.toasts.front().text;
        EXPECT_EQ(trySaveBudget(s), std::nullopt) << c.name;
        if (c.data) {
            FileStamp after = stamp(folder + "/" + c.file);
            EXPECT_EQ(after.bytes, file.bytes) << c.name;
            EXPECT_EQ(after.mtime.tv_nsec, file.mtime.tv_nsec) << c.name;
        } else {
            EXPECT_TRUE(std::filesystem::is_empty(folder + "/data.json"));
        }
        EXPECT_EQ(readFile(folder + "/journal.json"), c.journal) << c.name;
    }
}

// Opening and closing an unchanged budget wrote both files every time.
TEST(BudgetIo, AnUnchangedBudgetIsNeverRewritten)
{
    AppHarness h;
    h.start();  // a new budget: its seeded files are written
    const std::string folder = h.budgetDir("local");
    Stamps first = stampsOf(folder);
    h.state.reset();
    usleep(20000);
    AppState& s = h.start();
    EXPECT_EQ(trySaveBudget(s), std::nullopt);  // the close
    expectUnchanged(first, stampsOf(folder), "start and close");
    appendOp(*s.store, opUpdate, entPrefs, 0, Json::object());
    EXPECT_EQ(trySaveBudget(s), std::nullopt);
    EXPECT_NE(stamp(folder + "/journal.json").bytes, first.journal.bytes);
}

TEST(BudgetIo, UnwritableFolderToastsOncePerSave)
{
    AppHarness h;
    AppState& s = h.start();
    s.toasts.clear();
    // A file where the budget folder should be: every write fails, even as root.
    std::string blocker = h.dir / "blocker";
    writeText(blocker, "x");
    s.store->folder = blocker + "/budget";
    for (int i = 1; i <= 3; ++i) {
        markDirty(*s.store);
        saveBudget(s);
        ASSERT_EQ(s.toasts.size(), size_t(i));
        EXPECT_EQ(s.toasts.back().kind, toastError);
        EXPECT_EQ(s.toasts.back().text.rfind("Could not save the budget: ", 0), 0u);
        EXPECT_DOUBLE_EQ(s.toasts.back().expiry - toastClock(), 6.0);
    }
}

TEST(BudgetIo, OpeningTwiceKeepsOneStoreAndSelectsToday)
{
    AppHarness h;
    AppState& s = h.start();
    showMonth(s, 2001, 2);
    openBudget(s, "local");
    openBudget(s, "local");
    EXPECT_EQ(s.store.use_count(), 1);
    EXPECT_TRUE(sameDate(s.selectedDate, s.todayDate));
    EXPECT_EQ(s.shownMonth, (YearMonth{s.todayDate.year, s.todayDate.month}));
    EXPECT_EQ(loadSettings().lastBudget, "local");
}

TEST(Toasts, KeptNewestLastWithTheirLifetimes)
{
    AppHarness h;
    AppState& s = h.start();
    s.toasts.clear();
    showSuccess(s, "a");
    showSuccess(s, "b");
    showError(s, "c");
    showToast(s, "d", toastInfo, 2.5);
    ASSERT_EQ(s.toasts.size(), 4u);
    EXPECT_EQ(s.toasts[0].text, "a");
    EXPECT_EQ(s.toasts[3].text, "d");
    EXPECT_DOUBLE_EQ(s.toasts[0].expiry, toastClock() + 4);
    EXPECT_DOUBLE_EQ(s.toasts[2].expiry, toastClock() + 6);
    EXPECT_DOUBLE_EQ(s.toasts[3].expiry, toastClock() + 2.5);
}

TEST(Theme, ModesForceAndTheDesktopQuery)
{
    struct Case {
        int32_t mode;
        bool desktop;
        bool dark;
    };
    const Case cases[] = {
        {0, true, false}, {1, false, true}, {2, true, true}, {2, false, false}, {7, true, true}, {-1, true, false}};
    for (const Case& c : cases) {
        AppHarness h;
        AppState& s = h.start();
        h.desktopDark = c.desktop;
        s.settings.themeMode = c.mode;
        s.settings.darkTheme = !c.dark;
        applyTheme(s, false);
        EXPECT_EQ(s.settings.darkTheme, c.dark) << c.mode;
        EXPECT_EQ(s.ui->theme.dark, c.dark) << c.mode;
        EXPECT_EQ(h.fake->dark, c.dark) << c.mode;
    }
}

TEST(Theme, UnchangedResultDoesNothingUnlessForced)
{
    AppHarness h;
    AppState& s = h.start();
    s.settings.themeMode = themeSystem;
    h.desktopDark = true;
    applyTheme(s, false);
    int queries = h.desktopQueries;
    s.redrawRequested = false;
    s.ui->theme.name = "marked";
    applyTheme(s, false);
    EXPECT_EQ(h.desktopQueries, queries + 1);  // each check still asks
    EXPECT_FALSE(s.redrawRequested);
    EXPECT_EQ(s.ui->theme.name, "marked");
    applyTheme(s, true);
    EXPECT_TRUE(s.redrawRequested);
    EXPECT_NE(s.ui->theme.name, "marked");
}

TEST(Theme, ProfilePreferenceIsExact)
{
    for (auto [pref, mode] : {std::pair{"dark", 1}, {"light", 0}, {"Dark", 2}, {"system", 2}}) {
        AppHarness h;
        AppState& s = h.start();
        s.store->budget->user.theme_preference = pref;
        applyProfileTheme(s);
        EXPECT_EQ(s.settings.themeMode, mode) << pref;
    }
}

TEST(Theme, HungDesktopQueryGivesUpAsNotDark)
{
    testing::TempDir bin;
    writeText(bin / "gsettings", "#!/bin/sh\nsleep 20\n");
    chmod((bin / "gsettings").c_str(), 0755);
    testing::ScopedEnv env;
    env.set("PATH", bin.path() + ":/usr/bin:/bin").set("GTK_THEME", std::nullopt);
    timespec a{}, b{};
    clock_gettime(CLOCK_MONOTONIC, &a);
    EXPECT_FALSE(desktopPrefersDark());
    clock_gettime(CLOCK_MONOTONIC, &b);
    EXPECT_LT(b.tv_sec - a.tv_sec, 5);
    writeText(bin / "gsettings", "#!/bin/sh\necho \"'prefer-dark'\"\n");
    EXPECT_TRUE(desktopPrefersDark());
}

TEST(AccountState, SyncTexts)
{
    AppHarness h;
    AppState& s = h.start();
    struct Case {
        uint8_t state;
        bool unsent;
        std::string error;
        std::string text;
    };
    const std::string host(serviceLabel);
    const Case cases[] = {
        {0, false, "",
            "The budget is kept on this device only. Sign in to keep it on " + host + " and on your other devices."},
        {1, true, "", "Changes made here are sent when there is a connection. Click to sync now."},
        {1, false, "", "Up to date with " + host + ". Click to sync now."},
        {2, false, "", "Talking to " + host + "\xE2\x80\xA6"},
        {3, false, "", "No connection: the budget works on this device and syncs when the connection is back."},
        {4, false, "timeout", "The last sync failed: timeout. Click to try again."},
        {4, false, "", "The last sync failed: . Click to try again."},
        {5, false, "", "Verify your email address (see Account) to sync with " + host + "."},
    };
    for (const Case& c : cases) {
        s.syncState = c.state;
        s.hasUnsentChanges = c.unsent;
        s.lastSyncError = c.error;
        EXPECT_EQ(syncStatusText(s), c.text);
    }
}

TEST(AccountState, WelcomeFocusAndPreviousPage)
{
    AppHarness h;
    AppState& s = h.start();
    struct Case {
        int32_t mode;
        std::string email;
        std::string focus;
    };
    for (const Case& c : {Case{1, "me@x.y", "wl-pw"}, Case{1, "", "wl-email"}, Case{2, "", "wl-first"},
             Case{3, "", "wl-email"}, Case{4, "", "wl-code"}, Case{0, "", ""}, Case{5, "", ""}}) {
        welcomeForm(s).email = c.email;
        welcomeForm(s).password = "secret";
        setWelcomeMode(s, c.mode, true);
        EXPECT_EQ(welcomeForm(s).focusRequest, c.focus) << c.mode;
        EXPECT_EQ(welcomeForm(s).email, c.email);
        EXPECT_EQ(welcomeForm(s).password, "");
    }
    s.previousPage = pageSearch;
    showPage(s, pageHelp);
    openWelcomePage(s, 1);
    EXPECT_EQ(s.previousPage, pageSearch);
    EXPECT_EQ(s.page, pageWelcome);
    showPage(s, pageCalendar);
    openWelcomePage(s, 1);
    EXPECT_EQ(s.previousPage, pageCalendar);
    EXPECT_EQ(s.framesOnPage, 0);
}

TEST(AccountState, RequestSlotHoldsTheLastRequest)
{
    AppHarness h;
    AppState& s = h.start();
    queueAccountRequest(s, akLogin, {.email = "a"});
    queueAccountRequest(s, akSignup, {.email = "b"});
    EXPECT_TRUE(s.request.pending);
    EXPECT_EQ(s.request.kind, akSignup);
    EXPECT_TRUE(s.request.fields == AccountFields{.email = "b"});
}

TEST(AccountState, OwnerLabelAndInitials)
{
    struct Case {
        std::string first, last, email;
        std::string label, initials;
    };
    const Case cases[] = {
        {"alpha", "beta", "", "alpha beta", "AB"},
        {"alpha", "", "", "alpha", "A"},
        {"  ", "", "me@x.y", "me@x.y", "M"},
        {"  ", "", "", "Local budget", "Q"},
        {" \xC3\xA9mile ", "zola", "", "\xC3\xA9mile zola", "\xC3\xA9Z"},
        {"", "beta", "", "beta", "B"},
    };
    for (const Case& c : cases) {
        AppHarness h;
        AppState& s = h.start();
        s.store->budget->user.first_name = c.first;
        s.store->budget->user.last_name = c.last;
        s.session.email = c.email;
        EXPECT_EQ(budgetOwnerLabel(s), c.label);
        EXPECT_EQ(userInitials(s), c.initials);
    }
}

}  // namespace
}  // namespace qm
