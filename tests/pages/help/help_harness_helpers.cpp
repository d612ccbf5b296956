#include "help_harness.h"

#include "pages/help/help_page.h"
#include "platform/keys.h"
#include "ui/input.h"
#include "ui/tooltip.h"

#include <filesystem>

namespace qm::testing {

HelpHarness::HelpHarness(int32_t width, int32_t height, std::optional<std::string> helpDir)
    : PageDrawHarness(width, height)
{
    app.env.set("QUENMRK_HELP", helpDir);
    start();
    app.state->page = pageHelp;
    page = [this] { helpPage(state(), viewRect()); };
}

void writeHelpFolder(const std::string& dir, const std::vector<std::pair<std::string, std::string>>& pages)
{
    std::filesystem::create_directories(dir);
    for (const auto& [name, text] : pages)
        writeText(dir + "/" + name, text);
}

}  // namespace qm::testing
