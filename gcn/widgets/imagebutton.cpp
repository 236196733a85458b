#include "gcn/widgets/imagebutton.hpp"

#include "gcn/graphics.hpp"
#include "gcn/image.hpp"

namespace gcn {

void ImageButton::adjustSize() {
    const int iw = image_ ? image_->getWidth() : 0;
    const int ih = image_ ? image_->getHeight() : 0;
    setSize(iw + 2 * spacing_, ih + 2 * spacing_);
}

void ImageButton::draw(Graphics* graphics) {
    drawBevel(graphics);

    const int w = getWidth();
    const int h = getHeight();
    graphics->setColor(getForegroundColor());
    const int iw = image_ ? image_->getWidth() : 0;
    const int ih = image_ ? image_->getHeight() : 0;
    const int x = (w - iw) / 2;
    const int y = (h - ih) / 2;
    if (isPressed()) {
        if (image_) {
            graphics->drawImage(image_, x + 1, y + 1);
        }
        return;
    }
    if (image_) {
        graphics->drawImage(image_, x, y);
    }
    if (!isEnabled()) {
        Color veil = faceColor();
        veil.a = 150;
        graphics->setColor(veil);
        graphics->fillRectangle(Rectangle(1, 1, w - 1, h - 1));
    }
    if (isFocused()) {
        graphics->drawRectangle(Rectangle(2, 2, w - 4, h - 4));
    }
}

}  // namespace gcn
