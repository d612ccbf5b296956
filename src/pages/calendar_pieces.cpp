// The narrow layout is still to come; the desktop page's pieces live in
// their own files.
#include "pages/calendar_pieces.h"

namespace qm {

void drawNarrowCalendar(AppState&, const Rect&) { }

}  // namespace qm
