#pragma once
// The Help page and its document view in a whole AppState over a fake
// window; a frame without a body draws the page over the whole view.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/page_draw_harness.h"
#include "pages/help/help_view.h"

namespace qm::testing {

struct HelpHarness : PageDrawHarness {
    // helpDir names QUENMRK_HELP's folder; none gives the compiled-in pages.
    explicit HelpHarness(int32_t width = 1280, int32_t height = 820, std::optional<std::string> helpDir = std::nullopt);

    HelpViewState& view() { return helpView(*app.state); }
};

// Writes the files of a help folder: name, text.
void writeHelpFolder(const std::string& dir, const std::vector<std::pair<std::string, std::string>>& pages);

}  // namespace qm::testing
