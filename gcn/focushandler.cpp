#include "gcn/focushandler.hpp"

#include <algorithm>

#include "gcn/events.hpp"
#include "gcn/exception.hpp"
#include "gcn/widget.hpp"

namespace gcn {

void FocusHandler::requestFocus(Widget* widget) {
    if (widget == nullptr || widget == focused_) {
        return;
    }
    if (std::find(widgets_.begin(), widgets_.end(), widget) == widgets_.end()) {
        throw GCN_EXCEPTION("Trying to focus a none existing widget.", "gcn::FocusHandler::requestFocus");
    }
    Widget* old = focused_;
    focused_ = widget;
    if (old) {
        distributeFocusLostEvent(Event(old));
    }
    distributeFocusGainedEvent(Event(widget));
}

void FocusHandler::requestModalFocus(Widget* widget) {
    if (modal_focused_ != nullptr && modal_focused_ != widget) {
        throw GCN_EXCEPTION("Another widget already has modal focus.", "gcn::FocusHandler::requestModalFocus");
    }
    modal_focused_ = widget;
    if (focused_ != nullptr && !focused_->isModalFocused()) {
        focusNone();
    }
}

void FocusHandler::requestModalMouseInputFocus(Widget* widget) {
    if (modal_mouse_input_focused_ != nullptr && modal_mouse_input_focused_ != widget) {
        throw GCN_EXCEPTION("Another widget already has modal input focus.",
                            "gcn::FocusHandler::requestModalMouseInputFocus");
    }
    modal_mouse_input_focused_ = widget;
}

void FocusHandler::releaseModalFocus(Widget* widget) {
    if (modal_focused_ == widget) {
        modal_focused_ = nullptr;
    }
}

void FocusHandler::releaseModalMouseInputFocus(Widget* widget) {
    if (modal_mouse_input_focused_ == widget) {
        modal_mouse_input_focused_ = nullptr;
    }
}

int FocusHandler::focusedIndex() const {
    if (focused_ == nullptr) {
        return -1;
    }
    for (int i = static_cast<int>(widgets_.size()) - 1; i >= 0; --i) {
        if (widgets_[i] == focused_) {
            return i;
        }
    }
    return -1;
}

void FocusHandler::walk(bool forward, bool tabbing) {
    if (tabbing && focused_ != nullptr && !focused_->isTabOutEnabled()) {
        return;
    }
    const int n = static_cast<int>(widgets_.size());
    if (n == 0) {
        // Tabbing and walking backwards on nothing drop the focus; walking
        // forwards leaves it.
        if (tabbing || !forward) {
            focused_ = nullptr;
        }
        return;
    }
    const int f = focusedIndex();
    int i = f;
    for (int step = 0; step < n; ++step) {
        if (forward) {
            i = i + 1 >= n ? 0 : i + 1;
        } else {
            i = i - 1 < 0 ? n - 1 : i - 1;
        }
        if (i == f) {
            return;
        }
        Widget* w = widgets_[i];
        if (!w->isFocusable()) {
            continue;
        }
        if (tabbing) {
            if (!w->isTabInEnabled()) {
                continue;
            }
            if (modal_focused_ != nullptr && !w->isModalFocused()) {
                continue;
            }
        }
        Widget* old = f >= 0 ? widgets_[f] : nullptr;
        focused_ = w;
        // Gained before lost here, unlike requestFocus.
        distributeFocusGainedEvent(Event(w));
        if (old) {
            distributeFocusLostEvent(Event(old));
        }
        return;
    }
}

void FocusHandler::focusNext() {
    walk(true, false);
}

void FocusHandler::focusPrevious() {
    walk(false, false);
}

void FocusHandler::tabNext() {
    walk(true, true);
}

void FocusHandler::tabPrevious() {
    walk(false, true);
}

void FocusHandler::add(Widget* widget) {
    widgets_.push_back(widget);
}

void FocusHandler::remove(Widget* widget) {
    if (widget == focused_) {
        focused_ = nullptr;
    }
    auto it = std::find(widgets_.begin(), widgets_.end(), widget);
    if (it != widgets_.end()) {
        widgets_.erase(it);
    }
    Widget** kept[] = {&dragged_, &last_with_mouse_, &last_with_modal_focus_, &last_with_modal_mouse_input_focus_,
                       &last_pressed_};
    for (Widget** p : kept) {
        if (*p == widget) {
            *p = nullptr;
            break;
        }
    }
}

void FocusHandler::focusNone() {
    if (focused_ != nullptr) {
        Widget* old = focused_;
        focused_ = nullptr;
        distributeFocusLostEvent(Event(old));
    }
}

void FocusHandler::distributeFocusLostEvent(const Event& event) {
    Widget* source = event.getSource();
    // The gained notice that came first may have destroyed the widget.
    if (!Widget::widgetExists(source)) {
        return;
    }
    const Widget::FocusListeners listeners = source->_getFocusListeners();
    for (FocusListener* l : listeners) {
        l->focusLost(event);
    }
}

void FocusHandler::distributeFocusGainedEvent(const Event& event) {
    Widget* source = event.getSource();
    const Widget::FocusListeners listeners = source->_getFocusListeners();
    for (FocusListener* l : listeners) {
        l->focusGained(event);
    }
}

}  // namespace gcn
