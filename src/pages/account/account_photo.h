#pragma once
// The profile photo: the block at the top of the Profile card, and the
// upload of the file the dialog chose.
#include <string>

#include "app/app_state.h"

namespace qm {

inline constexpr int64_t kMaxPhotoBytes = int64_t(2) * 1024 * 1024;

// Queues the upload, or toasts why not. Raises nothing: it runs from the
// shell's file-dialog dispatch.
void handleAccountPhoto(AppState& state, const std::string& path);

}  // namespace qm
