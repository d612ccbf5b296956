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

struct TextEditOptions {
    std::string_view placeholder = {};  // drawn while the field is empty
    bool disabled = false;
    // A double click selects the whole text rather than a word.
    bool selectAllOnClick = false;
    // Drawn as stars, and never copied or cut to the clipboard.
    bool masked = false;
    // A click that gives the field the focus selects its text, as a Tab
    // does, for fields whose text is replaced whole (a one-time code).
    bool selectOnClickFocus = false;
    // Pixels at the field's right end kept free of text, for an icon or
    // button the caller draws there.
    double trailing = 0;
};

TextEditResult textEdit(
    UiContext& ctx, int64_t id, std::string& text, const Rect& rect, const TextEditOptions& options = {});

// How a field's frame is drawn this frame.
struct FieldLook {
    bool hovered = false;
    bool focused = false;
    bool disabled = false;
};
void drawFieldFrame(UiContext& ctx, const Rect& rect, const FieldLook& look);

}  // namespace qm
