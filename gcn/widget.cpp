#include "gcn/widget.hpp"

#include <algorithm>

#include "gcn/exception.hpp"
#include "gcn/focushandler.hpp"
#include "gcn/font.hpp"
#include "gcn/graphics.hpp"
#include "gcn/style.hpp"

namespace gcn {

namespace {

const char* const kNoFocusHandler = "No focushandler set (did you add the widget to the gui?).";

// Function-local statics: widgets built during static initialisation of
// another file still find them constructed.
std::vector<Widget*>& liveWidgets() {
    static std::vector<Widget*> widgets;
    return widgets;
}

Font*& globalFont() {
    static Font* font = nullptr;
    return font;
}

DefaultFont& builtInFont() {
    static DefaultFont font;
    return font;
}

template <typename List, typename Item>
void eraseAll(List& list, Item* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

// One notice to every widget listener, over a copy of the list: a listener
// may register or unregister listeners while it is told.
void tellWidgetListeners(const std::vector<WidgetListener*>& list, void (WidgetListener::*notice)(const Event&),
                         Widget* source) {
    const std::vector<WidgetListener*> listeners = list;
    const Event event(source);
    for (WidgetListener* l : listeners) {
        (l->*notice)(event);
    }
}

}  // namespace

Widget::Widget() {
    const Style* style = Style::getCurrent();
    foreground_color_ = style->foregroundColor();
    background_color_ = style->backgroundColor();
    base_color_ = style->baseColor();
    frame_size_ = style->frameSize();
    liveWidgets().push_back(this);
}

Widget::~Widget() {
    // A copy: a listener may unregister itself (or others) while told.
    const DeathListeners listeners = death_listeners_;
    const Event event(this);
    for (DeathListener* l : listeners) {
        l->death(event);
    }
    // Leaving the handler gives up both modal roles, so it never keeps a
    // pointer to a destroyed widget in either.
    Widget::_setFocusHandler(nullptr);
    eraseAll(liveWidgets(), this);
}

void Widget::drawFrame(Graphics* graphics) {
    int s = frame_size_;
    if (s == 0) {
        return;
    }
    const Style* style = Style::getCurrent();
    Color first;
    Color second;
    if (s > 0) {
        first = style->shadowColor(base_color_);
        second = style->highlightColor(base_color_);
    } else {
        first = style->highlightColor(base_color_);
        second = style->shadowColor(base_color_);
        s = -s;
    }
    const int w = getWidth() + 2 * s - 1;
    const int h = getHeight() + 2 * s - 1;
    for (int i = 0; i < s; ++i) {
        graphics->setColor(first);
        graphics->drawLine(i, i, w - i, i);
        graphics->drawLine(i, i + 1, i, h - i - 1);
        graphics->setColor(second);
        graphics->drawLine(w - i, i + 1, w - i, h - i);
        graphics->drawLine(i, h - i, w - i - 1, h - i);
    }
}

void Widget::drawFramed(Graphics* graphics) {
    const Rectangle& d = dimension_;
    const int f = getFrameSize();
    if (f != 0) {
        graphics->pushClipArea(Rectangle(d.x - f, d.y - f, d.width + 2 * f, d.height + 2 * f));
        drawFrame(graphics);
        graphics->popClipArea();
    }
    graphics->pushClipArea(d);
    draw(graphics);
    graphics->popClipArea();
}

Widget* Widget::getTop() const {
    if (!parent_) {
        return nullptr;
    }
    Widget* w = parent_;
    while (w->getParent()) {
        w = w->getParent();
    }
    return w;
}

bool Widget::isFocused() const {
    return focus_handler_ != nullptr && focus_handler_->isFocused(this);
}

void Widget::requestFocus() {
    if (!focus_handler_) {
        throw GCN_EXCEPTION(kNoFocusHandler, "gcn::Widget::requestFocus");
    }
    if (isFocusable()) {
        focus_handler_->requestFocus(this);
    }
}

void Widget::requestMoveToTop() {
    if (parent_) {
        parent_->moveToTop(this);
    }
}

void Widget::requestMoveToBottom() {
    if (parent_) {
        parent_->moveToBottom(this);
    }
}

void Widget::_setFocusHandler(FocusHandler* focus_handler) {
    if (focus_handler_) {
        // A widget that leaves its gui cannot keep either modal role there.
        releaseModalFocus();
        releaseModalMouseInputFocus();
        focus_handler_->remove(this);
    }
    if (focus_handler) {
        focus_handler->add(this);
    }
    focus_handler_ = focus_handler;
}

void Widget::getAbsolutePosition(int& x, int& y) const {
    if (!parent_) {
        x = dimension_.x;
        y = dimension_.y;
        return;
    }
    int px = 0;
    int py = 0;
    parent_->getAbsolutePosition(px, py);
    const Rectangle area = parent_->getChildrenArea();
    x = dimension_.x + px + area.x;
    y = dimension_.y + py + area.y;
}

void Widget::requestModalFocus() {
    if (!focus_handler_) {
        throw GCN_EXCEPTION(kNoFocusHandler, "gcn::Widget::requestModalFocus");
    }
    focus_handler_->requestModalFocus(this);
}

void Widget::requestModalMouseInputFocus() {
    if (!focus_handler_) {
        throw GCN_EXCEPTION(kNoFocusHandler, "gcn::Widget::requestModalMouseInputFocus");
    }
    focus_handler_->requestModalMouseInputFocus(this);
}

void Widget::releaseModalFocus() {
    if (focus_handler_) {
        focus_handler_->releaseModalFocus(this);
    }
}

void Widget::releaseModalMouseInputFocus() {
    if (focus_handler_) {
        focus_handler_->releaseModalMouseInputFocus(this);
    }
}

bool Widget::isModalFocused() const {
    if (!focus_handler_) {
        throw GCN_EXCEPTION(kNoFocusHandler, "gcn::Widget::isModalFocused");
    }
    if (focus_handler_->getModalFocused() == this) {
        return true;
    }
    return parent_ != nullptr && parent_->isModalFocused();
}

bool Widget::isModalMouseInputFocused() const {
    if (!focus_handler_) {
        throw GCN_EXCEPTION(kNoFocusHandler, "gcn::Widget::isModalMouseInputFocused");
    }
    if (focus_handler_->getModalMouseInputFocused() == this) {
        return true;
    }
    return parent_ != nullptr && parent_->isModalMouseInputFocused();
}

Widget* Widget::getWidgetAt(int, int) {
    return nullptr;
}

Rectangle Widget::getChildrenArea() {
    return Rectangle(0, 0, 0, 0);
}

void Widget::showPart(Rectangle rectangle) {
    if (parent_) {
        parent_->showWidgetPart(this, rectangle);
    }
}

void Widget::setDimension(const Rectangle& dimension) {
    const Rectangle old = dimension_;
    dimension_ = dimension;
    if (old.width != dimension.width || old.height != dimension.height) {
        distributeResizedEvent();
    }
    if (old.x != dimension.x || old.y != dimension.y) {
        distributeMovedEvent();
    }
}

void Widget::setWidth(int width) {
    setDimension(Rectangle(dimension_.x, dimension_.y, width, dimension_.height));
}

void Widget::setHeight(int height) {
    setDimension(Rectangle(dimension_.x, dimension_.y, dimension_.width, height));
}

void Widget::setSize(int width, int height) {
    setDimension(Rectangle(dimension_.x, dimension_.y, width, height));
}

void Widget::setX(int x) {
    setDimension(Rectangle(x, dimension_.y, dimension_.width, dimension_.height));
}

void Widget::setY(int y) {
    setDimension(Rectangle(dimension_.x, y, dimension_.width, dimension_.height));
}

void Widget::setPosition(int x, int y) {
    setDimension(Rectangle(x, y, dimension_.width, dimension_.height));
}

void Widget::setFocusable(bool focusable) {
    if (!focusable && isFocused()) {
        focus_handler_->focusNone();
    }
    focusable_ = focusable;
}

bool Widget::isFocusable() const {
    return focusable_ && isVisible() && isEnabled();
}

void Widget::setVisible(bool visible) {
    if (!visible && isFocused()) {
        focus_handler_->focusNone();
    }
    // Listeners still see the old flag.
    if (visible) {
        distributeShownEvent();
    } else {
        distributeHiddenEvent();
    }
    visible_ = visible;
}

bool Widget::isVisible() const {
    return visible_ && (parent_ == nullptr || parent_->isVisible());
}

bool Widget::isEnabled() const {
    return enabled_ && isVisible();
}

void Widget::setFont(Font* font) {
    current_font_ = font;
    fontChanged();
}

Font* Widget::getFont() const {
    if (current_font_) {
        return current_font_;
    }
    if (globalFont()) {
        return globalFont();
    }
    return &builtInFont();
}

void Widget::setGlobalFont(Font* font) {
    globalFont() = font;
    // A copy: fontChanged may create or destroy widgets.
    const std::vector<Widget*> widgets = liveWidgets();
    for (Widget* w : widgets) {
        if (widgetExists(w) && w->current_font_ == nullptr) {
            w->fontChanged();
        }
    }
}

Font* Widget::getGlobalFont() {
    return globalFont();
}

bool Widget::widgetExists(const Widget* widget) {
    const std::vector<Widget*>& widgets = liveWidgets();
    return widget != nullptr && std::find(widgets.begin(), widgets.end(), widget) != widgets.end();
}

void Widget::removeMouseListener(MouseListener* l) {
    eraseAll(mouse_listeners_, l);
}

void Widget::removeKeyListener(KeyListener* l) {
    eraseAll(key_listeners_, l);
}

void Widget::removeActionListener(ActionListener* l) {
    eraseAll(action_listeners_, l);
}

void Widget::removeDeathListener(DeathListener* l) {
    eraseAll(death_listeners_, l);
}

void Widget::removeDeathListenerOnce(DeathListener* l) {
    auto it = std::find(death_listeners_.begin(), death_listeners_.end(), l);
    if (it != death_listeners_.end()) {
        death_listeners_.erase(it);
    }
}

void Widget::removeFocusListener(FocusListener* l) {
    eraseAll(focus_listeners_, l);
}

void Widget::removeWidgetListener(WidgetListener* l) {
    eraseAll(widget_listeners_, l);
}

void Widget::distributeResizedEvent() {
    tellWidgetListeners(widget_listeners_, &WidgetListener::widgetResized, this);
}

void Widget::distributeMovedEvent() {
    tellWidgetListeners(widget_listeners_, &WidgetListener::widgetMoved, this);
}

void Widget::distributeHiddenEvent() {
    tellWidgetListeners(widget_listeners_, &WidgetListener::widgetHidden, this);
}

void Widget::distributeShownEvent() {
    tellWidgetListeners(widget_listeners_, &WidgetListener::widgetShown, this);
}

void Widget::distributeActionEvent() {
    // A copy of the list and of the id: an action commonly closes the
    // dialog the widget sits in, destroying the widget.
    const ActionListeners listeners = action_listeners_;
    const ActionEvent event(this, action_event_id_);
    for (ActionListener* l : listeners) {
        l->action(event);
        if (!widgetExists(this)) {
            return;
        }
    }
}

bool Widget::fireAction() {
    if (!isEnabled()) {
        return false;
    }
    distributeActionEvent();
    return true;
}

void Widget::fireActionAndConsume(InputEvent& event) {
    if (isEnabled()) {
        distributeActionEvent();
        event.consume();
    }
}

}  // namespace gcn
