#include "gcn/widgets/window.hpp"

#include "gcn/exception.hpp"
#include "gcn/font.hpp"
#include "gcn/graphics.hpp"
#include "gcn/style.hpp"

namespace gcn {

Window::Window(const char* caption) : caption_(caption ? caption : "") {
    setFrameSize(Style::getCurrent()->windowFrameSize());
    addMouseListener(this);
    setOpaque(true);
}

void Window::setCaption(const char* caption) {
    caption_ = caption ? caption : "";
}

Rectangle Window::getChildrenArea() {
    const int p = static_cast<int>(padding_);
    const int t = static_cast<int>(title_bar_height_);
    return Rectangle(p, t, getWidth() - 2 * p, getHeight() - p - t);
}

void Window::resizeToContent() {
    BasicContainer::resizeToContent();
    const int p = static_cast<int>(padding_);
    const int t = static_cast<int>(title_bar_height_);
    setSize(getWidth() + 2 * p, getHeight() + p + t);
}

void Window::mousePressed(MouseEvent& event) {
    if (event.getSource() != this) {
        return;
    }
    // A window that is a gui's top widget (a dialog's) has no parent to
    // reorder it; requestMoveToTop then does nothing.
    requestMoveToTop();
    drag_offset_x_ = event.getX();
    drag_offset_y_ = event.getY();
    moved_ = event.getY() <= static_cast<int>(title_bar_height_);
}

void Window::mouseReleased(MouseEvent&) {
    moved_ = false;
}

void Window::mouseDragged(MouseEvent& event) {
    if (event.isConsumed() || event.getSource() != this) {
        return;
    }
    if (movable_ && moved_) {
        setPosition(getX() + event.getX() - drag_offset_x_, getY() + event.getY() - drag_offset_y_);
    }
    event.consume();
}

void Window::draw(Graphics* graphics) {
    const Style* style = Style::getCurrent();
    const Color& base = getBaseColor();
    const Color highlight = style->highlightColor(base);
    const Color shadow = style->shadowColor(base);
    const int w = getWidth();
    const int h = getHeight();
    Rectangle d = getChildrenArea();

    graphics->setColor(base);
    graphics->fillRectangle(Rectangle(0, 0, w, d.y - 1));
    graphics->fillRectangle(Rectangle(0, d.y - 1, d.x - 1, h - d.y + 1));
    graphics->fillRectangle(Rectangle(d.x + d.width + 1, d.y - 1, w - d.x - d.width - 1, h - d.y + 1));
    graphics->fillRectangle(Rectangle(d.x - 1, d.y + d.height + 1, d.width + 2, h - d.height - d.y - 1));
    if (opaque_) {
        graphics->fillRectangle(d);
    }

    d.x -= 1;
    d.y -= 1;
    d.width += 2;
    d.height += 2;
    graphics->setColor(shadow);
    graphics->drawLine(d.x, d.y, d.x + d.width - 2, d.y);
    graphics->drawLine(d.x, d.y + 1, d.x, d.y + d.height - 1);
    graphics->setColor(highlight);
    graphics->drawLine(d.x + d.width - 1, d.y, d.x + d.width - 1, d.y + d.height - 2);
    graphics->drawLine(d.x + 1, d.y + d.height - 1, d.x + d.width - 1, d.y + d.height - 1);

    drawChildren(graphics);

    Font* font = getFont();
    const int text_y = (static_cast<int>(title_bar_height_) - font->getHeight()) / 2;
    int text_x = 0;
    switch (alignment_) {
    case Graphics::Left:
        text_x = 4;
        break;
    case Graphics::Center:
        text_x = w / 2;
        break;
    case Graphics::Right:
        text_x = w - 4;
        break;
    default:
        throw Exception("Unknown alignment.", "gcn::Window::draw", "gcn\\widgets\\window", 233);
    }
    graphics->setColor(getForegroundColor());
    graphics->setFont(font);
    graphics->pushClipArea(Rectangle(0, 0, w, static_cast<int>(title_bar_height_) - 1));
    graphics->drawText(caption_, text_x, text_y, alignment_);
    graphics->popClipArea();
}

}  // namespace gcn
