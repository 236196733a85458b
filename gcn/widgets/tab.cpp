#include "gcn/widgets/tab.hpp"

#include "gcn/graphics.hpp"
#include "gcn/style.hpp"
#include "gcn/widgets/label.hpp"
#include "gcn/widgets/tabbedarea.hpp"

namespace gcn {

Tab::Tab() : label_(new Label()) {
    label_->setPosition(3, 3);
    label_->setFrameSize(0);
    add(label_);
    addMouseListener(this);
}

Tab::~Tab() {
    Label* label = label_;
    label_ = nullptr;
    delete label;
}

void Tab::setCaption(const char* caption) {
    label_->setCaption(caption);
    label_->adjustSize();
    setSize(label_->getWidth() + 8, label_->getHeight() + 8);
    if (tabbed_area_) {
        tabbed_area_->adjustTabPositions();
    }
}

const std::string& Tab::getCaption() const {
    return label_->getCaption();
}

void Tab::draw(Graphics* graphics) {
    const Style* style = Style::getCurrent();
    const Color& base = getBaseColor();
    const Color highlight = style->highlightColor(base);
    const Color shadow = style->shadowColor(base);
    const int w = getWidth();
    const int h = getHeight();
    const bool selected = tabbed_area_ != nullptr && tabbed_area_->isTabSelected(this);

    Color fill;
    if (selected || has_mouse_) {
        graphics->setColor(highlight);
        graphics->drawLine(0, 0, w - 1, 0);
        graphics->drawLine(0, 1, 0, h - 1);
        graphics->setColor(shadow);
        graphics->drawLine(w - 1, 1, w - 1, h - 1);
        fill = base;
    } else {
        graphics->setColor(shadow);
        graphics->drawLine(0, 0, w - 1, 0);
        graphics->drawLine(0, 1, 0, h - 1);
        graphics->drawLine(w - 1, 1, w - 1, h - 1);
        fill = style->sliderColor(base);
    }

    graphics->pushClipArea(Rectangle(1, 1, w - 2, h - 1));
    const ClipRectangle clip = graphics->getCurrentClipArea();
    graphics->setColor(fill);
    graphics->fillRectangle(Rectangle(0, 0, clip.width, clip.height));
    drawChildren(graphics);
    if (selected && tabbed_area_->isFocused()) {
        graphics->setColor(Color(0, 0, 0, 255));
        graphics->drawRectangle(Rectangle(2, 2, clip.width - 5, clip.height - 5));
    }
    graphics->popClipArea();
}

void Tab::mouseEntered(MouseEvent&) {
    has_mouse_ = true;
}

void Tab::mouseExited(MouseEvent&) {
    has_mouse_ = false;
}

}  // namespace gcn
