#include "pages/account/account_page.h"

#include "app/account_state.h"
#include "app/app_text.h"
#include "app/budget_io.h"
#include "app/form_layout.h"
#include "app/navigation.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "core/ascii.h"
#include "net/api.h"
#include "pages/account/account_cards.h"
#include "platform/render/color.h"
#include "platform/render/primitives.h"
#include "ui/layout.h"
#include "ui/scroll_area.h"
#include "ui/spacing.h"
#include "ui/text_edit.h"
#include "ui/widget_id.h"
#include "ui/window.h"
#include "ui/wrap.h"

#include <algorithm>

namespace qm {

namespace {

UiContext& uiOf(AppState& state) { return *state.ui; }

void space(AppState& state, double amount) { addSpace(uiOf(state), dp(*state.ui, amount)); }

const User& userOf(const AppState& state) { return state.store->budget->user; }

constexpr uint32_t bit(uint8_t kind) { return uint32_t{1} << kind; }

void profileCard(AppState& state)
{
    AccountPageState& page = accountPageState(state);
    double top = beginAccountCard(state, "Profile");
    drawPhotoBlock(state);
    space(state, kSpaceSmall);
    accountField(state, "First name", "ac-first", page.firstName, "", false);
    space(state, kSpaceSmall);
    accountField(state, "Last name", "ac-last", page.lastName, "", false);
    space(state, 10);
    if (accountButton(state, "ac-savename", "Save Name", buttonPrimary, 120, accountBusy(state)))
        queueAccountRequest(state, akProfile,
            {.first_name = std::string(trimAsciiBlanks(page.firstName)),
                .last_name = std::string(trimAsciiBlanks(page.lastName))});
    drawRequestStatus(state, bit(akProfile));
    endAccountCard(state, top, false);
}

void emailCard(AppState& state)
{
    AccountPageState& page = accountPageState(state);
    double top = beginAccountCard(state, "Change Email");
    accountField(state, "Email address", "ac-email", page.email, "name@example.com", false);
    const std::string& pending = userOf(state).pending_email;
    if (!pending.empty()) {
        space(state, kSpaceSmall);
        accountParagraph(state, "Verification email sent to " + pending + ". Check that inbox to complete the change.",
            13, uiOf(state).theme.base[slotTextSecondary]);
    }
    space(state, 10);
    if (accountButton(state, "ac-saveemail", "Update Email", buttonPrimary, 130, accountBusy(state)))
        queueAccountRequest(state, akEmail, {.email = std::string(trimAsciiBlanks(page.email))});
    drawRequestStatus(state, bit(akEmail));
    endAccountCard(state, top, false);
}

void passwordCard(AppState& state)
{
    AccountPageState& page = accountPageState(state);
    double top = beginAccountCard(state, "Change Password");
    accountField(state, "Current password", "ac-curpw", page.currentPassword, "", true);
    space(state, kSpaceSmall);
    accountField(state, "New password", "ac-newpw", page.newPassword, "At least 8 characters", true);
    space(state, kSpaceSmall);
    accountField(state, "Confirm new password", "ac-confpw", page.confirmPassword, "", true);
    space(state, 10);
    if (accountButton(state, "ac-savepw", "Update Password", buttonPrimary, 150, accountBusy(state))) {
        if (page.newPassword != page.confirmPassword)
            showError(state, "The new passwords do not match.");
        else if (page.newPassword.size() < 8)
            showError(state, "The new password needs at least 8 characters.");
        else
            queueAccountRequest(
                state, akPassword, {.current_password = page.currentPassword, .new_password = page.newPassword});
    }
    drawRequestStatus(state, bit(akPassword));
    endAccountCard(state, top, false);
}

// Takes this frame's reply into the page: the status copy, and the fields
// a successful reply changes.
void takeReply(AppState& state)
{
    AccountPageState& page = accountPageState(state);
    AccountRequest& request = state.request;
    if (request.pending && (request.sent || request.fields != AccountFields{}))
        page.statusKind = 0;
    if (request.replyKind == 0)
        return;
    page.statusKind = request.replyKind;
    page.statusOk = request.replyOk;
    page.statusText = request.replyOk ? request.replyMessage : request.replyError;
    if (!request.replyOk)
        return;
    if (request.replyKind == akPassword) {
        page.currentPassword.clear();
        page.newPassword.clear();
        page.confirmPassword.clear();
    }
    if (request.replyKind == akCheckVerified)
        openAccountPage(state);
    if (request.replyKind == akTwoFactorSetup || request.replyKind == akTwoFactorEnable) {
        page.twoFactorSetupShown = request.replyKind == akTwoFactorSetup;
        page.twoFactorCode.clear();
    }
}

// Runs a card in its column: strict alternation between the two.
template <typename Card>
void card(AppState& state, Card&& draw)
{
    placeCard(state);
    draw(state);
    finishCardPlacement(state);
}

}  // namespace

AccountPageState& accountPageState(AppState& state)
{
    if (!state.accountPage)
        state.accountPage = std::make_shared<AccountPageState>();
    return *state.accountPage;
}

void openAccountPage(AppState& state)
{
    AccountPageState& page = accountPageState(state);
    const User& user = userOf(state);
    page.firstName = user.first_name;
    page.lastName = user.last_name;
    page.email = user.email.empty() ? state.session.email : user.email;
    page.currentPassword.clear();
    page.newPassword.clear();
    page.confirmPassword.clear();
    page.twoFactorCode.clear();
    page.deleteConfirmation.clear();
    state.accountFieldsFilled = true;
}

double beginAccountCard(AppState& state, std::string_view title)
{
    UiContext& ui = uiOf(state);
    double top = layoutCursor(ui);
    double side = dp(*state.ui, 18);
    indent(ui, side);
    currentLayout(ui).w -= side;
    space(state, kSpaceSection);
    Rect row = nextLayoutRect(ui, dp(*state.ui, 26), 0);
    currentLayout(ui).cursorY -= spacing(ui);
    drawText(state, title, row, dp(*state.ui, 16), ui.theme.base[slotText], 0, 700);
    space(state, kSpaceSmall);
    return top;
}

void endAccountCard(AppState& state, double top, bool danger)
{
    UiContext& ui = uiOf(state);
    space(state, kSpaceSection);
    double side = dp(*state.ui, 18);
    currentLayout(ui).w += side;
    unindent(ui, side);
    const LayoutFrame& frame = currentLayout(ui);
    Color line = danger ? withAlpha(ui.theme.base[slotDanger], 0.5) : ui.theme.base[slotShadeStrong];
    strokeRoundRect(*state.renderer, {frame.x, top, frame.w, layoutCursor(ui) - top}, dp(*state.ui, 14), 1, line);
    space(state, 14);
}

void drawRequestStatus(AppState& state, uint32_t kindMask)
{
    AccountPageState& page = accountPageState(state);
    if (page.statusKind == 0 || page.statusKind >= 32 || !(kindMask & bit(page.statusKind)))
        return;
    UiContext& ui = uiOf(state);
    Rect row = nextLayoutRect(ui, dp(*state.ui, 20), 0);
    currentLayout(ui).cursorY -= spacing(ui);
    Color color = ui.theme.base[page.statusOk ? slotSuccess : slotDanger];
    drawText(state, page.statusText, row, dp(*state.ui, 12.5), color, 0, 500);
}

void placeCard(AppState& state)
{
    AccountPageState& page = accountPageState(state);
    if (!page.twoColumns)
        return;
    double x = page.contentX + (page.turn == 0 ? 0 : page.columnWidth + dp(*state.ui, 16));
    pushLayout(uiOf(state), {x, page.columnY[page.turn], page.columnWidth, 100000});
}

void finishCardPlacement(AppState& state)
{
    AccountPageState& page = accountPageState(state);
    if (!page.twoColumns)
        return;
    UiContext& ui = uiOf(state);
    double y = layoutCursor(ui);
    popLayout(ui);
    page.columnY[page.turn] = y;
    page.turn = 1 - page.turn;
}

void drawAccountPage(AppState& state, const Rect& rect)
{
    UiContext& ui = uiOf(state);
    AccountPageState& page = accountPageState(state);
    bool entering = isPageActive(state, pageAccount);
    if (entering || !state.accountFieldsFilled) {
        openAccountPage(state);
        page.statusKind = 0;
    }
    takeReply(state);

    double pad = dp(*state.ui, state.compact ? 12 : 28);
    double width = std::min(rect.w - 2 * pad, dp(*state.ui, 980));
    double left = rect.x + (rect.w - width) / 2;
    if (entering)
        resetScroll(ui, "accountpage");
    Rect view = beginScrollArea(ui, "accountpage", rect, colorTransparent, false);
    (void)view;
    pushLayout(ui, {left, layoutCursor(ui) + dp(*state.ui, state.compact ? 14 : 24), width, 1e9});
    bool signedIn = isSignedIn(state);
    Rect titleRow = nextLayoutRect(ui, dp(*state.ui, state.compact ? 30 : 36), 0);
    currentLayout(ui).cursorY -= spacing(ui);
    drawText(state, signedIn ? "Account Settings" : "Settings", titleRow, dp(*state.ui, state.compact ? 20 : 24),
        ui.theme.base[slotText], 0, 700);
    space(state, state.compact ? 6 : 10);

    page.twoColumns = !state.compact && width > dp(*state.ui, 760);
    page.contentX = left;
    page.columnWidth = page.twoColumns ? (width - dp(*state.ui, 16)) / 2 : width;
    page.columnY[0] = page.columnY[1] = layoutCursor(ui);
    page.turn = 0;

    if (signedIn) {
        card(state, profileCard);
        card(state, emailCard);
        card(state, passwordCard);
    }
    card(state, appearanceCard);
    card(state, calendarSyncCard);
    card(state, importCard);
    card(state, ofxCard);
    if (signedIn)
        card(state, twoFactorCard);
    card(state, deviceCard);
    card(state, legalCard);
    card(state, signedIn ? deleteAccountCard : yourAccountCard);

    if (page.twoColumns)
        setLayoutCursor(ui, std::max(page.columnY[0], page.columnY[1]));
    space(state, 40);
    double bottom = layoutCursor(ui);
    popLayout(ui);
    extendLayout(ui, bottom);
    endScrollArea(ui, "accountpage");
}

}  // namespace qm
