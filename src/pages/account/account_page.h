#pragma once
// The Account page (titled "Settings" when nobody is signed in): one or two
// columns of cards for the profile, e-mail, password and the settings.
// Every service call goes through the single account request; a card shows
// the outcome of its own kinds under itself.
#include <cstdint>
#include <string>

#include "app/app_state.h"

namespace qm {

// The page's own block of the state: the typed texts and the last reply,
// held so a card's status line stays until the next request or visit.
struct AccountPageState {
    std::string firstName;
    std::string lastName;
    std::string email;
    std::string currentPassword;
    std::string newPassword;
    std::string confirmPassword;
    std::string twoFactorCode;
    std::string deleteConfirmation;
    bool twoFactorSetupShown = false;

    uint8_t statusKind = 0;
    bool statusOk = false;
    std::string statusText;

    // The range the OFX export covers.
    Date ofxFrom;
    Date ofxTo;

    // Per frame: the two-column arrangement.
    bool twoColumns = false;
    double contentX = 0;
    double columnWidth = 0;
    double columnY[2] = {0, 0};
    int32_t turn = 0;
};

AccountPageState& accountPageState(AppState& state);
// Fills the typed texts from the user record and the session; passwords,
// the two-factor code and the delete confirmation are emptied.
void openAccountPage(AppState& state);
void drawAccountPage(AppState& state, const Rect& rect);

// Card chrome for the cards of this page.
double beginAccountCard(AppState& state, std::string_view title);
void endAccountCard(AppState& state, double top, bool danger);
// The last reply's line, when its kind is one of the mask's bits.
void drawRequestStatus(AppState& state, uint32_t kindMask);
void placeCard(AppState& state);
void finishCardPlacement(AppState& state);

}  // namespace qm
