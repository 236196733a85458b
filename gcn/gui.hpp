// The root of one widget tree and its event router: logic turns queued key
// and mouse input into events for the right widgets (focus, modal focus,
// the widgets under the mouse, clicks, drags, global key listeners) and
// runs the widgets' logic; draw draws the tree.
#pragma once

#include <deque>
#include <memory>
#include <vector>

#include "gcn/focushandler.hpp"
#include "gcn/rectangle.hpp"

namespace gcn {

class Graphics;
class Input;
class KeyEvent;
class KeyListener;
class MouseInput;
class Widget;

class Gui {
public:
    // Creates the focus handler, the one thing the gui owns.
    Gui();
    Gui(const Gui&) = delete;
    Gui& operator=(const Gui&) = delete;
    // Detaches the top widget (if it still exists) from the focus handler.
    virtual ~Gui();

    // The old top leaves the focus handler, the new one joins it.
    virtual void setTop(Widget* top);
    virtual Widget* getTop() const { return top_; }
    virtual void setGraphics(Graphics* graphics) { graphics_ = graphics; }
    virtual Graphics* getGraphics() const { return graphics_; }
    virtual void setInput(Input* input) { input_ = input; }
    virtual Input* getInput() const { return input_; }
    // Modal checks, queued input, then the top widget's logic.
    virtual void logic();
    // Draws the tree between the graphics' _beginDraw and _endDraw.
    virtual void draw();
    virtual void focusNone();
    virtual void setTabbingEnabled(bool tabbing) { tabbing_ = tabbing; }
    virtual bool isTabbingEnabled() const { return tabbing_; }
    // Global key listeners see every key first; one that consumes it keeps
    // it from the focused widget and from tabbing.
    virtual void addGlobalKeyListener(KeyListener* listener);
    virtual void removeGlobalKeyListener(KeyListener* listener);

    FocusHandler* getFocusHandler() const { return focus_handler_.get(); }
    int getClickCount() const { return click_count_; }

protected:
    virtual void handleMouseInput();
    virtual void handleKeyInput();
    virtual void handleMouseMoved(const MouseInput& input);
    virtual void handleMousePressed(const MouseInput& input);
    virtual void handleMouseWheelMovedDown(const MouseInput& input);
    virtual void handleMouseWheelMovedUp(const MouseInput& input);
    virtual void handleMouseReleased(const MouseInput& input);
    virtual void handleModalFocus();
    virtual void handleModalMouseInputFocus();
    virtual void handleModalFocusGained();
    virtual void handleModalFocusReleased();
    // Walks from the source up through its parents (or calls the source
    // only), giving each enabled widget (any widget when forced) the event
    // with coordinates relative to it.
    virtual void distributeMouseEvent(Widget* source, int type, int button, int x, int y, bool force = false,
                                      bool to_source_only = false);
    virtual void distributeKeyEvent(KeyEvent& event);
    virtual void distributeKeyEventToGlobalKeyListeners(KeyEvent& event);
    // The innermost widget under a screen point; the top when no child is.
    virtual Widget* getWidgetAt(int x, int y);
    // The widget under the point, or the modal mouse-input widget when the
    // point lies outside it.
    virtual Widget* getMouseEventSource(int x, int y);
    // The focused widget, followed down through internal focus handlers.
    virtual Widget* getKeyEventSource();

    // While a widget holds modal focus (modal mouse-input focus): whether
    // this widget lies outside it. A widget that left the gui counts as
    // outside.
    bool outsideModalFocus(Widget* widget) const;
    bool outsideModalMouseInputFocus(Widget* widget) const;
    // The focus handler's dragged widget, forgotten once it no longer
    // exists: a widget registered with an internal focus handler (an open
    // drop-down's list) leaves only that handler when it is destroyed.
    Widget* draggedWidget();
    bool isInMouseQueue(const Widget* widget) const;
    // One modal role as the gui last saw it (last) and as it stands
    // (holder): gaining or losing it exits or re-enters the widgets under
    // the mouse. Returns what to remember as last.
    Widget* followModalRole(Widget* last, Widget* holder);
    // A wheel event to the dragged widget, else to the widget under the mouse.
    void distributeWheel(const MouseInput& input, int type);
    // The widget's rectangle on the drawing surface.
    static Rectangle absoluteRectangle(const Widget* widget);

    Widget* top_ = nullptr;
    Graphics* graphics_ = nullptr;
    Input* input_ = nullptr;
    std::unique_ptr<FocusHandler> focus_handler_;
    bool tabbing_ = true;
    std::vector<KeyListener*> global_key_listeners_;
    bool shift_pressed_ = false;
    bool meta_pressed_ = false;
    bool control_pressed_ = false;
    bool alt_pressed_ = false;
    int last_mouse_press_button_ = 0;
    int last_mouse_press_time_stamp_ = 0;
    int last_mouse_x_ = 0;
    int last_mouse_y_ = 0;
    int click_count_ = 1;
    int last_mouse_drag_button_ = 0;
    // The widgets the mouse is over.
    std::deque<Widget*> widget_with_mouse_queue_;
};

}  // namespace gcn
