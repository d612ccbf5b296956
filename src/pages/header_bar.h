#pragma once
// The bar above every page. On the desktop it holds the logo, one tab per
// page (folded into a menu on narrow windows), the balance as of today, the
// sync state as a button and the user's menu; on the compact layout a short
// bar with the balance and one menu, a bottom sheet of the sync state, the
// pages and the account actions.
// It keeps nothing between frames beyond the toolkit's open popup.
#include <string>
#include <vector>

#include "app/app_state.h"

namespace qm {

// Draws the bar for the layout in use and returns the page's rectangle.
Rect drawHeaderBar(AppState& state);
Rect drawDesktopHeader(AppState& state);
Rect drawPhoneHeader(AppState& state);

// The popovers, each drawn only while its popup is open.
void drawUserMenu(AppState& state, const Rect& anchor);
void drawPageMenu(AppState& state, const Rect& anchor);
void drawPhoneMenu(AppState& state);

struct SyncStatusLook {
    std::string label;
    std::string icon;
    Color color;
};
SyncStatusLook syncStatusLabel(const AppState& state);

// One row of the user menu at the layout's cursor; true when clicked.
bool userMenuEntry(AppState& state, std::string_view id, std::string_view label, std::string_view icon);

// Where the desktop bar puts its pieces at the current view width, in pixels.
struct DesktopHeaderLayout {
    double height = 0;
    Rect brand;              // the clickable brand, from the icon to the end of the name
    double nameX = 0;        // where the product name starts
    bool tabsFit = false;    // otherwise "nav-menu" stands in for the tabs
    std::vector<Rect> tabs;  // Calendar, Search, Reports, Help, laid out even when they do not fit
    Rect menu;               // only when the tabs do not fit
    Rect sync;
    Rect balance;
    Rect avatar;
    std::string syncLabel;
    std::string balanceText;  // "Balance: " and today's balance
    double balanceAmount = 0;
};
DesktopHeaderLayout desktopHeaderLayout(AppState& state);

// The phone menu's bottom sheet: one column of five page rows, or two of
// three when the rows would not fit the view's height.
struct PhoneMenuLayout {
    Rect sheet;
    double row = 0;
    int32_t columns = 1;
    int32_t rowsPerColumn = 5;
    int32_t extraRows = 1;  // the account actions below the pages
};
PhoneMenuLayout phoneMenuLayout(const AppState& state);

// The pages the desktop tabs offer, and those of the page and phone menus.
const std::vector<uint8_t>& headerTabPages();
const std::vector<uint8_t>& headerMenuPages();

// Today's balance under the account filter, as the bars show it.
double headerBalance(const AppState& state);

// Asks to confirm signing out of the session's account.
void confirmLogout(AppState& state);

}  // namespace qm
