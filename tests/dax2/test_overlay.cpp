// The hover-text plug-in without a display: where the box goes for each
// placement, which text a hovered widget gets (its own, a registered
// parent's, none), and widgets that go away under it.
#include <gtest/gtest.h>

#include <allegro5/allegro.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "al5gcn/allegro5input.hpp"
#include "dax2/dax_ini.h"
#include "dax2/dax_msg.h"
#include "dax2/dax_overlay.h"
#include "gcn/gui.hpp"
#include "gcn/widgets/button.hpp"
#include "gcn/widgets/container.hpp"
#include "support/allegro_env.h"

namespace {

TEST(DaxOverlayPlace, EachPlacementAndItsFallBackToTheMouse) {
    // A 100 x 20 box for a widget at (300, 200) of 50 x 30, offset 16, an
    // owner of 800 x 600 and the mouse at (320, 210).
    const gcn::Rectangle w(300, 200, 50, 30);
    struct Case {
        const char* name;
        int placement;
        gcn::Rectangle widget;
        int mx;
        int my;
        int x;
        int y;
    };
    const Case cases[] = {
        {"at the mouse", kDaxOverlayAtMouse, w, 320, 210, 336, 226},
        {"at the mouse near the right edge", kDaxOverlayAtMouse, w, 700, 210, 800 - 16 - 100, 226},
        {"at the mouse near the bottom", kDaxOverlayAtMouse, w, 320, 570, 336, 600 - 16 - 20},
        {"left", kDaxOverlayLeft, w, 320, 210, 300 - 16 - 100, 200},
        {"left with no room falls back", kDaxOverlayLeft, gcn::Rectangle(60, 200, 50, 30), 70, 210, 86, 200},
        {"right", kDaxOverlayRight, w, 320, 210, 366, 200},
        {"right off the owner falls back", kDaxOverlayRight, gcn::Rectangle(680, 200, 50, 30), 700, 210, 684,
         200},
        {"above", kDaxOverlayAbove, w, 320, 210, 300, 200 - 16 - 20},
        {"above with no room falls back", kDaxOverlayAbove, gcn::Rectangle(300, 10, 50, 30), 320, 20, 300, 36},
        {"below", kDaxOverlayBelow, w, 320, 210, 300, 246},
        {"below off the owner falls back", kDaxOverlayBelow, gcn::Rectangle(300, 560, 50, 30), 320, 570, 300,
         564},
        {"an unknown code acts as at the mouse", 9, w, 320, 210, 336, 226},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int x = -1;
        int y = -1;
        DaxOverlayPlugin::placeBox(c.placement, 100, 20, c.widget, 16, 800, 600, c.mx, c.my, x, y);
        EXPECT_EQ(x, c.x);
        EXPECT_EQ(y, c.y);
    }
}

// A button with a hover text of its own.
class TalkingButton : public gcn::Button, public DaxOverlayCallback {
public:
    explicit TalkingButton(const char* caption) : gcn::Button(caption) {}
    int overlayText(char* buffer, int size) override {
        ++asked;
        if (text.empty()) {
            return 0;
        }
        std::snprintf(buffer, static_cast<size_t>(size), "%s", text.c_str());
        return static_cast<int>(std::strlen(buffer));
    }
    std::string text;
    int asked = 0;
};

// A screen container at (0, 0) of 800 x 600 holding a panel with two
// buttons and a talking button.
class OverlayTest : public ::testing::Test {
protected:
    void SetUp() override {
        zorInitAllegro();
        dax_strings.addString(7001, "Panel help", false);
        dax_strings.addString(7002, "Lonely help", false);
        saved_border_ = dax_config.overlay_border_;
        saved_offset_ = dax_config.overlay_offset_;
        dax_config.overlay_border_ = 4;
        dax_config.overlay_offset_ = 16;
        plugin_ = std::make_unique<DaxOverlayPlugin>();
        owner_.setSize(800, 600);
        panel_.setDimension(gcn::Rectangle(100, 100, 200, 100));
        panel_.add(&inner_, 10, 10);
        panel_.add(&quiet_, 10, 50);
        owner_.add(&panel_);
        owner_.add(&talking_, 500, 300);
        plugin_->setOwner(&owner_);
    }
    void TearDown() override {
        plugin_.reset();
        dax_config.overlay_border_ = saved_border_;
        dax_config.overlay_offset_ = saved_offset_;
    }
    // A mouse move over w as the owner's listeners get it: the source is
    // the widget under the mouse, the position relative to the owner.
    void moveOver(gcn::Widget* w, int dx = 2, int dy = 2) {
        int x = 0;
        int y = 0;
        w->getAbsolutePosition(x, y);
        gcn::MouseEvent e(w, &owner_, false, false, false, false, gcn::MouseEvent::Moved, 0, x + dx, y + dy, 1);
        plugin_->mouseMoved(e);
    }

    gcn::Container owner_;
    gcn::Container panel_;
    gcn::Button inner_{"inner"};
    gcn::Button quiet_{"quiet"};
    TalkingButton talking_{"talks"};
    std::unique_ptr<DaxOverlayPlugin> plugin_;
    int saved_border_ = 0;
    int saved_offset_ = 0;
};

TEST_F(OverlayTest, AttachingAddsTheHiddenBoxAndThePlugInToTheOwner) {
    gcn::Container& box = plugin_->overlayContainer();
    EXPECT_EQ(box.getParent(), &owner_);
    EXPECT_EQ(plugin_->getParent(), &owner_);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(plugin_->textBox().getX(), 4);
    EXPECT_EQ(plugin_->textBox().getY(), 4);
    EXPECT_FALSE(plugin_->textBox().isEditable());
    EXPECT_EQ(box.getBaseColor(), dax_config.back_color_);
    EXPECT_EQ(plugin_->textBox().getBackgroundColor(), dax_config.button_color_);
    EXPECT_EQ(plugin_->getWidth(), 0);
}

TEST_F(OverlayTest, AWidgetInARegisteredContainerShowsTheContainersText) {
    plugin_->setWidgetText(&panel_, 7001, kDaxOverlayRight);
    moveOver(&inner_);
    EXPECT_EQ(plugin_->hoveredWidget(), &inner_);
    EXPECT_EQ(plugin_->shownText(), "Panel help");
    const gcn::Container& box = plugin_->overlayContainer();
    EXPECT_TRUE(box.isVisible());
    EXPECT_EQ(box.getWidth(), plugin_->textBox().getWidth() + 8);
    EXPECT_EQ(box.getHeight(), plugin_->textBox().getHeight() + 8);
    // Right of the panel that gave the text, on its top line.
    EXPECT_EQ(box.getX(), 100 + 200 + 16);
    EXPECT_EQ(box.getY(), 100);

    // A registered widget with text 0 shows nothing and stops the search.
    plugin_->setWidgetText(&quiet_, 0, kDaxOverlayAtMouse);
    moveOver(&quiet_);
    EXPECT_EQ(plugin_->shownText(), "");
    EXPECT_FALSE(box.isVisible());

    // A later registration replaces the earlier one.
    plugin_->setWidgetText(&quiet_, 7002, kDaxOverlayBelow);
    moveOver(&quiet_);
    EXPECT_EQ(plugin_->shownText(), "Lonely help");
    EXPECT_EQ(box.getY(), 100 + 50 + quiet_.getHeight() + 16);

    // A text number the language lacks shows nothing rather than stopping
    // the game.
    plugin_->setWidgetText(&quiet_, 7999, kDaxOverlayBelow);
    moveOver(&quiet_);
    EXPECT_EQ(plugin_->shownText(), "");
}

TEST_F(OverlayTest, AWidgetWithItsOwnTextWinsAndUsesItsPlacement) {
    plugin_->setWidgetText(&talking_, 7002, kDaxOverlayRight);
    talking_.text = "Own words";
    talking_.setOverlayPlacement(kDaxOverlayAbove);
    moveOver(&talking_, 5, 6);
    EXPECT_EQ(plugin_->shownText(), "Own words");
    const gcn::Container& box = plugin_->overlayContainer();
    EXPECT_EQ(box.getX(), 500);
    EXPECT_EQ(box.getY(), 300 - 16 - box.getHeight());

    // Without a text of its own the registered one is used.
    talking_.text.clear();
    plugin_->logic();
    EXPECT_EQ(plugin_->shownText(), "Lonely help");
    EXPECT_EQ(box.getX(), 500 + talking_.getWidth() + 16);

    // Logic keeps asking while the widget is hovered.
    const int asked = talking_.asked;
    talking_.text = "Changed";
    plugin_->logic();
    EXPECT_EQ(talking_.asked, asked + 1);
    EXPECT_EQ(plugin_->shownText(), "Changed");
}

TEST_F(OverlayTest, ACallbackThatFillsTheWholeBufferStillGivesATerminatedText) {
    class Flooding : public gcn::Button, public DaxOverlayCallback {
    public:
        int overlayText(char* buffer, int size) override {
            std::memset(buffer, 'x', static_cast<size_t>(size));
            return size;
        }
    } flooding;
    owner_.add(&flooding, 10, 500);
    moveOver(&flooding);
    EXPECT_EQ(plugin_->textBox().getText(), std::string(2047, 'x'));
}

TEST_F(OverlayTest, LeavingTheOwnerHidesTheBoxAndTheBoxItselfIsNoTarget) {
    plugin_->setWidgetText(&panel_, 7001, kDaxOverlayAtMouse);
    moveOver(&inner_);
    ASSERT_TRUE(plugin_->overlayContainer().isVisible());
    // The mouse over the box keeps what it explains.
    moveOver(&plugin_->textBox());
    EXPECT_EQ(plugin_->hoveredWidget(), &inner_);
    EXPECT_EQ(plugin_->shownText(), "Panel help");

    gcn::MouseEvent exit(&owner_, &owner_, false, false, false, false, gcn::MouseEvent::Exited, 0, -1, -1, 1);
    plugin_->mouseExited(exit);
    EXPECT_EQ(plugin_->hoveredWidget(), nullptr);
    EXPECT_FALSE(plugin_->overlayContainer().isVisible());
    plugin_->logic();
    EXPECT_FALSE(plugin_->overlayContainer().isVisible());
}

TEST_F(OverlayTest, TheBoxComesAboveWidgetsAddedAfterAttaching) {
    gcn::Button late("late");
    owner_.add(&late, 0, 0);
    plugin_->setWidgetText(&panel_, 7001, kDaxOverlayAtMouse);
    moveOver(&inner_);
    EXPECT_EQ(owner_.getChildren().back(), &plugin_->overlayContainer());
}

TEST_F(OverlayTest, WidgetsThatGoAwayAreForgotten) {
    auto hovered = std::make_unique<gcn::Button>("gone soon");
    owner_.add(hovered.get(), 400, 400);
    plugin_->setWidgetText(hovered.get(), 7002, kDaxOverlayAtMouse);
    moveOver(hovered.get());
    ASSERT_EQ(plugin_->shownText(), "Lonely help");
    hovered.reset();
    EXPECT_EQ(plugin_->hoveredWidget(), nullptr);
    EXPECT_FALSE(plugin_->overlayContainer().isVisible());
    plugin_->logic();

    // An unregistered hovered widget destroyed behind the plug-in's back.
    plugin_->setWidgetText(&panel_, 7001, kDaxOverlayAtMouse);
    auto child = std::make_unique<gcn::Button>("child");
    panel_.add(child.get(), 100, 10);
    moveOver(child.get());
    ASSERT_EQ(plugin_->shownText(), "Panel help");
    child.reset();
    plugin_->logic();
    EXPECT_EQ(plugin_->hoveredWidget(), nullptr);
    EXPECT_FALSE(plugin_->overlayContainer().isVisible());
}

TEST_F(OverlayTest, APlugInThatGoesFirstLeavesItsWidgetsAndOwnerClean) {
    auto registered = std::make_unique<gcn::Button>("registered");
    owner_.add(registered.get(), 400, 400);
    plugin_->setWidgetText(registered.get(), 7002, kDaxOverlayAtMouse);
    const size_t children = owner_.getChildren().size();
    plugin_.reset();
    EXPECT_EQ(owner_.getChildren().size(), children - 2);
    // Neither the widget's death nor the owner's mouse events reach the
    // dead plug-in (the sanitizer build checks).
    registered.reset();
    EXPECT_TRUE(owner_._getMouseListeners().empty());
}

TEST_F(OverlayTest, AnOwnerAwayFromTheOriginPlacesTheBoxInItsOwnCoordinates) {
    gcn::Container screen;
    screen.setSize(1024, 768);
    gcn::Container owner;
    owner.setDimension(gcn::Rectangle(100, 50, 600, 400));
    gcn::Button b("b");
    owner.add(&b, 20, 30);
    screen.add(&owner);
    DaxOverlayPlugin plugin;
    plugin.setOwner(&owner);
    plugin.setWidgetText(&b, 7002, kDaxOverlayRight);
    gcn::MouseEvent e(&b, &owner, false, false, false, false, gcn::MouseEvent::Moved, 0, 25, 35, 1);
    plugin.mouseMoved(e);
    EXPECT_EQ(plugin.overlayContainer().getX(), 20 + b.getWidth() + 16);
    EXPECT_EQ(plugin.overlayContainer().getY(), 30);
}

TEST_F(OverlayTest, MouseMovesThroughTheGuiReachThePlugIn) {
    plugin_->setWidgetText(&panel_, 7001, kDaxOverlayAtMouse);
    gcn::Allegro5Input input;
    gcn::Gui gui;
    gui.setInput(&input);
    gui.setTop(&owner_);
    ALLEGRO_EVENT e{};
    e.type = ALLEGRO_EVENT_MOUSE_AXES;
    e.mouse.type = ALLEGRO_EVENT_MOUSE_AXES;
    e.mouse.x = 115;  // over inner_, in the panel at (100, 100)
    e.mouse.y = 115;
    input.pushInput(e);
    gui.logic();
    EXPECT_EQ(plugin_->hoveredWidget(), &inner_);
    EXPECT_EQ(plugin_->shownText(), "Panel help");
    EXPECT_EQ(plugin_->overlayContainer().getX(), 115 + 16);
    EXPECT_EQ(plugin_->overlayContainer().getY(), 115 + 16);

    e.mouse.x = 700;  // empty screen
    e.mouse.y = 100;
    input.pushInput(e);
    gui.logic();
    EXPECT_EQ(plugin_->hoveredWidget(), &owner_);
    EXPECT_FALSE(plugin_->overlayContainer().isVisible());
    gui.setTop(nullptr);
}

}  // namespace
