// The form's window contents are still to come: until then an open form
// draws nothing, and the scope prompt and the form's state work without it.
#include "pages/txform.h"

namespace qm {

void drawTransactionFormWindow(AppState&) { }

}  // namespace qm
