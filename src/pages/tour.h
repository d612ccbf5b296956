#pragma once
// The guided tour: eleven steps over the desktop calendar, each a dimmed
// view with a ring around one element and a card that explains it. It runs
// on demo records loaded into the open budget for the length of the tour
// and removed when it ends, so the user's own records stay as they were.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/app_state.h"

namespace qm {

struct TourStep {
    std::string anchor;  // empty: no spotlight
    std::string title;
    std::string text;
};
const std::vector<TourStep>& tourSteps();

// Runs every frame after the page: loads the demo records on the first
// step, draws the step, or pauses or ends the tour.
void drawTour(AppState& state);
// Ends the tour: the demo records go, the tour counts as completed.
void endTour(AppState& state);

// Where a step's card goes in the view (pixels), for a text of that many
// wrapped lines, beside the anchor when there is one.
struct TourCardLayout {
    Rect card;
    std::optional<Rect> hole;  // the anchor grown by 6 dp
};
TourCardLayout tourCardLayout(const AppState& state, const std::optional<Rect>& anchor, size_t lines);
// The card's width in pixels for the current view.
double tourCardWidth(const AppState& state);

}  // namespace qm
