// List box and drop-down: selection clamping and its events, keys, mouse
// and wheel, drawing only the visible rows, folding out within the parent,
// the modal mouse grab, and parts that die before the drop-down.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "gcn/exception.hpp"
#include "gcn/focushandler.hpp"
#include "gcn/key.hpp"
#include "gcn/widgets/dropdown.hpp"
#include "gcn/widgets/listbox.hpp"
#include "gcn/widgets/scrollarea.hpp"
#include "gcn_fakes.hpp"
#include "w_helpers.hpp"

namespace {

using gcn::Color;
using gcn::Key;
using gcn::MouseEvent;
using gcntest::ActionRecorder;
using wtest::GuiRig;
using wtest::mouseEvent;
using wtest::pressKey;
using wtest::SelectionRecorder;
using wtest::StringList;

StringList rows(int n) {
    StringList list;
    for (int i = 0; i < n; ++i) {
        list.items.push_back("row" + std::to_string(i));
    }
    return list;
}

// Remembers which rows were asked for.
class CountingList : public StringList {
public:
    using StringList::StringList;
    std::string getElementAt(int i) override {
        asked.insert(i);
        return StringList::getElementAt(i);
    }
    std::set<int> asked;
};

// A drop-down 100 wide over a list of n rows, placed on a gui's top.
struct DropDownOnGui {
    DropDownOnGui(int n, int x, int y) : list(rows(n)), drop(&list) {
        drop.setWidth(100);
        rig.top.add(&drop, x, y);
    }
    GuiRig rig;
    StringList list;
    gcn::DropDown drop;
};

// ---------------------------------------------------------------------------
// List box

TEST(ListBoxTest, SelectionIsClampedAndAlwaysTold) {
    StringList list = rows(3);
    gcn::ListBox box(&list);
    EXPECT_EQ(box.getSelected(), -1);
    EXPECT_EQ(box.getHeight(), 24);
    SelectionRecorder changes;
    box.addSelectionListener(&changes);
    struct Case {
        int set;
        int selected;
    };
    for (const Case& c : {Case{1, 1}, Case{1, 1}, Case{5, 2}, Case{-7, -1}, Case{0, 0}}) {
        box.setSelected(c.set);
        EXPECT_EQ(box.getSelected(), c.selected) << c.set;
    }
    EXPECT_EQ(changes.sources.size(), 5u);
    EXPECT_EQ(changes.sources[0], &box);

    box.setListModel(nullptr);
    EXPECT_EQ(box.getSelected(), -1);
    box.setSelected(1);
    EXPECT_EQ(box.getSelected(), -1);
    box.removeSelectionListener(&changes);
    box.setSelected(0);
    EXPECT_EQ(changes.sources.size(), 6u);

    list.items.push_back("row3");
    box.setListModel(&list);
    EXPECT_EQ(box.getHeight(), 32);
    list.items.push_back("row4");
    box.logic();
    EXPECT_EQ(box.getHeight(), 40);
}

TEST(ListBoxTest, KeysWalkTheRows) {
    struct Case {
        const char* name;
        bool wrapping;
        int start;
        int key;
        int selected;
        int events;
    };
    const Case cases[] = {
        {"up on first row", false, 0, Key::Up, 0, 2},
        {"up on first row, wrapping", true, 0, Key::Up, 3, 2},
        {"up", false, 2, Key::Up, 1, 1},
        {"down on last row", false, 3, Key::Down, 3, 1},
        {"down on last row, wrapping", true, 3, Key::Down, 0, 1},
        {"down", false, 1, Key::Down, 2, 1},
        {"home", false, 2, Key::Home, 0, 1},
        {"end", false, 0, Key::End, 3, 1},
    };
    for (const Case& c : cases) {
        StringList list = rows(4);
        gcn::ListBox box(&list);
        box.setWrappingEnabled(c.wrapping);
        box.setSelected(c.start);
        SelectionRecorder changes;
        box.addSelectionListener(&changes);
        EXPECT_TRUE(pressKey(&box, c.key)) << c.name;
        EXPECT_EQ(box.getSelected(), c.selected) << c.name;
        EXPECT_EQ(static_cast<int>(changes.sources.size()), c.events) << c.name;
    }

    StringList list = rows(2);
    gcn::ListBox box(&list);
    ActionRecorder actions;
    box.addActionListener(&actions);
    EXPECT_TRUE(pressKey(&box, Key::Enter));
    EXPECT_TRUE(pressKey(&box, Key::Space));
    EXPECT_FALSE(pressKey(&box, 'a'));
    EXPECT_EQ(actions.sources.size(), 2u);
}

TEST(ListBoxTest, PressSelectsAndWheelNeedsTheFocus) {
    StringList list = rows(4);
    gcn::FocusHandler fh;
    gcn::ListBox box(&list);
    ActionRecorder actions;
    box.addActionListener(&actions);

    MouseEvent right = mouseEvent(&box, MouseEvent::Pressed, 1, 17, MouseEvent::Right);
    box.mousePressed(right);
    EXPECT_EQ(box.getSelected(), -1);
    MouseEvent left = mouseEvent(&box, MouseEvent::Pressed, 1, 17);
    box.mousePressed(left);
    EXPECT_EQ(box.getSelected(), 2);
    EXPECT_FALSE(left.isConsumed());
    EXPECT_EQ(actions.sources.size(), 1u);

    MouseEvent wheel = mouseEvent(&box, MouseEvent::WheelMovedDown, 1, 1);
    box.mouseWheelMovedDown(wheel);
    EXPECT_EQ(box.getSelected(), 2);
    EXPECT_FALSE(wheel.isConsumed());

    box._setFocusHandler(&fh);
    fh.requestFocus(&box);
    box.mouseWheelMovedDown(wheel);
    EXPECT_EQ(box.getSelected(), 3);
    EXPECT_TRUE(wheel.isConsumed());
    for (int i = 0; i < 5; ++i) {
        MouseEvent up = mouseEvent(&box, MouseEvent::WheelMovedUp, 1, 1);
        box.mouseWheelMovedUp(up);
        EXPECT_TRUE(up.isConsumed());
    }
    EXPECT_EQ(box.getSelected(), 0);
}

TEST(ListBoxTest, DrawsOnlyTheRowsInViewAndMarksTheSelection) {
    CountingList list;
    for (int i = 0; i < 100; ++i) {
        list.items.push_back("r");
    }
    gcn::ListBox box(&list);
    box.setWidth(50);
    gcn::ScrollArea area(&box, gcn::ScrollArea::ShowNever, gcn::ScrollArea::ShowNever);
    area.setSize(50, 40);
    area.setVerticalScrollAmount(400);
    area.logic();
    box.setSelected(51);
    area.logic();
    list.asked.clear();
    gcntest::PixelGraphics g(50, 40);
    wtest::drawAlone(area, g);
    // Five rows show; two more are drawn below them.
    EXPECT_EQ(list.asked, (std::set<int>{50, 51, 52, 53, 54, 55, 56}));
    EXPECT_EQ(g.at(40, 12), box.getSelectionColor());
    EXPECT_EQ(g.at(40, 4), Color(255, 255, 255));
    EXPECT_EQ(g.at(1, 16), Color(0, 0, 0));
}

// ---------------------------------------------------------------------------
// Drop-down

TEST(DropDownTest, StartsOnTheFirstRowAndOneLineHigh) {
    StringList list = rows(3);
    gcn::DropDown with_model(&list);
    EXPECT_EQ(with_model.getSelected(), 0);
    EXPECT_EQ(with_model.getHeight(), 10);
    EXPECT_FALSE(with_model.isDroppedDown());

    gcn::DropDown without;
    EXPECT_EQ(without.getSelected(), -1);
    without.setListModel(&list);
    EXPECT_EQ(without.getSelected(), 0);
    without.setSelected(2);
    without.setSelected(-1);
    EXPECT_EQ(without.getSelected(), 2);
}

TEST(DropDownTest, PressFoldsOutAndAChosenRowFoldsUp) {
    DropDownOnGui d(5, 10, 10);
    GuiRig& rig = d.rig;
    gcn::DropDown& drop = d.drop;
    gcntest::Log log;
    gcntest::Probe other("other", &log, 0, 200, 20, 20);
    rig.top.add(&other);
    ActionRecorder actions;
    SelectionRecorder changes;
    drop.addActionListener(&actions);
    drop.addSelectionListener(&changes);

    rig.move(20, 15);
    rig.press(20, 15);
    EXPECT_TRUE(drop.isDroppedDown());
    EXPECT_EQ(drop.getFoldedUpHeight(), 10);
    EXPECT_EQ(drop.getHeight(), 40 + 10 + 2);
    EXPECT_EQ(drop.getScrollArea()->getHeight(), 40);
    EXPECT_EQ(rig.top.getChildren().back(), &drop);
    EXPECT_EQ(rig.gui.getFocusHandler()->getModalMouseInputFocused(), &drop);
    EXPECT_TRUE(drop.getListBox()->isFocused());
    rig.release(20, 15);
    EXPECT_TRUE(drop.isDroppedDown());

    // The list sits at (11, 21) on the screen: row 2 from y 37.
    rig.move(30, 39);
    rig.press(30, 39);
    EXPECT_FALSE(drop.isDroppedDown());
    EXPECT_EQ(drop.getSelected(), 2);
    EXPECT_EQ(drop.getHeight(), 10);
    EXPECT_EQ(actions.sources, (std::vector<gcn::Widget*>{&drop}));
    ASSERT_FALSE(changes.sources.empty());
    EXPECT_EQ(changes.sources.back(), &drop);
    EXPECT_EQ(rig.gui.getFocusHandler()->getModalMouseInputFocused(), nullptr);
    rig.release(30, 39);

    // Open again, then a press elsewhere folds it up without a choice.
    rig.click(20, 15);
    ASSERT_TRUE(drop.isDroppedDown());
    rig.press(300, 250);
    EXPECT_FALSE(drop.isDroppedDown());
    EXPECT_EQ(drop.getSelected(), 2);
    EXPECT_EQ(actions.sources.size(), 1u);
    rig.release(300, 250);
    EXPECT_EQ(rig.gui.getFocusHandler()->getModalMouseInputFocused(), nullptr);

    // A press on the one-line part of an open drop-down folds it up.
    rig.click(20, 15);
    ASSERT_TRUE(drop.isDroppedDown());
    rig.press(20, 15);
    EXPECT_FALSE(drop.isDroppedDown());
    rig.release(20, 15);
}

TEST(DropDownTest, ReleaseOutsideGivesBackTheGrabAndFoldsUpAfterADrag) {
    DropDownOnGui d(5, 10, 10);
    GuiRig& rig = d.rig;
    gcn::DropDown& drop = d.drop;
    gcn::FocusHandler* fh = rig.gui.getFocusHandler();

    // Opened, then released outside without a drag: open, grab given back.
    rig.move(20, 15);
    rig.press(20, 15);
    ASSERT_EQ(fh->getModalMouseInputFocused(), &drop);
    rig.release(300, 250);
    EXPECT_TRUE(drop.isDroppedDown());
    EXPECT_EQ(fh->getModalMouseInputFocused(), nullptr);
    drop.foldUp();

    // Opened and dragged off before the release: folded up, nothing chosen.
    rig.move(20, 15);
    rig.press(20, 15);
    ASSERT_TRUE(drop.isDroppedDown());
    rig.move(150, 150);
    rig.move(300, 250);
    rig.release(300, 250);
    EXPECT_FALSE(drop.isDroppedDown());
    EXPECT_EQ(fh->getModalMouseInputFocused(), nullptr);
    EXPECT_EQ(drop.getSelected(), 0);
}

TEST(DropDownTest, WheelWalksTheRowsOnlyWhileFocused) {
    DropDownOnGui d(3, 10, 10);
    GuiRig& rig = d.rig;
    gcn::DropDown& drop = d.drop;
    rig.move(20, 15);
    rig.wheelDown(20, 15);
    EXPECT_EQ(drop.getSelected(), 0);

    drop.requestFocus();
    struct Step {
        bool down;
        int selected;
    };
    for (const Step& s : {Step{true, 1}, Step{true, 2}, Step{true, 2}, Step{false, 1}, Step{false, 0},
                          Step{false, 0}}) {
        if (s.down) {
            rig.wheelDown(20, 15);
        } else {
            rig.wheelUp(20, 15);
        }
        EXPECT_EQ(drop.getSelected(), s.selected);
    }
}

TEST(DropDownTest, FoldsOutNoFurtherThanTheParentAllows) {
    DropDownOnGui d(20, 0, 250);
    gcn::DropDown& drop = d.drop;
    drop.dropDown();
    // 50 pixels below it: 10 for the line, 2 for the frame, 38 of list.
    EXPECT_EQ(drop.getHeight(), 50);
    EXPECT_EQ(drop.getScrollArea()->getHeight(), 38);
    EXPECT_EQ(drop.getScrollArea()->getWidth(), 100);
    EXPECT_TRUE(drop.getScrollArea()->isVerticalBarVisible());
    EXPECT_EQ(drop.getListBox()->getWidth(), 88);
    EXPECT_EQ(drop.getChildrenArea(), gcn::Rectangle(1, 11, 98, 38));
    drop.foldUp();
    EXPECT_EQ(drop.getHeight(), 10);
    EXPECT_EQ(drop.getChildrenArea(), gcn::Rectangle(0, 0, 0, 0));
}

TEST(DropDownTest, KeysOpenAndWalkTheRows) {
    DropDownOnGui d(3, 0, 0);
    GuiRig& rig = d.rig;
    gcn::DropDown& drop = d.drop;
    drop.requestFocus();
    rig.key(Key::Down);
    rig.key(Key::Down);
    rig.key(Key::Down);
    EXPECT_EQ(drop.getSelected(), 2);
    rig.key(Key::Up);
    EXPECT_EQ(drop.getSelected(), 1);
    rig.key(Key::Enter);
    EXPECT_TRUE(drop.isDroppedDown());
    // Open, the keys go to the list: Enter there chooses and folds up.
    rig.key(Key::Up);
    EXPECT_EQ(drop.getSelected(), 0);
    rig.key(Key::Enter);
    EXPECT_FALSE(drop.isDroppedDown());
    EXPECT_EQ(drop.getSelected(), 0);

    // Losing the focus folds up as well.
    gcntest::Log log;
    gcntest::Probe other("other", &log, 0, 100, 10, 10);
    other.setFocusable(true);
    rig.top.add(&other);
    drop.dropDown();
    other.requestFocus();
    EXPECT_FALSE(drop.isDroppedDown());
}

TEST(DropDownTest, DrawsTheSelectedRowAndAnArrowThatFollowsTheState) {
    StringList list = rows(3);
    gcn::DropDown drop(&list);
    drop.setWidth(60);
    drop.setSelected(1);
    const Color black(0, 0, 0);
    {
        gcntest::PixelGraphics g(60, 10);
        wtest::drawAlone(drop, g);
        EXPECT_EQ(g.at(1, 0), black);  // "row1" from (1, 0)
        // The button is the last 10 x 10 square; its arrow points down.
        EXPECT_EQ(g.at(50 + 5, 6), black);
        EXPECT_EQ(g.at(50 + 3, 4), black);
        EXPECT_NE(g.at(50 + 3, 6), black);
    }
    gcn::Container parent;
    parent.setSize(60, 100);
    parent.add(&drop);
    drop.dropDown();
    gcntest::PixelGraphics g(60, drop.getHeight());
    wtest::drawAlone(drop, g);
    EXPECT_EQ(g.at(50 + 5, 2), black);
    EXPECT_EQ(g.at(50 + 3, 4), black);
    EXPECT_NE(g.at(50 + 5, 6), black);
    // The outline round the list in the shadow colour.
    EXPECT_EQ(g.at(0, 10), Color(89, 89, 89));
}

TEST(DropDownTest, PartsDeletedFirstRaiseInsteadOfBeingUsed) {
    StringList list = rows(3);
    {
        auto* box = new gcn::ListBox();
        gcn::ScrollArea area;
        gcn::DropDown drop(&list, &area, box);
        delete box;
        EXPECT_EQ(drop.getListBox(), nullptr);
        EXPECT_EQ(drop.getSelected(), -1);
        try {
            drop.adjustHeight();
            FAIL() << "no exception";
        } catch (const gcn::Exception& e) {
            EXPECT_EQ(e.getMessage(), "List box has been deleted.");
            EXPECT_EQ(e.getFunction(), "gcn::DropDown::adjustHeight");
            EXPECT_EQ(e.getFilename(), "gcn\\widgets\\dropdown");
            EXPECT_EQ(e.getLine(), 410);
        }
    }
    {
        gcn::ListBox box;
        auto* area = new gcn::ScrollArea();
        gcn::DropDown drop(&list, area, &box);
        delete area;
        try {
            drop.adjustHeight();
            FAIL() << "no exception";
        } catch (const gcn::Exception& e) {
            EXPECT_EQ(e.getMessage(), "Scroll area has been deleted.");
            EXPECT_EQ(e.getLine(), 405);
        }
    }
}

TEST(DropDownTest, PartsOfTheCallerOutliveTheDropDown) {
    StringList list = rows(3);
    gcn::FocusHandler fh;
    gcn::ListBox box;
    gcn::ScrollArea area;
    {
        gcn::DropDown drop(&list, &area, &box);
        drop._setFocusHandler(&fh);
        EXPECT_EQ(area.getParent(), &drop);
    }
    EXPECT_EQ(area.getParent(), nullptr);
    // The list no longer reports to the drop-down, and nothing of the
    // drop-down's focus handling is left in its parts.
    box.setSelected(2);
    EXPECT_EQ(box._getFocusHandler(), nullptr);
    EXPECT_EQ(area._getFocusHandler(), nullptr);
}

}  // namespace
