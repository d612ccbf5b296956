#pragma once
// The elision search on its own, over any measure, so that tests can count
// the measurements it makes.
#include <functional>
#include <string>
#include <string_view>

#include "platform/render/color.h"
#include "platform/render/rect.h"

namespace qm {

// Tests see each text that drawText, drawTextWith and drawTextAt put on the
// screen, with its box (a baseline point's box is empty) and size; an empty
// function stops the log.
using TextDrawLog = std::function<void(std::string_view text, const Rect& rect, double size, Color color)>;
void setTextDrawLog(TextDrawLog log);
// Text put on the screen some other way (a toast's wrapped lines) goes to
// the log too.
void logDrawnText(std::string_view text, const Rect& rect, double size, Color color);

std::string elideWith(std::string_view text, double maxWidth, const std::function<double(std::string_view)>& measure);

}  // namespace qm
