#include "dax2/dax_dialog.h"

#include <allegro5/allegro.h>

#include <algorithm>
#include <memory>

#include "dax2/dax_error.h"
#include "dax2/dax_gameloop.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_platform.h"
#include "gcn/font.hpp"
#include "gcn/key.hpp"

namespace {

// Gaps of the dialog layout, in pixels.
constexpr int kGap = 8;
constexpr int kWindowPadding = 3;

// Texts of the message dialog.
constexpr int kTextOk = 100;
constexpr int kTextModeDialog = 110;
constexpr int kTextModeScreen = 111;
constexpr int kTextModeLog = 112;

// Names the radio group of each message dialog: groups are global by name.
int g_msg_dialog_counter = 0;

void colourButton(gcn::Button& b) {
    b.setBaseColor(dax_config.button_color_);
    b.setBackgroundColor(dax_config.button_color_);
}

}  // namespace

void daxDialogDisplaySize(int& width, int& height) {
    ALLEGRO_DISPLAY* d = al_is_system_installed() ? al_get_current_display() : nullptr;
    if (d) {
        width = al_get_display_width(d);
        height = al_get_display_height(d);
    } else {
        width = 1024;
        height = 768;
    }
}

std::string daxTextOr(int number, const char* fallback) {
    if (dax_strings.hasString(number)) {
        return dax_strings.get(number);
    }
    return fallback ? fallback : "";
}

// ---------------------------------------------------------------------------
// DaxDialogBase

DaxDialogBase::DaxDialogBase(const char* caption, const char* ok_text, const char* cancel_text,
                             const char* third_text)
    : window_(caption), third_(third_text), ok_(ok_text), cancel_(cancel_text) {
    window_.setPadding(kWindowPadding);
    window_.setBaseColor(dax_config.back_color_);
    window_.setBackgroundColor(dax_config.back_color_);
    if (caption && *caption) {
        window_.setTitleBarHeight(static_cast<unsigned>(window_.getFont()->getHeight()));
    }
    content_.setOpaque(false);
    window_.add(&content_);

    for (gcn::Button* b : {&third_, &ok_, &cancel_}) {
        colourButton(*b);
        b->addActionListener(this);
        window_.add(b);
    }
    third_.setEnabled(third_text != nullptr);
    third_.setVisible(third_text != nullptr);
    cancel_.setEnabled(cancel_text != nullptr);
    cancel_.setVisible(cancel_text != nullptr);
    window_.addMouseListener(this);
}

DaxDialogBase::~DaxDialogBase() {
    window_.removeMouseListener(this);
    for (gcn::Button* b : {&third_, &ok_, &cancel_}) {
        b->removeActionListener(this);
    }
}

gcn::Container* DaxDialogBase::getContainer() {
    if (shown_time_ == 0) {
        shown_time_ = daxRealTime();
    }
    return &window_;
}

void DaxDialogBase::action(const gcn::ActionEvent& event) {
    gcn::Widget* source = event.getSource();
    if (source == &ok_ && ok_.isEnabled()) {
        result_ = kDaxDialogOk;
        onOk();
    } else if (source == &cancel_ && cancel_.isEnabled()) {
        result_ = kDaxDialogCancel;
        onCancel();
    } else if (source == &third_ && third_.isEnabled()) {
        result_ = kDaxDialogThird;
        onThirdButton();
    }
}

bool DaxDialogBase::pressCancelOrOk() { return cancel_.isEnabled() ? pressCancel() : pressOk(); }

void DaxDialogBase::keyPressed(gcn::KeyEvent& event) {
    if (!event.isConsumed()) {
        const int key = event.getKey().getValue();
        if (key == gcn::Key::Escape) {
            if (cancel_.isEnabled()) {
                cancel_.fireActionAndConsume(event);
            } else {
                ok_.fireActionAndConsume(event);
            }
        } else if (key == gcn::Key::Enter) {
            ok_.fireActionAndConsume(event);
        }
    }
    DaxSubMenuIfc::keyPressed(event);
}

void DaxDialogBase::mouseClicked(gcn::MouseEvent& event) {
    if (event.getButton() != gcn::MouseEvent::Right) {
        return;
    }
    event.consume();
    rightClick(daxRealTime());
}

bool DaxDialogBase::rightClick(uint32_t now) {
    // A right click meant for the map a moment before the dialog opened must
    // not close it unseen. Ages are unsigned differences: the clock wraps.
    const uint32_t shown_for = now - shown_time_;
    if (static_cast<double>(shown_for) < static_cast<double>(min_open_time_) * 100.0) {
        return false;
    }
    return pressCancelOrOk();
}

void DaxDialogBase::adjustSize() {
    content_.resizeToContent();
    const int cw = content_.getWidth();
    const int ch = content_.getHeight();

    int row = ok_.getWidth();
    if (third_.isVisible()) {
        row += third_.getWidth() + kGap;
    }
    if (cancel_.isVisible()) {
        row += cancel_.getWidth() + kGap;
    }
    const int caption_w = window_.getFont()->getWidth(window_.getCaption());
    const int inner = std::max({cw, row, caption_w}) + 2 * kGap;
    const int pad = static_cast<int>(window_.getPadding());
    const int title = static_cast<int>(window_.getTitleBarHeight());
    window_.setSize(inner + 2 * pad, title + ok_.getHeight() + ch + 4 * kGap);

    content_.setPosition((inner - cw) / 2, kGap);
    const int button_y = ch + 2 * kGap;
    int x = (inner - row) / 2;
    ok_.setPosition(x, button_y);
    x += ok_.getWidth() + kGap;
    if (third_.isVisible()) {
        third_.setPosition(x, button_y);
        x += third_.getWidth() + kGap;
    }
    if (cancel_.isVisible()) {
        cancel_.setPosition(x, button_y);
    }

    int dw = 0;
    int dh = 0;
    daxDialogDisplaySize(dw, dh);
    window_.setPosition((dw - window_.getWidth()) / 2, (dh - window_.getHeight()) / 2);
}

// ---------------------------------------------------------------------------
// DaxDialog

int DaxDialog::wrapWidth(int caption_width, int display_width) {
    int w = caption_width;
    w = std::max(w, display_width / 2);
    w = std::min(w, display_width * 3 / 4);
    return w;
}

DaxDialog::DaxDialog(const char* caption, const char* text, const char* ok_text, const char* cancel_text,
                     const char* third_text)
    : DaxDialogBase(caption, ok_text, cancel_text, third_text) {
    text_box_.setEditable(false);
    text_box_.setBackgroundColor(dax_config.button_color_);
    text_box_.setBaseColor(dax_config.button_color_);
    int dw = 0;
    int dh = 0;
    daxDialogDisplaySize(dw, dh);
    const int caption_w = text_box_.getFont()->getWidth(caption ? caption : "");
    text_box_.setTextWrapped(text ? text : "", wrapWidth(caption_w, dw));
    content_.add(&text_box_, 0, 0);
    adjustSize();
}

// ---------------------------------------------------------------------------
// DaxMsgDialog

namespace {

// The third button exists only for a message that has a place on the map.
bool hasMapPosition(DaxMapPositionI pos) { return pos.x >= 0 && pos.y >= 0; }

// Every message dialog alive, so that a message is not stacked twice.
std::vector<const DaxMsgDialog*>& liveMsgDialogs() {
    static std::vector<const DaxMsgDialog*> dialogs;
    return dialogs;
}

}  // namespace

DaxMsgDialog::DaxMsgDialog(DaxMsgMgr* mgr, int number, const std::string& text, DaxMapPositionI pos)
    : DaxDialogBase("", daxTextOr(kTextOk, "OK").c_str(), nullptr, hasMapPosition(pos) ? "--->>" : nullptr),
      mgr_(mgr),
      number_(number),
      text_(text),
      pos_(pos) {
    min_open_time_ = 1.5f;
    liveMsgDialogs().push_back(this);

    text_box_.setEditable(false);
    text_box_.setBackgroundColor(dax_config.button_color_);
    text_box_.setBaseColor(dax_config.button_color_);
    text_box_.setText(text);

    const std::string group = std::to_string(++g_msg_dialog_counter);
    const std::string captions[3] = {daxTextOr(kTextModeDialog, "dialog"), daxTextOr(kTextModeScreen, "screen"),
                                     daxTextOr(kTextModeLog, "log")};
    const int mode = mgr_ ? mgr_->modeOf(number_) : kDaxMsgDialog;
    for (int i = 0; i < 3; ++i) {
        radio_[i].setCaption(captions[i]);
        radio_[i].setGroup(group);
        radio_[i].adjustSize();
        hbar_.add(&radio_[i]);
    }
    radio_[std::clamp(mode, 1, 3) - 1].setSelected(true);

    vbar_.setSpacingAndMargin(0, 0);
    vbar_.add(&text_box_);
    vbar_.add(&hbar_);
    hbar_.layout();
    vbar_.layout();
    content_.add(&vbar_, 0, 0);
    adjustSize();
}

DaxMsgDialog::~DaxMsgDialog() {
    auto& live = liveMsgDialogs();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

bool DaxMsgDialog::isWaiting(int number, const std::string& text, DaxMapPositionI pos) {
    for (const DaxMsgDialog* d : liveMsgDialogs()) {
        if (d->number_ == number && d->pos_ == pos && d->text_ == text && d->result() == kDaxDialogOpen) return true;
    }
    return false;
}

int DaxMsgDialog::chosenMode() const {
    if (radio_[0].isSelected()) {
        return kDaxMsgDialog;
    }
    if (radio_[1].isSelected()) {
        return kDaxMsgScreen;
    }
    return kDaxMsgLogOnly;
}

void DaxMsgDialog::onOk() {
    if (mgr_) {
        mgr_->setMode(number_, chosenMode());
    }
}

void DaxMsgDialog::onThirdButton() {
    if (mgr_ && mgr_->gotoCallback()) {
        mgr_->gotoCallback()->gotoPosition(pos_);
    }
    // Closes as ok, so the chosen class is stored too.
    pressOk();
}

// ---------------------------------------------------------------------------
// DaxMenuScreenMsgBase

DaxMenuScreenMsgBase::DaxMenuScreenMsgBase(DaxMsgMgr* mgr) : msgmgr_(mgr) {
    msg_bar_.setSpacingAndMargin(2, 2);
    msg_bar_.setBaseColor(dax_config.back_color_);
    msg_bar_.setBackgroundColor(dax_config.back_color_);
    const int lines = std::max(0, dax_config.msg_num_lines_);
    msg_buttons_.reserve(static_cast<size_t>(lines));
    for (int i = 0; i < lines; ++i) {
        auto button = std::make_unique<gcn::Button>();
        colourButton(*button);
        button->setVisible(false);
        button->setEnabled(false);
        button->addActionListener(this);
        msg_bar_.add(button.get());
        msg_buttons_.push_back(button.release());
    }
    msg_bar_.setVisible(false);
}

DaxMenuScreenMsgBase::~DaxMenuScreenMsgBase() {
    // A dying button leaves the bar by itself.
    for (gcn::Button* b : msg_buttons_) {
        delete b;
    }
    msg_buttons_.clear();
}

void DaxMenuScreenMsgBase::logic() {
    const std::deque<DaxMessage>& queue = msgmgr_->screenMessages();
    const size_t n = std::min(queue.size(), msg_buttons_.size());
    shown_.assign(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(n));
    // The bar first: a button counts as visible only inside a visible bar.
    msg_bar_.setVisible(n > 0);
    for (size_t i = 0; i < msg_buttons_.size(); ++i) {
        gcn::Button* b = msg_buttons_[i];
        const bool used = i < n;
        if (used) {
            b->setCaption(shown_[i].text_);
        }
        b->setVisible(used);
        b->setEnabled(used);
    }
    msg_bar_.layout(gcn::kLayoutVisible);
    const int x = dax_config.msg_show_x_ == 0 ? (getWidth() - msg_bar_.getWidth()) / 2 : dax_config.msg_show_x_;
    msg_bar_.setPosition(x, dax_config.msg_show_y_);
    gcn::Container::logic();
}

void DaxMenuScreenMsgBase::action(const gcn::ActionEvent& event) {
    auto it = std::find(msg_buttons_.begin(), msg_buttons_.end(), event.getSource());
    if (it == msg_buttons_.end()) {
        return;
    }
    const size_t i = static_cast<size_t>(it - msg_buttons_.begin());
    if (i >= shown_.size() || !dax_game_loop) {
        return;
    }
    const DaxMessage& msg = shown_[i];
    dax_game_loop->pushDialog(new DaxMsgDialog(msgmgr_, msg.number_, msg.text_, msg.pos_));
}

// ---------------------------------------------------------------------------
// The message-dialog sink

void DaxMsgDialogSink::showMessageDialog(DaxMsgMgr& mgr, const DaxMessage& msg) {
    if (!dax_game_loop) {
        daxLogMessage(3, 1, "m: %d no message dialog can be shown", msg.number_);
        return;
    }
    if (DaxMsgDialog::isWaiting(msg.number_, msg.text_, msg.pos_)) {
        daxLogMessage(3, 1, "m: %d waits in a dialog already", msg.number_);
        return;
    }
    dax_game_loop->pushDialog(new DaxMsgDialog(&mgr, msg.number_, msg.text_, msg.pos_));
}

DaxMsgDialogSink* daxMsgDialogSink() {
    static DaxMsgDialogSink sink;
    return &sink;
}

void daxInstallMsgDialogSink() { dax_msgmgr.setDialogSink(daxMsgDialogSink()); }

void daxRemoveMsgDialogSink() {
    if (dax_msgmgr.dialogSink() == daxMsgDialogSink()) {
        dax_msgmgr.setDialogSink(nullptr);
    }
}
