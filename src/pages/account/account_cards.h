#pragma once
// The Account page's settings cards and the small helpers every card of
// the page draws with. Each card draws between beginAccountCard and
// endAccountCard in the column the page placed it in.
#include <string>
#include <string_view>

#include "app/app_state.h"
#include "ui/button.h"

namespace qm {

bool accountBusy(const AppState& state);
// dp of space in the current layout.
void accountSpace(AppState& state, double dp);
// The next h pixels of the column, without the layout's gap after them.
Rect accountRow(AppState& state, double h);
// A label over a full-width field of the standard row height.
void accountField(AppState& state, std::string_view label, std::string_view id, std::string& text,
    std::string_view placeholder, bool masked);
// A row of the standard height with one button of `widthDp` at its left.
bool accountButton(AppState& state, std::string_view id, std::string_view label, ButtonStyle style, double widthDp,
    bool disabled, std::string_view icon = "");
// What the field shows now, typed but perhaps not yet written back: the
// buttons that depend on it must not wait for the field to lose focus.
std::string accountLiveText(AppState& state, std::string_view id, const std::string& bound);
void accountParagraph(AppState& state, std::string_view text, double sizeDp, Color color);

// The profile card's photo block.
void drawPhotoBlock(AppState& state);

void appearanceCard(AppState& state);
void calendarSyncCard(AppState& state);
void importCard(AppState& state);
void ofxCard(AppState& state);
void twoFactorCard(AppState& state);
void deviceCard(AppState& state);
void legalCard(AppState& state);
void deleteAccountCard(AppState& state);
void yourAccountCard(AppState& state);

// The index of the scale entry shown for a uiScale: the one within 2 per
// cent, else the entry for 100.
int32_t scaleChoiceFor(double uiScale);

}  // namespace qm
