#pragma once
// The widget kit's view of the running application, made from the state
// for the frame in which the kit's procedures are called.
#include "app/app_state.h"
#include "app/kit_app.h"

namespace qm {

KitApp kitApp(AppState& state);

}  // namespace qm
