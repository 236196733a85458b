#include "gcn/widgets/icon.hpp"

#include "gcn/graphics.hpp"
#include "gcn/image.hpp"

namespace gcn {

Icon::Icon(const Image* image) {
    setImage(image);
}

void Icon::setImage(const Image* image) {
    image_ = image;
    if (image_) {
        setSize(image_->getWidth(), image_->getHeight());
    } else {
        setSize(0, 0);
    }
}

void Icon::draw(Graphics* graphics) {
    if (!image_) {
        return;
    }
    graphics->drawImage(image_, (getWidth() - image_->getWidth()) / 2, (getHeight() - image_->getHeight()) / 2);
}

}  // namespace gcn
