// Tabbed area and tabs: selection on adding and removing, index errors,
// tab placement and sizes, keys and presses, tabs and pages that die
// first, and how tabs are drawn.
#include <gtest/gtest.h>

#include <memory>

#include "gcn/exception.hpp"
#include "gcn/focushandler.hpp"
#include "gcn/key.hpp"
#include "gcn/widgets/tab.hpp"
#include "gcn/widgets/tabbedarea.hpp"
#include "gcn_fakes.hpp"
#include "w_helpers.hpp"

namespace {

using gcn::Color;
using gcn::Key;
using gcn::Rectangle;
using gcntest::Log;
using gcntest::Probe;

// The page widgets the area shows now.
const gcn::BasicContainer::Widgets& shownPages(gcn::TabbedArea& area) {
    // The second child of the area is the page container.
    return static_cast<gcn::BasicContainer*>(area.getChildren().at(1))->getChildren();
}

struct ThreeTabs {
    ThreeTabs() {
        area.setSize(200, 100);
        area.addTab("one", &p1);
        area.addTab("two", &p2);
        area.addTab("three", &p3);
    }
    Log log;
    Probe p1{"p1", &log};
    Probe p2{"p2", &log};
    Probe p3{"p3", &log};
    gcn::TabbedArea area;
};

TEST(TabbedAreaTest, FirstTabIsSelectedAndTabsSizeToCaptions) {
    ThreeTabs t;
    EXPECT_EQ(t.area.getSelectedTabIndex(), 0);
    EXPECT_EQ(shownPages(t.area), (gcn::BasicContainer::Widgets{&t.p1}));
    EXPECT_EQ(t.area.getTab(0)->getCaption(), "one");
    // A label of 24 x 8 plus 8 each way.
    EXPECT_EQ(t.area.getTab(0)->getDimension(), Rectangle(0, 0, 32, 16));
    EXPECT_EQ(t.area.getTab(1)->getX(), 32);
    EXPECT_EQ(t.area.getTab(2)->getDimension(), Rectangle(64, 0, 48, 16));

    t.area.setSelectedTab(2);
    EXPECT_EQ(shownPages(t.area), (gcn::BasicContainer::Widgets{&t.p3}));
    EXPECT_TRUE(t.area.isTabSelected(t.area.getTab(2)));

    // A longer caption moves the tabs after it.
    t.area.getTab(0)->setCaption("first tab");
    EXPECT_EQ(t.area.getTab(0)->getWidth(), 80);
    EXPECT_EQ(t.area.getTab(1)->getX(), 80);
    EXPECT_EQ(t.area.getTab(2)->getX(), 112);
}

TEST(TabbedAreaTest, TabsOfDifferentHeightsShareTheirBottom) {
    Log log;
    Probe page("p", &log);
    gcn::Tab low;
    gcn::Tab high;
    low.setSize(30, 20);
    high.setSize(40, 24);
    gcn::TabbedArea area;
    area.setSize(100, 80);
    area.addTab(&low, &page);
    area.addTab(&high, &page);
    EXPECT_EQ(low.getDimension(), Rectangle(0, 4, 30, 20));
    EXPECT_EQ(high.getDimension(), Rectangle(30, 0, 40, 24));
    // The pages sit below the tallest tab.
    const auto* pages = static_cast<gcn::Widget*>(area.getChildren().at(1));
    EXPECT_EQ(pages->getDimension(), Rectangle(1, 25, 98, 54));
    area.setSize(120, 60);
    EXPECT_EQ(pages->getDimension(), Rectangle(1, 25, 118, 34));
    EXPECT_EQ(area.getChildren().at(0)->getDimension(), Rectangle(0, 0, 118, 24));
}

TEST(TabbedAreaTest, RemovingTabsMovesTheSelectionToANeighbour) {
    {
        ThreeTabs t;
        t.area.setSelectedTab(2);
        t.area.removeTab(t.area.getTab(2));
        EXPECT_EQ(t.area.getSelectedTabIndex(), 1);
        EXPECT_EQ(shownPages(t.area), (gcn::BasicContainer::Widgets{&t.p2}));
    }
    {
        ThreeTabs t;
        t.area.setSelectedTab(1);
        t.area.removeTab(t.area.getTab(1));
        EXPECT_EQ(t.area.getNumberOfTabs(), 2);
        EXPECT_EQ(t.area.getSelectedTabIndex(), 1);
        EXPECT_EQ(t.area.getTab(1)->getCaption(), "three");
        // Only the new page shows; the removed tab's page went with it.
        EXPECT_EQ(shownPages(t.area), (gcn::BasicContainer::Widgets{&t.p3}));
        EXPECT_EQ(t.area.getTab(1)->getX(), 32);
    }
    {
        ThreeTabs t;
        t.area.setSelectedTab(2);
        t.area.removeTab(t.area.getTab(0));
        EXPECT_EQ(t.area.getSelectedTabIndex(), 1);
        EXPECT_EQ(t.area.getTab(1)->getCaption(), "three");
        EXPECT_EQ(shownPages(t.area), (gcn::BasicContainer::Widgets{&t.p3}));
    }
    {
        Log log;
        Probe page("p", &log);
        gcn::TabbedArea area;
        area.addTab("only", &page);
        area.removeTab(area.getTab(0));
        EXPECT_EQ(area.getSelectedTabIndex(), -1);
        EXPECT_EQ(area.getSelectedTab(), nullptr);
        EXPECT_TRUE(shownPages(area).empty());
        EXPECT_EQ(page.getParent(), nullptr);
    }
}

TEST(TabbedAreaTest, BadIndicesAndForeignActionsRaise) {
    ThreeTabs t;
    struct Case {
        int index;
        bool select;
        const char* function;
        int line;
    };
    for (const Case& c : {Case{3, false, "gcn::TabbedArea::getTab", 205}, Case{-1, false, "gcn::TabbedArea::getTab", 205},
                          Case{3, true, "gcn::TabbedArea::setSelectedTab", 251},
                          Case{-1, true, "gcn::TabbedArea::setSelectedTab", 251}}) {
        try {
            if (c.select) {
                t.area.setSelectedTab(c.index);
            } else {
                t.area.getTab(c.index);
            }
            FAIL() << "no exception for " << c.index;
        } catch (const gcn::Exception& e) {
            EXPECT_EQ(e.getMessage(), "No such tab index.");
            EXPECT_EQ(e.getFunction(), c.function);
            EXPECT_EQ(e.getFilename(), "gcn\\widgets\\tabbedarea");
            EXPECT_EQ(e.getLine(), c.line);
        }
    }
    EXPECT_EQ(t.area.getSelectedTabIndex(), 0);

    try {
        t.area.action(gcn::ActionEvent(&t.p1, ""));
        FAIL() << "no exception";
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "Received an action from a widget that's not a tab!");
        EXPECT_EQ(e.getLine(), 536);
    }
    // A tab's own action selects it.
    t.area.getTab(2)->fireAction();
    EXPECT_EQ(t.area.getSelectedTabIndex(), 2);
}

TEST(TabbedAreaTest, ForeignTabOnlyHidesThePageAndBaseColourReachesTheContainers) {
    ThreeTabs t;
    gcn::Tab stranger;
    t.area.setSelectedTab(&stranger);
    EXPECT_TRUE(shownPages(t.area).empty());
    EXPECT_EQ(t.area.getSelectedTabIndex(), 0);

    const Color red(200, 0, 0);
    t.area.setBaseColor(red);
    EXPECT_EQ(t.area.getBaseColor(), red);
    EXPECT_EQ(t.area.getChildren().at(0)->getBaseColor(), red);
    EXPECT_EQ(t.area.getChildren().at(1)->getBaseColor(), red);
}

TEST(TabbedAreaTest, ArrowKeysWalkTheTabsWhileFocused) {
    ThreeTabs t;
    EXPECT_FALSE(wtest::pressKey(&t.area, Key::Right));
    EXPECT_EQ(t.area.getSelectedTabIndex(), 0);

    gcn::FocusHandler fh;
    t.area._setFocusHandler(&fh);
    fh.requestFocus(&t.area);
    EXPECT_FALSE(wtest::pressKey(&t.area, Key::Left));
    EXPECT_EQ(t.area.getSelectedTabIndex(), 0);
    EXPECT_TRUE(wtest::pressKey(&t.area, Key::Right));
    EXPECT_TRUE(wtest::pressKey(&t.area, Key::Right));
    EXPECT_FALSE(wtest::pressKey(&t.area, Key::Right));
    EXPECT_EQ(t.area.getSelectedTabIndex(), 2);
    EXPECT_TRUE(wtest::pressKey(&t.area, Key::Left));
    EXPECT_EQ(t.area.getSelectedTabIndex(), 1);
    t.area._setFocusHandler(nullptr);
}

TEST(TabbedAreaTest, PressOnATabSelectsItAndFocusesTheArea) {
    wtest::GuiRig rig;
    ThreeTabs t;
    rig.top.add(&t.area, 10, 10);
    rig.click(10 + 40, 10 + 5);
    EXPECT_EQ(t.area.getSelectedTabIndex(), 1);
    EXPECT_TRUE(t.area.isFocused());
    rig.click(10 + 40, 10 + 5, gcn::MouseInput::Right);
    rig.click(10 + 70, 10 + 5, gcn::MouseInput::Right);
    EXPECT_EQ(t.area.getSelectedTabIndex(), 1);
    rig.click(10 + 150, 10 + 5);  // right of the last tab
    EXPECT_EQ(t.area.getSelectedTabIndex(), 1);
    rig.top.remove(&t.area);
}

TEST(TabbedAreaTest, ResizesToTheLargestPage) {
    Log log;
    Probe small("s", &log, 0, 0, 50, 40);
    Probe large("l", &log, 0, 0, 120, 30);
    gcn::TabbedArea area;
    area.addTab("a", &small);
    area.addTab("b", &large);
    area.resizeToContent();
    EXPECT_EQ(area.getWidth(), 120);
    EXPECT_EQ(area.getHeight(), 40 + 16);
}

TEST(TabbedAreaTest, TabsAndPagesThatDieFirstAreForgotten) {
    Log log;
    Probe p1("p1", &log);
    auto* p2 = new Probe("p2", &log);
    auto* own = new gcn::Tab();
    own->setCaption("mine");
    gcn::TabbedArea area;
    area.addTab("one", &p1);
    area.addTab(own, p2);
    area.setSelectedTab(1);
    delete p2;
    EXPECT_TRUE(shownPages(area).empty());
    area.setSelectedTab(0);
    area.setSelectedTab(1);
    EXPECT_TRUE(shownPages(area).empty());
    delete own;
    EXPECT_EQ(area.getNumberOfTabs(), 1);
    EXPECT_EQ(area.getSelectedTabIndex(), 0);
    EXPECT_EQ(shownPages(area), (gcn::BasicContainer::Widgets{&p1}));
}

TEST(TabbedAreaTest, TabsOfTheCallerOutliveTheArea) {
    Log log;
    Probe page("p", &log);
    gcn::Tab tab;
    tab.setCaption("x");
    {
        gcn::TabbedArea area;
        area.addTab(&tab, &page);
        EXPECT_EQ(tab.getTabbedArea(), &area);
    }
    EXPECT_EQ(tab.getTabbedArea(), nullptr);
    EXPECT_EQ(tab.getParent(), nullptr);
    EXPECT_EQ(page.getParent(), nullptr);
    tab.setCaption("still fine");
}

TEST(TabbedAreaTest, TabUnderTheMouseLooksSelected) {
    ThreeTabs t;
    gcn::Tab* second = t.area.getTab(1);
    const Color highlight(166, 166, 166);
    const Color shadow(89, 89, 89);
    auto corner = [&](gcn::Tab* tab) {
        gcntest::PixelGraphics g(tab->getWidth(), tab->getHeight());
        wtest::drawAlone(*tab, g);
        return std::make_pair(g.at(0, 0), g.at(5, 2));
    };
    EXPECT_EQ(corner(t.area.getTab(0)), std::make_pair(highlight, Color(128, 128, 128)));
    EXPECT_EQ(corner(second), std::make_pair(shadow, Color(115, 115, 115)));
    gcn::MouseEvent enter = wtest::mouseEvent(second, gcn::MouseEvent::Entered, 1, 1);
    second->mouseEntered(enter);
    EXPECT_EQ(corner(second), std::make_pair(highlight, Color(128, 128, 128)));
    gcn::MouseEvent exit = wtest::mouseEvent(second, gcn::MouseEvent::Exited, 1, 1);
    second->mouseExited(exit);
    EXPECT_EQ(corner(second).first, shadow);
}

TEST(TabbedAreaTest, DrawsTheLineUnderTheTabsOpenBelowTheSelectedOne) {
    ThreeTabs t;
    t.area.setSelectedTab(1);
    gcntest::PixelGraphics g(200, 100);
    wtest::drawAlone(t.area, g);
    // The tab row is 16 high: the line at y 16 is open under tab two.
    EXPECT_EQ(g.at(10, 16), Color(166, 166, 166));
    EXPECT_EQ(g.at(40, 16), Color(128, 128, 128));
    EXPECT_EQ(g.at(199, 50), Color(89, 89, 89));
    EXPECT_EQ(g.at(0, 50), Color(166, 166, 166));
}

}  // namespace
