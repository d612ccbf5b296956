#pragma once
// Accepting the terms of use and the privacy policy. Acceptance is a stamp
// in the settings naming this build's version and the date of the terms;
// while it is missing or older, the whole window shows the two texts (pages
// of the help book) and an "I agree" button instead of the program.
#include <string>
#include <string_view>

#include "app/app_state.h"

namespace qm {

// "<version>|<date of the terms>", what acceptance stores.
std::string legalStamp();
bool legalStampMatches(std::string_view stored);
// Demonstration, screenshot, export and automation runs skip the page.
bool legalCheckSkipped();

// Once while the state is made, after the settings are read.
void decideLegalPage(AppState& state);
// Every frame while the terms are due, over the whole window.
void drawLegalPage(AppState& state, const Rect& rect);
void acceptLegal(AppState& state);
// "You accepted them on 3 November 2026, in version 1.1.0."; empty when
// nothing was accepted.
std::string legalAcceptedLabel(const AppState& state);

}  // namespace qm
