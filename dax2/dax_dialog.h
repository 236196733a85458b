// The framework's modal dialogs and the screen base with the on-screen
// message list. DaxDialogBase is a window with a caption, a content
// container and up to three buttons (ok, cancel, third) that records which
// one closed it; DaxDialog shows a word-wrapped text; DaxMsgDialog shows a
// posted message, lets the player choose how that message number is shown
// from now on and can jump to the message's map position. Dialogs go on the
// game loop's dialog stack, which deletes them once they are finished.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dax2/dax_dialog_ifc.h"
#include "dax2/dax_geometry.h"
#include "dax2/dax_msg.h"
#include "gcn/listeners.hpp"
#include "gcn/widgets/button.hpp"
#include "gcn/widgets/buttonbar.hpp"
#include "gcn/widgets/container.hpp"
#include "gcn/widgets/radiobutton.hpp"
#include "gcn/widgets/textbox.hpp"
#include "gcn/widgets/window.hpp"

// Results of a dialog.
enum : int {
    kDaxDialogOpen = -1,
    kDaxDialogOk = 1,
    kDaxDialogCancel = 2,
    kDaxDialogThird = 3,
};

// The size dialogs lay themselves out for: the current display's, or
// 1024 x 768 (the smallest window the program opens) without one.
void daxDialogDisplaySize(int& width, int& height);

// The numbered text, or fallback when the language has no such number (a
// dialog must open even with an incomplete language file).
std::string daxTextOr(int number, const char* fallback);

class DaxDialogBase : public DaxDialogIfc, public gcn::ActionListener, public gcn::MouseListener {
public:
    // The ok button is always shown; the cancel and third buttons only when
    // their text is given (not null). The caption may be null.
    DaxDialogBase(const char* caption, const char* ok_text, const char* cancel_text, const char* third_text);
    ~DaxDialogBase() override;
    DaxDialogBase(const DaxDialogBase&) = delete;
    DaxDialogBase& operator=(const DaxDialogBase&) = delete;

    // DaxSubMenuIfc: the window; the first call marks the time the dialog
    // was first shown.
    gcn::Container* getContainer() override;
    // Escape presses cancel (ok when there is no cancel button), Enter
    // presses ok; then the default screen keys (screenshots, F1).
    void keyPressed(gcn::KeyEvent& event) override;
    // DaxDialogIfc
    bool isFinished() override { return result_ > 0; }

    // gcn::ActionListener: one of the three buttons was clicked. Subclasses
    // with buttons of their own pass other sources on to this.
    void action(const gcn::ActionEvent& event) override;
    // gcn::MouseListener: a right click on the window closes the dialog
    // (cancel, else ok) once it has been shown for the minimum open time.
    void mouseClicked(gcn::MouseEvent& event) override;

    // Sizes the window round the content and the button row and centres it
    // on the display; subclasses call it after filling the content.
    void adjustSize();

    // A right click at real time now (hundredths of a second); returns
    // whether it closed the dialog.
    bool rightClick(uint32_t now);
    // Presses a button as a click would; false when it is disabled.
    bool pressOk() { return ok_.fireAction(); }
    bool pressCancel() { return cancel_.fireAction(); }
    bool pressThird() { return third_.fireAction(); }

    // kDaxDialogOpen until a button closed the dialog.
    int result() const { return result_; }
    uint32_t shownTime() const { return shown_time_; }
    float minOpenTime() const { return min_open_time_; }
    gcn::Window& window() { return window_; }
    gcn::Container& content() { return content_; }
    gcn::Button& okButton() { return ok_; }
    gcn::Button& cancelButton() { return cancel_; }
    gcn::Button& thirdButton() { return third_; }

protected:
    // Fires the cancel button when it is enabled, else the ok button.
    bool pressCancelOrOk();

    gcn::Window window_;
    gcn::Container content_;
    gcn::Button third_;
    gcn::Button ok_;
    gcn::Button cancel_;
    // Seconds the dialog stays up before a right click may close it.
    float min_open_time_ = 0.5f;
    int result_ = kDaxDialogOpen;
    // daxRealTime of the first getContainer; 0 before.
    uint32_t shown_time_ = 0;
};

// A dialog with a word-wrapped text.
class DaxDialog : public DaxDialogBase {
public:
    // The text is wrapped at the caption's width, but at least half and at
    // most three quarters of the display's width.
    DaxDialog(const char* caption, const char* text, const char* ok_text, const char* cancel_text,
              const char* third_text);

    gcn::TextBox& textBox() { return text_box_; }
    // The wrap width for a caption of caption_width pixels on a display
    // display_width pixels wide.
    static int wrapWidth(int caption_width, int display_width);

protected:
    gcn::TextBox text_box_;
};

// The dialog of a posted message (display class 1, or a click on the
// on-screen list): the text, a choice of the number's display class and,
// for a message with a map position, a third button "--->>" that jumps the
// view there.
class DaxMsgDialog : public DaxDialogBase {
public:
    // mgr is not owned and must outlive the dialog.
    DaxMsgDialog(DaxMsgMgr* mgr, int number, const std::string& text, DaxMapPositionI pos);
    ~DaxMsgDialog() override;

    // Stores the chosen display class of the number.
    void onOk() override;
    // Jumps to the position (when a goto callback is registered), then
    // closes as ok.
    void onThirdButton() override;

    // The class the radio buttons choose now: 1, 2 or 3.
    int chosenMode() const;
    gcn::RadioButton& modeButton(int mode) { return radio_[mode - 1]; }
    gcn::TextBox& textBox() { return text_box_; }
    int number() const { return number_; }
    DaxMapPositionI position() const { return pos_; }

    // Whether a message dialog of this number, text and position exists and
    // is not finished yet, somewhere on the dialog stack.
    static bool isWaiting(int number, const std::string& text, DaxMapPositionI pos);

private:
    DaxMsgMgr* mgr_;
    gcn::ButtonVBar vbar_;
    gcn::TextBox text_box_;
    gcn::ButtonHBar hbar_;
    gcn::RadioButton radio_[3];
    int number_;
    std::string text_;
    DaxMapPositionI pos_;
};

// Base of a screen that shows the on-screen messages as a column of buttons;
// a click on one opens its message dialog. The subclass adds messageBar() to
// its container (the bar places itself at msg_show_x, msg_show_y, or centred
// when msg_show_x is 0).
class DaxMenuScreenMsgBase : public DaxSubMenuIfc, public gcn::Container, public gcn::ActionListener {
public:
    // One hidden button per possible on-screen message (msg_num_lines). The
    // manager is not owned.
    explicit DaxMenuScreenMsgBase(DaxMsgMgr* mgr = &dax_msgmgr);
    // Deletes the message buttons.
    ~DaxMenuScreenMsgBase() override;

    // DaxSubMenuIfc: the screen itself.
    gcn::Container* getContainer() override { return this; }
    // Shows one button per queued on-screen message, places the bar, then
    // runs the container's logic.
    void logic() override;
    // A click on a message button opens that message's dialog; other
    // sources are ignored.
    void action(const gcn::ActionEvent& event) override;

    gcn::ButtonVBar& messageBar() { return msg_bar_; }
    size_t messageButtonCount() const { return msg_buttons_.size(); }
    gcn::Button& messageButton(size_t i) { return *msg_buttons_.at(i); }

protected:
    gcn::ButtonVBar msg_bar_;
    std::vector<gcn::Button*> msg_buttons_;
    // The message each visible button showed at the last logic tick: a click
    // opens what the player saw, even when the list moved on since.
    std::vector<DaxMessage> shown_;
    DaxMsgMgr* msgmgr_;
};

// Opens a DaxMsgDialog on the running game loop for every class-1 message,
// except one whose dialog still waits there: while dialogs wait (a build
// mode is armed) the game runs on, and a building would stack the same
// message again and again.
class DaxMsgDialogSink : public DaxMsgDialogSinkIfc {
public:
    void showMessageDialog(DaxMsgMgr& mgr, const DaxMessage& msg) override;
};

// The program's sink: installed with dax_msgmgr while the game loop runs.
DaxMsgDialogSink* daxMsgDialogSink();
void daxInstallMsgDialogSink();
// Uninstalls it (another sink installed meanwhile stays).
void daxRemoveMsgDialogSink();
