// Events that came together between two frames are handed to the frames a
// share at a time: where each share ends, and the frame that takes none
// after input that may change the screen.
#include "platform/keys.h"
#include "ui/input.h"
#include "ui/input_internal.h"

#include <gtest/gtest.h>

#include <vector>

namespace qm {
namespace {

uint8_t letter(char c) { return uint8_t(keyA + (c - 'a')); }

WindowEvent pointer(uint8_t kind, double x, double y, uint8_t button = 0)
{
    WindowEvent e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    e.button = button;
    return e;
}

WindowEvent move(double x, double y) { return pointer(weMouseMove, x, y); }
WindowEvent down(double x, double y, uint8_t button = 1) { return pointer(weMouseDown, x, y, button); }
WindowEvent up(double x, double y, uint8_t button = 1) { return pointer(weMouseUp, x, y, button); }

WindowEvent key(uint8_t kind, uint8_t code, uint8_t modifiers = 0, uint8_t repeat = 0)
{
    WindowEvent e;
    e.kind = kind;
    e.key = code;
    e.modifiers = modifiers;
    e.repeat = repeat;
    return e;
}

WindowEvent text(char c)
{
    WindowEvent e;
    e.kind = weText;
    e.codepoint = c;
    return e;
}

// A key as the window reports it: down, its character for a printing key,
// up.
std::vector<WindowEvent> stroke(uint8_t code, uint8_t modifiers = 0, char typed = 0)
{
    std::vector<WindowEvent> out{key(weKeyDown, code, modifiers)};
    if (typed)
        out.push_back(text(typed));
    out.push_back(key(weKeyUp, code, modifiers));
    return out;
}

std::vector<WindowEvent> join(std::initializer_list<std::vector<WindowEvent>> parts)
{
    std::vector<WindowEvent> out;
    for (const std::vector<WindowEvent>& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// The sizes of the shares the events are cut into.
std::vector<size_t> shares(std::vector<WindowEvent> events, bool typingInField)
{
    std::vector<size_t> out;
    std::span<const WindowEvent> rest(events);
    while (!rest.empty()) {
        size_t n = eventsForOneFrame(rest, typingInField);
        out.push_back(n);
        if (n == 0)
            break;
        rest = rest.subspan(n);
    }
    return out;
}

TEST(InputQueue, SharesEndWhereAnEventWouldChangeTheMeaningOfAnEarlierOne)
{
    struct Case {
        const char* name;
        std::vector<WindowEvent> events;
        bool typingInField;
        std::vector<size_t> expected;
    };
    const Case cases[] = {
        {"moves join up", {move(1, 1), move(2, 2), move(3, 3)}, false, {3}},
        {"a move, a press and its release are one click", {move(5, 5), down(5, 5), up(5, 5)}, false, {3}},
        {"a move away after a click waits", {move(5, 5), down(5, 5), up(5, 5), move(90, 90)}, false, {3, 1}},
        {"a drag: the press, the moves, the release", {down(5, 5), move(7, 7), move(9, 9), up(9, 9)}, false, {1, 2, 1}},
        {"a second click is a frame of its own", {down(5, 5), up(5, 5), down(5, 5), up(5, 5)}, false, {2, 2}},
        {"a key after a click waits", join({{down(5, 5), up(5, 5)}, stroke(letter('p'), 0, 'p')}), false, {2, 3}},
        {"a click after a key waits", join({stroke(keyEnter), {move(5, 5), down(5, 5), up(5, 5)}}), false, {3, 2}},
        {"two commands in a row", join({stroke(keyLeft), stroke(letter('b'), modControl)}), false, {2, 2}},
        {"modifiers go with the key they hold",
            join({stroke(keyLeft), {key(weKeyDown, keyControl)}, stroke(letter('b'), modControl),
                {key(weKeyUp, keyControl, modControl)}}),
            false, {3, 3}},
        {"letters outside a field are commands", join({stroke(letter('p'), 0, 'p'), stroke(letter('d'), 0, 'd')}),
            false, {3, 3}},
        {"typing into a field joins up",
            join({stroke(key0 + 2, 0, '2'), stroke(key0 + 5, 0, '5'), stroke(keyPeriod, 0, '.')}), true, {9}},
        {"Enter after typing waits", join({stroke(key0 + 2, 0, '2'), stroke(key0 + 5, 0, '5'), stroke(keyEnter)}), true,
            {6, 2}},
        {"typing after a command waits", join({stroke(keyTab), stroke(letter('a'), 0, 'a')}), true, {2, 3}},
        {"Ctrl+A in a field is a command", join({stroke(letter('a'), modControl), stroke(key0 + 1, 0, '1')}), true,
            {2, 3}},
        {"the repeats of a held key join it",
            {key(weKeyDown, keyBackspace), key(weKeyDown, keyBackspace, 0, 1), key(weKeyDown, keyBackspace, 0, 1),
                key(weKeyUp, keyBackspace)},
            false, {4}},
        {"a click after the wheel waits", {pointer(weScroll, 5, 5), pointer(weScroll, 5, 5), down(5, 5), up(5, 5)},
            false, {2, 2}},
        {"text after a click waits", {down(5, 5), up(5, 5), text('x')}, true, {2, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(shares(c.events, c.typingInField), c.expected);
    }
}

TEST(InputQueue, AFrameWithoutInputFollowsInputThatActs)
{
    InputQueue q;
    q.waiting = join({{move(5, 5), down(5, 5), up(5, 5), move(90, 90)}, stroke(keyEnter)});
    std::vector<size_t> taken;
    for (int frame = 0; frame < 10 && (q.settling || !q.waiting.empty()); ++frame)
        taken.push_back(takeFrameInput(q, false).size());
    // The click, a frame to show what it did, the move with the key, a frame.
    EXPECT_EQ(taken, (std::vector<size_t>{3, 0, 3, 0}));

    q.waiting = {move(1, 1), key(weKeyDown, keyShift), move(2, 2)};
    EXPECT_EQ(takeFrameInput(q, false).size(), 3u);
    EXPECT_FALSE(q.settling);  // moving and holding Shift change nothing under the pointer
    EXPECT_TRUE(takeFrameInput(q, false).empty());
}

}  // namespace
}  // namespace qm
