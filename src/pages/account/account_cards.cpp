#include "pages/account/account_cards.h"

#include "app/account_state.h"
#include "app/app_text.h"
#include "app/app_version.h"
#include "app/budget_io.h"
#include "app/file_dialog.h"
#include "app/form_layout.h"
#include "app/navigation.h"
#include "app/paths.h"
#include "app/settings.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "core/service_host.h"
#include "formats/icalendar.h"
#include "model/record_edits.h"
#include "net/api.h"
#include "net/updater.h"
#include "pages/account/account_page.h"
#include "pages/account/calendar_export.h"
#include "pages/account/ofx_export_section.h"
#include "pages/help/help_page.h"
#include "pages/import/import_wizard.h"
#include "pages/welcome/terms.h"
#include "platform/app_window.h"
#include "ui/combo_box.h"
#include "ui/layout.h"
#include "ui/spacing.h"
#include "ui/text_edit.h"
#include "ui/widget_id.h"
#include "ui/widget_state.h"
#include "ui/wrap.h"

#include <array>
#include <cmath>

namespace qm {

namespace {

UiContext& uiOf(AppState& state) { return *state.ui; }

void space(AppState& state, double dp) { accountSpace(state, dp); }

Rect take(AppState& state, double h) { return accountRow(state, h); }

Color secondary(AppState& state) { return uiOf(state).theme.base[slotTextSecondary]; }

// Two buttons side by side while the card is wide enough for both, else
// one under the other, so that neither runs out of the card.
std::pair<Rect, Rect> buttonPair(AppState& state, double w1, double w2)
{
    double h = rowHeight(uiOf(state)), gap = dp(*state.ui, kSpaceBase);
    Rect row = take(state, h);
    if (w1 + gap + w2 <= row.w)
        return {{row.x, row.y, w1, h}, {row.x + w1 + gap, row.y, w2, h}};
    Rect below = take(state, h);
    return {{row.x, row.y, std::min(w1, row.w), h}, {below.x, below.y, std::min(w2, below.w), h}};
}

constexpr uint32_t bit(uint8_t kind) { return uint32_t{1} << kind; }

struct ThemeChoice {
    const char* label;
    int32_t mode;
    const char* value;
};
constexpr std::array<ThemeChoice, 3> themeChoices{
    {{"Follow System", 2, "system"}, {"Light", 0, "light"}, {"Dark", 1, "dark"}}};
constexpr std::array<int32_t, 8> scalePercents{75, 90, 100, 110, 125, 150, 175, 200};

}  // namespace

bool accountBusy(const AppState& state) { return state.request.pending; }

void accountSpace(AppState& state, double amount) { addSpace(uiOf(state), dp(*state.ui, amount)); }

Rect accountRow(AppState& state, double h)
{
    UiContext& ui = uiOf(state);
    Rect r = nextLayoutRect(ui, h, 0);
    currentLayout(ui).cursorY -= spacing(ui);
    return r;
}

void accountField(AppState& state, std::string_view label, std::string_view id, std::string& text,
    std::string_view placeholder, bool masked)
{
    UiContext& ui = uiOf(state);
    fieldLabel(state, label);
    textEdit(ui, widgetId(ui, id), text, take(state, rowHeight(ui)), {.placeholder = placeholder, .masked = masked});
}

bool accountButton(AppState& state, std::string_view id, std::string_view label, ButtonStyle style, double widthDp,
    bool disabled, std::string_view icon)
{
    Rect row = take(state, rowHeight(uiOf(state)));
    double w = std::min(row.w, dp(*state.ui, widthDp));
    return button(state, id, label, {row.x, row.y, w, row.h}, {.style = style, .icon = icon, .disabled = disabled});
}

std::string accountLiveText(AppState& state, std::string_view id, const std::string& bound)
{
    auto st = textEditState(uiOf(state), widgetId(uiOf(state), id));
    return st->editing ? st->buffer : bound;
}

void accountParagraph(AppState& state, std::string_view text, double sizeDp, Color color)
{
    UiContext& ui = uiOf(state);
    double size = dp(*state.ui, sizeDp);
    for (const std::string& line : wrapText(ui, text, currentLayout(ui).w, size))
        drawText(state, line, take(state, size * 1.45), size, color, 0, 400);
}

int32_t scaleChoiceFor(double uiScale)
{
    for (size_t i = 0; i < scalePercents.size(); ++i)
        if (std::fabs(scalePercents[i] - uiScale * 100) <= 2)
            return int32_t(i);
    return 2;
}

void appearanceCard(AppState& state)
{
    UiContext& ui = uiOf(state);
    double top = beginAccountCard(state, "Appearance");
    fieldLabel(state, "Theme");
    int32_t selected = -1;
    std::vector<std::string> labels;
    for (size_t i = 0; i < themeChoices.size(); ++i) {
        labels.emplace_back(themeChoices[i].label);
        if (themeChoices[i].mode == state.settings.themeMode)
            selected = int32_t(i);
    }
    if (comboBox(ui, widgetId(ui, "ac-theme"), selected, labels, take(state, rowHeight(ui)), false) && selected >= 0) {
        const ThemeChoice& choice = themeChoices[size_t(selected)];
        state.settings.themeMode = choice.mode;
        setThemePreference(*state.store, choice.value);
        saveBudget(state);
        saveSettings(state);
        applyTheme(state, true);
        if (isSignedIn(state))
            queueAccountRequest(state, akTheme, {.theme = choice.value});
    }
    space(state, kSpaceSmall);
    fieldLabel(state, "App scale");
    std::vector<std::string> scales;
    for (int32_t p : scalePercents)
        scales.push_back(std::to_string(p) + "%");
    int32_t scale = scaleChoiceFor(state.settings.uiScale);
    Rect row = take(state, rowHeight(ui));
    row.w = std::min(row.w, dp(*state.ui, 160));
    if (comboBox(ui, widgetId(ui, "ac-scale"), scale, scales, row, false) && scale >= 0) {
        state.settings.uiScale = scalePercents[size_t(scale)] / 100.0;
        saveSettings(state);
        state.redrawRequested = true;
    }
    endAccountCard(state, top, false);
}

void calendarSyncCard(AppState& state)
{
    UiContext& ui = uiOf(state);
    double top = beginAccountCard(state, "Calendar Sync");
    if (isSignedIn(state)) {
        const User& user = state.store->budget->user;
        std::string url = user.calendar_token.empty()
            ? std::string()
            : calendarFeedUrl(serverBaseUrl(state.settings), user.calendar_token);
        bool on = !url.empty();
        bool ticked = on;
        bool offline = !state.online;
        if (checkField(state, on ? "Calendar feed on" : "Calendar feed off", ticked, accountBusy(state) || offline)) {
            if (!on)
                queueAccountRequest(state, akCalendarToken, {});
            else
                showConfirm(state, "Turn off Calendar Sync",
                    "The feed address stops working, and calendars subscribed to it stop updating. Turn it off?",
                    "calsync-off", "Turn off", "Cancel", true);
        }
        drawRequestStatus(state, bit(akCalendarToken) | bit(akCalendarTokenOff));
        space(state, kSpaceSmall);
        if (!on) {
            accountParagraph(state,
                "Turn it on for a private address that Google Calendar, Apple Calendar and Outlook can subscribe to, "
                "so your transactions show in your calendar.",
                13, secondary(state));
        } else {
            accountParagraph(state, "Subscribe to your budget from any calendar app with this private address:", 13,
                ui.theme.base[slotText]);
            space(state, kSpaceBase);
            Rect row = take(state, rowHeight(ui));
            double bw = dp(*state.ui, state.compact ? 84 : 104);
            std::string shown = url;
            textEdit(ui, widgetId(ui, "cs-url"), shown, {row.x, row.y, row.w - bw - dp(*state.ui, 8), row.h},
                {.disabled = true, .selectAllOnClick = true});
            if (button(state, "cs-copy", "Copy", {row.x + row.w - bw, row.y, bw, row.h},
                    {.style = buttonPrimary, .icon = "copy"})) {
                if (state.window)
                    setClipboardText(*state.window, url);
                showSuccess(state, "Feed URL copied");
            }
            space(state, kSpaceRoomy);
            fieldLabel(state, "How to subscribe");
            static const std::array<std::pair<const char*, const char*>, 3> apps{{
                {"Google Calendar", "The + next to \"Other calendars\", then \"From URL\": paste the address."},
                {"Apple Calendar",
                    "File, then New Calendar Subscription (on an iPhone: Settings, Calendar, Accounts, Add Account, "
                    "Other, Add Subscribed Calendar)."},
                {"Outlook", "Add Calendar, then \"From Internet\": paste the address."},
            }};
            for (const auto& [name, steps] : apps) {
                accountParagraph(state, std::string(name) + ": " + steps, 12.5, secondary(state));
                space(state, 2);
            }
            space(state, kSpaceSmall);
            accountParagraph(state,
                "Anyone with this address can see your transactions, so keep it private. A new address stops the old "
                "one working.",
                13, secondary(state));
            space(state, 10);
            if (accountButton(state, "cs-regen", "Generate New URL", buttonDanger, 170, accountBusy(state) || offline))
                showConfirm(state, "Generate a new URL",
                    "Calendars subscribed to the old address stop updating. Generate a new feed URL?", "regen-token",
                    "Generate", "Cancel", false);
        }
    } else {
        accountParagraph(state,
            "A calendar feed that Google Calendar, Apple Calendar and Outlook can subscribe to comes with a free "
                + std::string(serviceLabel) + " account.",
            13, secondary(state));
    }
    space(state, kSpaceLarge);
    fieldLabel(state, "Calendar file");
    accountParagraph(state,
        "Save the next months of transactions as an .ics file to import into a calendar on this device (it does not "
        "update by itself).",
        13, secondary(state));
    space(state, 8);
    if (accountButton(state, "cs-ics", "Save calendar file", buttonNormal, 190, false, "download"))
        openFileDialog(state, {"Save the calendar file", true, exportCalendarFile}, {".ics"}, "quenmark.ics");
    endAccountCard(state, top, false);
}

void importCard(AppState& state)
{
    UiContext& ui = uiOf(state);
    double top = beginAccountCard(state, "Import Transactions");
    accountParagraph(state,
        "Bring in transactions from a bank or financial export file (.ofx or .qfx, from Quicken and most banks). You "
        "review every line, with duplicates and recurring payments flagged, before anything is saved.",
        13, secondary(state));
    space(state, 10);
    if (accountButton(state, "ac-import", "Import a file", buttonPrimary, 150, false, "upload")) {
        restartFinishedImport(state);
        openFileDialog(state, statementImport(), {".ofx", ".qfx"}, "");
    }
    ImportWizardState& wizard = importWizardState(state);
    if (wizard.importStep == importReview) {
        space(state, kSpaceBase);
        Rect line = take(state, dp(*state.ui, 20));
        std::string text = "Continue reviewing " + wizard.importFileName;
        double size = dp(*state.ui, 12.5);
        line.w = std::min(line.w, measureText(state, text, size, 500));
        drawText(state, text, line, size, ui.theme.base[slotLink], 0, 500);
        if (interact(ui, widgetId(ui, "ac-import-resume"), line, 1).clicked) {
            showPage(state, pageImport);
            state.framesOnPage = 0;
        }
    }
    endAccountCard(state, top, false);
}

void ofxCard(AppState& state)
{
    double top = beginAccountCard(state, "Export to OFX");
    drawOfxExportSection(state);
    endAccountCard(state, top, false);
}

void deviceCard(AppState& state)
{
    double top = beginAccountCard(state, "This device");
    if (checkField(state, "Check for updates when the app starts", state.settings.checkUpdates, false))
        saveSettings(state);
    space(state, 4);
    if (accountButton(state, "ac-checkupd", "Check for updates now", buttonNormal, 190, false, "download"))
        checkForUpdates(state, false);
    space(state, kSpaceSmall);
    if (checkField(state, "Offer to send a crash report when the app does not close normally",
            state.settings.crashReports, false))
        saveSettings(state);
    space(state, kSpaceBase);
    accountParagraph(
        state, "Version " + appVersionText() + " \u00b7 The budget is kept in " + configDir(), 13, secondary(state));
    if (isSignedIn(state)) {
        space(state, 10);
        if (accountButton(state, "ac-logout", "Log out", buttonNormal, 110, false, "logout"))
            showConfirm(state, "Log out",
                "Log out of " + state.session.email + "? The budget stays on this device until you sign in again.",
                "logout", "Log out", "Cancel", false);
    }
    endAccountCard(state, top, false);
}

void legalCard(AppState& state)
{
    UiContext& ui = uiOf(state);
    double top = beginAccountCard(state, "Terms and Privacy");
    accountParagraph(state,
        "The Terms of Use (the licence for the app) and the Privacy Policy: what is kept, where, and how to delete "
        "it.",
        13, ui.theme.base[slotText]);
    std::string accepted = legalAcceptedLabel(state);
    if (!accepted.empty()) {
        space(state, kSpaceTight);
        accountParagraph(state, accepted, 13, secondary(state));
    }
    space(state, 10);
    double size = dp(*state.ui, 13);
    auto [terms, privacy] = buttonPair(state, measureText(state, "Terms of Use", size, 600) + dp(*state.ui, 28),
        measureText(state, "Privacy Policy", size, 600) + dp(*state.ui, 28));
    if (button(state, "ac-terms", "Terms of Use", terms))
        openHelpAnchor(state, "terms");
    if (button(state, "ac-privacy", "Privacy Policy", privacy))
        openHelpAnchor(state, "privacy");
    endAccountCard(state, top, false);
}

void deleteAccountCard(AppState& state)
{
    AccountPageState& page = accountPageState(state);
    double top = beginAccountCard(state, "Delete Account");
    accountParagraph(state,
        "Warning: this cannot be undone. All your data on " + std::string(serviceLabel)
            + " will be permanently deleted.",
        13, secondary(state));
    space(state, kSpaceBase);
    accountField(state, "Type DELETE to confirm", "ac-delete", page.deleteConfirmation, "", false);
    space(state, kSpaceRoomy);
    bool armed = accountLiveText(state, "ac-delete", page.deleteConfirmation) == "DELETE";
    if (accountButton(state, "ac-delete-btn", "Delete Account", buttonDanger, 150, accountBusy(state) || !armed))
        showConfirm(state, "Delete your account",
            "Delete the account " + state.session.email + " and everything in it on " + std::string(serviceLabel)
                + "? The account's budget on this device is removed too.",
            "delete-user", "Delete my account", "Cancel", true);
    drawRequestStatus(state, bit(akDeleteAccount));
    endAccountCard(state, top, true);
}

void yourAccountCard(AppState& state)
{
    double top = beginAccountCard(state, "Your account");
    accountParagraph(state,
        "This budget lives on this device only. A free " + std::string(serviceLabel)
            + " account keeps it safe, syncs it to your other devices and the web, and adds the calendar feed.",
        13, secondary(state));
    space(state, 10);
    auto [signIn, signUp] = buttonPair(state, dp(*state.ui, 110), dp(*state.ui, 190));
    if (button(state, "ac-signin", "Sign in", signIn, {.style = buttonPrimary}))
        openWelcomePage(state, welcomeSignIn);
    if (button(state, "ac-signup", "Create a free account", signUp))
        openWelcomePage(state, welcomeSignUp);
    endAccountCard(state, top, false);
}

}  // namespace qm
