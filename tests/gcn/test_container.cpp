// Containers and the icon: child order and deferred moves, hit tests,
// drawing with frames and background images, focus walks, removal and
// death of children, and container events.
#include <gtest/gtest.h>

#include <memory>

#include "gcn/exception.hpp"
#include "gcn/focushandler.hpp"
#include "gcn/widgets/container.hpp"
#include "gcn/widgets/icon.hpp"
#include "gcn_fakes.hpp"

namespace {

using gcn::Color;
using gcn::Rectangle;
using gcntest::Log;
using gcntest::PixelGraphics;
using gcntest::Probe;

// A child that asks its parent to move it (or removes itself) during logic.
class Mover : public Probe {
public:
    using Probe::Probe;
    void logic() override {
        Probe::logic();
        if (to_top) {
            requestMoveToTop();
        }
        if (to_bottom) {
            requestMoveToBottom();
        }
        if (remove_self) {
            static_cast<gcn::Container*>(getParent())->remove(this);
        }
    }
    bool to_top = false;
    bool to_bottom = false;
    bool remove_self = false;
};

std::vector<gcn::Widget*> order(const gcn::BasicContainer& c) {
    return c.getChildren();
}

TEST(ContainerTest, MovesRequestedDuringLogicWaitForTheEndOfThePass) {
    Log log;
    gcn::Container c;
    Mover a("a", &log);
    Mover b("b", &log);
    Mover d("d", &log);
    c.add(&a);
    c.add(&b);
    c.add(&d);
    a.to_top = true;
    b.to_top = true;
    c.logic();
    // Only the last request counts, and every child ran first.
    EXPECT_EQ(order(c), (std::vector<gcn::Widget*>{&a, &d, &b}));
    EXPECT_EQ(a.logic_calls, 1);
    EXPECT_EQ(d.logic_calls, 1);

    a.to_top = false;
    b.to_top = false;
    d.to_bottom = true;
    a.to_top = true;
    c.logic();
    // Top first (a to the end), then bottom (d to the front).
    EXPECT_EQ(order(c), (std::vector<gcn::Widget*>{&d, &b, &a}));
}

TEST(ContainerTest, MovesOutsideLogicHappenAtOnce) {
    Log log;
    gcn::Container c;
    Probe a("a", &log);
    Probe b("b", &log);
    c.add(&a);
    c.add(&b);
    a.requestMoveToTop();
    EXPECT_EQ(order(c), (std::vector<gcn::Widget*>{&b, &a}));
    a.requestMoveToBottom();
    EXPECT_EQ(order(c), (std::vector<gcn::Widget*>{&a, &b}));
}

TEST(ContainerTest, AWidgetRemovedAfterAskingToMoveStaysOut) {
    Log log;
    gcn::Container c;
    Mover a("a", &log);
    Probe b("b", &log);
    c.add(&a);
    c.add(&b);
    a.to_top = true;
    a.remove_self = true;
    c.logic();
    EXPECT_EQ(order(c), (std::vector<gcn::Widget*>{&b}));
    EXPECT_EQ(a.getParent(), nullptr);
}

// Destroys a sibling during its logic.
class Killer : public Probe {
public:
    Killer(std::unique_ptr<Probe>* victim, Log* log) : Probe("killer", log), victim_(victim) {}
    void logic() override { victim_->reset(); }

private:
    std::unique_ptr<Probe>* victim_;
};

TEST(ContainerTest, AChildDestroyedDuringLogicIsSkipped) {
    Log log;
    gcn::Container c;
    auto victim = std::make_unique<Mover>("victim", &log);
    Mover* raw = victim.get();
    raw->to_top = true;
    std::unique_ptr<Probe> owned(std::move(victim));
    Killer k(&owned, &log);
    c.add(&k);
    c.add(raw);
    c.logic();
    EXPECT_EQ(order(c), (std::vector<gcn::Widget*>{&k}));
}

TEST(ContainerTest, WidgetAtPrefersTheLastVisibleChild) {
    Log log;
    gcn::Container c;
    c.setSize(100, 100);
    Probe under("under", &log, 10, 10, 30, 30);
    Probe over("over", &log, 20, 20, 30, 30);
    Probe hidden("hidden", &log, 0, 0, 100, 100);
    c.add(&under);
    c.add(&over);
    c.add(&hidden);
    hidden.setVisible(false);
    EXPECT_EQ(c.getWidgetAt(25, 25), &over);
    EXPECT_EQ(c.getWidgetAt(15, 15), &under);
    EXPECT_EQ(c.getWidgetAt(60, 60), nullptr);
    EXPECT_EQ(c.getWidgetAt(100, 5), nullptr);
    EXPECT_EQ(c.getWidgetAt(-1, 5), nullptr);
}

// A container whose children area is inset by a border.
class Bordered : public gcn::Container {
public:
    Rectangle getChildrenArea() override { return Rectangle(5, 5, getWidth() - 10, getHeight() - 10); }
};

TEST(ContainerTest, WidgetAtLooksOnlyInsideTheChildrenAreaAndMeasuresFromIt) {
    Log log;
    Bordered c;
    c.setSize(50, 50);
    Probe child("child", &log, 0, 0, 40, 40);
    c.add(&child);
    const struct {
        int x, y;
        bool hit;
    } cases[] = {{5, 5, true}, {44, 44, true}, {4, 20, false}, {20, 4, false}, {45, 20, false}, {20, 45, false}};
    for (const auto& k : cases) {
        EXPECT_EQ(c.getWidgetAt(k.x, k.y), k.hit ? &child : nullptr) << k.x << "," << k.y;
    }
    // The child sits at (0, 0) of the children area, so it is missed just
    // right of its own width measured from the area.
    child.setSize(10, 10);
    EXPECT_EQ(c.getWidgetAt(14, 14), &child);
    EXPECT_EQ(c.getWidgetAt(15, 14), nullptr);
}

TEST(ContainerTest, DrawsBaseColourChildrenAndGrownFrameClips) {
    Log log;
    gcn::Container c;
    c.setSize(40, 30);
    c.setBaseColor(Color(1, 1, 1));
    Probe child("child", &log, 10, 10, 5, 5);
    child.setBaseColor(Color(100, 100, 100));
    child.setFrameSize(-2);
    c.add(&child);
    PixelGraphics g(50, 50);
    g._beginDraw();
    g.pushClipArea(c.getDimension());
    c.draw(&g);
    g.popClipArea();
    g._endDraw();
    EXPECT_EQ(g.count(Color(100, 100, 100)), 25);
    // The frame lies two pixels outside the child on every side, in shades
    // of the child's base colour.
    EXPECT_EQ(g.at(8, 8), Color(146, 146, 146));
    EXPECT_EQ(g.at(16, 16), Color(70, 70, 70));
    EXPECT_EQ(g.at(7, 7), Color(1, 1, 1));
    EXPECT_EQ(g.at(39, 29), Color(1, 1, 1));
    EXPECT_EQ(g.at(40, 29), gcntest::kUnset);
}

TEST(ContainerTest, TransparentContainerDrawsOnlyChildren) {
    gcn::Container c;
    c.setSize(10, 10);
    c.setOpaque(false);
    PixelGraphics g(10, 10);
    g._beginDraw();
    c.draw(&g);
    g._endDraw();
    EXPECT_EQ(g.count(gcntest::kUnset), 100);
}

TEST(ContainerTest, BackgroundImageIsStretchedOverTheContainer) {
    gcn::Container c;
    c.setSize(400, 300);
    c.setBaseColor(Color(1, 1, 1));
    gcntest::PixelImage img(100, 50, Color(7, 7, 7));
    img.putPixel(99, 49, Color(8, 8, 8));
    c.setBackgroundImage(&img);
    PixelGraphics g(400, 300);
    g._beginDraw();
    c.draw(&g);
    g._endDraw();
    EXPECT_EQ(g.count(Color(1, 1, 1)), 0);
    EXPECT_EQ(g.count(Color(7, 7, 7)) + g.count(Color(8, 8, 8)), 400 * 300);
    // The image's last pixel covers the container's bottom-right corner.
    EXPECT_EQ(g.at(399, 299), Color(8, 8, 8));
    EXPECT_EQ(g.count(Color(8, 8, 8)), 4 * 6);
}

TEST(ContainerTest, FocusNextWithoutFocusedChildNeverPicksTheFirst) {
    Log log;
    gcn::FocusHandler fh;
    gcn::Container c;
    c._setFocusHandler(&fh);
    Probe a("a", &log);
    Probe b("b", &log);
    c.add(&a);
    c.add(&b);
    a.setFocusable(true);
    c.focusNext();
    EXPECT_EQ(fh.getFocused(), nullptr);
    b.setFocusable(true);
    c.focusNext();
    EXPECT_EQ(fh.getFocused(), &b);
    c.focusNext();
    EXPECT_EQ(fh.getFocused(), &a);
    c.focusPrevious();
    EXPECT_EQ(fh.getFocused(), &b);
    fh.focusNone();
    c.focusPrevious();
    EXPECT_EQ(fh.getFocused(), &b);

    // The focused child as the only focusable one keeps the focus quietly.
    a.setFocusable(false);
    log.clear();
    c.focusNext();
    c.focusPrevious();
    EXPECT_EQ(fh.getFocused(), &b);
    EXPECT_TRUE(log.empty());
}

TEST(ContainerTest, OperationsOnAStrangerRaiseAndChangeNothing) {
    Log log;
    gcn::Container c;
    Probe a("a", &log);
    Probe stranger("s", &log);
    c.add(&a);
    const struct {
        const char* what;
        void (*call)(gcn::Container&, gcn::Widget*);
    } cases[] = {
        {"remove", [](gcn::Container& k, gcn::Widget* w) { k.remove(w); }},
        {"moveToTop", [](gcn::Container& k, gcn::Widget* w) { k.moveToTop(w); }},
        {"moveToBottom", [](gcn::Container& k, gcn::Widget* w) { k.moveToBottom(w); }},
    };
    for (const auto& cs : cases) {
        try {
            cs.call(c, &stranger);
            ADD_FAILURE() << cs.what;
        } catch (const gcn::Exception& e) {
            EXPECT_EQ(e.getMessage(), "There is no such widget in this container.") << cs.what;
        }
    }
    EXPECT_EQ(order(c), (std::vector<gcn::Widget*>{&a}));
}

TEST(ContainerTest, AWidgetAddedTwiceAndRemovedOnceStillLeavesWhenItDies) {
    Log log;
    gcn::Container c;
    auto p = std::make_unique<Probe>("p", &log);
    Probe* raw = p.get();
    c.add(raw);
    c.add(raw);
    c.remove(raw);
    EXPECT_EQ(order(c), (std::vector<gcn::Widget*>{raw}));
    p.reset();
    // The remaining entry went with the widget: nothing dangles.
    EXPECT_TRUE(c.getChildren().empty());
}

TEST(ContainerTest, ADeathNoticeForAStrangerIsIgnored) {
    Log log;
    gcn::Container c;
    Probe a("a", &log);
    c.add(&a);
    {
        Probe stranger("s", &log);
        stranger.addDeathListener(&c);
    }
    EXPECT_EQ(order(c), (std::vector<gcn::Widget*>{&a}));
}

TEST(ContainerTest, DestroyingAContainerReleasesButKeepsItsChildren) {
    Log log;
    Probe a("a", &log);
    gcn::FocusHandler fh;
    {
        gcn::Container c;
        c._setFocusHandler(&fh);
        c.add(&a);
        EXPECT_EQ(a.getParent(), &c);
        EXPECT_EQ(a._getFocusHandler(), &fh);
    }
    EXPECT_TRUE(gcn::Widget::widgetExists(&a));
    EXPECT_EQ(a.getParent(), nullptr);
    EXPECT_EQ(a._getFocusHandler(), nullptr);
    EXPECT_TRUE(fh.getWidgets().empty());
}

TEST(ContainerTest, ClearDetachesEveryChild) {
    Log log;
    gcn::Container c;
    Probe a("a", &log);
    c.add(&a);
    c.add(&a);
    c.clear();
    EXPECT_TRUE(c.getChildren().empty());
    EXPECT_EQ(a.getParent(), nullptr);
    // No registration is left: a later death notice cannot reach c.
    gcn::Container other;
    other.add(&a);
    other.remove(&a);
}

class ContainerLog : public gcn::ContainerListener {
public:
    void widgetAdded(const gcn::ContainerEvent& e) override {
        events.push_back("added");
        last_source = e.getSource();
        last_container = e.getContainer();
    }
    void widgetRemoved(const gcn::ContainerEvent& e) override {
        events.push_back("removed");
        last_source = e.getSource();
    }
    std::vector<std::string> events;
    gcn::Widget* last_source = nullptr;
    gcn::Container* last_container = nullptr;
};

TEST(ContainerTest, AddAndRemoveTellContainerListeners) {
    Log log;
    gcn::Container c;
    ContainerLog cl;
    c.addContainerListener(&cl);
    Probe a("a", &log);
    c.add(&a, 7, 8);
    EXPECT_EQ(a.getX(), 7);
    EXPECT_EQ(a.getY(), 8);
    EXPECT_EQ(cl.last_source, &a);
    EXPECT_EQ(cl.last_container, &c);
    c.remove(&a);
    EXPECT_THROW(c.remove(&a), gcn::Exception);
    c.add(&a);
    c.clear();
    EXPECT_EQ(cl.events, (std::vector<std::string>{"added", "removed", "added"}));
}

TEST(ContainerTest, FindWidgetByIdSearchesNestedContainers) {
    Log log;
    gcn::Container top;
    gcn::Container panel;
    Probe a("a", &log);
    Probe b("b", &log);
    a.setId("first");
    b.setId("deep");
    top.add(&a);
    top.add(&panel);
    panel.add(&b);
    EXPECT_EQ(top.findWidgetById("first"), &a);
    EXPECT_EQ(top.findWidgetById("deep"), &b);
    EXPECT_EQ(top.findWidgetById("Deep"), nullptr);
}

TEST(ContainerTest, ResizeToContentReachesTheFarthestChildEdges) {
    Log log;
    gcn::Container c;
    c.resizeToContent();
    EXPECT_EQ(c.getDimension(), Rectangle(0, 0, 0, 0));
    Probe a("a", &log, 5, 40, 10, 10);
    Probe b("b", &log, 30, 2, 20, 5);
    c.add(&a);
    c.add(&b);
    c.resizeToContent();
    EXPECT_EQ(c.getWidth(), 50);
    EXPECT_EQ(c.getHeight(), 50);
}

TEST(ContainerTest, ShowWidgetPartMovesTheChildSoTheAreaIsInside) {
    Log log;
    gcn::Container c;
    c.setSize(100, 50);
    Probe big("big", &log, 0, 0, 300, 300);
    c.add(&big);
    big.showPart(Rectangle(150, 120, 20, 10));
    EXPECT_EQ(big.getX(), -70);
    EXPECT_EQ(big.getY(), -80);
    big.showPart(Rectangle(10, 5, 20, 10));
    EXPECT_EQ(big.getX(), -10);
    EXPECT_EQ(big.getY(), -5);
}

TEST(ContainerTest, InternalFocusHandlerGoesToTheChildren) {
    Log log;
    gcn::FocusHandler outer;
    gcn::FocusHandler inner;
    gcn::Container c;
    Probe a("a", &log);
    c.add(&a);
    c._setFocusHandler(&outer);
    EXPECT_EQ(a._getFocusHandler(), &outer);
    c.setInternalFocusHandler(&inner);
    EXPECT_EQ(a._getFocusHandler(), &inner);
    EXPECT_EQ(c._getFocusHandler(), &outer);
    Probe b("b", &log);
    c.add(&b);
    EXPECT_EQ(b._getFocusHandler(), &inner);
    c.setInternalFocusHandler(nullptr);
    EXPECT_EQ(a._getFocusHandler(), &outer);
}

TEST(IconTest, TakesTheImageSizeAndDrawsItCentred) {
    gcntest::PixelImage img(4, 2, Color(6, 6, 6));
    gcn::Icon icon(&img);
    EXPECT_EQ(icon.getWidth(), 4);
    EXPECT_EQ(icon.getHeight(), 2);
    icon.setSize(9, 6);
    PixelGraphics g(10, 10);
    g._beginDraw();
    icon.draw(&g);
    g._endDraw();
    // ((9 - 4) / 2, (6 - 2) / 2) = (2, 2).
    EXPECT_EQ(g.at(2, 2), Color(6, 6, 6));
    EXPECT_EQ(g.at(5, 3), Color(6, 6, 6));
    EXPECT_EQ(g.count(Color(6, 6, 6)), 8);
    icon.setImage(nullptr);
    g.clear();
    g._beginDraw();
    icon.draw(&g);
    g._endDraw();
    EXPECT_EQ(g.count(Color(6, 6, 6)), 0);
}

}  // namespace
