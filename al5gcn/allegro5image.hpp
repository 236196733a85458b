// Pictures on Allegro 5 bitmaps, and the loader that reads image files
// through Allegro's image addon with magenta made transparent.
#pragma once

#include <allegro5/allegro.h>

#include <memory>
#include <string>

#include "gcn/image.hpp"

namespace gcn {

class Allegro5Image : public Image {
public:
    // With auto-free set the image destroys the bitmap when it goes.
    Allegro5Image(ALLEGRO_BITMAP* bitmap, bool auto_free);
    ~Allegro5Image() override;

    // Destroys the bitmap now, whatever the auto-free flag.
    void free() override;
    int getWidth() const override;
    int getHeight() const override;
    // Channels 0 to 255.
    Color getPixel(int x, int y) override;
    // Leaves Allegro's target bitmap as it was.
    void putPixel(int x, int y, const Color& color) override;
    // Allegro bitmaps are already in the display's format.
    void convertToDisplayFormat() override;

    ALLEGRO_BITMAP* getBitmap() const { return bitmap_; }
    bool isAutoFree() const { return auto_free_; }
    // Takes another bitmap; the old one is destroyed only when this image
    // owned it.
    void setBitmap(ALLEGRO_BITMAP* bitmap, bool auto_free);

private:
    ALLEGRO_BITMAP* bitmap_;
    bool auto_free_;
};

class Allegro5ImageLoader : public ImageLoader {
public:
    // An image that owns its bitmap; raises "Unable to load: <name>".
    std::unique_ptr<Image> load(const std::string& file_name, bool convert_to_display_format = true) override;
    // The bitmap as Allegro reads it (format from the extension), or null.
    virtual ALLEGRO_BITMAP* loadBitmap(const std::string& file_name);
};

}  // namespace gcn
