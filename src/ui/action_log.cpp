#include "ui/action_log.h"

#include <vector>

namespace qm {

// Until the action trail is in the tree, keep the texts here so the widgets'
// reports can be checked; the trail takes this over.
std::vector<std::string>& pendingActions()
{
    static std::vector<std::string> actions;
    return actions;
}

void recordAction(const std::string& text)
{
    pendingActions().push_back(text);
}

}  // namespace qm
