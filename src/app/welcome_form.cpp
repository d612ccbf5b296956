#include "app/welcome_form.h"

#include <memory>

#include "app/app_state.h"

namespace qm {

WelcomeForm& welcomeForm(AppState& state)
{
    if (!state.welcome)
        state.welcome = std::make_shared<WelcomeForm>();
    return *state.welcome;
}

}  // namespace qm
