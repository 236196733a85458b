// Shows an image centred in its rectangle. The icon never owns the image:
// the caller keeps it alive while the icon shows it.
#pragma once

#include "gcn/widget.hpp"

namespace gcn {

class Image;

class Icon : public Widget {
public:
    Icon() = default;
    explicit Icon(const Image* image);

    // Shows the image (null: none) and takes its size; the old image is
    // left alone.
    void setImage(const Image* image);
    const Image* getImage() const { return image_; }

    void draw(Graphics* graphics) override;

protected:
    const Image* image_ = nullptr;
};

}  // namespace gcn
