#include "pages/header_bar.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>

#include "app/account_state.h"
#include "app/app_text.h"
#include "app/display_elements.h"
#include "app/icon_textures.h"
#include "app/navigation.h"
#include "app/popover.h"
#include "app/theme_apply.h"
#include "model/balances.h"
#include "model/money.h"
#include "model/projection.h"
#include "pages/calendar/month_figures.h"
#include "pages/calendar/toolbar_pieces.h"
#include "platform/cursor.h"
#include "platform/render/glyph_atlas.h"
#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/layout.h"
#include "ui/spacing.h"
#include "ui/tooltip.h"
#include "ui/widget_id.h"

namespace qm {

namespace {

constexpr double kDesktopBarDp = 60;
constexpr double kPhoneBarDp = 44;
// Today's balance turns to the warning colour below this on the desktop,
// where it is a cushion; on the phone only a negative balance stands out.
constexpr double kDesktopWarnBelow = 2000;
constexpr double kPhoneWarnBelow = 0;
constexpr double kMenuRowDp = 36;
constexpr const char* kProductName = "Quenmark";

// Base slot 6 of the palette: the soft border every bar and divider uses;
// slot 7 (slotBorder) is the strong one.
constexpr ThemeSlot slotSoftBorder = slotShadeStrong;

int64_t popupId(AppState& state, const char* name) { return widgetId(*state.ui, name); }

// A popup whose bar is not drawn (the window changed its layout while it
// was open) would stay open unseen and keep the wheel from the page.
void closeUnreachable(AppState& state, std::initializer_list<const char*> names)
{
    UiContext& ui = *state.ui;
    for (const char* name : names)
        if (*name && isPopupOpen(ui, popupId(state, name)))
            closePopup(ui);
}

// The sync button's click: a sync when there is an account to sync with,
// else the way to get one. A state this code does not know reads as "On
// this device", and acts so.
void syncClicked(AppState& state)
{
    if (state.syncState == syncLocalOnly || state.syncState > syncUnverified)
        openWelcomePage(state, welcomeStart);
    else
        requestSyncAndRedraw(state);
}

std::string pageLabel(const AppState& state, uint8_t page)
{
    if (page == pageAccount && !isSignedIn(state))
        return "Settings";
    return pageKindName(page);
}

void icon(AppState& state, std::string_view name, const Rect& rect, Color color)
{
    drawAppIcon(*state.renderer, name, rect, color);
}

// The drop-down mark of a button that opens a menu; dp from the button's
// right edge and top.
void chevron(AppState& state, const Rect& button, double fromRight, double fromTop, double size)
{
    double c = dp(*state.ui, size);
    icon(state, "chevron_down",
        {button.x + button.w - dp(*state.ui, fromRight), button.y + dp(*state.ui, fromTop), c, c},
        state.ui->theme.base[slotTextSecondary]);
}

void drawTab(AppState& state, uint8_t page, const Rect& rect)
{
    UiContext& ui = *state.ui;
    const Theme& t = ui.theme;
    std::string name = pageKindName(page);
    InteractResult res = interact(ui, widgetId(ui, "nav-" + name), rect, 1);
    bool current = state.page == page;
    if (res.hovered) {
        fillRoundRect(*state.renderer, rect, dp(*state.ui, 6), t.base[slotHover]);
        ui.cursorShape = curHand;
    }
    Color ink = res.hovered || current ? t.base[slotLink] : t.base[slotText];
    drawText(state, name, rect, dp(*state.ui, 13.5), ink, 0.5, current ? 600 : 500);
    if (current) {
        double inset = dp(*state.ui, kSpaceLarge), thick = dp(*state.ui, 2);
        Rect bar{rect.x + inset, dp(*state.ui, kDesktopBarDp - 6) - thick, rect.w - 2 * inset, thick};
        fillRoundRect(*state.renderer, bar, dp(*state.ui, 1), t.base[slotAccent]);
    }
    if (res.clicked)
        switchPage(state, page);
}

void drawSyncButton(AppState& state, const Rect& rect, const SyncStatusLook& look)
{
    UiContext& ui = *state.ui;
    InteractResult res = interact(ui, widgetId(ui, "nav-sync"), rect, 1);
    if (res.hovered) {
        fillRoundRect(*state.renderer, rect, dp(*state.ui, 13), ui.theme.base[slotHover]);
        ui.cursorShape = curHand;
    }
    double s = dp(*state.ui, 16);
    icon(state, look.icon, {rect.x + dp(*state.ui, 8), rect.y + dp(*state.ui, 5), s, s}, look.color);
    Rect text{rect.x + dp(*state.ui, 27), rect.y, std::max(0.0, rect.w - dp(*state.ui, 27)), rect.h};
    drawText(state, look.label, text, dp(*state.ui, 11.5), look.color, 0, 500);
    setTooltip(ui, syncStatusText(state));
    registerTourAnchor(state, "sync", rect);
    if (res.clicked)
        syncClicked(state);
}

void drawBalanceButton(AppState& state, const DesktopHeaderLayout& at)
{
    UiContext& ui = *state.ui;
    const Theme& t = ui.theme;
    const Rect& rect = at.balance;
    InteractResult res = interact(ui, widgetId(ui, "nav-balance"), rect, 1);
    fillRoundRect(
        *state.renderer, rect, dp(*state.ui, 8), res.hovered ? t.base[slotHover] : t.base[slotBackgroundDeep]);
    if (res.hovered)
        ui.cursorShape = curHand;
    drawText(state, at.balanceText, rect, dp(*state.ui, 13), amountColor(state, at.balanceAmount, kDesktopWarnBelow),
        0.5, 500);
    setTooltip(ui, "Today's balance; click for this month's figures");
    registerTourAnchor(state, "balance", rect);
    if (res.clicked) {
        int64_t id = popupId(state, "balancepanel");
        if (isPopupOpen(ui, id)) {
            closePopup(ui);
        } else {
            openPopup(ui, id, rect);
            // 0: the calendar's shown month, whatever the panel showed last.
            popupState(ui, id)->shownMonth = 0;
        }
        state.redrawRequested = true;
    }
}

void drawAvatarButton(AppState& state, const Rect& rect)
{
    UiContext& ui = *state.ui;
    const Theme& t = ui.theme;
    InteractResult res = interact(ui, widgetId(ui, "nav-avatar"), rect, 1);
    if (res.hovered) {
        fillRoundRect(*state.renderer, rect, dp(*state.ui, 17), t.base[slotHover]);
        ui.cursorShape = curHand;
    }
    double d = dp(*state.ui, 30), two = dp(*state.ui, 2);
    drawAvatar(state, {rect.x + two, rect.y + two, d, d}, d);
    chevron(state, rect, 16, 10, 14);
    if (res.clicked)
        togglePopup(state, "usermenu", rect);
}

void drawMenuButton(AppState& state, const Rect& rect)
{
    UiContext& ui = *state.ui;
    const Theme& t = ui.theme;
    InteractResult res = interact(ui, widgetId(ui, "nav-menu"), rect, 1);
    double radius = dp(*state.ui, 8);
    fillRoundRect(*state.renderer, rect, radius, res.hovered ? t.base[slotHover] : t.base[slotBackground]);
    strokeRoundRect(*state.renderer, rect, radius, std::max(1.0, dp(*state.ui, 1)), t.base[slotSoftBorder]);
    if (res.hovered)
        ui.cursorShape = curHand;
    drawText(state, "Menu", {rect.x + dp(*state.ui, 12), rect.y, rect.w, rect.h}, dp(*state.ui, 13), t.base[slotText],
        0, 600);
    chevron(state, rect, 20, 9, 14);
    if (res.clicked)
        togglePopup(state, "navmenu", rect);
}

void drawBrand(AppState& state, const DesktopHeaderLayout& at)
{
    UiContext& ui = *state.ui;
    const Theme& t = ui.theme;
    double h = at.height;
    if (state.windowIcon) {
        double s = dp(*state.ui, 32);
        Rect logo{dp(*state.ui, 16), std::round((h - s) / 2), s, s};
        drawTextureRect(*state.renderer, *state.windowIcon, logo, colorWhite, 0, 0, 1, 1);
    }
    // On their baselines, in boxes that end before the balance: a narrow
    // window elides the tagline rather than writing it under the button.
    double room = std::max(0.0, at.balance.x - dp(*state.ui, 12) - at.nameX);
    auto line = [&](std::string_view text, int32_t weight, double baseline, double size, Color color) {
        const GlyphAtlas& face = *atlasForWeight(state, weight);
        double up = ascent(face, size), down = descent(face, size);
        drawText(state, text, {at.nameX, baseline - up, room, up - down}, size, color, 0, weight);
    };
    line(kProductName, 700, std::round(h / 2 - dp(*state.ui, 2)), dp(*state.ui, 15), t.base[slotText]);
    line("Plan \u00b7 Track \u00b7 Forecast", 400, std::round(h / 2 + dp(*state.ui, 12)), dp(*state.ui, 10),
        t.base[slotTextTertiary]);
    InteractResult res = interact(ui, widgetId(ui, "nav-brand"), at.brand, 1);
    if (res.hovered)
        ui.cursorShape = curHand;
    if (res.clicked)
        switchPage(state, pageCalendar);
}

// A popover menu row whose leading box shows a built-in icon.
bool iconRow(AppState& state, std::string_view id, std::string_view label, std::string_view iconName, const Rect& rect,
    bool selected, std::string_view detail = {}, Color tint = colorTransparent)
{
    Color ink = tint.a > 0 ? tint : state.ui->theme.base[slotTextSecondary];
    std::string name(iconName);
    return menuItem(state, id, label, rect, selected, detail, [&state, name, ink](const Rect& box) {
        double s = std::min(box.w, box.h) * 0.8;
        icon(state, name, {box.x, box.y + (box.h - s) / 2, s, s}, ink);
    });
}

void signInRows(AppState& state, const char* prefix, const std::function<Rect()>& nextRow)
{
    UiContext& ui = *state.ui;
    std::string p(prefix);
    if (iconRow(state, p + "signin", "Sign in", "person", nextRow(), false)) {
        closePopup(ui);
        openWelcomePage(state, welcomeSignIn);
    }
    if (iconRow(state, p + "signup", "Create a free account", "sparkle", nextRow(), false)) {
        closePopup(ui);
        openWelcomePage(state, welcomeSignUp);
    }
}

}  // namespace

const std::vector<uint8_t>& headerTabPages()
{
    static const std::vector<uint8_t> pages{pageCalendar, pageSearch, pageReports, pageHelp};
    return pages;
}

const std::vector<uint8_t>& headerMenuPages()
{
    static const std::vector<uint8_t> pages{pageCalendar, pageSearch, pageReports, pageHelp, pageAccount};
    return pages;
}

double headerBalance(const AppState& state)
{
    const BudgetProjection& p = storeProjection(*state.store);
    return monthEndBalances(p, selectedAccountId(state), state.todayDate).balance;
}

SyncStatusLook syncStatusLabel(const AppState& state)
{
    const Theme& t = state.ui->theme;
    switch (state.syncState) {
    case syncIdle:
        if (state.hasUnsentChanges)
            return {"Changes to sync", "cloud", t.base[slotWarning]};
        return {"Synced", "sync_done", t.base[slotTextTertiary]};
    case syncBusy:
        return {"Syncing\u2026", "sync", t.base[slotLink]};
    case syncOffline:
        return {"Offline", "cloud_off", t.base[slotTextTertiary]};
    case syncFailed:
        return {"Sync problem", "warning", t.base[slotDanger]};
    case syncUnverified:
        return {"Verify your email", "warning", t.base[slotWarning]};
    default:
        return {"On this device", "cloud_off", t.base[slotTextTertiary]};
    }
}

DesktopHeaderLayout desktopHeaderLayout(AppState& state)
{
    const UiContext& ui = *state.ui;
    DesktopHeaderLayout at;
    double h = dp(*state.ui, kDesktopBarDp), mid = h / 2;
    at.height = h;
    at.nameX = dp(*state.ui, 16 + 32 + 10);
    double nameEnd = at.nameX + measureText(state, kProductName, dp(*state.ui, 15), 700);
    at.brand = {dp(*state.ui, 16), mid - dp(*state.ui, 18), nameEnd - dp(*state.ui, 16), dp(*state.ui, 36)};

    at.balanceAmount = headerBalance(state);
    at.balanceText = "Balance: " + formatMoney(at.balanceAmount);
    at.syncLabel = syncStatusLabel(state).label;
    double balanceW = measureText(state, at.balanceText, dp(*state.ui, 13), 500) + dp(*state.ui, 20);
    double syncW = measureText(state, at.syncLabel, dp(*state.ui, 11.5), 500) + dp(*state.ui, 30);
    double avatarW = dp(*state.ui, 48), gap = dp(*state.ui, kSpaceLarge);
    double cluster = balanceW + syncW + avatarW + 2 * gap;

    double x = nameEnd + dp(*state.ui, 18);
    for (uint8_t page : headerTabPages()) {
        double w = measureText(state, pageKindName(page), dp(*state.ui, 13.5), 600) + dp(*state.ui, 26);
        double th = dp(*state.ui, 34);
        at.tabs.push_back({x, mid - th / 2, w, th});
        x += w + dp(*state.ui, 2);
    }
    double tabsEnd = at.tabs.back().x + at.tabs.back().w;
    at.tabsFit = tabsEnd <= ui.viewWidth - dp(*state.ui, 16) - cluster - dp(*state.ui, 10);

    double right = ui.viewWidth - dp(*state.ui, 16);
    at.avatar = {right - avatarW, mid - dp(*state.ui, 17), avatarW, dp(*state.ui, 34)};
    right = at.avatar.x - gap;
    if (!at.tabsFit) {
        double w = measureText(state, "Menu", dp(*state.ui, 13), 600) + dp(*state.ui, 34);
        at.menu = {right - w, mid - dp(*state.ui, 16), w, dp(*state.ui, 32)};
        right = at.menu.x - gap;
    }
    at.sync = {right - syncW, mid - dp(*state.ui, 13), syncW, dp(*state.ui, 26)};
    right = at.sync.x - gap;
    at.balance = {right - balanceW, mid - dp(*state.ui, 15), balanceW, dp(*state.ui, 30)};
    return at;
}

Rect drawHeaderBar(AppState& state) { return state.compact ? drawPhoneHeader(state) : drawDesktopHeader(state); }

Rect drawDesktopHeader(AppState& state)
{
    UiContext& ui = *state.ui;
    const Theme& t = ui.theme;
    DesktopHeaderLayout at = desktopHeaderLayout(state);
    closeUnreachable(state, {"phonemenu", at.tabsFit ? "navmenu" : ""});
    double h = at.height;
    Rect bar{0, 0, ui.viewWidth, h};
    drawShadowRect(*state.renderer, bar, 0, dp(*state.ui, 6), t.base[slotShadowSoft]);
    fillRect(*state.renderer, bar, tintColor(t, 0));
    drawDivider(state, 0, ui.viewWidth, h - std::max(1.0, dp(*state.ui, 1)), t.base[slotSoftBorder]);

    drawBrand(state, at);
    if (at.tabsFit)
        for (size_t i = 0; i < at.tabs.size(); ++i)
            drawTab(state, headerTabPages()[i], at.tabs[i]);
    drawAvatarButton(state, at.avatar);
    drawUserMenu(state, at.avatar);
    if (!at.tabsFit) {
        drawMenuButton(state, at.menu);
        drawPageMenu(state, at.menu);
    }
    drawSyncButton(state, at.sync, syncStatusLabel(state));
    drawBalanceButton(state, at);
    drawMonthFiguresPanel(state, at.balance);
    return {0, h, ui.viewWidth, std::max(0.0, ui.viewHeight - h)};
}

Rect drawPhoneHeader(AppState& state)
{
    UiContext& ui = *state.ui;
    const Theme& t = ui.theme;
    closeUnreachable(state, {"usermenu", "navmenu", "balancepanel"});
    if (state.phoneLandscape && state.page == pageCalendar) {
        drawPhoneMenu(state);
        return {0, 0, ui.viewWidth, ui.viewHeight};
    }
    double h = dp(*state.ui, kPhoneBarDp);
    fillRect(*state.renderer, {0, 0, ui.viewWidth, h}, t.base[slotSurface]);
    drawDivider(state, 0, ui.viewWidth, h - std::max(1.0, dp(*state.ui, 1)), t.base[slotBorder]);

    double balance = headerBalance(state);
    std::string balanceText = formatMoney(balance);
    double balanceSize = dp(*state.ui, 13.5);
    double balanceW = measureText(state, balanceText, balanceSize, 500);
    double menuTextW = measureText(state, "Menu", dp(*state.ui, 14), 500);
    double w = dp(*state.ui, 10 + 24 + 8) + menuTextW + dp(*state.ui, 8 + 16 + 10);
    double side = dp(*state.ui, 14), gap = dp(*state.ui, kSpaceBase);
    // In a window too narrow for the balance beside the word, the button
    // keeps its picture and chevron only.
    bool word = side + balanceW + gap + w + side <= ui.viewWidth;
    if (!word)
        w -= menuTextW + dp(*state.ui, 8);
    double bh = dp(*state.ui, 34);
    Rect button{ui.viewWidth - side - w, (h - bh) / 2, w, bh};
    drawText(state, balanceText, {side, 0, std::max(0.0, button.x - gap - side), h}, balanceSize,
        amountColor(state, balance, kPhoneWarnBelow), 0, 500);

    int64_t sheet = popupId(state, "phonemenu");
    InteractResult res = interact(ui, widgetId(ui, "ph-menu"), button, 1);
    double radius = dp(*state.ui, 10);
    bool lit = res.hovered || isPopupOpen(ui, sheet);
    fillRoundRect(*state.renderer, button, radius, lit ? t.base[slotHover] : t.base[slotSurface]);
    strokeRoundRect(*state.renderer, button, radius, std::max(1.0, dp(*state.ui, 1)), t.base[slotSoftBorder]);
    double a = dp(*state.ui, 24);
    Rect face{button.x + dp(*state.ui, 10), button.y + (bh - a) / 2, a, a};
    if (isSignedIn(state))
        drawAvatar(state, face, a);
    else if (state.windowIcon)
        drawTextureRect(*state.renderer, *state.windowIcon, face, colorWhite, 0, 0, 1, 1);
    if (word)
        drawText(state, "Menu", {face.x + a + dp(*state.ui, 8), button.y, menuTextW, bh}, dp(*state.ui, 14),
            t.base[slotText], 0, 500);
    chevron(state, button, 26, 9, 16);
    if (res.hovered)
        ui.cursorShape = curHand;
    if (res.clicked)
        togglePopup(state, "phonemenu", button);
    drawPhoneMenu(state);
    return {0, h, ui.viewWidth, std::max(0.0, ui.viewHeight - h)};
}

PhoneMenuLayout phoneMenuLayout(const AppState& state)
{
    const UiContext& ui = *state.ui;
    PhoneMenuLayout at;
    bool signedIn = isSignedIn(state);
    at.extraRows = signedIn ? 1 : 2;
    at.row = dp(*state.ui, 46);
    if ((8 - int(signedIn)) * dp(*state.ui, 46) + dp(*state.ui, 32) > ui.viewHeight - dp(*state.ui, 16)) {
        at.row = dp(*state.ui, 42);
        at.columns = 2;
        at.rowsPerColumn = 3;
    }
    double w = std::min(ui.viewWidth - dp(*state.ui, 16), dp(*state.ui, 560));
    double h = (at.extraRows + at.rowsPerColumn + 1) * at.row + dp(*state.ui, 18 + 14);
    double y = std::max(dp(*state.ui, 8), ui.viewHeight - h - dp(*state.ui, 8));
    at.sheet = {std::round((ui.viewWidth - w) / 2), std::round(y), std::round(w), std::round(h)};
    return at;
}

void confirmLogout(AppState& state)
{
    showConfirm(state, "Log out",
        "Log out of " + state.session.email + "? The budget stays on this device until you sign in again.", "logout",
        "Log out", "Cancel", false);
}

void drawPhoneMenu(AppState& state)
{
    UiContext& ui = *state.ui;
    if (!isPopupOpen(ui, popupId(state, "phonemenu")))
        return;
    const Theme& t = ui.theme;
    PhoneMenuLayout at = phoneMenuLayout(state);
    const Rect& sheet = at.sheet;
    int32_t layer = beginPopover(state, sheet);
    Renderer& r = *state.renderer;
    Rect handle{
        sheet.x + (sheet.w - dp(*state.ui, 38)) / 2, sheet.y + dp(*state.ui, 7), dp(*state.ui, 38), dp(*state.ui, 5)};
    fillRoundRect(r, handle, dp(*state.ui, 3), t.base[slotBorder]);

    double left = sheet.x + dp(*state.ui, 8), inner = sheet.w - dp(*state.ui, 16);
    double y = sheet.y + dp(*state.ui, 16);
    auto divider = [&] {
        drawDivider(
            state, sheet.x + dp(*state.ui, 14), sheet.x + sheet.w - dp(*state.ui, 14), y, t.base[slotSoftBorder]);
        y += dp(*state.ui, 5);
    };
    SyncStatusLook look = syncStatusLabel(state);
    if (iconRow(state, "pm-sync", look.label, look.icon, {left, y, inner, at.row}, false, syncStatusText(state),
            look.color)) {
        closePopup(ui);
        syncClicked(state);
    }
    y += at.row;
    divider();

    const std::vector<uint8_t>& pages = headerMenuPages();
    double colW = inner / at.columns;
    for (size_t i = 0; i < pages.size(); ++i) {
        int32_t col = int32_t(i) / at.rowsPerColumn, row = int32_t(i) % at.rowsPerColumn;
        Rect rect{left + col * colW, y + row * at.row, colW, at.row};
        static const char* const icons[] = {"calendar", "search", "chart", "help", "settings"};
        if (iconRow(state, "pm-" + pageKindName(pages[i]), pageLabel(state, pages[i]), icons[i], rect,
                state.page == pages[i])) {
            closePopup(ui);
            switchPage(state, pages[i]);
        }
    }
    y += at.rowsPerColumn * at.row;
    divider();

    if (isSignedIn(state)) {
        if (iconRow(state, "pm-logout", "Log out", "logout", {left, y, inner, at.row}, false)) {
            closePopup(ui);
            confirmLogout(state);
        }
    } else {
        signInRows(state, "pm-", [&] {
            Rect rect{left, y, inner, at.row};
            y += at.row;
            return rect;
        });
    }
    endPopover(state, layer);
}

bool userMenuEntry(AppState& state, std::string_view id, std::string_view label, std::string_view iconName)
{
    UiContext& ui = *state.ui;
    // Rows touch: the menu's rows are exactly one row apart.
    Rect frame = layoutRect(ui);
    double y = layoutCursor(ui), row = dp(*state.ui, kMenuRowDp);
    setLayoutCursor(ui, y + row);
    extendLayout(ui, y + row);
    return iconRow(state, id, label, iconName, {frame.x, y, frame.w, row}, false);
}

void drawUserMenu(AppState& state, const Rect& anchor)
{
    UiContext& ui = *state.ui;
    if (!isPopupOpen(ui, popupId(state, "usermenu")))
        return;
    const Theme& t = ui.theme;
    bool signedIn = isSignedIn(state);
    double header = dp(*state.ui, signedIn ? 64 : 52);
    int rows = signedIn ? 2 : 3;
    double h = rows * dp(*state.ui, kMenuRowDp) + header + dp(*state.ui, 12);
    Rect panel = placePopover(state, anchor, dp(*state.ui, 250), h, {.alignRight = true});
    int32_t layer = beginPopover(state, panel);
    double inset = dp(*state.ui, 14);
    double x = panel.x + inset, w = panel.w - 2 * inset, y = panel.y + dp(*state.ui, 10);
    auto line = [&](double height) { return Rect{x, y, w, height}; };
    if (signedIn) {
        sectionCaption(state, "Signed in as", line(dp(*state.ui, 14)), 0);
        y += dp(*state.ui, 16);
        std::string owner = budgetOwnerLabel(state);
        if (owner != state.session.email) {
            drawText(state, elideText(state, owner, w, dp(*state.ui, 13), 600), line(dp(*state.ui, 18)),
                dp(*state.ui, 13), t.base[slotText], 0, 600);
            y += dp(*state.ui, 18);
        }
        drawText(state, elideText(state, state.session.email, w, dp(*state.ui, 12), 400), line(dp(*state.ui, 16)),
            dp(*state.ui, 12), t.base[slotTextSecondary], 0, 400);
        y += dp(*state.ui, 20);
    } else {
        sectionCaption(state, "This device only", line(dp(*state.ui, 14)), 0);
        y += dp(*state.ui, 16);
        drawText(state, "Not signed in", line(dp(*state.ui, 18)), dp(*state.ui, 13), t.base[slotText], 0, 600);
        y += dp(*state.ui, 24);
    }
    drawDivider(state, panel.x, panel.x + panel.w, y, t.base[slotSoftBorder]);
    y += dp(*state.ui, 4);
    // The entries go in 6 dp from the sides, one row below the other.
    popLayout(ui);
    pushLayout(ui, {panel.x + dp(*state.ui, 6), y, panel.w - dp(*state.ui, 12), panel.y + panel.h - y});
    if (signedIn) {
        if (userMenuEntry(state, "um-account", "Account Settings", "settings")) {
            closePopup(ui);
            switchPage(state, pageAccount);
        }
        if (userMenuEntry(state, "um-logout", "Log out", "logout")) {
            closePopup(ui);
            confirmLogout(state);
        }
    } else {
        if (userMenuEntry(state, "um-signin", "Sign in", "person")) {
            closePopup(ui);
            openWelcomePage(state, welcomeSignIn);
        }
        if (userMenuEntry(state, "um-signup", "Create a free account", "sparkle")) {
            closePopup(ui);
            openWelcomePage(state, welcomeSignUp);
        }
        if (userMenuEntry(state, "um-settings", "Settings", "settings")) {
            closePopup(ui);
            switchPage(state, pageAccount);
        }
    }
    endPopover(state, layer);
}

void drawPageMenu(AppState& state, const Rect& anchor)
{
    UiContext& ui = *state.ui;
    if (!isPopupOpen(ui, popupId(state, "navmenu")))
        return;
    double row = dp(*state.ui, kMenuRowDp), inset = dp(*state.ui, kSpaceSmall);
    const std::vector<uint8_t>& pages = headerMenuPages();
    Rect panel =
        placePopover(state, anchor, dp(*state.ui, 220), pages.size() * row + dp(*state.ui, 12), {.alignRight = true});
    int32_t layer = beginPopover(state, panel);
    double y = panel.y + inset;
    for (uint8_t page : pages) {
        std::string name = pageKindName(page);
        if (menuItem(state, "nm-" + name, name, {panel.x + inset, y, panel.w - 2 * inset, row}, state.page == page)) {
            closePopup(ui);
            switchPage(state, page);
        }
        y += row;
    }
    endPopover(state, layer);
}

}  // namespace qm
