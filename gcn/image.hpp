// A picture with pixel access, and the hook that loads image files into
// pictures of the installed back end.
#pragma once

#include <memory>
#include <string>

#include "gcn/color.hpp"

namespace gcn {

class ImageLoader;

class Image {
public:
    Image() = default;
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    virtual ~Image() = default;

    // Releases the pixel data.
    virtual void free() = 0;
    virtual int getWidth() const = 0;
    virtual int getHeight() const = 0;
    virtual Color getPixel(int x, int y) = 0;
    virtual void putPixel(int x, int y, const Color& color) = 0;
    virtual void convertToDisplayFormat() = 0;

    // Installs the loader used by load (null: none). Not owned.
    static void setImageLoader(ImageLoader* loader);
    static ImageLoader* getImageLoader();
    // Loads a file through the installed loader; raises when there is none.
    static std::unique_ptr<Image> load(const std::string& file_name, bool convert_to_display_format = true);
};

class ImageLoader {
public:
    virtual ~ImageLoader() = default;
    virtual std::unique_ptr<Image> load(const std::string& file_name, bool convert_to_display_format = true) = 0;
};

}  // namespace gcn
