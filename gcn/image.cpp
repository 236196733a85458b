#include "gcn/image.hpp"

#include "gcn/exception.hpp"

namespace gcn {

namespace {
ImageLoader* image_loader = nullptr;
}

void Image::setImageLoader(ImageLoader* loader) {
    image_loader = loader;
}

ImageLoader* Image::getImageLoader() {
    return image_loader;
}

std::unique_ptr<Image> Image::load(const std::string& file_name, bool convert_to_display_format) {
    if (!image_loader) {
        throw GCN_EXCEPTION("Trying to load an image but no image loader is set.", "gcn::Image::load");
    }
    return image_loader->load(file_name, convert_to_display_format);
}

}  // namespace gcn
