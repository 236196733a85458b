// The base of every element of the user interface: geometry relative to the
// parent, colours, frame, flags, font, listener lists, and the links to the
// parent and to the focus handler of the gui it belongs to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gcn/color.hpp"
#include "gcn/events.hpp"
#include "gcn/listeners.hpp"
#include "gcn/rectangle.hpp"

namespace gcn {

class FocusHandler;
class Font;
class Graphics;

class Widget {
public:
    using MouseListeners = std::vector<MouseListener*>;
    using KeyListeners = std::vector<KeyListener*>;
    using ActionListeners = std::vector<ActionListener*>;
    using DeathListeners = std::vector<DeathListener*>;
    using FocusListeners = std::vector<FocusListener*>;
    using WidgetListeners = std::vector<WidgetListener*>;

    // Colours and frame size come from the style in force now.
    Widget();
    Widget(const Widget&) = delete;
    Widget& operator=(const Widget&) = delete;
    // Tells the death listeners (a container drops the widget), leaves the
    // focus handler (giving up modal focus of both kinds first) and leaves
    // the list of live widgets.
    virtual ~Widget();

    // Draws the widget inside the clip area of its rectangle.
    virtual void draw(Graphics* graphics) = 0;
    // The bevelled frame, drawn in a clip area grown by the frame size on
    // every side: positive sizes look sunken, negative ones raised.
    virtual void drawFrame(Graphics* graphics);
    // How a parent (or the gui, for its top) draws the widget: the frame in
    // the rectangle grown by the frame size, then the widget in its
    // rectangle, each in a clip area of its own pushed onto the current one.
    void drawFramed(Graphics* graphics);
    // Per-tick work.
    virtual void logic() {}
    virtual Widget* getParent() const { return parent_; }
    // The topmost ancestor, null without a parent.
    virtual Widget* getTop() const;
    virtual bool isFocused() const;
    // Asks the focus handler for the focus when the widget is focusable.
    virtual void requestFocus();
    virtual void requestMoveToTop();
    virtual void requestMoveToBottom();
    // Leaves the old handler (giving up modal focus of both kinds) and
    // joins the new one.
    virtual void _setFocusHandler(FocusHandler* focus_handler);
    virtual FocusHandler* _getFocusHandler() { return focus_handler_; }
    // The position on the drawing surface.
    virtual void getAbsolutePosition(int& x, int& y) const;
    virtual void _setParent(Widget* parent) { parent_ = parent; }
    // Called when the font the widget draws with changed.
    virtual void fontChanged() {}
    virtual void requestModalFocus();
    virtual void requestModalMouseInputFocus();
    virtual void releaseModalFocus();
    virtual void releaseModalMouseInputFocus();
    // True when this widget or an ancestor holds modal focus.
    virtual bool isModalFocused() const;
    virtual bool isModalMouseInputFocused() const;
    // The child under a point given relative to this widget; null here.
    virtual Widget* getWidgetAt(int x, int y);
    virtual const MouseListeners& _getMouseListeners() { return mouse_listeners_; }
    virtual const KeyListeners& _getKeyListeners() { return key_listeners_; }
    virtual const FocusListeners& _getFocusListeners() { return focus_listeners_; }
    // Where children sit, relative to this widget; empty here.
    virtual Rectangle getChildrenArea();
    virtual FocusHandler* _getInternalFocusHandler() { return internal_focus_handler_; }
    virtual void moveToTop(Widget*) {}
    virtual void moveToBottom(Widget*) {}
    virtual void focusNext() {}
    virtual void focusPrevious() {}
    // Brings the area of a child (relative to the child) into view.
    virtual void showWidgetPart(Widget*, Rectangle) {}
    // Asks the parent to bring an area of this widget into view.
    virtual void showPart(Rectangle rectangle);

    // Geometry. Every setter goes through setDimension, and the size
    // setters are virtual so that widgets which lay themselves out see every
    // change, also one made through a base pointer.
    int getX() const { return dimension_.x; }
    int getY() const { return dimension_.y; }
    int getWidth() const { return dimension_.width; }
    int getHeight() const { return dimension_.height; }
    const Rectangle& getDimension() const { return dimension_; }
    // Stores the rectangle, then tells the widget listeners: resized (when
    // the size changed), then moved (when the position changed).
    virtual void setDimension(const Rectangle& dimension);
    virtual void setWidth(int width);
    virtual void setHeight(int height);
    virtual void setSize(int width, int height);
    void setX(int x);
    void setY(int y);
    void setPosition(int x, int y);

    // Frame: the sign chooses the bevel (see drawFrame); getFrameSize gives
    // the width in pixels.
    void setFrameSize(int16_t frame_size) { frame_size_ = frame_size; }
    int getFrameSize() const { return frame_size_ < 0 ? -frame_size_ : frame_size_; }
    int16_t getSignedFrameSize() const { return frame_size_; }

    void setForegroundColor(const Color& color) { foreground_color_ = color; }
    const Color& getForegroundColor() const { return foreground_color_; }
    void setBackgroundColor(const Color& color) { background_color_ = color; }
    const Color& getBackgroundColor() const { return background_color_; }
    virtual void setBaseColor(const Color& color) { base_color_ = color; }
    const Color& getBaseColor() const { return base_color_; }
    void setSelectionColor(const Color& color) { selection_color_ = color; }
    const Color& getSelectionColor() const { return selection_color_; }

    // Flags. isVisible, isEnabled and isFocusable also need every ancestor
    // to be visible.
    void setFocusable(bool focusable);
    bool isFocusable() const;
    void setVisible(bool visible);
    bool isVisible() const;
    void setEnabled(bool enabled) { enabled_ = enabled; }
    bool isEnabled() const;
    void setTabInEnabled(bool enabled) { tab_in_ = enabled; }
    bool isTabInEnabled() const { return tab_in_; }
    void setTabOutEnabled(bool enabled) { tab_out_ = enabled; }
    bool isTabOutEnabled() const { return tab_out_; }

    // The text carried by the widget's action events.
    void setActionEventId(const std::string& id) { action_event_id_ = id; }
    const std::string& getActionEventId() const { return action_event_id_; }
    // The text a container's findWidgetById looks for.
    void setId(const std::string& id) { id_ = id; }
    const std::string& getId() const { return id_; }

    // The widget's own font (null: none), then fontChanged.
    void setFont(Font* font);
    // The own font, else the global font, else the built-in default font.
    Font* getFont() const;
    // Installs the global font and tells every live widget without a font
    // of its own.
    static void setGlobalFont(Font* font);
    static Font* getGlobalFont();
    // Whether a pointer still designates a live widget.
    static bool widgetExists(const Widget* widget);

    // Listeners are never owned; one added twice is called twice. The
    // remove operations take out every occurrence.
    void addMouseListener(MouseListener* l) { mouse_listeners_.push_back(l); }
    void removeMouseListener(MouseListener* l);
    void addKeyListener(KeyListener* l) { key_listeners_.push_back(l); }
    void removeKeyListener(KeyListener* l);
    void addActionListener(ActionListener* l) { action_listeners_.push_back(l); }
    void removeActionListener(ActionListener* l);
    void addDeathListener(DeathListener* l) { death_listeners_.push_back(l); }
    void removeDeathListener(DeathListener* l);
    // Takes out one occurrence only, for a holder that registered once per
    // entry it keeps.
    void removeDeathListenerOnce(DeathListener* l);
    void addFocusListener(FocusListener* l) { focus_listeners_.push_back(l); }
    void removeFocusListener(FocusListener* l);
    void addWidgetListener(WidgetListener* l) { widget_listeners_.push_back(l); }
    void removeWidgetListener(WidgetListener* l);

    // The handler a container gives its children instead of its own.
    void _setInternalFocusHandler(FocusHandler* focus_handler) { internal_focus_handler_ = focus_handler; }

    void distributeResizedEvent();
    void distributeMovedEvent();
    void distributeHiddenEvent();
    void distributeShownEvent();
    // An action event with this widget and its action event id to every
    // action listener, in order. A listener may destroy the widget: the
    // remaining listeners are then not called.
    void distributeActionEvent();

    // Sends the action event when the widget is enabled; tells whether it did.
    bool fireAction();
    // The same, and marks the input event consumed when the action was sent.
    void fireActionAndConsume(InputEvent& event);

protected:
    MouseListeners mouse_listeners_;
    KeyListeners key_listeners_;
    ActionListeners action_listeners_;
    DeathListeners death_listeners_;
    FocusListeners focus_listeners_;
    WidgetListeners widget_listeners_;
    Color foreground_color_;
    Color background_color_;
    Color base_color_;
    Color selection_color_{0xC3D9FF};
    FocusHandler* focus_handler_ = nullptr;
    FocusHandler* internal_focus_handler_ = nullptr;
    Widget* parent_ = nullptr;
    Rectangle dimension_;
    int16_t frame_size_ = 0;
    std::string action_event_id_;
    bool focusable_ = false;
    bool visible_ = true;
    bool tab_in_ = true;
    bool tab_out_ = true;
    bool enabled_ = true;
    std::string id_;
    Font* current_font_ = nullptr;
};

}  // namespace gcn
