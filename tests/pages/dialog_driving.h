#pragma once
// Driving the editing dialogs as a user would: typing into the focused
// field, focusing a field by its label, and reading what the store wrote.
#include <string>
#include <string_view>

#include "model/store.h"
#include "pages/page_harness.h"
#include "platform/keys.h"

namespace qm::testing {

// ASCII text, one character an event.
inline void typeText(PageHarness& h, std::string_view ascii)
{
    for (char c : ascii) {
        WindowEvent e;
        e.kind = weText;
        e.codepoint = c;
        h.app.feed(e);
    }
    h.frame();
}

// A key pressed and released with the modifiers held; the next frame sees it.
inline void pressKey(PageHarness& h, uint8_t key, uint8_t modifiers)
{
    WindowEvent e;
    e.kind = weKeyDown;
    e.key = key;
    e.modifiers = modifiers;
    h.app.feed(e);
    e.kind = weKeyUp;
    h.app.feed(e);
}

// Clicks the field, replaces its text and ends with the key (keyEnter,
// keyTab), each step a frame.
inline void typeInto(PageHarness& h, const std::string& label, std::string_view text, uint8_t endKey)
{
    h.clickWidget(label);
    h.frame();
    pressKey(h, keyA, modControl);
    h.frame();
    typeText(h, text);
    h.key(endKey);
    h.frame();
}

// The budget as data.json holds it now.
inline Budget savedBudget(PageHarness& h) { return *openStore(h.store().folder)->budget; }

}  // namespace qm::testing
