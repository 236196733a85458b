// A push button that shows an image. The image is never owned: the caller
// keeps it alive while the button shows it.
#pragma once

#include "gcn/widgets/buttonbase.hpp"

namespace gcn {

class Image;

class ImageButton : public ButtonBase {
public:
    // No image and size 0 x 0.
    ImageButton() = default;

    // Stores the image (null: none); the size stays.
    void setImage(const Image* image) { image_ = image; }
    const Image* getImage() const { return image_; }

    // The image's size plus the spacing all round.
    void adjustSize();

    // A disabled button veils its image with the face colour at alpha 150.
    void draw(Graphics* graphics) override;

protected:
    const Image* image_ = nullptr;
};

}  // namespace gcn
