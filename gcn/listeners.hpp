// The listener interfaces widgets call. Every operation is empty by default
// except the action and death notices, which a listener must implement.
// Widgets never own their listeners.
#pragma once

#include "gcn/events.hpp"

namespace gcn {

class MouseListener {
public:
    virtual ~MouseListener() = default;
    virtual void mouseEntered(MouseEvent&) {}
    virtual void mouseExited(MouseEvent&) {}
    virtual void mousePressed(MouseEvent&) {}
    virtual void mouseReleased(MouseEvent&) {}
    virtual void mouseClicked(MouseEvent&) {}
    virtual void mouseWheelMovedUp(MouseEvent&) {}
    virtual void mouseWheelMovedDown(MouseEvent&) {}
    virtual void mouseMoved(MouseEvent&) {}
    virtual void mouseDragged(MouseEvent&) {}
};

class KeyListener {
public:
    virtual ~KeyListener() = default;
    virtual void keyPressed(KeyEvent&) {}
    virtual void keyReleased(KeyEvent&) {}
};

class FocusListener {
public:
    virtual ~FocusListener() = default;
    virtual void focusGained(const Event&) {}
    virtual void focusLost(const Event&) {}
};

class ActionListener {
public:
    virtual ~ActionListener() = default;
    virtual void action(const ActionEvent& event) = 0;
};

class SelectionListener {
public:
    virtual ~SelectionListener() = default;
    virtual void valueChanged(const SelectionEvent&) {}
};

// Told when a widget is being destroyed; the event's source is that widget.
class DeathListener {
public:
    virtual ~DeathListener() = default;
    virtual void death(const Event& event) = 0;
};

class WidgetListener {
public:
    virtual ~WidgetListener() = default;
    virtual void widgetResized(const Event&) {}
    virtual void widgetMoved(const Event&) {}
    virtual void widgetHidden(const Event&) {}
    virtual void widgetShown(const Event&) {}
};

class ContainerListener {
public:
    virtual ~ContainerListener() = default;
    virtual void widgetAdded(const ContainerEvent&) {}
    virtual void widgetRemoved(const ContainerEvent&) {}
};

}  // namespace gcn
