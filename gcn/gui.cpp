#include "gcn/gui.hpp"

#include <algorithm>

#include "gcn/events.hpp"
#include "gcn/exception.hpp"
#include "gcn/graphics.hpp"
#include "gcn/input.hpp"
#include "gcn/listeners.hpp"
#include "gcn/widget.hpp"

namespace gcn {

namespace {

// Clicks count up while presses of the same button come this close (ms).
constexpr int kDoubleClickWindow = 250;

void callMouseListener(MouseListener* l, MouseEvent& event) {
    switch (event.getType()) {
    case MouseEvent::Moved:
        l->mouseMoved(event);
        break;
    case MouseEvent::Pressed:
        l->mousePressed(event);
        break;
    case MouseEvent::Released:
        l->mouseReleased(event);
        break;
    case MouseEvent::WheelMovedDown:
        l->mouseWheelMovedDown(event);
        break;
    case MouseEvent::WheelMovedUp:
        l->mouseWheelMovedUp(event);
        break;
    case MouseEvent::Clicked:
        l->mouseClicked(event);
        break;
    case MouseEvent::Entered:
        l->mouseEntered(event);
        break;
    case MouseEvent::Exited:
        l->mouseExited(event);
        break;
    case MouseEvent::Dragged:
        l->mouseDragged(event);
        break;
    default:
        throw GCN_EXCEPTION("Unknown mouse event type.", "gcn::Gui::distributeMouseEvent");
    }
}

void callKeyListener(KeyListener* l, KeyEvent& event, const char* function) {
    switch (event.getType()) {
    case KeyEvent::Pressed:
        l->keyPressed(event);
        break;
    case KeyEvent::Released:
        l->keyReleased(event);
        break;
    default:
        throw GCN_EXCEPTION("Unknown key event type.", function);
    }
}

// Whether a widget and every ancestor still belong to a focus handler. A
// listener may take a widget (or a panel around it) out of the gui in the
// middle of a distribution, and the modal queries raise on such a widget.
bool inGui(Widget* widget) {
    for (Widget* w = widget; w; w = w->getParent()) {
        if (w->_getFocusHandler() == nullptr) {
            return false;
        }
    }
    return true;
}

}  // namespace

Gui::Gui() : focus_handler_(std::make_unique<FocusHandler>()) {}

Gui::~Gui() {
    if (Widget::widgetExists(top_)) {
        top_->_setFocusHandler(nullptr);
    }
    top_ = nullptr;
}

void Gui::setTop(Widget* top) {
    if (Widget::widgetExists(top_)) {
        top_->_setFocusHandler(nullptr);
    }
    if (top) {
        top->_setFocusHandler(focus_handler_.get());
    }
    top_ = top;
}

void Gui::logic() {
    // A top widget destroyed behind the gui's back counts as none.
    if (!Widget::widgetExists(top_)) {
        throw GCN_EXCEPTION("No top widget set", "gcn::Gui::logic");
    }
    handleModalFocus();
    handleModalMouseInputFocus();
    if (input_) {
        input_->_pollInput();
        handleKeyInput();
        handleMouseInput();
    }
    // A listener may have destroyed the top widget meanwhile.
    if (Widget::widgetExists(top_)) {
        top_->logic();
    }
}

void Gui::draw() {
    if (!Widget::widgetExists(top_)) {
        throw GCN_EXCEPTION("No top widget set", "gcn::Gui::draw");
    }
    if (!graphics_) {
        throw GCN_EXCEPTION("No graphics set", "gcn::Gui::draw");
    }
    if (!top_->isVisible()) {
        return;
    }
    graphics_->_beginDraw();
    top_->drawFramed(graphics_);
    graphics_->_endDraw();
}

void Gui::focusNone() {
    focus_handler_->focusNone();
}

void Gui::addGlobalKeyListener(KeyListener* listener) {
    global_key_listeners_.push_back(listener);
}

void Gui::removeGlobalKeyListener(KeyListener* listener) {
    global_key_listeners_.erase(std::remove(global_key_listeners_.begin(), global_key_listeners_.end(), listener),
                                global_key_listeners_.end());
}

void Gui::handleMouseInput() {
    // Once a listener destroyed the top widget, the rest of the input stays
    // queued for the next gui that runs its logic.
    while (Widget::widgetExists(top_) && !input_->isMouseQueueEmpty()) {
        const MouseInput input = input_->dequeueMouseInput();
        last_mouse_x_ = input.getX();
        last_mouse_y_ = input.getY();
        switch (input.getType()) {
        case MouseInput::Moved:
            handleMouseMoved(input);
            break;
        case MouseInput::Pressed:
            handleMousePressed(input);
            break;
        case MouseInput::Released:
            handleMouseReleased(input);
            break;
        case MouseInput::WheelMovedDown:
            handleMouseWheelMovedDown(input);
            break;
        case MouseInput::WheelMovedUp:
            handleMouseWheelMovedUp(input);
            break;
        default:
            throw GCN_EXCEPTION("Unknown mouse input type.", "gcn::Gui::handleMouseInput");
        }
    }
}

void Gui::handleKeyInput() {
    while (Widget::widgetExists(top_) && !input_->isKeyQueueEmpty()) {
        const KeyInput input = input_->dequeueKeyInput();
        shift_pressed_ = input.isShiftPressed();
        meta_pressed_ = input.isMetaPressed();
        control_pressed_ = input.isControlPressed();
        alt_pressed_ = input.isAltPressed();

        KeyEvent global_event(nullptr, nullptr, shift_pressed_, control_pressed_, alt_pressed_, meta_pressed_,
                              input.getType(), input.isNumericPad(), input.getKey());
        distributeKeyEventToGlobalKeyListeners(global_event);
        if (global_event.isConsumed()) {
            continue;
        }

        Widget* focused = focus_handler_->getFocused();
        if (focused) {
            Widget* source = getKeyEventSource();
            KeyEvent event(source, source, shift_pressed_, control_pressed_, alt_pressed_, meta_pressed_,
                           input.getType(), input.isNumericPad(), input.getKey());
            if (focused->isFocusable()) {
                distributeKeyEvent(event);
            } else {
                // A focused widget that became hidden or disabled loses the
                // focus instead of getting the key.
                focus_handler_->focusNone();
            }
            if (event.isConsumed()) {
                continue;
            }
        }

        if (tabbing_ && input.getKey().getValue() == Key::Tab && input.getType() == KeyInput::Pressed) {
            if (input.isShiftPressed()) {
                focus_handler_->tabPrevious();
            } else {
                focus_handler_->tabNext();
            }
        }
    }
}

void Gui::distributeKeyEventToGlobalKeyListeners(KeyEvent& event) {
    const std::vector<KeyListener*> listeners = global_key_listeners_;
    for (KeyListener* l : listeners) {
        callKeyListener(l, event, "gcn::Gui::distributeKeyEventToGlobalKeyListeners");
        if (event.isConsumed()) {
            break;
        }
    }
}

void Gui::distributeKeyEvent(KeyEvent& event) {
    Widget* source = event.getSource();
    if (!Widget::widgetExists(source)) {
        return;
    }
    if (outsideModalFocus(source) || outsideModalMouseInputFocus(source)) {
        return;
    }
    Widget* widget = source;
    while (widget && Widget::widgetExists(widget)) {
        if (widget->isEnabled()) {
            event.setDistributor(widget);
            const Widget::KeyListeners listeners = widget->_getKeyListeners();
            for (KeyListener* l : listeners) {
                callKeyListener(l, event, "gcn::Gui::distributeKeyEvent");
                if (!Widget::widgetExists(widget)) {
                    return;
                }
            }
        }
        // The consumed flag does not end the walk: every enabled widget on
        // the way sees the key.
        if (widget == top_) {
            break;
        }
        Widget* parent = widget->getParent();
        if (parent && outsideModalFocus(parent)) {
            break;
        }
        widget = parent;
    }
}

void Gui::distributeMouseEvent(Widget* source, int type, int button, int x, int y, bool force, bool to_source_only) {
    if (!Widget::widgetExists(source)) {
        return;
    }
    if (!force && (outsideModalFocus(source) || outsideModalMouseInputFocus(source))) {
        return;
    }
    MouseEvent event(source, source, shift_pressed_, control_pressed_, alt_pressed_, meta_pressed_, type, button, x,
                     y, click_count_);
    Widget* widget = source;
    while (widget && Widget::widgetExists(widget)) {
        if (widget->isEnabled() || force) {
            int wx = 0;
            int wy = 0;
            widget->getAbsolutePosition(wx, wy);
            event.setPosition(x - wx, y - wy);
            event.setDistributor(widget);
            const Widget::MouseListeners listeners = widget->_getMouseListeners();
            for (MouseListener* l : listeners) {
                callMouseListener(l, event);
                if (!Widget::widgetExists(widget)) {
                    return;
                }
            }
        }
        if (to_source_only) {
            break;
        }
        if (outsideModalFocus(widget) || outsideModalMouseInputFocus(widget)) {
            break;
        }
        widget = widget->getParent();
    }
}

Widget* Gui::getWidgetAt(int x, int y) {
    Widget* current = top_;
    while (current) {
        int ax = 0;
        int ay = 0;
        current->getAbsolutePosition(ax, ay);
        Widget* child = current->getWidgetAt(x - ax, y - ay);
        if (!child) {
            return current;
        }
        current = child;
    }
    return nullptr;
}

Widget* Gui::getMouseEventSource(int x, int y) {
    Widget* w = getWidgetAt(x, y);
    Widget* modal = focus_handler_->getModalMouseInputFocused();
    if (modal && (w == nullptr || outsideModalMouseInputFocus(w))) {
        return modal;
    }
    return w;
}

Widget* Gui::getKeyEventSource() {
    Widget* w = focus_handler_->getFocused();
    while (w && w->_getInternalFocusHandler() && w->_getInternalFocusHandler()->getFocused()) {
        Widget* inner = w->_getInternalFocusHandler()->getFocused();
        if (inner == w) {
            break;
        }
        w = inner;
    }
    return w;
}

Widget* Gui::draggedWidget() {
    Widget* dragged = focus_handler_->getDraggedWidget();
    if (dragged != nullptr && !Widget::widgetExists(dragged)) {
        focus_handler_->setDraggedWidget(nullptr);
        return nullptr;
    }
    return dragged;
}

bool Gui::outsideModalFocus(Widget* widget) const {
    return focus_handler_->getModalFocused() != nullptr && !(inGui(widget) && widget->isModalFocused());
}

bool Gui::outsideModalMouseInputFocus(Widget* widget) const {
    return focus_handler_->getModalMouseInputFocused() != nullptr &&
           !(inGui(widget) && widget->isModalMouseInputFocused());
}

bool Gui::isInMouseQueue(const Widget* widget) const {
    return std::find(widget_with_mouse_queue_.begin(), widget_with_mouse_queue_.end(), widget) !=
           widget_with_mouse_queue_.end();
}

Rectangle Gui::absoluteRectangle(const Widget* widget) {
    int x = 0;
    int y = 0;
    widget->getAbsolutePosition(x, y);
    return Rectangle(x, y, widget->getWidth(), widget->getHeight());
}

void Gui::handleMouseMoved(const MouseInput& input) {
    const int x = input.getX();
    const int y = input.getY();
    const int button = input.getButton();

    // Leaving the drawing surface: every widget under the mouse is exited.
    if (!widget_with_mouse_queue_.empty() && (x < 0 || y < 0 || !top_->getDimension().isPointInRect(x, y))) {
        while (!widget_with_mouse_queue_.empty()) {
            Widget* w = widget_with_mouse_queue_.front();
            widget_with_mouse_queue_.pop_front();
            if (Widget::widgetExists(w)) {
                distributeMouseEvent(w, MouseEvent::Exited, button, x, y, true, true);
            }
        }
        return;
    }

    // Exits: widgets gone, hidden, or no longer under the mouse.
    bool changed = true;
    while (changed) {
        changed = false;
        for (auto it = widget_with_mouse_queue_.begin(); it != widget_with_mouse_queue_.end(); ++it) {
            Widget* w = *it;
            if (!Widget::widgetExists(w)) {
                widget_with_mouse_queue_.erase(it);
                changed = true;
                break;
            }
            if (!absoluteRectangle(w).isPointInRect(x, y) || !w->isVisible()) {
                widget_with_mouse_queue_.erase(it);
                distributeMouseEvent(w, MouseEvent::Exited, button, x, y, true, true);
                click_count_ = 1;
                last_mouse_press_time_stamp_ = 0;
                changed = true;
                break;
            }
        }
    }

    // Entries: the widget under the mouse and its ancestors.
    Widget* source = getMouseEventSource(x, y);
    Widget* modal = focus_handler_->getModalMouseInputFocused();
    const bool outside_modal = source != nullptr && source == modal && Widget::widgetExists(source) &&
                               !absoluteRectangle(source).isPointInRect(x, y);
    if (!outside_modal) {
        Widget* w = source;
        while (w && Widget::widgetExists(w)) {
            Widget* parent = w->getParent();
            if (!isInMouseQueue(w)) {
                distributeMouseEvent(w, MouseEvent::Entered, button, x, y, true, true);
                widget_with_mouse_queue_.push_front(w);
            }
            if (w == top_) {
                break;
            }
            w = parent;
        }
    }

    Widget* dragged = draggedWidget();
    if (dragged) {
        distributeMouseEvent(dragged, MouseEvent::Dragged, last_mouse_drag_button_, x, y);
    } else {
        distributeMouseEvent(getMouseEventSource(x, y), MouseEvent::Moved, button, x, y);
    }
}

void Gui::handleMousePressed(const MouseInput& input) {
    const int x = input.getX();
    const int y = input.getY();
    Widget* source = draggedWidget();
    if (!source) {
        source = getMouseEventSource(x, y);
    }
    if (!source) {
        return;
    }
    if (!outsideModalFocus(source)) {
        source->requestFocus();
    }
    if (input.getTimeStamp() - last_mouse_press_time_stamp_ < kDoubleClickWindow &&
        input.getButton() == last_mouse_press_button_) {
        ++click_count_;
    } else {
        click_count_ = 1;
    }
    distributeMouseEvent(source, MouseEvent::Pressed, input.getButton(), x, y);
    // A listener may have destroyed the widget: keep no pointer to it.
    Widget* kept = Widget::widgetExists(source) ? source : nullptr;
    focus_handler_->setLastWidgetPressed(kept);
    focus_handler_->setDraggedWidget(kept);
    last_mouse_drag_button_ = input.getButton();
    last_mouse_press_button_ = input.getButton();
    last_mouse_press_time_stamp_ = input.getTimeStamp();
}

void Gui::handleMouseWheelMovedDown(const MouseInput& input) {
    distributeWheel(input, MouseEvent::WheelMovedDown);
}

void Gui::handleMouseWheelMovedUp(const MouseInput& input) {
    distributeWheel(input, MouseEvent::WheelMovedUp);
}

void Gui::distributeWheel(const MouseInput& input, int type) {
    // A drag keeps the wheel too.
    Widget* source = draggedWidget();
    if (!source) {
        source = getMouseEventSource(input.getX(), input.getY());
    }
    distributeMouseEvent(source, type, input.getButton(), input.getX(), input.getY());
}

void Gui::handleMouseReleased(const MouseInput& input) {
    const int x = input.getX();
    const int y = input.getY();
    Widget* source = getMouseEventSource(x, y);
    Widget* dragged = draggedWidget();
    if (dragged) {
        if (source != focus_handler_->getLastWidgetPressed()) {
            focus_handler_->setLastWidgetPressed(nullptr);
        }
        source = dragged;
    }
    distributeMouseEvent(source, MouseEvent::Released, input.getButton(), x, y);
    if (input.getButton() == last_mouse_press_button_ && focus_handler_->getLastWidgetPressed() == source &&
        source != nullptr) {
        distributeMouseEvent(source, MouseEvent::Clicked, input.getButton(), x, y);
        focus_handler_->setLastWidgetPressed(nullptr);
    } else {
        last_mouse_press_button_ = 0;
        click_count_ = 0;
    }
    focus_handler_->setDraggedWidget(nullptr);
}

Widget* Gui::followModalRole(Widget* last, Widget* holder) {
    if (last == holder) {
        return last;
    }
    if (last == nullptr) {
        handleModalFocusGained();
        return holder;
    }
    handleModalFocusReleased();
    return nullptr;
}

void Gui::handleModalFocus() {
    focus_handler_->setLastWidgetWithModalFocus(
        followModalRole(focus_handler_->getLastWidgetWithModalFocus(), focus_handler_->getModalFocused()));
}

void Gui::handleModalMouseInputFocus() {
    focus_handler_->setLastWidgetWithModalMouseInputFocus(followModalRole(
        focus_handler_->getLastWidgetWithModalMouseInputFocus(), focus_handler_->getModalMouseInputFocused()));
}

void Gui::handleModalFocusGained() {
    while (!widget_with_mouse_queue_.empty()) {
        Widget* w = widget_with_mouse_queue_.front();
        widget_with_mouse_queue_.pop_front();
        if (Widget::widgetExists(w) && w->_getFocusHandler() != nullptr) {
            distributeMouseEvent(w, MouseEvent::Exited, last_mouse_press_button_, last_mouse_x_, last_mouse_y_, true,
                                 true);
        }
    }
    focus_handler_->setLastWidgetWithModalMouseInputFocus(focus_handler_->getModalMouseInputFocused());
}

void Gui::handleModalFocusReleased() {
    Widget* w = getMouseEventSource(last_mouse_x_, last_mouse_y_);
    while (w && Widget::widgetExists(w)) {
        Widget* parent = w->getParent();
        if (!isInMouseQueue(w)) {
            distributeMouseEvent(w, MouseEvent::Entered, last_mouse_press_button_, last_mouse_x_, last_mouse_y_,
                                 false, true);
            widget_with_mouse_queue_.push_front(w);
        }
        if (w == top_) {
            break;
        }
        w = parent;
    }
}

}  // namespace gcn
