// The focus handler: focus moves and their event order, walks and tabbing,
// modal focus, and what unregistering a widget clears.
#include <gtest/gtest.h>

#include <memory>

#include "gcn/exception.hpp"
#include "gcn/focushandler.hpp"
#include "gcn/widgets/container.hpp"
#include "gcn_fakes.hpp"

namespace {

using gcntest::Log;
using gcntest::Probe;

class FocusHandlerTest : public ::testing::Test {
protected:
    FocusHandlerTest() : a("A", &log), b("B", &log), c("C", &log) {
        for (Probe* p : {&a, &b, &c}) {
            p->setFocusable(true);
            p->_setFocusHandler(&fh);
        }
    }

    Log log;
    gcn::FocusHandler fh;
    Probe a;
    Probe b;
    Probe c;
};

TEST_F(FocusHandlerTest, RequestFocusSendsLostBeforeGained) {
    fh.requestFocus(&a);
    EXPECT_EQ(log, (Log{"A:gained"}));
    fh.requestFocus(&a);
    EXPECT_EQ(log.size(), 1u);
    fh.requestFocus(&b);
    EXPECT_EQ(log, (Log{"A:gained", "A:lost", "B:gained"}));
    fh.requestFocus(nullptr);
    EXPECT_EQ(fh.getFocused(), &b);
}

TEST_F(FocusHandlerTest, FocusingAnUnregisteredWidgetRaises) {
    Log other_log;
    Probe stranger("S", &other_log);
    fh.requestFocus(&a);
    try {
        fh.requestFocus(&stranger);
        FAIL();
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "Trying to focus a none existing widget.");
        EXPECT_EQ(e.getFunction(), "gcn::FocusHandler::requestFocus");
    }
    EXPECT_EQ(fh.getFocused(), &a);
}

TEST_F(FocusHandlerTest, FocusNextSendsGainedBeforeLostAndSkipsUnfocusable) {
    fh.requestFocus(&a);
    b.setFocusable(false);
    log.clear();
    fh.focusNext();
    EXPECT_EQ(fh.getFocused(), &c);
    EXPECT_EQ(log, (Log{"C:gained", "A:lost"}));
    // Wraps round to A.
    log.clear();
    fh.focusNext();
    EXPECT_EQ(fh.getFocused(), &a);
    fh.focusPrevious();
    EXPECT_EQ(fh.getFocused(), &c);
}

TEST_F(FocusHandlerTest, WalkWithOnlyTheFocusedWidgetFocusableChangesNothing) {
    fh.requestFocus(&a);
    b.setFocusable(false);
    c.setEnabled(false);
    log.clear();
    fh.focusNext();
    fh.focusPrevious();
    fh.tabNext();
    EXPECT_EQ(fh.getFocused(), &a);
    EXPECT_TRUE(log.empty());
}

TEST_F(FocusHandlerTest, WalkWithoutFocusStartsAtEitherEnd) {
    fh.focusNext();
    EXPECT_EQ(fh.getFocused(), &a);
    fh.focusNone();
    fh.focusPrevious();
    EXPECT_EQ(fh.getFocused(), &c);
}

TEST_F(FocusHandlerTest, TabbingHonoursTheTabFlags) {
    fh.requestFocus(&a);
    b.setTabInEnabled(false);
    fh.tabNext();
    EXPECT_EQ(fh.getFocused(), &c);
    c.setTabOutEnabled(false);
    log.clear();
    fh.tabNext();
    fh.tabPrevious();
    EXPECT_EQ(fh.getFocused(), &c);
    EXPECT_TRUE(log.empty());
}

TEST(FocusHandlerModalTest, TabbingStaysInsideTheModalWidget) {
    Log log;
    gcn::FocusHandler fh;
    gcn::Container top;
    gcn::Container dialog;
    Probe out1("O1", &log);
    Probe in1("I1", &log);
    Probe in2("I2", &log);
    Probe out2("O2", &log);
    top._setFocusHandler(&fh);
    top.add(&out1);
    top.add(&dialog);
    dialog.add(&in1);
    dialog.add(&in2);
    top.add(&out2);
    for (Probe* p : {&out1, &in1, &in2, &out2}) {
        p->setFocusable(true);
    }
    fh.requestFocus(&out1);
    dialog.requestModalFocus();
    // The focus lay outside the modal widget: dropped with a notice.
    EXPECT_EQ(fh.getFocused(), nullptr);
    EXPECT_EQ(log.back(), "O1:lost");
    fh.tabNext();
    EXPECT_EQ(fh.getFocused(), &in1);
    fh.tabNext();
    EXPECT_EQ(fh.getFocused(), &in2);
    fh.tabNext();
    EXPECT_EQ(fh.getFocused(), &in1);
    fh.tabPrevious();
    EXPECT_EQ(fh.getFocused(), &in2);
}

TEST_F(FocusHandlerTest, ModalFocusIsExclusive) {
    fh.requestFocus(&a);
    fh.requestModalFocus(&a);
    // The focused widget is the modal one: it keeps the focus.
    EXPECT_EQ(fh.getFocused(), &a);
    fh.requestModalFocus(&a);
    try {
        fh.requestModalFocus(&b);
        FAIL();
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "Another widget already has modal focus.");
    }
    EXPECT_EQ(fh.getModalFocused(), &a);
    fh.releaseModalFocus(&b);
    EXPECT_EQ(fh.getModalFocused(), &a);
    fh.releaseModalFocus(&a);
    EXPECT_EQ(fh.getModalFocused(), nullptr);

    fh.requestModalMouseInputFocus(&b);
    EXPECT_EQ(fh.getFocused(), &a);
    try {
        fh.requestModalMouseInputFocus(&c);
        FAIL();
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "Another widget already has modal input focus.");
    }
    fh.releaseModalMouseInputFocus(&b);
    EXPECT_EQ(fh.getModalMouseInputFocused(), nullptr);
}

TEST_F(FocusHandlerTest, RemoveDropsFocusSilentlyAndClearsOneKeptPointer) {
    fh.requestFocus(&b);
    fh.setDraggedWidget(&b);
    fh.setLastWidgetPressed(&b);
    fh.setLastWidgetWithMouse(&a);
    log.clear();
    fh.remove(&b);
    EXPECT_EQ(fh.getFocused(), nullptr);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(fh.getDraggedWidget(), nullptr);
    EXPECT_EQ(fh.getLastWidgetPressed(), &b);
    EXPECT_EQ(fh.getLastWidgetWithMouse(), &a);
    EXPECT_EQ(fh.getWidgets().size(), 2u);
}

TEST_F(FocusHandlerTest, FocusNoneTellsTheWidgetThatHadIt) {
    fh.focusNone();
    EXPECT_TRUE(log.empty());
    fh.requestFocus(&c);
    fh.focusNone();
    EXPECT_EQ(log, (Log{"C:gained", "C:lost"}));
    EXPECT_FALSE(c.isFocused());
}

// A focus listener that unregisters itself when told.
class OneShot : public gcn::FocusListener {
public:
    explicit OneShot(gcn::Widget* w) : w_(w) {}
    void focusGained(const gcn::Event&) override {
        ++calls;
        w_->removeFocusListener(this);
    }
    int calls = 0;

private:
    gcn::Widget* w_;
};

TEST_F(FocusHandlerTest, ListenersMayUnregisterWhileTold) {
    OneShot once(&a);
    a.addFocusListener(&once);
    fh.requestFocus(&a);
    EXPECT_EQ(once.calls, 1);
    EXPECT_EQ(log, (Log{"A:gained"}));
    fh.requestFocus(&b);
    fh.requestFocus(&a);
    EXPECT_EQ(once.calls, 1);
}

// Destroys another widget when its widget gains the focus.
class DestroyOnGain : public gcn::FocusListener {
public:
    explicit DestroyOnGain(std::unique_ptr<Probe>* victim) : victim_(victim) {}
    void focusGained(const gcn::Event&) override { victim_->reset(); }

private:
    std::unique_ptr<Probe>* victim_;
};

TEST_F(FocusHandlerTest, AWidgetDestroyedByTheGainedNoticeGetsNoLostNotice) {
    auto old = std::make_unique<Probe>("O", &log);
    old->setFocusable(true);
    old->_setFocusHandler(&fh);
    fh.requestFocus(old.get());
    DestroyOnGain destroyer(&old);
    a.addFocusListener(&destroyer);
    log.clear();
    // The walk tells the new widget first, then the old one.
    fh.focusNext();
    EXPECT_EQ(fh.getFocused(), &a);
    EXPECT_EQ(old, nullptr);
    EXPECT_EQ(log, (Log{"A:gained"}));
}

TEST(FocusHandlerEmptyTest, WalkingBackwardsOrTabbingOnNothingIsHarmless) {
    gcn::FocusHandler fh;
    fh.focusNext();
    fh.focusPrevious();
    fh.tabNext();
    fh.tabPrevious();
    EXPECT_EQ(fh.getFocused(), nullptr);
}

}  // namespace
