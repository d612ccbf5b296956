#pragma once
// The toolkit's one single-line text field. The caller owns the bound text;
// typing goes to a private buffer that is written back only at Enter or when
// the focus leaves, and the result says which.
#include <cstdint>
#include <string>
#include <string_view>

#include "ui/context.h"

namespace qm {

enum TextEditResult : uint8_t {
    editNone = 0,
    editFocusLost = 1,  // the changed buffer was written to the bound text
    editEnter = 2,
    editEscape = 3,  // the edit was dropped
};

// selectAllOnClick: a double click selects the whole text rather than a word.
// selectOnClickFocus: a click that gives the field the focus selects its text,
// as a Tab does, for fields whose text is replaced whole (a one-time code).
// trailing: pixels at the field's right end kept free of text, for an icon
// or button the caller draws there.
TextEditResult textEdit(UiContext& ctx, int64_t id, std::string& text, const Rect& rect, std::string_view placeholder,
    bool disabled, bool selectAllOnClick, bool masked, bool selectOnClickFocus = false, double trailing = 0);
void drawFieldFrame(UiContext& ctx, const Rect& rect, bool hovered, bool focused, bool disabled);

}  // namespace qm
