// Window and slider: the window's children area, fitting, dragging by the
// title bar, raising, a parentless (dialog) window, drawing; the slider's
// value and marker mapping, mouse, wheel and keys, and empty scales.
#include <gtest/gtest.h>

#include <cmath>

#include "gcn/exception.hpp"
#include "gcn/key.hpp"
#include "gcn/widgets/slider.hpp"
#include "gcn/widgets/window.hpp"
#include "gcn_fakes.hpp"
#include "w_helpers.hpp"

namespace {

using gcn::Color;
using gcn::Key;
using gcn::MouseEvent;
using gcn::Rectangle;
using gcntest::ActionRecorder;
using gcntest::PixelGraphics;
using wtest::GuiRig;
using wtest::mouseEvent;
using wtest::pressKey;

// ---------------------------------------------------------------------------
// Window

TEST(WindowTest, ChildrenAreaAndFitting) {
    gcn::Window w("Title");
    w.setSize(200, 100);
    EXPECT_EQ(w.getChildrenArea(), Rectangle(2, 16, 196, 82));
    EXPECT_EQ(w.getSignedFrameSize(), -1);
    EXPECT_EQ(w.getCaption(), "Title");
    w.setPadding(5);
    w.setTitleBarHeight(20);
    EXPECT_EQ(w.getChildrenArea(), Rectangle(5, 20, 190, 75));

    gcntest::Log log;
    gcntest::Probe child("c", &log, 10, 5, 30, 20);
    w.add(&child);
    w.resizeToContent();
    EXPECT_EQ(w.getWidth(), 40 + 10);
    EXPECT_EQ(w.getHeight(), 25 + 5 + 20);

    gcn::Window untitled(nullptr);
    EXPECT_EQ(untitled.getCaption(), "");
}

TEST(WindowTest, DragsOnlyFromTheTitleBar) {
    struct Case {
        int press_y;
        bool moves;
    };
    for (const Case& c : {Case{16, true}, Case{0, true}, Case{17, false}}) {
        GuiRig rig;
        gcn::Window w("w");
        w.setSize(200, 100);
        rig.top.add(&w, 50, 50);
        rig.move(60, 50 + c.press_y);
        rig.press(60, 50 + c.press_y);
        rig.move(80, 60 + c.press_y);
        rig.move(90, 70 + c.press_y);
        rig.release(90, 70 + c.press_y);
        EXPECT_EQ(w.getX(), c.moves ? 80 : 50) << c.press_y;
        EXPECT_EQ(w.getY(), c.moves ? 70 : 50) << c.press_y;
        // After the release further moves leave it alone.
        rig.move(10, 10);
        EXPECT_EQ(w.getX(), c.moves ? 80 : 50) << c.press_y;
    }
}

TEST(WindowTest, PressRaisesEvenAFixedWindow) {
    GuiRig rig;
    gcn::Window back("back");
    gcn::Window front("front");
    back.setSize(100, 100);
    front.setSize(100, 100);
    back.setMovable(false);
    rig.top.add(&back, 0, 0);
    rig.top.add(&front, 150, 0);
    rig.move(10, 5);
    rig.press(10, 5);
    EXPECT_EQ(rig.top.getChildren().back(), &back);
    rig.move(30, 25);
    rig.release(30, 25);
    EXPECT_EQ(back.getX(), 0);
    EXPECT_EQ(back.getY(), 0);
}

TEST(WindowTest, WindowWithoutParentCanBePressedAndDragged) {
    // A dialog's window is the top widget of its gui.
    gcn::Gui gui;
    gcntest::FakeInput input;
    gcn::Window w("dialog");
    w.setDimension(Rectangle(20, 20, 100, 60));
    gui.setTop(&w);
    gui.setInput(&input);
    input.mouse(gcn::MouseInput::Moved, 30, 25);
    input.mouse(gcn::MouseInput::Pressed, 30, 25);
    input.mouse(gcn::MouseInput::Moved, 40, 35);
    input.mouse(gcn::MouseInput::Released, 40, 35);
    EXPECT_NO_THROW(gui.logic());
    EXPECT_EQ(w.getX(), 30);
    EXPECT_EQ(w.getY(), 30);
}

TEST(WindowTest, DrawsSunkenChildrenAreaAndCaption) {
    gcn::Window w("Hi");
    w.setSize(200, 100);
    PixelGraphics g(200, 100);
    wtest::drawAlone(w, g);
    const Color base(128, 128, 128);
    const Color shadow(89, 89, 89);
    const Color highlight(166, 166, 166);
    EXPECT_EQ(g.at(50, 50), base);
    EXPECT_EQ(g.at(1, 15), shadow);
    EXPECT_EQ(g.at(197, 15), shadow);
    EXPECT_EQ(g.at(1, 98), shadow);
    EXPECT_EQ(g.at(198, 15), highlight);
    EXPECT_EQ(g.at(198, 98), highlight);
    EXPECT_EQ(g.at(0, 0), base);
    // "Hi" centred in the title bar: glyphs from (92, 4).
    EXPECT_EQ(g.at(92, 4), Color(0, 0, 0));
    EXPECT_EQ(g.at(91, 4), base);

    w.setAlignment(7);
    try {
        wtest::drawAlone(w, g);
        FAIL() << "no exception";
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "Unknown alignment.");
        EXPECT_EQ(e.getFunction(), "gcn::Window::draw");
        EXPECT_EQ(e.getFilename(), "gcn\\widgets\\window");
        EXPECT_EQ(e.getLine(), 233);
    }
}

// ---------------------------------------------------------------------------
// Slider

TEST(SliderTest, MapsBetweenValuesAndMarkerPositions) {
    gcn::Slider s(100.0);
    s.setSize(110, 10);
    struct Case {
        double value;
        int position;
    };
    for (const Case& c : {Case{0, 0}, Case{50, 50}, Case{100, 100}, Case{33.3, 33}, Case{150, 100}, Case{-5, 0}}) {
        EXPECT_EQ(s.valueToMarkerPosition(c.value), c.position) << c.value;
    }
    EXPECT_DOUBLE_EQ(s.markerPositionToValue(25), 25.0);
    s.setScale(-50, 50);
    EXPECT_DOUBLE_EQ(s.markerPositionToValue(75), 25.0);
    EXPECT_EQ(s.valueToMarkerPosition(0), 50);

    s.setValue(1000);
    EXPECT_DOUBLE_EQ(s.getValue(), 50);
    s.setValue(-1000);
    EXPECT_DOUBLE_EQ(s.getValue(), -50);
    EXPECT_DOUBLE_EQ(gcn::Slider(0.0).getStepLength(), 0.0);
    EXPECT_DOUBLE_EQ(gcn::Slider(30.0).getStepLength(), 3.0);
}

TEST(SliderTest, ValuesFarOffTheScaleClampTheMarkerToTheEnds) {
    gcn::Slider s(100.0);
    s.setSize(110, 10);
    s.setValue(50);
    // A new scale leaves the value alone, even outside it.
    s.setScale(0, 1e-300);
    EXPECT_DOUBLE_EQ(s.getValue(), 50.0);
    struct Case {
        double value;
        int position;
    };
    for (const Case& c : {Case{50, 100}, Case{1e300, 100}, Case{-1e300, 0}, Case{std::nan(""), 0}}) {
        EXPECT_EQ(s.valueToMarkerPosition(c.value), c.position) << c.value;
    }
    EXPECT_EQ(s.getMarkerPosition(), 100);
}

TEST(SliderTest, PressDragWheelAndKeysSendTheAction) {
    gcn::Slider s(100.0);
    s.setSize(110, 10);
    ActionRecorder actions;
    s.addActionListener(&actions);

    MouseEvent press = mouseEvent(&s, MouseEvent::Pressed, 55, 5);
    s.mousePressed(press);
    EXPECT_DOUBLE_EQ(s.getValue(), 50.0);
    EXPECT_FALSE(press.isConsumed());
    EXPECT_EQ(s.getMarkerPosition(), 50);
    MouseEvent outside = mouseEvent(&s, MouseEvent::Pressed, 200, 5);
    s.mousePressed(outside);
    MouseEvent right = mouseEvent(&s, MouseEvent::Pressed, 10, 5, MouseEvent::Right);
    s.mousePressed(right);
    EXPECT_DOUBLE_EQ(s.getValue(), 50.0);
    EXPECT_EQ(actions.sources.size(), 1u);

    MouseEvent drag = mouseEvent(&s, MouseEvent::Dragged, 200, 50);
    s.mouseDragged(drag);
    EXPECT_DOUBLE_EQ(s.getValue(), 100.0);
    EXPECT_TRUE(drag.isConsumed());

    // At the end Right keeps the value but still tells.
    EXPECT_TRUE(pressKey(&s, Key::Right));
    EXPECT_DOUBLE_EQ(s.getValue(), 100.0);
    EXPECT_TRUE(pressKey(&s, Key::Left));
    EXPECT_DOUBLE_EQ(s.getValue(), 90.0);
    EXPECT_FALSE(pressKey(&s, Key::Up));
    EXPECT_EQ(actions.sources.size(), 4u);

    MouseEvent down = mouseEvent(&s, MouseEvent::WheelMovedDown, 0, 0);
    s.mouseWheelMovedDown(down);
    EXPECT_TRUE(down.isConsumed());
    EXPECT_DOUBLE_EQ(s.getValue(), 80.0);
    MouseEvent up = mouseEvent(&s, MouseEvent::WheelMovedUp, 0, 0);
    s.mouseWheelMovedUp(up);
    EXPECT_DOUBLE_EQ(s.getValue(), 90.0);
    EXPECT_EQ(actions.sources.size(), 6u);
}

TEST(SliderTest, VerticalSliderRunsBottomUp) {
    gcn::Slider s(100.0);
    s.setOrientation(gcn::Slider::Vertical);
    s.setSize(10, 110);
    MouseEvent press = mouseEvent(&s, MouseEvent::Pressed, 5, 25);
    s.mousePressed(press);
    EXPECT_DOUBLE_EQ(s.getValue(), 80.0);
    EXPECT_TRUE(pressKey(&s, Key::Up));
    EXPECT_DOUBLE_EQ(s.getValue(), 90.0);
    EXPECT_TRUE(pressKey(&s, Key::Down));
    EXPECT_FALSE(pressKey(&s, Key::Right));
    EXPECT_DOUBLE_EQ(s.getValue(), 80.0);

    PixelGraphics g(10, 110);
    wtest::drawAlone(s, g);
    // Marker top at 110 - 10 - 80 = 20.
    EXPECT_EQ(g.at(0, 20), Color(166, 166, 166));
    EXPECT_EQ(g.at(5, 25), Color(128, 128, 128));
    EXPECT_EQ(g.at(5, 60), Color(115, 115, 115));
}

TEST(SliderTest, EmptyScaleOrNoRoomKeepsTheMarkerAtTheStart) {
    struct Case {
        double start, end;
        int width;
    };
    for (const Case& c : {Case{5, 5, 110}, Case{0, 100, 10}, Case{0, 100, 4}}) {
        gcn::Slider s(c.start, c.end);
        s.setSize(c.width, 10);
        MouseEvent press = mouseEvent(&s, MouseEvent::Pressed, c.width / 2, 5);
        s.mousePressed(press);
        MouseEvent drag = mouseEvent(&s, MouseEvent::Dragged, c.width, 5);
        s.mouseDragged(drag);
        EXPECT_DOUBLE_EQ(s.getValue(), c.start) << c.start << ".." << c.end << " w " << c.width;
        EXPECT_EQ(s.getMarkerPosition(), 0);
        EXPECT_FALSE(std::isnan(s.markerPositionToValue(3)));
        PixelGraphics g(c.width, 10);
        EXPECT_NO_THROW(wtest::drawAlone(s, g));
    }
}

TEST(SliderTest, DrawsTrackAndMarker) {
    gcn::Slider s(100.0);
    s.setSize(110, 10);
    s.setValue(50);
    PixelGraphics g(110, 10);
    wtest::drawAlone(s, g);
    EXPECT_EQ(g.at(20, 5), Color(115, 115, 115));
    EXPECT_EQ(g.at(50, 0), Color(166, 166, 166));
    EXPECT_EQ(g.at(59, 9), Color(89, 89, 89));
    EXPECT_EQ(g.at(55, 5), Color(128, 128, 128));
}

}  // namespace
