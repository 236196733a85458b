// Key values, input records and rectangles.
#include <gtest/gtest.h>

#include "gcn/events.hpp"
#include "gcn/key.hpp"
#include "gcn/keyinput.hpp"
#include "gcn/mouseinput.hpp"
#include "gcn/rectangle.hpp"

namespace {

TEST(KeyTest, CharacterRange) {
    const struct {
        int value;
        bool character;
    } cases[] = {{-961, false}, {10, false}, {127, false}, {160, false}, {161, false}, {31, false},
                 {9, true},     {32, true},  {126, true},  {162, true},  {255, true},  {256, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(gcn::Key(c.value).isCharacter(), c.character) << c.value;
    }
}

TEST(KeyTest, SpecialValuesAreTheSpecialNumbersLessTwoThousand) {
    EXPECT_EQ(gcn::Key::Escape, -984);
    EXPECT_EQ(gcn::Key::F1, -981);
    EXPECT_EQ(gcn::Key::F5, -977);
    EXPECT_EQ(gcn::Key::F12, -970);
    EXPECT_EQ(gcn::Key::Left, -961);
    EXPECT_EQ(gcn::Key::Down, -958);
    EXPECT_EQ(gcn::Key::LeftAlt, -1000);
    EXPECT_EQ(gcn::Key::RightMeta, -993);
    EXPECT_EQ(gcn::Key::Insert, -990);
    EXPECT_EQ(gcn::Key::PrintScreen, -966);
    EXPECT_EQ(gcn::Key::NumLock, -963);
}

TEST(InputRecordTest, KeyInputStartsWithoutModifiers) {
    gcn::KeyInput k(gcn::Key('a'), gcn::KeyInput::Released);
    EXPECT_EQ(k.getType(), 1);
    EXPECT_EQ(k.getKey().getValue(), 'a');
    EXPECT_FALSE(k.isShiftPressed());
    EXPECT_FALSE(k.isControlPressed());
    EXPECT_FALSE(k.isAltPressed());
    EXPECT_FALSE(k.isMetaPressed());
    EXPECT_FALSE(k.isNumericPad());
    k.setMetaPressed(true);
    EXPECT_TRUE(k.isMetaPressed());
}

TEST(InputRecordTest, MouseInputArgumentOrder) {
    const gcn::MouseInput m(gcn::MouseInput::Right, gcn::MouseInput::Pressed, 5, 6, 77);
    EXPECT_EQ(m.getButton(), 2);
    EXPECT_EQ(m.getType(), 1);
    EXPECT_EQ(m.getX(), 5);
    EXPECT_EQ(m.getY(), 6);
    EXPECT_EQ(m.getTimeStamp(), 77);
}

TEST(RectangleTest, PointTestAndEmptiness) {
    const gcn::Rectangle r(10, 20, 5, 5);
    EXPECT_TRUE(r.isPointInRect(10, 20));
    EXPECT_TRUE(r.isPointInRect(14, 24));
    EXPECT_FALSE(r.isPointInRect(15, 24));
    EXPECT_FALSE(r.isPointInRect(14, 25));
    EXPECT_FALSE(r.isPointInRect(9, 20));
    EXPECT_TRUE(gcn::Rectangle(0, 0, 0, 5).isEmpty());
    EXPECT_TRUE(gcn::Rectangle(0, 0, 5, -1).isEmpty());
    EXPECT_FALSE(r.isEmpty());
}

TEST(RectangleTest, Intersection) {
    const struct {
        gcn::Rectangle a, b, out;
    } cases[] = {
        {{0, 0, 10, 10}, {5, 5, 10, 10}, {5, 5, 5, 5}},
        {{0, 0, 10, 10}, {20, 20, 5, 5}, {20, 20, 0, 0}},
        {{0, 0, 10, 10}, {2, 3, 4, 5}, {2, 3, 4, 5}},
        {{0, 0, 10, 10}, {10, 0, 5, 5}, {10, 0, 0, 0}},
        {{0, 0, 0, 10}, {0, 0, 5, 5}, {0, 0, 0, 0}},
        {{-5, -5, 10, 10}, {0, 0, 10, 10}, {0, 0, 5, 5}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.a.intersection(c.b), c.out) << c.out.x << "," << c.out.y;
        EXPECT_EQ(c.b.intersection(c.a), c.out);
    }
}

TEST(EventTest, ConsumingOnlyEverSetsTheFlag) {
    gcn::KeyEvent e(nullptr, nullptr, true, false, true, false, gcn::KeyEvent::Pressed, true, gcn::Key(97));
    EXPECT_TRUE(e.isShiftPressed());
    EXPECT_FALSE(e.isControlPressed());
    EXPECT_TRUE(e.isAltPressed());
    EXPECT_TRUE(e.isNumericPad());
    EXPECT_FALSE(e.isConsumed());
    e.consume();
    e.consume();
    EXPECT_TRUE(e.isConsumed());
}

}  // namespace
