// The header bar: tabs or the page menu by the view's width, the sync
// button's looks and clicks, the colours of today's balance, page switches,
// the phone bar and its menu sheet, and signing out.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "app/account_state.h"
#include "app/budget_io.h"
#include "app/navigation.h"
#include "app/page_table.h"
#include "model/record_edits.h"
#include "pages/header_bar.h"
#include "pages/page_harness.h"
#include "ui/hit_test.h"
#include "ui/theme.h"
#include "ui/widget_id.h"

namespace qm {
namespace {

using testing::PageHarness;

constexpr const char* kSignedIn = R"({"email":"ann@example.com","token":"t","user_id":42})";

bool drawn(const PageHarness& h, const std::string& id) { return h.widget(id) != nullptr; }

const testing::DrawnText* textNamed(const PageHarness& h, const std::string& text)
{
    for (const testing::DrawnText& t : h.texts)
        if (t.text == text)
            return &t;
    return nullptr;
}

// The content rectangle the shell hands the current page.
struct ContentProbe {
    Rect got;
    ContentProbe()
    {
        PageTable t = pageTable();
        auto keep = [this](AppState&, const Rect& r) { got = r; };
        t.drawCalendarPage = keep;
        t.drawSearchPage = keep;
        setPageTable(std::move(t));
    }
};

TEST(HeaderBar, TabsGiveWayToTheMenuOneDpBelowTheirWidth)
{
    PageHarness h;
    h.frame();
    DesktopHeaderLayout at = desktopHeaderLayout(*h);
    ASSERT_TRUE(at.tabsFit);
    // The tabs fit while they end 10 dp before the balance button, whose
    // place does not depend on them.
    double room = at.balance.x - 10 - (at.tabs.back().x + at.tabs.back().w);
    int32_t fit = int32_t(1280 - std::floor(room));
    struct Case {
        int32_t width;
        bool tabs;
    };
    for (Case c : {Case{fit + 1, true}, Case{fit, true}, Case{fit - 1, false}, Case{fit, true}, Case{700, false},
             Case{1280, true}}) {
        h.resize(c.width, 820);
        h.frame();
        EXPECT_EQ(drawn(h, "nav-Calendar"), c.tabs) << c.width;
        EXPECT_EQ(drawn(h, "nav-Help"), c.tabs) << c.width;
        EXPECT_EQ(drawn(h, "nav-menu"), !c.tabs) << c.width;
        Rect balance = h.rectOf("nav-balance");
        EXPECT_NEAR(balance.x + balance.w, h.rectOf("nav-sync").x - 12, 1e-9) << c.width;
        if (c.tabs) {
            EXPECT_LE(h.rectOf("nav-Help").x + h.rectOf("nav-Help").w + 10, balance.x) << c.width;
        }
    }
}

TEST(HeaderBar, SyncStatusForEveryState)
{
    PageHarness h;
    const Theme& t = h->ui->theme;
    struct Case {
        uint8_t state;
        bool unsent;
        const char* label;
        const char* icon;
        int slot;
    };
    const Case cases[] = {
        {syncLocalOnly, false, "On this device", "cloud_off", slotTextTertiary},
        {syncLocalOnly, true, "On this device", "cloud_off", slotTextTertiary},
        {syncIdle, false, "Synced", "sync_done", slotTextTertiary},
        {syncIdle, true, "Changes to sync", "cloud", slotWarning},
        {syncBusy, false, "Syncing\u2026", "sync", slotLink},
        {syncBusy, true, "Syncing\u2026", "sync", slotLink},
        {syncOffline, true, "Offline", "cloud_off", slotTextTertiary},
        {syncFailed, false, "Sync problem", "warning", slotDanger},
        {syncUnverified, false, "Verify your email", "warning", slotWarning},
        {9, false, "On this device", "cloud_off", slotTextTertiary},
        {9, true, "On this device", "cloud_off", slotTextTertiary},
    };
    for (const Case& c : cases) {
        h->syncState = c.state;
        h->hasUnsentChanges = c.unsent;
        SyncStatusLook look = syncStatusLabel(*h);
        EXPECT_EQ(look.label, c.label) << int(c.state) << c.unsent;
        EXPECT_EQ(look.icon, c.icon) << int(c.state);
        EXPECT_EQ(look.color, t.base[size_t(c.slot)]) << int(c.state);
        h.frame();
        const testing::DrawnText* shown = textNamed(h, c.label);
        ASSERT_NE(shown, nullptr) << c.label;
        EXPECT_EQ(shown->color, t.base[size_t(c.slot)]) << c.label;
    }
}

TEST(HeaderBar, SyncButtonSyncsWithAnAccountAndOffersOneWithout)
{
    struct Case {
        uint8_t state;
        bool syncs;  // else the welcome page opens
    };
    for (Case c : {Case{syncFailed, true}, Case{syncIdle, true}, Case{syncOffline, true}, Case{syncUnverified, true},
             Case{syncLocalOnly, false}, Case{9, false}}) {
        PageHarness h;
        h->syncState = c.state;
        h.frame();
        h.clickWidget("nav-sync");
        h.frame();
        EXPECT_EQ(h->syncNowRequested, c.syncs) << int(c.state);
        EXPECT_EQ(h->page, c.syncs ? pageCalendar : pageWelcome) << int(c.state);
        if (!c.syncs) {
            EXPECT_EQ(welcomeForm(*h).mode, welcomeStart);
            EXPECT_EQ(h->previousPage, pageCalendar);
        }
    }
}

TEST(HeaderBar, BalanceColoursOnDesktopAndPhone)
{
    struct Case {
        double balance;
        const char* text;
        int desktop;
        int phone;
    };
    const Case cases[] = {
        {1999.99, "$1,999.99", slotWarning, slotText},
        {2000, "$2,000.00", slotText, slotText},
        {0, "$0.00", slotWarning, slotText},
        {-0.01, "-$0.01", slotDanger, slotDanger},
        {-250, "-$250.00", slotDanger, slotDanger},
    };
    for (bool phone : {false, true}) {
        PageHarness h(phone ? 390 : 1280, 820);
        if (phone)
            h.app.env.set("QUENMRK_PHONE", "1");
        const Theme& t = h->ui->theme;
        for (const Case& c : cases) {
            setAnchor(h.store(), testing::kPinnedToday, c.balance, 0);
            h.frame();
            std::string text = phone ? c.text : std::string("Balance: ") + c.text;
            const testing::DrawnText* shown = textNamed(h, text);
            ASSERT_NE(shown, nullptr) << text;
            EXPECT_EQ(shown->color, t.base[size_t(phone ? c.phone : c.desktop)]) << text << " phone " << phone;
        }
    }
}

TEST(HeaderBar, TabsSwitchPagesAndHelpIsNeverThePreviousPage)
{
    PageHarness h;
    // The guided tour points at the balance and the sync buttons.
    startTour(*h);
    h.frame();
    EXPECT_EQ(h->tourAnchors.at("balance"), h.rectOf("nav-balance"));
    EXPECT_EQ(h->tourAnchors.at("sync"), h.rectOf("nav-sync"));
    h->tourStep = -1;
    h.frame();
    h.clickWidget("nav-Search");
    h.frame();
    EXPECT_EQ(h->page, pageSearch);
    EXPECT_EQ(h->previousPage, pageCalendar);
    EXPECT_EQ(h->framesOnPage, 1);
    h.clickWidget("nav-Help");
    h.frame();
    EXPECT_EQ(h->page, pageHelp);
    EXPECT_EQ(h->previousPage, pageSearch);
    h.clickWidget("nav-Calendar");
    h.frame();
    EXPECT_EQ(h->page, pageCalendar);
    EXPECT_EQ(h->previousPage, pageSearch);
    h.clickWidget("nav-Reports");
    h.frame();
    EXPECT_EQ(h->page, pageReports);
    EXPECT_EQ(h->previousPage, pageCalendar);
    h.clickWidget("nav-brand");
    h.frame();
    EXPECT_EQ(h->page, pageCalendar);
    EXPECT_EQ(h->previousPage, pageReports);
}

TEST(HeaderBar, PageMenuListsEveryPageAndSwitches)
{
    PageHarness h(700, 700);
    h.frame();
    h.clickWidget("nav-menu");
    h.frame();
    for (const char* id : {"nm-Calendar", "nm-Search", "nm-Reports", "nm-Help", "nm-Account"})
        EXPECT_TRUE(drawn(h, id)) << id;
    h.clickWidget("nm-Account");
    h.frame();
    EXPECT_EQ(h->page, pageAccount);
    EXPECT_EQ(h->ui->popupId, 0);
    h.frame();
    h.clickWidget("nav-menu");
    h.frame();
    h.clickWidget("nm-Search");
    h.frame();
    EXPECT_EQ(h->page, pageSearch);
    EXPECT_EQ(h->previousPage, pageCalendar);  // Account is never the page to return to

    // A menu whose button goes away as the window changes closes with it,
    // so that it does not stay open unseen.
    h.clickWidget("nav-menu");
    h.frame();
    ASSERT_NE(h->ui->popupId, 0);
    h.resize(1280, 700);
    h.frame();
    EXPECT_EQ(h->ui->popupId, 0);
    h.clickWidget("nav-balance");
    h.frame();
    ASSERT_NE(h->ui->popupId, 0);
    h.app.env.set("QUENMRK_PHONE", "1");
    h.frame();
    EXPECT_EQ(h->ui->popupId, 0);
}

TEST(HeaderBar, PhoneLandscapeHidesTheBarOnTheCalendarOnly)
{
    PageHarness h(844, 390);
    h.app.env.set("QUENMRK_PHONE", "1");
    ContentProbe probe;
    h.frame();
    ASSERT_TRUE(h->phoneLandscape);
    EXPECT_EQ(probe.got, (Rect{0, 0, 844, 390}));
    EXPECT_FALSE(drawn(h, "ph-menu"));
    showPage(*h, pageSearch);
    h.frame();
    EXPECT_EQ(probe.got, (Rect{0, 44, 844, 390 - 44}));
    EXPECT_TRUE(drawn(h, "ph-menu"));

    // Upright, the bar shows on every page.
    h.resize(390, 844);
    showPage(*h, pageCalendar);
    h.frame();
    EXPECT_FALSE(h->phoneLandscape);
    EXPECT_EQ(probe.got, (Rect{0, 44, 390, 844 - 44}));
}

TEST(HeaderBar, PhoneMenuRowsAndColumnsAroundItsSwitchPoint)
{
    struct Case {
        bool signedIn;
        int32_t height;
        int32_t columns;
        double row;
    };
    // Seven rows signed in (the sync row, five pages, "Log out"), eight out.
    const Case cases[] = {
        {true, 370, 1, 46},
        {true, 369, 2, 42},
        {false, 416, 1, 46},
        {false, 415, 2, 42},
    };
    for (const Case& c : cases) {
        PageHarness h(390, c.height, c.signedIn ? kSignedIn : "");
        h.app.env.set("QUENMRK_PHONE", "1");
        h.frame();
        ASSERT_EQ(isSignedIn(*h), c.signedIn);
        h.clickWidget("ph-menu");
        h.frame();
        std::set<double> xs, ys;
        for (const char* page : {"pm-Calendar", "pm-Search", "pm-Reports", "pm-Help", "pm-Account"}) {
            Rect r = h.rectOf(page);
            ASSERT_TRUE(drawn(h, page)) << page << " at " << c.height;
            xs.insert(r.x);
            ys.insert(r.y);
            EXPECT_EQ(r.h, c.row) << page;
        }
        std::string at = std::to_string(c.height) + (c.signedIn ? " signed in" : " signed out");
        EXPECT_EQ(int32_t(xs.size()), c.columns) << at;
        EXPECT_EQ(ys.size(), c.columns == 1 ? 5u : 3u) << at;
        // The two columns hold the pages down the first, then the second.
        if (c.columns == 2) {
            EXPECT_EQ(h.rectOf("pm-Help").y, h.rectOf("pm-Calendar").y) << at;
        }
        EXPECT_EQ(drawn(h, "pm-logout"), c.signedIn) << at;
        EXPECT_EQ(drawn(h, "pm-signin"), !c.signedIn) << at;
        EXPECT_EQ(drawn(h, "pm-signup"), !c.signedIn) << at;
        EXPECT_EQ(h.drewText("Settings"), !c.signedIn) << at;
        EXPECT_EQ(h.drewText("Account"), c.signedIn) << at;
        PhoneMenuLayout sheet = phoneMenuLayout(*h);
        EXPECT_GE(sheet.sheet.y, 8);
        EXPECT_LE(h.rectOf(c.signedIn ? "pm-logout" : "pm-signup").y + c.row, sheet.sheet.y + sheet.sheet.h) << at;
    }
}

TEST(HeaderBar, LogOutAsksFirstAndSignsOutTheFrameAfterConfirming)
{
    for (bool phone : {false, true}) {
        PageHarness h(phone ? 390 : 1280, 820, kSignedIn);
        if (phone)
            h.app.env.set("QUENMRK_PHONE", "1");
        h.frame();
        h.clickWidget(phone ? "ph-menu" : "nav-avatar");
        h.frame();
        EXPECT_EQ(h.drewText("ann@example.com"), !phone);
        h.clickWidget(phone ? "pm-logout" : "um-logout");
        h.frame();
        EXPECT_EQ(h->ui->popupId, 0);
        ASSERT_TRUE(h->confirm.window->open);
        EXPECT_EQ(h->confirm.action, "logout");
        EXPECT_EQ(
            h->confirm.message, "Log out of ann@example.com? The budget stays on this device until you sign in again.");
        h.frame();
        EXPECT_FALSE(h->signOutRequested);
        h.clickWidget("qmconfirm-yes");
        h.frame();
        EXPECT_FALSE(h->signOutRequested);
        h.frame();
        EXPECT_TRUE(h->signOutRequested) << "phone " << phone;
    }
}

TEST(HeaderBar, UserMenuSignedOutOffersAnAccountAndSettings)
{
    PageHarness h;
    h.frame();
    h.clickWidget("nav-avatar");
    h.frame();
    EXPECT_TRUE(h.drewText("Not signed in"));
    for (const char* id : {"um-signin", "um-signup", "um-settings"})
        EXPECT_TRUE(drawn(h, id)) << id;
    h.clickWidget("um-signin");
    h.frame();
    EXPECT_EQ(h->page, pageWelcome);
    EXPECT_EQ(welcomeForm(*h).mode, welcomeSignIn);
}

}  // namespace
}  // namespace qm
