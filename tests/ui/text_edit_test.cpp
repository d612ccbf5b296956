// The text field as a table of (bound text, input over frames) against the
// buffer, caret, anchor, result and bound text after, plus its menu.
#include "ui/text_edit.h"
#include "ui/text_edit_internal.h"
#include "ui/text_menu.h"

#include "platform/render/glyph_atlas.h"
#include "ui/hit_test.h"
#include "ui/input.h"
#include "ui/menu.h"
#include "ui/widget_id.h"
#include "ui_harness.h"

#include <gtest/gtest.h>

#include <functional>

namespace qm {
namespace {

using testing::UiHarness;

constexpr uint8_t letter(char c) { return uint8_t(keyA + (c - 'a')); }

const Rect kField{10, 10, 300, 32};
const Rect kOther{10, 60, 300, 32};

struct Field {
    UiHarness h;
    std::string bound;
    std::string other = "other";
    TextEditResult result = editNone;
    bool selectAll = false, masked = false, disabled = false;
    bool drawField = true;
    int drawsPerFrame = 1;

    int64_t id() { return widgetId(*h.ctx, "field"); }
    TextEditState& state() { return *textEditState(*h.ctx, id()); }
    void frame()
    {
        h.frame([&] {
            result = editNone;
            for (int i = 0; drawField && i < drawsPerFrame; ++i)
                if (TextEditResult r = textEdit(*h.ctx, id(), bound, kField,
                        {.disabled = disabled, .selectAllOnClick = selectAll, .masked = masked}))
                    result = r;
            textEdit(*h.ctx, widgetId(*h.ctx, "other"), other, kOther);
        });
    }
    void key(uint8_t k, uint8_t mods = 0)
    {
        h.key(k, mods);
        frame();
    }
    void type(const char* s)
    {
        h.type(s);
        frame();
    }
    void tab() { key(keyTab); }
    void clickField(double x)
    {
        h.click(kField.x + 6 + x, kField.y + 16);
        frame();
    }
};

using Step = std::function<void(Field&)>;

Step tab()
{
    return [](Field& f) { f.tab(); };
}
Step key(uint8_t k, uint8_t m = 0)
{
    return [=](Field& f) { f.key(k, m); };
}
Step typed(const char* s)
{
    return [=](Field& f) { f.type(s); };
}
Step clip(const char* s)
{
    return [=](Field& f) { f.h.fake->clipboard = s; };
}

struct Case {
    const char* name;
    std::string bound;
    std::vector<Step> steps;
    std::string buffer;
    int32_t caret, anchor;
    TextEditResult result;
    std::string boundAfter;
    bool masked = false, disabled = false;
};

TEST(TextEdit, Table)
{
    const uint8_t ctrl = modControl, shift = modShift;
    const Case cases[] = {
        {"tab selects all", "abc", {tab()}, "abc", 3, 0, editNone, "abc"},
        {"typing replaces the selection", "abc", {tab(), typed("x")}, "x", 1, 1, editNone, "abc"},
        {"backspaces over e acute", "h\xC3\xA9llo", {tab(), key(keyEnd), key(keyBackspace), key(keyBackspace)},
            "h\xC3\xA9l", 4, 4, editNone, "h\xC3\xA9llo"},
        {"backspace removes both bytes of e acute", "h\xC3\xA9llo",
            {tab(), key(keyEnd), key(keyBackspace), key(keyBackspace), key(keyBackspace), key(keyBackspace)}, "h", 1, 1,
            editNone, "h\xC3\xA9llo"},
        {"ctrl backspace removes a word", "pay 12.50", {tab(), key(keyEnd), key(keyBackspace, ctrl)}, "pay ", 4, 4,
            editNone, "pay 12.50"},
        {"ctrl right to the next word", "one two", {tab(), key(keyHome), key(keyRight, ctrl)}, "one two", 4, 4,
            editNone, "one two"},
        {"left collapses a selection", "abcdef",
            {tab(), key(keyHome), key(keyRight), key(keyRight), key(keyRight, shift), key(keyRight, shift),
                key(keyLeft)},
            "abcdef", 2, 2, editNone, "abcdef"},
        {"paste of CR LF", "xy", {clip("a\r\nb"), tab(), key(letter('v'), ctrl)}, "a b", 3, 3, editNone, "xy"},
        {"escape drops the edit", "abc", {tab(), typed("zz"), key(keyEscape)}, "zz", 2, 2, editEscape, "abc"},
        {"enter unchanged", "abc", {tab(), key(keyEnter)}, "abc", 3, 0, editEnter, "abc"},
        {"enter writes", "abc", {tab(), typed("q"), key(keyKpEnter)}, "q", 1, 1, editEnter, "q"},
        {"super+a selects all and types nothing", "abc",
            {tab(), key(keyEnd),
                [](Field& f) {
                    f.h.key(letter('a'), modSuper);
                    f.h.type("a", modSuper);
                    f.frame();
                }},
            "abc", 3, 0, editNone, "abc"},
        {"disabled field reached by tab edits", "abc", {tab(), typed("x")}, "x", 1, 1, editNone, "abc", false, true},
        {"escape then enter in one frame", "abc",
            {tab(), typed("zz"),
                [](Field& f) {
                    f.h.key(keyEscape);
                    f.h.key(keyEnter);
                    f.frame();
                }},
            "zz", 2, 2, editEscape, "abc"},
        {"enter then escape in one frame", "abc",
            {tab(), typed("zz"),
                [](Field& f) {
                    f.h.key(keyEnter);
                    f.h.key(keyEscape);
                    f.frame();
                }},
            "zz", 2, 2, editEnter, "zz"},
        {"keys after enter still edit the buffer", "abc",
            {tab(),
                [](Field& f) {
                    f.h.key(keyEnter);
                    f.h.key(keyBackspace);
                    f.h.type("q");  // typed runes need editing: dropped
                    f.frame();
                }},
            "", 0, 0, editEnter, "abc"},
        {"masked field refuses copy and cut", "p\xC3\xA4sswort",
            {clip("keep"), tab(), key(letter('c'), ctrl), key(letter('x'), ctrl),
                [](Field& f) { EXPECT_EQ(f.h.fake->clipboard, "keep"); }},
            "p\xC3\xA4sswort", 9, 0, editNone, "p\xC3\xA4sswort", true},
        {"masked shift delete removes without copying", "p\xC3\xA4sswort",
            {clip("keep"), tab(), key(keyDelete, shift), [](Field& f) { EXPECT_EQ(f.h.fake->clipboard, "keep"); }}, "",
            0, 0, editNone, "p\xC3\xA4sswort", true},
    };
    for (const Case& c : cases) {
        Field f;
        f.bound = c.bound;
        f.masked = c.masked;
        f.disabled = c.disabled;
        f.frame();  // registers the fields for Tab
        TextEditResult last = editNone;
        for (const Step& s : c.steps) {
            s(f);
            if (f.result != editNone)
                last = f.result;
        }
        TextEditState& st = f.state();
        EXPECT_EQ(st.buffer, c.buffer) << c.name;
        EXPECT_EQ(st.caret, c.caret) << c.name;
        EXPECT_EQ(st.anchor, c.anchor) << c.name;
        EXPECT_EQ(last, c.result) << c.name;
        EXPECT_EQ(f.bound, c.boundAfter) << c.name;
    }
}

TEST(TextEdit, EscapeThenFocusShowsBoundTextAgain)
{
    Field f;
    f.bound = "abc";
    f.frame();
    f.tab();
    f.type("zz");
    f.key(keyEscape);
    f.tab();
    EXPECT_EQ(f.state().buffer, "abc");
}

TEST(TextEdit, ClickingAnotherFieldCommitsOnlyAChange)
{
    for (bool change : {false, true}) {
        Field f;
        f.bound = "abc";
        f.frame();
        f.tab();
        if (change)
            f.type("d");
        f.h.click(kOther.x + 20, kOther.y + 16);
        f.frame();
        EXPECT_EQ(f.result, change ? editFocusLost : editNone);
        EXPECT_EQ(f.bound, change ? "d" : "abc");
        EXPECT_EQ(f.h.ctx->focusId, widgetId(*f.h.ctx, "other"));
        EXPECT_TRUE(textEditState(*f.h.ctx, widgetId(*f.h.ctx, "other"))->editing);
    }
}

TEST(TextEdit, DoubleClickSelectsWordOrEverything)
{
    for (bool all : {false, true}) {
        Field f;
        f.bound = "alpha beta";
        f.selectAll = all;
        f.h.frames(30);
        double mid = textWidth(*f.h.ctx->font, "al", 13);
        f.clickField(mid);
        f.clickField(mid);
        EXPECT_EQ(f.state().anchor, 0);
        EXPECT_EQ(f.state().caret, all ? 10 : 6);
    }
}

// A field left editing, then not drawn for a frame (its dialog closed by
// Escape), then drawn over a changed bound text: nothing is written.
TEST(TextEdit, StaleEditIsDroppedNotWritten)
{
    Field f;
    f.bound = "abc";
    f.frame();
    f.tab();
    f.type("zz");
    f.drawField = false;
    f.frame();
    f.bound = "from the record";
    f.drawField = true;
    f.frame();
    EXPECT_EQ(f.result, editNone);
    EXPECT_EQ(f.bound, "from the record");
    EXPECT_FALSE(f.state().editing);
    f.tab();
    EXPECT_EQ(f.state().buffer, "from the record");
}

// A field drawn twice in every frame (measured, then drawn; or shown in two
// places) was drawn in this frame already, which is no sign of a stale edit.
TEST(TextEdit, FieldDrawnTwiceAFrameKeepsItsEdit)
{
    for (int draws : {1, 2})
        for (uint8_t end : {keyEnter, keyTab}) {
            Field f;
            f.drawsPerFrame = draws;
            f.bound = "abc";
            f.frame();
            f.tab();  // selects the whole text, which typing replaces
            f.type("zz");
            f.frame();
            EXPECT_TRUE(f.state().editing);
            EXPECT_EQ(f.state().buffer, "zz");
            f.key(end);
            EXPECT_EQ(f.result, end == keyEnter ? editEnter : editFocusLost) << draws << " " << int(end);
            EXPECT_EQ(f.bound, "zz") << draws << " " << int(end);
        }
}

TEST(TextEdit, ClickInMaskedMultiByteFieldLandsOnACharacterStart)
{
    Field f;
    f.bound = "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4";  // four a-umlauts, eight stars
    f.masked = true;
    f.frame();
    double star = textWidth(*f.h.ctx->font, "*", 13);
    for (int k = 1; k <= 7; ++k) {
        f.h.frames(30);                // no double click
        f.clickField(star * k + 0.1);  // past the middle of star k - 1: offset k
        EXPECT_EQ(f.state().caret % 2, 0) << k;
        EXPECT_LE(f.state().caret, k);
    }
}

TEST(TextEdit, EditingFieldConsumesKeysForLaterWidgets)
{
    Field f;
    f.bound = "abc";
    f.frame();
    f.tab();
    f.h.key(letter('q'));
    f.h.type("q");
    bool seen = true;
    f.h.frame([&] {
        textEdit(*f.h.ctx, f.id(), f.bound, kField);
        seen = keyPressed(*f.h.ctx, letter('q'), 0, false) || !f.h.ctx->typedRunes.empty();
    });
    EXPECT_FALSE(seen);
    EXPECT_TRUE(f.h.ctx->textEditingLast);
}

TEST(TextEdit, WordAndRuneSteps)
{
    const std::string s = "notes_2.txt, h\xC3\xA9!";
    EXPECT_EQ(nextWordStart(s, 0), 13);
    EXPECT_EQ(prevWordStart(s, 11), 0);
    EXPECT_EQ(prevRuneStart(s, 16), 14);
    EXPECT_EQ(nextRuneStart(s, 14), 16);
    EXPECT_EQ(nextRuneStart(s, 100), int32_t(s.size()));
    EXPECT_EQ(prevRuneStart(s, -3), 0);
}

// Which entries of the text menu are enabled: the enabled ones go through
// interact and so reach the widget recorder.
std::vector<std::string> enabledEntries(Field& f)
{
    std::vector<std::string> out;
    for (const WidgetRecord& w : f.h.ctx->recorder->records)
        if (w.label.rfind("mi", 0) == 0)
            out.push_back(w.label.substr(2));
    return out;
}

void rightClick(Field& f, double x)
{
    f.h.move(kField.x + 6 + x, kField.y + 16);
    f.h.press(3);
    f.h.release(3);
    f.frame();
    f.frame();  // the menu draws from the frame it was opened in
}

TEST(TextMenu, EntriesFollowMaskClipboardAndText)
{
    struct MenuCase {
        std::string bound;
        bool masked;
        const char* clipboard;
        std::vector<std::string> enabled;
    } cases[] = {
        {"secret", true, "x", {"Paste", "Delete", "Select All"}},  // no Cut or Copy
        {"words", false, "", {"Select All"}},
        {"", false, "x", {"Paste"}},
        {"", false, "", {}},
    };
    for (const MenuCase& c : cases) {
        Field f;
        f.h.recordWidgets();
        f.bound = c.bound;
        f.masked = c.masked;
        f.selectAll = true;  // the right click selects everything
        f.h.fake->clipboard = c.clipboard;
        f.frame();
        rightClick(f, 4);
        std::vector<std::string> got = enabledEntries(f);
        std::vector<std::string> want = c.enabled;
        if (!c.bound.empty() && !c.masked)  // a selection: Cut, Copy and Delete too
            want = {"Cut", "Copy", "Delete", "Select All"};
        EXPECT_EQ(got, want) << c.bound << " masked " << c.masked;
        // Filling the clipboard while the menu is open changes nothing.
        f.h.fake->clipboard = "later";
        f.frame();
        EXPECT_EQ(enabledEntries(f), want);
    }
}

TEST(TextMenu, RightPressHiddenFromLaterContextMenuAndPasteWorks)
{
    Field f;
    f.h.fake->clipboard = "a\r\nb";
    f.bound = "";
    f.frame();
    bool pageSawRight = false;
    f.h.move(kField.x + 20, kField.y + 16);
    f.h.press(3);
    f.h.release(3);
    f.h.frame([&] {
        textEdit(*f.h.ctx, f.id(), f.bound, kField);
        pageSawRight = f.h.ctx->buttonsPressed[3];
    });
    EXPECT_FALSE(pageSawRight);
    f.h.recordWidgets();
    f.frame();
    Rect paste = f.h.rectOf("miPaste");
    ASSERT_GT(paste.w, 0);
    f.h.click(paste.x + 10, paste.y + paste.h / 2);
    f.frame();
    EXPECT_EQ(f.state().buffer, "a b");
}

}  // namespace
}  // namespace qm
