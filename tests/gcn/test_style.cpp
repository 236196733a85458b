// Colours and the default widget style: the shade arithmetic, the caret
// blink and the installed-style pointer.
#include <gtest/gtest.h>

#include "gcn/clock.hpp"
#include "gcn/color.hpp"
#include "gcn/style.hpp"
#include "gcn_fakes.hpp"

namespace {

using gcn::Color;

struct ShadeCase {
    const char* what;
    Color (*shade)(const gcn::Style&, const Color&);
    Color in;
    Color out;
};

Color highlight(const gcn::Style& s, const Color& c) { return s.highlightColor(c); }
Color shadow(const gcn::Style& s, const Color& c) { return s.shadowColor(c); }
Color pressed(const gcn::Style& s, const Color& c) { return s.pressedColor(c); }
Color slider(const gcn::Style& s, const Color& c) { return s.sliderColor(c); }

TEST(StyleTest, ShadesTruncateTowardZeroAndKeepAlpha) {
    const ShadeCase cases[] = {
        {"highlight white", highlight, Color(255, 255, 255, 7), Color(255, 255, 255, 7)},
        {"highlight black", highlight, Color(0, 0, 0, 9), Color(76, 76, 76, 9)},
        {"highlight grey", highlight, Color(128, 128, 128), Color(166, 166, 166)},
        {"shadow grey", shadow, Color(128, 128, 128), Color(89, 89, 89)},
        {"shadow one", shadow, Color(1, 1, 1, 5), Color(0, 0, 0, 5)},
        {"shadow negative", shadow, Color(-10, 10, 0), Color(-7, 7, 0)},
        {"pressed grey", pressed, Color(128, 128, 128, 200), Color(102, 102, 102, 200)},
        {"slider mixed", slider, Color(255, 100, 11), Color(229, 90, 9)},
    };
    const gcn::Style& s = *gcn::Style::getCurrent();
    for (const ShadeCase& c : cases) {
        EXPECT_EQ(c.shade(s, c.in), c.out) << c.what;
    }
}

TEST(StyleTest, BlendIsThreePartsFirstWithIntegerTruncation) {
    const gcn::Style& s = *gcn::Style::getCurrent();
    EXPECT_EQ(s.blendColor(Color(0, 0, 0, 255), Color(255, 255, 255, 0)), Color(63, 63, 63, 255));
    // (3 x -3 + 2) / 4 = -1.75 becomes -1, not -2.
    EXPECT_EQ(s.blendColor(Color(-3, -3, -3, 40), Color(2, 2, 2, 90)), Color(-1, -1, -1, 40));
}

TEST(StyleTest, DefaultsOfTheDefaultStyle) {
    const gcn::Style& s = *gcn::Style::getCurrent();
    EXPECT_EQ(s.caretWidth(), 2);
    EXPECT_EQ(s.foregroundColor(), Color(0, 0, 0, 255));
    EXPECT_EQ(s.backgroundColor(), Color(255, 255, 255, 255));
    EXPECT_EQ(s.baseColor(), Color(128, 128, 128, 255));
    EXPECT_EQ(s.frameSize(), 0);
    EXPECT_EQ(s.buttonFrameSize(), 0);
    EXPECT_EQ(s.listFrameSize(), 0);
    EXPECT_EQ(s.windowFrameSize(), -1);
}

int64_t fake_now = 0;
int64_t fakeClock() { return fake_now; }

TEST(StyleTest, CaretBlinksEverySixHundredMilliseconds) {
    gcn::setMillisecondClock(fakeClock);
    const gcn::Style& s = *gcn::Style::getCurrent();
    const struct {
        int64_t t;
        bool phase;
    } cases[] = {{0, false}, {599, false}, {600, true}, {1199, true}, {1200, false}, {1800, true}};
    for (const auto& c : cases) {
        fake_now = c.t;
        EXPECT_EQ(s.blinkPhase(), c.phase) << c.t;
    }
    gcn::setMillisecondClock(nullptr);
}

TEST(StyleTest, RealClockIsMonotonic) {
    const int64_t a = gcn::currentMilliseconds();
    const int64_t b = gcn::currentMilliseconds();
    EXPECT_GE(a, 0);
    EXPECT_GE(b, a);
}

TEST(StyleTest, InstalledStyleReplacesTheDefaultUntilRemoved) {
    const gcn::Style* def = gcn::Style::getCurrent();
    gcntest::FlatStyle flat;
    gcn::Style::setCurrent(&flat);
    EXPECT_EQ(gcn::Style::getCurrent(), &flat);
    gcn::Style::setCurrent(nullptr);
    EXPECT_EQ(gcn::Style::getCurrent(), def);
}

TEST(ColorTest, Construction) {
    EXPECT_EQ(Color(), Color(0, 0, 0, 255));
    EXPECT_EQ(Color(0xC3D9FF), Color(195, 217, 255, 255));
    const Color c(1, 2, 3, 4);
    EXPECT_EQ(c.r, 1);
    EXPECT_EQ(c.g, 2);
    EXPECT_EQ(c.b, 3);
    EXPECT_EQ(c.a, 4);
}

}  // namespace
