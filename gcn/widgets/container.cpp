#include "gcn/widgets/container.hpp"

#include <algorithm>

#include "gcn/exception.hpp"
#include "gcn/focushandler.hpp"
#include "gcn/graphics.hpp"
#include "gcn/image.hpp"

namespace gcn {

namespace {
const char* const kNoSuchWidget = "There is no such widget in this container.";
}

// ---------------------------------------------------------------------------
// BasicContainer

BasicContainer::~BasicContainer() {
    BasicContainer::clear();
}

void BasicContainer::noSuchWidget(const char* function) {
    throw GCN_EXCEPTION(kNoSuchWidget, function);
}

bool BasicContainer::isChild(const Widget* widget) const {
    return std::find(children_.begin(), children_.end(), widget) != children_.end();
}

void BasicContainer::eraseChild(Widget* widget) {
    auto it = std::find(children_.begin(), children_.end(), widget);
    if (it != children_.end()) {
        children_.erase(it);
    }
    // A widget that asked to be moved in this logic pass and is gone now
    // must not come back into the list when the pass ends.
    if (!isChild(widget)) {
        if (pending_move_to_top_ == widget) {
            pending_move_to_top_ = nullptr;
        }
        if (pending_move_to_bottom_ == widget) {
            pending_move_to_bottom_ = nullptr;
        }
    }
}

void BasicContainer::add(Widget* widget) {
    if (widget == nullptr) {
        throw GCN_EXCEPTION("Trying to add a null widget.", "gcn::BasicContainer::add");
    }
    children_.push_back(widget);
    widget->_setFocusHandler(internal_focus_handler_ ? internal_focus_handler_ : focus_handler_);
    widget->_setParent(this);
    widget->addDeathListener(this);
}

void BasicContainer::remove(Widget* widget) {
    if (!isChild(widget)) {
        noSuchWidget("gcn::BasicContainer::remove");
    }
    eraseChild(widget);
    widget->_setFocusHandler(nullptr);
    widget->_setParent(nullptr);
    // One registration per entry: a widget added twice keeps the other.
    widget->removeDeathListenerOnce(this);
}

void BasicContainer::clear() {
    const Widgets children = children_;
    children_.clear();
    pending_move_to_top_ = nullptr;
    pending_move_to_bottom_ = nullptr;
    for (Widget* w : children) {
        w->_setFocusHandler(nullptr);
        w->_setParent(nullptr);
        w->removeDeathListenerOnce(this);
    }
}

void BasicContainer::death(const Event& event) {
    // The widget is being destroyed: only its entry goes. This runs inside
    // the widget's destructor, so it must not raise.
    eraseChild(event.getSource());
}

void BasicContainer::moveToTop(Widget* widget) {
    if (!isChild(widget)) {
        noSuchWidget("gcn::BasicContainer::moveToTop");
    }
    if (in_logic_) {
        pending_move_to_top_ = widget;
        return;
    }
    children_.erase(std::remove(children_.begin(), children_.end(), widget), children_.end());
    children_.push_back(widget);
}

void BasicContainer::moveToBottom(Widget* widget) {
    if (!isChild(widget)) {
        noSuchWidget("gcn::BasicContainer::moveToBottom");
    }
    if (in_logic_) {
        pending_move_to_bottom_ = widget;
        return;
    }
    children_.erase(std::remove(children_.begin(), children_.end(), widget), children_.end());
    children_.insert(children_.begin(), widget);
}

Rectangle BasicContainer::getChildrenArea() {
    return Rectangle(0, 0, getWidth(), getHeight());
}

Widget* BasicContainer::getWidgetAt(int x, int y) {
    const Rectangle area = getChildrenArea();
    if (!area.isPointInRect(x, y)) {
        return nullptr;
    }
    x -= area.x;
    y -= area.y;
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        Widget* w = *it;
        if (w->isVisible() && w->getDimension().isPointInRect(x, y)) {
            return w;
        }
    }
    return nullptr;
}

void BasicContainer::logic() {
    in_logic_ = true;
    pending_move_to_top_ = nullptr;
    pending_move_to_bottom_ = nullptr;
    logicChildren();
    in_logic_ = false;
    if (pending_move_to_top_) {
        Widget* w = pending_move_to_top_;
        pending_move_to_top_ = nullptr;
        moveToTop(w);
    }
    if (pending_move_to_bottom_) {
        Widget* w = pending_move_to_bottom_;
        pending_move_to_bottom_ = nullptr;
        moveToBottom(w);
    }
}

void BasicContainer::logicChildren() {
    // A child's logic may add, remove or destroy children: run over a copy
    // and skip whatever has left the list meanwhile.
    const Widgets children = children_;
    for (Widget* w : children) {
        if (isChild(w)) {
            w->logic();
        }
    }
}

void BasicContainer::drawChildren(Graphics* graphics) {
    graphics->pushClipArea(getChildrenArea());
    for (Widget* w : children_) {
        if (w->isVisible()) {
            w->drawFramed(graphics);
        }
    }
    graphics->popClipArea();
}

void BasicContainer::_setFocusHandler(FocusHandler* focus_handler) {
    Widget::_setFocusHandler(focus_handler);
    if (internal_focus_handler_ == nullptr) {
        for (Widget* w : children_) {
            w->_setFocusHandler(focus_handler);
        }
    }
}

void BasicContainer::setInternalFocusHandler(FocusHandler* focus_handler) {
    _setInternalFocusHandler(focus_handler);
    for (Widget* w : children_) {
        w->_setFocusHandler(focus_handler ? focus_handler : focus_handler_);
    }
}

void BasicContainer::showWidgetPart(Widget* widget, Rectangle area) {
    const Rectangle c = getChildrenArea();
    const int ax = area.x + widget->getX();
    const int ay = area.y + widget->getY();
    int x = widget->getX();
    int y = widget->getY();
    if (ax + area.width > c.width) {
        x -= ax + area.width - c.width;
    }
    if (ay + area.height > c.height) {
        y -= ay + area.height - c.height;
    }
    if (ax < 0) {
        x -= ax;
    }
    if (ay < 0) {
        y -= ay;
    }
    widget->setPosition(x, y);
}

void BasicContainer::focusNext() {
    const int n = static_cast<int>(children_.size());
    int focused = -1;
    for (int i = 0; i < n; ++i) {
        if (children_[i]->isFocused()) {
            focused = i;
            break;
        }
    }
    if (focused >= 0) {
        // The children after it, wrapping, up to and including itself.
        for (int step = 1; step <= n; ++step) {
            Widget* w = children_[(focused + step) % n];
            if (w->isFocusable()) {
                w->requestFocus();
                return;
            }
        }
        return;
    }
    // Nothing focused: from the second child on, never the first.
    for (int i = 1; i < n; ++i) {
        if (children_[i]->isFocusable()) {
            children_[i]->requestFocus();
            return;
        }
    }
}

void BasicContainer::focusPrevious() {
    const int n = static_cast<int>(children_.size());
    int focused = -1;
    for (int i = n - 1; i >= 0; --i) {
        if (children_[i]->isFocused()) {
            focused = i;
            break;
        }
    }
    if (focused >= 0) {
        // The children before it, wrapping, stopping before itself.
        for (int step = 1; step < n; ++step) {
            Widget* w = children_[(focused - step + n) % n];
            if (w->isFocusable()) {
                w->requestFocus();
                return;
            }
        }
        return;
    }
    for (int i = n - 1; i >= 0; --i) {
        if (children_[i]->isFocusable()) {
            children_[i]->requestFocus();
            return;
        }
    }
}

Widget* BasicContainer::findWidgetById(const std::string& id) {
    for (Widget* w : children_) {
        if (w->getId() == id) {
            return w;
        }
        if (auto* c = dynamic_cast<BasicContainer*>(w)) {
            if (Widget* found = c->findWidgetById(id)) {
                return found;
            }
        }
    }
    return nullptr;
}

void BasicContainer::resizeToContent() {
    int w = 0;
    int h = 0;
    for (Widget* c : children_) {
        w = std::max(w, c->getX() + c->getWidth());
        h = std::max(h, c->getY() + c->getHeight());
    }
    setSize(w, h);
}

// ---------------------------------------------------------------------------
// Container

void Container::draw(Graphics* graphics) {
    if (background_image_) {
        graphics->drawImage(background_image_, 0, 0, background_image_->getWidth(), background_image_->getHeight(), 0,
                            0, getWidth(), getHeight());
    } else if (opaque_) {
        graphics->setColor(getBaseColor());
        graphics->fillRectangle(Rectangle(0, 0, getWidth(), getHeight()));
    }
    drawChildren(graphics);
}

void Container::add(Widget* widget) {
    BasicContainer::add(widget);
    distributeWidgetAddedEvent(widget);
}

void Container::add(Widget* widget, int x, int y) {
    if (widget == nullptr) {
        throw GCN_EXCEPTION("Trying to add a null widget.", "gcn::Container::add");
    }
    widget->setPosition(x, y);
    add(widget);
}

void Container::remove(Widget* widget) {
    BasicContainer::remove(widget);
    distributeWidgetRemovedEvent(widget);
}

void Container::clear() {
    BasicContainer::clear();
}

Widget* Container::findWidgetById(const std::string& id) {
    return BasicContainer::findWidgetById(id);
}

void Container::removeContainerListener(ContainerListener* l) {
    container_listeners_.erase(std::remove(container_listeners_.begin(), container_listeners_.end(), l),
                               container_listeners_.end());
}

void Container::distributeWidgetAddedEvent(Widget* source) {
    const ContainerListeners listeners = container_listeners_;
    const ContainerEvent event(source, this);
    for (ContainerListener* l : listeners) {
        l->widgetAdded(event);
    }
}

void Container::distributeWidgetRemovedEvent(Widget* source) {
    const ContainerListeners listeners = container_listeners_;
    const ContainerEvent event(source, this);
    for (ContainerListener* l : listeners) {
        l->widgetRemoved(event);
    }
}

}  // namespace gcn
