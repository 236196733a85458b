// The events widgets and the gui send to listeners. Events live on the
// sender's stack: a listener must not keep one after its call returns.
#pragma once

#include <string>

#include "gcn/key.hpp"

namespace gcn {

class Widget;
class Container;

class Event {
public:
    explicit Event(Widget* source) : source_(source) {}
    virtual ~Event() = default;

    Widget* getSource() const { return source_; }

protected:
    Widget* source_;
};

// Sent when a widget is activated (a button released, a row chosen...).
class ActionEvent : public Event {
public:
    ActionEvent(Widget* source, std::string id) : Event(source), id_(std::move(id)) {}

    const std::string& getId() const { return id_; }

private:
    std::string id_;
};

// Sent when the selected row of a list changes.
class SelectionEvent : public Event {
public:
    explicit SelectionEvent(Widget* source) : Event(source) {}
};

// Sent when a widget (the source) is added to or removed from a container.
class ContainerEvent : public Event {
public:
    ContainerEvent(Widget* source, Container* container) : Event(source), container_(container) {}

    Container* getContainer() const { return container_; }

private:
    Container* container_;
};

// Keyboard and mouse events: the modifier state, a consumed flag that lets
// a listener keep the event from later receivers, and the widget whose
// listeners are being called (the distributor).
class InputEvent : public Event {
public:
    InputEvent(Widget* source, Widget* distributor, bool shift, bool control, bool alt, bool meta)
        : Event(source), shift_(shift), control_(control), alt_(alt), meta_(meta), distributor_(distributor) {}

    bool isShiftPressed() const { return shift_; }
    bool isControlPressed() const { return control_; }
    bool isAltPressed() const { return alt_; }
    bool isMetaPressed() const { return meta_; }

    void consume() { consumed_ = true; }
    bool isConsumed() const { return consumed_; }

    Widget* getDistributor() const { return distributor_; }
    // The gui moves the distributor along as it walks up the tree.
    void setDistributor(Widget* w) { distributor_ = w; }

private:
    bool shift_;
    bool control_;
    bool alt_;
    bool meta_;
    bool consumed_ = false;
    Widget* distributor_;
};

class MouseEvent : public InputEvent {
public:
    enum Type : int {
        Moved = 0,
        Pressed = 1,
        Released = 2,
        WheelMovedDown = 3,
        WheelMovedUp = 4,
        Clicked = 5,
        Entered = 6,
        Exited = 7,
        Dragged = 8,
    };
    enum Button : int { Empty = 0, Left = 1, Right = 2, Middle = 3 };

    MouseEvent(Widget* source, Widget* distributor, bool shift, bool control, bool alt, bool meta, int type,
               int button, int x, int y, int click_count)
        : InputEvent(source, distributor, shift, control, alt, meta),
          type_(type),
          button_(button),
          x_(x),
          y_(y),
          click_count_(click_count) {}

    int getType() const { return type_; }
    int getButton() const { return button_; }
    // Relative to the widget whose listeners are being called.
    int getX() const { return x_; }
    int getY() const { return y_; }
    int getClickCount() const { return click_count_; }

    void setPosition(int x, int y) {
        x_ = x;
        y_ = y;
    }

private:
    int type_;
    int button_;
    int x_;
    int y_;
    int click_count_;
};

class KeyEvent : public InputEvent {
public:
    enum Type : int { Pressed = 0, Released = 1 };

    KeyEvent(Widget* source, Widget* distributor, bool shift, bool control, bool alt, bool meta, int type,
             bool numeric_pad, const Key& key)
        : InputEvent(source, distributor, shift, control, alt, meta),
          type_(type),
          numeric_pad_(numeric_pad),
          key_(key) {}

    int getType() const { return type_; }
    bool isNumericPad() const { return numeric_pad_; }
    const Key& getKey() const { return key_; }

private:
    int type_;
    bool numeric_pad_;
    Key key_;
};

}  // namespace gcn
