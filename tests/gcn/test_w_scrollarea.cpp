// Scroll area: which bars show for each policy, the children area and bar
// parts, scroll limits, presses on buttons, track and marker, the wheel,
// bringing a part of the content into view, and drawing.
#include <gtest/gtest.h>

#include "gcn/exception.hpp"
#include "gcn/widgets/scrollarea.hpp"
#include "gcn_fakes.hpp"
#include "w_helpers.hpp"

namespace {

using gcn::Color;
using gcn::MouseEvent;
using gcn::Rectangle;
using gcn::ScrollArea;
using gcntest::Log;
using gcntest::Probe;
using wtest::mouseEvent;

void press(ScrollArea& a, int x, int y) {
    MouseEvent e = mouseEvent(&a, MouseEvent::Pressed, x, y);
    a.mousePressed(e);
}

void drag(ScrollArea& a, int x, int y) {
    MouseEvent e = mouseEvent(&a, MouseEvent::Dragged, x, y);
    a.mouseDragged(e);
}

TEST(ScrollAreaTest, PoliciesDecideTheBarsAndTheChildrenArea) {
    struct Case {
        int cw, ch, h_policy, v_policy;
        bool h_bar, v_bar;
        Rectangle children;
    };
    const Case cases[] = {
        {100, 300, 2, 2, false, true, {0, 0, 108, 200}},
        {115, 300, 2, 2, true, true, {0, 0, 108, 188}},
        {50, 50, 2, 2, false, false, {0, 0, 120, 200}},
        {130, 50, 2, 2, true, false, {0, 0, 120, 188}},
        {130, 195, 2, 2, true, true, {0, 0, 108, 188}},
        {100, 300, 1, 2, false, true, {0, 0, 108, 200}},
        {115, 50, 2, 1, false, false, {0, 0, 120, 200}},
        {115, 50, 2, 0, true, true, {0, 0, 108, 188}},
        {50, 50, 0, 1, true, false, {0, 0, 120, 188}},
        {500, 500, 1, 1, false, false, {0, 0, 120, 200}},
    };
    for (const Case& c : cases) {
        Log log;
        Probe content("c", &log, 0, 0, c.cw, c.ch);
        ScrollArea area(&content, c.h_policy, c.v_policy);
        area.setSize(120, 200);
        const std::string what = std::to_string(c.cw) + "x" + std::to_string(c.ch) + " " +
                                 std::to_string(c.h_policy) + "/" + std::to_string(c.v_policy);
        EXPECT_EQ(area.isHorizontalBarVisible(), c.h_bar) << what;
        EXPECT_EQ(area.isVerticalBarVisible(), c.v_bar) << what;
        EXPECT_EQ(area.getChildrenArea(), c.children) << what;
    }

    // Without content only "always" shows a bar.
    ScrollArea empty;
    empty.setSize(120, 200);
    EXPECT_FALSE(empty.isVerticalBarVisible());
    empty.setScrollPolicy(ScrollArea::ShowNever, ScrollArea::ShowAlways);
    EXPECT_TRUE(empty.isVerticalBarVisible());
    EXPECT_FALSE(empty.isHorizontalBarVisible());
    EXPECT_EQ(empty.getVerticalMaxScroll(), 0);
}

TEST(ScrollAreaTest, BarPartsMakeRoomForEachOther) {
    Log log;
    Probe content("c", &log, 0, 0, 115, 300);
    ScrollArea area(&content);
    area.setSize(120, 200);
    EXPECT_EQ(area.getUpButtonDimension(), Rectangle(108, 0, 12, 12));
    EXPECT_EQ(area.getDownButtonDimension(), Rectangle(108, 176, 12, 12));
    EXPECT_EQ(area.getLeftButtonDimension(), Rectangle(0, 188, 12, 12));
    EXPECT_EQ(area.getRightButtonDimension(), Rectangle(96, 188, 12, 12));
    EXPECT_EQ(area.getVerticalBarDimension(), Rectangle(108, 12, 12, 164));
    EXPECT_EQ(area.getHorizontalBarDimension(), Rectangle(12, 188, 84, 12));

    content.setWidth(100);
    area.logic();
    EXPECT_EQ(area.getDownButtonDimension(), Rectangle(108, 188, 12, 12));
    EXPECT_EQ(area.getRightButtonDimension(), Rectangle(0, 0, 0, 0));
}

TEST(ScrollAreaTest, InvalidPoliciesRaise) {
    Log log;
    Probe content("c", &log, 0, 0, 10, 10);
    struct Case {
        int h, v;
        const char* message;
        int line;
    };
    for (const Case& c : {Case{5, 0, "Horizontal scroll policy invalid.", 820},
                          Case{1, -1, "Vertical scroll policy invalid.", 844}}) {
        ScrollArea area(&content);
        try {
            area.setScrollPolicy(c.h, c.v);
            FAIL() << "no exception";
        } catch (const gcn::Exception& e) {
            EXPECT_EQ(e.getMessage(), c.message);
            EXPECT_EQ(e.getFunction(), "gcn::ScrollArea::checkPolicies");
            EXPECT_EQ(e.getFilename(), "gcn\\widgets\\scrollarea");
            EXPECT_EQ(e.getLine(), c.line);
        }
    }
}

TEST(ScrollAreaTest, ScrollAmountsStayWithinTheContent) {
    Log log;
    Probe content("c", &log, 0, 0, 100, 1000);
    content.setFrameSize(2);
    ScrollArea area(&content, ScrollArea::ShowNever, ScrollArea::ShowAuto);
    area.setSize(120, 200);
    EXPECT_EQ(area.getVerticalMaxScroll(), 804);
    EXPECT_EQ(area.getHorizontalMaxScroll(), 0);
    area.setVerticalScrollAmount(5000);
    EXPECT_EQ(area.getVerticalScrollAmount(), 804);
    area.setVerticalScrollAmount(-3);
    EXPECT_EQ(area.getVerticalScrollAmount(), 0);

    area.setVerticalScrollAmount(100);
    area.logic();
    EXPECT_EQ(content.getX(), 2);
    EXPECT_EQ(content.getY(), -98);
    EXPECT_EQ(content.logic_calls, 1);

    // Content shrunk below the visible area: everything back to 0, and the
    // marker fills its track.
    content.setHeight(50);
    area.setVerticalScrollPolicy(ScrollArea::ShowAlways);
    area.logic();
    EXPECT_EQ(area.getVerticalScrollAmount(), 0);
    EXPECT_EQ(area.getVerticalMaxScroll(), 0);
    EXPECT_EQ(area.getVerticalMarkerDimension(), area.getVerticalBarDimension());
}

TEST(ScrollAreaTest, PressesOnButtonsTrackAndMarker) {
    Log log;
    Probe content("c", &log, 0, 0, 100, 1000);
    ScrollArea area(&content);
    area.setSize(120, 200);
    // Track (108, 12, 12, 176); marker 200 x 176 / 1000 = 35 long.
    ASSERT_EQ(area.getVerticalBarDimension(), Rectangle(108, 12, 12, 176));
    area.setVerticalScrollAmount(500);
    const Rectangle marker = area.getVerticalMarkerDimension();
    EXPECT_EQ(marker, Rectangle(108, 12 + 141 * 500 / 800, 12, 35));

    press(area, 110, 20);  // track above the marker: 95 % of 200 up
    EXPECT_EQ(area.getVerticalScrollAmount(), 310);
    press(area, 110, 180);  // below it: down again
    EXPECT_EQ(area.getVerticalScrollAmount(), 500);
    press(area, 110, 5);  // up button
    EXPECT_EQ(area.getVerticalScrollAmount(), 490);
    press(area, 110, 195);  // down button
    EXPECT_EQ(area.getVerticalScrollAmount(), 500);
    MouseEvent release = mouseEvent(&area, MouseEvent::Released, 110, 195);
    area.mouseReleased(release);
    EXPECT_TRUE(release.isConsumed());

    // A press inside the children area does nothing and stays unconsumed.
    MouseEvent inside = mouseEvent(&area, MouseEvent::Pressed, 50, 50);
    area.mousePressed(inside);
    EXPECT_FALSE(inside.isConsumed());
    EXPECT_EQ(area.getVerticalScrollAmount(), 500);

    // Dragging the marker: grabbed 5 pixels below its top.
    const int top = area.getVerticalMarkerDimension().y;
    press(area, 112, top + 5);
    drag(area, 112, 12 + 5 + 141);  // marker top at the end of the track
    EXPECT_EQ(area.getVerticalScrollAmount(), 800);
    drag(area, 112, 12 + 5 + 70);
    EXPECT_EQ(area.getVerticalScrollAmount(), 800 * 70 / 141);
    drag(area, 112, -50);
    EXPECT_EQ(area.getVerticalScrollAmount(), 0);
    MouseEvent up = mouseEvent(&area, MouseEvent::Released, 0, 0);
    area.mouseReleased(up);
    drag(area, 112, 100);
    EXPECT_EQ(area.getVerticalScrollAmount(), 0);
}

TEST(ScrollAreaTest, MarkersFollowAVeryLongContent) {
    // 100 million pixels: the scroll times the track length passes the int
    // range.
    Log log;
    Probe tall("t", &log, 0, 0, 100, 100000000);
    ScrollArea area(&tall);
    area.setSize(120, 200);
    const int max = area.getVerticalMaxScroll();
    ASSERT_EQ(max, 100000000 - 200);
    // Track (108, 12, 12, 176), marker at its least length 12.
    struct Case {
        int scroll;
        int marker_y;
    };
    for (const Case& c : {Case{0, 12}, Case{max / 2, 12 + 82}, Case{max, 12 + 164}}) {
        area.setVerticalScrollAmount(c.scroll);
        EXPECT_EQ(area.getVerticalMarkerDimension(), Rectangle(108, c.marker_y, 12, 12)) << c.scroll;
    }
    // Grabbed 2 pixels below the marker's top (now at 176).
    press(area, 112, 178);
    drag(area, 112, 12 + 2 + 82);
    EXPECT_EQ(area.getVerticalScrollAmount(), max / 2);
    drag(area, 112, 100000);
    EXPECT_EQ(area.getVerticalScrollAmount(), max);
    drag(area, 112, -100000);
    EXPECT_EQ(area.getVerticalScrollAmount(), 0);

    Probe wide("w", &log, 0, 0, 100000000, 50);
    ScrollArea across(&wide);
    across.setSize(200, 100);
    across.setHorizontalScrollAmount(across.getHorizontalMaxScroll());
    EXPECT_EQ(across.getHorizontalMarkerDimension(), Rectangle(12 + 164, 88, 12, 12));
    press(across, 178, 90);
    drag(across, 100000, 90);
    EXPECT_EQ(across.getHorizontalScrollAmount(), across.getHorizontalMaxScroll());
}

TEST(ScrollAreaTest, HorizontalBarPresses) {
    Log log;
    Probe content("c", &log, 0, 0, 1000, 50);
    ScrollArea area(&content);
    area.setSize(200, 100);
    press(area, 195, 95);  // right button
    EXPECT_EQ(area.getHorizontalScrollAmount(), 10);
    press(area, 150, 95);  // track right of the marker
    EXPECT_EQ(area.getHorizontalScrollAmount(), 200);
    press(area, 5, 95);  // left button
    EXPECT_EQ(area.getHorizontalScrollAmount(), 190);
}

TEST(ScrollAreaTest, WheelScrollsByAnEighthUnlessConsumed) {
    Log log;
    Probe content("c", &log, 0, 0, 100, 1000);
    ScrollArea area(&content);
    area.setSize(120, 200);
    MouseEvent down = mouseEvent(&area, MouseEvent::WheelMovedDown, 10, 10);
    area.mouseWheelMovedDown(down);
    EXPECT_TRUE(down.isConsumed());
    EXPECT_EQ(area.getVerticalScrollAmount(), 25);
    MouseEvent taken = mouseEvent(&area, MouseEvent::WheelMovedDown, 10, 10);
    taken.consume();
    area.mouseWheelMovedDown(taken);
    EXPECT_EQ(area.getVerticalScrollAmount(), 25);
    MouseEvent up = mouseEvent(&area, MouseEvent::WheelMovedUp, 10, 10);
    area.mouseWheelMovedUp(up);
    area.mouseWheelMovedUp(up = mouseEvent(&area, MouseEvent::WheelMovedUp, 10, 10));
    EXPECT_EQ(area.getVerticalScrollAmount(), 0);
}

TEST(ScrollAreaTest, ShowWidgetPartScrollsToTheRectangle) {
    Log log;
    Probe content("c", &log, 0, 0, 100, 1000);
    Probe stranger("s", &log);
    ScrollArea area(&content);
    area.setSize(120, 200);
    content.showPart(Rectangle(0, 500, 10, 20));
    EXPECT_EQ(area.getVerticalScrollAmount(), 320);
    content.showPart(Rectangle(0, 100, 10, 20));
    EXPECT_EQ(area.getVerticalScrollAmount(), 100);
    try {
        area.showWidgetPart(&stranger, Rectangle(0, 0, 1, 1));
        FAIL() << "no exception";
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "Widget not content widget");
        EXPECT_EQ(e.getFunction(), "gcn::ScrollArea::showWidgetPart");
        EXPECT_EQ(e.getLine(), 1046);
    }
}

TEST(ScrollAreaTest, ContentIsFoundOnlyInTheChildrenArea) {
    Log log;
    Probe content("c", &log, 0, 0, 10, 1000);
    ScrollArea area(&content);
    area.setSize(120, 200);
    EXPECT_EQ(area.getWidgetAt(100, 100), &content);
    EXPECT_EQ(area.getWidgetAt(110, 100), nullptr);
    area.setContent(nullptr);
    EXPECT_EQ(area.getWidgetAt(10, 10), nullptr);
    EXPECT_EQ(content.getParent(), nullptr);
}

TEST(ScrollAreaTest, DrawsBackgroundBarsAndCorner) {
    Log log;
    Probe content("c", &log, 0, 0, 115, 300);
    content.setBaseColor(Color(0, 0, 255));
    ScrollArea area(&content);
    area.setSize(120, 200);
    area.logic();
    gcntest::PixelGraphics g(120, 200);
    wtest::drawAlone(area, g);
    const Color base(128, 128, 128);
    EXPECT_EQ(g.at(50, 50), Color(0, 0, 255));      // the content
    EXPECT_EQ(g.at(115, 195), base);                // the corner
    EXPECT_EQ(g.at(108, 150), Color(89, 89, 89));   // track's dark edge
    EXPECT_EQ(g.at(114, 150), Color(115, 115, 115));  // track below the marker
    EXPECT_EQ(g.at(108, 12), Color(166, 166, 166));  // marker's light edge
    EXPECT_EQ(g.at(108, 0), Color(166, 166, 166));  // up button's light edge
    // The up arrow: half 6, rows 5 ... 7 in the foreground colour.
    EXPECT_EQ(g.at(108 + 6, 5), Color(0, 0, 0));

    // A transparent area leaves the part the content does not cover.
    Probe small("s", &log, 0, 0, 10, 10);
    ScrollArea clear(&small);
    clear.setOpaque(false);
    clear.setSize(50, 50);
    gcntest::PixelGraphics g2(50, 50);
    wtest::drawAlone(clear, g2);
    EXPECT_EQ(g2.at(30, 30), gcntest::kUnset);
}

}  // namespace
