#include "platform/cursor.h"
#include "platform/events.h"
#include "platform/keys.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(Keys, KeysymTable)
{
    struct Case {
        uint32_t keysym;
        uint8_t code;
    };
    const Case cases[] = {{0x61, 1}, {0x41, 1}, {0x7A, 26}, {0x5A, 26}, {0x30, 27}, {0x39, 36}, {0xFFBE, 37},
        {0xFFC9, 48}, {0xFFCA, 0}, {0xFF1B, 49}, {0xFF0D, 50}, {0xFF09, 51}, {0xFE20, 51}, {0xFF08, 52}, {0xFFFF, 53},
        {0xFF63, 54}, {0xFF9E, 54}, {0xFF50, 55}, {0xFF57, 56}, {0xFF55, 57}, {0xFF56, 58}, {0xFF51, 59}, {0xFF53, 60},
        {0xFF52, 61}, {0xFF54, 62}, {0x20, 63}, {0xFFE1, 64}, {0xFFE2, 64}, {0xFFE3, 65}, {0xFFE4, 65}, {0xFFE9, 66},
        {0xFFEA, 66}, {0xFFEB, 67}, {0xFFEC, 67}, {0xFFE5, 68}, {0xFF61, 69}, {0xFF13, 70}, {0x2D, 71}, {0x3D, 72},
        {0x5B, 73}, {0x5D, 74}, {0x5C, 75}, {0x3B, 76}, {0x27, 77}, {0x60, 78}, {0x2C, 79}, {0x2E, 80}, {0x2F, 81},
        {0xFFB0, 82}, {0xFFB9, 91}, {0xFFAB, 92}, {0xFFAD, 93}, {0xFFAA, 94}, {0xFFAF, 95}, {0xFFAE, 96}, {0xFFAC, 96},
        {0xFF8D, 97},
        // Unknown: keypad navigation other than KP_Insert, neighbours of the ranges, wide keysyms.
        {0xFF95, 0}, {0xFF9F, 0}, {0x40, 0}, {0x7B, 0}, {0x2F + 0x100, 0}, {0x1000061, 0}, {0, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(keysymToKeyCode(c.keysym), c.code) << std::hex << c.keysym;
}

TEST(Keys, X11StateGivesModifierBits)
{
    EXPECT_EQ(modifiersFromX11State(0), 0);
    EXPECT_EQ(modifiersFromX11State(0x1), modShift);
    EXPECT_EQ(modifiersFromX11State(0x4), modControl);
    EXPECT_EQ(modifiersFromX11State(0x8), modAlt);
    EXPECT_EQ(modifiersFromX11State(0x40), modSuper);
    // Lock, Mod2 (NumLock), Mod3, Mod5 and the button bits carry nothing.
    EXPECT_EQ(modifiersFromX11State(0x2 | 0x10 | 0x20 | 0x80 | 0x100 | 0x1F00), 0);
    EXPECT_EQ(modifiersFromX11State(0xFFFFFFFF), modShift | modControl | modAlt | modSuper);
}

TEST(Keys, ControlCharactersAreNotText)
{
    for (int32_t cp : {0, 8, 9, 13, 27, 31, 127, -1, 0xD800, 0xDFFF, 0x110000})
        EXPECT_FALSE(isTextCodepoint(cp)) << cp;
    for (int32_t cp : {32, 65, 126, 128, 0xE9, 0x20AC, 0xFFFD, 0x1F600, 0x10FFFF})
        EXPECT_TRUE(isTextCodepoint(cp)) << cp;
}

TEST(Cursor, KindNames)
{
    const char* names[] = {"curArrow", "curIBeam", "curCrosshair", "curHand", "curSizeWE", "curSizeNS", "curSizeAll",
        "curSizeNWSE", "curSizeNESW", "curWait", "curNone"};
    for (uint8_t k = 0; k <= curNone; ++k)
        EXPECT_EQ(cursorKindName(k), names[k]);
    EXPECT_EQ(cursorKindName(11), "");
    EXPECT_EQ(cursorKindName(255), "");
}

TEST(WindowEvents, NewEventIsZeroAndCopiesOwnText)
{
    WindowEvent e;
    EXPECT_EQ(e, WindowEvent{});
    EXPECT_EQ(e.kind, 0);
    EXPECT_EQ(e.x, 0);
    EXPECT_TRUE(e.text.empty());
    e.kind = weFileDrop;
    e.text = "/tmp/a";
    WindowEvent copy = e;
    e.text[1] = 'x';
    EXPECT_EQ(copy.text, "/tmp/a");
    // The reserved kinds keep their values apart from the produced ones.
    EXPECT_EQ(weFileOpen, 16);
    EXPECT_EQ(weDialogResult, 17);
    EXPECT_EQ(weSaveRequest, 18);
    EXPECT_EQ(weTouchScroll, 20);
    EXPECT_EQ(weRotate, 21);
}

}  // namespace
}  // namespace qm
