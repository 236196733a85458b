// The gui driver: mouse routing (clicks, click counts, drags, entering and
// leaving), key routing (global listeners, focus, tabbing), modal focus,
// drawing, and its errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "gcn/exception.hpp"
#include "gcn/gui.hpp"
#include "gcn/widgets/container.hpp"
#include "gcn_fakes.hpp"

namespace {

using gcn::Color;
using gcn::KeyInput;
using gcn::MouseInput;
using gcn::Rectangle;
using gcntest::Log;
using gcntest::Probe;

// Logs the mouse and key events that reach a container.
class Recorder : public gcn::MouseListener, public gcn::KeyListener {
public:
    Recorder(std::string name, Log* log) : name_(std::move(name)), log_(log) {}
    void mouseEntered(gcn::MouseEvent& e) override { add(e); }
    void mouseExited(gcn::MouseEvent& e) override { add(e); }
    void mousePressed(gcn::MouseEvent& e) override { add(e); }
    void mouseReleased(gcn::MouseEvent& e) override { add(e); }
    void mouseClicked(gcn::MouseEvent& e) override { add(e); }
    void mouseDragged(gcn::MouseEvent& e) override { add(e); }
    void keyPressed(gcn::KeyEvent& e) override {
        log_->push_back(name_ + ":keydown:" + std::to_string(e.getKey().getValue()));
        if (consume_keys) {
            e.consume();
        }
    }
    void keyReleased(gcn::KeyEvent& e) override {
        log_->push_back(name_ + ":keyup:" + std::to_string(e.getKey().getValue()));
    }
    bool consume_keys = false;
    int last_x = 0;
    int last_y = 0;
    gcn::Widget* last_source = nullptr;

private:
    void add(gcn::MouseEvent& e) {
        last_x = e.getX();
        last_y = e.getY();
        last_source = e.getSource();
        log_->push_back(name_ + ":" + gcntest::mouseTypeName(e.getType()));
    }
    std::string name_;
    Log* log_;
};

class GuiTest : public ::testing::Test {
protected:
    GuiTest() : top_rec("top", &log), a("a", &log, 10, 10, 20, 20), b("b", &log, 50, 10, 20, 20) {
        top.setDimension(Rectangle(0, 0, 100, 100));
        top.addMouseListener(&top_rec);
        top.addKeyListener(&top_rec);
        top.add(&a);
        top.add(&b);
        gui.setTop(&top);
        gui.setInput(&input);
        gui.setGraphics(&graphics);
    }

    // Events of one kind from the log.
    Log only(const std::string& suffix) const {
        Log out;
        for (const std::string& s : log) {
            if (s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0) {
                out.push_back(s);
            }
        }
        return out;
    }
    Log without(const std::string& suffix) const {
        Log out;
        for (const std::string& s : log) {
            if (!(s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0)) {
                out.push_back(s);
            }
        }
        return out;
    }

    Log log;
    gcn::Gui gui;
    gcntest::FakeInput input;
    gcntest::PixelGraphics graphics{100, 100};
    gcn::Container top;
    Recorder top_rec;
    Probe a;
    Probe b;
};

TEST_F(GuiTest, PressAndReleaseOnOneWidgetClicks) {
    input.mouse(MouseInput::Pressed, 15, 15);
    input.mouse(MouseInput::Released, 16, 16);
    gui.logic();
    EXPECT_EQ(log, (Log{"a:pressed", "top:pressed", "a:released", "top:released", "a:clicked", "top:clicked"}));
    EXPECT_EQ(a.last_clicks, 1);
    EXPECT_EQ(a.last_source, &a);
    EXPECT_EQ(input.polls, 1);
}

TEST_F(GuiTest, ReleaseElsewhereGivesDragsAndReleaseButNoClick) {
    input.mouse(MouseInput::Pressed, 15, 15);
    input.mouse(MouseInput::Moved, 80, 80);
    input.mouse(MouseInput::Released, 80, 80);
    gui.logic();
    EXPECT_EQ(only(":dragged"), (Log{"a:dragged", "top:dragged"}));
    EXPECT_EQ(only(":released"), (Log{"a:released", "top:released"}));
    EXPECT_TRUE(only(":clicked").empty());
    EXPECT_EQ(gui.getClickCount(), 0);
    // Drag coordinates are relative to the pressed widget.
    EXPECT_EQ(a.last_x, 70);
    EXPECT_EQ(a.last_y, 70);
}

TEST_F(GuiTest, MovingBackOntoThePressedWidgetStillClicks) {
    input.mouse(MouseInput::Pressed, 15, 15);
    input.mouse(MouseInput::Moved, 80, 80);
    input.mouse(MouseInput::Moved, 15, 15);
    input.mouse(MouseInput::Released, 15, 15);
    gui.logic();
    EXPECT_EQ(only(":clicked"), (Log{"a:clicked", "top:clicked"}));
}

TEST_F(GuiTest, ClickCountsGrowWithinTheWindowForTheSameButton) {
    const struct {
        const char* what;
        int second_button;
        int second_stamp;
        int expected;
    } cases[] = {
        {"quick", MouseInput::Left, 300, 2},
        {"too slow", MouseInput::Left, 350, 1},
        {"other button", MouseInput::Right, 150, 1},
    };
    for (const auto& c : cases) {
        gcn::Gui g;
        g.setTop(&top);
        gcntest::FakeInput in;
        g.setInput(&in);
        in.mouse(MouseInput::Pressed, 15, 15, MouseInput::Left, 100);
        in.mouse(MouseInput::Released, 15, 15, MouseInput::Left, 100);
        in.mouse(MouseInput::Pressed, 15, 15, c.second_button, c.second_stamp);
        g.logic();
        EXPECT_EQ(a.last_clicks, c.expected) << c.what;
        g.setTop(nullptr);
    }
}

// The Allegro input stamps every press 0, so presses always come quickly:
// the count runs on until the mouse leaves the widget (which sets it back to
// 1, so the next press counts 2), another button is pressed, or a release
// lands off the pressed widget (which sets it to 0 and forgets the button).
TEST_F(GuiTest, WithoutTimeStampsTheClickCountRunsOnUntilSomethingBreaksIt) {
    const auto press = [this](int x, int button = MouseInput::Left) {
        input.mouse(MouseInput::Pressed, x, 15, button);
        gui.logic();
        const int count = gui.getClickCount();
        input.mouse(MouseInput::Released, x, 15, button);
        gui.logic();
        return count;
    };
    input.mouse(MouseInput::Moved, 15, 15);
    gui.logic();
    EXPECT_EQ(press(15), 1);
    EXPECT_EQ(press(15), 2);
    EXPECT_EQ(press(16), 3);
    // Leaving a and coming back.
    input.mouse(MouseInput::Moved, 40, 15);
    input.mouse(MouseInput::Moved, 15, 15);
    gui.logic();
    EXPECT_EQ(gui.getClickCount(), 1);
    EXPECT_EQ(press(15), 2);
    EXPECT_EQ(press(15), 3);
    // Another button.
    EXPECT_EQ(press(15, MouseInput::Right), 1);
    EXPECT_EQ(press(15, MouseInput::Right), 2);
    // A release off the pressed widget.
    input.mouse(MouseInput::Pressed, 15, 15, MouseInput::Right);
    input.mouse(MouseInput::Released, 55, 15, MouseInput::Right);
    gui.logic();
    EXPECT_EQ(gui.getClickCount(), 0);
    EXPECT_EQ(press(15), 1);
}

// A widget whose children live in a focus handler of its own, like an open
// drop-down: keys go to the child focused there, then up through the widget.
TEST_F(GuiTest, KeysGoToTheWidgetFocusedInAnInternalFocusHandler) {
    gcn::FocusHandler inner_handler;
    gcn::Container holder;
    Recorder holder_rec("holder", &log);
    holder.addKeyListener(&holder_rec);
    holder.setDimension(Rectangle(0, 50, 40, 40));
    holder.setFocusable(true);
    Probe inner("inner", &log);
    inner.setFocusable(true);
    holder.setInternalFocusHandler(&inner_handler);
    holder.add(&inner);
    top.add(&holder);
    holder.requestFocus();
    inner.requestFocus();
    log.clear();
    input.key('z');
    gui.logic();
    EXPECT_EQ(log, (Log{"inner:keydown:122", "holder:keydown:122", "top:keydown:122"}));
    top.remove(&holder);
}

TEST_F(GuiTest, MouseCoordinatesAreRelativeToEachWidgetOnTheWay) {
    gcn::Container panel;
    Recorder panel_rec("panel", &log);
    panel.addMouseListener(&panel_rec);
    panel.setDimension(Rectangle(20, 40, 50, 50));
    Probe child("child", &log, 10, 10, 10, 10);
    panel.add(&child);
    top.add(&panel);
    input.mouse(MouseInput::Pressed, 35, 56);
    gui.logic();
    EXPECT_EQ(child.last_x, 5);
    EXPECT_EQ(child.last_y, 6);
    EXPECT_EQ(panel_rec.last_x, 15);
    EXPECT_EQ(panel_rec.last_y, 16);
    EXPECT_EQ(panel_rec.last_source, &child);
    EXPECT_EQ(top_rec.last_x, 35);
}

TEST_F(GuiTest, EnteringAndLeavingFollowTheMouse) {
    gcn::Container panel;
    Recorder panel_rec("panel", &log);
    panel.addMouseListener(&panel_rec);
    panel.setDimension(Rectangle(20, 40, 50, 50));
    Probe child("child", &log, 10, 10, 10, 10);
    panel.add(&child);
    top.add(&panel);

    input.mouse(MouseInput::Moved, 5, 5);
    input.mouse(MouseInput::Moved, 25, 45);
    input.mouse(MouseInput::Moved, 35, 55);
    gui.logic();
    EXPECT_EQ(only(":entered"), (Log{"top:entered", "panel:entered", "child:entered"}));
    log.clear();

    // Within the child: nothing new.
    input.mouse(MouseInput::Moved, 36, 56);
    gui.logic();
    EXPECT_TRUE(only(":entered").empty());
    EXPECT_TRUE(only(":exited").empty());

    // Off the drawing surface: innermost first.
    input.mouse(MouseInput::Moved, -1, 56);
    gui.logic();
    EXPECT_EQ(only(":exited"), (Log{"child:exited", "panel:exited", "top:exited"}));
}

TEST_F(GuiTest, LeavingAChildExitsOnlyIt) {
    input.mouse(MouseInput::Moved, 5, 5);
    input.mouse(MouseInput::Moved, 15, 15);
    input.mouse(MouseInput::Moved, 55, 15);
    gui.logic();
    EXPECT_EQ(without(":moved"), (Log{"top:entered", "a:entered", "a:exited", "b:entered"}));
}

TEST_F(GuiTest, HiddenWidgetUnderTheMouseIsExited) {
    input.mouse(MouseInput::Moved, 5, 5);
    input.mouse(MouseInput::Moved, 15, 15);
    gui.logic();
    log.clear();
    a.setVisible(false);
    input.mouse(MouseInput::Moved, 16, 16);
    gui.logic();
    EXPECT_EQ(only(":exited"), (Log{"a:exited"}));
}

TEST_F(GuiTest, WheelGoesToTheWidgetUnderTheMouse) {
    input.mouse(MouseInput::WheelMovedUp, 55, 15, MouseInput::Empty);
    input.mouse(MouseInput::WheelMovedDown, 15, 15, MouseInput::Empty);
    gui.logic();
    EXPECT_EQ(log, (Log{"b:wheelup", "a:wheeldown"}));
}

TEST_F(GuiTest, DisabledWidgetsAreSkippedButTheirParentsStillHear) {
    a.setEnabled(false);
    input.mouse(MouseInput::Pressed, 15, 15);
    gui.logic();
    EXPECT_EQ(log, (Log{"top:pressed"}));
    EXPECT_EQ(top_rec.last_source, &a);
}

TEST_F(GuiTest, ModalWindowKeepsClicksAndTabsInside) {
    gcn::Container window;
    window.setDimension(Rectangle(0, 50, 100, 50));
    Probe inner1("i1", &log, 0, 0, 10, 10);
    Probe inner2("i2", &log, 20, 0, 10, 10);
    window.add(&inner1);
    window.add(&inner2);
    top.add(&window);
    for (Probe* p : {&a, &b, &inner1, &inner2}) {
        p->setFocusable(true);
    }
    window.requestModalFocus();
    input.mouse(MouseInput::Pressed, 15, 15);
    input.mouse(MouseInput::Released, 15, 15);
    gui.logic();
    EXPECT_TRUE(only(":pressed").empty());
    EXPECT_EQ(gui.getFocusHandler()->getFocused(), nullptr);

    input.key(gcn::Key::Tab);
    gui.logic();
    EXPECT_EQ(gui.getFocusHandler()->getFocused(), &inner1);
    input.key(gcn::Key::Tab);
    input.key(gcn::Key::Tab);
    gui.logic();
    EXPECT_EQ(gui.getFocusHandler()->getFocused(), &inner1);
    input.key(gcn::Key::Tab, KeyInput::Pressed, true);
    gui.logic();
    EXPECT_EQ(gui.getFocusHandler()->getFocused(), &inner2);

    // Inside, the walk goes up to the first widget outside the modal one.
    log.clear();
    input.mouse(MouseInput::Pressed, 5, 55);
    gui.logic();
    EXPECT_EQ(only(":pressed"), (Log{"i1:pressed", "top:pressed"}));
}

TEST_F(GuiTest, ModalMouseInputFocusDrawsEveryPressToItsHolder) {
    a.requestModalMouseInputFocus();
    input.mouse(MouseInput::Pressed, 55, 15);
    input.mouse(MouseInput::Released, 55, 15);
    gui.logic();
    EXPECT_EQ(only(":pressed"), (Log{"a:pressed", "top:pressed"}));
    EXPECT_EQ(a.last_x, 45);
    a.releaseModalMouseInputFocus();
    log.clear();
    input.mouse(MouseInput::Pressed, 55, 15);
    gui.logic();
    // Giving it back re-enters the widgets under the mouse first.
    EXPECT_EQ(log, (Log{"b:entered", "top:entered", "b:pressed", "top:pressed"}));
}

TEST_F(GuiTest, GainingModalFocusExitsTheWidgetsUnderTheMouseAndReleasingReentersThem) {
    input.mouse(MouseInput::Moved, 5, 5);
    input.mouse(MouseInput::Moved, 15, 15);
    gui.logic();
    log.clear();
    b.requestModalFocus();
    gui.logic();
    EXPECT_EQ(only(":exited"), (Log{"a:exited", "top:exited"}));
    log.clear();
    b.releaseModalFocus();
    gui.logic();
    EXPECT_EQ(only(":entered"), (Log{"a:entered", "top:entered"}));
}

TEST_F(GuiTest, GlobalKeyListenerSeesKeysFirstAndMayKeepThem) {
    Recorder global("global", &log);
    gui.addGlobalKeyListener(&global);
    a.setFocusable(true);
    b.setFocusable(true);
    a.requestFocus();
    log.clear();
    input.key('x');
    gui.logic();
    EXPECT_EQ(log, (Log{"global:keydown:120", "a:keydown:120", "top:keydown:120"}));

    log.clear();
    global.consume_keys = true;
    input.key(gcn::Key::Tab);
    gui.logic();
    EXPECT_EQ(log, (Log{"global:keydown:9"}));
    EXPECT_EQ(gui.getFocusHandler()->getFocused(), &a);

    gui.removeGlobalKeyListener(&global);
    input.key(gcn::Key::Tab);
    gui.logic();
    EXPECT_EQ(gui.getFocusHandler()->getFocused(), &b);
}

TEST_F(GuiTest, ConsumedKeyStillWalksUpButStopsTabbing) {
    a.setFocusable(true);
    b.setFocusable(true);
    a.requestFocus();
    a.consume_keys = true;
    log.clear();
    input.key(gcn::Key::Tab);
    input.key(gcn::Key::Tab, KeyInput::Released);
    gui.logic();
    EXPECT_EQ(without(":gained"), (Log{"a:keydown:9", "top:keydown:9", "a:keyup:9", "top:keyup:9"}));
    EXPECT_EQ(gui.getFocusHandler()->getFocused(), &a);

    a.consume_keys = false;
    input.key(gcn::Key::Tab);
    gui.setTabbingEnabled(false);
    gui.logic();
    EXPECT_EQ(gui.getFocusHandler()->getFocused(), &a);
}

TEST_F(GuiTest, FocusedWidgetThatBecameDisabledLosesTheFocusInsteadOfTheKey) {
    a.setFocusable(true);
    a.requestFocus();
    a.setEnabled(false);
    log.clear();
    input.key('q');
    gui.logic();
    EXPECT_EQ(log, (Log{"a:lost"}));
    EXPECT_EQ(gui.getFocusHandler()->getFocused(), nullptr);
}

TEST_F(GuiTest, PressFocusesAFocusableWidget) {
    b.setFocusable(true);
    input.mouse(MouseInput::Pressed, 15, 15);
    input.mouse(MouseInput::Released, 15, 15);
    gui.logic();
    EXPECT_EQ(gui.getFocusHandler()->getFocused(), nullptr);
    input.mouse(MouseInput::Pressed, 55, 15);
    gui.logic();
    EXPECT_EQ(gui.getFocusHandler()->getFocused(), &b);
}

// Deletes itself when pressed.
class SelfDestruct : public Probe {
public:
    using Probe::Probe;
    void mousePressed(gcn::MouseEvent&) override { delete this; }
};

TEST_F(GuiTest, AWidgetDestroyedByItsOwnListenerLeavesNoTrace) {
    auto* s = new SelfDestruct("s", &log, 10, 60, 20, 20);
    top.add(s);
    input.mouse(MouseInput::Moved, 15, 65);
    input.mouse(MouseInput::Pressed, 15, 65);
    input.mouse(MouseInput::Moved, 16, 66);
    input.mouse(MouseInput::Released, 16, 66);
    gui.logic();
    EXPECT_FALSE(gcn::Widget::widgetExists(s));
    EXPECT_EQ(gui.getFocusHandler()->getDraggedWidget(), nullptr);
    // The release landed on the container, which did not see the press.
    EXPECT_EQ(only(":clicked"), Log{});
}

// A widget registered with an internal focus handler leaves only that
// handler when it is destroyed; the gui must not follow its own pointer to
// the dragged widget afterwards.
TEST_F(GuiTest, ADestroyedDraggedWidgetOfAnInternalHandlerIsForgotten) {
    gcn::FocusHandler inner_handler;
    gcn::Container holder;
    holder.setDimension(Rectangle(0, 50, 40, 40));
    holder.setInternalFocusHandler(&inner_handler);
    auto inner = std::make_unique<Probe>("inner", &log, 0, 0, 20, 20);
    inner->setFocusable(true);
    holder.add(inner.get());
    top.add(&holder);
    input.mouse(MouseInput::Pressed, 5, 55);
    gui.logic();
    EXPECT_EQ(gui.getFocusHandler()->getDraggedWidget(), inner.get());
    inner.reset();
    log.clear();
    input.mouse(MouseInput::WheelMovedUp, 5, 55, MouseInput::Empty);
    input.mouse(MouseInput::Moved, 6, 56);
    input.mouse(MouseInput::Pressed, 5, 55, MouseInput::Right);
    input.mouse(MouseInput::Released, 5, 55, MouseInput::Right);
    gui.logic();
    // Every input goes to the widgets under the mouse again.
    EXPECT_EQ(without(":entered"), (Log{"top:pressed", "top:released", "top:clicked"}));
    EXPECT_EQ(gui.getFocusHandler()->getDraggedWidget(), nullptr);
    top.remove(&holder);
}

TEST_F(GuiTest, LogicRunsTheWidgetsEvenWithoutInput) {
    gui.setInput(nullptr);
    gui.logic();
    EXPECT_EQ(a.logic_calls, 1);
}

TEST_F(GuiTest, DrawsTheTreeWithTheTopFrame) {
    top.setDimension(Rectangle(2, 2, 90, 90));
    top.setFrameSize(1);
    top.setBaseColor(Color(10, 10, 10));
    a.setBaseColor(Color(20, 20, 20));
    gui.draw();
    EXPECT_EQ(graphics.at(1, 1), Color(7, 7, 7));
    EXPECT_EQ(graphics.at(92, 92), Color(83, 83, 83));
    EXPECT_EQ(graphics.at(2, 2), Color(10, 10, 10));
    EXPECT_EQ(graphics.at(12, 12), Color(20, 20, 20));
    EXPECT_EQ(graphics.count(Color(20, 20, 20)), 400);
    EXPECT_EQ(graphics.clipStackDepth(), 0u);
}

TEST_F(GuiTest, HiddenTopDrawsNothing) {
    top.setVisible(false);
    gui.draw();
    EXPECT_EQ(graphics.count(gcntest::kUnset), 100 * 100);
}

TEST_F(GuiTest, ErrorsNameTheirCause) {
    const std::string unknown_key = "Unknown key event type.";
    Recorder global("global", &log);
    gui.addGlobalKeyListener(&global);
    input.keys.push_back(gcn::KeyInput(gcn::Key('a'), 7));
    try {
        gui.logic();
        FAIL();
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), unknown_key);
    }
    EXPECT_TRUE(input.keys.empty());

    input.mouse(9, 1, 1);
    try {
        gui.logic();
        FAIL();
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "Unknown mouse input type.");
    }

    gui.setGraphics(nullptr);
    try {
        gui.draw();
        FAIL();
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "No graphics set");
    }
    gcn::Gui empty;
    try {
        empty.logic();
        FAIL();
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "No top widget set");
        EXPECT_EQ(e.getFunction(), "gcn::Gui::logic");
    }
    EXPECT_THROW(empty.draw(), gcn::Exception);
}

TEST_F(GuiTest, ChangingOrLosingTheGuiDetachesTheTop) {
    EXPECT_EQ(a._getFocusHandler(), gui.getFocusHandler());
    gcn::Container other;
    gui.setTop(&other);
    EXPECT_EQ(a._getFocusHandler(), nullptr);
    EXPECT_EQ(other._getFocusHandler(), gui.getFocusHandler());
    {
        gcn::Gui second;
        second.setTop(&top);
        EXPECT_EQ(a._getFocusHandler(), second.getFocusHandler());
    }
    EXPECT_EQ(a._getFocusHandler(), nullptr);
    EXPECT_EQ(top._getFocusHandler(), nullptr);
}

TEST(GuiLifetimeTest, ATopDestroyedBehindTheGuisBackCountsAsNone) {
    gcn::Gui gui;
    auto top = std::make_unique<gcn::Container>();
    gui.setTop(top.get());
    top.reset();
    EXPECT_THROW(gui.logic(), gcn::Exception);
    EXPECT_THROW(gui.draw(), gcn::Exception);
    gcn::Container next;
    gui.setTop(&next);
    gui.logic();
}

// Destroys the gui's top widget when a key reaches it.
class TopDestroyer : public gcn::KeyListener {
public:
    explicit TopDestroyer(std::unique_ptr<gcn::Container>* top) : top_(top) {}
    void keyPressed(gcn::KeyEvent&) override { top_->reset(); }

private:
    std::unique_ptr<gcn::Container>* top_;
};

TEST(GuiLifetimeTest, ATopDestroyedByAListenerLeavesTheRestOfTheInputQueued) {
    gcn::Gui gui;
    gcntest::FakeInput input;
    gui.setInput(&input);
    auto top = std::make_unique<gcn::Container>();
    top->setSize(50, 50);
    TopDestroyer destroyer(&top);
    gui.addGlobalKeyListener(&destroyer);
    gui.setTop(top.get());
    input.key('x');
    input.key('y');
    input.mouse(MouseInput::Moved, 5, 5);
    gui.logic();
    EXPECT_EQ(top, nullptr);
    EXPECT_EQ(input.keys.size(), 1u);
    EXPECT_EQ(input.mice.size(), 1u);
    EXPECT_THROW(gui.logic(), gcn::Exception);
}

TEST_F(GuiTest, WidgetAtTheEdgesFallsBackToTheTop) {
    input.mouse(MouseInput::Pressed, 150, 150);
    gui.logic();
    EXPECT_EQ(log, (Log{"top:pressed"}));
}

// Takes its own panel out of the tree when pressed or when a key reaches it.
class PanelRemover : public Probe {
public:
    PanelRemover(gcn::Container* holder, gcn::Container* panel, Log* log)
        : Probe("remover", log, 0, 0, 10, 10), holder_(holder), panel_(panel) {}
    void mousePressed(gcn::MouseEvent& e) override {
        Probe::mousePressed(e);
        holder_->remove(panel_);
    }
    void keyPressed(gcn::KeyEvent& e) override {
        Probe::keyPressed(e);
        holder_->remove(panel_);
    }

private:
    gcn::Container* holder_;
    gcn::Container* panel_;
};

// While a window holds modal focus, a listener takes the panel it sits in
// out of the window: the widget has left the gui, and the walk up ends
// there instead of asking the departed widget about modal focus.
TEST_F(GuiTest, AWidgetThatLeftTheGuiDuringItsListenersEndsTheWalk) {
    gcn::Container window;
    window.setDimension(Rectangle(0, 50, 100, 50));
    gcn::Container panel;
    panel.setDimension(Rectangle(0, 0, 50, 50));
    PanelRemover remover(&window, &panel, &log);
    remover.setFocusable(true);
    panel.add(&remover);
    window.add(&panel);
    top.add(&window);
    window.requestModalFocus();

    input.mouse(MouseInput::Pressed, 5, 55);
    EXPECT_NO_THROW(gui.logic());
    EXPECT_EQ(only(":pressed"), (Log{"remover:pressed"}));
    EXPECT_EQ(remover._getFocusHandler(), nullptr);

    // The same for a key.
    log.clear();
    window.add(&panel);
    remover.requestFocus();
    input.key('k');
    EXPECT_NO_THROW(gui.logic());
    EXPECT_EQ(only(":107"), (Log{"remover:keydown:107"}));
}

}  // namespace
