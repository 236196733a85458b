#include "gcn/widgets/scrollarea.hpp"

#include <algorithm>
#include <cstdint>

#include "gcn/exception.hpp"
#include "gcn/graphics.hpp"
#include "gcn/style.hpp"

namespace gcn {

namespace {

const char* const kFile = "gcn\\widgets\\scrollarea";

// a * b / c in 64 bits, brought back into the int range: a long content's
// scroll times a track length, or a drag far past the track, overflows an
// int. The callers clamp the result to the scroll range afterwards.
int scaled(int a, int b, int c) {
    const int64_t r = static_cast<int64_t>(a) * b / c;
    return static_cast<int>(std::clamp<int64_t>(r, INT32_MIN, INT32_MAX));
}

}  // namespace

ScrollArea::ScrollArea() {
    setFrameSize(Style::getCurrent()->listFrameSize());
    addMouseListener(this);
}

ScrollArea::ScrollArea(Widget* content, int h_policy, int v_policy) : h_policy_(h_policy), v_policy_(v_policy) {
    setFrameSize(Style::getCurrent()->listFrameSize());
    addMouseListener(this);
    setContent(content);
}

ScrollArea::~ScrollArea() {
    setContent(nullptr);
}

void ScrollArea::setContent(Widget* widget) {
    clear();
    if (widget) {
        widget->setPosition(0, 0);
        add(widget);
    }
    checkPolicies();
}

Widget* ScrollArea::getContent() const {
    return children_.empty() ? nullptr : children_.front();
}

void ScrollArea::setHorizontalScrollPolicy(int policy) {
    h_policy_ = policy;
    checkPolicies();
}

void ScrollArea::setVerticalScrollPolicy(int policy) {
    v_policy_ = policy;
    checkPolicies();
}

void ScrollArea::setScrollPolicy(int h_policy, int v_policy) {
    h_policy_ = h_policy;
    v_policy_ = v_policy;
    checkPolicies();
}

void ScrollArea::setVerticalScrollAmount(int amount) {
    v_scroll_ = std::clamp(amount, 0, getVerticalMaxScroll());
}

void ScrollArea::setHorizontalScrollAmount(int amount) {
    h_scroll_ = std::clamp(amount, 0, getHorizontalMaxScroll());
}

void ScrollArea::setScrollAmount(int h_amount, int v_amount) {
    setHorizontalScrollAmount(h_amount);
    setVerticalScrollAmount(v_amount);
}

int ScrollArea::getVerticalMaxScroll() {
    checkPolicies();
    Widget* content = getContent();
    if (!content) {
        return 0;
    }
    const int m = content->getHeight() + 2 * content->getFrameSize() - getChildrenArea().height;
    return std::max(0, m);
}

int ScrollArea::getHorizontalMaxScroll() {
    checkPolicies();
    Widget* content = getContent();
    if (!content) {
        return 0;
    }
    const int m = content->getWidth() + 2 * content->getFrameSize() - getChildrenArea().width;
    return std::max(0, m);
}

void ScrollArea::setDimension(const Rectangle& dimension) {
    BasicContainer::setDimension(dimension);
    checkPolicies();
}

void ScrollArea::checkPolicies() {
    const int w = getWidth();
    const int h = getHeight();
    const int sb = scrollbar_width_;
    h_bar_visible_ = false;
    v_bar_visible_ = false;

    Widget* content = getContent();
    if (!content) {
        h_bar_visible_ = h_policy_ == ShowAlways;
        v_bar_visible_ = v_policy_ == ShowAlways;
        return;
    }
    const int cw = content->getWidth();
    const int ch = content->getHeight();

    if (h_policy_ == ShowAuto && v_policy_ == ShowAuto) {
        h_bar_visible_ = cw > w;
        v_bar_visible_ = ch > h || (h_bar_visible_ && ch > h - sb);
        if (v_bar_visible_ && cw > w - sb) {
            h_bar_visible_ = true;
        }
        return;
    }

    switch (h_policy_) {
    case ShowAlways:
        h_bar_visible_ = true;
        break;
    case ShowNever:
        h_bar_visible_ = false;
        break;
    case ShowAuto:
        h_bar_visible_ = v_policy_ != ShowNever ? cw > w - sb : cw > w;
        break;
    default:
        throw Exception("Horizontal scroll policy invalid.", "gcn::ScrollArea::checkPolicies", kFile, 820);
    }

    switch (v_policy_) {
    case ShowAlways:
        v_bar_visible_ = true;
        break;
    case ShowNever:
        v_bar_visible_ = false;
        break;
    case ShowAuto:
        v_bar_visible_ = h_policy_ != ShowNever ? ch > h - sb : ch > h;
        break;
    default:
        throw Exception("Vertical scroll policy invalid.", "gcn::ScrollArea::checkPolicies", kFile, 844);
    }
}

Rectangle ScrollArea::getChildrenArea() {
    const Rectangle area(0, 0, v_bar_visible_ ? getWidth() - scrollbar_width_ : getWidth(),
                         h_bar_visible_ ? getHeight() - scrollbar_width_ : getHeight());
    if (area.isEmpty()) {
        return Rectangle(0, 0, 0, 0);
    }
    return area;
}

Rectangle ScrollArea::getUpButtonDimension() {
    if (!v_bar_visible_) {
        return Rectangle(0, 0, 0, 0);
    }
    return Rectangle(getWidth() - scrollbar_width_, 0, scrollbar_width_, scrollbar_width_);
}

Rectangle ScrollArea::getDownButtonDimension() {
    if (!v_bar_visible_) {
        return Rectangle(0, 0, 0, 0);
    }
    const int sb = scrollbar_width_;
    const int y = h_bar_visible_ ? getHeight() - 2 * sb : getHeight() - sb;
    return Rectangle(getWidth() - sb, y, sb, sb);
}

Rectangle ScrollArea::getLeftButtonDimension() {
    if (!h_bar_visible_) {
        return Rectangle(0, 0, 0, 0);
    }
    return Rectangle(0, getHeight() - scrollbar_width_, scrollbar_width_, scrollbar_width_);
}

Rectangle ScrollArea::getRightButtonDimension() {
    if (!h_bar_visible_) {
        return Rectangle(0, 0, 0, 0);
    }
    const int sb = scrollbar_width_;
    const int x = v_bar_visible_ ? getWidth() - 2 * sb : getWidth() - sb;
    return Rectangle(x, getHeight() - sb, sb, sb);
}

Rectangle ScrollArea::getVerticalBarDimension() {
    if (!v_bar_visible_) {
        return Rectangle(0, 0, 0, 0);
    }
    const int sb = scrollbar_width_;
    const int up = getUpButtonDimension().height;
    const int down = getDownButtonDimension().height;
    const int h = h_bar_visible_ ? getHeight() - sb : getHeight();
    return Rectangle(getWidth() - sb, up, sb, h - up - down);
}

Rectangle ScrollArea::getHorizontalBarDimension() {
    if (!h_bar_visible_) {
        return Rectangle(0, 0, 0, 0);
    }
    const int sb = scrollbar_width_;
    const int left = getLeftButtonDimension().width;
    const int right = getRightButtonDimension().width;
    const int w = v_bar_visible_ ? getWidth() - sb : getWidth();
    return Rectangle(left, getHeight() - sb, w - left - right, sb);
}

Rectangle ScrollArea::getVerticalMarkerDimension() {
    if (!v_bar_visible_) {
        return Rectangle(0, 0, 0, 0);
    }
    const Rectangle track = getVerticalBarDimension();
    Widget* content = getContent();
    int length = track.height;
    if (content && content->getHeight() != 0) {
        length = scaled(getChildrenArea().height, track.height, content->getHeight());
    }
    length = std::min(std::max(length, scrollbar_width_), track.height);
    const int max_scroll = getVerticalMaxScroll();
    const int pos = max_scroll != 0 ? scaled(track.height - length, v_scroll_, max_scroll) : 0;
    return Rectangle(track.x, track.y + pos, scrollbar_width_, length);
}

Rectangle ScrollArea::getHorizontalMarkerDimension() {
    if (!h_bar_visible_) {
        return Rectangle(0, 0, 0, 0);
    }
    const Rectangle track = getHorizontalBarDimension();
    Widget* content = getContent();
    int length = track.width;
    if (content && content->getWidth() != 0) {
        length = scaled(getChildrenArea().width, track.width, content->getWidth());
    }
    length = std::min(std::max(length, scrollbar_width_), track.width);
    const int max_scroll = getHorizontalMaxScroll();
    const int pos = max_scroll != 0 ? scaled(track.width - length, h_scroll_, max_scroll) : 0;
    return Rectangle(track.x + pos, track.y, length, scrollbar_width_);
}

void ScrollArea::logic() {
    checkPolicies();
    setVerticalScrollAmount(v_scroll_);
    setHorizontalScrollAmount(h_scroll_);
    if (Widget* content = getContent()) {
        const int f = content->getFrameSize();
        content->setPosition(f - h_scroll_, f - v_scroll_);
        content->logic();
    }
}

Widget* ScrollArea::getWidgetAt(int x, int y) {
    if (getChildrenArea().isPointInRect(x, y)) {
        return getContent();
    }
    return nullptr;
}

void ScrollArea::showWidgetPart(Widget* widget, Rectangle area) {
    Widget* content = getContent();
    if (widget != content || content == nullptr) {
        throw Exception("Widget not content widget", "gcn::ScrollArea::showWidgetPart", kFile, 1046);
    }
    BasicContainer::showWidgetPart(widget, area);
    const int f = content->getFrameSize();
    setHorizontalScrollAmount(f - content->getX());
    setVerticalScrollAmount(f - content->getY());
}

void ScrollArea::mousePressed(MouseEvent& event) {
    const int x = event.getX();
    const int y = event.getY();
    if (getUpButtonDimension().isPointInRect(x, y)) {
        setVerticalScrollAmount(v_scroll_ - up_amount_);
        up_pressed_ = true;
    } else if (getDownButtonDimension().isPointInRect(x, y)) {
        setVerticalScrollAmount(v_scroll_ + down_amount_);
        down_pressed_ = true;
    } else if (getLeftButtonDimension().isPointInRect(x, y)) {
        setHorizontalScrollAmount(h_scroll_ - left_amount_);
        left_pressed_ = true;
    } else if (getRightButtonDimension().isPointInRect(x, y)) {
        setHorizontalScrollAmount(h_scroll_ + right_amount_);
        right_pressed_ = true;
    } else if (getVerticalMarkerDimension().isPointInRect(x, y)) {
        h_marker_dragged_ = false;
        v_marker_dragged_ = true;
        v_marker_drag_offset_ = y - getVerticalMarkerDimension().y;
    } else if (getVerticalBarDimension().isPointInRect(x, y)) {
        const int page = static_cast<int>(getChildrenArea().height * 0.95);
        if (y < getVerticalMarkerDimension().y) {
            setVerticalScrollAmount(v_scroll_ - page);
        } else {
            setVerticalScrollAmount(v_scroll_ + page);
        }
    } else if (getHorizontalMarkerDimension().isPointInRect(x, y)) {
        v_marker_dragged_ = false;
        h_marker_dragged_ = true;
        h_marker_drag_offset_ = x - getHorizontalMarkerDimension().x;
    } else if (getHorizontalBarDimension().isPointInRect(x, y)) {
        const int page = static_cast<int>(getChildrenArea().width * 0.95);
        if (x < getHorizontalMarkerDimension().x) {
            setHorizontalScrollAmount(h_scroll_ - page);
        } else {
            setHorizontalScrollAmount(h_scroll_ + page);
        }
    }
}

void ScrollArea::mouseReleased(MouseEvent& event) {
    up_pressed_ = false;
    down_pressed_ = false;
    left_pressed_ = false;
    right_pressed_ = false;
    v_marker_dragged_ = false;
    h_marker_dragged_ = false;
    event.consume();
}

void ScrollArea::mouseDragged(MouseEvent& event) {
    if (v_marker_dragged_) {
        const Rectangle track = getVerticalBarDimension();
        const int pos = event.getY() - track.y - v_marker_drag_offset_;
        const int d = track.height - getVerticalMarkerDimension().height;
        if (d > 0) {
            setVerticalScrollAmount(scaled(getVerticalMaxScroll(), pos, d));
        } else {
            setVerticalScrollAmount(0);
        }
    }
    if (h_marker_dragged_) {
        const Rectangle track = getHorizontalBarDimension();
        const int pos = event.getX() - track.x - h_marker_drag_offset_;
        const int d = track.width - getHorizontalMarkerDimension().width;
        if (d > 0) {
            setHorizontalScrollAmount(scaled(getHorizontalMaxScroll(), pos, d));
        } else {
            setHorizontalScrollAmount(0);
        }
    }
    event.consume();
}

void ScrollArea::mouseWheelMovedUp(MouseEvent& event) {
    if (event.isConsumed()) {
        return;
    }
    setVerticalScrollAmount(v_scroll_ - getChildrenArea().height / 8);
    event.consume();
}

void ScrollArea::mouseWheelMovedDown(MouseEvent& event) {
    if (event.isConsumed()) {
        return;
    }
    setVerticalScrollAmount(v_scroll_ + getChildrenArea().height / 8);
    event.consume();
}

// ---------------------------------------------------------------------------
// Drawing

void ScrollArea::draw(Graphics* graphics) {
    drawBackground(graphics);
    if (v_bar_visible_) {
        drawUpButton(graphics);
        drawDownButton(graphics);
        drawVBar(graphics);
        drawVMarker(graphics);
    }
    if (h_bar_visible_) {
        drawLeftButton(graphics);
        drawRightButton(graphics);
        drawHBar(graphics);
        drawHMarker(graphics);
    }
    if (v_bar_visible_ && h_bar_visible_) {
        const int sb = scrollbar_width_;
        graphics->setColor(getBaseColor());
        graphics->fillRectangle(Rectangle(getWidth() - sb, getHeight() - sb, sb, sb));
    }
    drawChildren(graphics);
}

void ScrollArea::drawBackground(Graphics* graphics) {
    if (!opaque_) {
        return;
    }
    const Rectangle area = getChildrenArea();
    graphics->pushClipArea(area);
    graphics->setColor(getBackgroundColor());
    graphics->fillRectangle(Rectangle(0, 0, area.width, area.height));
    graphics->popClipArea();
}

void ScrollArea::drawArrowButtonFace(Graphics* graphics, const Rectangle& dim, bool pressed, int& offset) {
    const Style* style = Style::getCurrent();
    const Color& base = getBaseColor();
    Color face;
    Color top_left;
    Color bottom_right;
    if (pressed) {
        face = style->shadowColor(base);
        top_left = style->shadowColor(face);
        bottom_right = base;
        offset = 1;
    } else {
        face = base;
        top_left = style->highlightColor(base);
        bottom_right = style->shadowColor(base);
        offset = 0;
    }
    const int dw = dim.width;
    const int dh = dim.height;
    graphics->setColor(face);
    graphics->fillRectangle(Rectangle(0, 0, dw, dh));
    graphics->setColor(top_left);
    graphics->drawLine(0, 0, dw - 1, 0);
    graphics->drawLine(0, 1, 0, dh - 1);
    graphics->setColor(bottom_right);
    graphics->drawLine(dw - 1, 0, dw - 1, dh - 1);
    graphics->drawLine(1, dh - 1, dw - 1, dh - 1);
    graphics->setColor(getForegroundColor());
}

void ScrollArea::drawUpButton(Graphics* graphics) {
    const Rectangle dim = getUpButtonDimension();
    graphics->pushClipArea(dim);
    int o = 0;
    drawArrowButtonFace(graphics, dim, up_pressed_, o);
    const int half = dim.height / 2;
    for (int i = 0; i < half / 2; ++i) {
        const int y = i + half / 2 + 2 + o;
        graphics->drawLine(half - i + o, y, half + i + o, y);
    }
    graphics->popClipArea();
}

void ScrollArea::drawDownButton(Graphics* graphics) {
    const Rectangle dim = getDownButtonDimension();
    graphics->pushClipArea(dim);
    int o = 0;
    drawArrowButtonFace(graphics, dim, down_pressed_, o);
    const int half = dim.height / 2;
    for (int i = 0; i < half / 2; ++i) {
        const int y = half + 1 - i + o;
        graphics->drawLine(half - i + o, y, half + i + o, y);
    }
    graphics->popClipArea();
}

void ScrollArea::drawLeftButton(Graphics* graphics) {
    const Rectangle dim = getLeftButtonDimension();
    graphics->pushClipArea(dim);
    int o = 0;
    drawArrowButtonFace(graphics, dim, left_pressed_, o);
    const int half = dim.width / 2;
    for (int i = 0; i < half / 2; ++i) {
        const int x = i + half - 2 + o;
        graphics->drawLine(x, half - i + o, x, half + i + o);
    }
    graphics->popClipArea();
}

void ScrollArea::drawRightButton(Graphics* graphics) {
    const Rectangle dim = getRightButtonDimension();
    graphics->pushClipArea(dim);
    int o = 0;
    drawArrowButtonFace(graphics, dim, right_pressed_, o);
    const int half = dim.width / 2;
    for (int i = 0; i < half / 2; ++i) {
        const int x = half + 1 - i + o;
        graphics->drawLine(x, half - i + o, x, half + i + o);
    }
    graphics->popClipArea();
}

void ScrollArea::drawVBar(Graphics* graphics) {
    const Style* style = Style::getCurrent();
    const Rectangle dim = getVerticalBarDimension();
    graphics->pushClipArea(dim);
    graphics->setColor(style->sliderColor(getBaseColor()));
    graphics->fillRectangle(Rectangle(0, 0, dim.width, dim.height));
    graphics->setColor(style->shadowColor(getBaseColor()));
    graphics->drawLine(0, 0, 0, dim.height);
    graphics->popClipArea();
}

void ScrollArea::drawHBar(Graphics* graphics) {
    const Style* style = Style::getCurrent();
    const Rectangle dim = getHorizontalBarDimension();
    graphics->pushClipArea(dim);
    graphics->setColor(style->sliderColor(getBaseColor()));
    graphics->fillRectangle(Rectangle(0, 0, dim.width, dim.height));
    graphics->setColor(style->shadowColor(getBaseColor()));
    graphics->drawLine(0, 0, dim.width, 0);
    graphics->popClipArea();
}

void ScrollArea::drawMarker(Graphics* graphics, const Rectangle& dim) {
    const Style* style = Style::getCurrent();
    const Color& base = getBaseColor();
    graphics->pushClipArea(dim);
    const int dw = dim.width;
    const int dh = dim.height;
    graphics->setColor(base);
    graphics->fillRectangle(Rectangle(1, 1, dw - 1, dh - 1));
    graphics->setColor(style->highlightColor(base));
    graphics->drawLine(0, 0, dw - 1, 0);
    graphics->drawLine(0, 1, 0, dh - 1);
    graphics->setColor(style->shadowColor(base));
    graphics->drawLine(1, dh - 1, dw - 1, dh - 1);
    graphics->drawLine(dw - 1, 0, dw - 1, dh - 1);
    graphics->popClipArea();
}

void ScrollArea::drawVMarker(Graphics* graphics) {
    drawMarker(graphics, getVerticalMarkerDimension());
}

void ScrollArea::drawHMarker(Graphics* graphics) {
    drawMarker(graphics, getHorizontalMarkerDimension());
}

}  // namespace gcn
