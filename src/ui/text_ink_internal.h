#pragma once
// Where the glyphs of drawn texts went, for tests that look for a text
// running out of its box: the box it was placed in (empty for a text on a
// baseline point), the advance box of its glyphs and the clip they were
// drawn under. Off unless a test installs a log.
#include <functional>
#include <string_view>

#include "ui/context.h"

namespace qm {

using TextInkLog = std::function<void(std::string_view text, const Rect& box, const Rect& ink, const Rect& clip)>;
void setTextInkLog(TextInkLog log);
// Logs under the renderer's current clip.
void logTextInk(const Renderer& renderer, std::string_view text, const Rect& box, const Rect& ink);
// A text placed as drawTextInRect places it; measured only while a log is on.
void logTextInkInRect(
    const Renderer& renderer, GlyphAtlas& atlas, std::string_view text, const Rect& rect, double size, double align);

}  // namespace qm
