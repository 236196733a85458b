// Keeps, for one gui, the registered widgets in registration order, which
// of them has the keyboard focus, who holds modal focus and modal
// mouse-input focus, and the widget pointers the gui keeps between inputs.
#pragma once

#include <vector>

namespace gcn {

class Event;
class Widget;

class FocusHandler {
public:
    FocusHandler() = default;
    FocusHandler(const FocusHandler&) = delete;
    FocusHandler& operator=(const FocusHandler&) = delete;
    virtual ~FocusHandler() = default;

    // Moves the focus to a registered widget: lost to the old one, then
    // gained to the new one. Null or the focused widget change nothing.
    virtual void requestFocus(Widget* widget);
    // Raises when another widget holds it; drops the focus when it lies
    // outside the modal widget.
    virtual void requestModalFocus(Widget* widget);
    virtual void requestModalMouseInputFocus(Widget* widget);
    // Clear the role only when the widget holds it.
    virtual void releaseModalFocus(Widget* widget);
    virtual void releaseModalMouseInputFocus(Widget* widget);
    virtual bool isFocused(const Widget* widget) const { return focused_ != nullptr && focused_ == widget; }
    virtual Widget* getFocused() const { return focused_; }
    virtual Widget* getModalFocused() const { return modal_focused_; }
    virtual Widget* getModalMouseInputFocused() const { return modal_mouse_input_focused_; }
    // The next (previous) focusable widget in registration order, wrapping.
    virtual void focusNext();
    virtual void focusPrevious();
    // Registers a widget (no duplicate check).
    virtual void add(Widget* widget);
    // Unregisters a widget: drops its focus silently and clears the first of
    // the kept pointers that designates it.
    virtual void remove(Widget* widget);
    // Drops the focus and tells the widget that had it.
    virtual void focusNone();
    // As focusNext and focusPrevious, honouring the tab flags and modal focus.
    virtual void tabNext();
    virtual void tabPrevious();

    virtual Widget* getDraggedWidget() const { return dragged_; }
    virtual void setDraggedWidget(Widget* w) { dragged_ = w; }
    virtual Widget* getLastWidgetWithMouse() const { return last_with_mouse_; }
    virtual void setLastWidgetWithMouse(Widget* w) { last_with_mouse_ = w; }
    virtual Widget* getLastWidgetWithModalFocus() const { return last_with_modal_focus_; }
    virtual void setLastWidgetWithModalFocus(Widget* w) { last_with_modal_focus_ = w; }
    virtual Widget* getLastWidgetWithModalMouseInputFocus() const { return last_with_modal_mouse_input_focus_; }
    virtual void setLastWidgetWithModalMouseInputFocus(Widget* w) { last_with_modal_mouse_input_focus_ = w; }
    virtual Widget* getLastWidgetPressed() const { return last_pressed_; }
    virtual void setLastWidgetPressed(Widget* w) { last_pressed_ = w; }

    // focusLost / focusGained on every focus listener of the event's source.
    virtual void distributeFocusLostEvent(const Event& event);
    virtual void distributeFocusGainedEvent(const Event& event);

    // The registered widgets, in registration order.
    const std::vector<Widget*>& getWidgets() const { return widgets_; }

private:
    // The last index holding the focused widget, or -1.
    int focusedIndex() const;
    void walk(bool forward, bool tabbing);

    std::vector<Widget*> widgets_;
    Widget* focused_ = nullptr;
    Widget* modal_focused_ = nullptr;
    Widget* modal_mouse_input_focused_ = nullptr;
    Widget* dragged_ = nullptr;
    Widget* last_with_mouse_ = nullptr;
    Widget* last_with_modal_focus_ = nullptr;
    Widget* last_with_modal_mouse_input_focus_ = nullptr;
    Widget* last_pressed_ = nullptr;
};

}  // namespace gcn
