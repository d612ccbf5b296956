#pragma once
// The Help page's panels, for tests.
#include <cstdint>
#include <string>

#include "pages/help/help_view.h"

namespace qm {

void helpContentsList(AppState& state, const Rect& rect, int32_t currentHeading);
// query is already stripped of surrounding white space.
void helpSearchResults(AppState& state, const Rect& rect, const std::string& query);
// The section the reader is at on the current section's page: the last whose
// heading lies no lower than a little below the top edge.
int32_t currentHelpHeading(AppState& state, const DocLayout& layout, double scroll);

}  // namespace qm
