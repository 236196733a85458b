// The widget base: geometry notices, the visibility chain, the bevelled
// frame, fonts, action firing, focus requests and destruction.
#include <gtest/gtest.h>

#include <memory>

#include "gcn/exception.hpp"
#include "gcn/focushandler.hpp"
#include "gcn/font.hpp"
#include "gcn/gui.hpp"
#include "gcn/style.hpp"
#include "gcn/widgets/container.hpp"
#include "gcn_fakes.hpp"

namespace {

using gcn::Color;
using gcn::Rectangle;
using gcntest::Log;
using gcntest::PixelGraphics;
using gcntest::Probe;

TEST(WidgetTest, ConstructionTakesTheStyleDefaults) {
    Log log;
    Probe p("p", &log);
    EXPECT_EQ(p.getForegroundColor(), Color(0, 0, 0));
    EXPECT_EQ(p.getBackgroundColor(), Color(255, 255, 255));
    EXPECT_EQ(p.getBaseColor(), Color(128, 128, 128));
    EXPECT_EQ(p.getSelectionColor(), Color(195, 217, 255, 255));
    EXPECT_EQ(p.getFrameSize(), 0);
    EXPECT_FALSE(p.isFocusable());
    EXPECT_TRUE(p.isVisible());
    EXPECT_TRUE(p.isEnabled());
    EXPECT_TRUE(p.isTabInEnabled());
    EXPECT_TRUE(p.isTabOutEnabled());
    EXPECT_TRUE(gcn::Widget::widgetExists(&p));
}

TEST(WidgetTest, DimensionChangesNotifyResizedBeforeMoved) {
    const struct {
        const char* what;
        void (*change)(gcn::Widget&);
        Log expected;
    } cases[] = {
        {"same rectangle", [](gcn::Widget& w) { w.setDimension(Rectangle(1, 2, 10, 10)); }, {}},
        {"x only", [](gcn::Widget& w) { w.setX(5); }, {"p:moved"}},
        {"width and y", [](gcn::Widget& w) { w.setDimension(Rectangle(1, 7, 30, 10)); }, {"p:resized", "p:moved"}},
        {"height", [](gcn::Widget& w) { w.setHeight(3); }, {"p:resized"}},
        {"size", [](gcn::Widget& w) { w.setSize(10, 10); }, {}},
        {"position", [](gcn::Widget& w) { w.setPosition(1, 3); }, {"p:moved"}},
    };
    for (const auto& c : cases) {
        Log log;
        Probe p("p", &log, 1, 2, 10, 10);
        c.change(p);
        EXPECT_EQ(log, c.expected) << c.what;
    }
}

TEST(WidgetTest, HiddenParentHidesDisablesAndUnfocusesDescendants) {
    Log log;
    gcn::Container outer;
    gcn::Container inner;
    Probe p("p", &log);
    p.setFocusable(true);
    outer.add(&inner);
    inner.add(&p);
    EXPECT_TRUE(p.isFocusable());
    outer.setVisible(false);
    EXPECT_FALSE(p.isVisible());
    EXPECT_FALSE(p.isEnabled());
    EXPECT_FALSE(p.isFocusable());
    outer.setVisible(true);
    p.setEnabled(false);
    EXPECT_TRUE(p.isVisible());
    EXPECT_FALSE(p.isFocusable());
}

// A widget that logs its own visibility at the time its listeners are told.
class VisibilityProbe : public Probe {
public:
    using Probe::Probe;
    void widgetHidden(const gcn::Event& e) override {
        seen_visible = isVisible();
        Probe::widgetHidden(e);
    }
    bool seen_visible = false;
};

TEST(WidgetTest, HidingAFocusedWidgetDropsTheFocusFirstAndListenersSeeTheOldFlag) {
    Log log;
    gcn::Gui gui;
    gcn::Container top;
    VisibilityProbe p("p", &log);
    p.setFocusable(true);
    top.add(&p);
    gui.setTop(&top);
    p.requestFocus();
    log.clear();
    p.setVisible(false);
    EXPECT_EQ(log, (Log{"p:lost", "p:hidden"}));
    EXPECT_TRUE(p.seen_visible);
    EXPECT_FALSE(p.isVisible());
    EXPECT_EQ(gui.getFocusHandler()->getFocused(), nullptr);
}

TEST(WidgetTest, ClearingFocusableOnTheFocusedWidgetDropsTheFocus) {
    Log log;
    gcn::Gui gui;
    gcn::Container top;
    Probe p("p", &log);
    p.setFocusable(true);
    top.add(&p);
    gui.setTop(&top);
    p.requestFocus();
    EXPECT_TRUE(p.isFocused());
    p.setFocusable(false);
    EXPECT_FALSE(p.isFocused());
    EXPECT_EQ(log.back(), "p:lost");
}

// Draws only its frame, inside a clip area grown by the frame size, the way
// a container draws a child.
void drawFramed(PixelGraphics& g, gcn::Widget& w) {
    const Rectangle& d = w.getDimension();
    const int f = w.getFrameSize();
    g._beginDraw();
    g.pushClipArea(Rectangle(d.x - f, d.y - f, d.width + 2 * f, d.height + 2 * f));
    w.drawFrame(&g);
    g.popClipArea();
    g._endDraw();
}

TEST(WidgetTest, FrameOfMinusOneIsARaisedRing) {
    Log log;
    Probe p("p", &log, 5, 5, 10, 5);
    p.setFrameSize(-1);
    EXPECT_EQ(p.getFrameSize(), 1);
    PixelGraphics g(30, 20);
    drawFramed(g, p);
    const Color hi(166, 166, 166);
    const Color sh(89, 89, 89);
    // The ring around (5, 5, 10, 5) runs from (4, 4) to (15, 10).
    EXPECT_EQ(g.at(4, 4), hi);
    EXPECT_EQ(g.at(15, 4), hi);
    EXPECT_EQ(g.at(4, 9), hi);
    EXPECT_EQ(g.at(15, 5), sh);
    EXPECT_EQ(g.at(15, 10), sh);
    EXPECT_EQ(g.at(4, 10), sh);
    EXPECT_EQ(g.count(hi), 12 + 5);
    EXPECT_EQ(g.count(sh), 6 + 11);
    EXPECT_EQ(g.at(5, 5), gcntest::kUnset);
}

TEST(WidgetTest, PositiveFrameSwapsTheBevelColours) {
    Log log;
    Probe p("p", &log, 5, 5, 10, 5);
    p.setFrameSize(1);
    PixelGraphics g(30, 20);
    drawFramed(g, p);
    EXPECT_EQ(g.at(4, 4), Color(89, 89, 89));
    EXPECT_EQ(g.at(15, 10), Color(166, 166, 166));
}

TEST(WidgetTest, FrameOfTwoDrawsTwoNestedRings) {
    Log log;
    Probe p("p", &log, 2, 2, 10, 5);
    p.setFrameSize(2);
    PixelGraphics g(20, 20);
    drawFramed(g, p);
    const Color sh(89, 89, 89);
    const Color hi(166, 166, 166);
    // i = 0: W = 13, H = 8 in the frame's clip area, which starts at (0, 0).
    EXPECT_EQ(g.at(13, 0), sh);
    EXPECT_EQ(g.at(13, 1), hi);
    EXPECT_EQ(g.at(13, 8), hi);
    EXPECT_EQ(g.at(0, 8), hi);
    EXPECT_EQ(g.at(0, 7), sh);
    // i = 1: up to 12 and 7.
    EXPECT_EQ(g.at(1, 1), sh);
    EXPECT_EQ(g.at(12, 1), sh);
    EXPECT_EQ(g.at(12, 7), hi);
    EXPECT_EQ(g.at(2, 2), gcntest::kUnset);
    EXPECT_EQ(g.count(sh) + g.count(hi), 2 * (14 + 9) - 4 + 2 * (12 + 7) - 4);
}

TEST(WidgetTest, ConstructionCapturesTheStyleWhileDrawingAsksItAnew) {
    Log log;
    Probe before("before", &log, 1, 1, 4, 4);
    gcntest::FlatStyle flat;
    gcn::Style::setCurrent(&flat);
    Probe during("during", &log, 1, 1, 4, 4);
    EXPECT_EQ(during.getForegroundColor(), Color(200, 200, 200));
    EXPECT_EQ(during.getBackgroundColor(), Color(0, 0, 0));
    EXPECT_EQ(during.getBaseColor(), Color(20, 20, 20));
    EXPECT_EQ(during.getSignedFrameSize(), -1);
    EXPECT_EQ(before.getBaseColor(), Color(128, 128, 128));
    EXPECT_EQ(before.getFrameSize(), 0);

    // A widget made under the default style draws its frame in the shades
    // of the style in force when it draws.
    before.setFrameSize(-1);
    PixelGraphics g(10, 10);
    drawFramed(g, before);
    EXPECT_EQ(g.at(0, 0), Color(2, 2, 2));
    EXPECT_EQ(g.at(5, 5), Color(1, 1, 1));
    gcn::Style::setCurrent(nullptr);

    // Taking the style out again changes the draw, not the captured colours.
    g.clear();
    drawFramed(g, before);
    EXPECT_EQ(g.at(0, 0), Color(166, 166, 166));
    EXPECT_EQ(during.getBaseColor(), Color(20, 20, 20));
    Probe after("after", &log);
    EXPECT_EQ(after.getBaseColor(), Color(128, 128, 128));
}

TEST(WidgetTest, FontFallsBackToGlobalThenBuiltIn) {
    Log log;
    Probe plain("plain", &log);
    Probe own("own", &log);
    gcntest::PixelGraphics unused(1, 1);
    gcn::DefaultFont mine;
    gcn::DefaultFont global;
    own.setFont(&mine);
    EXPECT_EQ(own.font_changes, 1);
    EXPECT_EQ(own.getFont(), &mine);
    gcn::Font* builtin = plain.getFont();
    ASSERT_NE(builtin, nullptr);

    gcn::Widget::setGlobalFont(&global);
    EXPECT_EQ(plain.getFont(), &global);
    EXPECT_EQ(plain.font_changes, 1);
    EXPECT_EQ(own.font_changes, 1);
    EXPECT_EQ(own.getFont(), &mine);

    gcn::Widget::setGlobalFont(nullptr);
    EXPECT_EQ(plain.getFont(), builtin);
}

TEST(WidgetTest, FireActionOnlyWhileEnabledAndVisible) {
    Log log;
    gcn::Container parent;
    Probe p("p", &log);
    parent.add(&p);
    gcntest::ActionRecorder rec;
    p.addActionListener(&rec);
    p.setActionEventId("go");

    EXPECT_TRUE(p.fireAction());
    ASSERT_EQ(rec.sources.size(), 1u);
    EXPECT_EQ(rec.sources[0], &p);
    EXPECT_EQ(rec.ids[0], "go");

    gcn::KeyEvent key(&p, &p, false, false, false, false, 0, false, gcn::Key(10));
    p.fireActionAndConsume(key);
    EXPECT_TRUE(key.isConsumed());
    EXPECT_EQ(rec.sources.size(), 2u);

    parent.setVisible(false);
    EXPECT_FALSE(p.fireAction());
    parent.setVisible(true);
    p.setEnabled(false);
    gcn::KeyEvent key2(&p, &p, false, false, false, false, 0, false, gcn::Key(10));
    p.fireActionAndConsume(key2);
    EXPECT_FALSE(key2.isConsumed());
    EXPECT_EQ(rec.sources.size(), 2u);
}

TEST(WidgetTest, ListenersAddedTwiceAreCalledTwiceAndRemovedTogether) {
    Log log;
    Probe p("p", &log);
    gcntest::ActionRecorder rec;
    p.addActionListener(&rec);
    p.addActionListener(&rec);
    p.distributeActionEvent();
    EXPECT_EQ(rec.sources.size(), 2u);
    p.removeActionListener(&rec);
    p.distributeActionEvent();
    EXPECT_EQ(rec.sources.size(), 2u);
}

// An action listener that destroys the widget that fired.
class Destroyer : public gcn::ActionListener {
public:
    explicit Destroyer(std::unique_ptr<Probe>* owned) : owned_(owned) {}
    void action(const gcn::ActionEvent&) override {
        ++calls;
        owned_->reset();
    }
    int calls = 0;

private:
    std::unique_ptr<Probe>* owned_;
};

TEST(WidgetTest, ActionListenerMayDestroyTheWidget) {
    Log log;
    auto p = std::make_unique<Probe>("p", &log);
    Probe* raw = p.get();
    Destroyer first(&p);
    gcntest::ActionRecorder second;
    raw->addActionListener(&first);
    raw->addActionListener(&second);
    raw->distributeActionEvent();
    EXPECT_EQ(first.calls, 1);
    EXPECT_TRUE(second.sources.empty());
    EXPECT_FALSE(gcn::Widget::widgetExists(raw));
}

TEST(WidgetTest, FocusRequestsWithoutHandlerRaise) {
    Log log;
    Probe p("p", &log);
    p.setFocusable(true);
    const std::string msg = "No focushandler set (did you add the widget to the gui?).";
    const struct {
        const char* what;
        void (*call)(Probe&);
    } cases[] = {
        {"requestFocus", [](Probe& w) { w.requestFocus(); }},
        {"requestModalFocus", [](Probe& w) { w.requestModalFocus(); }},
        {"requestModalMouseInputFocus", [](Probe& w) { w.requestModalMouseInputFocus(); }},
        {"isModalFocused", [](Probe& w) { (void)w.isModalFocused(); }},
        {"isModalMouseInputFocused", [](Probe& w) { (void)w.isModalMouseInputFocused(); }},
    };
    for (const auto& c : cases) {
        try {
            c.call(p);
            ADD_FAILURE() << c.what << " did not raise";
        } catch (const gcn::Exception& e) {
            EXPECT_EQ(e.getMessage(), msg) << c.what;
        }
    }
    // These answer or do nothing.
    EXPECT_FALSE(p.isFocused());
    p.releaseModalFocus();
    p.releaseModalMouseInputFocus();
}

TEST(WidgetTest, ModalQueriesFollowTheParentChain) {
    Log log;
    gcn::Gui gui;
    gcn::Container top;
    gcn::Container dialog;
    Probe inside("inside", &log);
    Probe outside("outside", &log);
    top.add(&dialog);
    top.add(&outside);
    dialog.add(&inside);
    gui.setTop(&top);
    dialog.requestModalFocus();
    EXPECT_TRUE(inside.isModalFocused());
    EXPECT_FALSE(outside.isModalFocused());
    dialog.releaseModalFocus();
    inside.requestModalMouseInputFocus();
    EXPECT_TRUE(inside.isModalMouseInputFocused());
    EXPECT_FALSE(dialog.isModalMouseInputFocused());
}

// A container with a border of its own, so children sit at an offset.
class FramedPanel : public gcn::Container {
public:
    gcn::Rectangle getChildrenArea() override { return Rectangle(3, 4, getWidth() - 6, getHeight() - 8); }
};

TEST(WidgetTest, AbsolutePositionAddsTheParentsChildrenAreas) {
    Log log;
    gcn::Container top;
    FramedPanel panel;
    Probe p("p", &log, 5, 6);
    top.setPosition(100, 200);
    panel.setDimension(Rectangle(10, 20, 50, 50));
    top.add(&panel);
    panel.add(&p);
    int x = 0;
    int y = 0;
    p.getAbsolutePosition(x, y);
    EXPECT_EQ(x, 100 + 10 + 3 + 5);
    EXPECT_EQ(y, 200 + 20 + 4 + 6);
    EXPECT_EQ(p.getTop(), &top);
    EXPECT_EQ(top.getTop(), nullptr);
}

TEST(WidgetTest, DestroyingAModalWidgetReleasesBothModalRoles) {
    Log log;
    gcn::Gui gui;
    gcn::Container top;
    gui.setTop(&top);
    auto p = std::make_unique<Probe>("p", &log);
    top.add(p.get());
    p->requestModalFocus();
    p->requestModalMouseInputFocus();
    gcn::FocusHandler* fh = gui.getFocusHandler();
    EXPECT_EQ(fh->getModalMouseInputFocused(), p.get());
    p.reset();
    EXPECT_EQ(fh->getModalFocused(), nullptr);
    EXPECT_EQ(fh->getModalMouseInputFocused(), nullptr);
    EXPECT_TRUE(top.getChildren().empty());
    // Another widget can take the roles now.
    Probe q("q", &log);
    top.add(&q);
    q.requestModalMouseInputFocus();
    EXPECT_EQ(fh->getModalMouseInputFocused(), &q);
}

TEST(WidgetTest, LeavingTheGuiGivesUpModalMouseInputFocus) {
    Log log;
    gcn::Gui gui;
    gcn::Container top;
    gui.setTop(&top);
    Probe p("p", &log);
    top.add(&p);
    p.requestModalMouseInputFocus();
    top.remove(&p);
    EXPECT_EQ(gui.getFocusHandler()->getModalMouseInputFocused(), nullptr);
}

// A container that lays itself out whenever its size changes.
class Relayout : public gcn::Container {
public:
    void setDimension(const Rectangle& r) override {
        ++layouts;
        gcn::Container::setDimension(r);
    }
    void setWidth(int w) override {
        ++width_calls;
        gcn::Container::setWidth(w);
    }
    int layouts = 0;
    int width_calls = 0;
};

TEST(WidgetTest, SizeSettersThroughABasePointerReachOverrides) {
    Relayout r;
    gcn::Widget* w = &r;
    w->setWidth(40);
    EXPECT_EQ(r.width_calls, 1);
    EXPECT_EQ(r.layouts, 1);
    w->setHeight(30);
    w->setSize(10, 10);
    w->setPosition(1, 1);
    EXPECT_EQ(r.layouts, 4);
    EXPECT_EQ(r.getDimension(), Rectangle(1, 1, 10, 10));
}

}  // namespace
