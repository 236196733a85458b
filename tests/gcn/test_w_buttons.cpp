// Push buttons, labels, check boxes and radio buttons: when actions fire,
// what presses and keys do, sizes, and how the pressed, disabled and
// focused states are drawn.
#include <gtest/gtest.h>

#include <memory>

#include "gcn/exception.hpp"
#include "gcn/focushandler.hpp"
#include "gcn/key.hpp"
#include "gcn/widgets/button.hpp"
#include "gcn/widgets/checkbox.hpp"
#include "gcn/widgets/imagebutton.hpp"
#include "gcn/widgets/label.hpp"
#include "gcn/widgets/radiobutton.hpp"
#include "gcn_fakes.hpp"
#include "w_helpers.hpp"

namespace {

using gcn::Color;
using gcn::Key;
using gcn::MouseEvent;
using gcn::Rectangle;
using gcntest::ActionRecorder;
using gcntest::PixelGraphics;
using wtest::drawAlone;
using wtest::GuiRig;
using wtest::mouseEvent;
using wtest::pressKey;

// Shades of the default grey base (128) under the default style.
const Color kBase(128, 128, 128);
const Color kHighlight(166, 166, 166);
const Color kShadow(89, 89, 89);
const Color kPressedFace(102, 102, 102);
const Color kBlack(0, 0, 0);
const Color kHalfBlack(0, 0, 0, 127);
const Color kWhite(255, 255, 255);

void focus(gcn::FocusHandler& fh, gcn::Widget& w) {
    w._setFocusHandler(&fh);
    fh.requestFocus(&w);
}

// Shows the button pressed with the mouse.
void pressWithMouse(gcn::ButtonBase& b) {
    MouseEvent enter = mouseEvent(&b, MouseEvent::Entered, 1, 1);
    b.mouseEntered(enter);
    MouseEvent press = mouseEvent(&b, MouseEvent::Pressed, 1, 1);
    b.mousePressed(press);
}

// ---------------------------------------------------------------------------
// Button base

TEST(ButtonTest, MousePressFiresOnlyWhenReleasedOverTheButton) {
    GuiRig rig;
    gcn::Button button("OK");
    ActionRecorder actions;
    button.addActionListener(&actions);
    rig.top.add(&button, 10, 10);
    ASSERT_EQ(button.getWidth(), 24);
    ASSERT_EQ(button.getHeight(), 16);

    // Off the button before the release: nothing.
    rig.move(15, 15);
    rig.press(15, 15);
    EXPECT_TRUE(button.isPressed());
    rig.move(100, 100);
    EXPECT_FALSE(button.isPressed());
    rig.release(100, 100);
    EXPECT_TRUE(actions.sources.empty());

    // Off and back on before the release: fires once.
    rig.press(15, 15);
    rig.move(100, 100);
    rig.move(16, 16);
    EXPECT_TRUE(button.isPressed());
    EXPECT_TRUE(actions.sources.empty());
    rig.release(16, 16);
    ASSERT_EQ(actions.sources.size(), 1u);
    EXPECT_EQ(actions.sources[0], &button);
    EXPECT_FALSE(button.isPressed());
}

TEST(ButtonTest, OtherMouseButtonsAreIgnored) {
    gcn::Button button("OK");
    ActionRecorder actions;
    button.addActionListener(&actions);
    MouseEvent enter = mouseEvent(&button, MouseEvent::Entered, 1, 1);
    button.mouseEntered(enter);
    for (int b : {MouseEvent::Right, MouseEvent::Middle}) {
        MouseEvent press = mouseEvent(&button, MouseEvent::Pressed, 1, 1, b);
        button.mousePressed(press);
        EXPECT_FALSE(press.isConsumed());
        EXPECT_FALSE(button.isPressed());
        MouseEvent release = mouseEvent(&button, MouseEvent::Released, 1, 1, b);
        button.mouseReleased(release);
        EXPECT_FALSE(release.isConsumed());
    }
    EXPECT_TRUE(actions.sources.empty());
}

TEST(ButtonTest, KeysFireOnReleaseAndLosingTheFocusCancels) {
    GuiRig rig;
    gcn::Button button("OK");
    gcn::Button other("No");
    ActionRecorder actions;
    button.addActionListener(&actions);
    rig.top.add(&button, 0, 0);
    rig.top.add(&other, 0, 40);

    for (int key : {static_cast<int>(Key::Enter), static_cast<int>(Key::Space)}) {
        button.requestFocus();
        rig.keyDown(key);
        EXPECT_TRUE(button.isPressed());
        EXPECT_TRUE(actions.sources.empty());
        rig.keyUp(key);
        EXPECT_EQ(actions.sources.size(), 1u);
        actions.sources.clear();
    }

    button.requestFocus();
    rig.keyDown(Key::Enter);
    other.requestFocus();
    EXPECT_FALSE(button.isPressed());
    rig.keyUp(Key::Enter);
    EXPECT_TRUE(actions.sources.empty());

    // A release without a press fires nothing either.
    button.requestFocus();
    rig.keyUp(Key::Enter);
    EXPECT_TRUE(actions.sources.empty());

    // A mouse press is cancelled the same way, even if released over it.
    rig.move(5, 5);
    rig.press(5, 5);
    ASSERT_TRUE(button.isPressed());
    other.requestFocus();
    EXPECT_FALSE(button.isPressed());
    rig.release(5, 5);
    EXPECT_TRUE(actions.sources.empty());
}

TEST(ButtonTest, AnActionMayDestroyTheButton) {
    GuiRig rig;
    auto* button = new gcn::Button("OK");
    rig.top.add(button, 0, 0);
    struct Closer : gcn::ActionListener {
        void action(const gcn::ActionEvent& e) override { delete e.getSource(); }
    } closer;
    button->addActionListener(&closer);
    rig.click(5, 5);
    EXPECT_TRUE(rig.top.getChildren().empty());
}

TEST(ButtonTest, FireActionOnlyWhileEnabled) {
    gcn::Container parent;
    gcn::Button button("OK");
    parent.add(&button);
    ActionRecorder actions;
    button.addActionListener(&actions);

    EXPECT_TRUE(button.fireAction());
    EXPECT_EQ(actions.sources.size(), 1u);
    parent.setVisible(false);
    EXPECT_FALSE(button.fireAction());
    parent.setVisible(true);
    button.setEnabled(false);
    EXPECT_FALSE(button.fireAction());
    EXPECT_EQ(actions.sources.size(), 1u);
}

TEST(ButtonTest, SizesToCaptionAndSpacing) {
    EXPECT_EQ(gcn::Button().getWidth(), 8);
    EXPECT_EQ(gcn::Button().getHeight(), 16);
    gcn::Button null_caption(nullptr);
    EXPECT_EQ(null_caption.getCaption(), "");
    gcn::Button b("abc");
    EXPECT_EQ(b.getWidth(), 32);
    b.setSpacing(1);
    b.setCaption("abcd");
    EXPECT_EQ(b.getWidth(), 32);  // setters do not resize
    b.adjustSize();
    EXPECT_EQ(b.getWidth(), 34);
    EXPECT_EQ(b.getHeight(), 10);
    b.setCaption(static_cast<const char*>(nullptr));
    EXPECT_EQ(b.getCaption(), "");
}

TEST(ButtonTest, CaptionPositionFollowsTheAlignment) {
    struct Case {
        int alignment;
        int glyph_x;
    };
    for (const Case& c : {Case{0, 4}, Case{1, 16}, Case{2, 28}}) {
        gcn::Button b("A");
        b.setSize(40, 16);
        b.setAlignment(c.alignment);
        PixelGraphics g(40, 16);
        drawAlone(b, g);
        EXPECT_EQ(g.at(c.glyph_x, 4), kBlack) << c.alignment;
        EXPECT_EQ(g.at(c.glyph_x + 7, 11), kBlack) << c.alignment;
        EXPECT_EQ(g.at(c.glyph_x - 1, 4), kBase) << c.alignment;
    }
}

TEST(ButtonTest, UnknownAlignmentRaises) {
    gcn::Button b("A");
    b.setAlignment(3);
    PixelGraphics g(16, 16);
    try {
        drawAlone(b, g);
        FAIL() << "no exception";
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "Unknown alignment.");
        EXPECT_EQ(e.getFunction(), "gcn::Button::draw");
        EXPECT_EQ(e.getFilename(), "gcn\\widgets\\button");
        EXPECT_EQ(e.getLine(), 303);
    }
}

TEST(ButtonTest, DrawsBevelCaptionAndFocusByState) {
    // "A" in a 16 x 16 button: the glyph box at (4, 4)-(11, 11).
    {
        gcn::Button b("A");
        PixelGraphics g(16, 16);
        drawAlone(b, g);
        EXPECT_EQ(g.at(0, 0), kHighlight);
        EXPECT_EQ(g.at(0, 15), kHighlight);
        EXPECT_EQ(g.at(15, 15), kShadow);
        EXPECT_EQ(g.at(15, 1), kShadow);
        EXPECT_EQ(g.at(2, 2), kBase);
        EXPECT_EQ(g.at(4, 4), kBlack);
    }
    {
        // Disabled and focused: half-alpha caption and focus rectangle.
        gcn::FocusHandler fh;
        gcn::Button b("A");
        focus(fh, b);
        b.setEnabled(false);
        PixelGraphics g(16, 16);
        drawAlone(b, g);
        EXPECT_EQ(g.at(4, 4), kHalfBlack);
        EXPECT_EQ(g.at(2, 2), kHalfBlack);
        EXPECT_EQ(g.at(13, 13), kHalfBlack);
    }
    {
        // Pressed and focused: sunken bevel, caption one pixel down and
        // right, no focus rectangle.
        gcn::FocusHandler fh;
        gcn::Button b("A");
        focus(fh, b);
        pressWithMouse(b);
        ASSERT_TRUE(b.isPressed());
        PixelGraphics g(16, 16);
        drawAlone(b, g);
        EXPECT_EQ(g.at(0, 0), Color(71, 71, 71));
        EXPECT_EQ(g.at(15, 15), Color(147, 147, 147));
        EXPECT_EQ(g.at(5, 5), kBlack);
        EXPECT_EQ(g.at(12, 12), kBlack);
        EXPECT_EQ(g.at(4, 4), kPressedFace);
        EXPECT_EQ(g.at(2, 2), kPressedFace);
    }
}

// ---------------------------------------------------------------------------
// Image button

TEST(ImageButtonTest, SizesToTheImage) {
    gcntest::PixelImage image(5, 7);
    gcn::ImageButton b;
    EXPECT_EQ(b.getWidth(), 0);
    EXPECT_EQ(b.getHeight(), 0);
    b.setImage(&image);
    EXPECT_EQ(b.getWidth(), 0);
    b.adjustSize();
    EXPECT_EQ(b.getWidth(), 13);
    EXPECT_EQ(b.getHeight(), 15);
    b.setImage(nullptr);
    b.adjustSize();
    EXPECT_EQ(b.getWidth(), 8);
}

TEST(ImageButtonTest, DrawsImageVeilAndFocusByState) {
    const Color red(255, 0, 0);
    gcntest::PixelImage image(4, 4, red);
    {
        gcn::ImageButton b;
        b.setImage(&image);
        b.setSize(12, 12);
        PixelGraphics g(12, 12);
        drawAlone(b, g);
        EXPECT_EQ(g.at(4, 4), red);
        EXPECT_EQ(g.at(7, 7), red);
        EXPECT_EQ(g.at(8, 8), kBase);
    }
    {
        // Disabled and focused: the veil in the face colour at alpha 150,
        // and the focus rectangle in that colour.
        gcn::FocusHandler fh;
        gcn::ImageButton b;
        b.setImage(&image);
        b.setSize(12, 12);
        focus(fh, b);
        b.setEnabled(false);
        PixelGraphics g(12, 12);
        drawAlone(b, g);
        const Color veil(128, 128, 128, 150);
        EXPECT_EQ(g.at(4, 4), veil);
        EXPECT_EQ(g.at(2, 2), veil);
        EXPECT_EQ(g.at(0, 0), kHighlight);
    }
    {
        // Pressed: image one pixel down and right, nothing over it.
        gcn::FocusHandler fh;
        gcn::ImageButton b;
        b.setImage(&image);
        b.setSize(12, 12);
        focus(fh, b);
        pressWithMouse(b);
        PixelGraphics g(12, 12);
        drawAlone(b, g);
        EXPECT_EQ(g.at(5, 5), red);
        EXPECT_EQ(g.at(4, 4), kPressedFace);
        EXPECT_EQ(g.at(2, 2), kPressedFace);
    }
    {
        // Without an image: bevel and focus rectangle only.
        gcn::FocusHandler fh;
        gcn::ImageButton b;
        b.setSize(12, 12);
        focus(fh, b);
        PixelGraphics g(12, 12);
        drawAlone(b, g);
        EXPECT_EQ(g.at(2, 2), kBlack);
        EXPECT_EQ(g.at(5, 5), kBase);
        EXPECT_EQ(g.images_drawn, 0);
    }
}

// ---------------------------------------------------------------------------
// Label

TEST(LabelTest, SizeCaptionAndDefaults) {
    gcn::Label empty;
    EXPECT_EQ(empty.getWidth(), 0);
    EXPECT_EQ(empty.getAlignment(), 0);
    EXPECT_FALSE(empty.isOpaque());
    gcn::Label l("abc");
    EXPECT_EQ(l.getWidth(), 24);
    EXPECT_EQ(l.getHeight(), 8);
    l.setCaption("a");
    EXPECT_EQ(l.getWidth(), 24);
    gcn::Label null_caption(nullptr);
    EXPECT_EQ(null_caption.getCaption(), "");
}

TEST(LabelTest, AlignmentOpacityAndUnknownAlignment) {
    struct Case {
        int alignment;
        bool opaque;
        int glyph_x;
    };
    for (const Case& c : {Case{0, false, 0}, Case{1, true, 8}, Case{2, false, 16}}) {
        gcn::Label l("A");
        l.setSize(24, 12);
        l.setAlignment(c.alignment);
        l.setOpaque(c.opaque);
        PixelGraphics g(24, 12);
        drawAlone(l, g);
        // Glyph rows 2 ... 9 (centred vertically in 12 pixels).
        EXPECT_EQ(g.at(c.glyph_x, 2), kBlack) << c.alignment;
        EXPECT_EQ(g.at(c.glyph_x + 7, 9), kBlack) << c.alignment;
        EXPECT_EQ(g.at(23 - c.glyph_x, 0), c.opaque ? kWhite : gcntest::kUnset) << c.alignment;
    }
    gcn::Label l("A");
    l.setAlignment(-1);
    PixelGraphics g(8, 8);
    try {
        drawAlone(l, g);
        FAIL() << "no exception";
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "Unknown alignment.");
        EXPECT_EQ(e.getFunction(), "gcn::Label::draw");
        EXPECT_EQ(e.getFilename(), "gcn\\widgets\\label");
        EXPECT_EQ(e.getLine(), 146);
    }
}

// ---------------------------------------------------------------------------
// Check box

TEST(CheckBoxTest, ClicksAndKeysToggleAndSendTheAction) {
    GuiRig rig;
    gcn::CheckBox box("ab");
    EXPECT_EQ(box.getWidth(), 8 + 16 + 4);
    EXPECT_EQ(box.getHeight(), 8);
    ActionRecorder actions;
    box.addActionListener(&actions);
    rig.top.add(&box, 10, 10);

    rig.click(12, 12, gcn::MouseInput::Right);
    EXPECT_FALSE(box.isSelected());
    EXPECT_TRUE(actions.sources.empty());

    rig.click(12, 12);
    EXPECT_TRUE(box.isSelected());
    EXPECT_EQ(actions.sources.size(), 1u);

    EXPECT_TRUE(pressKey(&box, Key::Space));
    EXPECT_FALSE(box.isSelected());
    EXPECT_TRUE(pressKey(&box, Key::Enter));
    EXPECT_TRUE(box.isSelected());
    EXPECT_FALSE(pressKey(&box, 'x'));
    EXPECT_EQ(actions.sources.size(), 3u);

    box.setSelected(false);
    EXPECT_EQ(actions.sources.size(), 3u);
}

TEST(CheckBoxTest, DisabledBoxKeepsItsFillAndHalvesTheCaption) {
    for (bool enabled : {true, false}) {
        gcn::CheckBox box("A");
        box.setEnabled(enabled);
        PixelGraphics g(box.getWidth(), box.getHeight());
        drawAlone(box, g);
        EXPECT_EQ(g.at(2, 2), kWhite);
        EXPECT_EQ(g.at(1, 1), kShadow);
        EXPECT_EQ(g.at(6, 6), kHighlight);
        // Caption at x = 8 + 4 - 2.
        EXPECT_EQ(g.at(10, 0), enabled ? kBlack : kHalfBlack);
    }
    gcn::CheckBox ticked("A", true);
    PixelGraphics g(ticked.getWidth(), ticked.getHeight());
    drawAlone(ticked, g);
    EXPECT_EQ(g.at(3, 4), kBlack);
    EXPECT_EQ(g.at(4, 5), kBlack);
}

// ---------------------------------------------------------------------------
// Radio button

TEST(RadioButtonTest, SelectingClearsOnlyTheSameGroup) {
    gcn::RadioButton a1("a1", "w_group_a", false);
    gcn::RadioButton a2("a2", "w_group_a", false);
    gcn::RadioButton b1("b1", "w_group_b", true);
    a1.setSelected(true);
    a2.setSelected(true);
    EXPECT_FALSE(a1.isSelected());
    EXPECT_TRUE(a2.isSelected());
    EXPECT_TRUE(b1.isSelected());

    // Selecting the selected one keeps it; clearing never selects another.
    a2.setSelected(true);
    EXPECT_TRUE(a2.isSelected());
    a2.setSelected(false);
    EXPECT_FALSE(a1.isSelected());

    // The constructor's selection clears the group too.
    gcn::RadioButton b2("b2", "w_group_b", true);
    EXPECT_FALSE(b1.isSelected());
    EXPECT_TRUE(b2.isSelected());
}

TEST(RadioButtonTest, EmptyGroupAndGroupChanges) {
    gcn::RadioButton x("x", nullptr, true);
    gcn::RadioButton y("y", "", true);
    EXPECT_TRUE(x.isSelected());
    EXPECT_TRUE(y.isSelected());

    gcn::RadioButton c1("c1", "w_group_c", true);
    gcn::RadioButton d1("d1", "w_group_d", true);
    // Moving a selected button keeps it selected beside the other one.
    c1.setGroup("w_group_d");
    EXPECT_TRUE(c1.isSelected());
    EXPECT_TRUE(d1.isSelected());
    d1.setSelected(true);
    EXPECT_FALSE(c1.isSelected());

    // A destroyed member has left its group.
    {
        gcn::RadioButton gone("gone", "w_group_d", true);
        EXPECT_FALSE(d1.isSelected());
    }
    d1.setSelected(true);
    EXPECT_TRUE(d1.isSelected());
    EXPECT_EQ(d1.getGroup(), "w_group_d");
}

TEST(RadioButtonTest, ClickAndKeysSelectAndSendTheAction) {
    GuiRig rig;
    gcn::RadioButton r1("r1", "w_group_e", true);
    gcn::RadioButton r2("r2", "w_group_e", false);
    ActionRecorder actions;
    r2.addActionListener(&actions);
    rig.top.add(&r1, 0, 0);
    rig.top.add(&r2, 0, 20);
    rig.click(2, 22, gcn::MouseInput::Right);
    EXPECT_FALSE(r2.isSelected());
    rig.click(2, 22);
    EXPECT_TRUE(r2.isSelected());
    EXPECT_FALSE(r1.isSelected());
    EXPECT_EQ(actions.sources.size(), 1u);
    r1.setSelected(true);
    EXPECT_TRUE(pressKey(&r2, Key::Enter));
    EXPECT_TRUE(r2.isSelected());
    EXPECT_EQ(actions.sources.size(), 2u);
}

TEST(RadioButtonTest, DisabledButtonBlendsItsInsideAndHalvesTheCaption) {
    for (bool enabled : {true, false}) {
        gcn::RadioButton r("A", "", true);
        r.setSelected(false);
        r.setEnabled(enabled);
        PixelGraphics g(r.getWidth(), r.getHeight());
        drawAlone(r, g);
        // The box is drawn one pixel in from the corner (its clip area).
        EXPECT_EQ(g.at(3, 3), enabled ? kWhite : Color(191, 191, 191)) << enabled;
        EXPECT_EQ(g.at(2, 2), kShadow);
        EXPECT_EQ(g.at(2, 4), kHighlight);
        EXPECT_EQ(g.at(10, 0), enabled ? kBlack : kHalfBlack) << enabled;
    }
}

}  // namespace
