#pragma once
// Steps of the X11 back end that tests reach directly, and the switches the
// test programs use to force paths a normal server never takes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/events.h"

namespace qm {

struct X11TestSeams {
    bool noInputMethod = false;      // key text through XLookupString only
    bool badContextVersion = false;  // ask glXCreateContextAttribsARB for 9.9
};

extern X11TestSeams x11TestSeams;

// The UI scale from QUENMRK_SCALE (when parseUiScale takes it), else from
// the Xft.dpi resource (dpi / 96 above 30), else 1.
double x11ScaleFrom(const char* scaleVariable, const char* resources);

// Key text as weText events: Latin-1 bytes (XLookupString) or UTF-8
// (input method); control characters and DEL give none.
std::vector<WindowEvent> keyTextEvents(std::string_view bytes, bool utf8, uint8_t modifiers);

// Whether a space-separated extension list names this extension.
bool hasGlxExtension(std::string_view list, std::string_view name);

}  // namespace qm
