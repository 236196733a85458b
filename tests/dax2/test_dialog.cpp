// Dialogs without a display: the dialog base's buttons, keys, right click
// and layout; the plain text dialog's wrap width; the message dialog's class
// choice, msg.ini and jump; class-1 messages reaching the game loop's dialog
// stack; and the screen base's on-screen message buttons.
#include <gtest/gtest.h>

#include <allegro5/allegro.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "al5gcn/allegro5input.hpp"
#include "dax2/dax_dialog.h"
#include "dax2/dax_gameloop.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_menu_ifc.h"
#include "dax2/dax_msg.h"
#include "dax2/dax_platform.h"
#include "gcn/font.hpp"
#include "gcn/gui.hpp"
#include "gcn/key.hpp"
#include "support/allegro_env.h"
#include "support/dax_probe.h"
#include "support/temp_dir.h"

namespace {

// Texts the dialogs use, and a user folder of their own for msg.ini.
class DialogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        zorInitAllegro();
        saved_user_ = dax_config.user_dir_;
        saved_lines_ = dax_config.msg_num_lines_;
        saved_x_ = dax_config.msg_show_x_;
        saved_y_ = dax_config.msg_show_y_;
        dax_config.user_dir_ = dir_.path();
        dax_strings.addString(100, "Fine", false);
        dax_strings.addString(110, "Ask me", false);
        dax_strings.addString(111, "List it", false);
        dax_strings.addString(112, "Log it", false);
    }
    void TearDown() override {
        daxIniOpenOverlay(nullptr);
        daxIniOpenBase(nullptr);
        dax_config.user_dir_ = saved_user_;
        dax_config.msg_num_lines_ = saved_lines_;
        dax_config.msg_show_x_ = saved_x_;
        dax_config.msg_show_y_ = saved_y_;
    }

    TempDir dir_;
    std::string saved_user_;
    int saved_lines_ = 0;
    int saved_x_ = 0;
    int saved_y_ = 0;
};

// A dialog base that records its hooks and holds a fixed-size content.
class HookDialog : public DaxDialogBase {
public:
    HookDialog(const char* caption, const char* cancel, const char* third, float min_open = 0.5f)
        : DaxDialogBase(caption, "Ok", cancel, third) {
        min_open_time_ = min_open;
        block_.setSize(100, 40);
        content_.add(&block_, 0, 0);
        adjustSize();
    }
    void onOk() override { hooks += "ok "; }
    void onCancel() override { hooks += "cancel "; }
    void onThirdButton() override { hooks += "third "; }

    std::string hooks;
    gcn::Container block_;
};

// ---------------------------------------------------------------------------
// Dialog base.

TEST_F(DialogFixture, EachButtonSetsItsResultAndCallsItsHook) {
    struct Case {
        const char* name;
        bool (DaxDialogBase::*press)();
        int result;
        const char* hooks;
    };
    const Case cases[] = {
        {"ok", &DaxDialogBase::pressOk, kDaxDialogOk, "ok "},
        {"cancel", &DaxDialogBase::pressCancel, kDaxDialogCancel, "cancel "},
        {"third", &DaxDialogBase::pressThird, kDaxDialogThird, "third "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HookDialog d("Caption", "Cancel", "Third");
        EXPECT_EQ(d.result(), kDaxDialogOpen);
        EXPECT_FALSE(d.isFinished());
        EXPECT_TRUE((d.*c.press)());
        EXPECT_EQ(d.result(), c.result);
        EXPECT_TRUE(d.isFinished());
        EXPECT_EQ(d.hooks, c.hooks);
    }
}

TEST_F(DialogFixture, ButtonsWithoutTextAreHiddenAndDoNothing) {
    HookDialog d("Caption", nullptr, nullptr);
    EXPECT_TRUE(d.okButton().isVisible());
    EXPECT_FALSE(d.cancelButton().isVisible());
    EXPECT_FALSE(d.cancelButton().isEnabled());
    EXPECT_FALSE(d.thirdButton().isVisible());
    EXPECT_FALSE(d.pressCancel());
    EXPECT_FALSE(d.pressThird());
    EXPECT_EQ(d.result(), kDaxDialogOpen);
    EXPECT_EQ(d.hooks, "");
    // The content is the window's first child; the buttons use the
    // framework's colours.
    ASSERT_FALSE(d.window().getChildren().empty());
    EXPECT_EQ(d.window().getChildren().front(), &d.content());
    EXPECT_FALSE(d.content().isOpaque());
    EXPECT_EQ(d.okButton().getBaseColor(), dax_config.button_color_);
    EXPECT_EQ(d.window().getBaseColor(), dax_config.back_color_);
    EXPECT_EQ(d.window().getPadding(), 3u);
    EXPECT_EQ(static_cast<int>(d.window().getTitleBarHeight()), d.window().getFont()->getHeight());
}

TEST_F(DialogFixture, EscapeCancelsOrConfirmsAndEnterConfirms) {
    struct Case {
        const char* name;
        bool with_cancel;
        int key;
        bool consumed_before;
        int result;
    };
    const Case cases[] = {
        {"escape with cancel", true, gcn::Key::Escape, false, kDaxDialogCancel},
        {"escape without cancel acts as ok", false, gcn::Key::Escape, false, kDaxDialogOk},
        {"enter", true, gcn::Key::Enter, false, kDaxDialogOk},
        {"another key", true, 'a', false, kDaxDialogOpen},
        {"a consumed escape", true, gcn::Key::Escape, true, kDaxDialogOpen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HookDialog d("Caption", c.with_cancel ? "Cancel" : nullptr, nullptr);
        gcn::KeyEvent e = keyPressEvent(c.key);
        if (c.consumed_before) {
            e.consume();
        }
        d.keyPressed(e);
        EXPECT_EQ(d.result(), c.result);
        EXPECT_EQ(e.isConsumed(), c.consumed_before || c.result != kDaxDialogOpen);
    }
}

TEST_F(DialogFixture, ARightClickClosesOnlyAfterTheMinimumOpenTime) {
    HookDialog with_cancel("Caption", "Cancel", nullptr);
    EXPECT_EQ(with_cancel.shownTime(), 0u);
    with_cancel.getContainer();
    const uint32_t shown = with_cancel.shownTime();
    EXPECT_NE(shown, 0u);
    with_cancel.getContainer();
    EXPECT_EQ(with_cancel.shownTime(), shown);  // the first display counts

    EXPECT_FALSE(with_cancel.rightClick(shown + 49));
    EXPECT_EQ(with_cancel.result(), kDaxDialogOpen);
    EXPECT_TRUE(with_cancel.rightClick(shown + 50));
    EXPECT_EQ(with_cancel.result(), kDaxDialogCancel);

    HookDialog ok_only("Caption", nullptr, nullptr);
    ok_only.getContainer();
    EXPECT_TRUE(ok_only.rightClick(ok_only.shownTime() + 50));
    EXPECT_EQ(ok_only.result(), kDaxDialogOk);
}

TEST_F(DialogFixture, ARightClickThroughTheGuiReachesTheDialogAndIsConsumed) {
    HookDialog d("Caption", "Cancel", nullptr, 0.0f);
    gcn::Allegro5Input input;
    gcn::Gui gui;
    gui.setInput(&input);
    gui.setTop(d.getContainer());
    int x = 0;
    int y = 0;
    d.content().getAbsolutePosition(x, y);
    auto mouse = [&](ALLEGRO_EVENT_TYPE type, int button) {
        ALLEGRO_EVENT e{};
        e.type = type;
        e.mouse.type = type;
        e.mouse.x = x + 5;  // on the content, a child of the window
        e.mouse.y = y + 5;
        e.mouse.button = static_cast<unsigned>(button);
        input.pushInput(e);
    };
    // A left click on the window does nothing.
    mouse(ALLEGRO_EVENT_MOUSE_BUTTON_DOWN, 1);
    mouse(ALLEGRO_EVENT_MOUSE_BUTTON_UP, 1);
    gui.logic();
    EXPECT_EQ(d.result(), kDaxDialogOpen);
    mouse(ALLEGRO_EVENT_MOUSE_BUTTON_DOWN, 2);
    mouse(ALLEGRO_EVENT_MOUSE_BUTTON_UP, 2);
    gui.logic();
    EXPECT_EQ(d.result(), kDaxDialogCancel);
    gui.setTop(nullptr);
}

TEST_F(DialogFixture, AdjustSizeLaysTheButtonsOutBelowTheContentAndCentresTheWindow) {
    struct Case {
        const char* name;
        const char* caption;
        const char* cancel;
        const char* third;
    };
    const Case cases[] = {
        {"ok only", "Hi", nullptr, nullptr},
        {"ok and cancel", "Hi", "Cancel", nullptr},
        {"all three", "Hi", "Cancel", "Third button"},
        {"a caption wider than everything", "A caption far wider than the content of the dialog", nullptr, nullptr},
    };
    int dw = 0;
    int dh = 0;
    daxDialogDisplaySize(dw, dh);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HookDialog d(c.caption, c.cancel, c.third);
        const gcn::Window& w = d.window();
        const gcn::Font* font = w.getFont();
        int row = d.okButton().getWidth();
        if (c.third) {
            row += d.thirdButton().getWidth() + 8;
        }
        if (c.cancel) {
            row += d.cancelButton().getWidth() + 8;
        }
        const int inner = std::max({100, row, font->getWidth(c.caption)}) + 16;
        EXPECT_EQ(w.getWidth(), inner + 6);
        EXPECT_EQ(w.getHeight(), static_cast<int>(w.getTitleBarHeight()) + d.okButton().getHeight() + 40 + 32);
        EXPECT_EQ(d.content().getX(), (inner - 100) / 2);
        EXPECT_EQ(d.content().getY(), 8);
        EXPECT_EQ(d.okButton().getX(), (inner - row) / 2);
        EXPECT_EQ(d.okButton().getY(), 40 + 16);
        int next = d.okButton().getX() + d.okButton().getWidth() + 8;
        if (c.third) {
            EXPECT_EQ(d.thirdButton().getX(), next);
            EXPECT_EQ(d.thirdButton().getY(), 56);
            next += d.thirdButton().getWidth() + 8;
        }
        if (c.cancel) {
            EXPECT_EQ(d.cancelButton().getX(), next);
            EXPECT_EQ(d.cancelButton().getY(), 56);
        }
        EXPECT_EQ(w.getX(), (dw - w.getWidth()) / 2);
        EXPECT_EQ(w.getY(), (dh - w.getHeight()) / 2);
    }
}

// ---------------------------------------------------------------------------
// Plain text dialog.

TEST(DaxDialogWrap, TheCaptionWidthIsKeptBetweenHalfAndThreeQuartersOfTheDisplay) {
    EXPECT_EQ(DaxDialog::wrapWidth(40, 1024), 512);
    EXPECT_EQ(DaxDialog::wrapWidth(600, 1024), 600);
    EXPECT_EQ(DaxDialog::wrapWidth(900, 1024), 768);
    EXPECT_EQ(DaxDialog::wrapWidth(0, 800), 400);
}

TEST_F(DialogFixture, ADialogWrapsItsTextAtHalfTheDisplayForAShortCaption) {
    int dw = 0;
    int dh = 0;
    daxDialogDisplaySize(dw, dh);
    std::string text;
    for (int i = 0; i < 60; ++i) {
        text += "word ";
    }
    text += "\nlast line";
    DaxDialog d("Info", text.c_str(), "Ok", nullptr, nullptr);
    const gcn::TextBox& box = d.textBox();
    EXPECT_FALSE(box.isEditable());
    EXPECT_EQ(box.getBackgroundColor(), dax_config.button_color_);
    ASSERT_GT(box.getNumberOfRows(), 2);
    const gcn::Font* font = box.getFont();
    const int wrap = dw / 2;
    for (int r = 0; r + 2 < box.getNumberOfRows(); ++r) {
        SCOPED_TRACE(r);
        // A row ends at the first space where it reached the width.
        const std::string& row = box.getTextRow(r);
        EXPECT_GE(font->getWidth(row), wrap);
        EXPECT_LT(font->getWidth(row.substr(0, row.rfind(' '))), wrap);
    }
    EXPECT_EQ(box.getTextRow(box.getNumberOfRows() - 1), "last line");
    // The box sits in the content, the window round it.
    EXPECT_EQ(box.getParent(), &d.content());
    EXPECT_GE(d.window().getWidth(), box.getWidth() + 16);
}

// ---------------------------------------------------------------------------
// Message dialog.

class GotoRecorder : public DaxMsgGotoCallback {
public:
    void gotoPosition(DaxMapPositionI pos) override { positions.push_back(pos); }
    std::vector<DaxMapPositionI> positions;
};

class RecordingSink : public DaxMsgDialogSinkIfc {
public:
    void showMessageDialog(DaxMsgMgr&, const DaxMessage& msg) override { shown.push_back(msg.number_); }
    std::vector<int> shown;
};

TEST_F(DialogFixture, AMessageDialogShowsTheTextTheOkTextAndAJumpOnlyWithAPosition) {
    DaxMsgMgr mgr;
    struct Case {
        DaxMapPositionI pos;
        bool jump;
    };
    const Case cases[] = {
        {DaxMapPositionI::none(), false},
        {DaxMapPositionI(-1, 5), false},
        {DaxMapPositionI(5, -1), false},
        {DaxMapPositionI(0, 0), true},
        {DaxMapPositionI(12, 7), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.pos.x) + "," + std::to_string(c.pos.y));
        DaxMsgDialog d(&mgr, 2400, "Hello there", c.pos);
        EXPECT_EQ(d.textBox().getText(), "Hello there");
        EXPECT_FALSE(d.textBox().isEditable());
        EXPECT_EQ(d.okButton().getCaption(), "Fine");
        EXPECT_FALSE(d.cancelButton().isVisible());
        EXPECT_EQ(d.thirdButton().isVisible(), c.jump);
        if (c.jump) {
            EXPECT_EQ(d.thirdButton().getCaption(), "--->>");
        }
        EXPECT_FLOAT_EQ(d.minOpenTime(), 1.5f);
        EXPECT_EQ(d.window().getCaption(), "");
        EXPECT_EQ(d.modeButton(1).getCaption(), "Ask me");
        EXPECT_EQ(d.modeButton(2).getCaption(), "List it");
        EXPECT_EQ(d.modeButton(3).getCaption(), "Log it");
    }
}

TEST_F(DialogFixture, AMessageDialogClosesOnARightClickOnlyAfterOneAndAHalfSeconds) {
    DaxMsgMgr mgr;
    DaxMsgDialog d(&mgr, 2400, "text", DaxMapPositionI::none());
    d.getContainer();
    EXPECT_FALSE(d.rightClick(d.shownTime() + 149));
    EXPECT_FALSE(d.isFinished());
    EXPECT_TRUE(d.rightClick(d.shownTime() + 150));
    EXPECT_EQ(d.result(), kDaxDialogOk);
}

TEST_F(DialogFixture, TheRadioButtonsShowTheCurrentClassAndEachDialogHasItsOwnGroup) {
    DaxMsgMgr mgr;
    mgr.setMode(2401, kDaxMsgLogOnly);
    DaxMsgDialog a(&mgr, 2401, "a", DaxMapPositionI::none());
    DaxMsgDialog b(&mgr, 150, "b", DaxMapPositionI::none());  // default class 2
    EXPECT_TRUE(a.modeButton(3).isSelected());
    EXPECT_EQ(a.chosenMode(), kDaxMsgLogOnly);
    EXPECT_TRUE(b.modeButton(2).isSelected());
    EXPECT_NE(a.modeButton(1).getGroup(), b.modeButton(1).getGroup());
    EXPECT_EQ(a.modeButton(1).getGroup(), a.modeButton(3).getGroup());

    a.modeButton(1).setSelected(true);
    EXPECT_FALSE(a.modeButton(3).isSelected());
    EXPECT_TRUE(b.modeButton(2).isSelected());  // another dialog's choice stays
    EXPECT_EQ(a.chosenMode(), kDaxMsgDialog);
}

TEST_F(DialogFixture, ChoosingLogOnlyWritesMsgIniAtOnceAndLaterPostsOnlyLog) {
    DaxMsgMgr mgr;
    RecordingSink sink;
    mgr.setDialogSink(&sink);
    mgr.postNoPos(2500, "first");
    ASSERT_EQ(sink.shown.size(), 1u);

    DaxMsgDialog d(&mgr, 2500, "first", DaxMapPositionI::none());
    d.modeButton(3).setSelected(true);
    gcn::KeyEvent enter = keyPressEvent(gcn::Key::Enter);
    d.keyPressed(enter);
    EXPECT_EQ(d.result(), kDaxDialogOk);
    EXPECT_EQ(TempDir::read(dir_.file("msg.ini")).find("2500=3") != std::string::npos, true)
        << TempDir::read(dir_.file("msg.ini"));

    mgr.postNoPos(2500, "second");
    EXPECT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(mgr.screenCount(), 0u);
    EXPECT_EQ(mgr.history().size(), 2u);
    // A fresh manager (the next start of the program) reads the choice.
    DaxMsgMgr next;
    EXPECT_EQ(next.modeOf(2500), kDaxMsgLogOnly);
}

TEST_F(DialogFixture, TheJumpButtonGoesToThePositionAndClosesAsOk) {
    DaxMsgMgr mgr;
    GotoRecorder go;
    mgr.setGotoCallback(&go);
    DaxMsgDialog d(&mgr, 2600, "over there", DaxMapPositionI(12, 7));
    d.modeButton(2).setSelected(true);
    EXPECT_TRUE(d.pressThird());
    ASSERT_EQ(go.positions.size(), 1u);
    EXPECT_EQ(go.positions[0], DaxMapPositionI(12, 7));
    EXPECT_EQ(d.result(), kDaxDialogOk);
    EXPECT_EQ(mgr.modeOf(2600), kDaxMsgScreen);

    // Without a goto callback the button only closes the dialog.
    mgr.setGotoCallback(nullptr);
    DaxMsgDialog e(&mgr, 2601, "over there", DaxMapPositionI(1, 1));
    EXPECT_TRUE(e.pressThird());
    EXPECT_EQ(e.result(), kDaxDialogOk);
    EXPECT_EQ(go.positions.size(), 1u);
}

// ---------------------------------------------------------------------------
// Class-1 messages on the running loop, and the on-screen list.

class PlainScreen : public DaxSubMenuIfc {
public:
    gcn::Container* getContainer() override { return &container; }
    gcn::Container container;
};

class QuietCallback : public DaxLoopGameCallback {
public:
    void updateGame() override {}
    void windowClosing() override {}
    bool dialogsBlocked() override { return false; }
};

// A started game loop with manual ticks on a plain screen; puts back the
// message manager's sink when it goes.
class RunningLoop {
public:
    RunningLoop() {
        handler_.registerMenu(1, [](int) { return new PlainScreen; }, 1, false, false);
        handler_.requestState(1);
        loop_ = std::make_unique<DaxGameLoop>(&callback_);
        loop_->setManualTicks(true);
        loop_->start();
    }
    ~RunningLoop() {
        loop_->finish();
        loop_.reset();
        handler_.deleteAllInstances();
        dax_msgmgr.setDialogSink(before_);
    }
    DaxGameLoop& loop() { return *loop_; }

private:
    QuietCallback callback_;
    DaxMenuHandler handler_;
    DaxMsgDialogSinkIfc* before_ = dax_msgmgr.dialogSink();
    std::unique_ptr<DaxGameLoop> loop_;
};

TEST_F(DialogFixture, WhileTheLoopRunsClassOneMessagesOpenDialogsOnItsStack) {
    {
        RunningLoop running;
        DaxGameLoop& loop = running.loop();
        EXPECT_EQ(dax_msgmgr.dialogSink(), daxMsgDialogSink());

        dax_msgmgr.setMode(2777, kDaxMsgDialog);
        dax_msgmgr.setMode(1777, kDaxMsgScreen);
        const size_t listed = dax_msgmgr.screenCount();
        dax_msgmgr.post(2777, "a dialog message", DaxMapPositionI(4, 2));
        dax_msgmgr.postNoPos(1777, "a list message");
        ASSERT_EQ(loop.dialogs().size(), 1u);
        auto* d = dynamic_cast<DaxMsgDialog*>(loop.dialogs().back());
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->number(), 2777);
        EXPECT_EQ(d->textBox().getText(), "a dialog message");
        EXPECT_EQ(d->position(), DaxMapPositionI(4, 2));
        EXPECT_TRUE(d->thirdButton().isVisible());
        EXPECT_GE(dax_msgmgr.screenCount(), std::min<size_t>(listed + 1, dax_config.msg_num_lines_));
        EXPECT_EQ(dax_msgmgr.screenMessages().back().text_, "a list message");

        // The loop shows the dialog; Enter closes it and the next pass
        // deletes it.
        loop.addPendingTicks(1);
        loop.step();
        EXPECT_EQ(loop.dialogGui()->getTop(), &d->window());
        gcn::KeyEvent enter = keyPressEvent(gcn::Key::Enter);
        loop.keyPressed(enter);
        EXPECT_TRUE(d->isFinished());
        loop.addPendingTicks(1);
        loop.step();
        EXPECT_TRUE(loop.dialogs().empty());
        loop.finish();
        EXPECT_EQ(dax_msgmgr.dialogSink(), nullptr);
    }
}

TEST_F(DialogFixture, AMessageThatStillWaitsInADialogIsNotStackedAgain) {
    {
        RunningLoop running;
        DaxGameLoop& loop = running.loop();
        dax_msgmgr.setMode(2778, kDaxMsgDialog);
        const size_t history = dax_msgmgr.history().size();
        // A building posts the same message at every try while nobody reads
        // it; another text or another place is another message.
        for (int i = 0; i < 5; ++i) dax_msgmgr.post(2778, "no road", DaxMapPositionI(4, 2));
        dax_msgmgr.post(2778, "no road", DaxMapPositionI(5, 2));
        dax_msgmgr.post(2778, "no water", DaxMapPositionI(4, 2));
        EXPECT_EQ(loop.dialogs().size(), 3u);
        EXPECT_EQ(dax_msgmgr.history().size(), history + 7);
        // Once read, the message opens a dialog again.
        auto* first = dynamic_cast<DaxMsgDialog*>(loop.dialogs().front());
        ASSERT_NE(first, nullptr);
        EXPECT_TRUE(first->pressOk());
        dax_msgmgr.post(2778, "no road", DaxMapPositionI(4, 2));
        EXPECT_EQ(loop.dialogs().size(), 4u);
    }
}

TEST_F(DialogFixture, WithoutALoopTheSinkOnlyLogs) {
    ASSERT_EQ(dax_game_loop, nullptr);
    DaxMsgMgr mgr;
    mgr.setDialogSink(daxMsgDialogSink());
    mgr.postNoPos(2800, "nobody to show it");
    EXPECT_EQ(mgr.history().size(), 1u);
}

// A screen of 800 x 600 on the message base, with the bar added.
class MsgScreen : public DaxMenuScreenMsgBase {
public:
    explicit MsgScreen(DaxMsgMgr* mgr) : DaxMenuScreenMsgBase(mgr) {
        setSize(800, 600);
        add(&messageBar(), 0, 0);
    }
    int visibleButtons() {
        int n = 0;
        for (size_t i = 0; i < messageButtonCount(); ++i) {
            n += messageButton(i).isVisible() ? 1 : 0;
        }
        return n;
    }
};

TEST_F(DialogFixture, TheMessageBarShowsOneButtonPerQueuedMessage) {
    dax_config.msg_num_lines_ = 4;
    dax_config.msg_show_x_ = 0;
    dax_config.msg_show_y_ = 30;
    DaxMsgMgr mgr;
    MsgScreen screen(&mgr);
    ASSERT_EQ(screen.messageButtonCount(), 4u);
    EXPECT_EQ(screen.getContainer(), &screen);
    screen.logic();
    EXPECT_FALSE(screen.messageBar().isVisible());
    EXPECT_EQ(screen.visibleButtons(), 0);

    mgr.postNoPos(101, "one");
    mgr.postNoPos(102, "two, a longer text");
    screen.logic();
    EXPECT_TRUE(screen.messageBar().isVisible());
    EXPECT_EQ(screen.visibleButtons(), 2);
    EXPECT_EQ(screen.messageButton(0).getCaption(), "one");
    EXPECT_EQ(screen.messageButton(1).getCaption(), "two, a longer text");
    EXPECT_TRUE(screen.messageButton(1).isEnabled());
    EXPECT_FALSE(screen.messageButton(2).isEnabled());
    // Centred at msg_show_y, two buttons high.
    const gcn::ButtonVBar& bar = screen.messageBar();
    EXPECT_EQ(bar.getX(), (800 - bar.getWidth()) / 2);
    EXPECT_EQ(bar.getY(), 30);
    EXPECT_EQ(bar.getHeight(), 2 + 2 * (screen.messageButton(0).getHeight() + 2));
    EXPECT_EQ(screen.messageButton(0).getBaseColor(), dax_config.button_color_);

    dax_config.msg_show_x_ = 15;
    for (int i = 0; i < 3; ++i) {
        mgr.postNoPos(103 + i, "more " + std::to_string(i));
    }
    screen.logic();
    EXPECT_EQ(bar.getX(), 15);
    EXPECT_EQ(screen.visibleButtons(), 4);  // the fifth pushed the first out
    EXPECT_EQ(screen.messageButton(0).getCaption(), "two, a longer text");
    EXPECT_EQ(screen.messageButton(3).getCaption(), "more 2");

    // Messages time out one per frame, and the buttons follow.
    const uint32_t late = mgr.screenMessages().back().real_time_ + dax_config.msg_show_timeout_ * 100 + 1;
    mgr.frame(late);
    mgr.frame(late);
    screen.logic();
    EXPECT_EQ(screen.visibleButtons(), 2);
    EXPECT_EQ(screen.messageButton(0).getCaption(), "more 1");
    mgr.frame(late);
    mgr.frame(late);
    screen.logic();
    EXPECT_FALSE(screen.messageBar().isVisible());
}

TEST_F(DialogFixture, AClickedMessageOpensTheDialogOfTheMessageThePlayerSaw) {
    dax_config.msg_num_lines_ = 4;
    DaxMsgMgr mgr;
    MsgScreen screen(&mgr);
    DaxGameLoop loop(nullptr);
    mgr.post(201, "first", DaxMapPositionI(1, 2));
    mgr.postNoPos(202, "second");
    mgr.postNoPos(203, "third");
    screen.logic();

    EXPECT_TRUE(screen.messageButton(1).fireAction());
    ASSERT_EQ(loop.dialogs().size(), 1u);
    auto* d = dynamic_cast<DaxMsgDialog*>(loop.dialogs().back());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->number(), 202);
    EXPECT_EQ(d->textBox().getText(), "second");

    // The list moves on between the last logic tick and the click: the
    // button still opens what it showed, and one past the list is no crash.
    const uint32_t late = mgr.screenMessages().back().real_time_ + dax_config.msg_show_timeout_ * 100 + 1;
    mgr.frame(late);
    mgr.frame(late);
    ASSERT_EQ(mgr.screenCount(), 1u);
    EXPECT_TRUE(screen.messageButton(2).fireAction());
    EXPECT_TRUE(screen.messageButton(0).fireAction());
    ASSERT_EQ(loop.dialogs().size(), 3u);
    auto* third = dynamic_cast<DaxMsgDialog*>(loop.dialogs()[1]);
    auto* first = dynamic_cast<DaxMsgDialog*>(loop.dialogs()[2]);
    ASSERT_NE(third, nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(third->number(), 203);
    EXPECT_EQ(first->number(), 201);
    EXPECT_EQ(first->position(), DaxMapPositionI(1, 2));

    // Another source is not a message button.
    gcn::Button other("other");
    screen.action(gcn::ActionEvent(&other, ""));
    EXPECT_EQ(loop.dialogs().size(), 3u);
}

}  // namespace
