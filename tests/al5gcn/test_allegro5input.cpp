// The Allegro 5 input back end, fed with hand-made events: key conversion,
// modifiers and the numeric pad, repeats, key releases, mouse records.
#include <cstring>

#include "al5_fixture.hpp"
#include "al5gcn/allegro5input.hpp"
#include "gcn/exception.hpp"
#include "gcn/key.hpp"

namespace {

ALLEGRO_EVENT keyEvent(ALLEGRO_EVENT_TYPE type, int keycode, int unichar, unsigned int modifiers = 0,
                       bool repeat = false) {
    ALLEGRO_EVENT e;
    std::memset(&e, 0, sizeof e);
    e.type = type;
    e.keyboard.keycode = keycode;
    e.keyboard.unichar = unichar;
    e.keyboard.modifiers = modifiers;
    e.keyboard.repeat = repeat;
    return e;
}

ALLEGRO_EVENT mouseEvent(ALLEGRO_EVENT_TYPE type, int x, int y, unsigned int button = 0, int dz = 0) {
    ALLEGRO_EVENT e;
    std::memset(&e, 0, sizeof e);
    e.type = type;
    e.mouse.x = x;
    e.mouse.y = y;
    e.mouse.button = button;
    e.mouse.dz = dz;
    return e;
}

std::vector<gcn::KeyInput> drainKeys(gcn::Allegro5Input& in) {
    std::vector<gcn::KeyInput> out;
    while (!in.isKeyQueueEmpty()) {
        out.push_back(in.dequeueKeyInput());
    }
    return out;
}

TEST(Allegro5InputTest, KeyCodesConvertToKeyValues) {
    const struct {
        int keycode;
        int unichar;
        int value;
    } cases[] = {
        {ALLEGRO_KEY_F1, 0, -981},          {ALLEGRO_KEY_F12, 0, -970},     {ALLEGRO_KEY_ESCAPE, 27, -984},
        {ALLEGRO_KEY_BACKSPACE, 8, -982},   {ALLEGRO_KEY_ENTER, 13, 10},    {ALLEGRO_KEY_PAD_ENTER, 13, 10},
        {ALLEGRO_KEY_INSERT, 0, -990},      {ALLEGRO_KEY_DELETE, 127, -987}, {ALLEGRO_KEY_PAD_DELETE, 0, -987},
        {ALLEGRO_KEY_HOME, 0, -989},        {ALLEGRO_KEY_END, 0, -986},     {ALLEGRO_KEY_PGUP, 0, -988},
        {ALLEGRO_KEY_PGDN, 0, -985},        {ALLEGRO_KEY_LEFT, 0, -961},    {ALLEGRO_KEY_RIGHT, 0, -960},
        {ALLEGRO_KEY_UP, 0, -959},          {ALLEGRO_KEY_DOWN, 0, -958},    {ALLEGRO_KEY_PRINTSCREEN, 0, -966},
        {ALLEGRO_KEY_PAUSE, 0, -964},       {ALLEGRO_KEY_LSHIFT, 0, -998},  {ALLEGRO_KEY_RSHIFT, 0, -997},
        {ALLEGRO_KEY_LCTRL, 0, -996},       {ALLEGRO_KEY_RCTRL, 0, -995},   {ALLEGRO_KEY_ALT, 0, -1000},
        {ALLEGRO_KEY_ALTGR, 0, -999},       {ALLEGRO_KEY_LWIN, 0, -994},    {ALLEGRO_KEY_RWIN, 0, -993},
        {ALLEGRO_KEY_SCROLLLOCK, 0, -965},  {ALLEGRO_KEY_NUMLOCK, 0, -963}, {ALLEGRO_KEY_CAPSLOCK, 0, -983},
        {ALLEGRO_KEY_TAB, 9, 9},            {ALLEGRO_KEY_SPACE, 32, 32},    {ALLEGRO_KEY_A, 97, 97},
        {ALLEGRO_KEY_PAD_5, 53, 53},        {ALLEGRO_KEY_A, 0xE9, 0xE9},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gcn::Allegro5Input::convertKeyCode(c.keycode, c.unichar), c.value) << c.keycode;
    }
}

// The same conversion by Allegro's raw key codes and modifier bits, as the
// event queue delivers them: a renamed or renumbered constant shows here.
TEST(Allegro5InputTest, RawKeyCodesAndModifierBits) {
    const struct {
        int keycode;
        int value;
    } cases[] = {
        {47, -981}, {58, -970}, {59, -984}, {63, -982}, {67, 10},    {91, 10},    {76, -990},  {77, -987},
        {90, -987}, {78, -989}, {79, -986}, {80, -988}, {81, -985},  {82, -961},  {83, -960},  {84, -959},
        {85, -958}, {92, -966}, {93, -964}, {215, -998}, {216, -997}, {217, -996}, {218, -995}, {219, -1000},
        {220, -999}, {221, -994}, {222, -993}, {224, -965}, {225, -963}, {226, -983}, {223, 77},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gcn::Allegro5Input::convertKeyCode(c.keycode, 77), c.value) << c.keycode;
    }
    for (int code = 0; code < 230; ++code) {
        const bool pad = (code >= 37 && code <= 46) || code == 86 || code == 88 || code == 89;
        EXPECT_EQ(gcn::Allegro5Input::isNumericPadKey(code), pad) << code;
    }
    const struct {
        unsigned int bits;
        bool shift, control, alt, meta;
    } mods[] = {
        {0x1, true, false, false, false},  {0x2, false, true, false, false}, {0x4, false, false, true, false},
        {0x8, false, false, false, true},  {0x10, false, false, false, true}, {0x80, false, false, false, true},
        {0x20, false, false, false, false}, {0x40, false, false, false, false},
    };
    gcn::Allegro5Input in;
    for (const auto& m : mods) {
        in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_CHAR, ALLEGRO_KEY_A, 97, m.bits));
        const gcn::KeyInput k = in.dequeueKeyInput();
        EXPECT_EQ(k.isShiftPressed(), m.shift) << m.bits;
        EXPECT_EQ(k.isControlPressed(), m.control) << m.bits;
        EXPECT_EQ(k.isAltPressed(), m.alt) << m.bits;
        EXPECT_EQ(k.isMetaPressed(), m.meta) << m.bits;
    }
}

TEST(Allegro5InputTest, KeyDownWithoutCharacterThenKeyCharGivesOnePress) {
    gcn::Allegro5Input in;
    in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_A, 0));
    in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_CHAR, ALLEGRO_KEY_A, 97));
    const auto keys = drainKeys(in);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].getKey().getValue(), 97);
    EXPECT_EQ(keys[0].getType(), gcn::KeyInput::Pressed);
    // A key down that carries a character counts as the press itself.
    in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_B, 98));
    EXPECT_EQ(drainKeys(in).size(), 1u);
}

TEST(Allegro5InputTest, ArrowPressAndReleaseBothReadAsTheArrow) {
    gcn::Allegro5Input in;
    in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_LEFT, 0));
    in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_CHAR, ALLEGRO_KEY_LEFT, 0));
    in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_UP, ALLEGRO_KEY_LEFT, 0));
    const auto keys = drainKeys(in);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].getKey().getValue(), -961);
    EXPECT_EQ(keys[0].getType(), 0);
    EXPECT_EQ(keys[1].getKey().getValue(), -961);
    EXPECT_EQ(keys[1].getType(), 1);
}

TEST(Allegro5InputTest, KeyUpWithoutCharacterGetsTheCharacterOfItsPress) {
    gcn::Allegro5Input in;
    const struct {
        int keycode;
        int unichar;
    } cases[] = {{ALLEGRO_KEY_SPACE, 32}, {ALLEGRO_KEY_A, 65}, {ALLEGRO_KEY_ENTER, 13}};
    for (const auto& c : cases) {
        in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_DOWN, c.keycode, 0));
        in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_CHAR, c.keycode, c.unichar));
        in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_UP, c.keycode, 0));
        const auto keys = drainKeys(in);
        ASSERT_EQ(keys.size(), 2u);
        EXPECT_EQ(keys[1].getType(), gcn::KeyInput::Released);
        EXPECT_EQ(keys[1].getKey().getValue(), keys[0].getKey().getValue()) << c.keycode;
    }
    // The character is used once: a later stray release carries none.
    in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_UP, ALLEGRO_KEY_SPACE, 0));
    EXPECT_EQ(in.dequeueKeyInput().getKey().getValue(), 0);
    // A release that brings its own character keeps it.
    in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_UP, ALLEGRO_KEY_B, 98));
    EXPECT_EQ(in.dequeueKeyInput().getKey().getValue(), 98);
    // Key codes out of Allegro's range are converted but not remembered.
    in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_CHAR, 5000, 120));
    in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_UP, 5000, 0));
    in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_UP, -3, 0));
    const auto keys = drainKeys(in);
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].getKey().getValue(), 120);
    EXPECT_EQ(keys[1].getKey().getValue(), 0);
}

TEST(Allegro5InputTest, RepeatedCharactersCanBeIgnored) {
    gcn::Allegro5Input in;
    EXPECT_FALSE(in.getIgnoreKeyRepeat());
    in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_CHAR, ALLEGRO_KEY_A, 97, 0, true));
    in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_CHAR, ALLEGRO_KEY_A, 97, 0, true));
    EXPECT_EQ(drainKeys(in).size(), 2u);
    in.setIgnoreKeyRepeat(true);
    EXPECT_TRUE(in.getIgnoreKeyRepeat());
    in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_CHAR, ALLEGRO_KEY_A, 97, 0, false));
    in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_CHAR, ALLEGRO_KEY_A, 97, 0, true));
    EXPECT_EQ(drainKeys(in).size(), 1u);
}

TEST(Allegro5InputTest, ModifiersAndNumericPad) {
    gcn::Allegro5Input in;
    in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_CHAR, ALLEGRO_KEY_A, 65, ALLEGRO_KEYMOD_SHIFT | ALLEGRO_KEYMOD_LWIN));
    in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_CHAR, ALLEGRO_KEY_A, 1, ALLEGRO_KEYMOD_CTRL | ALLEGRO_KEYMOD_ALT));
    in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_CHAR, ALLEGRO_KEY_A, 97, ALLEGRO_KEYMOD_RWIN));
    in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_CHAR, ALLEGRO_KEY_A, 97, ALLEGRO_KEYMOD_COMMAND));
    in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_CHAR, ALLEGRO_KEY_A, 97, ALLEGRO_KEYMOD_MENU | ALLEGRO_KEYMOD_ALTGR));
    const auto k = drainKeys(in);
    ASSERT_EQ(k.size(), 5u);
    EXPECT_TRUE(k[0].isShiftPressed());
    EXPECT_TRUE(k[0].isMetaPressed());
    EXPECT_FALSE(k[0].isControlPressed());
    EXPECT_TRUE(k[1].isControlPressed());
    EXPECT_TRUE(k[1].isAltPressed());
    EXPECT_FALSE(k[1].isShiftPressed());
    EXPECT_TRUE(k[2].isMetaPressed());
    EXPECT_TRUE(k[3].isMetaPressed());
    EXPECT_FALSE(k[4].isMetaPressed());
    EXPECT_FALSE(k[4].isAltPressed());

    const struct {
        int keycode;
        int unichar;
        int value;
        bool pad;
    } pads[] = {
        {ALLEGRO_KEY_PAD_5, '5', '5', true},      {ALLEGRO_KEY_PAD_0, '0', '0', true},
        {ALLEGRO_KEY_PAD_9, '9', '9', true},      {ALLEGRO_KEY_PAD_SLASH, '/', '/', true},
        {ALLEGRO_KEY_PAD_MINUS, '-', '-', true},  {ALLEGRO_KEY_PAD_PLUS, '+', '+', true},
        {ALLEGRO_KEY_PAD_ENTER, 13, 10, false},   {ALLEGRO_KEY_PAD_ASTERISK, '*', '*', false},
        {ALLEGRO_KEY_PAD_DELETE, 0, -987, false}, {ALLEGRO_KEY_5, '5', '5', false},
    };
    for (const auto& p : pads) {
        in.pushInput(keyEvent(ALLEGRO_EVENT_KEY_CHAR, p.keycode, p.unichar));
        const gcn::KeyInput got = in.dequeueKeyInput();
        EXPECT_EQ(got.getKey().getValue(), p.value) << p.keycode;
        EXPECT_EQ(got.isNumericPad(), p.pad) << p.keycode;
    }
}

TEST(Allegro5InputTest, MouseEventsBecomeMouseRecords) {
    gcn::Allegro5Input in;
    in.pushInput(mouseEvent(ALLEGRO_EVENT_MOUSE_AXES, 10, 20));
    in.pushInput(mouseEvent(ALLEGRO_EVENT_MOUSE_AXES, 11, 21, 0, -1));
    in.pushInput(mouseEvent(ALLEGRO_EVENT_MOUSE_AXES, 12, 22, 0, 2));
    in.pushInput(mouseEvent(ALLEGRO_EVENT_MOUSE_BUTTON_DOWN, 13, 23, 1));
    in.pushInput(mouseEvent(ALLEGRO_EVENT_MOUSE_BUTTON_UP, 14, 24, 2));
    in.pushInput(mouseEvent(ALLEGRO_EVENT_MOUSE_BUTTON_DOWN, 15, 25, 3));
    in.pushInput(mouseEvent(ALLEGRO_EVENT_MOUSE_BUTTON_DOWN, 16, 26, 5));
    in.pushInput(mouseEvent(ALLEGRO_EVENT_MOUSE_ENTER_DISPLAY, 1, 1));
    const struct {
        int type, button, x, y;
    } expected[] = {{0, 0, 10, 20}, {3, 0, 11, 21}, {4, 0, 12, 22}, {1, 1, 13, 23},
                    {2, 2, 14, 24}, {1, 3, 15, 25}, {1, 3, 16, 26}};
    for (const auto& e : expected) {
        ASSERT_FALSE(in.isMouseQueueEmpty());
        const gcn::MouseInput m = in.dequeueMouseInput();
        EXPECT_EQ(m.getType(), e.type);
        EXPECT_EQ(m.getButton(), e.button);
        EXPECT_EQ(m.getX(), e.x);
        EXPECT_EQ(m.getY(), e.y);
        EXPECT_EQ(m.getTimeStamp(), 0);
    }
    EXPECT_TRUE(in.isMouseQueueEmpty());
    EXPECT_TRUE(in.isKeyQueueEmpty());
}

TEST(Allegro5InputTest, EmptyQueuesRaise) {
    gcn::Allegro5Input in;
    try {
        in.dequeueKeyInput();
        FAIL();
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "Key queue is empty.");
    }
    try {
        in.dequeueMouseInput();
        FAIL();
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "Mouse queue is empty.");
    }
}

}  // namespace
