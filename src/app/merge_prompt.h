#pragma once
// The question asked after signing in when this device holds a budget of its
// own: merge it into the account's or remove it. The sign-in counts what
// would be merged; the editing dialogs draw the question.
#include <cstdint>
#include <memory>

#include "ui/widget_state.h"

namespace qm {

struct MergePrompt {
    std::shared_ptr<WindowState> window;
    int32_t transactions = 0;
    int32_t adjustments = 0;
};

}  // namespace qm
