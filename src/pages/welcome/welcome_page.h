#pragma once
// The welcome page: the first choice of a new installation, and the forms to
// sign in, create an account, ask for a password reset, enter a two-factor
// code and wait for the e-mail address to be verified. It never calls the
// service: it queues an AccountRequest and shows what the reply wrote back
// into the form.
#include <string_view>
#include <utility>

#include "app/app_state.h"
#include "ui/button.h"

namespace qm {

void drawWelcomePage(AppState& state, const Rect& content);
// A button centred in a row 38 high, at most 280 wide.
bool welcomeButton(AppState& state, std::string_view id, std::string_view label, ButtonStyle style, bool disabled);
// Two link buttons side by side, centred as a pair; which were clicked.
std::pair<bool, bool> welcomeLinkPair(AppState& state, std::string_view firstId, std::string_view firstLabel,
    std::string_view secondId, std::string_view secondLabel);
// A cheap shape check before anything is sent: name@host.tld without blanks.
bool looksLikeEmail(std::string_view text);

}  // namespace qm
